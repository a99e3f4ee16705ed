#include "settings/reader_settings.h"

#include "tests/text/test_books.h"

#include <gtest/gtest.h>

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
