// A program that installs the crash handler and then crashes in the way its argument names.
// The test runs it in a scratch directory and inspects what the crash left behind.

#include "diag/crash_handler.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <new>
#include <stdexcept>
#include <thread>
#include <unistd.h>

#define CRASH_FUNCTION extern "C" __attribute__((noinline, no_sanitize("undefined")))

namespace {
volatile int g_zero = 0;
volatile int* volatile g_nullPointer = nullptr;
} // namespace

CRASH_FUNCTION void CrashByNullWrite() {
    *g_nullPointer = 42;
}

CRASH_FUNCTION int CrashByDivisionByZero() {
    return 7 / g_zero;
}

CRASH_FUNCTION void CrashByAbort() {
    abort();
}

CRASH_FUNCTION void CrashByUncaughtException() {
    throw std::runtime_error("nobody catches this");
}

CRASH_FUNCTION void CrashByHugeAllocation() {
    volatile size_t size = static_cast<size_t>(1) << 62;
    char* memory = new char[size];
    memory[0] = 1;
}

struct Shape {
    Shape() { Describe(); }
    virtual ~Shape() = default;
    virtual int Area() const = 0;
    void Describe() const { printf("%d\n", Area()); }
};
struct Square : Shape {
    int Area() const override { return 4; }
};

CRASH_FUNCTION void CrashByPureVirtualCall() {
    Square square;
}

CRASH_FUNCTION int CrashByStackOverflow(int depth) {
    volatile char frame[512];
    if (g_zero != 0)
        return 0; // never: only keeps the recursion from looking endless
    frame[depth % sizeof frame] = static_cast<char>(depth);
    return CrashByStackOverflow(depth + 1) + frame[(depth + 1) % sizeof frame];
}

// The second thread starts in a function of ours, so that its frame has one name in every build
// type and reader (the standard library's frames between differ).
CRASH_FUNCTION void SecondThreadMain() {
    CrashByNullWrite();
}

CRASH_FUNCTION void CrashOnSecondThread() {
    std::thread worker(SecondThreadMain);
    worker.join();
}

CRASH_FUNCTION void WaitForSignal() {
    printf("ready\n");
    fflush(stdout);
    for (;;)
        pause();
}

// A library loaded after installation tries to take SIGSEGV over, then the program crashes.
CRASH_FUNCTION int CrashAfterForeignHandler(const char* library) {
    void* handle = dlopen(library, RTLD_NOW);
    if (handle == nullptr) {
        fprintf(stderr, "dlopen: %s\n", dlerror());
        return 3;
    }
    auto takeOver = reinterpret_cast<int (*)()>(dlsym(handle, "TakeOverCrashSignals"));
    if (takeOver == nullptr || takeOver() != 0)
        return 4;
    CrashByNullWrite();
    return 5;
}

CRASH_FUNCTION int RunCrashCase(const char* name, const char* argument) {
    if (strcmp(name, "null-write") == 0)
        CrashByNullWrite();
    else if (strcmp(name, "divide-by-zero") == 0)
        return CrashByDivisionByZero();
    else if (strcmp(name, "abort") == 0)
        CrashByAbort();
    else if (strcmp(name, "uncaught-exception") == 0)
        CrashByUncaughtException();
    else if (strcmp(name, "huge-allocation") == 0)
        CrashByHugeAllocation();
    else if (strcmp(name, "pure-virtual-call") == 0)
        CrashByPureVirtualCall();
    else if (strcmp(name, "stack-overflow") == 0)
        return CrashByStackOverflow(0);
    else if (strcmp(name, "second-thread") == 0)
        CrashOnSecondThread();
    else if (strcmp(name, "wait-for-signal") == 0)
        WaitForSignal();
    else if (strcmp(name, "foreign-handler") == 0)
        return CrashAfterForeignHandler(argument);
    return 2;
}

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: crash_child CASE [LIBRARY]\n");
        return 2;
    }
    InstallCrashHandler();
    return RunCrashCase(argv[1], argc > 2 ? argv[2] : "");
}
