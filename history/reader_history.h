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
    // 20); then saves.
    void AddReadMark(const ReadMarkInfo& mark);
    // Rewrites the file from both lists.
    void Save();

    std::list<ReadMarkInfo> m_listLocal; // newest first
    std::list<ReadMarkInfo> m_listNet;
    std::string m_strDir; // legacy code page, no trailing separator
};
