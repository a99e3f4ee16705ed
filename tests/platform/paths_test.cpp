#include "platform/paths.h"

#include "platform/code_page.h"
#include "tests/text/test_books.h"

#include <gtest/gtest.h>

namespace {

// A book's name is what follows the last slash (a backslash is an ordinary character in a Linux
// file name); Chinese paths go between the code page and the file system both ways.
TEST(PathsTest, BookNamesAndChinesePathsConvert) {
    EXPECT_EQ(BookNameOfPath(u"/home/reader/books/novel.txt"), u"novel.txt");
    EXPECT_EQ(BookNameOfPath(u"novel.txt"), u"novel.txt");
    EXPECT_EQ(BookNameOfPath(u"C:\\books\\novel.txt"), u"C:\\books\\novel.txt");
    const std::string fs = "/书架/小说 第一卷.txt";
    const std::string ansi = test_books::Encode(fs, "GB18030");
    EXPECT_EQ(AnsiPathFromFs(fs), ansi);
    EXPECT_EQ(FsPathFromAnsi(ansi), fs);
    EXPECT_EQ(FsPathFromWide(test_books::Wide(fs)), fs);
}

} // namespace
