#include "text/resource_data.h"

#include "tests/text/test_books.h"
#include "text/encoding_choice.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using test_books::CrLf;
using test_books::Encode;
using test_books::TempDir;
using test_books::Wide;
using test_books::WithoutLineBreaks;

using namespace std::string_literals;

namespace {

// Pure ASCII text (and temporary paths) as wide text.
std::u16string Ascii(const std::string& text) {
    return std::u16string(text.begin(), text.end());
}

class ResourceDataTest : public ::testing::Test {
protected:
    // Opens a book with these bytes; fails the test when it does not open.
    void Open(const std::string& bytes) {
        ASSERT_EQ(book.OpenTxt(Ascii(dir.Write("book.txt", bytes))), 0);
    }

    TempDir dir;
    CResourceData book;
};

// ---- encoding detection -------------------------------------------------------------------

TEST(LooksLikeUtf8Test, ScoreOf81PassesAndScoreOf80Fails) {
    const auto sample = [](int valid, int invalid) {
        std::string bytes;
        for (int i = 0; i < valid + invalid; ++i) {
            bytes += i < valid ? "\xE4\xB8\xAD " : "\x80 "; // a sequence, or a stray byte
        }
        return bytes;
    };
    const std::string pass = sample(81, 19);
    const std::string fail = sample(80, 20);
    EXPECT_EQ(CResourceData::DetectEncoding(pass.data(), pass.size()), ENCODING_UTF8);
    EXPECT_EQ(CResourceData::DetectEncoding(fail.data(), fail.size()), ENCODING_ANSI);
    // A sequence cut off by the end of the sample is invalid: 2 of 3.
    const std::string cut = "\xC3\xA9\xC3\xA9\xE4\xB8";
    EXPECT_FALSE(CResourceData::LooksLikeUtf8(cut.data(), cut.size()));
    EXPECT_TRUE(CResourceData::LooksLikeUtf8(cut.data(), 4));
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
    // The mark stays in the text, as an invisible character.
    Open("\xEF\xBB\xBF\x41");
    EXPECT_EQ(book.m_nEncoding, ENCODING_UTF8);
    EXPECT_EQ(book.m_strText, u"\uFEFFA");
}

// ---- page arithmetic and page moves ---------------------------------------------------------

TEST_F(ResourceDataTest, PageCountIsSizeDividedBy4092RoundedUp) {
    for (const auto& [size, pages] : std::vector<std::pair<std::size_t, int>>{
             {0, 0}, {1, 1}, {4092, 1}, {4093, 2}, {10000, 3}, {4092 * 7, 7}}) {
        SCOPED_TRACE(size);
        Open(std::string(size, 'x'));
        EXPECT_EQ(book.GetPageCount(), pages);
        if (size == 0) {
            EXPECT_EQ(book.m_nEncoding, ENCODING_ANSI);
        }
        if (size <= 4092) {
            EXPECT_EQ(book.m_strText.size(), size); // shown whole, all breaks notwithstanding
        }
    }
}

TEST_F(ResourceDataTest, BookOf10000BytesWithLineFeedsEvery100Bytes) {
    std::string bytes(10000, '0');
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = i % 100 == 0 && i > 0 ? '\n' : static_cast<char>('0' + i % 10);
    }
    const auto pageText = [&](std::size_t from, std::size_t to) {
        return Ascii(CrLf(bytes.substr(from, to - from)));
    };
    Open(bytes);
    ASSERT_EQ(book.GetPageCount(), 3);
    EXPECT_EQ(book.m_strText, pageText(0, 4000));
    ASSERT_EQ(book.NextPage(), 0);
    EXPECT_EQ(book.m_strText, pageText(4000, 8100));
    ASSERT_EQ(book.NextPage(), 0);
    EXPECT_EQ(book.m_strText, pageText(8100, 10000));
}

TEST_F(ResourceDataTest, BookOf5000BytesIsCutOnceAtItsEdge) {
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

    // No break within 2047 bytes before the edge: both pages meet at the edge itself.
    bytes[3000] = bytes[4050] = '7';
    Open(bytes);
    EXPECT_EQ(book.m_strText, Ascii(bytes.substr(0, 4092)));
    ASSERT_EQ(book.NextPage(), 0);
    EXPECT_EQ(book.m_strText, Ascii(bytes.substr(4092)));
}

