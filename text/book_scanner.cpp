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
    m_edgeCuts.fill({-1, 0});

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

bool CBookScanner::MakePattern(std::u16string_view text, Pattern& pattern) const {
    pattern = {};
    for (std::size_t i = 0; i < text.size();) {
        Pattern::Element element;
        std::size_t units = 1;
        if (m_chars != nullptr) {
            CShownCharacters::Codes codes = m_chars->CodesAt(text.substr(i));
            units = codes.units;
            element.codes = std::move(codes.bytes);
        } else {
            // A surrogate pair is encoded as one character.
            const bool pair = i + 1 < text.size() && text[i] >= 0xD800 && text[i] <= 0xDBFF &&
                              text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF;
            units = pair ? 2 : 1;
            element.codes.push_back(Encode(text.substr(i, units)));
        }
        if (element.codes.empty()) {
            return false; // no occurrence can exist in this code page
        }
        element.fold = units == 1 && IsAsciiLetter(text[i]);
        for (std::string& code : element.codes) {
            for (char& b : code) {
                b = element.fold && IsAsciiLetter(static_cast<unsigned char>(b)) ? (b | 0x20) : b;
            }
        }
        const auto [shortest, longest] = std::minmax_element(
            element.codes.begin(), element.codes.end(),
            [](const std::string& a, const std::string& b) { return a.size() < b.size(); });
        pattern.minBytes += shortest->size();
        pattern.maxBytes += longest->size();
        pattern.elements.push_back(std::move(element));
        i += units;
    }
    // The anchor: the longest run of bytes that only match themselves, from characters of one
    // code, at a distance from the match's start that every match has.
    std::string run;
    std::size_t at = 0;
    for (const Pattern::Element& element : pattern.elements) {
        if (element.codes.size() > 1) {
            run.clear();
            const std::size_t size = element.codes[0].size();
            if (std::any_of(element.codes.begin(), element.codes.end(),
                            [&](const std::string& code) { return code.size() != size; })) {
                break;
            }
            at += size;
            continue;
        }
        for (char b : element.codes[0]) {
            ++at;
            if (element.fold && IsAsciiLetter(static_cast<unsigned char>(b))) {
                run.clear();
                continue;
            }
            run += b;
            if (run.size() > pattern.anchor.size()) {
                pattern.anchor = run;
                pattern.anchorAt = at - run.size();
            }
        }
    }
    for (const std::string& code : pattern.elements[0].codes) {
        const auto b = static_cast<unsigned char>(code[0]);
        pattern.first[b] = true;
        if (pattern.elements[0].fold && IsAsciiLetter(b)) {
            pattern.first[b & ~0x20u] = true;
        }
    }
    return !pattern.elements.empty() && pattern.minBytes > 0;
}

std::size_t CBookScanner::ElementAt(const Pattern::Element& element, const char* p, std::size_t n) {
    for (const std::string& code : element.codes) {
        if (code.size() > n) {
            continue;
        }
        if (!element.fold) {
            if (std::memcmp(p, code.data(), code.size()) == 0) {
                return code.size();
            }
            continue;
        }
        std::size_t k = 0;
        while (k < code.size() &&
               (IsAsciiLetter(static_cast<unsigned char>(code[k])) ? static_cast<char>(p[k] | 0x20)
                                                                   : p[k]) == code[k]) {
            ++k;
        }
        if (k == code.size()) {
            return k;
        }
    }
    return 0;
}

std::size_t CBookScanner::MatchAt(const Pattern& pattern, const char* p, std::size_t n) {
    std::size_t at = 0;
    for (const Pattern::Element& element : pattern.elements) {
        const std::size_t length = ElementAt(element, p + at, n - at);
        if (length == 0) {
            return 0;
        }
        at += length;
    }
    return at;
}

