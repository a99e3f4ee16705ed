#pragma once

// Two independent minidump readers: Breakpad's minidump_stackwalk (with symbol files made by its
// dump_syms) and lldb. Each returns the reader's text output.

#include "crash_scene.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <link.h>
#include <optional>
#include <regex>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace minidump {

inline const fs::path kToolsDir = MINIDUMP_TOOLS_DIR;
inline const fs::path kSymbolDir = SYMBOL_CACHE_DIR;
inline const std::string kLldb = LLDB_PATH;

inline std::string Capture(const std::string& command) {
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
            output.append(buffer, n);
        pclose(pipe);
    }
    return output;
}

// The first group of `pattern` in `text`, read as hexadecimal.
inline std::optional<unsigned long long> FindHex(const std::string& text, const char* pattern) {
    std::smatch match;
    if (!std::regex_search(text, match, std::regex(pattern)))
        return std::nullopt;
    return std::stoull(match[1].str(), nullptr, 16);
}

// Symbol files go to <dir>/<file name>/<id>/<file name>.sym, where minidump_stackwalk looks for
// them (by the mapped file's name, not the SONAME dump_syms writes). A stamp per binary (path,
// size, time) spares running dump_syms again in the next test.
inline void AddSymbols(const fs::path& binary) {
    struct stat info {};
    if (stat(binary.c_str(), &info) != 0)
        return;
    std::string stampName = binary.string() + "-" + std::to_string(info.st_size) + "-" +
                            std::to_string(info.st_mtim.tv_sec) + "-" +
                            std::to_string(info.st_mtim.tv_nsec);
    std::replace(stampName.begin(), stampName.end(), '/', '_');
    const fs::path stamp = kSymbolDir / "stamps" / stampName;
    if (fs::exists(stamp))
        return;
    fs::create_directories(stamp.parent_path());
    const fs::path temporary = kSymbolDir / ("tmp-" + std::to_string(getpid()) + ".sym");
    std::system(((kToolsDir / "dump_syms").string() + " " + Quote(binary.string()) + " > " +
                 Quote(temporary.string()) + " 2>/dev/null")
                    .c_str());
    std::istringstream firstLine(ReadFile(temporary));
    std::string word, os, cpu, id;
    firstLine >> word >> os >> cpu >> id;
    if (word != "MODULE" || id.empty()) {
        fs::remove(temporary);
        return;
    }
    const std::string name = binary.filename().string();
    const fs::path target = kSymbolDir / name / id / (name + ".sym");
    fs::create_directories(target.parent_path());
    fs::rename(temporary, target); // atomic: tests running side by side never see half a file
    std::ofstream{stamp};
}

// Empty when both readers are there; otherwise each missing tool and how to get it.
inline std::string MissingTools() {
    std::string missing;
    for (const char* tool : {"minidump_stackwalk", "dump_syms", "minidump_dump"}) {
        if (access((kToolsDir / tool).c_str(), X_OK) != 0)
            missing += std::string("missing ") + tool + " in " + kToolsDir.string() + ". ";
    }
    if (kLldb.empty() || access(kLldb.c_str(), X_OK) != 0)
        missing += "missing lldb. ";
    return missing.empty() ? missing : missing + "scripts/install-deps --test installs them.";
}

// Symbols for the child's own code and for the system libraries it runs through (the same ones
// this program has loaded), whose unwind tables let the walk pass abort() and std::terminate.
inline std::string Stackwalk(const fs::path& dump) {
    AddSymbols(CRASH_CHILD_PATH);
    std::set<std::string> libraries;
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* data) {
            char real[PATH_MAX];
            if (info->dlpi_name != nullptr && info->dlpi_name[0] == '/' &&
                realpath(info->dlpi_name, real) != nullptr)
                static_cast<std::set<std::string>*>(data)->insert(real);
            return 0;
        },
        &libraries);
    for (const std::string& library : libraries)
        AddSymbols(library);
    return Capture((kToolsDir / "minidump_stackwalk").string() + " " + Quote(dump.string()) + " " +
                   Quote(kSymbolDir.string()) + " 2>/dev/null");
}
inline std::string Lldb(const fs::path& dump) {
    return Capture(kLldb + " --no-lldbinit --batch -o " +
                   Quote("target create --core " + Quote(dump.string())) +
                   " -o 'thread backtrace -c 16' -o 'register read rip' 2>&1");
}
// Breakpad's stream-by-stream listing (minidump_dump).
inline std::string StreamListing(const fs::path& dump) {
    return Capture((kToolsDir / "minidump_dump").string() + " " + Quote(dump.string()) +
                   " 2>/dev/null");
}

} // namespace minidump
