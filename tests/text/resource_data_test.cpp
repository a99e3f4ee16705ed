#include "text/resource_data.h"

#include "tests/text/test_books.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using test_books::Encode;
using test_books::TempDir;
using test_books::Wide;
using test_books::WithoutLineBreaks;

using namespace std::string_literals;

namespace {

std::u16string WidePath(const std::string& path) {
    return std::u16string(path.begin(), path.end()); // temporary paths are ASCII
}

std::u16string Ascii(const std::string& text) {
    return std::u16string(text.begin(), text.end());
}

// The texts of all pages, read forward from page 0.
std::vector<std::u16string> AllPages(CResourceData& book) {
    std::vector<std::u16string> pages{book.m_strText};
    while (book.NextPage() == 0) {
        pages.push_back(book.m_strText);
    }
    return pages;
}

std::u16string Joined(const std::vector<std::u16string>& pages) {
    std::u16string all;
    for (const auto& page : pages) {
        all += page;
    }
    return all;
}

class ResourceDataTest : public ::testing::Test {
protected:
    std::string Write(const std::string& name, const std::string& bytes) {
        return dir.Write(name, bytes);
    }
    // Opens a book with these bytes; fails the test when it does not open.
    void Open(const std::string& bytes, const std::string& name = "book.txt") {
        ASSERT_EQ(book.OpenTxt(WidePath(Write(name, bytes))), 0);
    }

    TempDir dir;
    CResourceData book;
};

// ---- encoding detection -------------------------------------------------------------------

TEST(LooksLikeUtf8Test, PassesAboveAScoreOf80AndFailsAtIt) {
    const std::string valid = "\xE4\xB8\xAD"; // one well-formed sequence
    const std::string invalid = "\x80";       // one stray continuation byte
    std::string score81;
    for (int i = 0; i < 81; ++i) {
        score81 += valid + " ";
    }
    for (int i = 0; i < 19; ++i) {
        score81 += invalid + " ";
    }
    std::string score80;
    for (int i = 0; i < 80; ++i) {
        score80 += valid + " ";
    }
    for (int i = 0; i < 20; ++i) {
        score80 += invalid + " ";
    }
    EXPECT_TRUE(CResourceData::LooksLikeUtf8(score81.data(), score81.size()));
    EXPECT_FALSE(CResourceData::LooksLikeUtf8(score80.data(), score80.size()));
    EXPECT_EQ(CResourceData::DetectEncoding(score81.data(), score81.size()), ENCODING_UTF8);
    EXPECT_EQ(CResourceData::DetectEncoding(score80.data(), score80.size()), ENCODING_ANSI);
}

TEST(LooksLikeUtf8Test, SequenceCutOffByTheEndOfTheSampleIsInvalid) {
    // Two good sequences and a lead byte whose continuation lies past the sample: 2 of 3 = 66.
    const std::string sample = "\xC3\xA9\xC3\xA9\xE4\xB8";
    EXPECT_FALSE(CResourceData::LooksLikeUtf8(sample.data(), sample.size()));
    EXPECT_TRUE(CResourceData::LooksLikeUtf8(sample.data(), 4));
}

TEST(LooksLikeUtf8Test, OverlongAndLongFormsCountAsValid) {
    const std::string sample = "\xC0\x80\xF8\x88\x80\x80\x80\xFC\x84\x80\x80\x80\x80";
    EXPECT_TRUE(CResourceData::LooksLikeUtf8(sample.data(), sample.size()));
}

TEST_F(ResourceDataTest, EncodingOfRealBooks) {
    const std::string prose = test_books::RepeatedProse(20000);
    struct Case {
        const char* name;
        std::string bytes;
        TextEncoding expected;
    } cases[] = {
        {"gb18030", Encode(prose, "GB18030"), ENCODING_ANSI},
        {"utf8", prose, ENCODING_UTF8},
        {"utf8 bom", "\xEF\xBB\xBF" + prose, ENCODING_UTF8},
        {"utf16le", "\xFF\xFE" + Encode(prose, "UTF-16LE"), ENCODING_UTF16LE},
        {"utf16be", "\xFE\xFF" + Encode(prose, "UTF-16BE"), ENCODING_UTF16BE},
        {"ascii", std::string(9000, 'a'), ENCODING_UTF8},
        {"three-byte bom only", "\xEF\xBB\xBF", ENCODING_ANSI},
        {"utf16 bom and one byte", "\xFF\xFE\x41", ENCODING_ANSI},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Open(c.bytes);
        EXPECT_EQ(book.m_nEncoding, c.expected);
    }
}

TEST_F(ResourceDataTest, ByteOrderMarkStaysInTheFirstPage) {
    Open("\xEF\xBB\xBF\x41");
    EXPECT_EQ(book.m_nEncoding, ENCODING_UTF8);
    EXPECT_EQ(book.m_strText, u"\uFEFFA");
    Open("\xFE\xFF\x00\x41"s);
    EXPECT_EQ(book.m_strText, u"\uFEFFA");
}

// ---- page arithmetic and page moves ---------------------------------------------------------

TEST_F(ResourceDataTest, PageCountIsSizeDividedBy4092RoundedUp) {
    for (const auto& [size, pages] : std::vector<std::pair<std::size_t, int>>{
             {0, 0}, {1, 1}, {4092, 1}, {4093, 2}, {10000, 3}, {4092 * 7, 7}}) {
        SCOPED_TRACE(size);
        Open(std::string(size, 'x'));
        EXPECT_EQ(book.GetPageCount(), pages);
        EXPECT_EQ(book.GetReadMarkInfo().nTotalPages, pages);
    }
}

TEST_F(ResourceDataTest, BookOf10000BytesWithLineFeedsEvery100Bytes) {
    std::string bytes(10000, '0');
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = i % 100 == 0 && i > 0 ? '\n' : static_cast<char>('0' + i % 10);
    }
    const auto pageText = [&](std::size_t from, std::size_t to) {
        std::string text;
        for (std::size_t i = from; i < to; ++i) {
            text += bytes[i] == '\n' ? std::string("\r\n") : std::string(1, bytes[i]);
        }
        return Ascii(text);
    };
    Open(bytes);
    ASSERT_EQ(book.GetPageCount(), 3);
    EXPECT_EQ(book.m_strText, pageText(0, 4000));
    ASSERT_EQ(book.NextPage(), 0);
    EXPECT_EQ(book.m_strText, pageText(4000, 8100));
    ASSERT_EQ(book.NextPage(), 0);
    EXPECT_EQ(book.m_strText, pageText(8100, 10000));
}