// Forward, backward and a jump reach the same page; moves past either end, and any move with no
// book or an empty one, change nothing.
TEST_F(ResourceDataTest, PageMovesAgreeAndStopAtBothEnds) {
    EXPECT_EQ(book.NextPage(), -1);
    EXPECT_EQ(book.PrevPage(), -1);
    EXPECT_EQ(book.GotoPage(3), 0);
    EXPECT_EQ(book.m_nCurPage, 0);
    EXPECT_TRUE(book.m_strText.empty());
    Open("");
    EXPECT_EQ(book.NextPage(), -1);
    EXPECT_EQ(book.PrevPage(), -1);
    EXPECT_TRUE(book.m_strText.empty());

    Open(Encode(test_books::RepeatedProse(60000), "GB18030"));
    const int last = book.GetPageCount() - 1;
    ASSERT_GT(last, 6);
    const std::u16string first = book.m_strText;
    EXPECT_EQ(book.PrevPage(), -1);
    EXPECT_EQ(book.m_strText, first);
    for (int i = 0; i < 5; ++i) {
        ASSERT_EQ(book.NextPage(), 0);
    }
    const std::u16string forward = book.m_strText;
    EXPECT_FALSE(forward.empty());
    book.GotoPage(6);
    ASSERT_EQ(book.PrevPage(), 0);
    EXPECT_EQ(book.m_nCurPage, 5);
    EXPECT_EQ(book.m_strText, forward);
    book.GotoPage(0);
    EXPECT_EQ(book.GotoPage(5), 0);
    EXPECT_EQ(book.m_strText, forward);

    EXPECT_EQ(book.GotoPage(99), 0);
    EXPECT_EQ(book.m_nCurPage, last);
    const std::u16string end = book.m_strText;
    EXPECT_EQ(book.NextPage(), -1);
    EXPECT_EQ(book.m_nCurPage, last);
    EXPECT_EQ(book.m_strText, end);
    book.GotoPage(-3);
    EXPECT_EQ(book.m_nCurPage, 0);
    EXPECT_EQ(book.m_strText, first);
}

TEST_F(ResourceDataTest, PagesPastFourGibibytesReadCorrectly) {
    // A sparse book of 5 GiB whose last 12 KiB are lines of letters.
    const std::string path = dir.Write("huge.txt", "");
    const std::uint64_t size = 5ULL << 30;
    std::string tail;
    while (tail.size() < 12 * 1024) {
        tail += "abcdefghij\n";
    }
    std::filesystem::resize_file(path, size);
    std::fstream(path, std::ios::in | std::ios::out | std::ios::binary)
            .seekp(static_cast<std::streamoff>(size - tail.size()))
        << tail;
    ASSERT_EQ(book.OpenTxt(Ascii(path)), 0);
    EXPECT_EQ(book.m_nFileSize, size);
    const int pages = static_cast<int>((size + 4091) / 4092);
    EXPECT_EQ(book.GetPageCount(), pages);
    book.GotoPage(pages);
    EXPECT_EQ(book.m_nCurPage, pages - 1);
    // Every byte of the tail is a break, so the last page starts right at its nominal start.
    const std::uint64_t pageStart = static_cast<std::uint64_t>(pages - 1) * 4092;
    EXPECT_EQ(book.m_strText, Ascii(CrLf(tail.substr(pageStart - (size - tail.size())))));
}

// ---- window processing ------------------------------------------------------------------------

TEST(NormalizeLineBreaksTest, CrLfIsOneBreakAndEveryOtherCrOrLfIsItsOwn) {
    const std::pair<std::string, std::string> cases[] = {
        {"x\ny", "x\r\ny"},
        {"x\n\ny", "x\r\n\r\ny"},
        {"x\r\n\r\ny", "x\r\n\r\ny"},
        {"x\n\ry", "x\r\n\r\ny"},
        {"x\ry", "x\r\ny"},
        {"x\r\ry", "x\r\n\r\ny"},
        {"x\n\n\ny", "x\r\n\r\n\r\ny"},
        {"x\r\r\ny", "x\r\n\r\ny"},
        {"\n", "\r\n"},
        {"x\r", "x\r\n"},
    };
    for (const auto& [in, out] : cases) {
        // UTF-16 works on whole code units: U+0A0D holds CR and LF bytes but is no break.
        const std::string le = Encode(in, "UTF-16LE") + "\x0D\x0A";
        EXPECT_EQ(CResourceData::NormalizeLineBreaks(le, ENCODING_UTF16LE),
                  Encode(out, "UTF-16LE") + "\x0D\x0A");
        EXPECT_EQ(CResourceData::NormalizeLineBreaks(in, ENCODING_ANSI), out) << in;
        EXPECT_EQ(CResourceData::NormalizeLineBreaks(in, ENCODING_UTF8), out) << in;
        EXPECT_EQ(CResourceData::NormalizeLineBreaks(Encode(in, "UTF-16BE"), ENCODING_UTF16BE),
                  Encode(out, "UTF-16BE"))
            << in;
    }
}

