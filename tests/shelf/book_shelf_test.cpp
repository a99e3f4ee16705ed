// The shelf's file: its schema and journal, one row per path, the reading record, damaged and
// newer files, and writers killed or running side by side.
#include "shelf/book_shelf.h"

#include "tests/text/test_books.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <fstream>
#include <random>
#include <set>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

BookFacts Facts(const char16_t* title, const char16_t* author = u"") {
    return {QString::fromUtf16(title), QString::fromUtf16(author), QStringLiteral("GB18030"), 4096};
}

// What another program sees in the file: one PRAGMA or query's first value.
QVariant Peek(const std::string& file, const QString& sql) {
    QVariant value;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "peek");
        db.setDatabaseName(QString::fromStdString(file));
        EXPECT_TRUE(db.open());
        QSqlQuery query(db);
        if (query.exec(sql) && query.next()) {
            value = query.value(0);
        }
    }
    QSqlDatabase::removeDatabase("peek");
    return value;
}

class BookShelfTest : public ::testing::Test {
protected:
    std::string File() const { return dir.File(CBookShelf::kFileName); }
    test_books::TempDir dir;
};

TEST_F(BookShelfTest, ABookIsOneRowByPathAndTheReadingRecordUpdatesIt) {
    const std::int64_t t0 = 1'700'000'000;
    {
        CBookShelf shelf(dir.Path());
        ASSERT_TRUE(shelf.Open()) << shelf.Error().toStdString();
        EXPECT_TRUE(shelf.Created());
        EXPECT_EQ(shelf.Add("/书/青萍剑录.txt", Facts(u"青萍剑录", u"林语"), t0),
                  CBookShelf::AddResult::Added);
        EXPECT_EQ(shelf.Add("/书/青萍剑录.txt", Facts(u"别的"), t0 + 1),
                  CBookShelf::AddResult::Known);
        EXPECT_EQ(shelf.Add("/书/雪中行.txt", Facts(u"雪中行"), t0 + 2),
                  CBookShelf::AddResult::Added);
        // A path that is not UTF-8 is kept byte for byte.
        EXPECT_EQ(shelf.Add("/书/\xC7\xE0.txt", Facts(u"青"), t0 + 3),
                  CBookShelf::AddResult::Added);

        // Opening keeps the title the shelf has, brings the size up to date and, read, the time.
        BookFacts reopened = Facts(u"换了名字");
        reopened.size = 8192;
        EXPECT_TRUE(shelf.RecordOpened("/书/青萍剑录.txt", reopened, t0 + 10, true));
        EXPECT_TRUE(shelf.RecordReading(
            "/书/青萍剑录.txt", {42.25, QStringLiteral(u"第三章 下山"), -1, false}, t0 + 20));
        EXPECT_TRUE(shelf.RecordReading("/书/青萍剑录.txt", {99.9, QString(), 12, true}, t0 + 30));
        EXPECT_TRUE(shelf.RecordReading("/书/青萍剑录.txt", {10.0, QString(), -1, false}, t0 + 40));
        EXPECT_FALSE(shelf.RecordReading("/书/不在.txt", {}, t0 + 50));
    }
    EXPECT_EQ(Peek(File(), "PRAGMA user_version").toInt(), CBookShelf::kSchemaVersion);
    EXPECT_EQ(Peek(File(), "PRAGMA journal_mode").toString(), "wal");

    CBookShelf again(dir.Path());
    ASSERT_TRUE(again.Open());
    EXPECT_FALSE(again.Created());
    const std::vector<ShelfBook> books = again.Books();
    ASSERT_EQ(books.size(), 3u);
    // The book read last first, then those never read, the newest first.
    const ShelfBook& read = books[0];
    EXPECT_EQ(read.path, "/书/青萍剑录.txt");
    EXPECT_EQ(read.title, QStringLiteral(u"青萍剑录"));
    EXPECT_EQ(read.author, QStringLiteral(u"林语"));
    EXPECT_EQ(read.size, 8192u);
    EXPECT_DOUBLE_EQ(read.progress, 10.0);
    EXPECT_EQ(read.chapters, 12); // kept when a later record does not know it
    EXPECT_TRUE(read.finished);   // once the end was reached, going back keeps it read
    EXPECT_EQ(read.lastRead, t0 + 40);
    EXPECT_EQ(read.added, t0);
    EXPECT_EQ(books[1].path, "/书/\xC7\xE0.txt");
    EXPECT_EQ(books[1].lastRead, 0);
    EXPECT_EQ(books[1].chapters, -1);
    EXPECT_EQ(books[2].title, QStringLiteral(u"雪中行"));
    EXPECT_EQ(again.Paths().size(), 3u);

    EXPECT_EQ(CBookShelf::KeyOf("/a/./b/../c.txt"), "/a/c.txt");
    EXPECT_EQ(CBookShelf::KeyOf("/a/b/"), "/a/b");
    EXPECT_EQ(CBookShelf::KeyOf("x.txt").front(), '/');
}

