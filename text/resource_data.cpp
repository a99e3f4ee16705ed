#include "text/resource_data.h"

#include "diag/log.h"
#include "platform/code_page.h"
#include "platform/paths.h"
#include "text/code_page_detector.h"
#include "text/encoding_choice.h"
#include "text/text_convert.h"

#include <algorithm>
#include <climits>

namespace {

constexpr char16_t kReplacement = 0xFFFD;
// How far back from a page edge a break is looked for.
constexpr std::size_t kCutSearchBytes = 2047;

unsigned char ByteAt(std::string_view bytes, std::size_t i) {
    return static_cast<unsigned char>(bytes[i]);
}

bool IsAsciiLetter(unsigned unit) {
    return (unit >= 'A' && unit <= 'Z') || (unit >= 'a' && unit <= 'z');
}

bool IsLineBreak(unsigned unit) {
    return unit == '\n' || unit == '\r';
}

bool IsBreakUnit(unsigned unit) {
    return IsLineBreak(unit) || unit == '\t' || IsAsciiLetter(unit);
}

bool IsUtf16(TextEncoding encoding) {
    return encoding == ENCODING_UTF16LE || encoding == ENCODING_UTF16BE;
}

unsigned Utf16UnitAt(std::string_view bytes, std::size_t i, TextEncoding encoding) {
    const unsigned first = ByteAt(bytes, i);
    const unsigned second = ByteAt(bytes, i + 1);
    return encoding == ENCODING_UTF16LE ? first | (second << 8) : (first << 8) | second;
}

bool IsHighSurrogate(unsigned unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool IsLowSurrogate(unsigned unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

// Bytes of a legacy code page: an ASCII letter right after a lead byte may be the trail byte of
// a double-byte character, so it only counts where the code page allows no such pair.
bool IsBreakByte(std::string_view window, std::size_t i, const CCodePageLayout& layout) {
    const unsigned char b = ByteAt(window, i);
    if (IsAsciiLetter(b)) {
        return layout.LetterStartsAfter(ByteAt(window, i - 1));
    }
    return IsBreakUnit(b);
}

// No break near the edge of a UTF-8 book: cut where the character holding the edge starts.
std::size_t Utf8CharacterStart(std::string_view window, std::size_t edge) {
    // A well-formed character has at most three continuation bytes.
    for (int step = 0; step < 3 && (ByteAt(window, edge) & 0xC0) == 0x80; ++step) {
        --edge;
    }
    return edge;
}

// The same for UTF-16: the edge, unless it falls inside a surrogate pair.
std::size_t Utf16CharacterStart(std::string_view window, std::size_t edge, TextEncoding encoding) {
    if (edge + 1 < window.size() && IsLowSurrogate(Utf16UnitAt(window, edge, encoding)) &&
        IsHighSurrogate(Utf16UnitAt(window, edge - 2, encoding))) {
        return edge - 2;
    }
    return edge;
}

// The last position in [from, edge) just after a byte that can only be the last byte of a
// character (in GB18030: ASCII other than a digit, as digits occur inside its four-byte
// characters), or npos.
std::size_t LegacyResyncPoint(std::string_view bytes, std::size_t from, std::size_t edge,
                              const CCodePageLayout& layout) {
    for (std::size_t i = edge; i > from; --i) {
        if (layout.EndsCharacter(ByteAt(bytes, i - 1))) {
            return i;
        }
    }
    return std::string_view::npos;
}

// Steps character by character from `from`, a character start, to the one that holds `edge`.
std::size_t LegacyStepTo(std::string_view bytes, std::size_t from, std::size_t edge,
                         const CCodePageLayout& layout) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    while (from < edge) {
        const std::size_t length = layout.CharLength(p + from, bytes.size() - from);
        if (from + length > edge) {
            break;
        }
        from += length;
    }
    return from;
}

// Where to start decoding bytes that hold no byte that ends a character before `edge`: bytes[0]
// or bytes[1]. Simplified Chinese in GB18030 is nearly all punctuation (lead bytes A1-A3) and
// common characters (lead bytes B0-D7); read from the wrong byte, the lead position holds trail
// bytes, which spread over A1-FE. So the start that puts more bytes of those rows in the lead
// position wins. Other code pages have trail bytes below 0x80 often enough not to need this.
std::size_t LikelyCharacterStart(std::string_view bytes, std::size_t edge,
                                 const CCodePageLayout& layout) {
    if (!layout.IsGb18030() || edge < 2) {
        return 0;
    }
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    std::size_t best = 0;
    std::size_t bestScore = 0;
    for (std::size_t start = 0; start < 2; ++start) {
        std::size_t score = 0;
        for (std::size_t i = start; i < edge; i += layout.CharLength(p + i, bytes.size() - i)) {
            const unsigned char lead = ByteAt(bytes, i);
            score += (lead >= 0xA1 && lead <= 0xA3) || (lead >= 0xB0 && lead <= 0xD7) ? 1 : 0;
        }
        if (score > bestScore) {
            best = start;
            bestScore = score;
        }
    }
    return best;
}

// The cut for the page edge at window index `edge` (edge < window size). Both windows that hold
// an edge hold the 2048 bytes on either side of it, and nothing here looks further, so the page
// before and the page after agree on the cut.
std::size_t CutAtEdge(std::string_view window, std::size_t edge, const CCodePageLayout& layout,
                      bool& needsLookBack) {
    const TextEncoding encoding = layout.Encoding();
    if (IsUtf16(encoding)) {
        for (std::size_t i = edge; i + kCutSearchBytes >= edge; i -= 2) {
            if (i + 1 < window.size() && IsBreakUnit(Utf16UnitAt(window, i, encoding))) {
                return i;
            }
        }
    } else {
        for (std::size_t i = edge; i + kCutSearchBytes >= edge; --i) {
            if (IsBreakByte(window, i, layout)) {
                return i;
            }
        }
    }
    if (encoding == ENCODING_UTF8) {
        return Utf8CharacterStart(window, edge);
    }
    if (IsUtf16(encoding)) {
        return Utf16CharacterStart(window, edge, encoding);
    }
    const std::size_t resync =
        LegacyResyncPoint(window, edge - CResourceData::kMarginBytes, edge, layout);
    if (resync == std::string_view::npos) {
        needsLookBack = true;
        return edge;
    }
    return LegacyStepTo(window, resync, edge, layout);
}

// The layout of an encoding in the default legacy code page.
CCodePageLayout DefaultLayout(TextEncoding encoding) {
    return CCodePageLayout(encoding, LegacyCodePageName());
}

} // namespace

const char* TextEncodingName(TextEncoding encoding) {
    switch (encoding) {
    case ENCODING_ANSI:
        return "ENCODING_ANSI";
    case ENCODING_UTF16LE:
        return "ENCODING_UTF16LE";
    case ENCODING_UTF16BE:
        return "ENCODING_UTF16BE";
    case ENCODING_UTF8:
        return "ENCODING_UTF8";
    }
    return "ENCODING_UNKNOWN";
}

bool CResourceData::LooksLikeUtf8(const char* data, std::size_t n) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(data);
    std::size_t valid = 0;
    std::size_t invalid = 0;
    std::size_t i = 0;
    while (i < n) {
        const unsigned char b = bytes[i];
        if (b < 0x80) {
            ++i;
            continue;
        }
        std::size_t need = 0;
        if ((b & 0xE0) == 0xC0) {
            need = 1;
        } else if ((b & 0xF0) == 0xE0) {
            need = 2;
        } else if ((b & 0xF8) == 0xF0) {
            need = 3;
        } else if ((b & 0xFC) == 0xF8) {
            need = 4;
        } else if ((b & 0xFE) == 0xFC) {
            need = 5;
        }
        bool ok = need > 0 && i + need < n;
        for (std::size_t k = 1; ok && k <= need; ++k) {
            ok = (bytes[i + k] & 0xC0) == 0x80;
        }
        if (ok) {
            ++valid;
            i += need + 1;
        } else {
            ++invalid;
            ++i;
        }
    }
    if (valid + invalid == 0) {
        return true; // nothing but ASCII: read it as UTF-8
    }
    return valid * 100 / (valid + invalid) > 80;
}

