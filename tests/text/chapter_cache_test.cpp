// The chapter list kept between runs: used only for the file it was made from.
#include "platform/code_page.h"
#include "tests/text/test_books.h"
#include "text/chapter_cache.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

using test_books::TempDir;

namespace {

TEST(ChapterCache, ListServesOnlyTheSameFileAndDamageIsIgnored) {
    const CCodePageLayout utf8(ENCODING_UTF8, "UTF-8");
    TempDir dir;
    const std::u16string book = DecodeUtf8(dir.Write("小说 a=b.txt", "第一章\n正文\n"));
    const CChapterCache cache(dir.Path());
    EXPECT_FALSE(cache.Load(book, utf8)); // nothing saved yet
    const CChapterList chapters = {{0, 0, u"第一章\t故人"}, {9000, 2, u"Chapter 2"}};
    const auto stamp = CChapterCache::StampOf(book);
    ASSERT_TRUE(stamp);
    // An offset past the end of the file cannot be right.
    ASSERT_TRUE(cache.Save(book, utf8, *stamp, chapters));
    EXPECT_FALSE(cache.Load(book, utf8));

    const CChapterList fitting = {{0, 0, u"第一章\t故人"}, {7, 0, u"Chapter 2"}};
    ASSERT_TRUE(cache.Save(book, utf8, *stamp, fitting));
    const auto loaded = cache.Load(book, utf8);
    ASSERT_TRUE(loaded);
    ASSERT_EQ(loaded->size(), 2u);
    EXPECT_EQ((*loaded)[0].text, u"第一章\t故人");
    EXPECT_EQ((*loaded)[1].offset, 7u);
    EXPECT_FALSE(cache.Load(book, CCodePageLayout(ENCODING_ANSI, LegacyCodePageName())));

    // A legacy book read in another code page is another list.
    const CCodePageLayout gb(ENCODING_ANSI, LegacyCodePageName());
    const CCodePageLayout big5(ENCODING_ANSI, "BIG5-HKSCS");
    ASSERT_TRUE(cache.Save(book, gb, *stamp, fitting));
    EXPECT_TRUE(cache.Load(book, gb));
    EXPECT_FALSE(cache.Load(book, big5));
    ASSERT_TRUE(cache.Save(book, big5, *stamp, fitting));
    EXPECT_TRUE(cache.Load(book, big5));
    EXPECT_FALSE(cache.Load(book, gb));
    ASSERT_TRUE(cache.Save(book, utf8, *stamp, fitting));

    // Cut short by a crash of some other writer: ignored.
    const std::string file = cache.FileOf(book);
    std::filesystem::resize_file(file, std::filesystem::file_size(file) - 4);
    EXPECT_FALSE(cache.Load(book, utf8));

    ASSERT_TRUE(cache.Save(book, utf8, *stamp, fitting));
    dir.Write("小说 a=b.txt", "第一章\n正文改了\n"); // the book changed
    EXPECT_FALSE(cache.Load(book, utf8));
}

// A list made with other chapter rules is another list; what the list is comes back with it.
TEST(ChapterCache, ListServesOnlyTheRulesItWasMadeWith) {
    const CCodePageLayout utf8(ENCODING_UTF8, "UTF-8");
    TempDir dir;
    const std::u16string book = DecodeUtf8(dir.Write("book.txt", "清晨的小城\n还没有醒来\n"));
    const auto stamp = CChapterCache::StampOf(book);
    ASSERT_TRUE(stamp);
    CChapterRules fewer = CChapterRules::BuiltIn();
    fewer[1].SetEnabled(false);
    const CChapterCache builtIn(dir.Path());
    const CChapterCache other(dir.Path(), fewer.Identity());
    CChapterList made = {{0, 0, u"清晨的小城"}, {16, 0, u"还没有醒来"}};
    made.SetMadeByReader(true);
    ASSERT_TRUE(builtIn.Save(book, utf8, *stamp, made));
    EXPECT_FALSE(other.Load(book, utf8));
    auto loaded = builtIn.Load(book, utf8);
    ASSERT_TRUE(loaded);
    EXPECT_TRUE(loaded->MadeByReader());
    EXPECT_EQ(loaded->RuleName(), "");

    CChapterList found = {{0, 0, u"清晨的小城"}};
    found.SetRuleName("第X章：标题\n（分隔符）");
    ASSERT_TRUE(other.Save(book, utf8, *stamp, found));
    EXPECT_FALSE(builtIn.Load(book, utf8));
    loaded = other.Load(book, utf8);
    ASSERT_TRUE(loaded);
    EXPECT_FALSE(loaded->MadeByReader());
    EXPECT_EQ(loaded->RuleName(), found.RuleName());
    EXPECT_EQ(loaded->size(), 1u);
}

// Entries a damaged or hand-made list may hold: each would have sent the window decoding from far
// away, wrapped a page number or run a title to the end of the file. The list is then ignored.
TEST(ChapterCache, EntriesThatCannotBeTheBooksAreRefused) {
    const CCodePageLayout utf8(ENCODING_UTF8, "UTF-8");
    TempDir dir;
    const std::u16string book = DecodeUtf8(dir.Write("big.txt", std::string(3 * 4092, 'x')));
    const CChapterCache cache(dir.Path());
    const auto stamp = CChapterCache::StampOf(book);
    ASSERT_TRUE(stamp);
    ASSERT_TRUE(cache.Save(book, utf8, *stamp, {{0, 0, u"甲"}, {4092, 1, u"乙"}}));
    std::stringstream saved;
    saved << std::ifstream(cache.FileOf(book), std::ios::binary).rdbuf();
    const std::string header = saved.str().substr(0, saved.str().find("0\t0\t"));
    const auto loads = [&](const std::string& entries) {
        std::ofstream(cache.FileOf(book), std::ios::binary | std::ios::trunc) << header << entries;
        return cache.Load(book, utf8).has_value();
    };
    EXPECT_TRUE(loads("0\t0\t甲\n4092\t1\t乙\n"));
    EXPECT_TRUE(loads("0\t0\t甲\n4090\t1\t乙\n"));     // a page may begin before its nominal start
    for (const char* bad : {"0\t0\t甲\n8000\t0\t乙\n", // far past its page
                            "0\t0\t甲\n4092\t2\t乙\n", // a page before it begins
                            "0\t0\t甲\n4092\t2147483648\t乙\n", // wraps to a negative page
                            "0\t0\t甲\n4092\t4294967297\t乙\n", // wraps to page 1
                            "0\t0\t甲\n4092\t2147483647\t乙\n", // the last int: page + 1 overflows
                            "0\t\n4092\t1\t乙\n",               // cut-off entry
                            "0\t0\t甲\n 4092\t1\t乙\n",         // blanks, signs: not a number
                            "0\t0\t甲\n+4092\t1\t乙\n", "0\t0\t甲\n4092\t-1\t乙\n",
                            "0\t0\t甲\n18446744073709551617\t1\t乙\n"}) {
        EXPECT_FALSE(loads(bad)) << bad;
    }
}

// A long list (past the blocks it is written and read in, as a book of a great many headings has
// it) comes back entry for entry; the file's size must fit its count, the count the book.
TEST(ChapterCache, LongListsLoadBackWholeAndTheirSizeMustFitTheirCount) {
    const CCodePageLayout utf8(ENCODING_UTF8, "UTF-8");
    TempDir dir;
    const std::string bookFile = dir.Write("long.txt", "");
    std::filesystem::resize_file(bookFile, 40000ull * 4092); // sparse: nothing to write
    const std::u16string book = DecodeUtf8(bookFile);
    const CChapterCache cache(dir.Path());
    const auto stamp = CChapterCache::StampOf(book);
    ASSERT_TRUE(stamp);
    CChapterList chapters;
    for (int i = 0; i < 40000; ++i) {
        chapters.push_back(
            {std::uint64_t(i) * 4092 + 7, i,
             u"第" + DecodeUtf8(std::to_string(i)) + (i % 2 ? u"章 𠮷\t风雪" : u"章")});
    }
    ASSERT_TRUE(cache.Save(book, utf8, *stamp, chapters));
    const std::optional<CChapterList> loaded = cache.Load(book, utf8);
    ASSERT_TRUE(loaded);
    ASSERT_EQ(loaded->size(), chapters.size());
    for (std::size_t i = 0; i < chapters.size(); ++i) {
        ASSERT_EQ(loaded->Offset(i), chapters.Offset(i));
        ASSERT_EQ(loaded->Page(i), chapters.Page(i));
        ASSERT_EQ(loaded->TitleUtf8(i), chapters.TitleUtf8(i));
    }

    // One entry far longer than a title can be, and a count that the book cannot hold.
    const std::string file = cache.FileOf(book);
    std::stringstream saved;
    saved << std::ifstream(file, std::ios::binary).rdbuf();
    const std::string header = saved.str().substr(0, saved.str().find("count "));
    std::ofstream(file, std::ios::binary | std::ios::trunc)
        << header << "count 1\n7\t0\t" << std::string(4000, 'x') << "\n";
    EXPECT_FALSE(cache.Load(book, utf8));
    std::ofstream(file, std::ios::binary | std::ios::trunc)
        << header << "count " << 40000ull * 4092 + 1 << "\n7\t0\tx\n";
    EXPECT_FALSE(cache.Load(book, utf8));
}

// Saves killed midway leave their temporary files in the folder; the next start removes them.
TEST(ChapterCache, StaleSavesAreRemoved) {
    TempDir dir;
    const CChapterCache cache(dir.Path());
    const std::string folder = dir.File("chapters");
    std::filesystem::create_directories(folder);
    // Named as a save's temporary file, by a process that is gone (pid 2^22 + 1 never runs).
    const std::string stale = folder + "/.0123456789abcdef.txt.tmp-4194305-1-1";
    std::ofstream(stale) << "x";
    const int removed = cache.RemoveStaleSaves();
    EXPECT_FALSE(std::filesystem::exists(stale)) << removed;
}

} // namespace
