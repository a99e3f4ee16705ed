// The reader's settings files: config.cfg, reading.cfg and book_encoding.cfg.

#include "settings/book_choice_store.h"
#include "settings/config_file.h"
#include "settings/reader_settings.h"
#include "settings/reading_prefs.h"
#include "settings/settings_store.h"
#include "tests/text/test_books.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const std::string kDefaultFile = "auto_click=1\nauto_read=0\nauto_record=1\nback_color=16579563\n"
                                 "font_color=0\nfont_height=20\nfont_row_dis=5\ntitle_name=Veska\n";

ReaderSettings LoadFrom(const test_books::TempDir& dir) {
    ReaderSettings settings;
    LoadReaderSettings(settings, dir.Path());
    return settings;
}

auto Fields(const ReaderSettings& s) {
    return std::tie(s.font_height, s.font_color, s.back_color, s.font_row_dis, s.auto_record,
                    s.auto_read, s.title_name, s.auto_click);
}

} // namespace

TEST(ReaderSettings, DefaultsWithoutFileAndTheEightLinesTheyWrite) {
    test_books::TempDir dir;
    const ReaderSettings settings = LoadFrom(dir);
    EXPECT_EQ(Fields(settings), Fields(ReaderSettings{}));
    EXPECT_EQ(dir.Entries(), 0); // loading never creates the file
    SaveReaderSettings(settings, dir.Path());
    EXPECT_EQ(dir.Read("config.cfg"), kDefaultFile);
}

TEST(ReaderSettings, PartialHandEditedFileLosesCommentsAtTheFirstSave) {
    test_books::TempDir dir;
    dir.Write("config.cfg", test_books::CrLf("# my settings\nfont_height=30\nunknown=1\n"));
    const ReaderSettings settings = LoadFrom(dir);
    EXPECT_EQ(Fields(settings), Fields(ReaderSettings{.font_height = 30}));
    SaveReaderSettings(settings, dir.Path());
    std::string expected = kDefaultFile;
    EXPECT_EQ(dir.Read("config.cfg"), expected.replace(expected.find("=20"), 3, "=30"));
}

TEST(ReaderSettings, LoadedValuesAreTakenAsTheyAreAndRoundTrip) {
    test_books::TempDir dir;
    dir.Write("config.cfg", "font_height=big\nfont_row_dis=70\nauto_record=2\nauto_read=2\n"
                            "title_name=\n");
    ReaderSettings settings = LoadFrom(dir);
    EXPECT_EQ(settings.font_height, 5); // letters read as 0, below the smallest font
    EXPECT_EQ(settings.font_row_dis, 70);
    EXPECT_EQ(settings.auto_record, 2); // the view records only on exactly 1
    EXPECT_EQ(settings.auto_read, 2);   // and scrolls on any non-zero value
    EXPECT_EQ(settings.title_name, "");

    // A title of legacy code-page bytes, with blanks and "=", survives a round trip.
    settings = {.font_height = 70, .title_name = " \xd4\xc4\xb6\xc1 = x"};
    SaveReaderSettings(settings, dir.Path());
    EXPECT_EQ(Fields(LoadFrom(dir)), Fields(settings));
}

