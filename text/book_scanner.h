#pragma once

#include "text/chapter_rules.h"
#include "text/code_page_layout.h"
#include "text/find_pattern.h"
#include "text/line_feeds.h"
#include "text/nul_watch.h"
#include "text/page_edges.h"
#include "text/replace_rules.h"
#include "text/resource_data.h"
#include "text/shown_characters.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// One heading or one occurrence found in a book.
struct ScanHit {
    std::uint64_t offset = 0; // file offset of its first byte
    int page = 0;             // the page that shows that byte, as the reader cuts pages
    std::u16string text;      // a heading's title; an occurrence's trimmed line when asked for
    std::size_t length = 0;   // an occurrence's bytes
    std::uint64_t rules = 0;  // a heading's: bit i for each chapter rule i it is a heading of
};

// Reads a whole book in blocks, in its own encoding, for chapter headings and for a phrase.
// It never holds more than one block and one line of the book, and only matches whole
// characters. One scanner belongs to one thread; other threads may only raise the cancel flag.
class CBookScanner {
public:
    // Hits are handed over as they are found; returning false stops the scan.
    using HitFn = std::function<bool(const ScanHit&)>;
    using ProgressFn = std::function<void(std::uint64_t done, std::uint64_t total)>;

    static constexpr std::size_t kBlockBytes = 512 * 1024;
    // A line longer than this is never a heading (it would need this many blanks).
    static constexpr std::size_t kMaxLineBytes = 64 * 1024;

    // Opens the book for reading in the encoding (and code page) the reader decodes it in. false
    // when it cannot be read.
    bool Open(const std::u16string& path, const CCodePageLayout& layout);
    std::uint64_t Size() const { return m_book.m_nFileSize; }
    // The book's page arithmetic, on the scanner's own handle.
    const CResourceData& Book() const { return m_book; }

    // Reads the book in blocks of this many bytes instead (at least 1): small blocks put block
    // edges inside small books, for tests.
    void SetBlockBytes(std::size_t bytes) { m_blockBytes = bytes > 0 ? bytes : 1; }

    // Checked between blocks: once it is true every scan returns false at once.
    void SetCancelFlag(const std::atomic<bool>* cancel) { m_cancel = cancel; }
    void SetProgress(ProgressFn progress) { m_progress = std::move(progress); }
    // For work that reads the book through the scanner: the flag, and progress as a scan's.
    bool Cancelled() const;
    void ReportProgress(std::uint64_t done, std::uint64_t total) const;

    // The rules headings are found by (today's rule alone unless set).
    void SetChapterRules(CChapterRules rules);
    const CChapterRules& ChapterRules() const { return m_rules; }
    // The clean-up rules of the book (none unless set): Find passes over occurrences they take
    // out of what the line shows, and a hit's line is its text as shown.
    void SetCleanUp(CReplaceRules rules) { m_cleanUp = std::move(rules); }
    const CReplaceRules& CleanUp() const { return m_cleanUp; }
    // Whether a phrase also finds its spellings in the other scripts (山雨欲来 finds 山雨欲來
    // too, and the other way round); on unless turned off.
    void SetAcrossScripts(bool across) { m_bAcrossScripts = across; }

