#include "settings/config_file.h"

#include "tests/settings/scratch_dir.h"

#include <climits>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

using Map = std::map<std::string, std::string>;

namespace {

struct ParseCase {
    const char* line;
    int code;
    const char* key;
    const char* value;
};

Map LoadText(const ScratchDir& dir, const std::string& text) {
    dir.Write("x.cfg", text);
    CConfigFile file;
    EXPECT_EQ(file.Load(dir.File("x.cfg")), 0);
    return file.m_values;
}

} // namespace

TEST(ConfigFileParseLine, CodesKeysAndValues) {
    const ParseCase cases[] = {
        {"", -1, "", ""},
        {"#a=b\n", -2, "", ""},
        {"# comment\n", -2, "", ""},
        {"no equals\n", -3, "", ""},
        {"=value\n", -3, "", ""},
        {"\n", -3, "", ""},
        {" #a=b\n", 0, " #a", "b"},
        {"font_height = 30\n", 0, "font_height ", " 30"},
        {"k\t=\tv \r\n", 0, "k\t", "\tv "},
        {"a=b=c\n", 0, "a", "b=c"},
        {"empty=\n", 0, "empty", ""},
        {"last=line", 0, "last", "line"},
        {"cr=alone\r", 0, "cr", "alone\r"},
    };
    for (const ParseCase& c : cases) {
        std::string key = "untouched";
        std::string value = "untouched";
        EXPECT_EQ(CConfigFile::ParseLine(c.line, key, value), c.code) << c.line;
        if (c.code == 0) {
            EXPECT_EQ(key, c.key) << c.line;
            EXPECT_EQ(value, c.value) << c.line;
        }
    }
    std::string key;
    std::string value;
    EXPECT_EQ(CConfigFile::ParseLine(nullptr, key, value), -1);
    // The line ends at a NUL byte: what follows it is not seen.
    EXPECT_EQ(CConfigFile::ParseLine("k\0=v\n", key, value), -3);
}

TEST(ConfigFileLoad, MapFollowsTheLinesAsWritten) {
    ScratchDir dir;
    const Map map = LoadText(dir, "# a=comment\n"
                                  " #b=1\n"
                                  "font_height=1\n"
                                  "font_height=2\n"
                                  "Font_height=3\n"
                                  "font_height =4\n"
                                  "x=a=b\n"
                                  "=orphan\n"
                                  "\n"
                                  "bare\n"
                                  "empty=\n"
                                  "last=no line end");
    const Map expected = {{" #b", "1"},           {"Font_height", "3"}, {"font_height", "1"},
                          {"font_height ", "4"},  {"x", "a=b"},         {"empty", ""},
                          {"last", "no line end"}};
    EXPECT_EQ(map, expected);
}

TEST(ConfigFileLoad, CrLfFileLoadsLikeLfFile) {
    ScratchDir dir;
    const std::string lf = "b=2\nspace = 3 \nlone=a\rb\ncomment=#\n#x=1\n";
    std::string crlf;
    for (char c : lf) {
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    }
    EXPECT_EQ(LoadText(dir, crlf), LoadText(dir, lf));
    EXPECT_EQ(LoadText(dir, crlf).at("lone"), "a\rb");
}

TEST(ConfigFileLoad, LongLineIsReadInPiecesOf8191Bytes) {
    ScratchDir dir;
    // 9000 bytes before the line end: a first piece of 8191 bytes, then the rest.
    const std::string first = "first=" + std::string(8191 - 6, 'a');
    const std::string second = "second=" + std::string(9000 - 8191 - 7, 'b');
    ASSERT_EQ(first.size() + second.size(), 9000u);
    const Map expected = {{"first", first.substr(6)}, {"second", second.substr(7)}};
    EXPECT_EQ(LoadText(dir, first + second + "\n"), expected);
    EXPECT_EQ(LoadText(dir, first + second + "\r\n"), expected);

    // A second piece without "=" is skipped; the first still counts.
    const Map firstOnly = {{"first", first.substr(6)}};
    EXPECT_EQ(LoadText(dir, first + std::string(809, 'c') + "\nz\n"), firstOnly);
}

TEST(ConfigFileLoad, MissingFileAndEmptyFile) {
    ScratchDir dir;
    CConfigFile file;
    file.m_values["kept"] = "1";
    EXPECT_EQ(file.Load(dir.File("missing.cfg")), -1);
    EXPECT_EQ(file.Load(dir.Path()), -1); // a directory is no file
    dir.Write("empty.cfg", "");
    EXPECT_EQ(file.Load(dir.File("empty.cfg")), 0);
    // Loading adds to the map; it never clears it, and keys already there win.
    dir.Write("more.cfg", "kept=2\nnew=3\n");
    EXPECT_EQ(file.Load(dir.File("more.cfg")), 0);
    EXPECT_EQ(file.m_values, (Map{{"kept", "1"}, {"new", "3"}}));
}

