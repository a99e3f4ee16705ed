// veska-pages run as a child process, the way a user runs it.
#include "tests/text/test_books.h"

#include <algorithm>
#include <cstdlib>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using test_books::Encode;
using test_books::TempDir;

namespace {

using Env = std::map<std::string, std::string>;

struct ToolRun {
    int status = -1; // exit status
    std::string out;
    std::string err;
};

// Lines of the text that hold the phrase.
std::size_t CountOfLines(const std::string& text, const std::string& phrase) {
    std::size_t count = 0;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        count += text.substr(start, end - start).find(phrase) != std::string::npos;
        start = end + 1;
    }
    return count;
}

// Runs veska-pages with these arguments and these variables added to the environment. Its
// outputs go to files, which are no terminal either.
ToolRun RunTool(const std::vector<std::string>& args, const Env& env = {}) {
    const TempDir io;
    const pid_t pid = fork();
    if (pid == 0) { // the test runs on one thread, so the child may use setenv
        for (const auto& [name, value] : env) {
            setenv(name.c_str(), value.c_str(), 1);
        }
        dup2(open(io.File("out").c_str(), O_WRONLY | O_CREAT, 0600), STDOUT_FILENO);
        dup2(open(io.File("err").c_str(), O_WRONLY | O_CREAT, 0600), STDERR_FILENO);
        std::vector<char*> argv{const_cast<char*>(VESKA_PAGES)};
        for (const auto& a : args) {
            argv.push_back(const_cast<char*>(a.c_str()));
        }
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, io.Read("out"), io.Read("err")};
}

// The detection itself is the book tests' concern: here, how the tool reports it.
TEST(VeskaPagesTest, SummaryIsTheEncodingThePageCountAndTheCodePage) {
    TempDir dir;
    const std::string prose = test_books::RepeatedProse(20000);
    const struct {
        std::string bytes;
        std::string encoding;
        std::string codePage;
    } books[] = {
        {Encode(prose, "GB18030"), "ENCODING_ANSI", "GB18030"},
        {"\xFE\xFF" + Encode(prose, "UTF-16BE"), "ENCODING_UTF16BE", "UTF-16BE"},
        {Encode(test_books::kTraditionalProse, "BIG5"), "ENCODING_ANSI", "BIG5-HKSCS"},
        {"", "ENCODING_ANSI", "GB18030"},
    };
    for (const auto& [bytes, encoding, codePage] : books) {
        const ToolRun run = RunTool({dir.Write("book.txt", bytes)});
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.out, "encoding " + encoding + "\npages " +
                               std::to_string((bytes.size() + 4091) / 4092) + "\ncodepage " +
                               codePage + "\n");
        EXPECT_EQ(run.err, "");
    }
    // File names are bytes: a GBK name, as old archives unpack, and bytes no code page spells
    // open as given.
    for (const std::string& name : {Encode("第一卷.txt", "GBK"), std::string("\xff\x80 x.txt")}) {
        const ToolRun named = RunTool({dir.Write(name, prose), "0"});
        EXPECT_EQ(named.status, 0) << named.err;
    }
}