    // Every line that is a heading of one of the rules, in book order. false when cancelled.
    bool ScanChapters(const HitFn& onHit);
    // The same for the lines that begin in [from, to): `from` is 0 or a line's start. Progress
    // is reported as part of that range.
    bool ScanChapters(const HitFn& onHit, std::uint64_t from, std::uint64_t to);
    // Where the first line that begins at or after `offset` begins (Size() when none does).
    std::uint64_t LineStartFrom(std::uint64_t offset) const;
    // Opens the book `other` has open the same way, with its rules, cancel flag and block size,
    // for another thread. false when it cannot be read.
    bool OpenLike(const CBookScanner& other);
    // The non-overlapping occurrences of `text` that begin in [from, to), in book order. `from`
    // must be where a character begins (0, a page start, the end of an earlier occurrence).
    // ASCII letters match in either case. withLine fills each hit's text. false when cancelled.
    bool Find(std::u16string_view text, std::uint64_t from, std::uint64_t to, bool withLine,
              const HitFn& onHit);
    // The last occurrence that begins before `before`; nothing when there is none or when
    // cancelled.
    std::optional<ScanHit> FindLast(std::u16string_view text, std::uint64_t before);
    // The trimmed text of the line that holds the byte at `offset`.
    std::u16string LineAt(std::uint64_t offset) const;

private:
    // The line that holds the match [offset, offset + length) as its pages show it, untrimmed,
    // with the match's first unit and its units in it.
    std::u16string LineOfMatch(std::uint64_t offset, std::size_t length, std::size_t& at,
                               std::size_t& units) const;
    // Whether the clean-up rules leave the match in its line; `line` gets the line as shown.
    bool SurvivesCleanUp(const ScanHit& hit, std::u16string& line) const;
    std::string Encode(std::u16string_view text) const;
    // The encoded character, or empty when the book's encoding cannot hold it.
    std::string EncodeChar(char16_t c) const;
    // Every code of the character; empty when the book's encoding cannot hold it.
    std::vector<std::string> CodesOf(char16_t c) const;
    // The pattern of the phrase, with its other spellings when searching across scripts.
    bool MakePattern(std::u16string_view text, CFindPattern& pattern) const;
    std::size_t UnitBytes() const;
    // The line feeds, NULs and page starts of the bytes at hand (see their classes).
    std::size_t LineFeedAt(const char* bytes, std::size_t n, std::uint64_t at, std::size_t i,
                           std::size_t first) const {
        return m_feeds.At(bytes, n, at, i, first);
    }
    std::size_t NextLineFeed(const char* bytes, std::size_t n, std::uint64_t at,
                             std::size_t from) const {
        return m_feeds.Next(bytes, n, at, from);
    }
    std::size_t PrevLineFeed(const char* bytes, std::size_t n, std::uint64_t at,
                             std::size_t before) const {
        return m_feeds.Prev(bytes, n, at, before);
    }
    std::size_t NulCharIn(const char* bytes, std::size_t n, std::uint64_t at) const {
        return CNulWatch::NulCharIn(bytes, n, at, m_book.m_nEncoding);
    }
    void NoteNuls(std::string_view bytes, std::uint64_t at) {
        m_nuls.Note(bytes, at, m_book.m_nEncoding);
    }
    void StartNulWatch(std::uint64_t from) { m_nuls.Start(m_book, from); }
    bool Shown(int page, std::uint64_t offset) { return m_nuls.Shown(m_book, page, offset); }
    std::uint64_t EdgeCut(int edge, std::string_view block, std::uint64_t blockStart) {
        return m_edges.EdgeCut(m_book, edge, block, blockStart);
    }
    int PageOf(std::uint64_t offset, std::string_view block, std::uint64_t blockStart) {
        return m_edges.PageOf(m_book, offset, block, blockStart);
    }
    std::uint64_t PageStartIn(std::uint64_t from, std::uint64_t to, std::string_view block,
                              std::uint64_t blockStart) {
        return m_edges.PageStartIn(m_book, from, to, block, blockStart);
    }
    // The text pages show for bytes [from, to) of `bytes` (read at file offset `at`), `from` a
    // character start. `pageStarts` are those in (from, to); bytes [to, tailEnd) are what
    // follows on the page, which the decoder may look at to read the last character before `to`.
    std::u16string DecodeShown(std::string_view bytes, std::uint64_t at, std::size_t from,
                               std::size_t to, const std::vector<std::uint64_t>& pageStarts,
                               std::size_t tailEnd) const;
    // A line [from, end) of the block; `broken` when a line break ends it.
    void TestLine(std::string_view block, std::uint64_t blockStart, std::size_t from,
                  std::size_t end, bool broken, const HitFn& onHit, bool& stop);
    std::size_t BlankLengthAt(std::string_view bytes, std::size_t at) const;
    std::size_t BlankLengthBefore(std::string_view bytes, std::size_t end) const;
    // How many characters the bytes show at least: lines longer than every rule's headings are
    // passed over without decoding them.
    std::size_t MinCharsOf(std::string_view bytes) const;
    // Encodes the rules' first characters and sizes their longest heading for the book.
    void PrepareRules();

    CResourceData m_book;
    std::optional<CCodePageLayout> m_layout;
    const CShownCharacters* m_chars = nullptr; // for legacy code pages
    std::size_t m_blockBytes = kBlockBytes;
    std::vector<std::string> m_blanks; // the encoded blanks, longest first
    CChapterRules m_rules;
    CReplaceRules m_cleanUp;
    std::vector<std::string> m_firstChars; // encoded first characters of headings
    std::array<bool, 256> m_firstBytes{};  // the bytes they begin with
    bool m_bAnyFirst = false;              // a rule's headings may begin with anything
    std::size_t m_maxHeadingChars = 0;
    std::size_t m_maxHeadingBytes = 0;
    CLineFeeds m_feeds;
    CNulWatch m_nuls;
    CPageEdges m_edges;
    bool m_bAcrossScripts = true;
    const std::atomic<bool>* m_cancel = nullptr;
    ProgressFn m_progress;
};
