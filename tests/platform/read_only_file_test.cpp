#include "platform/read_only_file.h"

#include "tests/text/test_books.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <sys/stat.h>

namespace {

TEST(ReadOnlyFileTest, ReadsAtOffsetsUpToTheEnd) {
    test_books::TempDir dir;
    ReadOnlyFile file;
    ASSERT_TRUE(file.Open(dir.Write("ten.txt", "0123456789")));
    EXPECT_TRUE(file.IsOpen());
    EXPECT_EQ(file.Size(), 10u);
    char buffer[16] = {};
    EXPECT_EQ(file.ReadAt(7, buffer, sizeof(buffer)), 3u);
    EXPECT_EQ(std::string(buffer, 3), "789");
    EXPECT_EQ(file.ReadAt(10, buffer, sizeof(buffer)), 0u);
    EXPECT_EQ(file.ReadAt(1ULL << 40, buffer, sizeof(buffer)), 0u);

    ReadOnlyFile moved = std::move(file);
    EXPECT_FALSE(file.IsOpen());
    EXPECT_EQ(file.ReadAt(0, buffer, 1), 0u);
    EXPECT_EQ(moved.ReadAt(0, buffer, 2), 2u);
    EXPECT_EQ(moved.Size(), 10u);
}

TEST(ReadOnlyFileTest, OnlyRegularFilesOpen) {
    test_books::TempDir dir;
    const std::string fifo = dir.Path() + "/fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::pair<std::string, int> refused[] = {
        {dir.Path() + "/missing", ENOENT},
        {dir.Path(), EISDIR},
        {fifo, EINVAL}, // must fail at once: nobody writes to it
        {"/dev/null", EINVAL},
    };
    for (const auto& [path, error] : refused) {
        ReadOnlyFile file;
        ASSERT_TRUE(file.Open(dir.Write("good", "x")));
        errno = 0;
        EXPECT_FALSE(file.Open(path)) << path;
        EXPECT_EQ(errno, error) << path;
        EXPECT_FALSE(file.IsOpen());
        EXPECT_EQ(file.Size(), 0u);
    }
}

} // namespace