TextEncoding CResourceData::DetectEncoding(const char* data, std::size_t n) {
    const auto* b = reinterpret_cast<const unsigned char*>(data);
    if (n < 4) {
        return ENCODING_ANSI;
    }
    if (b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) {
        return ENCODING_UTF8;
    }
    if (b[0] == 0xFF && b[1] == 0xFE) {
        return ENCODING_UTF16LE;
    }
    if (b[0] == 0xFE && b[1] == 0xFF) {
        return ENCODING_UTF16BE;
    }
    return LooksLikeUtf8(data, n) ? ENCODING_UTF8 : ENCODING_ANSI;
}

std::size_t CResourceData::LegacyCharacterStart(std::string_view bytes, std::size_t edge,
                                                bool startsAtCharacter) {
    return LegacyCharacterStart(bytes, edge, startsAtCharacter, DefaultLayout(ENCODING_ANSI));
}

std::size_t CResourceData::LegacyCharacterStart(std::string_view bytes, std::size_t edge,
                                                bool startsAtCharacter,
                                                const CCodePageLayout& layout) {
    std::size_t from = LegacyResyncPoint(bytes, 0, edge, layout);
    if (from == std::string_view::npos) {
        from = startsAtCharacter ? 0 : LikelyCharacterStart(bytes, edge, layout);
    }
    return LegacyStepTo(bytes, from, edge, layout);
}

