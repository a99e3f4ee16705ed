// Both stores are killed in the middle of saving, again and again; their files must always be
// whole and hold one of the versions that were saved.
#include "history/reader_history.h"
#include "settings/reader_settings.h"

#include "tests/settings/scratch_dir.h"

#include <csignal>
#include <cstdlib>
#include <gtest/gtest.h>
#include <random>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int kKills = 150;
constexpr int kBooks = 20;

std::string BookName(int i) {
    return "book-" + std::to_string(i) + ".txt";
}

ReadMarkInfo Mark(int book, int page) {
    ReadMarkInfo mark;
    mark.strBookName = BookName(book);
    mark.strFilePath = "/library/shelf/" + BookName(book);
    mark.nReadPage = page;
    mark.nMarkType = MARK_LOCAL;
    mark.nTotalPages = 100000;
    return mark;
}

ReaderSettings SettingsVersion(int version) {
    ReaderSettings settings;
    settings.font_height = version;
    settings.font_color = version * 3;
    settings.title_name = "title " + std::to_string(version);
    return settings;
}

// Saves new versions of both files until it is killed.
[[noreturn]] void SaveForever(const std::string& dir) {
    prctl(PR_SET_PDEATHSIG, SIGKILL); // never outlive a test that died
    CReaderHistory history;
    history.Load();
    for (int version = 1;; ++version) {
        history.AddReadMark(Mark(version % kBooks, version));
        SaveReaderSettings(SettingsVersion(version), dir);
    }
}

// The history file must hold all the books, five whole lines each, and nothing more.
void ExpectWholeHistory(const ScratchDir& dir, int round) {
    CReaderHistory history;
    history.Load();
    ASSERT_EQ(history.m_listLocal.size(), static_cast<std::size_t>(kBooks)) << "round " << round;
    std::string expected;
    for (const ReadMarkInfo& mark : history.m_listLocal) {
        expected += mark.strBookName + "\n" + mark.strFilePath + "\n" +
                    std::to_string(mark.nReadPage) + "\n100000\n1\n";
    }
    ASSERT_EQ(dir.Read("read_history.dat"), expected) << "round " << round;
}

// The settings file must be exactly what one saved version writes.
void ExpectWholeSettings(const ScratchDir& dir, const ScratchDir& scratch, int round) {
    ReaderSettings loaded;
    LoadReaderSettings(loaded, dir.Path());
    SaveReaderSettings(SettingsVersion(loaded.font_height), scratch.Path());
    ASSERT_EQ(dir.Read("config.cfg"), scratch.Read("config.cfg")) << "round " << round;
}

} // namespace

TEST(StoreCrashTest, KilledSavesNeverLeaveATruncatedFile) {
    ScratchDir dir;
    ScratchDir scratch;
    setenv("VESKA_DATA_DIR", dir.Path().c_str(), 1);
    {
        CReaderHistory seed;
        seed.Load();
        for (int book = 0; book < kBooks; ++book) {
            seed.AddReadMark(Mark(book, 0));
        }
        SaveReaderSettings(SettingsVersion(0), dir.Path());
    }

    std::mt19937 random(12345);
    std::uniform_int_distribution<int> delayMicroseconds(0, 4000);
    for (int round = 0; round < kKills; ++round) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            SaveForever(dir.Path());
        }
        usleep(static_cast<useconds_t>(delayMicroseconds(random)));
        kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);

        ExpectWholeHistory(dir, round);
        ExpectWholeSettings(dir, scratch, round);
    }
    unsetenv("VESKA_DATA_DIR");
}
