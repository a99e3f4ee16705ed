#pragma once

// Runs crash_child in a scratch folder laid out the way the crash handler expects
// (base/work is the current directory, base/logs takes "../logs/dump.log") and collects what the
// crash left behind.

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

// The time zone of every child: 5 h 45 min east of UTC, so a name in UTC or with a whole-hour
// error cannot pass for local time.
inline constexpr char kChildTimeZone[] = "VSK-5:45";
inline constexpr long kChildUtcOffset = 5 * 3600 + 45 * 60;

inline std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline bool WaitFor(const std::function<bool()>& condition, int milliseconds) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

// The crash handler names its dump after CLOCK_REALTIME. time() reads the clock of the last
// tick, a few milliseconds behind it: a child that crashed just after a second began and ended
// within a tick would look as if it had crashed after it ended.
inline time_t RealtimeSeconds() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return now.tv_sec;
}

struct ChildResult {
    int exitStatus = -1; // -1 when the child did not exit normally
    int termSignal = 0;
    time_t started = 0;
    time_t ended = 0;
    std::string standardError;
};

class CrashScene {
public:
    explicit CrashScene(bool withLogsFolder = true) {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "veska-crash-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("mkdtemp failed");
        m_base = pattern;
        m_work = m_base / "work";
        std::filesystem::create_directory(m_work);
        if (withLogsFolder)
            std::filesystem::create_directory(m_base / "logs");
    }
    ~CrashScene() {
        std::error_code ignored;
        std::filesystem::permissions(m_work, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
        std::filesystem::remove_all(m_base, ignored);
    }
    CrashScene(const CrashScene&) = delete;
    CrashScene& operator=(const CrashScene&) = delete;

    const std::filesystem::path& Base() const { return m_base; }
    const std::filesystem::path& Work() const { return m_work; }

    // A stand-in dump client that records its arguments, each ended by a zero byte.
    void AddDumpClient() const {
        const std::filesystem::path client = m_work / "DumpClient.exe";
        std::ofstream(client)
            << "#!/bin/sh\n"
               "printf '%s\\0' \"$@\" > ../client.tmp && mv ../client.tmp ../client-args\n";
        std::filesystem::permissions(client, std::filesystem::perms::owner_all);
    }
    void WriteWorkFile(const std::string& name, const std::string& bytes) const {
        std::ofstream(m_work / name, std::ios::binary) << bytes;
    }

    // Runs crash_child with the arguments in the work folder and waits for it. With
    // `killWhenReady`, sends it SIGSEGV once it reports that it is waiting. With
    // `unwritableWork`, the work folder cannot take new files while the child runs.
    ChildResult Run(const std::vector<std::string>& arguments, bool killWhenReady = false,
                    bool unwritableWork = false) const;

    // Names of the files in the work folder that look like dumps.
    std::vector<std::string> DumpFiles() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(m_work)) {
            std::string name = entry.path().filename().string();
            if (name.rfind("Dump-", 0) == 0 || name.find(".dmp") != std::string::npos)
                names.push_back(name);
        }
        return names;
    }
    std::optional<std::string> DumpLog() const {
        const std::filesystem::path log = m_base / "logs" / "dump.log";
        if (!std::filesystem::exists(log))
            return std::nullopt;
        return ReadFile(log);
    }
    // The dump client's arguments (without the program name), once it has run.
    std::optional<std::vector<std::string>> ClientArguments(int waitMilliseconds) const {
        const std::filesystem::path record = m_base / "client-args";
        if (!WaitFor([&] { return std::filesystem::exists(record); }, waitMilliseconds))
            return std::nullopt;
        std::string bytes = ReadFile(record);
        std::vector<std::string> arguments;
        size_t start = 0;
        for (size_t end; (end = bytes.find('\0', start)) != std::string::npos; start = end + 1)
            arguments.push_back(bytes.substr(start, end - start));
        return arguments;
    }

private:
    std::filesystem::path m_base;
    std::filesystem::path m_work;
};

inline ChildResult CrashScene::Run(const std::vector<std::string>& arguments, bool killWhenReady,
                                   bool unwritableWork) const {
    std::vector<std::string> environment;
    for (char** variable = environ; *variable != nullptr; ++variable) {
        if (std::string(*variable).rfind("TZ=", 0) != 0)
            environment.emplace_back(*variable);
    }
    environment.push_back(std::string("TZ=") + kChildTimeZone);
    std::vector<char*> envp;
    for (auto& variable : environment)
        envp.push_back(variable.data());
    envp.push_back(nullptr);
    std::vector<std::string> argvStrings{CRASH_CHILD_PATH};
    argvStrings.insert(argvStrings.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& argument : argvStrings)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    std::filesystem::path outPath = m_base / "child.out", errPath = m_base / "child.err";
    if (unwritableWork)
        std::filesystem::permissions(m_work, std::filesystem::perms::owner_read |
                                                 std::filesystem::perms::owner_exec);

    ChildResult result;
    result.started = RealtimeSeconds();
    pid_t pid = fork();
    if (pid == 0) {
        int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out < 0 || err < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0 ||
            chdir(m_work.c_str()) != 0)
            _exit(120);
        // Permissions do not bind root: a folder that no longer exists takes no files either.
        if (unwritableWork && geteuid() == 0 && rmdir(m_work.c_str()) != 0)
            _exit(121);
        execve(argv[0], argv.data(), envp.data());
        _exit(122);
    }
    if (killWhenReady) {
        bool ready =
            WaitFor([&] { return ReadFile(outPath).find("ready") != std::string::npos; }, 10000);
        if (ready)
            kill(pid, SIGSEGV);
        else
            kill(pid, SIGKILL);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    result.ended = RealtimeSeconds();
    if (WIFEXITED(status))
        result.exitStatus = WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        result.termSignal = WTERMSIG(status);
    result.standardError = ReadFile(errPath);
    if (unwritableWork) {
        std::error_code ignored;
        std::filesystem::create_directory(m_work, ignored);
        std::filesystem::permissions(m_work, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
    }
    return result;
}

// The dump names local time allows for a crash between `started` and `ended`, with index 0.
inline std::vector<std::string> ExpectedDumpNames(time_t started, time_t ended) {
    std::vector<std::string> names;
    for (time_t t = started; t <= ended; ++t) {
        time_t local = t + kChildUtcOffset;
        struct tm parts {};
        gmtime_r(&local, &parts);
        char name[128];
        snprintf(name, sizeof name, "Dump-%04d-%02d-%02d-%02d-%02d-%02d-%d.dmp",
                 parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min,
                 parts.tm_sec, 0);
        names.push_back(name);
    }
    return names;
}
