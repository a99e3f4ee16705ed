#include "platform/read_only_file.h"

#include "tests/text/test_books.h"

#include <gtest/gtest.h>

namespace {

// Refusing what is not a regular file is checked through CResourceData::OpenTxt.
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

} // namespace
