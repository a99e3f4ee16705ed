#include "crash_scene.h"
#include "minidump_readers.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

using ::testing::AnyOf;
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

struct CrashCase {
    const char* name;
    // What Breakpad shows as the reason (a signal, or code 0 for the runtime hooks), and the
    // signal lldb reports as the stop reason (empty: lldb shows none for code 0).
    const char* breakpadReason;
    const char* lldbSignal;
    // The crash address: 0 for a null-pointer write, the instruction pointer where the handler
    // had no fault address, or not checked.
    enum { kZero, kInstructionPointer, kAnyAddress } address;
    const char* functions; // in the crashing thread's walk, in both readers, space-separated
};

std::ostream& operator<<(std::ostream& out, const CrashCase& crash) {
    return out << crash.name;
}

class CrashHandlerCases : public ::testing::TestWithParam<CrashCase> {
protected:
    // The readers are test tools, not part of the reader: where they are missing these cases are
    // skipped, unless the run asks for them (CI sets VESKA_REQUIRE_DUMP_TOOLS=1).
    void SetUp() override {
        const std::string missing = minidump::MissingTools();
        const char* required = std::getenv("VESKA_REQUIRE_DUMP_TOOLS");
        if (missing.empty())
            return;
        if (required != nullptr && std::string(required) == "1")
            FAIL() << missing;
        GTEST_SKIP() << missing;
    }
};

// Each way of crashing: exit status, the one dated dump, the log lines, the client's arguments,
// and the dump as two independent readers see it.
TEST_P(CrashHandlerCases, WritesDumpLogsStartsClientAndExits255) {
    const CrashCase& crash = GetParam();
    const std::string name = crash.name;
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    if (name == "huge-allocation")
        GTEST_SKIP() << "the sanitizer's allocator ends the process itself on an impossible "
                        "allocation and never calls the new handler";
#endif
    CrashScene scene;
    scene.AddDumpClient();
    scene.WriteWorkFile("userid.txt", LongUserId());
    std::vector<std::string> arguments{name};
    if (name == "foreign-handler")
        arguments.push_back(FOREIGN_LIBRARY_PATH);
    const ChildResult child = scene.Run(arguments, name == "wait-for-signal");

    EXPECT_EQ(child.exitStatus, 255) << "signal " << child.termSignal << "\n"
                                     << child.standardError;
    const std::vector<std::string> dumps = scene.DumpFiles();
    ASSERT_EQ(dumps.size(), 1u);
    const auto allowed = ExpectedDumpNames(child.started, child.ended);
    EXPECT_NE(std::find(allowed.begin(), allowed.end(), dumps[0]), allowed.end())
        << dumps[0] << " is not named after the local time of the crash";
    EXPECT_EQ(scene.DumpLog(), kDumpLogLines);
    const fs::path dump = scene.Work() / dumps[0];
    EXPECT_EQ(scene.ClientArguments(10000),
              (std::vector<std::string>{dump.string(), LongUserId().substr(0, 256), "qorvim"}));
    EXPECT_FALSE(fs::exists(scene.Work() / "pwned")) << "the user id reached a shell";

    const std::string breakpad = minidump::Stackwalk(dump);
    const std::string lldb = minidump::Lldb(dump);
    SCOPED_TRACE("minidump_stackwalk:\n" + breakpad.substr(0, 6000) + "\nlldb:\n" + lldb);
    EXPECT_THAT(breakpad, ContainsRegex(std::string("Crash reason: +") + crash.breakpadReason));
    if (*crash.lldbSignal != '\0')
        EXPECT_THAT(lldb, HasSubstr(std::string("stop reason = signal ") + crash.lldbSignal));
    else
        EXPECT_THAT(lldb, ::testing::Not(HasSubstr("stop reason")));

    // Both readers find the same instruction pointer in the crashing thread's context.
    const size_t crashed = breakpad.find("(crashed)");
    ASSERT_NE(crashed, std::string::npos);
    const auto ip = minidump::FindHex(breakpad.substr(crashed), "rip = 0x([0-9a-f]+)");
    const auto address = minidump::FindHex(breakpad, "Crash address: 0x([0-9a-f]+)");
    ASSERT_TRUE(ip && address);
    EXPECT_EQ(minidump::FindHex(lldb, "\\brip = 0x([0-9a-f]+)"), ip);
    if (crash.address != CrashCase::kAnyAddress) {
        EXPECT_EQ(*address, crash.address == CrashCase::kZero ? 0u : *ip);
    }

    if (name == "stack-overflow") {
        // Frames past the first come from stack memory: the stack above the overflowed guard
        // area must be in the dump.
        EXPECT_THAT(breakpad, HasSubstr("\n 5  crash_child!CrashByStackOverflow"));
        EXPECT_THAT(lldb, ContainsRegex("frame #5: 0x[0-9a-f]+ crash_child`(::)?"
                                        "CrashByStackOverflow"));
    }
    const std::string streams = minidump::StreamListing(dump);
    for (const char* stream :
         {"MD_THREAD_LIST_STREAM", "MD_MODULE_LIST_STREAM", "MD_MEMORY_LIST_STREAM",
          "MD_EXCEPTION_STREAM", "MD_SYSTEM_INFO_STREAM", "MD_MISC_INFO_STREAM",
          "MD_MEMORY_INFO_LIST_STREAM", "MDRawMiscInfo", "info_count"})
        EXPECT_THAT(streams, HasSubstr(stream));

    std::istringstream functions(crash.functions);
    for (std::string function; functions >> function;) {
        EXPECT_THAT(breakpad, HasSubstr("crash_child!" + function));
        // lldb writes functions with C linkage as "::Name".
        EXPECT_THAT(lldb, AnyOf(HasSubstr("crash_child`" + function),
                                HasSubstr("crash_child`::" + function)));
    }
}