TEST_F(ResourceDataTest, BookOf5000BytesCutAtTheLastBreakBeforeTheEdge) {
    std::string bytes(5000, '7');
    bytes[1000] = 'x'; // too far before the edge to matter
    bytes[3000] = 'y';
    bytes[4050] = 'z';
    bytes[4500] = 'w';
    Open(bytes);
    ASSERT_EQ(book.GetPageCount(), 2);
    EXPECT_EQ(book.m_strText, Ascii(bytes.substr(0, 4050)));
    ASSERT_EQ(book.NextPage(), 0);
    EXPECT_EQ(book.m_strText, Ascii(bytes.substr(4050)));
}

TEST_F(ResourceDataTest, EdgeWithoutBreakNearbyIsCutOnceAtTheEdge) {
    // The only break lies more than 2047 bytes before the edge: both pages meet at the edge.
    std::string bytes(5000, '7');
    bytes[1000] = 'x';
    Open(bytes);
    EXPECT_EQ(book.m_strText, Ascii(bytes.substr(0, 4092)));
    ASSERT_EQ(book.NextPage(), 0);
    EXPECT_EQ(book.m_strText, Ascii(bytes.substr(4092)));
}

TEST_F(ResourceDataTest, ShortBookIsShownWholeOnPageZero) {
    std::string bytes(4092, '5');
    bytes[4091] = 'q'; // a break at the very end changes nothing
    Open(bytes);
    EXPECT_EQ(book.GetPageCount(), 1);
    EXPECT_EQ(book.m_strText, Ascii(bytes));
}

TEST_F(ResourceDataTest, ForwardBackwardAndJumpShowTheSamePage) {
    Open(Encode(test_books::RepeatedProse(120000), "GB18030"));
    ASSERT_GT(book.GetPageCount(), 7);
    for (int i = 0; i < 5; ++i) {
        ASSERT_EQ(book.NextPage(), 0);
    }
    const std::u16string forward = book.m_strText;
    book.GotoPage(6);
    ASSERT_EQ(book.PrevPage(), 0);
    EXPECT_EQ(book.m_nCurPage, 5);
    EXPECT_EQ(book.m_strText, forward);
    book.GotoPage(0);
    EXPECT_EQ(book.GotoPage(5), 0);
    EXPECT_EQ(book.m_strText, forward);
    EXPECT_FALSE(forward.empty());
}

