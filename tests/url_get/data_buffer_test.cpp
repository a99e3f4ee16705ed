#include "url_get/core/data_buffer.h"

#include <gtest/gtest.h>
#include <stdexcept>
#include <string>

namespace {

std::string Bytes(const CDataBuffer& buffer) {
    return std::string(buffer.begin(), buffer.end());
}

} // namespace

TEST(DataBufferTest, GrowsByHalfOrToWhatIsNeeded) {
    CDataBuffer buffer;
    buffer.Append("abcd", 4);
    EXPECT_EQ(buffer.capacity(), 4u); // half of nothing is nothing: exactly what is needed
    buffer.Append("e", 1);
    EXPECT_EQ(buffer.capacity(), 6u); // 4 + 4 / 2
    buffer.Append("fghijklmno", 10);
    EXPECT_EQ(buffer.capacity(), 15u); // 6 + 3 is too small for 15
    EXPECT_EQ(Bytes(buffer), "abcdefghijklmno");
}

TEST(DataBufferTest, ClearKeepsCapacityAndCopiesHoldExactlyTheBytes) {
    CDataBuffer source;
    source.Append("hello world", 11);
    source.Clear();
    EXPECT_TRUE(source.empty());
    EXPECT_EQ(source.capacity(), 11u);
    source.Append("hi\0there", 8);

    CDataBuffer copy(source);
    EXPECT_EQ(Bytes(copy), std::string("hi\0there", 8));
    EXPECT_EQ(copy.capacity(), 8u);

    CDataBuffer bigger;
    bigger.Append("0123456789abcdef", 16);
    bigger = source; // shrinking assignment reuses the storage
    EXPECT_EQ(Bytes(bigger), std::string("hi\0there", 8));
    EXPECT_EQ(bigger.capacity(), 16u);
}

TEST(DataBufferTest, AppendBeyondTheLargestSizeThrowsAndKeepsTheBytes) {
    CDataBuffer buffer;
    buffer.Append("ab", 2);
    try {
        buffer.Append("c", CDataBuffer::max_size());
        FAIL() << "no length error";
    } catch (const std::length_error& error) {
        EXPECT_STREQ(error.what(), "vector<T> too long");
    }
    EXPECT_EQ(Bytes(buffer), "ab");
}
