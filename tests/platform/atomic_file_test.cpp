#include "platform/atomic_file.h"

#include "tests/text/test_books.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class StaleTemporaryTest : public ::testing::Test {
protected:
    void SetUp() override {
#if defined(__SANITIZE_THREAD__)
        GTEST_SKIP() << "a saver forked under ThreadSanitizer takes long and tests no threads";
#endif
    }
    int Temporaries() const {
        int count = 0;
        for (const auto& entry : fs::directory_iterator(m_dir.Path()))
            count += entry.path().filename().string().rfind(".config.cfg.tmp-", 0) == 0;
        return count;
    }
    // A child process that saves `contents` over the target again and again until killed.
    pid_t StartSaving(const std::string& contents) const {
        const pid_t pid = fork();
        while (pid == 0)
            ReplaceFileAtomically(m_target, contents);
        return pid;
    }
    static void Kill(pid_t pid) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }

    test_books::TempDir m_dir;
    const std::string m_target = m_dir.File("config.cfg");
};

// Large contents keep each save's temporary file in place for a while: the saver is stopped as
// soon as one appears, and again if the file was renamed before the stop took.
TEST_F(StaleTemporaryTest, ALiveSaveKeepsItsFileUntilItsProcessIsGone) {
    const pid_t pid = StartSaving(std::string(8 * 1024 * 1024, 'x'));
    ASSERT_GT(pid, 0);
    bool caught = false;
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!caught && std::chrono::steady_clock::now() < giveUp) {
        if (Temporaries() == 0)
            continue;
        kill(pid, SIGSTOP);
        waitpid(pid, nullptr, WUNTRACED);
        caught = Temporaries() != 0;
        if (!caught)
            kill(pid, SIGCONT);
    }
    if (!caught) {
        Kill(pid);
        FAIL() << "never caught a save with its temporary file";
    }
    EXPECT_EQ(RemoveStaleTemporaryFiles(m_dir.Path()), 0);
    EXPECT_EQ(Temporaries(), 1);
    Kill(pid);
    EXPECT_EQ(RemoveStaleTemporaryFiles(m_dir.Path()), 1);
    EXPECT_EQ(Temporaries(), 0);
}

TEST_F(StaleTemporaryTest, OnlyFilesOfItsOwnNamingWithAGoneOwnerAreRemoved) {
    const pid_t gone = fork();
    if (gone == 0)
        _exit(0);
    waitpid(gone, nullptr, 0);
    const std::string dead = std::to_string(gone), live = std::to_string(getpid());
    const struct {
        std::string name;
        bool removed;
    } files[] = {
        {".config.cfg.tmp-" + dead + "-3-1f", true},
        {".read_history.dat.tmp-" + dead + "-99-0-ab", true},
        // This process lives, but not since tick 1: the name belongs to an earlier process.
        {".config.cfg.tmp-" + live + "-1-0-ab", true},
        {".config.cfg.tmp-" + live + "-0-ab", false},
        {"config.cfg", false},
        {".config.cfg.tmp-abc", false},
        {".notes.tmp-12-x-1", false},
        {".tmp-" + dead + "-1-1", false},
        {".config.cfg.tmp-" + dead + "-1-2-3-4", false},
    };
    for (const auto& file : files)
        m_dir.Write(file.name, "x");
    // Not plain files: left alone whatever their names say.
    const std::string dirName = m_dir.File(".x.tmp-" + dead + "-1-2-3");
    const std::string linkName = m_dir.File(".y.tmp-" + dead + "-1-2-3");
    ASSERT_EQ(mkdir(dirName.c_str(), 0700), 0);
    ASSERT_EQ(symlink(m_target.c_str(), linkName.c_str()), 0);

    EXPECT_EQ(RemoveStaleTemporaryFiles(m_dir.Path()), 3);
    for (const auto& file : files)
        EXPECT_EQ(fs::exists(m_dir.File(file.name)), !file.removed) << file.name;
    EXPECT_TRUE(fs::is_directory(dirName));
    EXPECT_TRUE(fs::is_symlink(linkName));
    EXPECT_EQ(RemoveStaleTemporaryFiles(m_dir.File("missing")), 0);
}

} // namespace
