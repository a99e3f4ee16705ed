#include "text/book_scanner.h"

#include "platform/code_page.h"
#include "platform/paths.h"
#include "text/heading_rule.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

bool IsUtf16(TextEncoding encoding) {
    return encoding == ENCODING_UTF16LE || encoding == ENCODING_UTF16BE;
}

bool IsAsciiLetter(char16_t c) {
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

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
    m_edgePage = -1;

    // Lines end at LF (or CR LF), and in old Mac files at a CR alone, as on the reader's pages.
    // Lone CRs are looked for only in a book that shows one in its opening bytes: looking on
    // every line would cost the scan a second pass over each line.
    m_bLoneCr = false;
    std::string sample(static_cast<std::size_t>(std::min<std::uint64_t>(64 * 1024, Size())), '\0');
    sample.resize(m_book.m_hFile.ReadAt(0, sample.data(), sample.size()));
    const std::string cr = EncodeChar(u'\r');
    const std::string lf = EncodeChar(u'\n');
    for (std::size_t i = cr.empty() ? std::string::npos : sample.find(cr);
         i != std::string::npos && i + cr.size() < sample.size(); i = sample.find(cr, i + 1)) {
        if (i % cr.size() == 0 && sample.compare(i + cr.size(), lf.size(), lf) != 0) {
            m_bLoneCr = true;
            break;
        }
    }

    m_blanks.clear();
    for (char16_t c : {u' ', u'\t', u'\r', u'\v', u'\f', u'\u00A0', u'\u3000', u'\uFEFF'}) {
        if (std::string bytes = EncodeChar(c); !bytes.empty()) {
            m_blanks.push_back(std::move(bytes));
        }
    }
    std::sort(m_blanks.begin(), m_blanks.end(),
              [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
    m_firstChars.clear();
    for (char16_t c : HeadingFirstCharacters()) {
        if (std::string bytes = EncodeChar(c); !bytes.empty()) {
            m_firstChars.push_back(std::move(bytes));
        }
    }
    m_maxHeadingBytes = kMaxHeadingChars * kMaxCharBytes;
    return true;
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

bool CBookScanner::MakePattern(std::u16string_view text, Pattern& pattern) const {
    pattern = {};
    for (std::size_t i = 0; i < text.size(); ++i) {
        // A surrogate pair is encoded as one character.
        const bool pair = i + 1 < text.size() && text[i] >= 0xD800 && text[i] <= 0xDBFF &&
                          text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF;
        const std::u16string_view one = text.substr(i, pair ? 2 : 1);
        std::string bytes = Encode(one);
        if (m_book.m_nEncoding == ENCODING_ANSI &&
            DecodeCodePage(bytes, m_layout->CodePage()) != one) {
            return false; // no occurrence can exist in this code page
        }
        const bool letter = IsAsciiLetter(text[i]);
        for (char& b : bytes) {
            const bool isLetterByte = letter && IsAsciiLetter(static_cast<unsigned char>(b));
            pattern.fold.push_back(isLetterByte);
            pattern.bytes += isLetterByte ? static_cast<char>(b | 0x20) : b;
        }
        i += pair ? 1 : 0;
    }
    std::size_t runStart = 0;
    for (std::size_t i = 0; i <= pattern.bytes.size(); ++i) {
        if (i == pattern.bytes.size() || pattern.fold[i]) {
            if (i - runStart > pattern.anchorLength) {
                pattern.anchorAt = runStart;
                pattern.anchorLength = i - runStart;
            }
            runStart = i + 1;
        }
    }
    return !pattern.bytes.empty();
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

std::size_t CBookScanner::LineFeedAt(const char* bytes, std::size_t n, std::uint64_t at,
                                     std::size_t i, std::size_t first) const {
    const TextEncoding encoding = m_book.m_nEncoding;
    if (!IsUtf16(encoding)) {
        return i;
    }
    // In UTF-16 a 0A byte is often half of another character: only the unit 000A counts.
    if (encoding == ENCODING_UTF16LE && (at + i) % 2 == 0 && i + 1 < n && bytes[i + 1] == 0) {
        return i;
    }
    if (encoding == ENCODING_UTF16BE && (at + i) % 2 == 1 && i > first && bytes[i - 1] == 0) {
        return i - 1;
    }
    return std::string_view::npos;
}

std::size_t CBookScanner::NextLineFeed(const char* bytes, std::size_t n, std::uint64_t at,
                                       std::size_t from) const {
    // A line ends at LF, and at a CR of its own (a CR-only book), as on the reader's pages.
    while (from < n) {
        const char* lf = static_cast<const char*>(std::memchr(bytes + from, '\n', n - from));
        const std::size_t lfAt = lf == nullptr ? n : static_cast<std::size_t>(lf - bytes);
        const void* cr = m_bLoneCr ? std::memchr(bytes + from, '\r', lfAt - from) : nullptr;
        const std::size_t i =
            cr != nullptr ? static_cast<std::size_t>(static_cast<const char*>(cr) - bytes) : lfAt;
        if (i == n) {
            return std::string_view::npos;
        }
        if (const std::size_t feed = LineFeedAt(bytes, n, at, i, from);
            feed != std::string_view::npos) {
            return feed;
        }
        from = i + 1;
    }
    return std::string_view::npos;
}

std::size_t CBookScanner::PrevLineFeed(const char* bytes, std::size_t n, std::uint64_t at,
                                       std::size_t before) const {
    while (before > 0) {
        const char* lf = static_cast<const char*>(memrchr(bytes, '\n', before));
        const std::size_t after = lf == nullptr ? 0 : static_cast<std::size_t>(lf - bytes) + 1;
        const void* cr = m_bLoneCr ? memrchr(bytes + after, '\r', before - after) : nullptr;
        if (lf == nullptr && cr == nullptr) {
            return std::string_view::npos;
        }
        const auto i = cr != nullptr
                           ? static_cast<std::size_t>(static_cast<const char*>(cr) - bytes)
                           : after - 1;
        if (const std::size_t feed = LineFeedAt(bytes, n, at, i, 0);
            feed != std::string_view::npos) {
            return feed;
        }
        before = i;
    }
    return std::string_view::npos;
}

std::size_t CBookScanner::NulCharIn(const char* bytes, std::size_t n, std::uint64_t at) const {
    if (!IsUtf16(m_book.m_nEncoding)) {
        // No multi-byte character of a legacy code page or UTF-8 holds a zero byte.
        const void* zero = std::memchr(bytes, 0, n);
        return zero == nullptr ? std::string_view::npos
                               : static_cast<std::size_t>(static_cast<const char*>(zero) - bytes);
    }
    for (std::size_t from = 0; from + 1 < n;) {
        const void* pair = memmem(bytes + from, n - from, "\0\0", 2);
        if (pair == nullptr) {
            return std::string_view::npos;
        }
        const auto i = static_cast<std::size_t>(static_cast<const char*>(pair) - bytes);
        if ((at + i) % 2 == 0) {
            return i;
        }
        from = i + 1;
    }
    return std::string_view::npos;
}

void CBookScanner::NoteNuls(std::string_view bytes, std::uint64_t at) {
    for (std::size_t from = 0; from < bytes.size();) {
        const std::size_t i = NulCharIn(bytes.data() + from, bytes.size() - from, at + from);
        if (i == std::string_view::npos) {
            return;
        }
        m_lastNul = at + from + i;
        from += i + 1;
    }
}

void CBookScanner::StartNulWatch(std::uint64_t from) {
    // A NUL before `from` on its page hides what follows it there too.
    m_lastNul.reset();
    m_nulPage = -1;
    const std::uint64_t pageStart = m_book.PageStartOffset(m_book.PageOfOffset(from));
    if (pageStart < from) {
        std::string head(static_cast<std::size_t>(std::min<std::uint64_t>(
                             from - pageStart, CResourceData::kWindowBytes)),
                         '\0');
        head.resize(m_book.m_hFile.ReadAt(from - head.size(), head.data(), head.size()));
        NoteNuls(head, from - head.size());
    }
}

bool CBookScanner::Shown(int page, std::uint64_t offset) {
    // The reader's page ends at its first NUL character. Nearly every book has none: only a
    // NUL seen within two pages before the offset costs a look at the page.
    constexpr std::uint64_t kNear = 2 * CResourceData::kPageBytes;
    if (!m_lastNul || *m_lastNul + kNear < offset) {
        return true;
    }
    if (m_nulPage != page) {
        m_nulPage = page;
        m_pageNul = std::numeric_limits<std::uint64_t>::max();
        const std::uint64_t start = m_book.PageStartOffset(page);
        const std::uint64_t end = m_book.PageStartOffset(page + 1);
        std::string bytes(static_cast<std::size_t>(std::min<std::uint64_t>(
                              end - std::min(start, end), CResourceData::kWindowBytes)),
                          '\0');
        bytes.resize(m_book.m_hFile.ReadAt(start, bytes.data(), bytes.size()));
        if (const std::size_t i = NulCharIn(bytes.data(), bytes.size(), start);
            i != std::string_view::npos) {
            m_pageNul = start + i;
        }
    }
    return offset < m_pageNul;
}

int CBookScanner::PageOf(std::uint64_t offset, std::string_view block, std::uint64_t blockStart) {
    constexpr std::uint64_t kPage = CResourceData::kPageBytes;
    constexpr std::uint64_t kMargin = CResourceData::kMarginBytes;
    const int count = m_book.GetPageCount();
    const std::uint64_t nominal = offset / kPage;
    if (count == 0 || nominal + 1 >= static_cast<std::uint64_t>(count) ||
        offset + kMargin <= (nominal + 1) * kPage) {
        // Far enough from the next page's edge that no cut can move the byte onto that page.
        return count == 0 ? 0 : static_cast<int>(std::min<std::uint64_t>(nominal, count - 1));
    }
    const int edge = static_cast<int>(nominal + 1);
    if (edge != m_edgePage) {
        // The bytes the start cut looks at: the margin before the edge and a little after it.
        const std::uint64_t windowStart = edge * kPage - kMargin;
        const std::uint64_t windowEnd = std::min(windowStart + kMargin + 16, Size());
        if (windowStart >= blockStart && windowEnd <= blockStart + block.size()) {
            const std::string_view window =
                block.substr(windowStart - blockStart, windowEnd - windowStart);
            m_edgeStart = windowStart + m_book.CutsOfWindow(window, windowStart).start;
        } else {
            m_edgeStart = m_book.PageStartOffset(edge);
        }
        m_edgePage = edge;
    }
    return offset >= m_edgeStart ? edge : edge - 1;
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
                            std::size_t end, const HitFn& onHit, bool& stop) {
    // The page shows a line up to a NUL in it (the block's NULs are noted before its lines).
    if (m_lastNul && *m_lastNul >= blockStart + from) {
        if (const std::size_t nul = NulCharIn(block.data() + from, end - from, blockStart + from);
            nul != std::string_view::npos) {
            end = from + nul;
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
    if (std::none_of(m_firstChars.begin(), m_firstChars.end(),
                     [&](const std::string& first) { return rest.starts_with(first); })) {
        return;
    }
    std::size_t e = end;
    while (e - p > m_maxHeadingBytes) {
        const std::size_t blank = BlankLengthBefore(block.substr(0, e), e);
        if (blank == 0) {
            return; // too long to be a heading whatever its characters are
        }
        e -= blank;
    }
    // Decode the whole line from its first non-blank: trailing bytes stripped above only
    // shortened the test, the rule itself runs on the decoded text.
    const std::u16string line = CResourceData::DecodeWindow(block.substr(p, end - p), *m_layout);
    if (std::optional<std::u16string> title = HeadingTitle(line)) {
        ScanHit hit;
        hit.offset = blockStart + p;
        hit.page = PageOf(hit.offset, block, blockStart);
        hit.text = std::move(*title);
        if (Shown(hit.page, hit.offset)) {
            stop = !onHit(hit);
        }
    }
}

bool CBookScanner::ScanChapters(const HitFn& onHit) {
    const std::uint64_t size = Size();
    const std::size_t unit = UnitBytes();
    std::string block;
    block.reserve(kBlockBytes + kMaxLineBytes);
    std::uint64_t blockStart = 0;
    std::size_t pos = 0;
    bool skipping = false; // inside a line too long to be a heading
    bool stop = false;
    m_edgePage = -1;
    StartNulWatch(0);
    while (!stop) {
        if (Cancelled()) {
            return false;
        }
        block.erase(0, pos);
        blockStart += pos;
        pos = 0;
        const std::uint64_t readAt = blockStart + block.size();
        const std::size_t want =
            static_cast<std::size_t>(std::min<std::uint64_t>(kBlockBytes, size - readAt));
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
                TestLine(block, blockStart, pos, lf, onHit, stop);
            }
            skipping = false;
            pos = lf + unit;
        }
        ReportProgress(blockStart + block.size(), size);
        if (atEnd) {
            if (!stop && !skipping && pos < block.size()) {
                TestLine(block, blockStart, pos, block.size(), onHit, stop);
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
    Pattern pattern;
    to = std::min(to, Size());
    if (!MakePattern(text, pattern) || from >= to) {
        return !Cancelled();
    }
    const TextEncoding encoding = m_book.m_nEncoding;
    const bool walk = encoding == ENCODING_ANSI; // only legacy code pages need a walk
    const std::size_t length = pattern.bytes.size();
    // Bytes a candidate needs after its start: the pattern, and the longest character that may
    // hold the start (so a walk never sees a cut-off character).
    const std::size_t lookAhead = std::max(length, kMaxCharBytes);
    const std::uint64_t readEnd = std::min(Size(), to + lookAhead);
    const auto& layout = *m_layout;
    std::string block;
    block.reserve(kBlockBytes + lookAhead);
    std::uint64_t blockStart = from;
    std::uint64_t cursor = from;    // a known character start at or before every candidate left
    std::uint64_t candidate = from; // the first candidate start not yet looked at
    m_edgePage = -1;
    StartNulWatch(from);

    const auto matchesAt = [&](const char* p) {
        for (std::size_t k = 0; k < length; ++k) {
            const char b = pattern.fold[k] ? static_cast<char>(p[k] | 0x20) : p[k];
            if (b != pattern.bytes[k]) {
                return false;
            }
        }
        return true;
    };
    const auto isCharStart = [&](std::uint64_t c) {
        if (IsUtf16(encoding)) {
            return c % 2 == 0;
        }
        if (!walk) {
            return true; // in UTF-8 every byte that is no continuation byte starts a character
        }
        const char* base = block.data();
        const std::size_t n = block.size();
        const std::size_t lf = PrevLineFeed(base + (cursor - blockStart), n - (cursor - blockStart),
                                            cursor, static_cast<std::size_t>(c - cursor));
        if (lf != std::string_view::npos) {
            cursor += lf + 1;
        }
        while (cursor < c) {
            const std::size_t at = cursor - blockStart;
            cursor += layout.CharLength(reinterpret_cast<const unsigned char*>(base + at), n - at);
        }
        return cursor == c;
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
            static_cast<std::size_t>(std::min<std::uint64_t>(kBlockBytes, readEnd - readAt));
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
            last = blockEnd >= length ? std::min(to - 1, blockEnd - length) : 0;
            if (blockEnd < length || last < candidate) {
                break;
            }
        } else {
            if (blockEnd < lookAhead || blockEnd - lookAhead < candidate) {
                continue; // a block too small to hold a candidate whole: read on
            }
            last = std::min(to - 1, blockEnd - lookAhead);
        }
        const char* base = block.data();
        while (candidate <= last) {
            std::uint64_t c;
            if (pattern.anchorLength > 0) {
                const std::size_t searchFrom = candidate + pattern.anchorAt - blockStart;
                const std::size_t searchEnd =
                    last + pattern.anchorAt + pattern.anchorLength - blockStart;
                const void* hit =
                    memmem(base + searchFrom, searchEnd - searchFrom,
                           pattern.bytes.data() + pattern.anchorAt, pattern.anchorLength);
                if (hit == nullptr) {
                    break;
                }
                c = blockStart + (static_cast<const char*>(hit) - base) - pattern.anchorAt;
            } else {
                // All ASCII letters: look for the first one in either case.
                const char first = pattern.bytes[0];
                std::size_t i = candidate - blockStart;
                const std::size_t end = last - blockStart;
                while (i <= end && static_cast<char>(base[i] | 0x20) != first) {
                    ++i;
                }
                if (i > end) {
                    break;
                }
                c = blockStart + i;
            }
            if (!matchesAt(base + (c - blockStart)) || !isCharStart(c)) {
                candidate = c + 1;
                continue;
            }
            ScanHit hit;
            hit.offset = c;
            hit.length = length;
            hit.page = PageOf(c, block, blockStart);
            candidate = c + length;
            if (!Shown(hit.page, c)) {
                continue; // after a NUL on its page, where the page shows nothing
            }
            if (withLine) {
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
        if (walk && cursor < candidate) {
            // Bring the walk up to the next candidate so the bytes before it can be let go.
            const std::size_t at = cursor - blockStart;
            const std::size_t lf = PrevLineFeed(base + at, block.size() - at, cursor,
                                                static_cast<std::size_t>(candidate - cursor));
            if (lf != std::string_view::npos) {
                cursor += lf + 1;
            }
            while (cursor < candidate) {
                const std::size_t i = cursor - blockStart;
                const std::size_t step = layout.CharLength(
                    reinterpret_cast<const unsigned char*>(base + i), block.size() - i);
                if (cursor + step > candidate) {
                    break;
                }
                cursor += step;
            }
        } else if (!walk) {
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
    const std::uint64_t from = offset > kMaxLineBytes ? offset - kMaxLineBytes : 0;
    std::string bytes(static_cast<std::size_t>(std::min(Size(), offset + kMaxLineBytes) - from),
                      '\0');
    bytes.resize(m_book.m_hFile.ReadAt(from, bytes.data(), bytes.size()));
    const std::size_t at = static_cast<std::size_t>(offset - from);
    const std::size_t unit = UnitBytes();
    const std::size_t before = PrevLineFeed(bytes.data(), bytes.size(), from, at);
    const std::size_t start = before == std::string_view::npos ? (from % unit) : before + unit;
    std::size_t end = NextLineFeed(bytes.data(), bytes.size(), from, at);
    end = end == std::string_view::npos ? bytes.size() : end;
    const std::u16string line =
        CResourceData::DecodeWindow(std::string_view(bytes).substr(start, end - start), *m_layout);
    return std::u16string(TrimLine(line));
}