// A page goes out as UTF-8 with CR LF line ends and nothing else (a page number past either end
// gives the first or last page); chapters and finds as one "page TAB line" each.
TEST(VeskaPagesTest, PagesChaptersAndFindsOnStandardOutput) {
    TempDir dir;
    const std::string gb = dir.Write("gb.txt", Encode("第一章\n\n乙\n", "GB18030"));
    const std::string abc =
        dir.Write("abc.txt", std::string(4092, 'a') + std::string(4092, 'b') + "c");
    const std::string novel =
        dir.Write("novel.txt", Encode("　　第一章 故人重逢\r\n一个形字在中文里\r\n" +
                                          test_books::RepeatedProse(9000) + "\r\n番外 小城\r\n",
                                      "GB18030"));
    const std::string big5 = dir.Write("big5.txt", Encode(test_books::kTraditionalProse, "BIG5"));
    const Env big5Env{{"VESKA_CODEPAGE", "BIG5"}};
    // Undefined pairs (U+FFFD, then their second byte), and a sign CP932 has two codes for.
    const std::string badBig5 = dir.Write("bad-big5.txt", {'\x81', 'A', 'B', 'C', '\n'});
    const std::string badSjis =
        dir.Write("bad-sjis.txt", {'\xAB', '\x85', 'A', 'B', 'C', '\n', '\x87', '\x9A', '\n'});
    const std::string badGb = dir.Write("bad-gb.txt", {'x', '\x84', '2', '\x84', '0', 'A', 'A'});
    const std::string log = dir.File("veska.log");
    const struct {
        std::vector<std::string> args;
        std::string out;
        Env env = {};
        std::string err = {}; // part of what standard error says; empty: nothing
    } cases[] = {
        {{gb, "0"}, "第一章\r\n\r\n乙\r\n"}, // the empty line between LF-only lines stays
        {{abc, "1"}, std::string(4092, 'b')},
        {{abc, "99"}, "c"},
        {{abc, "-5"}, std::string(4092, 'a')},
        {{"--chapters", novel}, "0\t第一章 故人重逢\n1\t番外 小城\n"},
        {{"--find", "形", novel}, "0\t一个形字在中文里\n"},
        {{"--find", "nowhere", novel}, ""},
        {{"--encoding", "BIG5", "--find", "ABC", badBig5}, "0\t\uFFFDABC\n"},
        {{"--encoding", "SHIFT_JIS", "--find", "ABC", badSjis}, "0\t\uFF6B\uFFFDABC\n"},
        {{"--encoding", "SHIFT_JIS", "--find", "∵", badSjis}, "0\t∵\n"},
        {{"--encoding", "GB18030", "--find", "0AA", badGb}, "0\tx\uFFFD2\uFFFD0AA\n"},
        // VESKA_CODEPAGE names the code page; an unknown one is reported and GB18030 stands in.
        {{big5}, "encoding ENCODING_ANSI\npages 1\ncodepage BIG5\n", big5Env},
        {{gb, "0"}, "第一章\r\n\r\n乙\r\n", {{"VESKA_CODEPAGE", "NO-SUCH-PAGE"}}, "NO-SUCH-PAGE"},
        // Openings are logged where VESKA_LOG says, appended.
        {{abc}, "encoding ENCODING_UTF8\npages 3\ncodepage UTF-8\n", {{"VESKA_LOG", log}}},
        {{abc, "99"}, "c", {{"VESKA_LOG", log}}},
    };
    for (const auto& c : cases) {
        const ToolRun run = RunTool(c.args, c.env);
        SCOPED_TRACE(c.args.back() + " " + run.err);
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.out, c.out);
        if (c.err.empty()) {
            EXPECT_EQ(run.err, "");
        }
        EXPECT_NE(run.err.find(c.err), std::string::npos);
    }
    const std::string line = "Info: CResourceData::OpenTxt \n";
    EXPECT_EQ(dir.Read("veska.log"), line + line);
    EXPECT_EQ(RunTool({abc, "99"}, {{"VESKA_LOG", "-"}}).err, line); // not a terminal: no colours
}

