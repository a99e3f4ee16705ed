#include "text/resource_data.h"

#include "platform/code_page.h"
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

class ResourceDataTest : public ::testing::Test {
protected:
    // Opens a book with these bytes; fails the test when it does not open.
    void Open(const std::string& bytes) {
        ASSERT_EQ(book.OpenTxt(DecodeUtf8(dir.Write("book.txt", bytes))), 0);
    }

    TempDir dir;
    CResourceData book;
};

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

// Real books are detected in the page tests further on; these are the cases beside them.
TEST_F(ResourceDataTest, EncodingOfBooksWithoutTextToJudge) {
    const std::pair<std::string, TextEncoding> cases[] = {
        {std::string(9000, 'a'), ENCODING_UTF8},
        {"", ENCODING_ANSI},
        {"\xEF\xBB\xBF", ENCODING_ANSI}, // a UTF-8 mark and nothing after it
        {"\xFF\xFE\x41", ENCODING_ANSI}, // a UTF-16 mark and one byte
    };
    for (const auto& [bytes, expected] : cases) {
        Open(bytes);
        EXPECT_EQ(book.m_nEncoding, expected) << bytes.size();
    }
}

// A page edge is cut at the last break at most 2047 bytes before it, or else at the edge itself;
// a book of one page is shown whole.
TEST_F(ResourceDataTest, PagesAndTheirEdges) {
    std::string lines(10000, '0'); // a line feed every 100 bytes
    for (std::size_t i = 0; i < lines.size(); ++i) {
        lines[i] = i % 100 == 0 && i > 0 ? '\n' : static_cast<char>('0' + i % 10);
    }
    std::string breaks(5000, '7');
    breaks[1000] = 'x'; // too far before the edge to matter
    breaks[3000] = 'y';
    breaks[4050] = 'z';
    breaks[4500] = 'w';
    std::string far = breaks;
    far[3000] = far[4050] = '7';
    const struct {
        std::string bytes;
        std::vector<std::size_t> cuts; // where the pages begin, then the end of the book
    } books[] = {
        {"", {0}},
        {"x", {0, 1}},
        {std::string(4092, 'x'), {0, 4092}},
        {std::string(4093, 'x'), {0, 4092, 4093}},
        {std::string(4092 * 7, 'x'), {0, 4092, 8184, 12276, 16368, 20460, 24552, 28644}},
        {lines, {0, 4000, 8100, 10000}},
        {breaks, {0, 4050, 5000}},
        {far, {0, 4092, 5000}},
    };
    for (const auto& b : books) {
        SCOPED_TRACE(b.bytes.size());
        Open(b.bytes);
        ASSERT_EQ(book.GetPageCount(), static_cast<int>(b.cuts.size()) - 1);
        for (std::size_t page = 0; page + 1 < b.cuts.size(); ++page) {
            book.GotoPage(static_cast<int>(page));
            const std::size_t from = b.cuts[page];
            EXPECT_EQ(book.m_strText,
                      DecodeUtf8(CrLf(b.bytes.substr(from, b.cuts[page + 1] - from))));
        }
    }
}

// Forward, backward and a jump reach the same page; moves past either end, and any move with no
// book or an empty one, change nothing.
TEST_F(ResourceDataTest, PageMovesAgreeAndStopAtBothEnds) {
    for (bool empty : {false, true}) {
        if (empty) {
            Open("");
        }
        EXPECT_EQ(book.NextPage(), -1);
        EXPECT_EQ(book.PrevPage(), -1);
        EXPECT_EQ(book.GotoPage(3), 0);
        EXPECT_EQ(book.m_nCurPage, 0);
        EXPECT_TRUE(book.m_strText.empty());
    }

    Open(Encode(test_books::RepeatedProse(60000), "GB18030"));
    const int last = book.GetPageCount() - 1;
    ASSERT_GT(last, 6);
    const std::u16string first = book.m_strText;
    EXPECT_EQ(book.PrevPage(), -1);
    for (int i = 0; i < 5; ++i) {
        ASSERT_EQ(book.NextPage(), 0);
    }
    const std::u16string forward = book.m_strText;
    book.GotoPage(6);
    ASSERT_EQ(book.PrevPage(), 0);
    EXPECT_EQ(book.m_nCurPage, 5);
    EXPECT_EQ(book.m_strText, forward);
    book.GotoPage(0);
    EXPECT_EQ(book.m_strText, first);
    book.GotoPage(5);
    EXPECT_EQ(book.m_strText, forward);

    book.GotoPage(99);
    const std::u16string end = book.m_strText;
    EXPECT_EQ(book.NextPage(), -1);
    EXPECT_EQ(book.m_nCurPage, last);
    EXPECT_EQ(book.m_strText, end);
    book.GotoPage(-3);
    EXPECT_EQ(book.m_nCurPage, 0);
}

