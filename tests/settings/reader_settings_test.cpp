#include "settings/reader_settings.h"

#include "tests/settings/scratch_dir.h"

#include <gtest/gtest.h>

namespace {

const char kDefaultFile[] = "auto_click=1\n"
                            "auto_read=0\n"
                            "auto_record=1\n"
                            "back_color=16579563\n"
                            "font_color=0\n"
                            "font_height=20\n"
                            "font_row_dis=5\n"
                            "title_name=Veska\n";

ReaderSettings LoadFrom(const ScratchDir& dir) {
    ReaderSettings settings;
    LoadReaderSettings(settings, dir.Path());
    return settings;
}

bool SameSettings(const ReaderSettings& a, const ReaderSettings& b) {
    return a.font_height == b.font_height && a.font_color == b.font_color &&
           a.back_color == b.back_color && a.font_row_dis == b.font_row_dis &&
           a.auto_record == b.auto_record && a.auto_read == b.auto_read &&
           a.title_name == b.title_name && a.auto_click == b.auto_click;
}

} // namespace

TEST(ReaderSettingsStore, NoFileGivesDefaultsAndFirstSaveWritesEightLines) {
    ScratchDir dir;
    const ReaderSettings settings = LoadFrom(dir);
    EXPECT_TRUE(SameSettings(settings, ReaderSettings{}));
    EXPECT_EQ(settings.font_height, 20);
    EXPECT_EQ(settings.back_color, 0xFCFBEB);
    EXPECT_EQ(settings.title_name, "Veska");
    EXPECT_FALSE(dir.Exists("config.cfg")); // loading never creates it

    SaveReaderSettings(settings, dir.Path());
    EXPECT_EQ(dir.Read("config.cfg"), kDefaultFile);
    EXPECT_EQ(ConfigFilePath(dir.Path()), dir.Path() + "/config.cfg");
}

TEST(ReaderSettingsStore, PartialFileKeepsOtherDefaultsAndSaveWritesAllKeys) {
    ScratchDir dir;
    dir.Write("config.cfg", "# my settings\nfont_height=30\nunknown=1\n");
    ReaderSettings settings = LoadFrom(dir);
    ReaderSettings expected;
    expected.font_height = 30;
    EXPECT_TRUE(SameSettings(settings, expected));

    SaveReaderSettings(settings, dir.Path());
    std::string file = kDefaultFile;
    file.replace(file.find("font_height=20"), 14, "font_height=30");
    EXPECT_EQ(dir.Read("config.cfg"), file); // comment and unknown key are gone
}

TEST(ReaderSettingsStore, LoadedValuesAreTakenAsTheyAre) {
    ScratchDir dir;
    dir.Write("config.cfg", "font_height=big\n"
                            "font_row_dis=70\n"
                            "auto_record=2\n"
                            "auto_read=2\n"
                            "auto_click=-1\n"
                            "title_name=\n");
    ReaderSettings settings = LoadFrom(dir);
    EXPECT_EQ(settings.font_height, 0);
    EXPECT_EQ(settings.font_row_dis, 70);
    EXPECT_EQ(settings.auto_record, 2);
    EXPECT_EQ(settings.auto_read, 2);
    EXPECT_EQ(settings.auto_click, -1);
    EXPECT_EQ(settings.title_name, "");

    dir.Write("config.cfg", "font_height=70\ntitle_name= \xd4\xc4\xb6\xc1 = book\n");
    settings = LoadFrom(dir);
    EXPECT_EQ(settings.font_height, 70);
    EXPECT_EQ(settings.title_name, " \xd4\xc4\xb6\xc1 = book");
}

TEST(ReaderSettingsStore, ColoursAndTitleRoundTrip) {
    ScratchDir dir;
    ReaderSettings settings;
    settings.font_color = 255;      // pure red
    settings.back_color = 16711680; // pure blue
    settings.font_height = -7;
    settings.title_name = "\xd4\xc4\xb6\xc1\xc6\xf7 x=y";
    SaveReaderSettings(settings, dir.Path());
    const std::string file = dir.Read("config.cfg");
    EXPECT_NE(file.find("\nfont_color=255\n"), std::string::npos);
    EXPECT_NE(file.find("\nback_color=16711680\n"), std::string::npos);
    EXPECT_TRUE(SameSettings(LoadFrom(dir), settings));
}

TEST(ReaderSettingsStore, CrLfFileFromTheOldPlatformLoadsTheSame) {
    ScratchDir dir;
    std::string crlf;
    for (const char* c = kDefaultFile; *c != '\0'; ++c) {
        crlf += *c == '\n' ? std::string("\r\n") : std::string(1, *c);
    }
    crlf.replace(crlf.find("font_height=20"), 14, "font_height=33");
    dir.Write("config.cfg", crlf);
    ReaderSettings expected;
    expected.font_height = 33;
    const ReaderSettings settings = LoadFrom(dir);
    EXPECT_TRUE(SameSettings(settings, expected));
    EXPECT_EQ(settings.title_name, "Veska"); // no CR left on the value

    SaveReaderSettings(settings, dir.Path());
    EXPECT_EQ(dir.Read("config.cfg").find('\r'), std::string::npos);
}

TEST(ReaderSettingsStore, FailedSaveLeavesTheOldFile) {
    ScratchDir dir;
    SaveReaderSettings(ReaderSettings{}, dir.Path());
    ReaderSettings changed;
    changed.font_height = 44;
    SaveReaderSettings(changed, dir.Path() + "/missing-dir"); // reports nothing, changes nothing
    EXPECT_EQ(dir.Read("config.cfg"), kDefaultFile);
    EXPECT_EQ(dir.EntryCount(), 1u);
}