TEST_F(ResourceDataTest, MovesStopAtBothEndsWithoutChangingThePage) {
    Open(std::string(10000, 'k'));
    const std::u16string first = book.m_strText;
    EXPECT_EQ(book.PrevPage(), -1);
    EXPECT_EQ(book.m_nCurPage, 0);
    EXPECT_EQ(book.m_strText, first);

    EXPECT_EQ(book.GotoPage(99), 0);
    EXPECT_EQ(book.m_nCurPage, 2);
    const std::u16string last = book.m_strText;
    EXPECT_EQ(book.NextPage(), -1);
    EXPECT_EQ(book.m_nCurPage, 2);
    EXPECT_EQ(book.m_strText, last);

    EXPECT_EQ(book.GotoPage(-3), 0);
    EXPECT_EQ(book.m_nCurPage, 0);
    EXPECT_EQ(book.m_strText, first);
}

TEST_F(ResourceDataTest, EmptyBookAndNoBook) {
    EXPECT_EQ(book.NextPage(), -1);
    EXPECT_EQ(book.PrevPage(), -1);
    EXPECT_EQ(book.GotoPage(3), 0);
    EXPECT_EQ(book.m_nCurPage, 0);
    EXPECT_TRUE(book.m_strText.empty());

    Open("");
    EXPECT_EQ(book.GetPageCount(), 0);
    EXPECT_EQ(book.m_nEncoding, ENCODING_ANSI);
    EXPECT_TRUE(book.m_strText.empty());
    EXPECT_EQ(book.NextPage(), -1);
    EXPECT_EQ(book.PrevPage(), -1);
}

TEST_F(ResourceDataTest, PagesPastFourGibibytesReadCorrectly) {
    // A sparse book of 5 GiB whose last 12 KiB are lines of letters.
    const std::string path = Write("huge.txt", "");
    const std::uint64_t size = 5ULL << 30;
    std::string tail;
    while (tail.size() < 12 * 1024) {
        tail += "abcdefghij\n";
    }
    const std::uint64_t tailStart = size - tail.size();
    {
        const int fd = open(path.c_str(), O_WRONLY);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(ftruncate(fd, static_cast<off_t>(size)), 0);
        ASSERT_EQ(pwrite(fd, tail.data(), tail.size(), static_cast<off_t>(tailStart)),
                  static_cast<ssize_t>(tail.size()));
        close(fd);
    }
    ASSERT_EQ(book.OpenTxt(WidePath(path)), 0);
    EXPECT_EQ(book.m_nFileSize, size);
    const int pages = static_cast<int>((size + 4091) / 4092);
    EXPECT_EQ(book.GetPageCount(), pages);
    book.GotoPage(pages - 1);
    EXPECT_EQ(book.m_nCurPage, pages - 1);
    // Every byte of the tail is a break, so the last page starts right at its nominal start.
    const std::uint64_t pageStart = static_cast<std::uint64_t>(pages - 1) * 4092;
    std::string expected = tail.substr(pageStart - tailStart);
    EXPECT_EQ(book.m_strText,
              Wide(std::string(CResourceData::NormalizeLineBreaks(expected, ENCODING_UTF8))));
}

// ---- window processing ------------------------------------------------------------------------

TEST(NormalizeLineBreaksTest, EachBreakBecomesOneCrLf) {
    const std::pair<std::string, std::string> cases[] = {
        {"x\ny", "x\r\ny"},         {"x\n\ny", "x\r\ny"}, {"x\r\n\r\ny", "x\r\n\r\ny"},
        {"x\n\ry", "x\r\ny"},       {"x\ry", "x\r\ny"},   {"x\r\ry", "x\r\ny"},
        {"x\n\n\ny", "x\r\n\r\ny"}, {"\n", "\r\n"},
    };
    for (const auto& [in, out] : cases) {
        EXPECT_EQ(CResourceData::NormalizeLineBreaks(in, ENCODING_ANSI), out) << in;
        EXPECT_EQ(CResourceData::NormalizeLineBreaks(in, ENCODING_UTF8), out) << in;
        EXPECT_EQ(CResourceData::NormalizeLineBreaks(Encode(in, "UTF-16LE"), ENCODING_UTF16LE),
                  Encode(out, "UTF-16LE"))
            << in;
        EXPECT_EQ(CResourceData::NormalizeLineBreaks(Encode(in, "UTF-16BE"), ENCODING_UTF16BE),
                  Encode(out, "UTF-16BE"))
            << in;
    }
}

