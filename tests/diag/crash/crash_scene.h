#pragma once

// Runs crash_child in a scratch folder laid out the way the crash handler expects
// (base/work is the current directory, base/logs takes "../logs/dump.log") and collects what the
// crash left behind.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

// The children's time zone, 5 h 45 min east of UTC: a name in UTC or off by whole hours fails.
inline constexpr char kChildTimeZone[] = "TZ=VSK-5:45";
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

// The dump is named after CLOCK_REALTIME; time() lags it by up to a tick.
inline time_t RealtimeSeconds() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return now.tv_sec;
}

struct ChildResult {
    int exitStatus = -1; // -1 when the child did not exit normally
    int termSignal = 0;
    time_t started = 0, ended = 0;
    std::string standardError;
};

class CrashScene {
public:
    explicit CrashScene(bool withLogsFolder = true) {
        std::string pattern = (fs::temp_directory_path() / "veska-crash-XXXXXX").string();
        m_base = mkdtemp(pattern.data());
        m_work = m_base / "work";
        fs::create_directory(m_work);
        if (withLogsFolder)
            fs::create_directory(m_base / "logs");
    }
    ~CrashScene() {
        std::error_code ignored;
        fs::permissions(m_work, fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(m_base, ignored);
    }
    CrashScene(const CrashScene&) = delete;

    const fs::path& Base() const { return m_base; }
    const fs::path& Work() const { return m_work; }

    // A stand-in dump client that records its arguments, each ended by a zero byte.
    void AddDumpClient() const {
        std::ofstream(m_work / "DumpClient.exe")
            << "#!/bin/sh\nprintf '%s\\0' \"$@\" > ../client.tmp && mv ../client.tmp "
               "../client-args\n";
        fs::permissions(m_work / "DumpClient.exe", fs::perms::owner_all);
    }
    void WriteWorkFile(const std::string& name, const std::string& bytes) const {
        std::ofstream(m_work / name, std::ios::binary) << bytes;
    }

    // Runs crash_child with the arguments in the work folder and waits for it. With
    // `killWhenReady`, sends it SIGSEGV once it reports that it is waiting. With
    // `unwritableWork`, the work folder cannot take new files while the child runs.
    ChildResult Run(const std::vector<std::string>& arguments, bool killWhenReady = false,
                    bool unwritableWork = false) const {
        std::string script = "cd " + Quote(m_work.string()) + " || exit 120\n";
        // Permissions do not bind root: a folder that no longer exists takes no files either.
        if (unwritableWork) {
            fs::permissions(m_work, fs::perms::owner_read | fs::perms::owner_exec);
            script += "[ \"$(id -u)\" != 0 ] || rmdir \"$PWD\" || exit 121\n";
        }
        script += std::string("export ") + kChildTimeZone + "\n" + (killWhenReady ? "" : "exec ") +
                  Quote(CRASH_CHILD_PATH);
        for (const std::string& argument : arguments)
            script += " " + Quote(argument);
        script += " > ../child.out 2> ../child.err";
        if (killWhenReady)
            script += " &\nfor i in $(seq 1000); do grep -q ready ../child.out && break; "
                      "sleep 0.01; done\nkill -SEGV $!; wait $!";
        ChildResult result;
        result.started = RealtimeSeconds();
        const int status = std::system(("sh -c " + Quote(script)).c_str());
        result.ended = RealtimeSeconds();
        result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        result.termSignal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
        result.standardError = ReadFile(m_base / "child.err");
        if (unwritableWork) {
            std::error_code ignored;
            fs::create_directory(m_work, ignored);
            fs::permissions(m_work, fs::perms::owner_all, fs::perm_options::add, ignored);
        }
        return result;
    }

    // Names of the files in the work folder that look like dumps.
    std::vector<std::string> DumpFiles() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(m_work)) {
            const std::string name = entry.path().filename().string();
            if (name.rfind("Dump-", 0) == 0 || name.find(".dmp") != std::string::npos)
                names.push_back(name);
        }
        return names;
    }
    std::string DumpLog() const { return ReadFile(m_base / "logs" / "dump.log"); }
    // The dump client's arguments (without the program name), once it has run.
    std::optional<std::vector<std::string>> ClientArguments(int waitMilliseconds) const {
        const fs::path record = m_base / "client-args";
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMilliseconds);
        while (!fs::exists(record)) {
            if (std::chrono::steady_clock::now() > deadline)
                return std::nullopt;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        std::vector<std::string> arguments;
        std::istringstream bytes(ReadFile(record));
        for (std::string argument; std::getline(bytes, argument, '\0');)
            arguments.push_back(argument);
        return arguments;
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
