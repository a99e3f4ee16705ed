// The chapter and phrase scanner on generated novels, checked against the reader's own pages.
#include "platform/code_page.h"
#include "tests/text/test_books.h"
#include "text/book_scanner.h"
#include "text/heading_rule.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using test_books::Encode;
using test_books::TempDir;
using test_books::Wide;

namespace {

std::vector<ScanHit> AllChapters(CBookScanner& scanner) {
    std::vector<ScanHit> hits;
    EXPECT_TRUE(scanner.ScanChapters([&](const ScanHit& hit) {
        hits.push_back(hit);
        return true;
    }));
    return hits;
}

std::vector<ScanHit> FindAll(CBookScanner& scanner, const std::string& what, bool withLine) {
    std::vector<ScanHit> hits;
    EXPECT_TRUE(
        scanner.Find(DecodeUtf8(what), 0, scanner.Size(), withLine, [&](const ScanHit& hit) {
            hits.push_back(hit);
            return true;
        }));
    return hits;
}

// Occurrences of `needle` in `text`, overlapping ones included.
std::size_t CountOf(const std::string& text, const std::string& needle) {
    std::size_t count = 0;
    for (std::size_t at = text.find(needle); at != std::string::npos;
         at = text.find(needle, at + 1)) {
        ++count;
    }
    return count;
}

// The hit is where the reader's pane shows it (each CR LF is one character there, and a
// byte-order mark opening the book is not shown).
void ExpectShownWhereFound(CResourceData& reader, const ScanHit& hit, const std::string& phrase) {
    reader.GotoPage(hit.page);
    std::u16string shown = reader.m_strText;
    std::erase(shown, u'\r');
    if (shown.starts_with(u'\uFEFF')) {
        shown.erase(0, 1);
    }
    const std::u16string wide = DecodeUtf8(phrase);
    EXPECT_EQ(shown.substr(reader.TextPositionOf(hit.page, hit.offset), wide.size()), wide);
}

// A heading of each style beside a line that only looks like one.
TEST(HeadingRule, AcceptsEveryStyleAndRejectsDecoys) {
    const std::pair<std::string, std::string> lines[] = {
        {"第一章 故人重逢", "他说第一章写得不好"},
        {"　　第十二回　风起", "第章"},
        {"第１２章：夜", "第一二三四五六七八九十章"},
        {"第二卷 山河", "第一天"},
        {"第两百零一节", "序"},
        {"第123456789篇", "Chapter"},
        {"序章", "Chapter7"},
        {"  楔子  ", "Chapters 7"},
        {"番外 一", "chapter x"},
        {"后记", "第一章 这一行比三十个字还要长得多得多得多得多得多得多得多的标题"},
        {"CHAPTER 7", ""},
        {"chapter\t12 Home", "第一章𠮷" + std::string(27, 'a')}, // 31 characters
    };
    for (const auto& [heading, decoy] : lines) {
        EXPECT_TRUE(HeadingTitle(Wide(heading))) << heading;
        EXPECT_FALSE(HeadingTitle(Wide(decoy))) << decoy;
    }
    EXPECT_EQ(EncodeUtf8(*HeadingTitle(Wide("　 第十二回　风起\r\t"))), "第十二回　风起");
    EXPECT_TRUE(HeadingTitle(Wide("\xEF\xBB\xBF第三集")));
    EXPECT_TRUE(HeadingTitle(Wide("第一章𠮷" + std::string(26, 'a')))); // thirty is short enough
}

struct Book {
    std::string utf8;
    std::vector<std::string> titles; // in book order
};

// A novel of `chapters` chapters whose headings come in every style, some right at page edges,
// with decoy lines between them.
Book MakeNovel(int chapters, const char* lineEnd) {
    static const char* kStyles[] = {"　　第%d章 故人重逢", "第%d回　风起", "Chapter %d", "番外%d",
                                    "第%d卷 山河"};
    Book book;
    const std::string prose = test_books::kChineseProse;
    for (int i = 0; i < chapters; ++i) {
        char title[64];
        std::snprintf(title, sizeof(title), kStyles[i % 5], i + 1);
        // Push every third heading to just before or after a page edge.
        if (i % 3 == 1) {
            const std::size_t edge = (book.utf8.size() / 4092 + 1) * 4092;
            book.utf8.append(edge - book.utf8.size() + (i % 2 ? 3 : 0), 'x');
            book.utf8 += lineEnd;
        }
        book.utf8 += std::string(title) + lineEnd;
        book.titles.push_back(std::string(title).substr(i % 5 == 0 ? 6 : 0));
        book.utf8 += "他说第一章写得不好，形式中文。" + std::string(lineEnd);
        // Whole paragraphs of prose, with the book's line ends.
        const std::string part =
            prose.substr(0, prose.find('\n', prose.size() / (1 + i % 3))) + "\n";
        book.utf8 += lineEnd == std::string("\n") ? part : test_books::CrLf(part);
    }
    return book;
}

// The page whose text shows `needle`, as the reader cuts pages.
int PageShowing(CResourceData& reader, const std::string& needle, int from) {
    for (int page = from; page < reader.GetPageCount(); ++page) {
        reader.GotoPage(page);
        if (EncodeUtf8(reader.m_strText).find(needle) != std::string::npos) {
            return page;
        }
    }
    return -1;
}

struct Encoded {
    const char* name;
    const char* iconvName;
    const char* lineEnd;
    std::string mark;
};

class ScannerInEncoding : public testing::TestWithParam<Encoded> {
protected:
    // Writes the book, opens it in the reader and the scanner alike.
    void Open(const std::string& utf8) {
        const std::string path =
            m_dir.Write("book.txt", GetParam().mark + Encode(utf8, GetParam().iconvName));
        ASSERT_EQ(reader.OpenTxt(DecodeUtf8(path)), 0);
        ASSERT_TRUE(scanner.Open(reader.m_strPath, reader.m_layout));
    }
    TempDir m_dir;
    CResourceData reader;
    CBookScanner scanner;
};

TEST_P(ScannerInEncoding, ChaptersAreTheRulesHeadingsOnTheReadersPages) {
    const Book book = MakeNovel(24, GetParam().lineEnd);
    Open(book.utf8);
    const std::vector<ScanHit> hits = AllChapters(scanner);
    ASSERT_EQ(hits.size(), book.titles.size());
    int page = 0;
    for (std::size_t i = 0; i < hits.size(); ++i) {
        EXPECT_EQ(EncodeUtf8(hits[i].text), book.titles[i]);
        // "Chapter N" may be cut at its letters; its digits show where the heading's end is.
        if (book.titles[i][0] != 'C') {
            page = PageShowing(reader, book.titles[i], page);
            EXPECT_EQ(hits[i].page, page) << book.titles[i];
        }
        EXPECT_EQ(reader.PageOfOffset(hits[i].offset), hits[i].page);
    }
}

TEST_P(ScannerInEncoding, FindMatchesWholeCharactersOnly) {
    // "形" is D0 CE in GB18030, which also occurs inside "中文" (D6 D0 CE C4).
    const std::string text = "中文中文\n一个形字\n" + test_books::RepeatedProse(1300 * 1000) +
                             "ABC abc aBc\naaaa\n最后的形";
    Open(text);
    const auto xing = FindAll(scanner, "形", true);
    ASSERT_EQ(xing.size(), 2u);
    EXPECT_EQ(EncodeUtf8(xing[0].text), "一个形字");
    ExpectShownWhereFound(reader, xing[0], "形");
    EXPECT_EQ(EncodeUtf8(xing[1].text), "最后的形");
    EXPECT_EQ(xing[1].page, reader.GetPageCount() - 1);
    EXPECT_EQ(FindAll(scanner, "abc", false).size(), 3u);
    EXPECT_EQ(FindAll(scanner, "aa", false).size(), 2u); // not overlapping
    EXPECT_TRUE(FindAll(scanner, "文中文中", false).empty());

    // A phrase all through a book of several blocks: every occurrence, on the page that shows it.
    const auto town = FindAll(scanner, "小城", false);
    ASSERT_EQ(town.size(), CountOf(text, "小城"));
    for (std::size_t i = 0; i < town.size(); i += 97) {
        ExpectShownWhereFound(reader, town[i], "小城");
    }

    const auto last = scanner.FindLast(u"形", xing[1].offset);
    ASSERT_TRUE(last);
    EXPECT_EQ(last->offset, xing[0].offset);
    EXPECT_FALSE(scanner.FindLast(u"形", xing[0].offset));

    std::atomic<bool> cancel{true};
    scanner.SetCancelFlag(&cancel);
    EXPECT_FALSE(scanner.ScanChapters([](const ScanHit&) { return true; }));
}

INSTANTIATE_TEST_SUITE_P(Books, ScannerInEncoding,
                         testing::Values(Encoded{"Gb18030", "GB18030", "\r\n", ""},
                                         Encoded{"Utf8", "UTF-8", "\n", ""},
                                         Encoded{"Utf16le", "UTF-16LE", "\r\n", "\xFF\xFE"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(BookScanner, ABig5BookIsScannedInTheCodePageItIsReadIn) {
    // Read in the default code page, a Big5 book shows other characters: other headings, and
    // none of its phrases.
    std::string utf8;
    std::vector<std::string> titles;
    for (int i = 1; i <= 12; ++i) {
        titles.push_back("第" + std::to_string(i) + "章 風雲際會");
        utf8 += titles.back() + "\r\n" +
                test_books::Repeated(test_books::kTraditionalProse, 1500 * (1 + i % 4));
    }
    TempDir dir;
    CResourceData reader;
    ASSERT_EQ(reader.OpenTxt(DecodeUtf8(dir.Write("big5.txt", Encode(utf8, "BIG5-HKSCS")))), 0);
    ASSERT_NE(reader.m_layout.CodePage(), LegacyCodePageName()); // detected as Big5
    CBookScanner scanner;
    ASSERT_TRUE(scanner.Open(reader.m_strPath, reader.m_layout));

    const std::vector<ScanHit> hits = AllChapters(scanner);
    ASSERT_EQ(hits.size(), titles.size());
    for (std::size_t i = 0; i < hits.size(); ++i) {
        EXPECT_EQ(EncodeUtf8(hits[i].text), titles[i]);
        EXPECT_EQ(reader.PageOfOffset(hits[i].offset), hits[i].page);
    }
    // Typed in Simplified, which Big5 cannot even hold, the phrase finds its Traditional
    // spelling; a search in one script finds nothing.
    const auto found = FindAll(scanner, "老槐树下", true);
    ASSERT_EQ(found.size(), CountOf(utf8, "老槐樹下"));
    for (const ScanHit& hit : {found.front(), found.back()}) {
        EXPECT_NE(EncodeUtf8(hit.text).find("老槐樹下"), std::string::npos);
        ExpectShownWhereFound(reader, hit, "老槐樹下");
    }
    EXPECT_EQ(FindAll(scanner, "老槐樹下", false).size(), found.size());
    scanner.SetAcrossScripts(false);
    EXPECT_TRUE(FindAll(scanner, "老槐树下", false).empty());
}

// A book that mixes the scripts: either spelling finds both, in book order, forwards and
// backwards, in every kind of encoding; each occurrence as long as its own bytes.
TEST(BookScanner, APhraseFindsItsSpellingsInEitherScript) {
    std::string utf8;
    std::vector<std::string> expected;
    for (int i = 0; i < 40; ++i) {
        expected.push_back(i % 3 == 0 ? "頭髮" : "头发");
        utf8 += test_books::Repeated(test_books::kChineseProse, 200 * (i % 7)) + "她的" +
                expected.back() + "乱了\n";
    }
    TempDir dir;
    for (const char* encoding : {"GB18030", "UTF-8", "UTF-16LE"}) {
        SCOPED_TRACE(encoding);
        const std::string bom = std::string_view(encoding) == "UTF-16LE" ? "\xFF\xFE" : "";
        CResourceData reader;
        ASSERT_EQ(reader.OpenTxt(Wide(dir.Write("mixed.txt", bom + Encode(utf8, encoding)))), 0);
        CBookScanner scanner;
        ASSERT_TRUE(scanner.Open(reader.m_strPath, reader.m_layout));
        scanner.SetBlockBytes(4000); // block edges inside occurrences
        for (const char* typed : {"头发", "頭髮"}) {
            const std::vector<ScanHit> hits = FindAll(scanner, typed, false);
            ASSERT_EQ(hits.size(), expected.size());
            for (std::size_t i = 0; i < hits.size(); ++i) {
                ExpectShownWhereFound(reader, hits[i], expected[i]);
                EXPECT_EQ(hits[i].length, Encode(expected[i], encoding).size());
            }
            const std::optional<ScanHit> last = scanner.FindLast(DecodeUtf8(typed), hits[1].offset);
            ASSERT_TRUE(last);
            EXPECT_EQ(last->offset, hits[0].offset);
        }
    }
}

// A book of one line longer than the backward search's 4 MiB pieces, its only break (CR LF) at
// the end: each piece has no line start inside it. The search must still end, and find what is
// there; and work from a hit never reads more than the page around it.
TEST(BookScanner, OneLineBooksAreSearchedBackwardsToTheirStart) {
    TempDir dir;
    const std::string prose = Encode("山雨欲来风满楼", "GB18030");
    std::string text = Encode("起点", "GB18030");
    while (text.size() < 5 * 1024 * 1024) {
        text += prose;
    }
    const std::string path = dir.Write("one-line.txt", text + "\r\n");
    CBookScanner scanner;
    ASSERT_TRUE(scanner.Open(Wide(path), CCodePageLayout(ENCODING_ANSI, "GB18030")));
    EXPECT_FALSE(scanner.FindLast(u"zzq", scanner.Size()));
    const std::optional<ScanHit> first = scanner.FindLast(u"起点", scanner.Size());
    ASSERT_TRUE(first);
    EXPECT_EQ(first->offset, 0u);

    // An offset far past the page it is given for (a damaged list, a grown file) is read no
    // further than that page.
    CResourceData reader;
    ASSERT_EQ(reader.OpenTxt(Wide(path)), 0);
    EXPECT_LE(reader.TextPositionOf(0, scanner.Size() - 1), 4092u);
    EXPECT_LE(reader.TextPositionOf(3, std::uint64_t(1) << 40), 4092u);
}

// The reader breaks lines at every CR of its own as at LF: a book of Mac line ends (CR only) has
// the same chapters as its LF and CR LF copies, each shown where it was found.
TEST(BookScanner, EveryKindOfLineEndListsTheSameChapters) {
    TempDir dir;
    std::string lf;
    for (int i = 1; i <= 50; ++i) {
        lf += "第" + std::to_string(i) + "章 远行\n" + test_books::RepeatedProse(900) + "\n";
    }
    for (const char* end : {"\n", "\r", "\r\n"}) {
        std::string text;
        for (char c : lf) {
            text += c == '\n' ? std::string(end) : std::string(1, c);
        }
        const std::string path = dir.Write("ends.txt", Encode(text, "GB18030"));
        CBookScanner scanner;
        ASSERT_TRUE(scanner.Open(Wide(path), CCodePageLayout(ENCODING_ANSI, "GB18030")));
        const std::vector<ScanHit> chapters = AllChapters(scanner);
        ASSERT_EQ(chapters.size(), 50u) << int(end[0]);
        EXPECT_EQ(chapters[49].text, DecodeUtf8("第50章 远行"));
        CResourceData reader;
        ASSERT_EQ(reader.OpenTxt(Wide(path), "GB18030"), 0);
        ExpectShownWhereFound(reader, chapters[49], "第50章");
        EXPECT_EQ(scanner.LineAt(chapters[1].offset), DecodeUtf8("第2章 远行"));
    }
}

// A page's text ends at its first NUL: what follows it on that page is neither found nor listed,
// and a heading the page shows before a NUL is listed whole, in GB18030 and in UTF-16.
TEST(BookScanner, SearchAndChaptersSeeWhatThePageShowsUpToANul) {
    TempDir dir;
    const std::string before = "第一章 开端\n甲乙丙\n";
    const std::string after = "丁戊己\n第二章 远行\n";
    for (const char* encoding : {"GB18030", "UTF-16LE"}) {
        std::string bytes = Encode(before, encoding);
        bytes += std::string(std::string_view(encoding) == "GB18030" ? 1 : 2, '\0');
        bytes += Encode(after, encoding);
        // Page 2 is whole again: its headings and phrases count.
        bytes +=
            Encode(test_books::Repeated("丁戊己\n", 2 * 4092) + "第三章 归来\n丁戊己\n", encoding);
        const std::string path = dir.Write("nul.txt", bytes);
        const CCodePageLayout layout = std::string_view(encoding) == "GB18030"
                                           ? CCodePageLayout(ENCODING_ANSI, "GB18030")
                                           : CCodePageLayout(ENCODING_UTF16LE, "UTF-16LE");
        CBookScanner scanner;
        ASSERT_TRUE(scanner.Open(Wide(path), layout));
        const std::vector<ScanHit> chapters = AllChapters(scanner);
        ASSERT_EQ(chapters.size(), 2u) << encoding;
        EXPECT_EQ(chapters[0].text, DecodeUtf8("第一章 开端"));
        EXPECT_EQ(chapters[1].text, DecodeUtf8("第三章 归来"));
        EXPECT_EQ(FindAll(scanner, "甲乙丙", false).size(), 1u) << encoding;
        const std::vector<ScanHit> hidden = FindAll(scanner, "丁戊己", false);
        ASSERT_FALSE(hidden.empty());
        EXPECT_GE(hidden.front().page, 1) << encoding; // none on the page after its NUL
        EXPECT_FALSE(scanner.FindLast(u"远行", scanner.Size())) << encoding;
    }
}

// In a legacy code page the page shows an undefined pair as U+FFFD and then its second byte, and
// shows some signs from either of two codes: search finds what the page shows, on its page. A
// line ending in a GB18030 lead byte and a digit keeps the digit in its title and listed line.
TEST(BookScanner, LegacyCodePagesAreSearchedAsTheirPagesShowThem) {
    const struct {
        const char* choice;
        std::string bytes;
        std::string phrase;
        std::size_t count;
    } cases[] = {
        {"BIG5", {'\x81', 'A', 'B', 'C', '\n'}, "ABC", 1},
        {"SHIFT_JIS", {'\xAB', '\x85', 'A', 'B', 'C', '\n'}, "ABC", 1},
        {"SHIFT_JIS", "\x87\x9A\n\x81\xE6\n", "∵", 2}, // CP932's NEC and JIS codes of one sign
        {"GB18030", {'x', '\x84', '2', '\x84', '0', 'A', 'A', '\n'}, "0AA", 1},
        {"GB18030", {'x', '\x84', '1', 'A', 'B', '\n'}, "AB", 1}, // after a lead and a digit
        {"GB18030", Encode("第1章 ", "GB18030") + "\x84\x31\n", "章", 1},
    };
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.phrase);
        const std::string choice = c.choice;
        const std::string& prose = choice == "BIG5"        ? test_books::kTraditionalProse
                                   : choice == "SHIFT_JIS" ? test_books::kJapaneseProse
                                                           : test_books::kChineseProse;
        const std::string path = dir.Write("case.txt", Encode(prose, c.choice) + c.bytes);
        CResourceData reader;
        ASSERT_EQ(reader.OpenTxt(Wide(path), c.choice), 0);
        CBookScanner scanner;
        ASSERT_TRUE(scanner.Open(reader.m_strPath, reader.m_layout));
        const std::vector<ScanHit> hits = FindAll(scanner, c.phrase, true);
        ASSERT_EQ(hits.size(), c.count);
        for (const ScanHit& hit : hits) {
            ExpectShownWhereFound(reader, hit, c.phrase);
            std::u16string shown = reader.m_strText;
            std::erase(shown, u'\r');
            EXPECT_NE(shown.find(u'\n' + hit.text + u'\n'), std::u16string::npos);
        }
        if (c.phrase == "章") {
            const std::vector<ScanHit> chapters = AllChapters(scanner);
            ASSERT_EQ(chapters.size(), 1u);
            EXPECT_EQ(chapters[0].text, u"第1章 \uFFFD1");
        }
    }
}

} // namespace
