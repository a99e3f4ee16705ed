#include "shelf/book_shelf.h"

#include "diag/log.h"

#include <QDateTime>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace {

std::atomic<int> g_nConnections{0};

// Version 2. Texts are never NULL; a path is the file system's bytes, which need not be UTF-8.
const char* const kSchema = "CREATE TABLE IF NOT EXISTS books ("
                            " id INTEGER PRIMARY KEY,"
                            " path BLOB NOT NULL UNIQUE,"
                            " title TEXT NOT NULL,"
                            " author TEXT NOT NULL DEFAULT '',"
                            " size INTEGER NOT NULL DEFAULT 0,"
                            " encoding TEXT NOT NULL DEFAULT '',"
                            " chapters INTEGER,"
                            " progress REAL NOT NULL DEFAULT 0,"
                            " chapter TEXT NOT NULL DEFAULT '',"
                            " last_read INTEGER,"
                            " added INTEGER NOT NULL,"
                            " reading_seconds INTEGER NOT NULL DEFAULT 0,"
                            " finished INTEGER NOT NULL DEFAULT 0,"
                            " missing INTEGER NOT NULL DEFAULT 0,"
                            " shelf_group TEXT NOT NULL DEFAULT '')";
// What each older version lacks, by the version it was.
const char* const kUpgrades[] = {
    "",
    "ALTER TABLE books ADD COLUMN shelf_group TEXT NOT NULL DEFAULT ''",
};

// SQLITE_CORRUPT and SQLITE_NOTADB. Anything else (a lock held too long, a full disk) is no
// reason to put the file aside.
bool IsDamage(const QSqlError& error) {
    const int code = error.nativeErrorCode().toInt() & 0xFF;
    return code == 11 || code == 26;
}

QVariant Blob(const std::string& bytes) {
    return QVariant(QByteArray(bytes.data(), qsizetype(bytes.size())));
}

// The values a new row starts with: path, title, author, size, encoding, added.
void BindFacts(QSqlQuery& query, const std::string& path, const BookFacts& facts,
               std::int64_t now) {
    query.addBindValue(Blob(path));
    query.addBindValue(facts.title);
    query.addBindValue(facts.author);
    query.addBindValue(qint64(facts.size));
    query.addBindValue(facts.encoding);
    query.addBindValue(qint64(now));
}

void LogShelf(const char* what, const QString& detail) {
    LogMessage message;
    LogAppend(message, what);
    LogAppend(message, detail.toStdString());
    CLog::Instance().Write(LOG_ERROR, message);
}

} // namespace

CBookShelf::CBookShelf(std::string dataDir)
    : m_strDir(std::move(dataDir)),
      m_strConnection(QStringLiteral("veska-shelf-%1").arg(g_nConnections.fetch_add(1))) {}

CBookShelf::~CBookShelf() {
    Close();
}

std::string CBookShelf::FilePath() const {
    return m_strDir + "/" + kFileName;
}

std::string CBookShelf::KeyOf(const std::string& fsPath) {
    std::filesystem::path path(fsPath);
    if (path.is_relative()) {
        char* cwd = ::getcwd(nullptr, 0);
        path = std::filesystem::path(cwd != nullptr ? cwd : "/") / path;
        std::free(cwd);
    }
    std::string key = path.lexically_normal().string();
    while (key.size() > 1 && key.back() == '/') {
        key.pop_back();
    }
    return key;
}

bool CBookShelf::Open() {
    if (m_bOpen) {
        return true;
    }
    m_strError.clear();
    // A data directory named by VESKA_DATA_DIR may not exist yet.
    std::error_code ignored;
    std::filesystem::create_directories(m_strDir, ignored);
    Attempt attempt = TryOpen();
    if (attempt == Attempt::Damaged) {
        LogShelf("Shelf damaged:", m_strError);
        Close();
        attempt = SetAside() ? TryOpen() : Attempt::Failed;
    }
    if (attempt != Attempt::Opened) {
        Close();
        LogShelf("Shelf not opened:", m_strError);
        return false;
    }
    m_bOpen = true;
    return true;
}

