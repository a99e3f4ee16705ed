#pragma once

// Runs crash_child in a scratch folder laid out the way the crash handler expects
// (base/work is the current directory, base/logs takes "../logs/dump.log"), collects what the
// crash left behind and opens the dump in two independent readers: Breakpad's
// minidump_stackwalk and lldb.

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

// The children's time zone, 5 h 45 min east of UTC: a name in UTC or off by whole hours fails.
inline constexpr char kChildTimeZone[] = "VSK-5:45";
inline constexpr long kChildUtcOffset = 5 * 3600 + 45 * 60;

inline std::string Quote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

inline std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

struct ChildResult {
    int exitStatus = -1; // -1 when the child did not exit normally
    time_t started = 0, ended = 0;
    std::string standardError;
};

class CrashScene {
public:
    CrashScene() {
        std::string pattern = (fs::temp_directory_path() / "veska-crash-XXXXXX").string();
        m_base = mkdtemp(pattern.data());
        m_work = m_base / "work";
        fs::create_directory(m_work);
        fs::create_directory(m_base / "logs");
    }
    ~CrashScene() {
        std::error_code ignored;
        fs::permissions(m_work, fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(m_base, ignored);
    }
    CrashScene(const CrashScene&) = delete;

    const fs::path& Work() const { return m_work; }

    // A stand-in dump client that records its arguments, each ended by a zero byte.
    void AddDumpClient() const {
        std::ofstream(m_work / "DumpClient.exe")
            << "#!/bin/sh\nprintf '%s\\0' \"$@\" > ../client.tmp && mv ../client.tmp "
               "../client-args\n";
        fs::permissions(m_work / "DumpClient.exe", fs::perms::owner_all);
    }

    // Runs crash_child with the arguments in the work folder and waits for it. With
    // `unwritableWork`, the work folder cannot take new files while the child runs (permissions
    // do not bind root: for root the folder is removed instead).
    ChildResult Run(std::vector<std::string> arguments, bool unwritableWork = false) const {
        if (unwritableWork)
            fs::permissions(m_work, fs::perms::owner_read | fs::perms::owner_exec);
        arguments.insert(arguments.begin(), CRASH_CHILD_PATH);
        std::vector<char*> argv;
        for (std::string& argument : arguments)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        ChildResult result;
        result.started = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
        const pid_t pid = fork();
        if (pid == 0) {
            const int err = open((m_base / "child.err").c_str(), O_WRONLY | O_CREAT, 0600);
            if (chdir(m_work.c_str()) != 0 || dup2(err, STDERR_FILENO) < 0 ||
                (unwritableWork && getuid() == 0 && rmdir(m_work.c_str()) != 0))
                _exit(120);
            setenv("TZ", kChildTimeZone, 1);
            execv(argv[0], argv.data());
            _exit(127);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        result.ended = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
        result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        result.standardError = ReadFile(m_base / "child.err");
        std::error_code ignored;
        fs::create_directory(m_work, ignored);
        fs::permissions(m_work, fs::perms::owner_all, fs::perm_options::add, ignored);
        return result;
    }

    // The files the crash added to the work folder.
    std::vector<std::string> DumpFiles() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(m_work)) {
            const std::string name = entry.path().filename().string();
            if (name != "DumpClient.exe" && name != "userid.txt")
                names.push_back(name);
        }
        return names;
    }
    std::string DumpLog() const { return ReadFile(m_base / "logs" / "dump.log"); }
    // The dump client's arguments (without the program name), once it has run (or after 10 s).
    std::vector<std::string> ClientArguments() const {
        const fs::path record = m_base / "client-args";
        for (int wait = 0; wait < 1000 && !fs::exists(record); ++wait)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::vector<std::string> arguments;
        std::istringstream bytes(ReadFile(record));
        for (std::string argument; std::getline(bytes, argument, '\0');)
            arguments.push_back(argument);
        return arguments;
    }
    // What a reader of the dump writes to its standard output.
    std::string Read(const std::string& command) const {
        std::system(("(" + command + ") > " + Quote((m_base / "reader.out").string())).c_str());
        return ReadFile(m_base / "reader.out");
    }

private:
    fs::path m_base, m_work;
};

// The dump names local time allows for a crash between `started` and `ended`, with index 0.
inline std::vector<std::string> ExpectedDumpNames(time_t started, time_t ended) {
    std::vector<std::string> names;
    for (time_t t = started; t <= ended; ++t) {
        const time_t local = t + kChildUtcOffset;
        struct tm parts {};
        gmtime_r(&local, &parts);
        char name[64];
        strftime(name, sizeof name, "Dump-%Y-%m-%d-%H-%M-%S-0.dmp", &parts);
        names.push_back(name);
    }
    return names;
}
