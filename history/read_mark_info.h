#pragma once

#include <string>

// Mark type of a bookmark made from a local book; any other value is a network bookmark.
constexpr int MARK_LOCAL = 1;

// One record of the reading history, which is also one bookmark.
struct ReadMarkInfo {
    std::string strBookName; // file name with extension (legacy code page); the record's key
    std::string strFilePath; // full path (legacy code page)
    int nReadPage = 0;       // 0-based page read
    int nMarkType = 0;       // MARK_LOCAL or a network bookmark
    int nTotalPages = 0;     // page count when the record was made
};
