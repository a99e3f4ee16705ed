#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <sys/types.h>
#include <unordered_set>
#include <utility>
#include <vector>

class CBookShelf;

// Puts books and whole folders of books on the shelf. Folders are walked to any depth, each
// folder once however many links lead to it; in a folder only ".txt" files count, while a file
// named on its own counts whatever its name, as long as its opening reads as text.
class CShelfAdder {
public:
    enum class Event { Added, Known, NotABook, Unreadable, LinkLoop };
    struct Counts {
        int added = 0;
        int known = 0; // on the shelf already
        int notBooks = 0;
        int unreadable = 0;
        int linkLoops = 0;
    };
    // Told each outcome with its path; an added book only once its batch is committed.
    using Report = std::function<void(Event, const std::string&)>;

    // Adds in batches, each one transaction, of this many books or this long at most.
    static constexpr std::size_t kBatchBooks = 256;
    static constexpr std::chrono::milliseconds kBatchTime{1000};

    CShelfAdder(CBookShelf& shelf, Report report);
    ~CShelfAdder();

    // A book or a folder (file system bytes, relative to the working directory or absolute).
    // False when the path itself cannot be read, or the shelf cannot be written.
    bool AddPath(const std::string& fsPath);
    // Commits what is left of the last batch; false when that fails.
    bool Finish();

    const Counts& Totals() const { return m_counts; }

private:
    bool AddFile(const std::string& path);
    bool Walk(const std::string& dir);
    void Note(Event event, const std::string& path);

    CBookShelf& m_shelf;
    Report m_report;
    Counts m_counts;
    std::unordered_set<std::string> m_known;
    std::set<std::pair<dev_t, ino_t>> m_walked;
    std::vector<std::string> m_pending; // added in the open batch
    std::chrono::steady_clock::time_point m_batchStart;
    bool m_bInBatch = false;
    bool m_bFailed = false;
};