TEST(NormalizeLineBreaksTest, Utf16LooksAtWholeCodeUnits) {
    // U+0A0D and U+0D0A hold CR and LF bytes but are not line breaks.
    const std::string units = "\x0D\x0A\x0A\x0D"; // LE: U+0A0D U+0D0A
    EXPECT_EQ(CResourceData::NormalizeLineBreaks(units, ENCODING_UTF16LE), units);
}

TEST(DecodeWindowTest, ZeroEndsThePageText) {
    EXPECT_EQ(CResourceData::DecodeWindow("ab\0cd"s, ENCODING_ANSI), u"ab");
    EXPECT_EQ(CResourceData::DecodeWindow("ab\0cd"s, ENCODING_UTF8), u"ab");
    EXPECT_EQ(CResourceData::DecodeWindow("a\0\0\0b\0"s, ENCODING_UTF16LE), u"a");
}

TEST(DecodeWindowTest, MalformedInputBecomesReplacementCharacters) {
    EXPECT_EQ(CResourceData::DecodeWindow("a\xFF"
                                          "b",
                                          ENCODING_UTF8),
              u"a\uFFFDb");
    EXPECT_EQ(CResourceData::DecodeWindow("\xD6\xD0\x81", ENCODING_ANSI), u"中\uFFFD");
    // An unpaired surrogate, and a book that ends in the middle of a code unit.
    EXPECT_EQ(CResourceData::DecodeWindow("\x00\xD8\x41\x00\x42"s, ENCODING_UTF16LE),
              u"\uFFFDA\uFFFD");
}

TEST_F(ResourceDataTest, ZeroByteEndsThePageInEveryEncoding) {
    Open("abc\0def and more text"s);
    EXPECT_EQ(book.m_strText, u"abc");
    Open("\xFF\xFE" + Encode("ab", "UTF-16LE") + "\0\0"s + Encode("cd", "UTF-16LE"));
    EXPECT_EQ(book.m_strText, u"\uFEFFab");
}

// ---- names, reading marks and failed opens -------------------------------------------------

TEST_F(ResourceDataTest, BookNameIsWhatFollowsTheLastSlash) {
    const std::string path = Write("novel.txt", "text");
    ASSERT_EQ(book.OpenTxt(WidePath(path)), 0);
    EXPECT_EQ(book.m_strName, u"novel.txt");
    EXPECT_EQ(book.m_strPath, WidePath(path));

    const std::string chinese = "小说.txt";
    Write(chinese, "text");
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof(cwd)), nullptr);
    ASSERT_EQ(chdir(dir.Path().c_str()), 0);
    const int result = book.OpenTxt(Wide(chinese)); // a path without a slash
    ASSERT_EQ(chdir(cwd), 0);
    ASSERT_EQ(result, 0);
    EXPECT_EQ(book.m_strName, Wide(chinese));

    const ReadMarkInfo mark = book.GetReadMarkInfo();
    EXPECT_EQ(mark.strBookName, Encode(chinese, "GB18030"));
    EXPECT_EQ(mark.strFilePath, Encode(chinese, "GB18030"));
    EXPECT_EQ(mark.nReadPage, 0);
    EXPECT_EQ(mark.nMarkType, MARK_LOCAL);
    EXPECT_EQ(mark.nTotalPages, 1);
}

TEST_F(ResourceDataTest, FailedOpenLeavesTheOpenBookAsItWas) {
    Open(Encode(test_books::RepeatedProse(40000), "GB18030"));
    book.GotoPage(2);
    const std::u16string text = book.m_strText;
    const std::u16string path = book.m_strPath;
    const std::uint64_t size = book.m_nFileSize;

    const std::string fifo = dir.Path() + "/fifo.txt";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string failures[] = {dir.Path() + "/missing.txt", dir.Path(), fifo, "/dev/null", ""};
    for (const auto& failure : failures) {
        SCOPED_TRACE(failure);
        EXPECT_EQ(book.OpenTxt(WidePath(failure)), -1); // a FIFO must not block here
        EXPECT_EQ(book.m_strText, text);
        EXPECT_EQ(book.m_strPath, path);
        EXPECT_EQ(book.m_strName, u"book.txt");
        EXPECT_EQ(book.m_nEncoding, ENCODING_ANSI);
        EXPECT_EQ(book.m_nCurPage, 2);
        EXPECT_EQ(book.m_nFileSize, size);
    }
    // Still open and readable.
    EXPECT_EQ(book.NextPage(), 0);
    EXPECT_EQ(book.m_nCurPage, 3);
}

// ---- real Chinese books: every character on exactly one page --------------------------------

struct ChineseBook {
    const char* name;
    std::string bytes;
    std::u16string text; // what the pages must join to, line breaks aside
};

