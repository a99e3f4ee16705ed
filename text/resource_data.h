#pragma once

#include "platform/code_page.h"
#include "platform/read_only_file.h"
#include "text/code_page_layout.h"
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

    // Opens this book at page 0 in place of the current one, read in the encoding `choice` names
    // (CEncodingChoice's names; "" or an unknown name: detected from the opening bytes). 0 on
    // success; -1 when the path is not a readable regular file, and then the current book stays
    // open exactly as it was.
    int OpenTxt(const std::u16string& path, std::string_view choice = {});
    // Reads the open book in another encoding ("" detects it again) and rebuilds the current
    // page. -1, changing nothing, without a book or for an unknown name.
    int SetEncodingChoice(std::string_view choice);
    // The encoding in use as the status bar names it: "GB18030", "BIG5", "UTF-8", ...
    std::string CodePageDisplayName() const;
    // Shows page `page`, limited to the book's pages. Returns 0.
    int GotoPage(int page);
    // 0 when the page changed, -1 at the first (last) page, where nothing is read.
    int PrevPage();
    int NextPage();
    // File size divided by 4092, rounded up.
    int GetPageCount() const;

    // The page arithmetic for whole-book work (chapters, search): where a page begins in the file
    // (0 for page 0, the file size past the last page), and which page shows a byte.
    std::uint64_t PageStartOffset(int page) const;
    int PageOfOffset(std::uint64_t offset) const;
    // Whether page `page` may show the byte at `offset`, from the numbers alone: a page begins at
    // most 2047 bytes before its nominal start, so only the byte's nominal page and the next one
    // can.
    static bool MayShowOffset(std::uint64_t page, std::uint64_t offset);
    // The index of the character that begins at file offset `offset` in page `page`'s text as
    // the pane shows it, where each line break (CR LF in m_strText) is one character.
    std::size_t TextPositionOf(int page, std::uint64_t offset) const;

    // Any page's text as the pane counts it, as TextPositionOf does: line breaks LF alone, no
    // byte-order mark. "" outside the book.
    std::u16string PaneTextOfPage(int page) const;

    std::u16string m_strText; // text of the current page
    std::u16string m_strPath; // path given to OpenTxt
    std::u16string m_strName; // what follows the last '/' of the path
    ReadOnlyFile m_hFile;
    int m_nPageSize = 4092;
    int m_nCurPage = 0;
    std::uint64_t m_nFileSize = 0;
    TextEncoding m_nEncoding = ENCODING_ANSI;
    // Where characters begin in the book's bytes; for ENCODING_ANSI also the code page to
    // decode with.
    CCodePageLayout m_layout{ENCODING_ANSI, LegacyCodePageName()};
    // The encoding chosen for the book, "" when it was detected.
    std::string m_strEncodingChoice;

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
    static CutPoints FindCutPoints(std::string_view window, bool firstPage,
                                   const CCodePageLayout& layout);
    // The same in the default legacy code page.
    static CutPoints FindCutPoints(std::string_view window, bool firstPage, TextEncoding encoding);
    // FindCutPoints for a window read at file offset `windowStart`, with the look-back done. The
    // start cut only needs the bytes up to a few past the window's nominal start, so a caller
    // holding those in memory gets the same start as a full window gives.
    CutPoints CutsOfWindow(std::string_view window, std::uint64_t windowStart) const;
    // The start of the legacy-code-page character holding bytes[edge]: decoding runs forward
    // from just after the last byte before the edge that always ends a character in the code
    // page (in GB18030: ASCII other than a digit). When there is none it runs from bytes[0] if
    // `startsAtCharacter` (the bytes start the book), else from the likelier of bytes[0] and
    // bytes[1]. Without a layout: in the default legacy code page.
    static std::size_t LegacyCharacterStart(std::string_view bytes, std::size_t edge,
                                            bool startsAtCharacter, const CCodePageLayout& layout);
    static std::size_t LegacyCharacterStart(std::string_view bytes, std::size_t edge,
                                            bool startsAtCharacter);
    // CR LF stays one break; every other CR or LF is a break of its own (so an empty line
    // between LF-only lines stays), written as CR LF.
    static std::string NormalizeLineBreaks(std::string_view bytes, TextEncoding encoding);
    // The page's text, up to the first zero character; malformed input gives U+FFFD.
    static std::u16string DecodeWindow(std::string_view bytes, const CCodePageLayout& layout);
    static std::u16string DecodeWindow(std::string_view bytes, TextEncoding encoding);

    // How far before an edge LegacyCharacterStart looks when the window is not enough.
    static constexpr std::size_t kLookBackBytes = 64 * 1024;

private:
    // The opening bytes the encoding is detected from.
    std::string ReadSample() const;
    // Sets the encoding from the choice, or from the sample when there is none.
    void ChooseEncoding(std::string_view sample, std::string_view choice);
    // Reads the current page's window and rebuilds m_strText.
    void ReadWindow();
    // Reads page `page`'s window and builds its text.
    std::u16string TextOfPage(int page) const;
    // Cuts, normalises and decodes the window that starts at file offset `windowStart`.
    std::u16string PageTextOfWindow(std::string_view window, std::uint64_t windowStart) const;
    // The cut of a legacy-code-page edge at file offset `edge`, from up to kLookBackBytes
    // before it.
    std::uint64_t CutWithLookBack(std::uint64_t edge) const;
};
