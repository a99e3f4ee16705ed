// veska-pages run as a child process, the way a user runs it.
#include "tests/text/test_books.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
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

std::string WithoutLineBreaks(std::string text) {
    std::erase_if(text, [](char c) { return c == '\r' || c == '\n'; });
    return text;
}

// Every page of a book through veska-pages, joined.
std::string JoinedPages(const std::string& path,
                        const std::map<std::string, std::string>& env = {}) {
    const ToolRun summary = RunTool({path}, env);
    const auto at = summary.out.find("pages ");
    if (summary.status != 0 || at == std::string::npos) {
        ADD_FAILURE() << summary.err;
        return {};
    }
    const int pages = std::stoi(summary.out.substr(at + 6));
    std::string joined;
    for (int k = 0; k < pages; ++k) {
        joined += RunTool({path, std::to_string(k)}, env).out;
    }
    return joined;
}

TEST(VeskaPagesTest, SummaryIsTheEncodingAndThePageCount) {
    TempDir dir;
    const std::string prose = test_books::RepeatedProse(20000);
    const std::pair<std::string, std::string> books[] = {
        {Encode(prose, "GB18030"), "ENCODING_ANSI"},
        {"\xFE\xFF" + Encode(prose, "UTF-16BE"), "ENCODING_UTF16BE"},
        {"", "ENCODING_ANSI"},
    };
    for (const auto& [bytes, encoding] : books) {
        const ToolRun run = RunTool({dir.Write("book.txt", bytes)});
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.out, "encoding " + encoding + "\npages " +
                               std::to_string((bytes.size() + 4091) / 4092) + "\n");
        EXPECT_EQ(run.err, "");
    }
}

TEST(VeskaPagesTest, PageIsWrittenAsUtf8AndNothingElse) {
    TempDir dir;
    std::string bytes(10000, '0');
    for (std::size_t i = 100; i < bytes.size(); i += 100) {
        bytes[i] = '\n';
    }
    const std::string path = dir.Write("lines.txt", bytes);
    std::string page1;
    for (char c : bytes.substr(4000, 4100)) {
        page1 += c == '\n' ? std::string("\r\n") : std::string(1, c);
    }
    EXPECT_EQ(RunTool({path, "1"}).out, page1);
    EXPECT_EQ(RunTool({path, "99"}).out, RunTool({path, "2"}).out); // past the end: last page
    EXPECT_EQ(RunTool({path, "-5"}).out, RunTool({path, "0"}).out);
    const std::string gb = dir.Write("gb.txt", Encode("第一章\n", "GB18030"));
    EXPECT_EQ(RunTool({gb, "0"}).out, "第一章\r\n");
    // The empty line between LF-only paragraphs stays.
    EXPECT_EQ(RunTool({dir.Write("blank.txt", "甲\n\n乙\n"), "0"}).out, "甲\r\n\r\n乙\r\n");
}

TEST(VeskaPagesTest, BookThatCannotBeOpenedExitsWith1) {
    TempDir dir;
    const std::string fifo = dir.Path() + "/fifo.txt";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& path : {dir.Path() + "/missing.txt", dir.Path(), fifo}) {
        const ToolRun run = RunTool({path, "0"});
        EXPECT_EQ(run.status, 1) << path;
        EXPECT_EQ(run.out, "");
        EXPECT_NE(run.err.find(path), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << "one line: " << run.err;
    }
}

TEST(VeskaPagesTest, WrongUsageExitsWith2) {
    TempDir dir;
    const std::string path = dir.Write("book.txt", "text");
    const std::vector<std::string> wrong[] = {
        {}, {path, "1", "2"}, {path, "one"}, {path, "1x"}, {path, ""}, {path, "99999999999"},
    };
    for (const auto& args : wrong) {
        const ToolRun run = RunTool(args);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.out, "");
        EXPECT_NE(run.err.find("usage: veska-pages BOOK [PAGE]"), std::string::npos);
    }
}

TEST(VeskaPagesTest, CodePageCanBeChosenWithVeskaCodepage) {
    TempDir dir;
    // Traditional Chinese in Big5, whose trail bytes include the ASCII letters.
    std::string text;
    while (text.size() < 40000) {
        text += "這是一個關於小鎮的故事。每天早上，麵包店的香味飄滿了整條街，"
                "孩子們背著書包走過石橋，老人們在樹下下棋、聊天。\n";
    }
    const std::string path = dir.Write("big5.txt", Encode(text, "BIG5"));
    EXPECT_EQ(WithoutLineBreaks(JoinedPages(path, {{"VESKA_CODEPAGE", "BIG5"}})),
              WithoutLineBreaks(text));

    const std::string gb = dir.Write("gb.txt", Encode("简体中文的书", "GB18030"));
    const ToolRun unknown = RunTool({gb, "0"}, {{"VESKA_CODEPAGE", "NO-SUCH-PAGE"}});
    EXPECT_EQ(unknown.status, 0);
    EXPECT_EQ(unknown.out, "简体中文的书"); // GB18030 stands in
    EXPECT_NE(unknown.err.find("NO-SUCH-PAGE"), std::string::npos) << unknown.err;
}

TEST(VeskaPagesTest, OpeningABookIsLoggedWhenVeskaLogAsks) {
    TempDir dir;
    const std::string book = dir.Write("book.txt", "text");
    const std::string log = dir.Path() + "/veska.log";
    EXPECT_EQ(RunTool({book}, {{"VESKA_LOG", log}}).status, 0);
    EXPECT_EQ(RunTool({book, "0"}, {{"VESKA_LOG", log}}).status, 0);
    const std::string line = "Info: CResourceData::OpenTxt \n";
    std::ifstream in(log, std::ios::binary);
    const std::string logged((std::istreambuf_iterator<char>(in)),
                             std::istreambuf_iterator<char>());
    EXPECT_EQ(logged, line + line); // appended, one line per opening

    const ToolRun console = RunTool({book, "0"}, {{"VESKA_LOG", "-"}});
    EXPECT_EQ(console.err, line); // a pipe, not a terminal: no colours
    EXPECT_EQ(console.out, "text");
}

} // namespace
