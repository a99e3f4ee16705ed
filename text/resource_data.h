#pragma once

#include "history/read_mark_info.h"
#include "platform/read_only_file.h"
#include "text/text_encoding.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// "ENCODING_ANSI", "ENCODING_UTF16LE", ...
const char* TextEncodingName(TextEncoding encoding);

// One open book, cut into pages of 4092 bytes; holds the decoded text of the current page only.
class CResourceData {
public:
    CResourceData() = default;
    virtual ~CResourceData() = default;
    CResourceData(const CResourceData&) = delete;
    CResourceData& operator=(const CResourceData&) = delete;

    // Opens this book at page 0 in place of the current one. 0 on success; -1 when the path is not
    // a readable regular file, and then the current book stays open exactly as it was.
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

    // Page geometry: a page is 4092 bytes of the file; its window adds up to 2048 bytes on each
    // side, where the page's cuts are looked for.
    static constexpr std::size_t kPageBytes = 4092;
    static constexpr std::size_t kMarginBytes = 2048;
    static constexpr std::size_t kFirstWindowBytes = kPageBytes + kMarginBytes;
    static constexpr std::size_t kWindowBytes = kPageBytes + 2 * kMarginBytes;

    // The steps of building a page's text from its window, pure so they can be checked alone.
    struct CutPoints {
        std::size_t start; // index of the page's first byte in the window
        std::size_t end;   // index just past its last byte
        // In a legacy-code-page book, an edge with neither a break nor a byte that ends a
        // character in the 2048 bytes before it: the window cannot tell where its characters
        // start, and LegacyCharacterStart must place the cut from more of the file.
        bool startNeedsLookBack = false;
        bool endNeedsLookBack = false;
    };
    // The UTF-8 score of a sample: more than 80 of 100 high-byte sequences well formed. A sample
    // without any byte of 0x80 or above passes.
    static bool LooksLikeUtf8(const char* data, std::size_t n);
    // The encoding of a book from the first bytes of its file.
    static TextEncoding DetectEncoding(const char* data, std::size_t n);
    // Where the page lies in its window (the bytes read for it; `firstPage` for page 0's window,
    // which starts at the start of the file). Each page edge inside the book is cut at the last
    // break at or before the nominal edge, looking back at most 2047 bytes, or else at the start
    // of the character holding the edge; the two windows that share an edge cut it alike.
    static CutPoints FindCutPoints(std::string_view window, bool firstPage, TextEncoding encoding);
    // The start of the legacy-code-page character holding bytes[edge]: decoding runs forward
    // from just after the last byte before the edge that always ends a character (ASCII other
    // than a digit). When there is none it runs from bytes[0] if `startsAtCharacter` (the
    // bytes start the book), else from the likelier of bytes[0] and bytes[1].
    static std::size_t LegacyCharacterStart(std::string_view bytes, std::size_t edge,
                                            bool startsAtCharacter);
    // CR LF stays one break; every other CR or LF is a break of its own (so an empty line
    // between LF-only lines stays), written as CR LF.
    static std::string NormalizeLineBreaks(std::string_view bytes, TextEncoding encoding);
    // The page's text, up to the first zero character; malformed input gives U+FFFD.
    static std::u16string DecodeWindow(std::string_view bytes, TextEncoding encoding);

    // How far before an edge LegacyCharacterStart looks when the window is not enough.
    static constexpr std::size_t kLookBackBytes = 64 * 1024;

private:
    // Reads the current page's window and rebuilds m_strText.
    void ReadWindow();
    // Cuts, normalises and decodes the window that starts at file offset `windowStart`.
    std::u16string PageTextOfWindow(std::string_view window, std::uint64_t windowStart) const;
    // The cut of a legacy-code-page edge at file offset `edge`, from up to kLookBackBytes
    // before it.
    std::uint64_t CutWithLookBack(std::uint64_t edge) const;
};