CResourceData::CutPoints CResourceData::FindCutPoints(std::string_view window, bool firstPage,
                                                      TextEncoding encoding) {
    return FindCutPoints(window, firstPage, DefaultLayout(encoding));
}

CResourceData::CutPoints CResourceData::FindCutPoints(std::string_view window, bool firstPage,
                                                      const CCodePageLayout& layout) {
    const std::size_t n = window.size();
    const std::size_t nominalStart = firstPage ? 0 : kMarginBytes;
    const std::size_t nominalEnd = nominalStart + kPageBytes;
    CutPoints cuts{0, n};
    if (!firstPage) {
        // A window that stops before the page's nominal start (the file shrank) holds no page.
        cuts.start =
            n > nominalStart ? CutAtEdge(window, nominalStart, layout, cuts.startNeedsLookBack) : n;
    }
    if (n > nominalEnd) {
        cuts.end = CutAtEdge(window, nominalEnd, layout, cuts.endNeedsLookBack);
    }
    return cuts;
}

std::string CResourceData::NormalizeLineBreaks(std::string_view bytes, TextEncoding encoding) {
    std::string out;
    out.reserve(bytes.size() * 2);
    if (IsUtf16(encoding)) {
        const char* crlf = encoding == ENCODING_UTF16LE ? "\r\0\n\0" : "\0\r\0\n";
        std::size_t i = 0;
        for (; i + 1 < bytes.size(); i += 2) {
            if (!IsLineBreak(Utf16UnitAt(bytes, i, encoding))) {
                out.append(bytes.substr(i, 2));
                continue;
            }
            out.append(crlf, 4);
            if (Utf16UnitAt(bytes, i, encoding) == '\r' && i + 3 < bytes.size() &&
                Utf16UnitAt(bytes, i + 2, encoding) == '\n') {
                i += 2;
            }
        }
        out.append(bytes.substr(i)); // an odd last byte
        return out;
    }
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (!IsLineBreak(ByteAt(bytes, i))) {
            out.push_back(bytes[i]);
            continue;
        }
        out.append("\r\n");
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
            ++i;
        }
    }
    return out;
}

std::u16string CResourceData::DecodeWindow(std::string_view bytes, TextEncoding encoding) {
    return DecodeWindow(bytes, DefaultLayout(encoding));
}

std::u16string CResourceData::DecodeWindow(std::string_view bytes, const CCodePageLayout& layout) {
    const TextEncoding encoding = layout.Encoding();
    if (!IsUtf16(encoding)) {
        // The text stops at the first zero byte.
        bytes = bytes.substr(0, bytes.find('\0'));
        return encoding == ENCODING_UTF8 ? DecodeUtf8(bytes)
                                         : DecodeCodePage(bytes, layout.CodePage());
    }
    std::u16string text;
    text.reserve(bytes.size() / 2 + 1);
    std::size_t i = 0;
    for (; i + 1 < bytes.size(); i += 2) {
        const unsigned unit = Utf16UnitAt(bytes, i, encoding);
        if (unit == 0) {
            break;
        }
        text.push_back(static_cast<char16_t>(unit));
    }
    if (i + 1 == bytes.size()) {
        text.push_back(kReplacement); // a book cut off in the middle of a code unit
    }
    for (std::size_t k = 0; k < text.size(); ++k) {
        if (IsHighSurrogate(text[k]) && k + 1 < text.size() && IsLowSurrogate(text[k + 1])) {
            ++k;
        } else if (IsHighSurrogate(text[k]) || IsLowSurrogate(text[k])) {
            text[k] = kReplacement;
        }
    }
    return text;
}

