#include "diag/log.h"

#include "tests/text/test_books.h"

#include <gtest/gtest.h>

#include <climits>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace {

// ---- composing messages ---------------------------------------------------------------------

TEST(LogAppendTest, PiecesAreJoinedByTheirRules) {
    LogMessage m;
    LogAppend(m, "CResourceData::OpenTxt");
    EXPECT_STREQ(m.c_str(), "CResourceData::OpenTxt ");

    LogMessage numbers;
    LogAppend(numbers, "got");
    LogAppend(numbers, 42);
    LogAppend(numbers, -7);
    LogAppend(numbers, INT_MIN);
    EXPECT_STREQ(numbers.c_str(), "got 42 -7 -2147483648 ");
}

TEST(LogAppendTest, StringPieceIsItsFirstWordWithNothingAfterIt) {
    const std::pair<std::string, std::string> cases[] = {
        {"a b", "a"}, {"   a", "a"}, {"\t\n url\r\nrest", "url"},
        {"", ""},     {"   ", ""},   {"word", "word"},
    };
    for (const auto& [piece, expected] : cases) {
        LogMessage m;
        LogAppend(m, std::string(piece));
        LogAppend(m, "|");
        EXPECT_EQ(std::string(m.c_str()), expected + "| ") << piece;
    }
}

TEST(LogAppendTest, MessageIsCutAt1023Characters) {
    LogMessage m;
    LogAppend(m, std::string(1000, 'a').c_str());
    LogAppend(m, std::string(500, 'b').c_str());
    LogAppend(m, 12345);
    LogAppend(m, std::string(40, 'c'));
    EXPECT_EQ(m.size(), 1023u);
    EXPECT_EQ(std::string(m.c_str()), std::string(1000, 'a') + " " + std::string(22, 'b'));
}

// ---- sinks ------------------------------------------------------------------------------------

class LogSinkTest : public ::testing::Test {
protected:
    void TearDown() override {
        CLog::Instance().CloseFile();
        CLog::Instance().ReleaseConsole();
        for (int fd : pipeFds) {
            if (fd >= 0) {
                close(fd);
            }
        }
    }

    // A pipe standing in for the console; returns its write end.
    int MakeConsolePipe() {
        EXPECT_EQ(pipe2(pipeFds, O_NONBLOCK | O_CLOEXEC), 0);
        return pipeFds[1];
    }
    // What the pipe holds now; `eof` tells whether every write end is closed.
    std::string DrainPipe(bool* eof = nullptr) {
        std::string bytes;
        char buffer[4096];
        ssize_t n;
        while ((n = read(pipeFds[0], buffer, sizeof(buffer))) > 0) {
            bytes.append(buffer, static_cast<std::size_t>(n));
        }
        if (eof != nullptr) {
            *eof = n == 0;
        }
        return bytes;
    }
    void CloseOurWriteEnd() {
        close(pipeFds[1]);
        pipeFds[1] = -1;
    }
    static std::string ReadFile(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream bytes;
        bytes << in.rdbuf();
        return bytes.str();
    }
    static void WriteEveryLevel() {
        CLog::Instance().Write(LOG_INFO, "abc");
        CLog::Instance().Write(LOG_ERROR, "def");
        CLog::Instance().Write(2, "ghi");
        LogMessage m;
        LogAppend(m, "CResourceData::OpenTxt");
        CLog::Instance().Write(LOG_INFO, m);
    }

    static constexpr const char* kEveryLevel =
        "Info: abc\nError: def\nghi\nInfo: CResourceData::OpenTxt \n";
    int pipeFds[2] = {-1, -1};
    test_books::TempDir dir;
};

TEST_F(LogSinkTest, FileSinkGetsPrefixMessageAndLineFeed) {
    const std::string path = dir.Write("veska.log", "earlier line\n");
    ASSERT_TRUE(CLog::Instance().OpenFile(path));
    WriteEveryLevel();
    CLog::Instance().CloseFile();
    CLog::Instance().Write(LOG_INFO, "after closing");
    EXPECT_EQ(ReadFile(path), std::string("earlier line\n") + kEveryLevel); // appended
}

TEST_F(LogSinkTest, ConsoleThatIsNoTerminalGetsPlainLines) {
    CLog::Instance().OpenConsole(MakeConsolePipe());
    WriteEveryLevel();
    EXPECT_EQ(DrainPipe(), kEveryLevel);
}

TEST_F(LogSinkTest, EveryLineReachesBothSinks) {
    const std::string path = dir.Path() + "/both.log";
    CLog::Instance().OpenConsole(MakeConsolePipe());
    ASSERT_TRUE(CLog::Instance().OpenFile(path));
    WriteEveryLevel();
    EXPECT_EQ(DrainPipe(), kEveryLevel);
    EXPECT_EQ(ReadFile(path), kEveryLevel);
}

TEST_F(LogSinkTest, ReleaseConsoleLetsGoOfTheConsole) {
    CLog::Instance().ReleaseConsole(); // nothing open: nothing happens
    CLog::Instance().OpenConsole(MakeConsolePipe());
    CLog::Instance().Write(LOG_INFO, "before");
    CLog::Instance().ReleaseConsole();
    CLog::Instance().Write(LOG_INFO, "after");
    CloseOurWriteEnd();
    bool eof = false;
    EXPECT_EQ(DrainPipe(&eof), "Info: before\n");
    EXPECT_TRUE(eof) << "the log still holds a copy of the console";
}

TEST_F(LogSinkTest, OpeningAFileThatCannotBeCreatedFails) {
    EXPECT_FALSE(CLog::Instance().OpenFile(dir.Path() + "/no/such/dir/veska.log"));
}

} // namespace
