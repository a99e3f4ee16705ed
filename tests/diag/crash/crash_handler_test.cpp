#include "crash_scene.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>

using ::testing::ContainsRegex;
using ::testing::HasSubstr;

namespace {

const char kDumpLogLines[] = "WRITE dump FILE! \n"
                             "MiniDumpWriteDump RETURN 1\t GetLastError RETURN 0\n"
                             "CloseHandle RETURN 1\t GetLastError RETURN 0\n";

// 300 bytes, shell characters first: only the first 256 reach the client, unchanged.
std::string LongUserId() {
    std::string id = "u42 $(touch pwned) `touch pwned`; touch pwned | & > pwned\n";
    while (id.size() < 300)
        id += static_cast<char>('a' + id.size() % 26);
    return id;
}

// The first group of `pattern` in `text`, read as hexadecimal; 1 when there is none.
unsigned long long FindHex(const std::string& text, const char* pattern) {
    std::smatch match;
    return std::regex_search(text, match, std::regex(pattern))
               ? std::stoull(match[1].str(), nullptr, 16)
               : 1;
}

// One way of crashing for each way the handler is reached: a fault, a signal without a fault
// address, the runtime's hooks (terminate; running out of memory takes the same path), an
// exhausted stack, and a handler some library tried to take over.
struct CrashCase {
    const char* name;
    const char* reason; // as Breakpad shows it: a signal, or code 0 for the runtime's hooks
    // The crash address: 0 for a null-pointer write, the instruction pointer where the handler
    // had no fault address, or not checked.
    enum { kZero, kInstructionPointer, kAnyAddress } address;
    const char* functions; // in the crashing thread's frames, space-separated
};

std::ostream& operator<<(std::ostream& out, const CrashCase& crash) {
    return out << crash.name;
}

class CrashHandlerCases : public ::testing::TestWithParam<CrashCase> {
protected:
    // The readers are test tools, not part of the reader: where they are missing these cases are
    // skipped, unless the run asks for them (CI sets VESKA_REQUIRE_DUMP_TOOLS=1).
    void SetUp() override {
        std::string missing;
        for (const char* reader : {MINIDUMP_STACKWALK_PATH, LLDB_PATH}) {
            if (access(reader, X_OK) != 0)
                missing += std::string("missing \"") + reader + "\". ";
        }
        const char* required = std::getenv("VESKA_REQUIRE_DUMP_TOOLS");
        if (!missing.empty() && required != nullptr && std::string(required) == "1")
            FAIL() << missing << "scripts/install-deps --test installs them.";
        if (!missing.empty())
            GTEST_SKIP() << missing << "scripts/install-deps --test installs them.";
    }
};

// Exit status, the one dump named after the local time, the log lines, the client's arguments,
// and the dump as the two readers see it.
TEST_P(CrashHandlerCases, WritesDumpLogsStartsClientAndExits255) {
    const CrashCase& crash = GetParam();
    const std::string name = crash.name;
    CrashScene scene;
    scene.AddDumpClient();
    std::ofstream(scene.Work() / "userid.txt", std::ios::binary) << LongUserId();
    std::vector<std::string> arguments{name};
    if (name == "foreign-handler")
        arguments.push_back(FOREIGN_LIBRARY_PATH);
    const ChildResult child = scene.Run(arguments);

    EXPECT_EQ(child.exitStatus, 255) << child.standardError;
    const std::vector<std::string> dumps = scene.DumpFiles();
    ASSERT_EQ(dumps.size(), 1u);
    const auto allowed = ExpectedDumpNames(child.started, child.ended);
    EXPECT_NE(std::find(allowed.begin(), allowed.end(), dumps[0]), allowed.end())
        << dumps[0] << " is not named after the local time of the crash";
    EXPECT_EQ(scene.DumpLog(), kDumpLogLines);
    const fs::path dump = scene.Work() / dumps[0];
    EXPECT_EQ(scene.ClientArguments(),
              (std::vector<std::string>{dump.string(), LongUserId().substr(0, 256), "qorvim"}));
    EXPECT_FALSE(fs::exists(scene.Work() / "pwned")) << "the user id reached a shell";

    // Breakpad names the reason and the address and gives the registers (without symbols: lldb
    // names the functions, from the binaries' own).
    const std::string breakpad =
        scene.Read(MINIDUMP_STACKWALK_PATH " " + Quote(dump.string()) + " 2>/dev/null");
    const std::string lldb = scene.Read(LLDB_PATH " --no-lldbinit --batch -o " +
                                        Quote("target create --core " + Quote(dump.string())) +
                                        " -o 'thread backtrace -c 16' -o 'register read rip' 2>&1");
    SCOPED_TRACE("minidump_stackwalk:\n" + breakpad.substr(0, 6000) + "\nlldb:\n" + lldb);
    EXPECT_THAT(breakpad, ContainsRegex(std::string("Crash reason: +") + crash.reason));
    // Both readers find the same instruction pointer in the crashing thread's context.
    const std::size_t crashed = breakpad.find("(crashed)");
    ASSERT_NE(crashed, std::string::npos);
    const auto ip = FindHex(breakpad.substr(crashed), "rip = 0x([0-9a-f]+)");
    EXPECT_EQ(FindHex(lldb, "\\brip = 0x([0-9a-f]+)"), ip);
    if (crash.address != CrashCase::kAnyAddress) {
        EXPECT_EQ(FindHex(breakpad, "Crash address: 0x([0-9a-f]+)"),
                  crash.address == CrashCase::kZero ? 0u : ip);
    }
    // lldb writes functions with C linkage as "::Name". The frames past the first of the
    // overflowed stack come from stack memory, which must be in the dump.
    std::istringstream functions(crash.functions);
    for (std::string function; functions >> function;) {
        EXPECT_THAT(lldb, ContainsRegex("crash_child`(::)?" + function));
    }
    if (name == "stack-overflow") {
        EXPECT_THAT(lldb, ContainsRegex("frame #5: 0x[0-9a-f]+ crash_child`(::)?CrashByStack"));
    }
}

const CrashCase kCrashCases[] = {
    {"null-write", "SIGSEGV /SEGV_MAPERR", CrashCase::kZero, "CrashByNullWrite RunCrashCase main"},
    {"abort", "SIGABRT", CrashCase::kInstructionPointer, "CrashByAbort RunCrashCase"},
    {"uncaught-exception", "0x00000000", CrashCase::kInstructionPointer,
     "CrashHandler CrashByUncaughtException RunCrashCase"},
    {"stack-overflow", "SIGSEGV /SEGV_MAPERR", CrashCase::kAnyAddress, "CrashByStackOverflow"},
    {"foreign-handler", "SIGSEGV /SEGV_MAPERR", CrashCase::kZero,
     "CrashByNullWrite CrashAfterForeignHandler"},
};

INSTANTIATE_TEST_SUITE_P(EveryWayOfCrashing, CrashHandlerCases, ::testing::ValuesIn(kCrashCases),
                         [](const ::testing::TestParamInfo<CrashCase>& info) {
                             std::string name = info.param.name;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

// A current directory that takes no files is logged and reported, and the process still exits.
TEST(CrashHandlerDumpLog, AnUnwritableDirectoryIsLoggedAndReported) {
    CrashScene scene; // an empty work folder: run as root it is removed instead
    const ChildResult child = scene.Run({"null-write"}, /*unwritableWork=*/true);
    EXPECT_EQ(child.exitStatus, 255);
    EXPECT_EQ(scene.DumpLog(), "CAN NOT CREATE dump FILE! \n");
    EXPECT_THAT(child.standardError, HasSubstr("generate_dump:can not create dump file!\n"));
    EXPECT_TRUE(scene.DumpFiles().empty());
}

} // namespace
