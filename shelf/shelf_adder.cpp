#include "shelf/shelf_adder.h"

#include "shelf/book_probe.h"
#include "shelf/book_shelf.h"

#include <QDateTime>

#include <algorithm>
#include <dirent.h>
#include <sys/stat.h>

CShelfAdder::CShelfAdder(CBookShelf& shelf, Report report)
    : m_shelf(shelf), m_report(std::move(report)), m_known(shelf.Paths()) {}

CShelfAdder::~CShelfAdder() {
    Finish();
}

void CShelfAdder::Note(Event event, const std::string& path) {
    switch (event) {
    case Event::Added:
        ++m_counts.added;
        break;
    case Event::Known:
        ++m_counts.known;
        break;
    case Event::NotABook:
        ++m_counts.notBooks;
        break;
    case Event::Unreadable:
        ++m_counts.unreadable;
        break;
    case Event::LinkLoop:
        ++m_counts.linkLoops;
        break;
    }
    if (m_report) {
        m_report(event, path);
    }
}

bool CShelfAdder::AddPath(const std::string& fsPath) {
    if (m_bFailed) {
        return false;
    }
    const std::string path = CBookShelf::KeyOf(fsPath);
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        Note(Event::Unreadable, path);
        return false;
    }
    if (!S_ISDIR(info.st_mode)) {
        return AddFile(path);
    }
    if (!m_walked.insert({info.st_dev, info.st_ino}).second) {
        return true; // named twice, or inside a folder named before
    }
    return Walk(path);
}

bool CShelfAdder::Walk(const std::string& top) {
    // Depth first without recursion: a folder's books, then its folders in name order.
    std::vector<std::string> folders{top};
    while (!folders.empty() && !m_bFailed) {
        const std::string dir = std::move(folders.back());
        folders.pop_back();
        DIR* stream = ::opendir(dir.c_str());
        if (stream == nullptr) {
            Note(Event::Unreadable, dir);
            if (dir == top) {
                return false;
            }
            continue;
        }
        std::vector<std::string> names;
        while (const dirent* entry = ::readdir(stream)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") {
                names.push_back(name);
            }
        }
        ::closedir(stream);
        std::sort(names.begin(), names.end());
        std::vector<std::string> inner;
        for (const std::string& name : names) {
            const std::string path = (dir == "/" ? "" : dir) + "/" + name;
            struct stat info {};
            // Through links: a link to a book is a book, one that leads nowhere is unreadable.
            if (::stat(path.c_str(), &info) != 0) {
                Note(Event::Unreadable, path);
            } else if (S_ISDIR(info.st_mode)) {
                if (m_walked.insert({info.st_dev, info.st_ino}).second) {
                    inner.push_back(path);
                } else {
                    Note(Event::LinkLoop, path);
                }
            } else if (S_ISREG(info.st_mode) && CBookProbe::HasBookSuffix(name)) {
                if (!AddFile(path)) {
                    return false;
                }
            } else {
                Note(Event::NotABook, path);
            }
        }
        folders.insert(folders.end(), inner.rbegin(), inner.rend());
    }
    return !m_bFailed;
}

bool CShelfAdder::AddFile(const std::string& path) {
    if (m_bFailed) {
        return false;
    }
    if (m_known.count(path) != 0) {
        Note(Event::Known, path);
        return true;
    }
    BookFacts facts;
    switch (CBookProbe::Probe(path, facts)) {
    case CBookProbe::Outcome::NotABook:
        Note(Event::NotABook, path);
        return true;
    case CBookProbe::Outcome::Unreadable:
        Note(Event::Unreadable, path);
        return true;
    case CBookProbe::Outcome::Book:
        break;
    }
    if (!m_bInBatch) {
        if (!m_shelf.BeginBatch()) {
            m_bFailed = true;
            return false;
        }
        m_bInBatch = true;
        m_batchStart = std::chrono::steady_clock::now();
    }
    switch (m_shelf.Add(path, facts, QDateTime::currentSecsSinceEpoch())) {
    case CBookShelf::AddResult::Added:
        m_pending.push_back(path);
        break;
    case CBookShelf::AddResult::Known: // another process added it meanwhile
        Note(Event::Known, path);
        break;
    case CBookShelf::AddResult::Failed:
        m_bFailed = true;
        return false;
    }
    m_known.insert(path);
    if (m_pending.size() >= kBatchBooks ||
        std::chrono::steady_clock::now() - m_batchStart >= kBatchTime) {
        return Finish();
    }
    return true;
}

bool CShelfAdder::Finish() {
    if (!m_bInBatch) {
        return !m_bFailed;
    }
    m_bInBatch = false;
    // What was added before a failure is kept.
    if (!m_shelf.CommitBatch()) {
        m_bFailed = true;
        m_pending.clear();
        return false;
    }
    // Told only now: what is reported added is on the shelf for good.
    for (const std::string& path : m_pending) {
        Note(Event::Added, path);
    }
    m_pending.clear();
    return !m_bFailed;
}
