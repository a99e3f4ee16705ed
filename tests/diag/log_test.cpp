#include "diag/log.h"

#include "tests/text/test_books.h"

#include <gtest/gtest.h>

#include <climits>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace {

TEST(LogAppendTest, TextAndNumberPiecesEndInOneSpace) {
    LogMessage m;
    LogAppend(m, "CResourceData::OpenTxt");
    LogAppend(m, 42);
    LogAppend(m, INT_MIN);
    EXPECT_STREQ(m.c_str(), "CResourceData::OpenTxt 42 -2147483648 ");
}

TEST(LogAppendTest, StringPieceIsItsFirstWordWithNothingAfterIt) {
    for (const auto& [piece, word] :
         {std::pair{"a b", "a"}, {"   a", "a"}, {"\t\n url\r\nrest", "url"}, {"   ", ""}}) {
        LogMessage m;
        LogAppend(m, std::string(piece));
        LogAppend(m, "|");
        EXPECT_EQ(std::string(m.c_str()), std::string(word) + "| ") << piece;
    }
}

TEST(LogAppendTest, MessageIsCutAt1023Characters) {
    LogMessage m;
    LogAppend(m, std::string(1000, 'a').c_str());
    LogAppend(m, std::string(500, 'b').c_str());
    LogAppend(m, 12345);
    EXPECT_EQ(m.size(), 1023u);
    EXPECT_EQ(std::string(m.c_str()), std::string(1000, 'a') + " " + std::string(22, 'b'));
}

// The sinks, with a pipe standing in for the console.
class LogSinkTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(pipe2(console, O_NONBLOCK | O_CLOEXEC), 0); }
    void TearDown() override {
        CLog::Instance().CloseFile();
        CLog::Instance().ReleaseConsole();
        close(console[0]);
        if (console[1] >= 0) {
            close(console[1]);
        }
    }
    // What the console pipe holds; `eof` tells whether no one can write to it any more.
    std::string Console(bool* eof = nullptr) {
        std::string bytes;
        char buffer[4096];
        ssize_t n;
        while ((n = read(console[0], buffer, sizeof(buffer))) > 0) {
            bytes.append(buffer, static_cast<std::size_t>(n));
        }
        if (eof != nullptr) {
            *eof = n == 0;
        }
        return bytes;
    }
    static std::string File(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    static void WriteEveryLevel() {
        CLog::Instance().Write(LOG_INFO, "abc");
        CLog::Instance().Write(LOG_ERROR, "def");
        CLog::Instance().Write(2, "ghi");
    }

    static constexpr const char* kEveryLevel = "Info: abc\nError: def\nghi\n";
    int console[2] = {-1, -1};
    test_books::TempDir dir;
};

TEST_F(LogSinkTest, EachSinkGetsPrefixMessageAndLineFeed) {
    const std::string path = dir.Write("veska.log", "earlier line\n");
    WriteEveryLevel(); // both closed: nothing, anywhere
    CLog::Instance().OpenConsole(console[1]);
    ASSERT_TRUE(CLog::Instance().OpenFile(path));
    WriteEveryLevel();
    CLog::Instance().CloseFile();
    CLog::Instance().Write(LOG_INFO, "console only");
    EXPECT_EQ(File(path), std::string("earlier line\n") + kEveryLevel); // appended
    // A console that is no terminal gets no colours.
    EXPECT_EQ(Console(), std::string(kEveryLevel) + "Info: console only\n");
    EXPECT_FALSE(CLog::Instance().OpenFile(dir.Path() + "/no/such/dir/veska.log"));
}

TEST_F(LogSinkTest, ReleaseConsoleLetsGoOfTheConsole) {
    CLog::Instance().ReleaseConsole(); // nothing open: nothing happens
    CLog::Instance().OpenConsole(console[1]);
    CLog::Instance().Write(LOG_INFO, "before");
    CLog::Instance().ReleaseConsole();
    CLog::Instance().Write(LOG_INFO, "after");
    close(console[1]);
    console[1] = -1;
    bool eof = false;
    EXPECT_EQ(Console(&eof), "Info: before\n");
    EXPECT_TRUE(eof) << "the log still holds a copy of the console";
}

} // namespace
