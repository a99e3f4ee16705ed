// The chapter list kept between runs: used only for the file it was made from.
#include "platform/code_page.h"
#include "tests/text/test_books.h"
#include "text/chapter_cache.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using test_books::TempDir;

namespace {

TEST(ChapterCache, ListServesOnlyTheSameFileAndDamageIsIgnored) {
    const CCodePageLayout utf8(ENCODING_UTF8, "UTF-8");
    TempDir dir;
    const std::u16string book = DecodeUtf8(dir.Write("小说 a=b.txt", "第一章\n正文\n"));
    const CChapterCache cache(dir.Path());
    EXPECT_FALSE(cache.Load(book, utf8)); // nothing saved yet
    const std::vector<ScanHit> chapters = {{0, 0, u"第一章\t故人"}, {9000, 2, u"Chapter 2"}};
    const auto stamp = CChapterCache::StampOf(book);
    ASSERT_TRUE(stamp);
    // An offset past the end of the file cannot be right.
    ASSERT_TRUE(cache.Save(book, utf8, *stamp, chapters));
    EXPECT_FALSE(cache.Load(book, utf8));

    const std::vector<ScanHit> fitting = {{0, 0, u"第一章\t故人"}, {7, 0, u"Chapter 2"}};
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

} // namespace
