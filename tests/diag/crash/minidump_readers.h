#pragma once

// Two independent minidump readers: Breakpad's minidump_stackwalk (with symbol files made by its
// dump_syms) and lldb. Each returns the reader's text output.

#include <filesystem>
#include <optional>
#include <string>

class MinidumpReaders {
public:
    // Empty when both readers are there; otherwise each missing tool and how to get it.
    static std::string MissingTools();

    static std::string Stackwalk(const std::filesystem::path& dump);
    static std::string Lldb(const std::filesystem::path& dump);
    // Breakpad's stream-by-stream listing (minidump_dump).
    static std::string StreamListing(const std::filesystem::path& dump);

    // From minidump_stackwalk's text: the crash reason line's value, the crash address and the
    // crashing thread's first frame's instruction pointer.
    static std::string BreakpadCrashReason(const std::string& text);
    static std::optional<unsigned long long> BreakpadCrashAddress(const std::string& text);
    static std::optional<unsigned long long> BreakpadInstructionPointer(const std::string& text);
    // From lldb's text: the value of "register read rip".
    static std::optional<unsigned long long> LldbInstructionPointer(const std::string& text);

private:
    static void PrepareSymbols();
};
