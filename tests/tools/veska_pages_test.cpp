// veska-pages run as a child process, the way a user runs it.
#include "tests/text/test_books.h"

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

struct ToolRun {
    int status = -1; // exit status
    std::string out;
    std::string err;
};

std::string ReadAll(int fd) {
    std::string bytes;
    char buffer[65536];
    ssize_t n;
    while ((n = read(fd, buffer, sizeof(buffer))) > 0) {
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
    close(fd);
    return bytes;
}

// Runs veska-pages with these arguments and these variables added to the environment.
ToolRun RunTool(const std::vector<std::string>& args,
                const std::map<std::string, std::string>& env = {}) {
    std::vector<char*> argv{const_cast<char*>(VESKA_PAGES)};
    for (const auto& a : args) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    int out[2];
    int err[2];
    if (pipe(out) != 0 || pipe(err) != 0) {
        ADD_FAILURE() << "pipe failed";
        return {};
    }
    const pid_t pid = fork();
    if (pid == 0) { // the test runs on one thread, so the child may use setenv
        for (const auto& [name, value] : env) {
            setenv(name.c_str(), value.c_str(), 1);
        }
        dup2(out[1], STDOUT_FILENO);
        dup2(err[1], STDERR_FILENO);
        close(out[0]);
        close(err[0]);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(out[1]);
    close(err[1]);
    ToolRun run;
    run.out = ReadAll(out[0]); // outputs are small enough for the pipes to hold stderr meanwhile
    run.err = ReadAll(err[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
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
}

// A page goes out as UTF-8 with CR LF line ends and nothing else; a page number past either end
// gives the first or last page.
TEST(VeskaPagesTest, PageIsWrittenAsUtf8AndNothingElse) {
    TempDir dir;
    // The empty line between LF-only paragraphs stays.
    const std::string gb = dir.Write("gb.txt", Encode("第一章\n\n乙\n", "GB18030"));
    EXPECT_EQ(RunTool({gb, "0"}).out, "第一章\r\n\r\n乙\r\n");
    const std::string path =
        dir.Write("three.txt", std::string(4092, 'a') + std::string(4092, 'b') + "c");
    EXPECT_EQ(RunTool({path, "1"}).out, std::string(4092, 'b'));
    EXPECT_EQ(RunTool({path, "99"}).out, "c");
    EXPECT_EQ(RunTool({path, "-5"}).out, std::string(4092, 'a'));
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
    EXPECT_EQ(RunTool({big5, "1", "--encoding", "GB18030"}).out,
              RunTool({"--encoding", "GB18030", big5, "1"}).out);
    EXPECT_NE(RunTool({big5, "1", "--encoding", "GB18030"}).out, RunTool({big5, "1"}).out);
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
// VESKA_CODEPAGE names: every page joins to the text. An unknown name is reported and GB18030
// stands in.
TEST(VeskaPagesTest, CodePageCanBeChosenWithVeskaCodepage) {
    TempDir dir;
    std::string text;
    while (text.size() < 40000) {
        text += "這是一個關於小鎮的故事。每天早上，麵包店的香味飄滿了整條街，"
                "孩子們背著書包走過石橋，老人們在樹下下棋、聊天。\n";
    }
    const std::string path = dir.Write("big5.txt", Encode(text, "BIG5"));
    const std::map<std::string, std::string> big5{{"VESKA_CODEPAGE", "BIG5"}};
    const ToolRun summary = RunTool({path}, big5);
    ASSERT_NE(summary.out.find("\ncodepage BIG5\n"), std::string::npos) << summary.out;
    const int pages = std::stoi(summary.out.substr(summary.out.find("pages ") + 6));
    std::string joined;
    for (int k = 0; k < pages; ++k) {
        joined += RunTool({path, std::to_string(k)}, big5).out;
    }
    const auto withoutLineBreaks = [](std::string lines) {
        std::erase_if(lines, [](char c) { return c == '\r' || c == '\n'; });
        return lines;
    };
    EXPECT_EQ(withoutLineBreaks(joined), withoutLineBreaks(text));

    const std::string gb = dir.Write("gb.txt", Encode("简体中文的书", "GB18030"));
    const ToolRun unknown = RunTool({gb, "0"}, {{"VESKA_CODEPAGE", "NO-SUCH-PAGE"}});
    EXPECT_EQ(unknown.status, 0);
    EXPECT_EQ(unknown.out, "简体中文的书");
    EXPECT_NE(unknown.err.find("NO-SUCH-PAGE"), std::string::npos) << unknown.err;
}

TEST(VeskaPagesTest, OpeningABookIsLoggedWhenVeskaLogAsks) {
    TempDir dir;
    const std::string book = dir.Write("book.txt", "text");
    const std::string log = dir.File("veska.log");
    EXPECT_EQ(RunTool({book}, {{"VESKA_LOG", log}}).status, 0);
    EXPECT_EQ(RunTool({book, "0"}, {{"VESKA_LOG", log}}).status, 0);
    const std::string line = "Info: CResourceData::OpenTxt \n";
    EXPECT_EQ(dir.Read("veska.log"), line + line); // appended, one line per opening

    const ToolRun console = RunTool({book, "0"}, {{"VESKA_LOG", "-"}});
    EXPECT_EQ(console.err, line); // a pipe, not a terminal: no colours
    EXPECT_EQ(console.out, "text");
}

TEST(VeskaPagesTest, ChaptersAndFindPrintPageTabLine) {
    TempDir dir;
    const std::string text = "　　第一章 故人重逢\r\n一个形字在中文里\r\n" +
                             test_books::RepeatedProse(9000) + "\r\n番外 小城\r\n";
    const std::string book = dir.Write("novel.txt", Encode(text, "GB18030"));
    const ToolRun chapters = RunTool({"--chapters", book});
    EXPECT_EQ(chapters.status, 0);
    EXPECT_EQ(chapters.out, "0\t第一章 故人重逢\n1\t番外 小城\n");
    const ToolRun found = RunTool({"--find", "形", book});
    EXPECT_EQ(found.status, 0);
    EXPECT_EQ(found.out, "0\t一个形字在中文里\n");
    const ToolRun none = RunTool({"--find", "nowhere", book});
    EXPECT_EQ(none.status, 0);
    EXPECT_EQ(none.out, "");
}

} // namespace
