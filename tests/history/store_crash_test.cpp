// Both stores are killed in the middle of saving, again and again; their files must always be
// whole and hold one of the versions that were saved, and what the killed saves left behind is
// cleared at the next start.
#include "history/reader_history.h"
#include "platform/atomic_file.h"
#include "settings/reader_settings.h"

#include "tests/text/test_books.h"

#include <csignal>
#include <gtest/gtest.h>
#include <random>
#include <sys/prctl.h>
#include <sys/wait.h>

namespace {

constexpr int kBooks = 20;

ReadMarkInfo Mark(int version) {
    const std::string name = "book-" + std::to_string(version % kBooks) + ".txt";
    return {name, "/library/shelf/" + name, version, MARK_LOCAL, 100000};
}

ReaderSettings SettingsVersion(int version) {
    return {.font_height = 5 + version % 300, // loading keeps heights within 5 to 400
            .font_color = version * 3,
            .title_name = "title " + std::to_string(version)};
}

[[noreturn]] void SaveUntilKilled(const std::string& dir) {
    prctl(PR_SET_PDEATHSIG, SIGKILL); // never outlive a test that died
    CReaderHistory history;
    history.Load();
    for (int version = kBooks;; ++version) {
        history.AddReadMark(Mark(version));
        SaveReaderSettings(SettingsVersion(version), dir);
    }
}

} // namespace

TEST(StoreCrash, KilledSavesNeverLeaveATruncatedFile) {
    test_books::TempDir dir;
    test_books::TempDir scratch;
    setenv("VESKA_DATA_DIR", dir.Path().c_str(), 1);
    CReaderHistory seed;
    seed.Load();
    for (int version = 0; version < kBooks; ++version) {
        seed.AddReadMark(Mark(version));
    }
    SaveReaderSettings(SettingsVersion(0), dir.Path());

    std::mt19937 random(12345);
    std::uniform_int_distribution<int> delayMicroseconds(0, 4000);
    for (int round = 0; round < 150; ++round) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            SaveUntilKilled(dir.Path());
        }
        usleep(static_cast<useconds_t>(delayMicroseconds(random)));
        kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);

        // The history holds every book in five whole lines, and nothing else.
        CReaderHistory history;
        history.Load();
        ASSERT_EQ(history.m_listLocal.size(), static_cast<std::size_t>(kBooks)) << round;
        std::string expected;
        for (const ReadMarkInfo& mark : history.m_listLocal) {
            expected += mark.strBookName + "\n" + mark.strFilePath + "\n" +
                        std::to_string(mark.nReadPage) + "\n100000\n1\n";
        }
        ASSERT_EQ(dir.Read("read_history.dat"), expected) << round;

        // The settings file is exactly what one saved version writes.
        ReaderSettings loaded;
        LoadReaderSettings(loaded, dir.Path());
        SaveReaderSettings(SettingsVersion(loaded.font_color / 3), scratch.Path());
        ASSERT_EQ(dir.Read("config.cfg"), scratch.Read("config.cfg")) << round;
    }
    RemoveStaleTemporaryFiles(dir.Path());
    EXPECT_EQ(dir.Entries(), 2);
    unsetenv("VESKA_DATA_DIR");
}
