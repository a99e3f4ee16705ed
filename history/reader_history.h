#pragma once

#include "history/read_mark_info.h"

#include <list>
#include <string>

// The reading history ("read_history.dat"): one record per book, local and network bookmarks.
class CReaderHistory {
public:
    CReaderHistory() = default;
    virtual ~CReaderHistory() = default;

    // Sets m_strDir to the data directory and replaces both lists by the file's records;
    // creates the file empty when it is missing. Returns 0.
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

private:
    // True when the record's five lines read back as this same record.
    static bool ReadsBack(const ReadMarkInfo& mark);
    std::string FilePath() const;

    // The loaded file from its first malformed record to its end (line ends as LF): not loaded,
    // but written back after the lists so a damaged line costs no other record.
    std::string m_keptTail;
};