// --chapters lists what the reader lists: the headings of the style the book uses, or, without
// headings, chapters the reader makes (and says so).
TEST(VeskaPagesTest, ChaptersFollowTheBooksOwnHeadingStyle) {
    TempDir dir;
    const std::string prose = test_books::kChineseProse;
    const std::string bracketed = dir.Write(
        "bracketed.txt", Encode("【第一章】初到小城\n他翻到【第二章】时睡着了。\n" + prose +
                                    "【第二章】远行\n" + prose + "第三章写得不好，他说。\n",
                                "GB18030"));
    const ToolRun listed = RunTool({"--chapters", bracketed});
    EXPECT_EQ(listed.status, 0);
    EXPECT_EQ(listed.out, "0\t【第一章】初到小城\n0\t【第二章】远行\n");
    EXPECT_EQ(listed.err, "");
    // A rule named on the command line gives its headings, even none; an unknown name is refused.
    EXPECT_EQ(RunTool({"--rule", "【第X章】标题（括号）", "--chapters", bracketed}).out,
              listed.out);
    const ToolRun forced = RunTool({"--chapters", "--rule=第X章（常见）", bracketed});
    EXPECT_EQ(forced.out, "0\t第三章写得不好，他说。\n");
    const ToolRun unknown = RunTool({"--chapters", bracketed, "--rule", "nothing"});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_NE(unknown.err.find("no chapter rule named \"nothing\" (rules: 第X章（常见）, "),
              std::string::npos)
        << unknown.err;

    const std::string plain =
        dir.Write("plain.txt", Encode(test_books::RepeatedProse(90'000), "GB18030"));
    const ToolRun made = RunTool({"--chapters", plain});
    EXPECT_EQ(made.status, 0);
    EXPECT_EQ(made.out.substr(0, made.out.find('\n')), "0\t清晨的小城还没有完全醒来…");
    const auto lines = std::count(made.out.begin(), made.out.end(), '\n'); // of 30 000 characters
    EXPECT_TRUE(lines == 3 || lines == 4) << made.out;
    EXPECT_NE(made.err.find("made by the reader"), std::string::npos) << made.err;
}

// The reader's own rules in chapter_rules.json of the data directory count as the built-in ones
// do; a damaged file or a bad rule is said on standard error and left out.
TEST(VeskaPagesTest, ChapterAndCleanUpRulesOfTheDataDirectoryCount) {
    TempDir dir;
    const std::string prose = test_books::kChineseProse;
    std::string book =
        dir.Write("stars.txt", Encode("☆、初到小城\n他在纸上画了☆、又画了一个圈。\n" + prose +
                                          "☆、远行\n" + prose + "☆、归来\n" + prose,
                                      "UTF-8"));
    const Env env{{"VESKA_DATA_DIR", dir.Path()}};
    dir.Write("chapter_rules.json",
              R"([{"id": 7, "name": "星号", "rule": "^☆、", "example": "☆、标题", )"
              R"("serialNumber": 0, "enable": true},)"
              R"( {"id": 8, "name": "坏", "rule": "^(第", "serialNumber": 1, "enable": true}])");
    const ToolRun listed = RunTool({"--chapters", book}, env);
    EXPECT_EQ(listed.status, 0);
    EXPECT_EQ(listed.out, "0\t☆、初到小城\n0\t☆、远行\n0\t☆、归来\n");
    EXPECT_TRUE(
        listed.err.starts_with("veska-pages: chapter_rules.json: rule \"坏\": invalid pattern ("))
        << listed.err;
    EXPECT_EQ(std::count(listed.err.begin(), listed.err.end(), '\n'), 1);

    dir.Write("chapter_rules.json", "[{\"name\": \"星号\", \"rule\": \"^☆、\"}");
    const ToolRun damaged = RunTool({"--chapters", book}, env);
    EXPECT_EQ(damaged.status, 0);
    EXPECT_NE(damaged.err.find("chapter_rules.json: not JSON"), std::string::npos) << damaged.err;
    // The built-in rules alone: no headings, so one chapter the reader made.
    EXPECT_EQ(damaged.out, "0\t☆、初到小城\n");

    // The clean-up rules of replace_rules.json take the ad lines out of what --find finds and
    // out of the titles --chapters lists; a bad rule is said once.
    dir.Write("chapter_rules.json", "[]");
    std::string text;
    for (const char* heading : {"第一章 初到小城", "第二章 远行"}) {
        text += std::string(heading) + " www.example.com\n本书由书友整理，请到书友群\n" + prose;
    }
    book = dir.Write("小城.txt", Encode(text, "GB18030"));
    EXPECT_EQ(CountOfLines(RunTool({"--find", "书友", book}, env).out, "书友"), 4u); // 2 a line
    dir.Write("replace_rules.json",
              R"([{"id": 1, "name": "广告", "pattern": "^本书由.*", "replacement": "", )"
              R"("isEnabled": true, "isRegex": true, "order": 1},)"
              R"( {"id": 2, "name": "网址", "pattern": " www.example.com", "isRegex": false},)"
              R"( {"id": 3, "name": "坏", "pattern": "(a|b)*c", "order": 3}])");
    const ToolRun found = RunTool({"--find", "书友", book}, env);
    EXPECT_EQ(found.status, 0);
    EXPECT_EQ(found.out, "");
    EXPECT_EQ(found.err,
              "veska-pages: replace_rules.json: rule \"坏\": invalid pattern (a repeated "
              "group repeats or has alternatives: it may run away); skipped\n");
    EXPECT_EQ(RunTool({"--chapters", book}, env).out, "0\t第一章 初到小城\n0\t第二章 远行\n");
}

TEST(VeskaPagesTest, EncodingOptionForcesTheEncodingForTheRun) {
    TempDir dir;
    const std::string text = test_books::Repeated(test_books::kTraditionalProse, 20000);
    const std::string big5 = dir.Write("big5.txt", Encode(text, "BIG5"));
    const ToolRun gb = RunTool({"--encoding", "GB18030", big5});
    EXPECT_EQ(gb.status, 0);
    EXPECT_NE(gb.out.find("\ncodepage GB18030\n"), std::string::npos) << gb.out;
    const ToolRun utf16 = RunTool({big5, "--encoding=utf-16le"});
    EXPECT_NE(utf16.out.find("encoding ENCODING_UTF16LE\n"), std::string::npos) << utf16.out;
    // The option and a page together: the page of the forced reading.
    const std::string forced = RunTool({big5, "1", "--encoding", "GB18030"}).out;
    EXPECT_EQ(forced, RunTool({"--encoding", "GB18030", big5, "1"}).out);
    EXPECT_NE(forced, RunTool({big5, "1"}).out);
}

// 1, with one line naming the book, for a book that cannot be opened; 2, with a one-line reason or
// the usage, for wrong arguments. Nothing on standard output either way.
TEST(VeskaPagesTest, ExitStatusTellsAnUnopenableBookFromWrongUsage) {
    TempDir dir;
    const std::string book = dir.Write("book.txt", "text");
    const std::string fifo = dir.File("fifo.txt");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string missing = dir.File("missing.txt");
    const std::string usage = "usage: veska-pages BOOK [PAGE]";
    const struct {
        std::vector<std::string> args;
        int status;
        std::string err; // part of what standard error says; empty: one line, whatever it says
    } cases[] = {
        {{missing, "0"}, 1, missing},
        {{dir.Path(), "0"}, 1, dir.Path()},
        {{fifo, "0"}, 1, fifo},
        {{"--chapters", missing}, 1, missing},
        {{"--find", "x", dir.Path()}, 1, dir.Path()},
        {{}, 2, usage},
        {{book, "1", "2"}, 2, usage},
        {{book, "one"}, 2, usage},
        {{book, "1x"}, 2, usage},
        {{book, ""}, 2, usage},
        {{book, "99999999999"}, 2, usage},
        {{"--chapters"}, 2, usage},
        {{"--chapters", book, book}, 2, usage},
        {{"--encoding", "KOI8-R", book}, 2, ""},
        {{book, "--encoding"}, 2, ""},
        {{"--find", book}, 2, usage},
        {{"--find", "", book}, 2, usage},
    };
    for (const auto& c : cases) {
        const ToolRun run = RunTool(c.args);
        SCOPED_TRACE(run.err);
        EXPECT_EQ(run.status, c.status);
        EXPECT_EQ(run.out, "");
        EXPECT_NE(run.err.find(c.err), std::string::npos);
        if (c.status == 1 || c.err.empty()) {
            EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << "not one line";
        }
    }
}

// Traditional Chinese in Big5, whose trail bytes include the ASCII letters, read in the code page
// VESKA_CODEPAGE names: every page joins to the text.
TEST(VeskaPagesTest, EveryPageOfABookInTheCodePageVeskaCodepageNames) {
    TempDir dir;
    const std::string text =
        test_books::Repeated("這是一個關於小鎮的故事。每天早上，麵包店的香味飄滿了整條街，"
                             "孩子們背著書包走過石橋，老人們在樹下下棋、聊天。\n",
                             40000);
    const std::string path = dir.Write("big5.txt", Encode(text, "BIG5"));
    const Env big5{{"VESKA_CODEPAGE", "BIG5"}};
    const std::string summary = RunTool({path}, big5).out;
    const int pages = std::stoi(summary.substr(summary.find("pages ") + 6));
    std::string joined;
    for (int k = 0; k < pages; ++k) {
        joined += RunTool({path, std::to_string(k)}, big5).out;
    }
    using test_books::WithoutLineBreaks, test_books::Wide;
    EXPECT_EQ(WithoutLineBreaks(Wide(joined)), WithoutLineBreaks(Wide(text)));
}

// What OpenCC's own tool makes of the text with the configuration.
std::string OpenCC(const TempDir& dir, const std::string& text, const std::string& config) {
    const std::string in = dir.Write("opencc-in.txt", text);
    const std::string out = dir.File("opencc-out.txt");
    const std::string command = "opencc -c " + config + " -i '" + in + "' -o '" + out + "'";
    EXPECT_EQ(std::system(command.c_str()), 0) << command
                                               << " (scripts/install-deps --test "
                                                  "installs opencc)";
    return dir.Read("opencc-out.txt");
}

// Pages of a Big5 book in Simplified and of a GB18030 book in the Traditional scripts are what
// OpenCC's tool gives for the same page, and a phrase typed in the other script is found in
// both: every 山雨欲來 in the Big5 book for 山雨欲来.
TEST(VeskaPagesTest, ScriptsAreOpenCCsAndFindWorksAcrossThem) {
    TempDir dir;
    const std::string traditional = test_books::Repeated(
        "山雨欲來風滿樓，他的頭髮亂了。\n" + test_books::kTraditionalProse, 30000);
    const std::string simplified = test_books::Repeated(
        "山雨欲来风满楼，他的头发乱了，鼠标和软件都在理发店里。\n" + test_books::kChineseProse,
        30000);
    const struct {
        std::string path;
        std::vector<std::pair<std::string, std::string>> scripts; // option, OpenCC configuration
        std::string typed, spelled;
        std::size_t count;
    } books[] = {
        {dir.Write("big5.txt", Encode(traditional, "BIG5")),
         {{"s", "t2s.json"}},
         "山雨欲来",
         "山雨欲來",
         CountOfLines(traditional, "山雨欲來")},
        {dir.Write("gb.txt", Encode(simplified, "GB18030")),
         {{"t", "s2t.json"}, {"tw", "s2twp.json"}, {"hk", "s2hk.json"}},
         "山雨欲來",
         "山雨欲来",
         CountOfLines(simplified, "山雨欲来")},
    };
    for (const auto& book : books) {
        SCOPED_TRACE(book.path);
        const std::string summary = RunTool({book.path}).out;
        const int pages = std::stoi(summary.substr(summary.find("pages ") + 6));
        ASSERT_GE(pages, 3);
        for (const int page : {0, pages / 2, pages - 1}) {
            const std::string shown = RunTool({book.path, std::to_string(page)}).out;
            for (const auto& [option, config] : book.scripts) {
                SCOPED_TRACE(option + " " + std::to_string(page));
                const ToolRun converted =
                    RunTool({"--script", option, book.path, std::to_string(page)});
                EXPECT_EQ(converted.status, 0);
                EXPECT_EQ(converted.err, "");
                EXPECT_NE(converted.out, shown);
                EXPECT_EQ(converted.out, OpenCC(dir, shown, config));
            }
        }
        const ToolRun found = RunTool({"--find", book.typed, book.path});
        EXPECT_EQ(found.status, 0);
        EXPECT_EQ(found.out, RunTool({"--find", book.spelled, book.path}).out);
        EXPECT_EQ(CountOfLines(found.out, book.spelled), book.count);
        EXPECT_GT(book.count, 10u);
    }
    // Listed lines are converted too; an unknown script is wrong usage.
    const ToolRun lines = RunTool({"--script=s", "--find", "頭髮", books[0].path});
    EXPECT_EQ(lines.out.substr(0, lines.out.find('\n')), "0\t山雨欲来风满楼，他的头发乱了。");
    const ToolRun unknown = RunTool({"--script", "x", books[0].path, "0"});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_EQ(unknown.out, "");
    EXPECT_NE(unknown.err.find("unknown script"), std::string::npos);
}

} // namespace
