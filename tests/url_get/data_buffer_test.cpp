#include "url_get/core/data_buffer.h"

#include <gtest/gtest.h>
#include <stdexcept>
#include <string>

namespace {

std::string Bytes(const CDataBuffer& buffer) {
    return std::string(buffer.begin(), buffer.end());
}

// Growing by half keeps a long body's appends from copying it over and over; emptying keeps the
// storage for the next transfer.
TEST(DataBufferTest, GrowsByHalfOrToWhatIsNeededAndKeepsItsStorage) {
    CDataBuffer buffer;
    buffer.Append("abcd", 4);
    EXPECT_EQ(buffer.capacity(), 4u); // half of nothing is nothing: exactly what is needed
    buffer.Append("e", 1);
    EXPECT_EQ(buffer.capacity(), 6u); // 4 + 4 / 2
    buffer.Append("fghijklmno", 10);
    EXPECT_EQ(buffer.capacity(), 15u); // 6 + 3 is too small for 15
    EXPECT_EQ(Bytes(buffer), "abcdefghijklmno");
    buffer.Clear();
    EXPECT_TRUE(buffer.empty());
    buffer.Append("hi\0there", 8);
    EXPECT_EQ(buffer.capacity(), 15u);

    const CDataBuffer copy(buffer);
    EXPECT_EQ(Bytes(copy), std::string("hi\0there", 8));
    EXPECT_EQ(copy.capacity(), 8u);
    CDataBuffer bigger;
    bigger.Append("0123456789abcdefgh", 18);
    bigger = copy; // shrinking assignment reuses the storage
    EXPECT_EQ(Bytes(bigger), std::string("hi\0there", 8));
    EXPECT_EQ(bigger.capacity(), 18u);

    // A size that would overflow is refused before anything changes.
    EXPECT_THROW(bigger.Append("c", CDataBuffer::max_size()), std::length_error);
    EXPECT_EQ(Bytes(bigger), std::string("hi\0there", 8));
}

} // namespace
