#pragma once

// Runs crash_child in a scratch folder laid out the way the crash handler expects
// (base/work is the current directory, base/logs takes "../logs/dump.log") and collects what the
// crash left behind.

#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// The time zone of every child: 5 h 45 min east of UTC, so a name in UTC or with a whole-hour
// error cannot pass for local time.
inline constexpr char kChildTimeZone[] = "VSK-5:45";
inline constexpr long kChildUtcOffset = 5 * 3600 + 45 * 60;

struct ChildResult {
    int exitStatus = -1; // -1 when the child did not exit normally
    int termSignal = 0;
    time_t started = 0;
    time_t ended = 0;
    std::string standardError;
};

class CrashScene {
public:
    explicit CrashScene(bool withLogsFolder = true);
    ~CrashScene();
    CrashScene(const CrashScene&) = delete;
    CrashScene& operator=(const CrashScene&) = delete;

    const std::filesystem::path& Base() const { return m_base; }
    const std::filesystem::path& Work() const { return m_work; }

    // A stand-in dump client that records its arguments, each ended by a zero byte.
    void AddDumpClient() const;
    void WriteWorkFile(const std::string& name, const std::string& bytes) const;

    // Runs crash_child with the arguments in the work folder and waits for it. With
    // `killWhenReady`, sends it SIGSEGV once it reports that it is waiting. With
    // `unwritableWork`, the work folder cannot take new files while the child runs.
    ChildResult Run(const std::vector<std::string>& arguments, bool killWhenReady = false,
                    bool unwritableWork = false) const;

    // Names of the files in the work folder that look like dumps.
    std::vector<std::string> DumpFiles() const;
    std::optional<std::string> DumpLog() const;
    // The dump client's arguments (without the program name), once it has run.
    std::optional<std::vector<std::string>> ClientArguments(int waitMilliseconds) const;

private:
    std::filesystem::path m_base;
    std::filesystem::path m_work;
};

// The dump names local time allows for a crash between `started` and `ended`, with index 0.
std::vector<std::string> ExpectedDumpNames(time_t started, time_t ended);
std::string ReadFile(const std::filesystem::path& path);
