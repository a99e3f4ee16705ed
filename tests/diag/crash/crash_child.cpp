// Installs the crash handler and then crashes in the way its argument names.

#include "diag/crash_handler.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <stdexcept>

#define CRASH_FUNCTION extern "C" __attribute__((noinline, no_sanitize("undefined")))

namespace {
volatile int g_zero = 0;
volatile int* volatile g_nullPointer = nullptr;
} // namespace

CRASH_FUNCTION void CrashByNullWrite() {
    *g_nullPointer = 42;
}

CRASH_FUNCTION void CrashByAbort() {
    abort();
}

CRASH_FUNCTION void CrashByUncaughtException() {
    throw std::runtime_error("nobody catches this");
}

CRASH_FUNCTION int CrashByStackOverflow(int depth) {
    volatile char frame[512];
    if (g_zero != 0)
        return 0; // never: only keeps the recursion from looking endless
    frame[depth % sizeof frame] = static_cast<char>(depth);
    return CrashByStackOverflow(depth + 1) + frame[(depth + 1) % sizeof frame];
}

// A library loaded after installation tries to take SIGSEGV over, then the program crashes.
CRASH_FUNCTION int CrashAfterForeignHandler(const char* library) {
    void* handle = dlopen(library, RTLD_NOW);
    auto takeOver =
        handle ? reinterpret_cast<int (*)()>(dlsym(handle, "TakeOverCrashSignals")) : nullptr;
    if (takeOver == nullptr || takeOver() != 0)
        return 4;
    CrashByNullWrite();
    return 5;
}

CRASH_FUNCTION int RunCrashCase(const char* name, const char* argument) {
    if (strcmp(name, "null-write") == 0)
        CrashByNullWrite();
    else if (strcmp(name, "abort") == 0)
        CrashByAbort();
    else if (strcmp(name, "uncaught-exception") == 0)
        CrashByUncaughtException();
    else if (strcmp(name, "stack-overflow") == 0)
        return CrashByStackOverflow(0);
    else if (strcmp(name, "foreign-handler") == 0)
        return CrashAfterForeignHandler(argument);
    return 2;
}

int main(int argc, char** argv) {
    InstallCrashHandler();
    return argc < 2 ? 2 : RunCrashCase(argv[1], argc > 2 ? argv[2] : "");
}