bool CBookScanner::MatchSplitsAt(const Pattern& pattern, const char* p, std::size_t at) {
    std::size_t end = 0;
    for (const Pattern::Element& element : pattern.elements) {
        end += ElementAt(element, p + end, std::numeric_limits<std::size_t>::max());
        if (end >= at) {
            return end > at;
        }
    }
    return false;
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

std::uint64_t CBookScanner::EdgeCut(int edge, std::string_view block, std::uint64_t blockStart) {
    for (const auto& [page, start] : m_edgeCuts) {
        if (page == edge) {
            return start;
        }
    }
    constexpr std::uint64_t kPage = CResourceData::kPageBytes;
    constexpr std::uint64_t kMargin = CResourceData::kMarginBytes;
    // The bytes the start cut looks at: the margin before the edge and a little after it.
    const std::uint64_t windowStart = edge * kPage - kMargin;
    const std::uint64_t windowEnd = std::min(windowStart + kMargin + 16, Size());
    std::uint64_t start = 0;
    if (windowStart >= blockStart && windowEnd <= blockStart + block.size()) {
        const std::string_view window =
            block.substr(windowStart - blockStart, windowEnd - windowStart);
        start = windowStart + m_book.CutsOfWindow(window, windowStart).start;
    } else {
        start = m_book.PageStartOffset(edge);
    }
    m_edgeSlot ^= 1;
    m_edgeCuts[m_edgeSlot] = {edge, start};
    return start;
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
    return offset >= EdgeCut(edge, block, blockStart) ? edge : edge - 1;
}

std::uint64_t CBookScanner::PageStartIn(std::uint64_t from, std::uint64_t to,
                                        std::string_view block, std::uint64_t blockStart) {
    constexpr std::uint64_t kPage = CResourceData::kPageBytes;
    // A page starts at most this far before its nominal edge.
    constexpr std::uint64_t kMargin = CResourceData::kMarginBytes;
    std::uint64_t edge = from / kPage + 1;
    if (edge * kPage >= to + kMargin) {
        return to; // the usual case, decided without the page count
    }
    for (const auto count = static_cast<std::uint64_t>(m_book.GetPageCount());
         edge < count && edge * kPage < to + kMargin; ++edge) {
        const std::uint64_t start = EdgeCut(static_cast<int>(edge), block, blockStart);
        if (start > from && start < to) {
            return start;
        }
    }
    return to;
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
    if (m_lastNul && *m_lastNul >= blockStart + from) {
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
    const std::uint64_t size = Size();
    const std::size_t unit = UnitBytes();
    std::string block;
    block.reserve(m_blockBytes + kMaxLineBytes);
    std::uint64_t blockStart = 0;
    std::size_t pos = 0;
    bool skipping = false; // inside a line too long to be a heading
    bool stop = false;
    m_edgeCuts.fill({-1, 0});
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
        ReportProgress(blockStart + block.size(), size);
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
    Pattern pattern;
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
    const std::size_t lookAhead = std::max(pattern.maxBytes, kMaxCharBytes);
    const std::uint64_t readEnd = std::min(Size(), to + lookAhead);
    std::string block;
    block.reserve(m_blockBytes + lookAhead);
    std::uint64_t blockStart = from;
    // In a legacy code page, a character start of the page's decoding at or before every
    // candidate left: the decoding starts again at each line break and each page start.
    std::uint64_t cursor = from;
    std::uint64_t candidate = from; // the first candidate start not yet looked at
    m_edgeCuts.fill({-1, 0});
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
            if (MatchSplitsAt(pattern, base + (c - blockStart), start - c)) {
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
            last = blockEnd >= pattern.minBytes ? std::min(to - 1, blockEnd - pattern.minBytes) : 0;
            if (blockEnd < pattern.minBytes || last < candidate) {
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
            if (!pattern.anchor.empty()) {
                const std::size_t searchFrom = candidate + pattern.anchorAt - blockStart;
                const std::size_t searchEnd =
                    last + pattern.anchorAt + pattern.anchor.size() - blockStart;
                const void* hit = memmem(base + searchFrom, searchEnd - searchFrom,
                                         pattern.anchor.data(), pattern.anchor.size());
                if (hit == nullptr) {
                    break;
                }
                c = blockStart + (static_cast<const char*>(hit) - base) - pattern.anchorAt;
            } else {
                // No byte every match holds (ASCII letters, characters of several codes): look
                // for the bytes a match may begin with.
                std::size_t i = candidate - blockStart;
                const std::size_t end = last - blockStart;
                while (i <= end && !pattern.first[static_cast<unsigned char>(base[i])]) {
                    ++i;
                }
                if (i > end) {
                    break;
                }
                c = blockStart + i;
            }
            const std::size_t length = MatchAt(pattern, base + (c - blockStart), blockEnd - c);
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
    const std::u16string line = DecodeShown(bytes, from, start, end, pageStarts, tailEnd);
    return std::u16string(TrimLine(line));
}