std::uint64_t CResourceData::CutWithLookBack(std::uint64_t edge) const {
    // Enough of the file to start decoding at a known character start: the first byte of the
    // book, or a byte that ends a character. Only a run of double-byte text longer than this
    // leaves the start to be guessed.
    const std::uint64_t from = edge > kLookBackBytes ? edge - kLookBackBytes : 0;
    // Room for the longest character that may hold the edge.
    constexpr std::size_t kAfterEdge = 16;
    std::string bytes(edge - from + kAfterEdge, '\0');
    bytes.resize(m_hFile.ReadAt(from, bytes.data(), bytes.size()));
    if (bytes.size() <= edge - from) {
        return edge; // the file shrank under us
    }
    return from + LegacyCharacterStart(bytes, edge - from, from == 0, m_layout);
}

CResourceData::CutPoints CResourceData::CutsOfWindow(std::string_view window,
                                                     std::uint64_t windowStart) const {
    CutPoints cuts = FindCutPoints(window, windowStart == 0, m_layout);
    if (cuts.startNeedsLookBack) {
        cuts.start = CutWithLookBack(windowStart + cuts.start) - windowStart;
    }
    if (cuts.endNeedsLookBack) {
        cuts.end = CutWithLookBack(windowStart + cuts.end) - windowStart;
    }
    return cuts;
}

std::u16string CResourceData::PageTextOfWindow(std::string_view window,
                                               std::uint64_t windowStart) const {
    const CutPoints cuts = CutsOfWindow(window, windowStart);
    const std::string_view page =
        cuts.end > cuts.start ? window.substr(cuts.start, cuts.end - cuts.start) : "";
    return DecodeWindow(NormalizeLineBreaks(page, m_nEncoding), m_layout);
}

void CResourceData::ChooseEncoding(std::string_view sample, std::string_view choice) {
    TextEncoding encoding = ENCODING_ANSI;
    std::string codePage;
    if (CEncodingChoice::Resolve(choice, encoding, codePage)) {
        m_strEncodingChoice = CEncodingChoice::Canonical(choice);
    } else {
        m_strEncodingChoice.clear();
        encoding = DetectEncoding(sample.data(), sample.size());
        codePage = encoding == ENCODING_ANSI ? CCodePageDetector::DetectLegacyCodePage(sample)
                                             : CEncodingChoice::CodePageName(encoding, "");
    }
    if (encoding == ENCODING_ANSI) {
        codePage = UsableCodePage(codePage);
    }
    m_nEncoding = encoding;
    m_layout = CCodePageLayout(encoding, codePage);
}

std::string CResourceData::ReadSample() const {
    std::string sample(kFirstWindowBytes, '\0');
    sample.resize(m_hFile.ReadAt(0, sample.data(), sample.size()));
    return sample;
}

int CResourceData::SetEncodingChoice(std::string_view choice) {
    if (!m_hFile.IsOpen() || (!choice.empty() && CEncodingChoice::Canonical(choice).empty())) {
        return -1;
    }
    ChooseEncoding(ReadSample(), choice);
    ReadWindow();
    return 0;
}

std::string CResourceData::CodePageDisplayName() const {
    return CEncodingChoice::DisplayName(m_nEncoding, m_layout.CodePage());
}

int CResourceData::OpenTxt(const std::u16string& path, std::string_view choice) {
    LogMessage message;
    LogAppend(message, "CResourceData::OpenTxt");
    CLog::Instance().Write(LOG_INFO, message);

    // Open the new book before letting go of the current one, so a failure changes nothing.
    ReadOnlyFile file;
    if (!file.Open(FsPathOfFile(path))) {
        return -1;
    }
    m_hFile = std::move(file);
    m_nFileSize = m_hFile.Size();
    m_nCurPage = 0;

    const std::string sample = ReadSample();
    ChooseEncoding(sample, choice);
    m_strText = PageTextOfWindow(sample, 0);
    m_strPath = path;
    m_strName = BookNameOfPath(path);
    return 0;
}

std::u16string CResourceData::TextOfPage(int page) const {
    const bool firstPage = page <= 0;
    const std::uint64_t offset =
        firstPage ? 0 : static_cast<std::uint64_t>(page) * kPageBytes - kMarginBytes;
    std::string window(firstPage ? kFirstWindowBytes : kWindowBytes, '\0');
    window.resize(m_hFile.ReadAt(offset, window.data(), window.size()));
    return PageTextOfWindow(window, offset);
}

std::u16string CResourceData::PaneTextOfPage(int page) const {
    if (page < 0 || page >= GetPageCount()) {
        return {};
    }
    std::u16string text = page == m_nCurPage ? m_strText : TextOfPage(page);
    // Each CR is the first half of a normalised CR LF; a byte-order mark is never shown.
    std::erase(text, u'\r');
    if (page == 0 && !text.empty() && text.front() == u'\uFEFF') {
        text.erase(0, 1);
    }
    return text;
}

