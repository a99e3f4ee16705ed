#pragma once

// Two independent minidump readers: Breakpad's minidump_stackwalk (with symbol files made by its
// dump_syms) and lldb. Each returns the reader's text output.

#include "crash_scene.h"

#include <climits>
#include <cstdlib>
#include <link.h>
#include <optional>
#include <regex>
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

// Symbol files for the child's own code and for the system libraries it runs through (the same
// ones this program has loaded), whose unwind tables let the walk pass abort() and
// std::terminate. They go to <dir>/<file name>/<id>/<file name>.sym, where minidump_stackwalk
// looks for them by the mapped file's name (a library's SONAME may differ). A stamp per binary
// (path, size, time) spares running dump_syms again in the next test; each file is renamed into
// place, so tests running side by side never see half of one.
inline std::string Stackwalk(const fs::path& dump) {
    std::string binaries = Quote(CRASH_CHILD_PATH);
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* data) {
            char real[PATH_MAX];
            if (info->dlpi_name != nullptr && info->dlpi_name[0] == '/' &&
                realpath(info->dlpi_name, real) != nullptr)
                *static_cast<std::string*>(data) += " " + Quote(real);
            return 0;
        },
        &binaries);
    std::system(
        ("mkdir -p " + Quote((kSymbolDir / "stamps").string()) + " && cd " +
         Quote(kSymbolDir.string()) + " && for bin in " + binaries +
         "; do stamp=stamps/$(stat -c %n-%s-%.9Y \"$bin\" | tr / _); "
         "[ -e \"$stamp\" ] && continue; " +
         Quote((kToolsDir / "dump_syms").string()) +
         " \"$bin\" > tmp-$$.sym 2>/dev/null; set -- $(head -n 1 tmp-$$.sym); "
         "[ \"$1\" = MODULE ] || continue; name=$(basename \"$bin\"); "
         "mkdir -p \"$name/$4\" && mv tmp-$$.sym \"$name/$4/$name.sym\" && touch \"$stamp\"; "
         "done; rm -f tmp-$$.sym")
            .c_str());
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