TEST(DecodeWindowTest, ZeroEndsThePageAndMalformedInputGivesReplacements) {
    EXPECT_EQ(CResourceData::DecodeWindow("ab\0cd"s, ENCODING_ANSI), u"ab");
    EXPECT_EQ(CResourceData::DecodeWindow("ab\0cd"s, ENCODING_UTF8), u"ab");
    EXPECT_EQ(CResourceData::DecodeWindow("a\0\0\0b\0"s, ENCODING_UTF16LE), u"a");
    EXPECT_EQ(CResourceData::DecodeWindow("a\xFF!", ENCODING_UTF8), u"a\uFFFD!");
    EXPECT_EQ(CResourceData::DecodeWindow("\xD6\xD0\x81", ENCODING_ANSI), u"中\uFFFD");
    // An unpaired surrogate, and a book that ends in the middle of a code unit.
    EXPECT_EQ(CResourceData::DecodeWindow("\x00\xD8\x41\x00\x42"s, ENCODING_UTF16LE),
              u"\uFFFDA\uFFFD");
}

// ---- names, reading marks and failed opens -------------------------------------------------

// A path without a slash is a name in the current directory; the history gets both in the
// legacy code page.
TEST_F(ResourceDataTest, BookOpenedByItsNameAloneGivesItsReadMark) {
    const std::string chinese = "小说.txt";
    dir.Write(chinese, "text");
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof(cwd)), nullptr);
    ASSERT_EQ(chdir(dir.Path().c_str()), 0);
    const int result = book.OpenTxt(Wide(chinese));
    ASSERT_EQ(chdir(cwd), 0);
    ASSERT_EQ(result, 0);
    EXPECT_EQ(book.m_strName, Wide(chinese));
    EXPECT_EQ(book.m_strPath, Wide(chinese));
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
        EXPECT_EQ(book.OpenTxt(Ascii(failure)), -1); // a FIFO must not block here
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
    std::u16string text;  // what the pages must join to, line breaks aside
    const char* codePage; // what the book must be read as
};

std::vector<ChineseBook> EncodedBooks(const std::string& utf8) {
    const std::string crlf = CrLf(utf8);
    const std::u16string text = WithoutLineBreaks(Wide(utf8));
    return {
        {"GB18030 LF", Encode(utf8, "GB18030"), text, "GB18030"},
        {"GB18030 CR LF", Encode(crlf, "GB18030"), text, "GB18030"},
        {"UTF-8", utf8, text, "UTF-8"},
        {"UTF-8 with BOM", "\xEF\xBB\xBF" + utf8, u"\uFEFF" + text, "UTF-8"},
        {"UTF-16LE", "\xFF\xFE" + Encode(utf8, "UTF-16LE"), u"\uFEFF" + text, "UTF-16LE"},
        {"UTF-16BE", "\xFE\xFF" + Encode(utf8, "UTF-16BE"), u"\uFEFF" + text, "UTF-16BE"},
    };
}

// Reads every page forward: none is empty or shows a broken character, and together they hold
// the book, every character once.
void ExpectPagesJoinToTheBook(const ChineseBook& b) {
    SCOPED_TRACE(b.name);
    TempDir dir;
    CResourceData book;
    ASSERT_EQ(book.OpenTxt(Ascii(dir.Write("book.txt", b.bytes))), 0);
    EXPECT_EQ(CEncodingChoice::CodePageName(book.m_nEncoding, book.m_layout.CodePage()),
              b.codePage);
    std::u16string joined;
    int pages = 0;
    do {
        EXPECT_FALSE(book.m_strText.empty()) << "page " << pages;
        EXPECT_EQ(book.m_strText.find(u'\uFFFD'), std::u16string::npos) << "page " << pages;
        joined += book.m_strText;
        ++pages;
    } while (book.NextPage() == 0);
    EXPECT_EQ(pages, book.GetPageCount());
    EXPECT_EQ(WithoutLineBreaks(joined), b.text);
}

TEST(ChineseBookTest, ProseAndA30KbParagraphInEveryEncoding) {
    std::string paragraph = test_books::RepeatedProse(30000);
    std::erase(paragraph, '\n');
    for (const std::string& text :
         {test_books::RepeatedProse(60000),
          test_books::kChineseProse + paragraph + "\n" + test_books::kChineseProse}) {
        for (const auto& b : EncodedBooks(text)) {
            ExpectPagesJoinToTheBook(b);
        }
    }
}

