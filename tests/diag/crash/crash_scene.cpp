#include "crash_scene.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace fs = std::filesystem;

namespace {

bool WaitFor(const std::function<bool()>& condition, int milliseconds) {
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
time_t RealtimeSeconds() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return now.tv_sec;
}

} // namespace

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

CrashScene::CrashScene(bool withLogsFolder) {
    std::string pattern = (fs::temp_directory_path() / "veska-crash-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    m_base = pattern;
    m_work = m_base / "work";
    fs::create_directory(m_work);
    if (withLogsFolder)
        fs::create_directory(m_base / "logs");
}

CrashScene::~CrashScene() {
    std::error_code ignored;
    fs::permissions(m_work, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(m_base, ignored);
}

void CrashScene::AddDumpClient() const {
    fs::path client = m_work / "DumpClient.exe";
    std::ofstream(client)
        << "#!/bin/sh\n"
           "printf '%s\\0' \"$@\" > ../client.tmp && mv ../client.tmp ../client-args\n";
    fs::permissions(client, fs::perms::owner_all);
}

void CrashScene::WriteWorkFile(const std::string& name, const std::string& bytes) const {
    std::ofstream(m_work / name, std::ios::binary) << bytes;
}

ChildResult CrashScene::Run(const std::vector<std::string>& arguments, bool killWhenReady,
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

    fs::path outPath = m_base / "child.out", errPath = m_base / "child.err";
    if (unwritableWork)
        fs::permissions(m_work, fs::perms::owner_read | fs::perms::owner_exec);

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
        fs::create_directory(m_work, ignored);
        fs::permissions(m_work, fs::perms::owner_all, fs::perm_options::add, ignored);
    }
    return result;
}

std::vector<std::string> CrashScene::DumpFiles() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(m_work)) {
        std::string name = entry.path().filename().string();
        if (name.rfind("Dump-", 0) == 0 || name.find(".dmp") != std::string::npos)
            names.push_back(name);
    }
    return names;
}

std::optional<std::string> CrashScene::DumpLog() const {
    fs::path log = m_base / "logs" / "dump.log";
    if (!fs::exists(log))
        return std::nullopt;
    return ReadFile(log);
}

std::optional<std::vector<std::string>> CrashScene::ClientArguments(int waitMilliseconds) const {
    fs::path record = m_base / "client-args";
    if (!WaitFor([&] { return fs::exists(record); }, waitMilliseconds))
        return std::nullopt;
    std::string bytes = ReadFile(record);
    std::vector<std::string> arguments;
    size_t start = 0;
    for (size_t end; (end = bytes.find('\0', start)) != std::string::npos; start = end + 1)
        arguments.push_back(bytes.substr(start, end - start));
    return arguments;
}

std::vector<std::string> ExpectedDumpNames(time_t started, time_t ended) {
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