void CResourceData::ReadWindow() {
    m_strText = TextOfPage(m_nCurPage);
}

int CResourceData::GotoPage(int page) {
    const int count = GetPageCount();
    if (page >= count) {
        page = count > 0 ? count - 1 : 0;
    }
    m_nCurPage = page < 0 ? 0 : page;
    ReadWindow();
    return 0;
}

int CResourceData::PrevPage() {
    if (m_nCurPage <= 0) {
        m_nCurPage = 0;
        return -1;
    }
    --m_nCurPage;
    ReadWindow();
    return 0;
}

int CResourceData::NextPage() {
    const int count = GetPageCount();
    if (m_nCurPage + 1 >= count) {
        m_nCurPage = count > 0 ? count - 1 : 0;
        return -1;
    }
    ++m_nCurPage;
    ReadWindow();
    return 0;
}

int CResourceData::GetPageCount() const {
    const std::uint64_t pages = (m_nFileSize + kPageBytes - 1) / kPageBytes;
    // Page indices are 32-bit; a book beyond 8 TB shows its first INT_MAX pages.
    return pages > static_cast<std::uint64_t>(INT_MAX) ? INT_MAX : static_cast<int>(pages);
}

std::uint64_t CResourceData::PageStartOffset(int page) const {
    if (page <= 0) {
        return 0;
    }
    if (page >= GetPageCount()) {
        return m_nFileSize;
    }
    const std::uint64_t windowStart = static_cast<std::uint64_t>(page) * kPageBytes - kMarginBytes;
    // The start cut looks at the margin before the edge and at most a code unit after it.
    std::string window(kMarginBytes + 16, '\0');
    window.resize(m_hFile.ReadAt(windowStart, window.data(), window.size()));
    return windowStart + CutsOfWindow(window, windowStart).start;
}

bool CResourceData::MayShowOffset(std::uint64_t page, std::uint64_t offset) {
    const std::uint64_t nominal = offset / kPageBytes;
    return page == nominal ||
           (page == nominal + 1 && offset + kCutSearchBytes >= (nominal + 1) * kPageBytes);
}

int CResourceData::PageOfOffset(std::uint64_t offset) const {
    const int count = GetPageCount();
    if (count == 0) {
        return 0;
    }
    const std::uint64_t nominal = offset / kPageBytes;
    if (nominal >= static_cast<std::uint64_t>(count)) {
        return count - 1;
    }
    const int page = static_cast<int>(nominal);
    if (page + 1 < count && MayShowOffset(nominal + 1, offset) &&
        offset >= PageStartOffset(page + 1)) {
        return page + 1;
    }
    return page;
}

std::size_t CResourceData::TextPositionOf(int page, std::uint64_t offset) const {
    const std::uint64_t start = PageStartOffset(page);
    // Only the page's own bytes are read, whatever offset comes (a damaged chapter list, a hit in
    // a file that has grown since it was opened).
    const std::uint64_t end = std::min(PageStartOffset(page + 1), start + kWindowBytes);
    offset = std::min(offset, end);
    if (offset <= start) {
        return 0;
    }
    constexpr std::uint64_t kAfter = 8; // the longest character, its line breaks CR LF
    std::string bytes(std::min(offset + kAfter, end) - start, '\0');
    bytes.resize(m_hFile.ReadAt(start, bytes.data(), bytes.size()));
    const std::string_view before = std::string_view(bytes).substr(0, offset - start);
    std::u16string text = DecodeWindow(NormalizeLineBreaks(before, m_nEncoding), m_layout);
    if (!text.empty() && text.back() == kReplacement && bytes.size() > before.size()) {
        // Bytes that end inside a character may read otherwise with the bytes after them (a
        // GB18030 lead byte and a digit wait for two more): decode those too, then drop them.
        const std::string after =
            NormalizeLineBreaks(std::string_view(bytes).substr(before.size()), m_nEncoding);
        text = DecodeWindow(NormalizeLineBreaks(before, m_nEncoding) + after, m_layout);
        text.resize(text.size() - std::min(text.size(), DecodeWindow(after, m_layout).size()));
    }
    // Every CR is the first half of a normalised CR LF, which the pane shows as one break; a
    // byte-order mark opening the text is not shown at all.
    const std::size_t mark = !text.empty() && text.front() == u'\uFEFF' ? 1 : 0;
    return text.size() - mark - std::size_t(std::count(text.begin(), text.end(), u'\r'));
}