const CrashCase kCrashCases[] = {
    {"null-write", "SIGSEGV /SEGV_MAPERR", "SIGSEGV", CrashCase::kZero,
     "CrashByNullWrite RunCrashCase main"},
    {"divide-by-zero", "SIGFPE / FPE_INTDIV", "SIGFPE", CrashCase::kInstructionPointer,
     "CrashByDivisionByZero RunCrashCase"},
    {"abort", "SIGABRT", "SIGABRT", CrashCase::kInstructionPointer, "CrashByAbort RunCrashCase"},
    {"uncaught-exception", "0x00000000", "", CrashCase::kInstructionPointer,
     "CrashHandler CrashByUncaughtException RunCrashCase"},
    {"huge-allocation", "0x00000000", "", CrashCase::kInstructionPointer,
     "CrashHandler CrashByHugeAllocation RunCrashCase"},
    {"pure-virtual-call", "0x00000000", "", CrashCase::kInstructionPointer,
     "CrashHandler CrashByPureVirtualCall"},
    {"stack-overflow", "SIGSEGV /SEGV_MAPERR", "SIGSEGV", CrashCase::kAnyAddress,
     "CrashByStackOverflow"},
    {"second-thread", "SIGSEGV /SEGV_MAPERR", "SIGSEGV", CrashCase::kZero,
     "CrashByNullWrite SecondThreadMain"},
    {"wait-for-signal", "SIGSEGV", "SIGSEGV", CrashCase::kInstructionPointer,
     "WaitForSignal RunCrashCase"},
    {"foreign-handler", "SIGSEGV /SEGV_MAPERR", "SIGSEGV", CrashCase::kZero,
     "CrashByNullWrite CrashAfterForeignHandler"},
};

INSTANTIATE_TEST_SUITE_P(EveryWayOfCrashing, CrashHandlerCases, ::testing::ValuesIn(kCrashCases),
                         [](const ::testing::TestParamInfo<CrashCase>& info) {
                             std::string name = info.param.name;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

// The client gets the user id up to a zero byte, or "" without the file; it is not started when
// it is absent or the id cannot be read. Without a logs folder no folder is made. The dump is
// written either way.
TEST(CrashHandlerClient, GetsTheUserIdUpToAZeroByteAndIsLeftOutWhenItCannotRun) {
    CrashScene withZero, withoutFile, withoutClient, unreadableId, withoutLogs(false);
    withZero.WriteWorkFile("userid.txt", std::string("42\n\0tail", 8));
    // A folder named userid.txt opens but cannot be read: a read error, so no launch.
    fs::create_directory(unreadableId.Work() / "userid.txt");
    for (const CrashScene* scene :
         {&withZero, &withoutFile, &withoutClient, &unreadableId, &withoutLogs}) {
        if (scene != &withoutClient)
            scene->AddDumpClient();
        EXPECT_EQ(scene->Run({"null-write"}).exitStatus, 255);
        EXPECT_EQ(scene->DumpFiles().size(), 1u);
        EXPECT_EQ(scene->DumpLog(), scene == &withoutLogs ? "" : kDumpLogLines);
    }
    const auto client = withZero.ClientArguments(10000);
    ASSERT_TRUE(client.has_value());
    EXPECT_EQ(client->at(1), "42\n");
    EXPECT_EQ(withoutFile.ClientArguments(10000),
              (std::vector<std::string>{(withoutFile.Work() / withoutFile.DumpFiles()[0]).string(),
                                        "", "qorvim"}));
    EXPECT_FALSE(withoutClient.ClientArguments(0).has_value());
    EXPECT_FALSE(unreadableId.ClientArguments(500).has_value());
    EXPECT_TRUE(withoutLogs.ClientArguments(10000).has_value());
    EXPECT_FALSE(fs::exists(withoutLogs.Base() / "logs"));
}

// A current directory that takes no files is logged and reported, and the process still exits.
TEST(CrashHandlerDumpLog, AnUnwritableDirectoryIsLoggedAndReported) {
    CrashScene scene; // an empty work folder: run as root it is removed instead
    const ChildResult child = scene.Run({"null-write"}, false, /*unwritableWork=*/true);
    EXPECT_EQ(child.exitStatus, 255);
    EXPECT_EQ(scene.DumpLog(), "CAN NOT CREATE dump FILE! \n");
    EXPECT_THAT(child.standardError, HasSubstr("generate_dump:can not create dump file!\n"));
    EXPECT_TRUE(scene.DumpFiles().empty());
}

} // namespace
