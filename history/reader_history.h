#pragma once

#include "history/read_mark_info.h"

#include <cstddef>
#include <list>
#include <string>

// The reading history ("read_history.dat"): one record per book, local and network bookmarks.
class CReaderHistory {
public:
    CReaderHistory() = default;
    virtual ~CReaderHistory() = default;

    // Sets m_strDir to the data directory and replaces both lists by the file's records;
    // creates the file empty when it is missing. Returns 0.
    // A file larger than any history could be, not a regular file or unreadable is left alone
    // and never saved over (m_nRefusedErrno). Every record is read, but a list keeps only the
    // 20 that use would have kept; when the file holds more than the store keeps, the whole
    // file is first given a second name (m_strSetAside), so saving the kept part loses nothing.
    int Load();
    // Updates the record with the same book name in place, or inserts it first (keeping at most
    // 20); then saves. A record that could not be read back from the file is ignored.
    void AddReadMark(const ReadMarkInfo& mark);
    // Rewrites the file from both lists, followed by the part of the loaded file from its first
    // malformed record on, kept unchanged.
    void Save();

    std::list<ReadMarkInfo> m_listLocal; // newest first
    std::list<ReadMarkInfo> m_listNet;
    std::string m_strDir; // legacy code page, no trailing separator
    // errno of why the file was refused; 0 when it was read, created or is being saved.
    int m_nRefusedErrno = 0;
    // The name (in the data directory) under which the whole loaded file was kept, or empty.
    std::string m_strSetAside;
    // Records the loaded file held.
    std::size_t m_nFileRecords = 0;

private:
    // True when the record's five lines read back as this same record.
    static bool ReadsBack(const ReadMarkInfo& mark);
    std::string FilePath() const;

    // Gives the loaded file a second name; false (errno set) when no name could be given.
    bool SetAside(const std::string& fsPath);

    // The loaded file from its first malformed record to its end, byte for byte: not loaded, but
    // written back after the lists so a damaged line costs no other record. A longer tail
    // than a history could hold is not kept here: the set-aside file keeps it.
    std::string m_keptTail;
};