TEST_F(ResourceDataTest, PagesPastFourGibibytesReadCorrectly) {
    // A sparse book of 5 GiB whose last 12 KiB are lines of letters.
    const std::string path = dir.Write("huge.txt", "");
    const std::uint64_t size = 5ULL << 30;
    const std::string tail = test_books::Repeated("abcdefghij\n", 12 * 1024);
    std::filesystem::resize_file(path, size);
    std::fstream(path, std::ios::in | std::ios::out | std::ios::binary)
            .seekp(static_cast<std::streamoff>(size - tail.size()))
        << tail;
    ASSERT_EQ(book.OpenTxt(DecodeUtf8(path)), 0);
    EXPECT_EQ(book.m_nFileSize, size);
    const int pages = static_cast<int>((size + 4091) / 4092);
    EXPECT_EQ(book.GetPageCount(), pages);
    book.GotoPage(pages);
    EXPECT_EQ(book.m_nCurPage, pages - 1);
    // Every byte of the tail is a break, so the last page starts right at its nominal start.
    const std::uint64_t pageStart = static_cast<std::uint64_t>(pages - 1) * 4092;
    EXPECT_EQ(book.m_strText, DecodeUtf8(CrLf(tail.substr(pageStart - (size - tail.size())))));
}

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
    const auto state = [&] {
        return std::make_tuple(book.m_strText, book.m_strPath, book.m_strName, book.m_nEncoding,
                               book.m_nCurPage, book.m_nFileSize);
    };
    Open(Encode(test_books::RepeatedProse(40000), "GB18030"));
    book.GotoPage(2);
    const auto before = state();
    const std::string fifo = dir.File("fifo.txt");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const auto& failure : {dir.File("missing.txt"), dir.Path(), fifo, "/dev/null"s, ""s}) {
        SCOPED_TRACE(failure);
        EXPECT_EQ(book.OpenTxt(DecodeUtf8(failure)), -1); // a FIFO must not block here
        EXPECT_EQ(state(), before);
    }
    EXPECT_EQ(book.NextPage(), 0); // still open and readable
    EXPECT_EQ(book.m_nCurPage, 3);
}

struct ChineseBook {
    const char* name;
    std::string bytes;
    std::u16string text;       // what the pages must join to, line breaks aside
    const char* codePage;      // what the book must be read as
    std::string_view choice{}; // the encoding chosen for it; none: detected
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
    ASSERT_EQ(book.OpenTxt(DecodeUtf8(dir.Write("book.txt", b.bytes))), 0);
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
    using test_books::Repeated;
    // Characters whose GBK trail bytes are ASCII letters (說 is D5 66, 學 8C 57).
    const std::string letters =
        Repeated("他說時關麼點學長現體發了Ab說x時關麼點學長現體發，", 60000);
    // Characters with lead byte D8, which the guess for long runs does not favour, between ASCII
    // full stops at alternating offsets.
    const std::string rare =
        "x" +
        Repeated(
            "亍丌兀丐廿卅丕亘丞鬲孬噩丨禺丿匕乇夭爻卮氐囟胤馗毓睾鼗丶亟鼐乜乩亓芈孛啬嘏仄厍厝.",
            60000);
    // Nothing but surrogate pairs (four-byte sequences in GB18030 and UTF-8).
    const std::string pairs = Repeated("𠮷", 20000);
    // ASCII letters right after double-byte characters, and whole sentences of them: still GB18030.
    const std::string latin =
        Repeated("第12章 Chapter Twelve：他說OK，我们走吧。Veska reads TXT novels.\n" +
                     test_books::kChineseProse,
                 30000);
    for (const std::string& gbOnly : {longRun, letters, rare, latin}) {
        ExpectPagesJoinToTheBook(EncodedBooks(gbOnly)[0]);
    }
    for (const auto& b : EncodedBooks(pairs)) {
        ExpectPagesJoinToTheBook(b);
    }
}

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
    const std::u16string path = DecodeUtf8(dir.Write("繁體.txt", Encode(traditional, "BIG5")));

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
