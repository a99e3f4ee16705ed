#include "platform/text_line_reader.h"

#include "tests/text/test_books.h"

#include <cerrno>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
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

// Whole lines whatever the buffer: one across a block edge, with CR LF, and ones at and over
// the limit, which is dropped whole and reading goes on after it.
TEST(TextLineReaderTest, NextLineGivesLinesWholeAndDropsTooLongOnesWhole) {
    constexpr std::size_t kMax = 80000;
    const std::string atLimit = std::string(kMax - 1, 'y') + "\n";
    const std::string bytes = "a\n" + std::string(70000, 'x') + "\r\n" + atLimit +
                              std::string(kMax, 'z') + "\nafter\nlast";
    const std::vector<std::string> expected = {"a\n", std::string(70000, 'x') + "\n", atLimit,
                                               "after\n", "last"};
    test_books::TempDir dir;
    TextLineReader fromFile(8192);
    ASSERT_TRUE(fromFile.Open(dir.Write("lines.txt", bytes)));
    TextLineReader fromMemory(8192);
    fromMemory.SetText(bytes);
    for (TextLineReader* reader : {&fromFile, &fromMemory}) {
        std::vector<std::string> lines;
        std::string line;
        while (reader->NextLine(line, kMax)) {
            lines.push_back(line);
        }
        EXPECT_EQ(lines, expected);
    }
    // A last line over the limit goes too, even without its LF.
    const std::string cutShort = "ok\n" + std::string(11, 'q');
    std::string line = "stale";
    fromMemory.SetText(cutShort);
    EXPECT_TRUE(fromMemory.NextLine(line, 10));
    EXPECT_FALSE(fromMemory.NextLine(line, 10));
    EXPECT_EQ(line, "");
}

TEST(TextLineReaderTest, RefusesWhatCannotBeOneOfOurFilesWithoutReadingIt) {
    test_books::TempDir dir;
    const std::string huge = dir.Write("huge.dat", "");
    ASSERT_EQ(truncate(huge.c_str(), 100LL << 30), 0); // sparse: nothing is written
    const std::string fifo = dir.Path() + "/fifo.dat";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string limit = dir.Write("limit.dat", "12345\n");

    const struct {
        std::string path;
        std::uint64_t maxBytes;
        int error;
    } cases[] = {
        {huge, TextLineReader::kMaxDataFileBytes, EFBIG},
        {limit, 5, EFBIG},
        {fifo, TextLineReader::kMaxDataFileBytes, EINVAL}, // never opened, so never blocks
        {dir.Path(), TextLineReader::kMaxDataFileBytes, EISDIR},
        {dir.Path() + "/missing.dat", TextLineReader::kMaxDataFileBytes, ENOENT},
    };
    for (const auto& c : cases) {
        TextLineReader reader;
        errno = 0;
        EXPECT_FALSE(reader.Open(c.path, c.maxBytes)) << c.path;
        EXPECT_EQ(errno, c.error) << c.path;
        std::string piece = "stale";
        EXPECT_FALSE(reader.Next(piece));
        EXPECT_EQ(piece, "");
    }
    TextLineReader exact;
    ASSERT_TRUE(exact.Open(limit, 6));
    EXPECT_EQ(Pieces(exact), std::vector<std::string>{"12345\n"});
}

} // namespace