std::vector<ChineseBook> EncodedBooks(const std::string& utf8) {
    std::string crlf;
    for (char c : utf8) {
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    }
    const std::u16string text = WithoutLineBreaks(Wide(utf8));
    return {
        {"GB18030 LF", Encode(utf8, "GB18030"), text},
        {"GB18030 CR LF", Encode(crlf, "GB18030"), text},
        {"UTF-8", utf8, text},
        {"UTF-8 with BOM", "\xEF\xBB\xBF" + utf8, u"\uFEFF" + text},
        {"UTF-16LE", "\xFF\xFE" + Encode(utf8, "UTF-16LE"), u"\uFEFF" + text},
        {"UTF-16BE", "\xFE\xFF" + Encode(utf8, "UTF-16BE"), u"\uFEFF" + text},
    };
}

void ExpectPagesJoinToTheBook(const std::vector<ChineseBook>& books, const TempDir& dir) {
    for (const auto& b : books) {
        SCOPED_TRACE(b.name);
        CResourceData book;
        ASSERT_EQ(book.OpenTxt(WidePath(dir.Write("book.txt", b.bytes))), 0);
        const auto pages = AllPages(book);
        ASSERT_EQ(static_cast<int>(pages.size()), book.GetPageCount());
        for (std::size_t k = 0; k < pages.size(); ++k) {
            EXPECT_FALSE(pages[k].empty()) << "page " << k;
            EXPECT_EQ(pages[k].find(u'\uFFFD'), std::u16string::npos) << "page " << k;
        }
        EXPECT_EQ(WithoutLineBreaks(Joined(pages)), b.text);
    }
}

TEST(ChineseBookTest, ProseInEveryEncoding) {
    TempDir dir;
    ExpectPagesJoinToTheBook(EncodedBooks(test_books::RepeatedProse(60000)), dir);
}

TEST(ChineseBookTest, ThirtyKilobyteParagraphWithoutLineBreaks) {
    std::string paragraph = test_books::RepeatedProse(30000);
    std::erase(paragraph, '\n');
    const std::string book =
        test_books::kChineseProse + paragraph + "\n" + test_books::kChineseProse;
    TempDir dir;
    ExpectPagesJoinToTheBook(EncodedBooks(book), dir);
}

TEST(ChineseBookTest, ParagraphLongerThanTheLookBack) {
    // More than 64 KiB of double-byte text in a row, its characters at odd offsets: edges far
    // from the start of the book still fall between characters. (Four-byte characters would
    // realign a misread run, so there are none here.)
    std::string paragraph = "x" + test_books::RepeatedProse(150000);
    std::erase(paragraph, '\n');
    for (auto at = paragraph.find("𠮷"); at != std::string::npos; at = paragraph.find("𠮷")) {
        paragraph.erase(at, std::string("𠮷").size());
    }
    TempDir dir;
    ExpectPagesJoinToTheBook({EncodedBooks(paragraph)[0]}, dir);
}

TEST(ChineseBookTest, RareCharactersBetweenAsciiFullStops) {
    // Characters with lead byte D8 (which the guess for long runs does not favour) between
    // ASCII full stops at alternating offsets, no break anywhere, well past the first 64 KiB.
    std::string text = "x";
    while (text.size() < 150000) {
        text += "亍丌兀丐廿卅丕亘丞鬲孬噩丨禺丿匕乇夭爻卮氐囟胤馗毓睾鼗丶亟鼐乜乩亓芈孛啬嘏仄厍厝.";
    }
    TempDir dir;
    ExpectPagesJoinToTheBook({EncodedBooks(text)[0]}, dir);
}

TEST(ChineseBookTest, SurrogatePairsAreNeverSplit) {
    std::string pairs;
    for (int i = 0; i < 8000; ++i) {
        pairs += "𠮷";
    }
    TempDir dir;
    const auto books = EncodedBooks(pairs);
    ExpectPagesJoinToTheBook({books[0], books[2], books[4], books[5]}, dir);
}

TEST(ChineseBookTest, Gb18030DenseWithAsciiLettersNeverBreaksACharacter) {
    // These characters have GBK trail bytes in the ASCII letter range (說 is D5 66, 學 8C 57).
    std::string dense;
    while (dense.size() < 60000) {
        dense += "他說時關麼點學長現體發了Ab說x時關麼點學長現體發，";
    }
    TempDir dir;
    ExpectPagesJoinToTheBook({EncodedBooks(dense)[0]}, dir);
}

} // namespace