TEST(ConfigFileInt, GetIntFollowsAtoiAndSaturates) {
    const std::pair<const char*, int> cases[] = {
        {"12ab", 12},
        {"ab", 0},
        {"", 0},
        {" 7", 7},
        {"\t\r\n\v\f7", 7},
        {"+7", 7},
        {"-3", -3},
        {"- 3", 0},
        {"007", 7},
        {"16579563", 16579563},
        {"2147483647", INT_MAX},
        {"2147483648", INT_MAX},
        {"99999999999999999999999", INT_MAX},
        {"-2147483648", INT_MIN},
        {"-2147483649", INT_MIN},
        {"-99999999999999999999999", INT_MIN},
    };
    CConfigFile file;
    for (const auto& [text, expected] : cases) {
        file.m_values["k"] = text;
        int out = 12345;
        EXPECT_EQ(file.GetInt("k", out), 0);
        EXPECT_EQ(out, expected) << '"' << text << '"';
    }
    int untouched = 42;
    EXPECT_EQ(file.GetInt("absent", untouched), -1);
    EXPECT_EQ(untouched, 42);
    EXPECT_EQ(file.GetInt("K", untouched), -1);
}

TEST(ConfigFileSave, KeysInByteOrderOneLineEach) {
    ScratchDir dir;
    CConfigFile file;
    file.m_values["title_name"] = "Veska";
    file.SetInt("auto_read", 0);
    file.SetInt("back_color", -16579563);
    file.SetInt("auto", INT_MIN);
    file.m_values["\xe4\xb8\xad"] = "high byte sorts last"; // unsigned, not signed, bytes
    file.m_values["Z"] = "upper case first";
    file.SetInt("auto_read", 7); // replaces the earlier value
    ASSERT_EQ(file.Save(dir.File("out.cfg")), 0);
    EXPECT_EQ(dir.Read("out.cfg"), "Z=upper case first\n"
                                   "auto=-2147483648\n"
                                   "auto_read=7\n"
                                   "back_color=-16579563\n"
                                   "title_name=Veska\n"
                                   "\xe4\xb8\xad=high byte sorts last\n");
}

TEST(ConfigFileSave, ArbitraryBytesRoundTrip) {
    ScratchDir dir;
    // Every byte but NUL and LF, a CR in the middle included; keys may hold anything but "=".
    std::string value;
    for (int b = 1; b < 256; ++b) {
        if (b != '\n') {
            value += static_cast<char>(b);
        }
    }
    std::string key = value;
    std::erase(key, '=');
    CConfigFile file;
    file.m_values[key] = value;
    file.m_values[" spaced key "] = " spaced value\t";
    file.m_values["e"] = "";
    ASSERT_EQ(file.Save(dir.File("bytes.cfg")), 0);
    CConfigFile back;
    ASSERT_EQ(back.Load(dir.File("bytes.cfg")), 0);
    EXPECT_EQ(back.m_values, file.m_values);

    // A line longer than the read buffer is still written whole.
    CConfigFile wide;
    wide.m_values["long"] = std::string(20000, 'v');
    ASSERT_EQ(wide.Save(dir.File("long.cfg")), 0);
    EXPECT_EQ(dir.Read("long.cfg"), "long=" + std::string(20000, 'v') + "\n");
}

TEST(ConfigFileSave, FailedSaveKeepsTheOldFileAndLeavesNoLitter) {
    ScratchDir dir;
    dir.Write("config.cfg", "old=1\n");
    CConfigFile file;
    file.m_values["new"] = std::string(100000, 'n');

    EXPECT_EQ(file.Save(dir.File("gone/config.cfg")), -1); // directory missing
    std::filesystem::create_directory(dir.File("sub.cfg"));
    EXPECT_EQ(file.Save(dir.File("sub.cfg")), -1); // a directory stays a directory
    EXPECT_TRUE(std::filesystem::is_directory(dir.File("sub.cfg")));

    // A full disk, played by a file-size limit: the write fails half way.
    struct sigaction ignore {};
    struct sigaction previous {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGXFSZ, &ignore, &previous);
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = 4096;
    setrlimit(RLIMIT_FSIZE, &small);
    const int result = file.Save(dir.File("config.cfg"));
    setrlimit(RLIMIT_FSIZE, &saved);
    sigaction(SIGXFSZ, &previous, nullptr);
    EXPECT_EQ(result, -1);

    EXPECT_EQ(dir.Read("config.cfg"), "old=1\n");
    EXPECT_EQ(dir.EntryCount(), 2u) << "a temporary file was left behind";
}

TEST(ConfigFileSave, WriteProtectedFileIsNotReplaced) {
    if (geteuid() == 0) {
        GTEST_SKIP() << "root writes anything";
    }
    ScratchDir dir;
    dir.Write("config.cfg", "old=1\n");
    std::filesystem::permissions(dir.File("config.cfg"), std::filesystem::perms::owner_read);
    CConfigFile file;
    file.m_values["new"] = "2";
    EXPECT_EQ(file.Save(dir.File("config.cfg")), -1);
    EXPECT_EQ(dir.Read("config.cfg"), "old=1\n");
}

TEST(ConfigFileSave, ReplacesTheFileBehindALinkAndKeepsItsMode) {
    ScratchDir dir;
    std::filesystem::create_directory(dir.File("real"));
    dir.Write("real/config.cfg", "old=1\n");
    std::filesystem::permissions(dir.File("real/config.cfg"),
                                 std::filesystem::perms::owner_read |
                                     std::filesystem::perms::owner_write);
    std::filesystem::create_symlink("real/config.cfg", dir.File("config.cfg"));
    CConfigFile file;
    file.m_values["new"] = "2";
    ASSERT_EQ(file.Save(dir.File("config.cfg")), 0);
    EXPECT_TRUE(std::filesystem::is_symlink(dir.File("config.cfg")));
    EXPECT_EQ(dir.Read("real/config.cfg"), "new=2\n");
    EXPECT_EQ(std::filesystem::status(dir.File("real/config.cfg")).permissions(),
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}
