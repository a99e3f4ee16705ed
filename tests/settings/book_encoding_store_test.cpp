#include "settings/book_encoding_store.h"

#include "platform/paths.h"
#include "tests/text/test_books.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {

TEST(BookEncodingStore, ChoicesAreKeptPerBookWhateverThePathHolds) {
    test_books::TempDir dir;
    const CBookEncodingStore store(dir.Path());
    // Paths that a plain key=value line would mangle: '=', '%', '#', line breaks, spaces, and
    // Chinese; and two paths that differ only where one has a byte the other has escaped.
    const std::u16string paths[] = {
        u"/books/a=b.txt",        u"/books/a%3Db.txt",          u"#lead.txt",
        u"/books/two\nlines.txt", u"/books/小说 集/第一卷.txt", u"/books/plain.txt",
    };
    const char* const choices[] = {"BIG5", "GB18030", "EUC-KR", "UTF-16LE", "SHIFT_JIS", "UTF-8"};
    for (std::size_t i = 0; i < std::size(paths); ++i) {
        ASSERT_TRUE(store.Set(paths[i], choices[i]));
    }
    for (std::size_t i = 0; i < std::size(paths); ++i) {
        EXPECT_EQ(store.Get(paths[i]), choices[i]) << i;
    }
    EXPECT_EQ(store.Get(u"/books/a"), "");

    // Forgetting one leaves the others; every line of the file is one key=value pair.
    ASSERT_TRUE(store.Set(paths[0], ""));
    EXPECT_EQ(store.Get(paths[0]), "");
    EXPECT_EQ(store.Get(paths[1]), "GB18030");
    const std::string file = dir.Read(CBookEncodingStore::kFileName);
    EXPECT_EQ(std::count(file.begin(), file.end(), '\n'), 5);
    EXPECT_EQ(std::count(file.begin(), file.end(), '='), 5);
}

TEST(BookEncodingStore, DamagedLinesAreIgnored) {
    test_books::TempDir dir;
    const CBookEncodingStore store(dir.Path());
    const std::string key = CBookEncodingStore::KeyOf(u"/books/kept.txt");
    dir.Write(CBookEncodingStore::kFileName,
              "no equals sign\n=BIG5\n\xFF\xFE garbage\n" + key + "=EUC-KR\r\n");
    EXPECT_EQ(store.Get(u"/books/kept.txt"), "EUC-KR");
    ASSERT_TRUE(store.Set(u"/books/new.txt", "BIG5"));
    EXPECT_EQ(store.Get(u"/books/kept.txt"), "EUC-KR");
    EXPECT_EQ(store.Get(u"/books/new.txt"), "BIG5");
}

// A long path in Chinese makes a key line far longer than 8 KB, each byte written as %XX.
TEST(BookEncodingStore, ALongPathKeepsItsChoiceThroughOtherBooksSaves) {
    test_books::TempDir dir;
    const CBookEncodingStore store(dir.Path());
    const std::u16string deep = u"/books/" + std::u16string(970, u'长') + u".txt";
    ASSERT_GT(CBookEncodingStore::KeyOf(deep).size(), 8192u);
    ASSERT_TRUE(store.Set(deep, "BIG5"));
    EXPECT_EQ(store.Get(deep), "BIG5");
    ASSERT_TRUE(store.Set(u"/books/short.txt", "GB18030"));
    EXPECT_EQ(store.Get(deep), "BIG5");
    const std::string file = dir.Read(CBookEncodingStore::kFileName);
    EXPECT_EQ(std::count(file.begin(), file.end(), '\n'), 2);
}

// A file that is there but was not read holds other books' choices: it is never replaced.
TEST(BookEncodingStore, AFileThatCannotBeReadIsNotWrittenOver) {
    test_books::TempDir dir;
    const CBookEncodingStore store(dir.Path());
    const std::string path = dir.File(CBookEncodingStore::kFileName);
    const std::string kept = CBookEncodingStore::KeyOf(u"/books/a.txt") + "=BIG5\n";

    if (geteuid() != 0) { // root reads it anyway
        dir.Write(CBookEncodingStore::kFileName, kept);
        ASSERT_EQ(chmod(path.c_str(), 0200), 0);
        EXPECT_EQ(store.Get(u"/books/a.txt"), "");
        EXPECT_FALSE(store.Set(u"/books/b.txt", "UTF-8"));
        ASSERT_EQ(chmod(path.c_str(), 0600), 0);
        EXPECT_EQ(dir.Read(CBookEncodingStore::kFileName), kept);
    }

    std::filesystem::remove(path);
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    EXPECT_FALSE(store.Set(u"/books/b.txt", "UTF-8"));
    EXPECT_TRUE(std::filesystem::is_fifo(path));
}

} // namespace