TEST(ReadingPrefs, UnknownKeysComeBackWholeHoweverLong) {
    test_books::TempDir dir;
    const std::string future = "future_key=" + std::string(9000, 'v') + "\n";
    const std::string tooLong = "huge=" + std::string(CConfigFile::kMaxWholeLineBytes, 'h') + "\n";
    dir.Write("reading.cfg", future + tooLong + "margin_left=9\nscript=5\n");
    ReadingPrefs prefs = LoadReadingPrefs(dir.Path());
    EXPECT_EQ(prefs.margin_left, 9);
    EXPECT_EQ(prefs.script, 0); // no such script
    prefs.margin_left = 10;
    prefs.script = ReadingPrefs::kMaxScript;
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

TEST(BookChoiceStore, ChoicesAreKeptPerBookWhateverThePathHolds) {
    test_books::TempDir dir;
    const CBookChoiceStore store(dir.Path(), CBookChoiceStore::kEncodingFileName);
    // Paths that a plain key=value line would mangle: '=', '%', '#', line breaks, spaces, and
    // Chinese; and two paths that differ only where one has a byte the other has escaped.
    const std::u16string paths[] = {
        u"/books/a=b.txt",        u"/books/a%3Db.txt",          u"#lead.txt",
        u"/books/two\nlines.txt", u"/books/小说 集/第一卷.txt", u"/books/plain.txt",
    };
    const char* const choices[] = {"BIG5", "GB18030", "EUC-KR", "UTF-16LE", "SHIFT_JIS", "UTF-8"};
    for (std::size_t i = 0; i < std::size(paths); ++i) {
        ASSERT_TRUE(store.Set(paths[i], choices[i]));
    }
    for (std::size_t i = 0; i < std::size(paths); ++i) {
        EXPECT_EQ(store.Get(paths[i]), choices[i]) << i;
    }
    EXPECT_EQ(store.Get(u"/books/a"), "");

    // Forgetting one leaves the others; every line of the file is one key=value pair.
    ASSERT_TRUE(store.Set(paths[0], ""));
    EXPECT_EQ(store.Get(paths[0]), "");
    EXPECT_EQ(store.Get(paths[1]), "GB18030");
    const std::string file = dir.Read(CBookChoiceStore::kEncodingFileName);
    EXPECT_EQ(std::count(file.begin(), file.end(), '\n'), 5);
    EXPECT_EQ(std::count(file.begin(), file.end(), '='), 5);

    // Each kind of choice in a file of its own: a book's script leaves its encoding as it was.
    const CBookChoiceStore scripts(dir.Path(), CBookChoiceStore::kScriptFileName);
    ASSERT_TRUE(scripts.Set(paths[1], "s"));
    EXPECT_EQ(dir.Read(CBookChoiceStore::kScriptFileName),
              CBookChoiceStore::KeyOf(paths[1]) + "=s\n");
    ASSERT_TRUE(scripts.Set(paths[1], ""));
    EXPECT_EQ(scripts.Get(paths[1]), "");
    EXPECT_EQ(store.Get(paths[1]), "GB18030");
}

// Damaged lines are ignored. A long path in Chinese makes a key line far longer than 8 KB, each
// byte written as %XX.
TEST(BookChoiceStore, DamagedLinesAreIgnoredAndALongPathKeepsItsChoice) {
    test_books::TempDir dir;
    const CBookChoiceStore store(dir.Path(), CBookChoiceStore::kEncodingFileName);
    const std::string key = CBookChoiceStore::KeyOf(u"/books/kept.txt");
    dir.Write(CBookChoiceStore::kEncodingFileName,
              "no equals sign\n=BIG5\n\xFF\xFE garbage\n" + key + "=EUC-KR\r\n");
    EXPECT_EQ(store.Get(u"/books/kept.txt"), "EUC-KR");
    const std::u16string deep = u"/books/" + std::u16string(970, u'长') + u".txt";
    ASSERT_GT(CBookChoiceStore::KeyOf(deep).size(), 8192u);
    ASSERT_TRUE(store.Set(deep, "BIG5"));
    EXPECT_EQ(store.Get(deep), "BIG5");
    ASSERT_TRUE(store.Set(u"/books/short.txt", "GB18030"));
    EXPECT_EQ(store.Get(deep), "BIG5");
    EXPECT_EQ(store.Get(u"/books/kept.txt"), "EUC-KR");
    const std::string file = dir.Read(CBookChoiceStore::kEncodingFileName);
    EXPECT_EQ(std::count(file.begin(), file.end(), '\n'), 3);
}

// A file that is there but was not read holds other books' choices: it is never replaced.
TEST(BookChoiceStore, AFileThatCannotBeReadIsNotWrittenOver) {
    test_books::TempDir dir;
    const CBookChoiceStore store(dir.Path(), CBookChoiceStore::kEncodingFileName);
    const std::string path = dir.File(CBookChoiceStore::kEncodingFileName);
    const std::string kept = CBookChoiceStore::KeyOf(u"/books/a.txt") + "=BIG5\n";

    if (geteuid() != 0) { // root reads it anyway
        dir.Write(CBookChoiceStore::kEncodingFileName, kept);
        ASSERT_EQ(chmod(path.c_str(), 0200), 0);
        EXPECT_EQ(store.Get(u"/books/a.txt"), "");
        EXPECT_FALSE(store.Set(u"/books/b.txt", "UTF-8"));
        ASSERT_EQ(chmod(path.c_str(), 0600), 0);
        EXPECT_EQ(dir.Read(CBookChoiceStore::kEncodingFileName), kept);
    }

    std::filesystem::remove(path);
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    EXPECT_FALSE(store.Set(u"/books/b.txt", "UTF-8"));
    EXPECT_TRUE(std::filesystem::is_fifo(path));
}
