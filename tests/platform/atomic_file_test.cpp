#include "platform/atomic_file.h"

#include "tests/text/test_books.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

class StaleTemporaryTest : public ::testing::Test {
protected:
    void SetUp() override {
#if defined(__SANITIZE_THREAD__)
        // Hundreds of forks under ThreadSanitizer take long and test no threads.
        GTEST_SKIP() << "forking saves are tested in the plain build";
#endif
    }

    std::vector<std::string> Temporaries() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(m_dir.Path())) {
            const std::string name = entry.path().filename().string();
            if (name.rfind(".config.cfg.tmp-", 0) == 0) {
                names.push_back(name);
            }
        }
        return names;
    }

    // A child process that saves `contents` over the target again and again until killed.
    pid_t StartSaving(const std::string& contents) const {
        const pid_t pid = fork();
        if (pid == 0) {
            for (;;) {
                ReplaceFileAtomically(m_target, contents);
            }
        }
        return pid;
    }

    static void Kill(pid_t pid) {
        kill(pid, SIGKILL);
        int status = 0;
        waitpid(pid, &status, 0);
    }

    test_books::TempDir m_dir;
    const std::string m_target = m_dir.File("config.cfg");
};

TEST_F(StaleTemporaryTest, SavesKilledMidwayLeaveNothingOnceCleanedAndTheFileWhole) {
    const std::string a(64 * 1024, 'a');
    const std::string b(48 * 1024, 'b');
    ASSERT_TRUE(ReplaceFileAtomically(m_target, a));
    std::srand(16);
    for (int i = 0; i < 200; ++i) {
        const pid_t pid = StartSaving(i % 2 == 0 ? b : a);
        ASSERT_GT(pid, 0);
        usleep(useconds_t(200 + std::rand() % 1500));
        Kill(pid);
    }
    const std::size_t left = Temporaries().size();
    EXPECT_EQ(RemoveStaleTemporaryFiles(m_dir.Path()), int(left));
    EXPECT_TRUE(Temporaries().empty());
    const std::string contents = m_dir.Read("config.cfg");
    EXPECT_TRUE(contents == a || contents == b) << contents.size();
}

TEST_F(StaleTemporaryTest, ALiveSaveKeepsItsFileUntilItsProcessIsGone) {
    // Large contents keep each save's temporary file in place for a while: the saver is stopped
    // as soon as one appears, and again if the file was renamed before the stop took.
    const std::string big(8 * 1024 * 1024, 'x');
    const pid_t pid = StartSaving(big);
    ASSERT_GT(pid, 0);
    bool caught = false;
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!caught && std::chrono::steady_clock::now() < give_up) {
        if (Temporaries().empty()) {
            continue;
        }
        kill(pid, SIGSTOP);
        waitpid(pid, nullptr, WUNTRACED);
        caught = !Temporaries().empty();
        if (!caught) {
            kill(pid, SIGCONT);
        }
    }
    if (!caught) {
        Kill(pid);
        FAIL() << "never caught a save with its temporary file";
    }
    EXPECT_EQ(RemoveStaleTemporaryFiles(m_dir.Path()), 0);
    EXPECT_EQ(Temporaries().size(), 1u);
    Kill(pid);
    EXPECT_EQ(RemoveStaleTemporaryFiles(m_dir.Path()), 1);
    EXPECT_TRUE(Temporaries().empty());
}

TEST_F(StaleTemporaryTest, OnlyFilesOfItsOwnNamingWithAGoneOwnerAreRemoved) {
    const pid_t gone = fork();
    if (gone == 0) {
        _exit(0);
    }
    waitpid(gone, nullptr, 0);
    const std::string deadOld = ".config.cfg.tmp-" + std::to_string(gone) + "-3-1f";
    const std::string deadNew = ".read_history.dat.tmp-" + std::to_string(gone) + "-99-0-ab";
    // This process lives, but not since tick 1: the name belongs to an earlier process.
    const std::string reused = ".config.cfg.tmp-" + std::to_string(getpid()) + "-1-0-ab";
    const std::string liveOld = ".config.cfg.tmp-" + std::to_string(getpid()) + "-0-ab";
    const std::string kept[] = {"config.cfg",
                                ".config.cfg.tmp-abc",
                                ".notes.tmp-12-x-1",
                                ".tmp-" + std::to_string(gone) + "-1-1",
                                liveOld,
                                ".config.cfg.tmp-" + std::to_string(gone) + "-1-2-3-4"};
    for (const std::string& name : {deadOld, deadNew, reused}) {
        m_dir.Write(name, "x");
    }
    for (const std::string& name : kept) {
        m_dir.Write(name, "x");
    }
    // Not plain files: left alone whatever their names say.
    const std::string dirName = ".x.tmp-" + std::to_string(gone) + "-1-2-3";
    const std::string linkName = ".y.tmp-" + std::to_string(gone) + "-1-2-3";
    ASSERT_EQ(mkdir(m_dir.File(dirName).c_str(), 0700), 0);
    ASSERT_EQ(symlink(m_target.c_str(), m_dir.File(linkName).c_str()), 0);

    EXPECT_EQ(RemoveStaleTemporaryFiles(m_dir.Path()), 3);
    for (const std::string& name : {deadOld, deadNew, reused}) {
        EXPECT_FALSE(fs::exists(m_dir.File(name))) << name;
    }
    for (const std::string& name : kept) {
        EXPECT_TRUE(fs::exists(m_dir.File(name))) << name;
    }
    EXPECT_TRUE(fs::is_directory(m_dir.File(dirName)));
    EXPECT_TRUE(fs::is_symlink(m_dir.File(linkName)));
    EXPECT_EQ(RemoveStaleTemporaryFiles(m_dir.File("missing")), 0);
}

} // namespace
