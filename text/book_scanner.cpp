#include "text/book_scanner.h"

#include "platform/code_page.h"
#include "platform/paths.h"
#include "text/heading_rule.h"
#include "text/script_converter.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

bool IsUtf16(TextEncoding encoding) {
    return encoding == ENCODING_UTF16LE || encoding == ENCODING_UTF16BE;
}

constexpr char16_t kReplacement = 0xFFFD;

// Lines in novels are short, so a block of this size holds many; the blanks of the longest
// heading fit too.
constexpr std::size_t kMaxCharBytes = 4;

} // namespace

bool CBookScanner::Open(const std::u16string& path, const CCodePageLayout& layout) {
    ReadOnlyFile file;
    if (!file.Open(FsPathOfFile(path))) {
        return false;
    }
    m_book.m_hFile = std::move(file);
    m_book.m_nFileSize = m_book.m_hFile.Size();
    // The pages are cut, and the text decoded, exactly as the reader does for this book.
    m_book.m_nEncoding = layout.Encoding();
    m_book.m_layout = layout;
    m_book.m_strPath = path;
    m_layout.emplace(layout);
    m_chars = layout.Encoding() == ENCODING_ANSI ? &CShownCharacters::Of(layout) : nullptr;
    m_edges.Reset();

    // Lines end at LF (or CR LF), and in old Mac files at a CR alone, as on the reader's pages.
    // Lone CRs are looked for only in a book that shows one in its opening bytes: looking on
    // every line would cost the scan a second pass over each line.
    bool loneCr = false;
    std::string sample(static_cast<std::size_t>(std::min<std::uint64_t>(64 * 1024, Size())), '\0');
    sample.resize(m_book.m_hFile.ReadAt(0, sample.data(), sample.size()));
    const std::string cr = EncodeChar(u'\r');
    const std::string lf = EncodeChar(u'\n');
    for (std::size_t i = cr.empty() ? std::string::npos : sample.find(cr);
         i != std::string::npos && i + cr.size() < sample.size(); i = sample.find(cr, i + 1)) {
        if (i % cr.size() == 0 && sample.compare(i + cr.size(), lf.size(), lf) != 0) {
            loneCr = true;
            break;
        }
    }
    m_feeds.Set(layout.Encoding(), loneCr);

    m_blanks.clear();
    for (char16_t c : {u' ', u'\t', u'\r', u'\v', u'\f', u'\u00A0', u'\u3000', u'\uFEFF'}) {
        for (std::string& bytes : CodesOf(c)) {
            m_blanks.push_back(std::move(bytes));
        }
    }
    std::sort(m_blanks.begin(), m_blanks.end(),
              [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
    PrepareRules();
    return true;
}

void CBookScanner::SetChapterRules(CChapterRules rules) {
    m_rules = std::move(rules);
    if (m_layout) {
        PrepareRules();
    }
}

void CBookScanner::PrepareRules() {
    m_firstChars.clear();
    m_firstBytes.fill(false);
    for (char16_t c : m_rules.FirstCharacters()) {
        for (std::string& bytes : CodesOf(c)) {
            if (!bytes.empty()) {
                m_firstBytes[static_cast<unsigned char>(bytes[0])] = true;
                m_firstChars.push_back(std::move(bytes));
            }
        }
    }
    m_bAnyFirst = m_rules.AnyFirstCharacter();
    m_maxHeadingChars = m_rules.MaxChars();
    m_maxHeadingBytes = m_maxHeadingChars * kMaxCharBytes;
}

std::string CBookScanner::Encode(std::u16string_view text) const {
    switch (m_book.m_nEncoding) {
    case ENCODING_UTF8:
        return EncodeUtf8(text);
    case ENCODING_UTF16LE:
    case ENCODING_UTF16BE: {
        const bool le = m_book.m_nEncoding == ENCODING_UTF16LE;
        std::string bytes;
        for (char16_t c : text) {
            const char high = static_cast<char>(c >> 8);
            const char low = static_cast<char>(c & 0xFF);
            bytes += le ? low : high;
            bytes += le ? high : low;
        }
        return bytes;
    }
    case ENCODING_ANSI:
        break;
    }
    return EncodeCodePage(text, m_layout->CodePage());
}

std::string CBookScanner::EncodeChar(char16_t c) const {
    const std::u16string_view one(&c, 1);
    std::string bytes = Encode(one);
    if (m_book.m_nEncoding == ENCODING_ANSI && DecodeCodePage(bytes, m_layout->CodePage()) != one) {
        return {}; // the code page has no such character
    }
    return bytes;
}

std::vector<std::string> CBookScanner::CodesOf(char16_t c) const {
    if (m_chars != nullptr) {
        return m_chars->CodesAt(std::u16string_view(&c, 1)).bytes;
    }
    return {EncodeChar(c)};
}

bool CBookScanner::MakePattern(std::u16string_view text, CFindPattern& pattern) const {
    const auto codesAt = [this](std::u16string_view rest) {
        if (m_chars != nullptr) {
            return m_chars->CodesAt(rest);
        }
        CFindPattern::Codes codes;
        // A surrogate pair is encoded as one character.
        const bool pair = rest.size() > 1 && rest[0] >= 0xD800 && rest[0] <= 0xDBFF &&
                          rest[1] >= 0xDC00 && rest[1] <= 0xDFFF;
        codes.units = pair ? 2 : 1;
        codes.bytes.push_back(Encode(rest.substr(0, codes.units)));
        return codes;
    };
    if (!m_bAcrossScripts) {
        return pattern.Make(text, codesAt);
    }
    // Spellings the book's code page cannot hold are left out (Big5 has no 来). One whose
    // characters do not pair with the others' is left out too: OpenCC's script dictionaries map
    // each phrase to one of its own length, so only a code page's own quirks make one.
    bool made = false;
    for (const std::u16string& spelling : CScriptConverter::Spellings(text)) {
        CFindPattern other;
        if (!other.Make(spelling, codesAt)) {
            continue;
        }
        if (!made) {
            pattern = std::move(other);
            made = true;
        } else {
            pattern.Merge(other);
        }
    }
    return made;
}

bool CBookScanner::Cancelled() const {
    return m_cancel != nullptr && m_cancel->load(std::memory_order_relaxed);
}

void CBookScanner::ReportProgress(std::uint64_t done, std::uint64_t total) const {
    if (m_progress) {
        m_progress(done, total);
    }
}

std::size_t CBookScanner::UnitBytes() const {
    return IsUtf16(m_book.m_nEncoding) ? 2 : 1;
}

std::u16string CBookScanner::DecodeShown(std::string_view bytes, std::uint64_t at, std::size_t from,
                                         std::size_t to,
                                         const std::vector<std::uint64_t>& pageStarts,
                                         std::size_t tailEnd) const {
    const TextEncoding encoding = m_book.m_nEncoding;
    const auto decode = [&](std::string_view part) {
        return CResourceData::DecodeWindow(CResourceData::NormalizeLineBreaks(part, encoding),
                                           *m_layout);
    };
    std::u16string text;
    for (std::uint64_t start : pageStarts) {
        const auto cut = static_cast<std::size_t>(start - at);
        text += decode(bytes.substr(from, cut - from));
        from = cut;
    }
    std::u16string last = decode(bytes.substr(from, to - from));
    if (!last.empty() && last.back() == kReplacement && tailEnd > to) {
        // Bytes that end inside a character may read otherwise with what follows them (a lead
        // byte and a digit are the start of a four-byte GB18030 character until the third byte
        // says otherwise): decode them with it, then drop what it gave.
        last = decode(bytes.substr(from, tailEnd - from));
        last.resize(last.size() -
                    std::min(last.size(), decode(bytes.substr(to, tailEnd - to)).size()));
    }
    return text + last;
}

std::size_t CBookScanner::MinCharsOf(std::string_view bytes) const {
    std::size_t chars = 0;
    switch (m_book.m_nEncoding) {
    case ENCODING_UTF8:
        for (std::size_t i = 0; i < bytes.size() && chars <= m_maxHeadingChars; ++i) {
            chars += (static_cast<unsigned char>(bytes[i]) & 0xC0) != 0x80;
        }
        return chars;
    case ENCODING_UTF16LE:
    case ENCODING_UTF16BE:
        return bytes.size() / 4; // every character one or two units
    case ENCODING_ANSI:
        break;
    }
    if (!m_layout->CodePage().starts_with("GB")) {
        return bytes.size() / 4; // no code page has longer characters
    }
    // GB18030: one byte, or a lead byte and a second one (a digit starts a four-byte code).
    // Counting stops once past every rule's longest heading.
    for (std::size_t i = 0; i < bytes.size() && chars <= m_maxHeadingChars; ++chars) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        const bool four =
            b >= 0x81 && i + 1 < bytes.size() && bytes[i + 1] >= '0' && bytes[i + 1] <= '9';
        i += b < 0x80 ? 1 : four ? 4 : 2;
    }
    return chars;
}

std::size_t CBookScanner::BlankLengthAt(std::string_view bytes, std::size_t at) const {
    for (const std::string& blank : m_blanks) {
        if (bytes.substr(at, blank.size()) == blank) {
            return blank.size();
        }
    }
    return 0;
}

std::size_t CBookScanner::BlankLengthBefore(std::string_view bytes, std::size_t end) const {
    for (const std::string& blank : m_blanks) {
        if (end >= blank.size() && bytes.substr(end - blank.size(), blank.size()) == blank) {
            return blank.size();
        }
    }
    return 0;
}

void CBookScanner::TestLine(std::string_view block, std::uint64_t blockStart, std::size_t from,
                            std::size_t end, bool broken, const HitFn& onHit, bool& stop) {
    // The page shows a line up to a NUL in it (the block's NULs are noted before its lines).
    if (m_nuls.Last() && *m_nuls.Last() >= blockStart + from) {
        if (const std::size_t nul = NulCharIn(block.data() + from, end - from, blockStart + from);
            nul != std::string_view::npos) {
            end = from + nul;
            broken = false;
        }
    }
    // Cheap tests on the encoded bytes first: nearly every line of a novel fails one of them.
    std::size_t p = from;
    while (p < end) {
        const std::size_t blank = BlankLengthAt(block.substr(0, end), p);
        if (blank == 0) {
            break;
        }
        p += blank;
    }
    if (p == end) {
        return;
    }
    const std::string_view rest = block.substr(p, end - p);
    std::size_t firstBytes = 1;
    if (!m_bAnyFirst) {
        if (!m_firstBytes[static_cast<unsigned char>(rest[0])]) {
            return;
        }
        const auto first =
            std::find_if(m_firstChars.begin(), m_firstChars.end(),
                         [&](const std::string& code) { return rest.starts_with(code); });
        if (first == m_firstChars.end()) {
            return;
        }
        firstBytes = first->size();
    }
    // A page that starts inside one of those characters shows something else there.
    const std::uint64_t firstEnd = blockStart + p + firstBytes;
    for (std::uint64_t at = blockStart + from;
         (at = PageStartIn(at, firstEnd, block, blockStart)) < firstEnd;) {
        std::size_t q = from;
        while (q < at - blockStart && q < p) {
            q += BlankLengthAt(block.substr(0, end), q);
        }
        if (q != at - blockStart) {
            return;
        }
    }
    std::size_t e = end;
    while (e - p > m_maxHeadingBytes) {
        const std::size_t blank = BlankLengthBefore(block.substr(0, e), e);
        if (blank == 0) {
            return; // too long to be a heading whatever its characters are
        }
        e -= blank;
    }
    for (std::size_t blank; (blank = BlankLengthBefore(block.substr(0, e), e)) > 0 && e > p;) {
        e -= blank;
    }
    if (e - p > m_maxHeadingChars && MinCharsOf(block.substr(p, e - p)) > m_maxHeadingChars) {
        return; // most paragraphs: no need to decode them to know
    }
    // Decode the whole line from its first non-blank as its pages show it: trailing bytes
    // stripped above only shortened the test, the rule itself runs on the decoded text.
    std::vector<std::uint64_t> pageStarts;
    for (std::uint64_t at = blockStart + p;
         (at = PageStartIn(at, blockStart + end, block, blockStart)) < blockStart + end;) {
        pageStarts.push_back(at);
    }
    std::size_t tailEnd = end;
    if (broken) {
        // The line break and a little more, up to where the next page starts.
        tailEnd = std::min(block.size(), end + kMaxCharBytes * UnitBytes());
        tailEnd = static_cast<std::size_t>(
            PageStartIn(blockStart + end - 1, blockStart + tailEnd, block, blockStart) -
            blockStart);
    }
    const std::u16string line = DecodeShown(block, blockStart, p, end, pageStarts, tailEnd);
    const std::u16string_view title = TrimLine(line);
    if (title.size() > 2 * m_maxHeadingChars) {
        return; // longer than any rule's heading however many pairs it holds
    }
    if (const std::uint64_t rules = m_rules.Match(title)) {
        ScanHit hit;
        hit.offset = blockStart + p;
        hit.page = PageOf(hit.offset, block, blockStart);
        hit.text = std::u16string(title);
        hit.rules = rules;
        if (Shown(hit.page, hit.offset)) {
            stop = !onHit(hit);
        }
    }
}

bool CBookScanner::ScanChapters(const HitFn& onHit) {
    return ScanChapters(onHit, 0, Size());
}

std::uint64_t CBookScanner::LineStartFrom(std::uint64_t offset) const {
    if (offset == 0) {
        return 0;
    }
    const std::size_t unit = UnitBytes();
    offset -= offset % unit;
    // The line break that ends the line before: at offset - unit or later.
    std::string bytes;
    for (std::uint64_t at = offset - unit; at < Size(); at += bytes.size()) {
        bytes.assign(static_cast<std::size_t>(std::min<std::uint64_t>(kMaxLineBytes, Size() - at)),
                     '\0');
        bytes.resize(m_book.m_hFile.ReadAt(at, bytes.data(), bytes.size()));
        bytes.resize(bytes.size() - bytes.size() % unit);
        if (bytes.empty()) {
            break;
        }
        const std::size_t lf = NextLineFeed(bytes.data(), bytes.size(), at, 0);
        if (lf != std::string_view::npos) {
            return at + lf + unit;
        }
    }
    return Size();
}

bool CBookScanner::OpenLike(const CBookScanner& other) {
    if (!other.m_layout || !Open(other.m_book.m_strPath, *other.m_layout)) {
        return false;
    }
    SetChapterRules(other.m_rules);
    m_cancel = other.m_cancel;
    m_blockBytes = other.m_blockBytes;
    return true;
}

bool CBookScanner::ScanChapters(const HitFn& onHit, std::uint64_t from, std::uint64_t to) {
    const std::uint64_t size = std::min(to, Size());
    const std::size_t unit = UnitBytes();
    std::string block;
    block.reserve(m_blockBytes + kMaxLineBytes);
    std::uint64_t blockStart = std::min(from, size);
    std::size_t pos = 0;
    bool skipping = false; // inside a line too long to be a heading
    bool stop = false;
    m_edges.Reset();
    StartNulWatch(blockStart);
    while (!stop) {
        if (Cancelled()) {
            return false;
        }
        block.erase(0, pos);
        blockStart += pos;
        pos = 0;
        const std::uint64_t readAt = blockStart + block.size();
        const std::size_t want =
            static_cast<std::size_t>(std::min<std::uint64_t>(m_blockBytes, size - readAt));
        const std::size_t kept = block.size();
        block.resize(kept + want);
        const std::size_t got = m_book.m_hFile.ReadAt(readAt, block.data() + kept, want);
        block.resize(kept + got);
        NoteNuls(std::string_view(block).substr(kept), readAt);
        const bool atEnd = got < want || readAt + got >= size;
        while (!stop) {
            const std::size_t lf = NextLineFeed(block.data(), block.size(), blockStart, pos);
            if (lf == std::string_view::npos) {
                break;
            }
            if (!skipping) {
                TestLine(block, blockStart, pos, lf, true, onHit, stop);
            }
            skipping = false;
            pos = lf + unit;
        }
        ReportProgress(blockStart + block.size() - std::min(from, size),
                       size - std::min(from, size));
        if (atEnd) {
            if (!stop && !skipping && pos < block.size()) {
                TestLine(block, blockStart, pos, block.size(), false, onHit, stop);
            }
            break;
        }
        if (block.size() - pos > kMaxLineBytes) {
            // Keep the memory bounded: drop the rest of this line, keeping the unit alignment.
            skipping = true;
            pos = block.size() - (block.size() - pos) % unit;
        }
    }
    return true;
}

bool CBookScanner::Find(std::u16string_view text, std::uint64_t from, std::uint64_t to,
                        bool withLine, const HitFn& onHit) {
    CFindPattern pattern;
    to = std::min(to, Size());
    if (!MakePattern(text, pattern) || from >= to) {
        return !Cancelled();
    }
    constexpr std::uint64_t kPage = CResourceData::kPageBytes;
    constexpr std::uint64_t kMargin = CResourceData::kMarginBytes;
    const TextEncoding encoding = m_book.m_nEncoding;
    const int pageCount = m_book.GetPageCount();
    // Bytes a candidate needs after its start: the longest match, and the longest character
    // that may hold the start (so a walk never sees a cut-off character).
    const std::size_t lookAhead = std::max(pattern.MaxBytes(), kMaxCharBytes);
    const std::uint64_t readEnd = std::min(Size(), to + lookAhead);
    std::string block;
    block.reserve(m_blockBytes + lookAhead);
    std::uint64_t blockStart = from;
    // In a legacy code page, a character start of the page's decoding at or before every
    // candidate left: the decoding starts again at each line break and each page start.
    std::uint64_t cursor = from;
    std::uint64_t candidate = from; // the first candidate start not yet looked at
    m_edges.Reset();
    StartNulWatch(from);

    // Whether the page of `c` shows the match [c, c + length) as the phrase: the match begins
    // where the page's decoder reads a character, and no page starts inside one of its
    // characters (in UTF-8 and UTF-16 every complete character passes both).
    const auto shownAt = [&](std::uint64_t c, std::size_t length, int page) {
        if (IsUtf16(encoding)) {
            return c % 2 == 0;
        }
        if (m_chars == nullptr) {
            return true; // in UTF-8 every byte that is no continuation byte starts a character
        }
        const char* base = block.data();
        const std::size_t lf =
            PrevLineFeed(base + (cursor - blockStart), block.size() - (cursor - blockStart), cursor,
                         static_cast<std::size_t>(c - cursor));
        if (lf != std::string_view::npos) {
            cursor += lf + 1;
        }
        if (page > 0 && cursor < page * kPage) {
            cursor = std::max(cursor, EdgeCut(page, block, blockStart));
        }
        // Where the page ends, when the walk or the match may reach it.
        std::uint64_t end = blockStart + block.size();
        if (page + 1 < pageCount && c + lookAhead + kMargin > (page + 1) * kPage) {
            end = std::min(end, EdgeCut(page + 1, block, blockStart));
        }
        while (cursor < c) {
            const std::size_t at = cursor - blockStart;
            const std::size_t step =
                m_chars->Length(reinterpret_cast<const unsigned char*>(base + at), end - cursor);
            if (step == 0) {
                return false; // the page shows nothing more
            }
            if (cursor + step > c) {
                return false;
            }
            cursor += step;
        }
        for (std::uint64_t start = c;
             (start = PageStartIn(start, c + length, block, blockStart)) < c + length;) {
            if (pattern.SplitsAt(base + (c - blockStart), start - c)) {
                return false;
            }
        }
        return true;
    };

    while (true) {
        if (Cancelled()) {
            return false;
        }
        const std::uint64_t keepFrom = std::min(cursor, candidate);
        block.erase(0, keepFrom - blockStart);
        blockStart = keepFrom;
        const std::uint64_t readAt = blockStart + block.size();
        const std::size_t want =
            static_cast<std::size_t>(std::min<std::uint64_t>(m_blockBytes, readEnd - readAt));
        const std::size_t kept = block.size();
        block.resize(kept + want);
        const std::size_t got = m_book.m_hFile.ReadAt(readAt, block.data() + kept, want);
        block.resize(kept + got);
        NoteNuls(std::string_view(block).substr(kept), readAt);
        const std::uint64_t blockEnd = blockStart + block.size();
        const bool atEnd = got < want || blockEnd >= readEnd;
        // Candidates that begin after this have some of their bytes in the next block.
        std::uint64_t last;
        if (atEnd) {
            last = blockEnd >= pattern.MinBytes() ? std::min(to - 1, blockEnd - pattern.MinBytes())
                                                  : 0;
            if (blockEnd < pattern.MinBytes() || last < candidate) {
                break;
            }
        } else {
            if (blockEnd < lookAhead || blockEnd - lookAhead < candidate) {
                continue; // a block too small to hold a candidate whole: read on
            }
            last = std::min(to - 1, blockEnd - lookAhead);
        }
        const char* base = block.data();
        std::vector<std::size_t> starts; // NextStart's places in this block
        while (candidate <= last) {
            std::uint64_t c;
            if (!pattern.Anchor().empty()) {
                const std::size_t searchFrom = candidate + pattern.AnchorAt() - blockStart;
                const std::size_t searchEnd =
                    last + pattern.AnchorAt() + pattern.Anchor().size() - blockStart;
                const void* hit = memmem(base + searchFrom, searchEnd - searchFrom,
                                         pattern.Anchor().data(), pattern.Anchor().size());
                if (hit == nullptr) {
                    break;
                }
                c = blockStart + (static_cast<const char*>(hit) - base) - pattern.AnchorAt();
            } else {
                // No byte every match holds (ASCII letters, characters of several codes): look
                // for the bytes a match may begin with.
                const std::size_t i =
                    pattern.NextStart(base, candidate - blockStart, last + 1 - blockStart, starts);
                if (i == std::string_view::npos) {
                    break;
                }
                c = blockStart + i;
            }
            const std::size_t length = pattern.MatchAt(base + (c - blockStart), blockEnd - c);
            const int page = length == 0 ? 0 : PageOf(c, block, blockStart);
            if (length == 0 || !shownAt(c, length, page)) {
                candidate = c + 1;
                continue;
            }
            ScanHit hit;
            hit.offset = c;
            hit.length = length;
            hit.page = page;
            candidate = c + length;
            if (!Shown(hit.page, c)) {
                continue; // after a NUL on its page, where the page shows nothing
            }
            if (m_cleanUp.Changes()) {
                std::u16string shown;
                if (!SurvivesCleanUp(hit, shown)) {
                    continue;
                }
                if (withLine) {
                    hit.text = TrimLine(shown);
                }
            } else if (withLine) {
                hit.text = LineAt(c);
            }
            if (!onHit(hit)) {
                return true;
            }
        }
        candidate = std::max(candidate, last + 1);
        ReportProgress(blockEnd - std::min(blockEnd, from), readEnd - from);
        if (atEnd || candidate >= to) {
            break;
        }
        if (m_chars != nullptr && cursor < candidate) {
            // Bring the walk up to the next candidate's line or page, so the bytes before it can
            // be let go.
            const std::size_t at = cursor - blockStart;
            const std::size_t lf = PrevLineFeed(base + at, block.size() - at, cursor,
                                                static_cast<std::size_t>(candidate - cursor));
            if (lf != std::string_view::npos) {
                cursor += lf + 1;
            }
            const int page = PageOf(candidate, block, blockStart);
            if (page > 0 && cursor < page * kPage) {
                cursor = std::max(cursor, EdgeCut(page, block, blockStart));
            }
        } else if (m_chars == nullptr) {
            cursor = candidate;
        }
    }
    return true;
}

std::optional<ScanHit> CBookScanner::FindLast(std::u16string_view text, std::uint64_t before) {
    // Backwards in chunks; each chunk is searched forwards from its first line start, which is
    // a character start in every encoding.
    constexpr std::uint64_t kChunk = 4 * 1024 * 1024;
    std::uint64_t end = std::min(before, Size());
    while (end > 0) {
        std::uint64_t start = end > kChunk ? end - kChunk : 0;
        if (start > 0) {
            std::string head(static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, end - start)),
                             '\0');
            head.resize(m_book.m_hFile.ReadAt(start, head.data(), head.size()));
            const std::size_t lf = NextLineFeed(head.data(), head.size(), start, 0);
            // Without a line start inside the chunk (no break, or only the one that ends it) its
            // character starts are unknown: search from the start of the book, which is slow but
            // right, and ends the walk back.
            start = lf == std::string_view::npos ? 0 : start + lf + UnitBytes();
            if (start >= end) {
                start = 0;
            }
        }
        std::optional<ScanHit> last;
        if (!Find(text, start, end, false, [&](const ScanHit& hit) {
                last = hit;
                return true;
            })) {
            return std::nullopt;
        }
        if (last) {
            return last;
        }
        end = start;
    }
    return std::nullopt;
}

