#include "diag/log.h"

#include "tests/text/test_books.h"

#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// Each piece ends in one space; a string piece is only its first word (a URL with a line break
// or blanks cannot forge a second log line); a long message is cut, never overrun.
TEST(LogAppendTest, PiecesEndInOneSpaceStringsGiveTheirFirstWordAndTheMessageIsCut) {
    LogMessage m;
    LogAppend(m, "CResourceData::OpenTxt");
    LogAppend(m, 42);
    LogAppend(m, INT_MIN);
    EXPECT_STREQ(m.c_str(), "CResourceData::OpenTxt 42 -2147483648 ");

    for (const auto& [piece, word] :
         {std::pair{"a b", "a"}, {"   a", "a"}, {"\t\n url\r\nrest", "url"}, {"   ", ""}}) {
        LogMessage words;
        LogAppend(words, std::string(piece));
        LogAppend(words, "|");
        EXPECT_EQ(std::string(words.c_str()), std::string(word) + "| ") << piece;
    }

    LogMessage longOne;
    LogAppend(longOne, std::string(1000, 'a').c_str());
    LogAppend(longOne, std::string(500, 'b').c_str());
    LogAppend(longOne, 12345);
    EXPECT_EQ(std::string(longOne.c_str()), std::string(1000, 'a') + " " + std::string(22, 'b'));
}

// The sinks, with a pipe standing in for the console.
class LogSinkTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(pipe2(console, O_NONBLOCK | O_CLOEXEC), 0); }
    void TearDown() override {
        CLog::Instance().CloseFile();
        CLog::Instance().ReleaseConsole();
        close(console[0]);
        if (console[1] >= 0)
            close(console[1]);
    }
    // What the console pipe holds; `eof` tells whether no one can write to it any more.
    std::string Console(bool* eof = nullptr) {
        std::string bytes;
        char buffer[4096];
        ssize_t n;
        while ((n = read(console[0], buffer, sizeof(buffer))) > 0)
            bytes.append(buffer, static_cast<std::size_t>(n));
        if (eof != nullptr)
            *eof = n == 0;
        return bytes;
    }
    static void WriteEveryLevel() {
        CLog::Instance().Write(LOG_INFO, "abc");
        CLog::Instance().Write(LOG_ERROR, "def");
        CLog::Instance().Write(2, "ghi");
    }

    int console[2] = {-1, -1};
    test_books::TempDir dir;
};

// Lines are appended to the file; a console that is no terminal gets no colours; once released,
// the log holds no copy of the console.
TEST_F(LogSinkTest, EachSinkGetsPrefixMessageAndLineFeedUntilClosed) {
    const std::string kEveryLevel = "Info: abc\nError: def\nghi\n";
    dir.Write("veska.log", "earlier line\n");
    WriteEveryLevel(); // both closed: nothing, anywhere
    CLog::Instance().ReleaseConsole();
    CLog::Instance().OpenConsole(console[1]);
    ASSERT_TRUE(CLog::Instance().OpenFile(dir.File("veska.log")));
    WriteEveryLevel();
    CLog::Instance().CloseFile();
    CLog::Instance().Write(LOG_INFO, "console only");
    CLog::Instance().ReleaseConsole();
    CLog::Instance().Write(LOG_INFO, "nowhere");
    EXPECT_EQ(dir.Read("veska.log"), "earlier line\n" + kEveryLevel);
    close(console[1]);
    console[1] = -1;
    bool eof = false;
    EXPECT_EQ(Console(&eof), kEveryLevel + "Info: console only\n");
    EXPECT_TRUE(eof) << "the log still holds a copy of the console";
    EXPECT_FALSE(CLog::Instance().OpenFile(dir.File("no/such/dir/veska.log")));
}

// Writers on worker threads while the window thread closes and reopens the sinks: once a close
// returns, no line goes to the closed descriptor, even when a file that opens next gets its
// number (ThreadSanitizer also watches the descriptors here).
TEST_F(LogSinkTest, SinksSwappedUnderConcurrentWritersTakeNoStrayLine) {
    const std::string logPath = dir.File("veska.log"), otherPath = dir.File("config.cfg.tmp");
    std::atomic<bool> stop{false};
    std::vector<std::thread> writers;
    for (int i = 0; i < 3; ++i) {
        writers.emplace_back([&stop] {
            while (!stop.load()) {
                CLog::Instance().Write(LOG_INFO, "line");
                std::this_thread::yield();
            }
        });
    }
    int strays = 0;
    for (int round = 0; round < 200; ++round) {
        ASSERT_TRUE(CLog::Instance().OpenFile(logPath));
        CLog::Instance().OpenConsole(console[1]);
        usleep(20);
        CLog::Instance().CloseFile();
        CLog::Instance().ReleaseConsole();
        // Most often takes the number the log file had.
        const int other = open(otherPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        ASSERT_GE(other, 0);
        usleep(20);
        struct stat info {};
        fstat(other, &info);
        strays += info.st_size != 0;
        close(other);
        Console(); // keep the pipe from filling up
    }
    stop = true;
    for (std::thread& writer : writers)
        writer.join();
    EXPECT_EQ(strays, 0);
    // Every line in the log is whole.
    const std::string log = dir.Read("veska.log");
    std::string whole;
    for (std::size_t i = 0; i < log.size() / 11; ++i)
        whole += "Info: line\n";
    EXPECT_EQ(log, whole);
}

} // namespace