TEST(ChineseBookTest, HardPageEdges) {
    // More than 64 KiB of double-byte text in a row at odd offsets, so that edges far from the
    // start of the book cannot be placed from it (four-byte characters would realign a misread
    // run, so there are none).
    std::string longRun = "x" + test_books::RepeatedProse(150000);
    std::erase(longRun, '\n');
    for (auto at = longRun.find("𠮷"); at != std::string::npos; at = longRun.find("𠮷")) {
        longRun.erase(at, std::string("𠮷").size());
    }
    // Characters whose GBK trail bytes are ASCII letters (說 is D5 66, 學 8C 57).
    std::string letters;
    // Characters with lead byte D8, which the guess for long runs does not favour, between ASCII
    // full stops at alternating offsets.
    std::string rare = "x";
    // Nothing but surrogate pairs (four-byte sequences in GB18030 and UTF-8).
    std::string pairs;
    // ASCII letters right after double-byte characters, and whole sentences of them: still GB18030.
    std::string latin;
    while (latin.size() < 30000) {
        latin += "第12章 Chapter Twelve：他說OK，我们走吧。Veska reads TXT novels.\n" +
                 test_books::kChineseProse;
    }
    while (letters.size() < 60000) {
        letters += "他說時關麼點學長現體發了Ab說x時關麼點學長現體發，";
        rare += "亍丌兀丐廿卅丕亘丞鬲孬噩丨禺丿匕乇夭爻卮氐囟胤馗毓睾鼗丶亟鼐乜乩亓芈孛啬嘏仄厍厝.";
        pairs += "𠮷𠮷𠮷𠮷𠮷𠮷";
    }
    for (const std::string& gbOnly : {longRun, letters, rare, latin}) {
        ExpectPagesJoinToTheBook(EncodedBooks(gbOnly)[0]);
    }
    for (const auto& b : EncodedBooks(pairs)) {
        ExpectPagesJoinToTheBook(b);
    }
}

// ---- books in other East Asian code pages -------------------------------------------------

TEST(CodePageBookTest, EachCodePageIsDetectedAndEveryPageReadsBack) {
    using namespace test_books;
    const struct {
        const std::string& prose;
        const char* writtenIn;
        const char* readAs;
    } cases[] = {
        {kTraditionalProse, "BIG5", "BIG5-HKSCS"}, {kTraditionalProse, "EUC-TW", "EUC-TW"},
        {kJapaneseProse, "SHIFT_JIS", "CP932"},    {kJapaneseProse, "EUC-JP", "EUC-JP"},
        {kKoreanProse, "EUC-KR", "CP949"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.writtenIn);
        // Short lines, and one paragraph of 30 KB whose edges must be placed from its start.
        std::string paragraph = Repeated(c.prose, 30000);
        std::erase(paragraph, '\n');
        for (const std::string& text : {Repeated(c.prose, 20000), c.prose + paragraph}) {
            ExpectPagesJoinToTheBook(
                {c.readAs, Encode(text, c.writtenIn), WithoutLineBreaks(Wide(text)), c.readAs});
        }
    }
}

TEST_F(ResourceDataTest, ChosenEncodingOverridesDetectionAndReloadsTheSamePage) {
    const std::string traditional = test_books::Repeated(test_books::kTraditionalProse, 20000);
    const std::u16string path = u"" + Ascii(dir.Path()) + u"/繁體.txt";
    dir.Write("繁體.txt", Encode(traditional, "BIG5"));

    ASSERT_EQ(book.OpenTxt(path, "GB18030"), 0);
    EXPECT_EQ(book.m_layout.CodePage(), "GB18030");
    EXPECT_EQ(book.m_strEncodingChoice, "GB18030");
    book.GotoPage(2);
    const std::u16string misread = book.m_strText;

    EXPECT_EQ(book.SetEncodingChoice("big5"), 0);
    EXPECT_EQ(book.m_strEncodingChoice, "BIG5");
    EXPECT_EQ(book.CodePageDisplayName(), "BIG5");
    EXPECT_EQ(book.m_nCurPage, 2);
    EXPECT_NE(book.m_strText, misread);
    EXPECT_NE(WithoutLineBreaks(Wide(traditional)).find(WithoutLineBreaks(book.m_strText)),
              std::u16string::npos);

    // An unknown name changes nothing; "" detects again.
    EXPECT_EQ(book.SetEncodingChoice("KOI8-R"), -1);
    EXPECT_EQ(book.m_strEncodingChoice, "BIG5");
    EXPECT_EQ(book.SetEncodingChoice("UTF-16LE"), 0);
    EXPECT_EQ(book.CodePageDisplayName(), "UTF-16LE");
    EXPECT_EQ(book.SetEncodingChoice(""), 0);
    EXPECT_EQ(book.m_strEncodingChoice, "");
    EXPECT_EQ(book.m_layout.CodePage(), "BIG5-HKSCS");
}

} // namespace
