#include "text/chapter_finder.h"

#include "platform/code_page.h"
#include "text/heading_rule.h"

#include <algorithm>
#include <sys/resource.h>
#include <thread>
#include <tuple>
#include <unistd.h>

namespace {

// Characters of a made chapter's name, before the "…" of a longer opening.
constexpr std::size_t kNameChars = 12;
// Bytes of a paragraph kept for its name: twelve characters and the blanks before them.
constexpr std::size_t kOpeningBytes = 160;

std::uint64_t BytesPerChar(TextEncoding encoding) {
    // Chinese text: three bytes a character in UTF-8, two in UTF-16 and the legacy code pages.
    return encoding == ENCODING_UTF8 ? 3 : 2;
}

} // namespace

std::optional<CChapterList> CChapterFinder::Find(CBookScanner& scanner, const CChapterRules& rules,
                                                 int forced) {
    scanner.SetChapterRules(rules);
    CChapterList found;
    std::vector<std::uint64_t> offsets;
    std::vector<std::uint64_t> bits;
    const auto add = [&](const ScanHit& hit) {
        found.push_back(hit);
        offsets.push_back(hit.offset);
        bits.push_back(hit.rules);
        return true;
    };
    const bool halves = scanner.Size() > kSplitBytes && std::thread::hardware_concurrency() > 1;
    if (!(halves ? ScanInHalves(scanner, add) : scanner.ScanChapters(add))) {
        return std::nullopt;
    }
    const std::size_t count = std::min(rules.size(), CChapterRules::kMaxRules);
    const int pick =
        forced >= 0 && std::size_t(forced) < count
            ? forced
            : Pick(offsets, bits, count, scanner.Size(), BytesPerChar(scanner.Book().m_nEncoding));
    CChapterList chapters;
    if (pick < 0) {
        if (!MakeChapters(scanner, chapters)) {
            return std::nullopt;
        }
        return chapters;
    }
    const std::uint64_t bit = std::uint64_t(1) << pick;
    const CReplaceRules& cleanUp = scanner.CleanUp();
    const bool cleaning = cleanUp.Changes();
    for (std::size_t i = 0; i < found.size(); ++i) {
        if (!(bits[i] & bit)) {
            continue;
        }
        if (!cleaning) {
            chapters.Add(found.Offset(i), found.Page(i), found.TitleUtf8(i));
            continue;
        }
        // The title as the heading's line shows; a heading the clean-up takes away is not
        // listed, since the reader never sees it.
        const CReplaceRules::Shown shown = cleanUp.Apply(DecodeUtf8(found.TitleUtf8(i)));
        const std::u16string_view title = TrimLine(shown.text);
        if (!shown.removed && !title.empty()) {
            chapters.Add(found.Offset(i), found.Page(i), EncodeUtf8(title));
        }
    }
    chapters.SetRuleName(rules[std::size_t(pick)].Name());
    return chapters;
}

bool CChapterFinder::ScanInHalves(CBookScanner& scanner, const CBookScanner::HitFn& onHit) {
    const std::uint64_t middle = scanner.LineStartFrom(scanner.Size() / 2);
    CBookScanner second;
    if (!second.OpenLike(scanner)) {
        return false;
    }
    // The second half's headings wait for the first half's: hits go over in book order.
    std::vector<ScanHit> later;
    bool secondDone = false;
    std::thread other([&] {
        // Below the window's thread, which then keeps its core for page turns: only this thread
        // is niced (Linux nices threads one by one).
        setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 10);
        secondDone = second.ScanChapters(
            [&](const ScanHit& hit) {
                later.push_back(hit);
                return true;
            },
            middle, second.Size());
    });
    bool stopped = false;
    const bool firstDone = scanner.ScanChapters(
        [&](const ScanHit& hit) {
            stopped = stopped || !onHit(hit);
            return !stopped;
        },
        0, middle);
    other.join();
    if (!firstDone || !secondDone) {
        return false;
    }
    for (std::size_t i = 0; i < later.size() && !stopped; ++i) {
        stopped = !onHit(later[i]);
    }
    return true;
}