CBookShelf::Attempt CBookShelf::TryOpen() {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_strConnection);
    if (!db.isValid()) {
        m_strError = QStringLiteral("Qt's SQLite driver (QSQLITE) is not installed");
        return Attempt::Failed;
    }
    db.setDatabaseName(QFile::decodeName(QByteArray::fromStdString(FilePath())));
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyTimeoutMs));
    const auto failed = [this](const QSqlError& error) {
        m_strError = error.text();
        return IsDamage(error) ? Attempt::Damaged : Attempt::Failed;
    };
    if (!db.open()) {
        return failed(db.lastError());
    }
    QSqlQuery query(db);
    query.setForwardOnly(true);
    const auto scalar = [&](const char* sql, QVariant& value) {
        if (!query.exec(QString::fromLatin1(sql)) || !query.next()) {
            return false;
        }
        value = query.value(0);
        query.finish();
        return true;
    };
    QVariant value;
    // The first read of the file: a file that is no database fails here.
    if (!scalar("PRAGMA user_version", value)) {
        return failed(query.lastError());
    }
    const int version = value.toInt();
    if (version > kSchemaVersion) {
        m_strError = QStringLiteral("made by a newer Veska (schema %1)").arg(version);
        return Attempt::Failed;
    }
    // The write-ahead log: readers never wait for the writer, and a killed process leaves every
    // committed transaction. NORMAL syncs at checkpoints only: a crash of the program loses
    // nothing committed, a power cut at most the last moments.
    if (!scalar("PRAGMA journal_mode=WAL", value)) {
        return failed(query.lastError());
    }
    if (!query.exec(QStringLiteral("PRAGMA synchronous=NORMAL"))) {
        return failed(query.lastError());
    }
    if (version > 0) {
        if (!scalar("PRAGMA quick_check", value)) {
            return failed(query.lastError());
        }
        if (value.toString() != QLatin1String("ok")) {
            m_strError = value.toString();
            return Attempt::Damaged;
        }
        query.finish();
        if (version < kSchemaVersion && !Migrate(version)) {
            return Attempt::Failed;
        }
        return Attempt::Opened;
    }
    // Another process may be making the schema too: the second finds it made.
    if (!query.exec(QStringLiteral("BEGIN IMMEDIATE"))) {
        return failed(query.lastError());
    }
    if (!query.exec(QString::fromLatin1(kSchema)) ||
        !query.exec(QStringLiteral("PRAGMA user_version=%1").arg(kSchemaVersion)) ||
        !query.exec(QStringLiteral("COMMIT"))) {
        const QSqlError error = query.lastError();
        query.exec(QStringLiteral("ROLLBACK"));
        return failed(error);
    }
    m_bCreated = true;
    return Attempt::Opened;
}

bool CBookShelf::Migrate(int version) {
    QSqlQuery query(QSqlDatabase::database(m_strConnection, false));
    // Another process may be upgrading the file too: the second finds it done.
    if (!query.exec(QStringLiteral("BEGIN IMMEDIATE")) ||
        !query.exec(QStringLiteral("PRAGMA user_version")) || !query.next()) {
        m_strError = query.lastError().text();
        return false;
    }
    version = query.value(0).toInt();
    query.finish();
    bool ok = true;
    for (int from = version; ok && from < kSchemaVersion; ++from) {
        ok = query.exec(QString::fromLatin1(kUpgrades[from]));
    }
    if (!ok || !query.exec(QStringLiteral("PRAGMA user_version=%1").arg(kSchemaVersion)) ||
        !query.exec(QStringLiteral("COMMIT"))) {
        m_strError = query.lastError().text();
        query.exec(QStringLiteral("ROLLBACK"));
        return false;
    }
    LogMessage message;
    LogAppend(message, "Shelf upgraded from schema");
    LogAppend(message, std::to_string(version));
    CLog::Instance().Write(LOG_INFO, message);
    return true;
}

