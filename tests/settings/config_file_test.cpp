#include "settings/config_file.h"

#include "tests/text/test_books.h"

#include <climits>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>

using Map = std::map<std::string, std::string>;
using namespace std::string_literals;

class ConfigFile : public ::testing::Test {
protected:
    Map LoadText(const std::string& text) {
        dir.Write("x.cfg", text);
        CConfigFile file;
        EXPECT_EQ(file.Load(dir.File("x.cfg")), 0);
        return file.m_values;
    }
    test_books::TempDir dir;
};

// Keys and values are taken as they stand, blanks and all; lines without a key are skipped.
TEST_F(ConfigFile, LoadKeepsFirstOccurrenceUntrimmedAndReadsCrLfAlike) {
    const std::string text = "# a=comment\n #b=1\nfont_height=1\nfont_height=2\nFont_height=3\n"
                             "font_height =4\nlone=a\rb\n=orphan\n\nbare\nk\0=v\na=b=c\nempty=\n"
                             "sp= 1\nlast=no line end"s;
    const Map expected = {{" #b", "1"},          {"Font_height", "3"}, {"font_height", "1"},
                          {"font_height ", "4"}, {"lone", "a\rb"},     {"a", "b=c"},
                          {"empty", ""},         {"sp", " 1"},         {"last", "no line end"}};
    EXPECT_EQ(LoadText(text), expected);
    EXPECT_EQ(LoadText(test_books::CrLf(text)), expected);

    CConfigFile file;
    file.m_values["lone"] = "kept";
    EXPECT_EQ(file.Load(dir.File("missing.cfg")), -1);
    EXPECT_EQ(file.Load(dir.File("x.cfg")), 0);
    EXPECT_EQ(file.m_values.at("lone"), "kept"); // loading adds; it never clears or overrides
    EXPECT_TRUE(LoadText("").empty());
}

TEST_F(ConfigFile, LongLineIsReadInPiecesOf8191BytesOrWhole) {
    const std::string first = "first=" + std::string(8185, 'a'); // exactly one piece
    const std::string second = "second=" + std::string(9000 - 8191 - 7, 'b');
    const Map expected = {{"first", first.substr(6)}, {"second", second.substr(7)}};
    EXPECT_EQ(LoadText(first + second + "\n"), expected);
    EXPECT_EQ(LoadText(first + second + "\r\n"), expected);

    // Whole: the same line is one value; one over the limit adds nothing, not even a piece.
    const std::string tooLong = "cut=" + std::string(CConfigFile::kMaxWholeLineBytes, 'c');
    dir.Write("x.cfg", first + second + "\r\n" + tooLong + "\nnext=1");
    CConfigFile file;
    ASSERT_EQ(file.Load(dir.File("x.cfg"), CConfigFile::LongLines::kWhole), 0);
    EXPECT_EQ(file.m_values, (Map{{"first", first.substr(6) + second}, {"next", "1"}}));
}

TEST_F(ConfigFile, AValueEndsAtANulByteAndEndlessKeysFillTheMapOnlySoFar) {
    dir.Write("long.cfg", "title_name=x");
    std::filesystem::resize_file(dir.File("long.cfg"), 1 << 20); // NUL bytes, without writing them
    std::ofstream(dir.File("long.cfg"), std::ios::binary | std::ios::app) << "\nfont_height=30\n";
    CConfigFile file;
    ASSERT_EQ(file.Load(dir.File("long.cfg")), 0);
    EXPECT_EQ(file.m_values, (Map{{"title_name", "x"}, {"font_height", "30"}}));

    // The first keys stay.
    std::string keys;
    for (std::size_t i = 0; i < CConfigFile::kMaxLoadedKeys + 100; ++i) {
        keys += "k" + std::to_string(100000 + i) + "=v\n";
    }
    keys += "k100000=late\n";
    const Map many = LoadText(keys);
    EXPECT_EQ(many.size(), CConfigFile::kMaxLoadedKeys);
    EXPECT_EQ(many.at("k100000"), "v");
}

TEST_F(ConfigFile, GetIntIsAtoiSaturatingAt32Bits) {
    const std::pair<const char*, int> cases[] = {
        {"12ab", 12},
        {"", 0},
        {"\t\r\n\v\f+7", 7},
        {"- 3", 0},
        {"-3", -3},
        {"2147483648", INT_MAX},
        {"-2147483649", INT_MIN},
        {"-99999999999999999999", INT_MIN},
    };
    CConfigFile file;
    for (const auto& [text, expected] : cases) {
        file.m_values["k"] = text;
        int out = 12345;
        EXPECT_EQ(file.GetInt("k", out), 0);
        EXPECT_EQ(out, expected) << '"' << text << '"';
    }
    int untouched = 42;
    EXPECT_EQ(file.GetInt("K", untouched), -1);
    EXPECT_EQ(untouched, 42);
}

// Every byte but NUL and LF, a CR in the middle included, comes back; keys may hold anything but
// "=". (What config.cfg holds, byte for byte, is checked with the reader's settings.)
TEST_F(ConfigFile, SavedBytesComeBack) {
    std::string bytes;
    for (int b = 1; b < 256; ++b) {
        bytes += b == '\n' ? ' ' : static_cast<char>(b);
    }
    CConfigFile any;
    any.m_values[std::string(bytes).erase(bytes.find('='), 1)] = bytes;
    any.m_values[" spaced "] = "\t";
    ASSERT_EQ(any.Save(dir.File("bytes.cfg")), 0);
    CConfigFile back;
    ASSERT_EQ(back.Load(dir.File("bytes.cfg")), 0);
    EXPECT_EQ(back.m_values, any.m_values);
}

TEST_F(ConfigFile, FailedSaveKeepsTheOldFileWholeAndLeavesNoTemporaryFile) {
    dir.Write("config.cfg", "old=1\n");
    CConfigFile file;
    file.m_values["new"] = std::string(100000, 'n');
    EXPECT_EQ(file.Save(dir.File("gone/config.cfg")), -1);
    std::filesystem::create_directory(dir.File("sub.cfg"));
    EXPECT_EQ(file.Save(dir.File("sub.cfg")), -1);

    // A full disk, played by a file-size limit: the write fails half way.
    signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = 4096;
    setrlimit(RLIMIT_FSIZE, &small);
    const int result = file.Save(dir.File("config.cfg"));
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, SIG_DFL);
    EXPECT_EQ(result, -1);
    EXPECT_EQ(dir.Read("config.cfg"), "old=1\n");
    EXPECT_EQ(dir.Entries(), 2);
}

TEST_F(ConfigFile, SaveReplacesTheFileBehindALinkAndKeepsItsMode) {
    using std::filesystem::perms;
    std::filesystem::create_directory(dir.File("real"));
    dir.Write("real/config.cfg", "old=1\n");
    std::filesystem::permissions(dir.File("real/config.cfg"),
                                 perms::owner_read | perms::owner_write);
    std::filesystem::create_symlink("real/config.cfg", dir.File("config.cfg"));
    CConfigFile file;
    file.m_values["new"] = "2";
    ASSERT_EQ(file.Save(dir.File("config.cfg")), 0);
    EXPECT_TRUE(std::filesystem::is_symlink(dir.File("config.cfg")));
    EXPECT_EQ(dir.Read("real/config.cfg"), "new=2\n");
    EXPECT_EQ(std::filesystem::status(dir.File("real/config.cfg")).permissions(),
              perms::owner_read | perms::owner_write);
}
