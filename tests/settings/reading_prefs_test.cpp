#include "settings/reading_prefs.h"

#include "settings/config_file.h"
#include "settings/settings_store.h"
#include "tests/text/test_books.h"

#include <cerrno>
#include <filesystem>
#include <gtest/gtest.h>

TEST(ReadingPrefs, UnknownKeysComeBackWholeHoweverLong) {
    test_books::TempDir dir;
    const std::string future = "future_key=" + std::string(9000, 'v') + "\n";
    const std::string tooLong = "huge=" + std::string(CConfigFile::kMaxWholeLineBytes, 'h') + "\n";
    dir.Write("reading.cfg", future + tooLong + "margin_left=9\n");
    ReadingPrefs prefs = LoadReadingPrefs(dir.Path());
    EXPECT_EQ(prefs.margin_left, 9);
    prefs.margin_left = 10;
    ASSERT_TRUE(SaveReadingPrefs(prefs, dir.Path()));
    const std::string saved = dir.Read("reading.cfg");
    EXPECT_NE(saved.find(future), std::string::npos);
    EXPECT_EQ(saved.find("huge="), std::string::npos); // dropped whole, never cut
    EXPECT_EQ(LoadReadingPrefs(dir.Path()), prefs);
}

// Saving over a file that was not read would lose its values and the keys it keeps for later
// versions: it is left alone for the rest of the run, even once it reads again.
TEST(ReadingPrefs, ARefusedFileIsNeverSavedOver) {
    test_books::TempDir dir;
    const std::string path = dir.File("reading.cfg");
    dir.Write("reading.cfg", "margin_left=9\n");
    std::filesystem::resize_file(path, 300ull << 20); // over the size limit, sparse
    int refused = 0;
    EXPECT_EQ(LoadReadingPrefs(dir.Path(), &refused), ReadingPrefs{});
    EXPECT_EQ(refused, EFBIG);
    EXPECT_FALSE(SaveReadingPrefs(ReadingPrefs{}, dir.Path()));
    EXPECT_EQ(std::filesystem::file_size(path), 300ull << 20);

    CSettingsStore store(dir.Path());
    EXPECT_EQ(store.PrefsRefusedErrno(), EFBIG);
    EXPECT_EQ(store.RefusedErrno(), 0); // "config.cfg" is missing, not refused
    std::filesystem::resize_file(path, 14);
    ReadingPrefs prefs;
    prefs.night = 1;
    store.SetPrefs(prefs);
    EXPECT_EQ(dir.Read("reading.cfg"), "margin_left=9\n");
}
