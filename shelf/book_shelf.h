#pragma once

#include "shelf/book_probe.h"
#include "shelf/shelf_book.h"

#include <QString>

#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

// The shelf: every book the reader has opened or been given, one row per absolute path, in
// "library.sqlite" of the data directory (SQLite through Qt SQL). Each write is committed at
// once, or with its batch, into a write-ahead log, so a killed process loses nothing committed;
// several processes share the file, each waiting its turn to write.
class CBookShelf {
public:
    // PRAGMA user_version of the schema this program writes. 2 added the reader's own groups; a
    // version 1 file is brought up to it when opened.
    static constexpr int kSchemaVersion = 2;
    static constexpr const char* kFileName = "library.sqlite";
    // How long a write waits for another process's write to end.
    static constexpr int kBusyTimeoutMs = 10000;

    // `dataDir` in file system bytes.
    explicit CBookShelf(std::string dataDir);
    ~CBookShelf();
    CBookShelf(const CBookShelf&) = delete;
    CBookShelf& operator=(const CBookShelf&) = delete;

    // Opens the file, making it when missing. A damaged file is renamed (SetAsideName) and a new
    // shelf begins. False when there is no shelf to be had (Error says why): the file is from a
    // newer Veska, the driver is missing, the directory is not writable.
    bool Open();
    bool IsOpen() const { return m_bOpen; }
    // Whether Open made the file: a shelf that starts empty.
    bool Created() const { return m_bCreated; }
    // The name the damaged file was given by Open, or empty.
    const std::string& SetAsideName() const { return m_strSetAside; }
    const QString& Error() const { return m_strError; }
    std::string FilePath() const;

    // The absolute path without "." and ".." parts (bytes): what a book is known by.
    static std::string KeyOf(const std::string& fsPath);

    // Many adds in one transaction; every add commits on its own outside one.
    bool BeginBatch();
    bool CommitBatch();
    // The paths of the shelf's books.
    std::unordered_set<std::string> Paths() const;
    enum class AddResult { Added, Known, Failed };
    // Puts a new book on the shelf, unless its path is there already.
    AddResult Add(const std::string& path, const BookFacts& facts, std::int64_t now);

    // The reader opened the book: its row is made or its size and encoding brought up to date,
    // and with `read` its last reading is now.
    bool RecordOpened(const std::string& path, const BookFacts& facts, std::int64_t now, bool read);
    // Where the reader is in the book, read `now` (0: when is not known).
    bool RecordReading(const std::string& path, const ReadingState& state, std::int64_t now);

    // Takes the book off the shelf (never the file).
    bool Remove(const std::string& path);
    // Marks the book's file as gone, or as found again.
    bool SetMissing(const std::string& path, bool missing);
    // Puts the book in the reader's own group `group` (empty: in none).
    bool SetGroup(const std::string& path, const QString& group);
    // The book's file is now at `newPath`: the row keeps its record. False when another row has
    // that path already.
    bool Relocate(const std::string& path, const std::string& newPath);

    // What the reader has read, as far as the record tells: the bytes up to each book's progress
    // and the reading time, over the books read for at least `minSeconds`.
    struct ReadingTotals {
        double bytes = 0;
        std::int64_t seconds = 0;
    };
    ReadingTotals Totals(std::int64_t minSeconds) const;

    // Every book, the one read last first, then those never read, newest first.
    std::vector<ShelfBook> Books() const;

private:
    enum class Attempt { Opened, Damaged, Failed };
    Attempt TryOpen();
    // Brings a file of an older schema up to this one, in one transaction.
    bool Migrate(int version);
    void Close();
    bool SetAside();
    bool Exec(const char* sql);

    std::string m_strDir;
    QString m_strConnection;
    std::string m_strSetAside;
    QString m_strError;
    bool m_bOpen = false;
    bool m_bCreated = false;
};
