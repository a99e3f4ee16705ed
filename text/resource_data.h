#pragma once

#include "history/read_mark_info.h"
#include "platform/read_only_file.h"

#include <cstdint>
#include <string>

enum TextEncoding {
    ENCODING_ANSI = 0,
    ENCODING_UTF16LE = 1,
    ENCODING_UTF16BE = 2,
    ENCODING_UTF8 = 3,
};

// "ENCODING_ANSI", "ENCODING_UTF16LE", ...
const char* TextEncodingName(TextEncoding encoding);

// One open book, cut into pages of 4092 bytes; holds the decoded text of the current page only.
class CResourceData {
public:
    CResourceData() = default;
    virtual ~CResourceData() = default;
    CResourceData(const CResourceData&) = delete;
    CResourceData& operator=(const CResourceData&) = delete;

    // Closes the current book and opens this one at page 0. 0 on success, -1 when the path is not
    // a readable regular file (the previous book is closed either way).
    int OpenTxt(const std::u16string& path);
    // Shows page `page`, limited to the book's pages. Returns 0.
    int GotoPage(int page);
    // 0 when the page changed, -1 at the first (last) page, where nothing is read.
    int PrevPage();
    int NextPage();
    // The open book at the current page, as a local bookmark.
    ReadMarkInfo GetReadMarkInfo() const;
    // File size divided by 4092, rounded up.
    int GetPageCount() const;

    std::u16string m_strText; // text of the current page
    std::u16string m_strPath; // path given to OpenTxt
    std::u16string m_strName; // what follows the last '/' of the path
    ReadOnlyFile m_hFile;
    int m_nPageSize = 4092;
    int m_nCurPage = 0;
    std::uint64_t m_nFileSize = 0;
    TextEncoding m_nEncoding = ENCODING_ANSI;
};