std::u16string CBookScanner::LineAt(std::uint64_t offset) const {
    std::size_t at = 0;
    std::size_t units = 0;
    const std::u16string line = LineOfMatch(offset, 0, at, units);
    return std::u16string(TrimLine(line));
}

bool CBookScanner::SurvivesCleanUp(const ScanHit& hit, std::u16string& line) const {
    std::size_t at = 0;
    std::size_t units = 0;
    const std::u16string source = LineOfMatch(hit.offset, hit.length, at, units);
    const CReplaceRules::Shown shown = m_cleanUp.Apply(source);
    line = shown.text;
    if (units == 0 || at + units > source.size()) {
        return !shown.removed;
    }
    // The match is still there when its units are all shown, in a row and unchanged.
    for (std::size_t j = 0; j + units <= shown.text.size(); ++j) {
        if (shown.from[j] != at) {
            continue;
        }
        std::size_t k = 0;
        while (k < units && shown.from[j + k] == at + k && shown.text[j + k] == source[at + k]) {
            ++k;
        }
        if (k == units) {
            return true;
        }
    }
    return false;
}

std::u16string CBookScanner::LineOfMatch(std::uint64_t offset, std::size_t length,
                                         std::size_t& atUnit, std::size_t& units) const {
    // Most lines are paragraphs of a few hundred characters: a few KB around the offset hold
    // them, and only a longer line is read again in its full reach.
    constexpr std::size_t kNearBytes = 4096;
    // An offset past the end (a book that shrank, a caller's arithmetic) is the end: the bytes
    // read never reach it otherwise.
    offset = std::min(offset, Size());
    std::uint64_t from = 0;
    std::string bytes;
    std::size_t at = 0;
    std::size_t before = std::string_view::npos;
    std::size_t end = std::string_view::npos;
    for (const std::size_t reach : {kNearBytes, kMaxLineBytes}) {
        from = offset > reach ? offset - reach : 0;
        bytes.assign(static_cast<std::size_t>(std::min(Size(), offset + reach) - from), '\0');
        bytes.resize(m_book.m_hFile.ReadAt(from, bytes.data(), bytes.size()));
        at = std::min(static_cast<std::size_t>(offset - from), bytes.size());
        before = PrevLineFeed(bytes.data(), bytes.size(), from, at);
        end = NextLineFeed(bytes.data(), bytes.size(), from, at);
        if ((before != std::string_view::npos || from == 0) &&
            (end != std::string_view::npos || from + bytes.size() >= Size())) {
            break;
        }
    }
    const std::size_t unit = UnitBytes();
    const std::size_t start = before == std::string_view::npos ? (from % unit) : before + unit;
    end = end == std::string_view::npos ? bytes.size() : end;
    // Each page decodes its own part of the line, the last one with what follows the line.
    std::vector<std::uint64_t> pageStarts;
    std::size_t tailEnd = std::min(bytes.size(), end + kMaxCharBytes * unit);
    for (int page = m_book.PageOfOffset(from + start) + 1; page < m_book.GetPageCount(); ++page) {
        const std::uint64_t pageStart = m_book.PageStartOffset(page);
        if (pageStart >= from + tailEnd) {
            break;
        }
        if (pageStart >= from + end) {
            tailEnd = static_cast<std::size_t>(pageStart - from);
            break;
        }
        if (pageStart > from + start) {
            pageStarts.push_back(pageStart);
        }
    }
    // The match's place: what its line shows before it, and what it shows itself.
    const auto startsIn = [&](std::uint64_t lo, std::uint64_t hi) {
        std::vector<std::uint64_t> in;
        for (std::uint64_t s : pageStarts) {
            if (s > lo && s < hi) {
                in.push_back(s);
            }
        }
        return in;
    };
    atUnit = 0;
    units = 0;
    const std::size_t matchEnd = std::min(end, at + length);
    if (matchEnd > at) {
        atUnit =
            at <= start
                ? 0
                : DecodeShown(bytes, from, start, at, startsIn(from + start, offset), at).size();
        units = DecodeShown(bytes, from, at, matchEnd, startsIn(offset, from + matchEnd), matchEnd)
                    .size();
    }
    return DecodeShown(bytes, from, start, end, pageStarts, tailEnd);
}