void CBookShelf::Close() {
    m_bOpen = false;
    if (!QSqlDatabase::contains(m_strConnection)) {
        return;
    }
    {
        QSqlDatabase db = QSqlDatabase::database(m_strConnection, false);
        if (db.isValid()) {
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(m_strConnection);
}

bool CBookShelf::SetAside() {
    const std::string file = FilePath();
    const std::string stamp =
        std::string(kFileName) + ".damaged-" +
        QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")).toStdString();
    // Never over an earlier damaged file.
    std::string name = stamp;
    for (int n = 2; ::access((m_strDir + "/" + name).c_str(), F_OK) == 0; ++n) {
        name = stamp + "." + std::to_string(n);
    }
    const std::string aside = m_strDir + "/" + name;
    if (std::rename(file.c_str(), aside.c_str()) != 0) {
        m_strError = QStringLiteral("the damaged shelf cannot be moved aside");
        return false;
    }
    // The log holds the damaged file's last writes: it goes with it.
    std::rename((file + "-wal").c_str(), (aside + "-wal").c_str());
    std::remove((file + "-shm").c_str());
    m_strSetAside = name;
    LogMessage message;
    LogAppend(message, "Shelf set aside:");
    LogAppend(message, aside);
    CLog::Instance().Write(LOG_INFO, message);
    return true;
}

bool CBookShelf::Exec(const char* sql) {
    QSqlQuery query(QSqlDatabase::database(m_strConnection, false));
    if (!query.exec(QString::fromLatin1(sql))) {
        m_strError = query.lastError().text();
        return false;
    }
    return true;
}

bool CBookShelf::BeginBatch() {
    // IMMEDIATE takes the write lock now, waiting for another writer, rather than failing at the
    // first write inside the transaction.
    return m_bOpen && Exec("BEGIN IMMEDIATE");
}

bool CBookShelf::CommitBatch() {
    if (!m_bOpen) {
        return false;
    }
    if (Exec("COMMIT")) {
        return true;
    }
    const QString error = m_strError;
    Exec("ROLLBACK");
    m_strError = error;
    return false;
}

std::unordered_set<std::string> CBookShelf::Paths() const {
    std::unordered_set<std::string> paths;
    if (!m_bOpen) {
        return paths;
    }
    QSqlQuery query(QSqlDatabase::database(m_strConnection, false));
    query.setForwardOnly(true);
    if (query.exec(QStringLiteral("SELECT path FROM books"))) {
        while (query.next()) {
            paths.insert(query.value(0).toByteArray().toStdString());
        }
    }
    return paths;
}

CBookShelf::AddResult CBookShelf::Add(const std::string& path, const BookFacts& facts,
                                      std::int64_t now) {
    if (!m_bOpen) {
        return AddResult::Failed;
    }
    QSqlQuery query(QSqlDatabase::database(m_strConnection, false));
    query.prepare(
        QStringLiteral("INSERT INTO books(path, title, author, size, encoding, added)"
                       " VALUES(?, COALESCE(?, ''), COALESCE(?, ''), ?, COALESCE(?, ''), ?)"
                       " ON CONFLICT(path) DO NOTHING"));
    BindFacts(query, path, facts, now);
    if (!query.exec()) {
        m_strError = query.lastError().text();
        return AddResult::Failed;
    }
    return query.numRowsAffected() == 1 ? AddResult::Added : AddResult::Known;
}

bool CBookShelf::RecordOpened(const std::string& path, const BookFacts& facts, std::int64_t now,
                              bool read) {
    if (!m_bOpen) {
        return false;
    }
    QSqlQuery query(QSqlDatabase::database(m_strConnection, false));
    query.prepare(QStringLiteral(
        "INSERT INTO books(path, title, author, size, encoding, added, last_read)"
        " VALUES(?, COALESCE(?, ''), COALESCE(?, ''), ?, COALESCE(?, ''), ?, ?)"
        " ON CONFLICT(path) DO UPDATE SET size = excluded.size, encoding = excluded.encoding,"
        " missing = 0, last_read = COALESCE(excluded.last_read, last_read)"));
    BindFacts(query, path, facts, now);
    query.addBindValue(read ? QVariant(qint64(now)) : QVariant());
    if (!query.exec()) {
        m_strError = query.lastError().text();
        return false;
    }
    return true;
}

bool CBookShelf::RecordReading(const std::string& path, const ReadingState& state,
                               std::int64_t now) {
    if (!m_bOpen) {
        return false;
    }
    QSqlQuery query(QSqlDatabase::database(m_strConnection, false));
    query.prepare(
        QStringLiteral("UPDATE books SET progress = ?, chapter = COALESCE(?, ''),"
                       " chapters = COALESCE(?, chapters), last_read = COALESCE(?, last_read),"
                       " finished = (finished OR ?), reading_seconds = reading_seconds + ?"
                       " WHERE path = ?"));
    query.addBindValue(state.progress);
    query.addBindValue(state.chapter);
    query.addBindValue(state.chapters >= 0 ? QVariant(state.chapters) : QVariant());
    query.addBindValue(now != 0 ? QVariant(qint64(now)) : QVariant());
    query.addBindValue(state.atEnd ? 1 : 0);
    query.addBindValue(qint64(state.readSeconds));
    query.addBindValue(Blob(path));
    if (!query.exec()) {
        m_strError = query.lastError().text();
        return false;
    }
    return query.numRowsAffected() == 1;
}

bool CBookShelf::Remove(const std::string& path) {
    if (!m_bOpen) {
        return false;
    }
    QSqlQuery query(QSqlDatabase::database(m_strConnection, false));
    query.prepare(QStringLiteral("DELETE FROM books WHERE path = ?"));
    query.addBindValue(Blob(path));
    if (!query.exec()) {
        m_strError = query.lastError().text();
        return false;
    }
    return query.numRowsAffected() == 1;
}

bool CBookShelf::SetMissing(const std::string& path, bool missing) {
    if (!m_bOpen) {
        return false;
    }
    QSqlQuery query(QSqlDatabase::database(m_strConnection, false));
    query.prepare(QStringLiteral("UPDATE books SET missing = ? WHERE path = ?"));
    query.addBindValue(missing ? 1 : 0);
    query.addBindValue(Blob(path));
    if (!query.exec()) {
        m_strError = query.lastError().text();
        return false;
    }
    return query.numRowsAffected() == 1;
}

bool CBookShelf::SetGroup(const std::string& path, const QString& group) {
    if (!m_bOpen) {
        return false;
    }
    QSqlQuery query(QSqlDatabase::database(m_strConnection, false));
    query.prepare(QStringLiteral("UPDATE books SET shelf_group = COALESCE(?, '') WHERE path = ?"));
    query.addBindValue(group.trimmed());
    query.addBindValue(Blob(path));
    if (!query.exec()) {
        m_strError = query.lastError().text();
        return false;
    }
    return query.numRowsAffected() == 1;
}

bool CBookShelf::Relocate(const std::string& path, const std::string& newPath) {
    if (!m_bOpen) {
        return false;
    }
    QSqlQuery query(QSqlDatabase::database(m_strConnection, false));
    query.prepare(QStringLiteral("UPDATE books SET path = ?, missing = 0 WHERE path = ?"));
    query.addBindValue(Blob(newPath));
    query.addBindValue(Blob(path));
    if (!query.exec()) {
        m_strError = query.lastError().text();
        return false;
    }
    return query.numRowsAffected() == 1;
}

CBookShelf::ReadingTotals CBookShelf::Totals(std::int64_t minSeconds) const {
    ReadingTotals totals;
    if (!m_bOpen) {
        return totals;
    }
    QSqlQuery query(QSqlDatabase::database(m_strConnection, false));
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT TOTAL(size * progress / 100), TOTAL(reading_seconds)"
                                 " FROM books WHERE reading_seconds >= ?"));
    query.addBindValue(qint64(minSeconds));
    if (query.exec() && query.next()) {
        totals.bytes = query.value(0).toDouble();
        totals.seconds = std::int64_t(query.value(1).toDouble());
    }
    return totals;
}