int CChapterFinder::Pick(const std::vector<std::uint64_t>& offsets,
                         const std::vector<std::uint64_t>& rules, std::size_t ruleCount,
                         std::uint64_t bookBytes, std::uint64_t bytesPerChar) {
    const std::uint64_t tooShort = kTooShortChars * bytesPerChar;
    const std::uint64_t farTooLong = kFarTooLongChars * bytesPerChar;
    int best = -1;
    std::tuple<bool, std::size_t> bestKey{};
    std::vector<std::uint64_t> lengths;
    for (std::size_t r = 0; r < ruleCount; ++r) {
        const std::uint64_t bit = std::uint64_t(1) << r;
        lengths.clear();
        bool any = false;
        std::uint64_t first = 0;
        std::uint64_t last = 0;
        for (std::size_t i = 0; i < offsets.size(); ++i) {
            if (rules[i] & bit) {
                if (any) {
                    lengths.push_back(offsets[i] - last);
                } else {
                    first = offsets[i];
                    any = true;
                }
                last = offsets[i];
            }
        }
        if (!any) {
            continue;
        }
        lengths.push_back(bookBytes - std::min(last, bookBytes)); // the last runs to the end
        // What comes before the first heading is no chapter of the rule's.
        if ((bookBytes - std::min(first, bookBytes)) / lengths.size() > farTooLong) {
            continue;
        }
        const auto plausible =
            std::size_t(std::count_if(lengths.begin(), lengths.end(), [&](std::uint64_t length) {
                return length >= tooShort && length <= farTooLong;
            }));
        std::nth_element(lengths.begin(), lengths.begin() + lengths.size() / 2, lengths.end());
        const bool dense = lengths[lengths.size() / 2] < tooShort;
        // A book of short chapters only (a list, a test) still gets its headings.
        const std::tuple<bool, std::size_t> key{!dense, dense ? lengths.size() : plausible};
        if (best < 0 || key > bestKey) {
            best = int(r);
            bestKey = key;
        }
    }
    return best;
}

bool CChapterFinder::MakeChapters(CBookScanner& scanner, CChapterList& chapters) {
    const CResourceData& book = scanner.Book();
    const TextEncoding encoding = book.m_nEncoding;
    const bool utf16 = encoding == ENCODING_UTF16LE || encoding == ENCODING_UTF16BE;
    const bool bigEndian = encoding == ENCODING_UTF16BE;
    const std::size_t unit = utf16 ? 2 : 1;
    const std::uint64_t size = scanner.Size();
    chapters.clear();
    chapters.SetMadeByReader(true);

    std::uint64_t sinceCut = 0; // characters of the chapter being made
    bool begun = false;
    std::uint64_t lineStart = 0;
    std::uint64_t lineChars = 0;
    std::uint64_t lineHigh = 0; // legacy code pages: bytes of two-byte characters
    std::string opening;
    // A paragraph ends: the next begins a chapter once this one is long enough.
    const auto endLine = [&] {
        if (!begun || sinceCut >= kMadeChapterChars) {
            std::u16string text = CResourceData::DecodeWindow(opening, book.m_layout);
            // The opening may end inside a character.
            while (!text.empty() && text.back() == 0xFFFD) {
                text.pop_back();
            }
            if (scanner.CleanUp().Changes()) {
                text = scanner.CleanUp().Apply(text).text; // a paragraph taken away names none
            }
            std::u16string name(TrimLine(text));
            if (!name.empty()) {
                std::size_t units = 0;
                for (std::size_t chars = 0; units < name.size() && chars < kNameChars; ++units) {
                    const char16_t c = name[units];
                    chars += c >= 0xDC00 && c <= 0xDFFF ? 0 : 1;
                }
                if (units < name.size() && name[units] >= 0xDC00 && name[units] <= 0xDFFF) {
                    ++units; // the rest of a pair
                }
                if (units < name.size()) {
                    name.resize(units);
                    name += u'…';
                }
                chapters.Add(lineStart, book.PageOfOffset(lineStart), EncodeUtf8(name));
                begun = true;
                sinceCut = 0;
            }
        }
        sinceCut += lineChars + lineHigh / 2;
        lineChars = 0;
        lineHigh = 0;
        opening.clear();
    };

    constexpr std::size_t kBlock = 1 << 20; // even, so UTF-16 units never straddle blocks
    std::string block(kBlock, '\0');
    for (std::uint64_t at = 0; at < size;) {
        if (scanner.Cancelled()) {
            return false;
        }
        block.resize(kBlock);
        block.resize(book.m_hFile.ReadAt(at, block.data(), block.size()));
        if (block.empty()) {
            break;
        }
        const std::size_t whole = block.size() - block.size() % unit;
        for (std::size_t i = 0; i < whole; i += unit) {
            const auto b0 = static_cast<unsigned char>(block[i]);
            unsigned u = b0;
            if (utf16) {
                const auto b1 = static_cast<unsigned char>(block[i + 1]);
                u = bigEndian ? (b0 << 8 | b1) : (b1 << 8 | b0);
            }
            if (u == '\n' || u == '\r') {
                endLine();
                lineStart = at + i + unit;
                continue;
            }
            if (opening.size() < kOpeningBytes) {
                opening.append(block, i, unit);
            }
            if (utf16) {
                lineChars += (u & 0xFC00) == 0xDC00 ? 0 : 1;
            } else if (encoding == ENCODING_UTF8) {
                lineChars += (u & 0xC0) == 0x80 ? 0 : 1;
            } else if (u < 0x80) {
                ++lineChars;
            } else {
                ++lineHigh;
            }
        }
        at += block.size();
        scanner.ReportProgress(at, size);
        if (whole < block.size()) {
            break; // an odd last byte of a UTF-16 book
        }
    }
    if (lineStart < size) {
        endLine();
    }
    return true;
}
