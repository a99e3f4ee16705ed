#include "platform/paths.h"

#include "platform/code_page.h"
#include "tests/text/test_books.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

// File names are bytes: a GBK name (as old archives unpack) reads as its characters and leads
// back to the file, in a UTF-8 folder too; bytes no code page spells survive the round trip.
TEST(PathsTest, NamesThatAreNotUtf8LeadBackToTheirFiles) {
    test_books::TempDir dir;
    const std::string folder = dir.File("书库");
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    const std::string gbk = folder + "/" + test_books::Encode("序章.txt", "GBK");
    const std::string odd = folder + "/\xff\x80 x.txt";
    for (const std::string& file : {gbk, odd}) {
        ASSERT_EQ(close(creat(file.c_str(), 0600)), 0);
    }
    const std::u16string wide = WidePathFromFs(gbk);
    EXPECT_EQ(wide, test_books::Wide(folder + "/序章.txt"));
    EXPECT_EQ(FsPathOfFile(wide), gbk);
    EXPECT_EQ(BookNameOfPath(wide), u"序章.txt");
    EXPECT_EQ(FsPathFromWide(WidePathFromFs(odd)), odd);
    EXPECT_EQ(FsPathOfFile(WidePathFromFs(odd)), odd);
    // A UTF-8 name is left as it is, existing or not.
    EXPECT_EQ(FsPathOfFile(test_books::Wide(folder + "/无.txt")), folder + "/无.txt");
}

// The module folder is this test program's, without a trailing slash; the data folder follows
// VESKA_DATA_DIR.
TEST(PathsTest, ModuleAndDataDirectories) {
    const std::string module = FsPathFromAnsi(GetModuleDir());
    ASSERT_FALSE(module.empty());
    EXPECT_NE(module.back(), '/');
    EXPECT_EQ(access((module + "/platform_tests").c_str(), X_OK), 0) << module;

    test_books::TempDir dir;
    ASSERT_EQ(setenv("VESKA_DATA_DIR", (dir.Path() + "//").c_str(), 1), 0);
    const std::string chosen = GetDataDir();
    unsetenv("VESKA_DATA_DIR");
    EXPECT_EQ(chosen, AnsiPathFromFs(dir.Path()));
}

} // namespace
