#include "platform/paths.h"

#include "platform/code_page.h"
#include "tests/text/test_books.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <unistd.h>

namespace {

TEST(PathsTest, BookNameIsWhatFollowsTheLastSlash) {
    EXPECT_EQ(BookNameOfPath(u"/home/reader/books/novel.txt"), u"novel.txt");
    EXPECT_EQ(BookNameOfPath(u"novel.txt"), u"novel.txt");
    // A backslash is an ordinary character in a Linux file name.
    EXPECT_EQ(BookNameOfPath(u"C:\\books\\novel.txt"), u"C:\\books\\novel.txt");
}

TEST(PathsTest, ModuleDirIsTheTestExecutablesDirectory) {
    const std::string dir = FsPathFromAnsi(GetModuleDir());
    ASSERT_FALSE(dir.empty());
    EXPECT_NE(dir.back(), '/');
    EXPECT_EQ(access((dir + "/platform_tests").c_str(), X_OK), 0) << dir;
}

TEST(PathsTest, DataDirFollowsVeskaDataDir) {
    test_books::TempDir dir;
    ASSERT_EQ(setenv("VESKA_DATA_DIR", (dir.Path() + "//").c_str(), 1), 0);
    const std::string chosen = GetDataDir();
    unsetenv("VESKA_DATA_DIR");
    EXPECT_EQ(chosen, AnsiPathFromFs(dir.Path()));
}

TEST(PathsTest, ChinesePathsRoundTripBetweenCodePageAndFileSystem) {
    const std::string fs = "/书架/小说 第一卷.txt";
    const std::string ansi = test_books::Encode(fs, "GB18030");
    EXPECT_EQ(AnsiPathFromFs(fs), ansi);
    EXPECT_EQ(FsPathFromAnsi(ansi), fs);
    EXPECT_EQ(FsPathFromWide(test_books::Wide(fs)), fs);
}

} // namespace
