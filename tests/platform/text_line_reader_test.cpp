#include "platform/text_line_reader.h"

#include "tests/text/test_books.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

std::vector<std::string> Pieces(TextLineReader& reader) {
    std::vector<std::string> pieces;
    std::string piece;
    while (reader.Next(piece)) {
        pieces.push_back(piece);
    }
    return pieces;
}

// Line ends and CR LF pairs fall on the edges of the blocks the file is read in.
TEST(TextLineReaderTest, FileReadsLikeItsTextAcrossBlockEdges) {
    constexpr std::size_t kBlock = 64 * 1024;
    const std::string prose = test_books::RepeatedProse(3 * kBlock);
    std::string bytes = prose.substr(0, kBlock - 1) + "\r\n"; // CR LF split by a block edge
    bytes += std::string(kBlock - 2, 'a') + "\rb\n";          // a lone CR as a block's last byte
    bytes += std::string(kBlock - 1, 'c') + "\r";             // and as the file's last byte
    test_books::TempDir dir;
    const std::string path = dir.Write("lines.txt", bytes);

    TextLineReader fromFile(8192);
    ASSERT_TRUE(fromFile.Open(path));
    const std::vector<std::string> pieces = Pieces(fromFile);
    EXPECT_FALSE(fromFile.Failed());
    std::string joined;
    for (const std::string& piece : pieces) {
        EXPECT_LE(piece.size(), 8191u);
        EXPECT_TRUE(piece.find('\n') == std::string::npos || piece.find('\n') == piece.size() - 1);
        joined += piece;
    }
    std::string expected = bytes;
    expected.erase(kBlock - 1, 1); // only the CR of the CR LF goes
    EXPECT_EQ(joined, expected);

    TextLineReader fromMemory(8192);
    fromMemory.SetText(bytes);
    EXPECT_EQ(Pieces(fromMemory), pieces);
    EXPECT_TRUE(fromMemory.AtEnd());
}

} // namespace
