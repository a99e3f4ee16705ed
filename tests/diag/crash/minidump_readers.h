#pragma once

// Two independent minidump readers: Breakpad's minidump_stackwalk (with symbol files made by its
// dump_syms) and lldb. Each returns the reader's text output.

#include "crash_scene.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <link.h>
#include <optional>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace minidump {

namespace fs = std::filesystem;

inline const fs::path kToolsDir = MINIDUMP_TOOLS_DIR;
inline const fs::path kSymbolDir = SYMBOL_CACHE_DIR;
inline const std::string kLldb = LLDB_PATH;

inline std::string Quote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    return quoted + "'";
}

inline std::string Capture(const std::string& command) {
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return output;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        output.append(buffer, n);
    pclose(pipe);
    return output;
}

inline std::optional<unsigned long long> FindHex(const std::string& text,
                                                 const std::regex& pattern) {
    std::smatch match;
    if (!std::regex_search(text, match, pattern))
        return std::nullopt;
    return std::stoull(match[1].str(), nullptr, 16);
}

// Symbol files go to <dir>/<module>/<id>/<module>.sym, where minidump_stackwalk looks for them.
// A stamp per binary (path, size, time) spares running dump_syms again in the next test.
inline void AddSymbols(const fs::path& binary) {
    struct stat info {};
    if (stat(binary.c_str(), &info) != 0)
        return;
    std::string stampName = binary.string() + "-" + std::to_string(info.st_size) + "-" +
                            std::to_string(info.st_mtim.tv_sec) + "-" +
                            std::to_string(info.st_mtim.tv_nsec);
    for (char& c : stampName) {
        if (c == '/')
            c = '_';
    }
    fs::path stamp = kSymbolDir / "stamps" / stampName;
    if (fs::exists(stamp))
        return;
    fs::create_directories(stamp.parent_path());
    fs::path temporary = kSymbolDir / ("tmp-" + std::to_string(getpid()) + ".sym");
    std::system(((kToolsDir / "dump_syms").string() + " " + Quote(binary.string()) + " > " +
                 Quote(temporary.string()) + " 2>/dev/null")
                    .c_str());
    std::istringstream firstLine(ReadFile(temporary));
    std::string word, os, cpu, id, name;
    firstLine >> word >> os >> cpu >> id >> name;
    if (word != "MODULE" || name.empty()) {
        fs::remove(temporary);
        return;
    }
    // The walker looks symbols up by the mapped file's name, which for a library may differ from
    // the name dump_syms takes from its SONAME.
    name = binary.filename().string();
    fs::path target = kSymbolDir / name / id / (name + ".sym");
    fs::create_directories(target.parent_path());
    fs::rename(temporary, target); // atomic: tests running side by side never see half a file
    FILE* created = fopen(stamp.c_str(), "w");
    if (created != nullptr)
        fclose(created);
}

// Empty when both readers are there; otherwise each missing tool and how to get it.
inline std::string MissingTools() {
    std::string tools;
    for (const char* tool : {"minidump_stackwalk", "dump_syms", "minidump_dump"}) {
        if (access((kToolsDir / tool).c_str(), X_OK) != 0)
            tools += std::string(tools.empty() ? "" : ", ") + tool;
    }
    std::string missing;
    if (!tools.empty())
        missing = "missing " + tools + " in " + kToolsDir.string() +
                  " (scripts/install-deps --test installs the npm package \"minidump\"). ";
    if (kLldb.empty() || access(kLldb.c_str(), X_OK) != 0)
        missing += "missing lldb (scripts/install-deps --test installs it). ";
    return missing;
}
inline void PrepareSymbols() {
    // The child's own code, and the system libraries it runs through (the same ones this test
    // program has loaded), whose unwind tables let the walk pass abort() and std::terminate.
    AddSymbols(CRASH_CHILD_PATH);
    std::set<std::string> libraries;
    dl_iterate_phdr(
        [](struct dl_phdr_info* info, size_t, void* data) {
            if (info->dlpi_name != nullptr && info->dlpi_name[0] == '/') {
                char real[PATH_MAX];
                if (realpath(info->dlpi_name, real) != nullptr)
                    static_cast<std::set<std::string>*>(data)->insert(real);
            }
            return 0;
        },
        &libraries);
    for (const auto& library : libraries)
        AddSymbols(library);
}

inline std::string Stackwalk(const std::filesystem::path& dump) {
    PrepareSymbols();
    return Capture((kToolsDir / "minidump_stackwalk").string() + " " + Quote(dump.string()) + " " +
                   Quote(kSymbolDir.string()) + " 2>/dev/null");
}
inline std::string Lldb(const std::filesystem::path& dump) {
    return Capture(kLldb + " --no-lldbinit --batch -o " +
                   Quote("target create --core " + Quote(dump.string())) +
                   " -o 'thread backtrace -c 16' -o 'register read rip' 2>&1");
}
// Breakpad's stream-by-stream listing (minidump_dump).
inline std::string StreamListing(const std::filesystem::path& dump) {
    return Capture((kToolsDir / "minidump_dump").string() + " " + Quote(dump.string()) +
                   " 2>/dev/null");
}
// From minidump_stackwalk's text: the crash reason line's value, the crash address and the
// crashing thread's first frame's instruction pointer.
inline std::string BreakpadCrashReason(const std::string& text) {
    std::smatch match;
    static const std::regex pattern("Crash reason: +([^\\n]*)");
    return std::regex_search(text, match, pattern) ? match[1].str() : std::string();
}
inline std::optional<unsigned long long> BreakpadCrashAddress(const std::string& text) {
    static const std::regex pattern("Crash address: 0x([0-9a-f]+)");
    return FindHex(text, pattern);
}
inline std::optional<unsigned long long> BreakpadInstructionPointer(const std::string& text) {
    // The crashing thread's frame 0 lists the registers; rip is among them.
    size_t thread = text.find("(crashed)");
    if (thread == std::string::npos)
        return std::nullopt;
    static const std::regex pattern("rip = 0x([0-9a-f]+)");
    return FindHex(text.substr(thread), pattern);
}
// From lldb's text: the value of "register read rip".
inline std::optional<unsigned long long> LldbInstructionPointer(const std::string& text) {
    static const std::regex pattern("\\brip = 0x([0-9a-f]+)");
    return FindHex(text, pattern);
}

} // namespace minidump
