// Search and chapters against the pages: a book made from the input in one of seven code pages
// is paged as the reader shows it, and the scanner's occurrences of a phrase taken from that text
// and its chapter headings must be exactly those a plain search of the shown text and the heading
// rule on its lines find, on the same pages at the same places. Small read blocks and books of
// several pages put block edges and page edges everywhere, long runs of double-byte text make
// page edges that fall inside characters.
//
// Input: code page, block size, two bytes placing the phrase, its length and case, then the book.
// In the book a 00 byte is an escape (books hold no NUL): 00 N with N < 64 inserts a snippet
// (headings, blanks, characters with two codes) in the book's encoding; larger N repeats the
// last bytes many times.
#include "fuzz/fuzz_input.h"
#include "platform/code_page.h"
#include "text/book_scanner.h"
#include "text/heading_rule.h"
#include "text/resource_data.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

namespace {

struct Encoding {
    TextEncoding encoding;
    const char* codePage;
};

constexpr Encoding kEncodings[] = {
    {ENCODING_ANSI, "GB18030"},     {ENCODING_ANSI, "BIG5-HKSCS"}, {ENCODING_ANSI, "SHIFT_JIS"},
    {ENCODING_ANSI, "CP932"},       {ENCODING_ANSI, "CP949"},      {ENCODING_UTF8, "UTF-8"},
    {ENCODING_UTF16LE, "UTF-16LE"},
};

const char16_t* const kSnippets[] = {
    u"\n第12章 风起\n",
    u"\r\n\u3000\u3000第三回\u3000夜\r\n",
    u"\nChapter 7\n",
    u"\n序章\n",
    u"\n番外 一\r",
    u"第",
    u"章",
    u"\u3000",
    u"\n",
    u"\r",
    u"老槐树下",
    u"∵",
    u"纊",
    u"\u00CA\u0304",
    u"\U00020087",
    u"ｱ",
    u"\nchapter\t12 回\n",
    u"  ",
};

constexpr std::size_t kMaxBook = 60000; // the scanner looks for lone CRs in its first 64 KiB

std::string EncodeIn(const Encoding& e, std::u16string_view text) {
    if (e.encoding == ENCODING_UTF8) {
        return EncodeUtf8(text);
    }
    if (e.encoding == ENCODING_UTF16LE) {
        std::string bytes;
        for (char16_t c : text) {
            bytes += {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
        }
        return bytes;
    }
    return EncodeCodePage(text, e.codePage);
}

std::string MakeBook(const Encoding& e, const std::uint8_t* data, std::size_t size) {
    const bool utf16 = e.encoding == ENCODING_UTF16LE;
    std::string book;
    for (std::size_t i = 0; i < size && book.size() < kMaxBook; ++i) {
        if (data[i] != 0) {
            book += static_cast<char>(data[i]);
            continue;
        }
        if (++i == size) {
            break;
        }
        const unsigned op = data[i];
        if (op < 64) {
            book.resize(book.size() + (utf16 ? book.size() % 2 : 0), ' ');
            book += EncodeIn(e, kSnippets[op % std::size(kSnippets)]);
            continue;
        }
        const std::size_t length = std::min<std::size_t>(book.size(), 1 + (op & 7));
        const std::string last = book.substr(book.size() - length);
        for (unsigned n = 64u << ((op >> 3) & 3); n > 0 && book.size() < kMaxBook; --n) {
            book += last;
        }
    }
    book.resize(std::min(book.size(), kMaxBook));
    for (std::size_t i = 0; i < book.size(); i += utf16 ? 2 : 1) {
        if (book[i] == 0 && (!utf16 || i + 1 == book.size() || book[i + 1] == 0)) {
            book[i] = ' '; // snippets never make a NUL; a UTF-16 unit 0000 can be there
        }
    }
    return book;
}

bool IsAsciiLetter(char16_t c) {
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

char16_t Lower(char16_t c) {
    return c >= u'A' && c <= u'Z' ? c + 32 : c;
}

// Big5-HKSCS shows four codes as a letter and a combining mark: no search finds half of one.
bool SplitsHkscsPair(std::u16string_view shown, std::size_t at) {
    return at > 0 && at < shown.size() && (shown[at - 1] == 0xCA || shown[at - 1] == 0xEA) &&
           (shown[at] == 0x0304 || shown[at] == 0x030C);
}

using Place = std::tuple<int, std::size_t>; // page, position in the page's text

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 5) {
        return 0;
    }
    const Encoding& encoding = kEncodings[data[0] % std::size(kEncodings)];
    const std::size_t blockBytes = data[1] == 255 ? CBookScanner::kBlockBytes : 1 + data[1] * 5u;
    const std::string book = MakeBook(encoding, data + 5, size - 5);
    const fuzz::InputFile file(reinterpret_cast<const std::uint8_t*>(book.data()), book.size());
    const std::string path8 = file.Path();
    const std::u16string path(path8.begin(), path8.end());

    CResourceData reader;
    fuzz::Require(reader.OpenTxt(path) == 0);
    reader.m_nEncoding = encoding.encoding;
    reader.m_layout = CCodePageLayout(encoding.encoding, encoding.codePage);
    CBookScanner scanner;
    fuzz::Require(scanner.Open(path, reader.m_layout));
    // The plain search below knows one spelling of the phrase.
    scanner.SetAcrossScripts(false);
    scanner.SetBlockBytes(blockBytes);

    // The book as the pane shows it, its pages joined, each line break one LF.
    std::u16string shown;
    std::vector<Place> places;
    for (int page = 0; page < reader.GetPageCount(); ++page) {
        reader.GotoPage(page);
        std::size_t position = 0;
        for (char16_t c : reader.m_strText) {
            if (c != u'\r') {
                shown += c;
                places.emplace_back(page, position++);
            }
        }
    }
    const bool hkscs = std::string_view(encoding.codePage) == "BIG5-HKSCS";

    // Chapters: the heading rule on each shown line, at its first non-blank character.
    std::vector<std::tuple<int, std::size_t, std::u16string>> expected;
    for (std::size_t start = 0; start < shown.size();) {
        const std::size_t end = std::min(shown.find(u'\n', start), shown.size());
        const std::u16string_view line(shown.data() + start, end - start);
        if (std::optional<std::u16string> title = HeadingTitle(line)) {
            std::size_t first = start;
            while (IsLineBlank(shown[first])) {
                ++first;
            }
            expected.emplace_back(std::get<0>(places[first]), std::get<1>(places[first]),
                                  std::move(*title));
        }
        start = end + 1;
    }
    std::vector<std::tuple<int, std::size_t, std::u16string>> chapters;
    fuzz::Require(scanner.ScanChapters([&](const ScanHit& hit) {
        chapters.emplace_back(hit.page, reader.TextPositionOf(hit.page, hit.offset), hit.text);
        return true;
    }));
    fuzz::Require(chapters == expected);

    // The phrase: a piece of the shown text of one line, without U+FFFD (which no search can
    // ask for in every code page), some of its letters in the other case.
    if (shown.empty()) {
        return 0;
    }
    const std::size_t start = ((data[2] << 8) | data[3]) % shown.size();
    std::u16string phrase = shown.substr(start, 1 + data[4] % 8);
    phrase = phrase.substr(0, phrase.find(u'\n'));
    if (!phrase.empty() && phrase[0] >= 0xDC00 && phrase[0] <= 0xDFFF) {
        phrase.erase(0, 1);
    }
    if (!phrase.empty() && phrase.back() >= 0xD800 && phrase.back() <= 0xDBFF) {
        phrase.pop_back();
    }
    if (phrase.empty() || phrase.find(u'\uFFFD') != std::u16string::npos) {
        return 0;
    }
    for (std::size_t i = 0; i < phrase.size(); ++i) {
        if (IsAsciiLetter(phrase[i]) && (data[4] >> (3 + i % 5)) & 1) {
            phrase[i] ^= 0x20;
        }
    }

    // A plain search of the shown text: ASCII letters in either case, no overlaps.
    std::vector<std::size_t> found;
    for (std::size_t at = 0; at + phrase.size() <= shown.size();) {
        std::size_t k = 0;
        while (k < phrase.size() && Lower(shown[at + k]) == Lower(phrase[k])) {
            ++k;
        }
        if (k < phrase.size() ||
            (hkscs && (SplitsHkscsPair(shown, at) || SplitsHkscsPair(shown, at + phrase.size())))) {
            ++at;
            continue;
        }
        found.push_back(at);
        at += phrase.size();
    }
    std::vector<ScanHit> hits;
    fuzz::Require(scanner.Find(phrase, 0, scanner.Size(), false, [&](const ScanHit& hit) {
        hits.push_back(hit);
        return true;
    }));
    fuzz::Require(hits.size() == found.size());
    // Where each hit is shown (a sample when there are many: mapping a hit reads its page).
    const std::size_t step = 1 + hits.size() / 16;
    for (std::size_t i = 0; i < hits.size(); ++i) {
        const auto [page, position] = places[found[i]];
        fuzz::Require(hits[i].page == page);
        if (i % step != 0 && i + 1 != hits.size()) {
            continue;
        }
        fuzz::Require(reader.TextPositionOf(page, hits[i].offset) == position);
        // The line a hit is listed with is the shown line that holds it.
        const std::size_t lineStart = shown.rfind(u'\n', found[i]) + 1;
        const std::size_t lineEnd = std::min(shown.find(u'\n', found[i]), shown.size());
        const std::u16string_view line(shown.data() + lineStart, lineEnd - lineStart);
        fuzz::Require(scanner.LineAt(hits[i].offset) == TrimLine(line));
    }
    return 0;
}