TEST_F(BookShelfTest, ADamagedFileIsSetAsideAndANewerOneLeftAlone) {
    // Not a database at all.
    dir.Write(CBookShelf::kFileName, test_books::RepeatedProse(8192));
    {
        CBookShelf shelf(dir.Path());
        ASSERT_TRUE(shelf.Open()) << shelf.Error().toStdString();
        EXPECT_TRUE(shelf.Created());
        ASSERT_EQ(shelf.SetAsideName().rfind("library.sqlite.damaged-", 0), 0u);
        EXPECT_EQ(dir.Read(shelf.SetAsideName()), test_books::RepeatedProse(8192));
        EXPECT_TRUE(shelf.Books().empty());
        for (int i = 0; i < 300; ++i) {
            shelf.Add("/books/" + std::to_string(i) + ".txt", Facts(u"书"), 1);
        }
    }
    // A database whose pages were overwritten: the check at opening finds it.
    {
        std::fstream file(File(), std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(4096);
        const std::string garbage(8192, '\xFF');
        file.write(garbage.data(), std::streamsize(garbage.size()));
    }
    {
        CBookShelf shelf(dir.Path());
        ASSERT_TRUE(shelf.Open()) << shelf.Error().toStdString();
        EXPECT_FALSE(shelf.SetAsideName().empty());
        EXPECT_TRUE(shelf.Books().empty());
        EXPECT_EQ(shelf.Add("/books/1.txt", Facts(u"书"), 1), CBookShelf::AddResult::Added);
    }
    // A whole file is opened again as it is: once set aside is once.
    {
        CBookShelf shelf(dir.Path());
        ASSERT_TRUE(shelf.Open());
        EXPECT_TRUE(shelf.SetAsideName().empty());
        EXPECT_EQ(shelf.Books().size(), 1u);
    }
    // A newer Veska's shelf is neither read nor touched.
    Peek(File(), QStringLiteral("PRAGMA user_version = %1").arg(CBookShelf::kSchemaVersion + 1));
    const std::string before = dir.Read(CBookShelf::kFileName);
    CBookShelf newer(dir.Path());
    EXPECT_FALSE(newer.Open());
    EXPECT_TRUE(newer.Error().contains("newer"));
    EXPECT_EQ(dir.Read(CBookShelf::kFileName), before);
}

// A shelf from before the reader's own groups is brought up to date with its rows kept; a book
// goes in a group and out of it, and a book's file found elsewhere keeps its record, unless
// another row has that path.
TEST_F(BookShelfTest, AnOlderFileIsUpgradedAndBooksAreGroupedAndRelocated) {
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "v1");
        db.setDatabaseName(QString::fromStdString(File()));
        ASSERT_TRUE(db.open());
        QSqlQuery query(db);
        ASSERT_TRUE(query.exec(
            "CREATE TABLE books (id INTEGER PRIMARY KEY, path BLOB NOT NULL UNIQUE, title TEXT NOT "
            "NULL, author TEXT NOT NULL DEFAULT '', size INTEGER NOT NULL DEFAULT 0, encoding TEXT "
            "NOT NULL DEFAULT '', chapters INTEGER, progress REAL NOT NULL DEFAULT 0, chapter TEXT "
            "NOT NULL DEFAULT '', last_read INTEGER, added INTEGER NOT NULL, reading_seconds "
            "INTEGER NOT NULL DEFAULT 0, finished INTEGER NOT NULL DEFAULT 0, missing INTEGER NOT "
            "NULL DEFAULT 0)"));
        ASSERT_TRUE(query.exec("INSERT INTO books(path, title, progress, last_read, added,"
                               " reading_seconds) VALUES(CAST('/书/旧.txt' AS BLOB), '旧书', 30,"
                               " 5000, 1000, 600)"));
        ASSERT_TRUE(query.exec("PRAGMA user_version = 1"));
    }
    QSqlDatabase::removeDatabase("v1");
    CBookShelf shelf(dir.Path());
    ASSERT_TRUE(shelf.Open()) << shelf.Error().toStdString();
    EXPECT_FALSE(shelf.Created());
    std::vector<ShelfBook> books = shelf.Books();
    ASSERT_EQ(books.size(), 1u);
    EXPECT_EQ(books[0].path, "/书/旧.txt");
    EXPECT_EQ(books[0].readingSeconds, 600);
    EXPECT_TRUE(books[0].group.isEmpty());
    EXPECT_EQ(books[0].ReadingStateGroup(), ShelfBook::State::Reading);

    EXPECT_TRUE(shelf.SetGroup("/书/旧.txt", QStringLiteral(u" 武侠 ")));
    EXPECT_FALSE(shelf.SetGroup("/书/不在.txt", QStringLiteral(u"武侠")));
    shelf.Add("/书/新.txt", Facts(u"新书"), 2000);
    EXPECT_FALSE(shelf.Relocate("/书/旧.txt", "/书/新.txt"));
    EXPECT_TRUE(shelf.SetMissing("/书/旧.txt", true));
    EXPECT_TRUE(shelf.Relocate("/书/旧.txt", "/别处/旧.txt"));
    books = shelf.Books();
    ASSERT_EQ(books.size(), 2u);
    EXPECT_EQ(books[0].path, "/别处/旧.txt");
    EXPECT_EQ(books[0].group, QStringLiteral(u"武侠"));
    EXPECT_EQ(books[0].readingSeconds, 600);
    EXPECT_FALSE(books[0].missing);
    EXPECT_EQ(books[1].ReadingStateGroup(), ShelfBook::State::Unread);
    EXPECT_TRUE(shelf.SetGroup("/别处/旧.txt", QString()));
    EXPECT_TRUE(shelf.Books()[0].group.isEmpty());
    EXPECT_EQ(Peek(File(), "PRAGMA user_version").toInt(), CBookShelf::kSchemaVersion);
}