std::vector<ShelfBook> CBookShelf::Books() const {
    std::vector<ShelfBook> books;
    if (!m_bOpen) {
        return books;
    }
    QSqlQuery query(QSqlDatabase::database(m_strConnection, false));
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral(
            "SELECT path, title, author, encoding, chapter, size, chapters, progress, last_read,"
            " added, reading_seconds, finished, missing, shelf_group FROM books"
            " ORDER BY last_read IS NULL, last_read DESC, added DESC, id DESC"))) {
        return books;
    }
    while (query.next()) {
        ShelfBook book;
        book.path = query.value(0).toByteArray().toStdString();
        book.title = query.value(1).toString();
        book.author = query.value(2).toString();
        book.encoding = query.value(3).toString();
        book.chapter = query.value(4).toString();
        book.size = std::uint64_t(query.value(5).toLongLong());
        book.chapters = query.value(6).isNull() ? -1 : query.value(6).toInt();
        book.progress = query.value(7).toDouble();
        book.lastRead = query.value(8).isNull() ? 0 : query.value(8).toLongLong();
        book.added = query.value(9).toLongLong();
        book.readingSeconds = query.value(10).toLongLong();
        book.finished = query.value(11).toInt() != 0;
        book.missing = query.value(12).toInt() != 0;
        book.group = query.value(13).toString();
        books.push_back(std::move(book));
    }
    return books;
}