// Adds books one by one, telling the parent each one after its commit, until killed.
[[noreturn]] void AddUntilKilled(const std::string& dir, int out, int from, bool batches) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    CBookShelf shelf(dir);
    if (!shelf.Open()) {
        _exit(3);
    }
    for (int i = from;; ++i) {
        const bool batch = batches && i % 10 == 0;
        if (batch && !shelf.BeginBatch()) {
            _exit(4);
        }
        const int last = batch ? i + 9 : i;
        for (int k = i; k <= last; ++k) {
            if (shelf.Add("/books/" + std::to_string(k) + ".txt", Facts(u"书"), k) !=
                CBookShelf::AddResult::Added) {
                _exit(5);
            }
        }
        if (batch && !shelf.CommitBatch()) {
            _exit(6);
        }
        for (int k = i; k <= last; ++k) {
            if (write(out, &k, sizeof(k)) != sizeof(k)) {
                _exit(7);
            }
        }
        i = last;
    }
}

TEST_F(BookShelfTest, AWriterKilledMidWritesLeavesEveryCommittedRow) {
    std::mt19937 random(2026);
    std::uniform_int_distribution<int> delayMicroseconds(0, 30000);
    std::set<int> committed;
    int next = 0;
    for (int round = 0; round < 12; ++round) {
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(fds[0]);
            AddUntilKilled(dir.Path(), fds[1], next, round % 2 == 1);
        }
        close(fds[1]);
        usleep(useconds_t(delayMicroseconds(random)));
        kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer stopped by itself: " << status;
        int k = 0;
        while (read(fds[0], &k, sizeof(k)) == sizeof(k)) {
            committed.insert(k);
            next = std::max(next, k + 1);
        }
        close(fds[0]);

        CBookShelf shelf(dir.Path());
        ASSERT_TRUE(shelf.Open()) << round;
        ASSERT_TRUE(shelf.SetAsideName().empty()) << round;
        const std::unordered_set<std::string> paths = shelf.Paths();
        for (const int done : committed) {
            ASSERT_EQ(paths.count("/books/" + std::to_string(done) + ".txt"), 1u) << round;
        }
        // Rows committed but not yet reported may be there too: numbering goes on after them.
        for (const std::string& path : paths) {
            next = std::max(next, std::stoi(path.substr(7)) + 1);
        }
    }
    EXPECT_EQ(Peek(File(), "PRAGMA integrity_check").toString(), "ok");
    EXPECT_GT(committed.size(), 0u);
}

TEST_F(BookShelfTest, TwoProcessesWritingAtOnceLoseNothing) {
    {
        CBookShelf shelf(dir.Path());
        ASSERT_TRUE(shelf.Open());
    }
    pid_t children[2];
    for (int c = 0; c < 2; ++c) {
        children[c] = fork();
        ASSERT_GE(children[c], 0);
        if (children[c] == 0) {
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            CBookShelf shelf(dir.Path());
            bool ok = shelf.Open();
            for (int i = 0; ok && i < 400; ++i) {
                const bool batch = i % 40 == 0;
                ok = (!batch || shelf.BeginBatch()) &&
                     shelf.Add("/p" + std::to_string(c) + "/" + std::to_string(i) + ".txt",
                               Facts(u"书"), i) == CBookShelf::AddResult::Added &&
                     shelf.RecordOpened("/shared.txt", Facts(u"同一本"), i, true) &&
                     (i % 40 != 39 || shelf.CommitBatch());
            }
            _exit(ok ? 0 : 1);
        }
    }
    for (const pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
    CBookShelf shelf(dir.Path());
    ASSERT_TRUE(shelf.Open());
    EXPECT_EQ(shelf.Books().size(), 801u);
}

} // namespace
