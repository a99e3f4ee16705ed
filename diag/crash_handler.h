#pragma once

#include "diag/crash_state.h"

#include <csignal>

// The crash handler. After InstallCrashHandler, a fatal condition on any thread (SIGSEGV,
// SIGBUS, SIGILL, SIGFPE, SIGABRT, SIGSYS, std::terminate, a failed new) writes a minidump
// "Dump-<local date and time>-<index>.dmp" into the current directory, appends status lines to
// "../logs/dump.log", starts "DumpClient.exe" from the current directory when it exists, and ends
// the process with exit status 255. Other code cannot replace the signal handlers afterwards.
// A stack overflow is caught on the installing thread, which gets an alternate signal stack
// (signal stacks are per thread); other threads' crashes run the handler on their own stack.
//
// Link target veska_crash (or veska_diag): its link options export the guard's functions.
void InstallCrashHandler();

// The signal handler: dumps the signalled state and exits.
void CrashExceptionFilter(int signum, siginfo_t* info, void* context);
// The handler of the runtime hooks (terminate, new): dumps the calling state and exits.
[[noreturn]] void CrashHandler();
// Fills `state` with the registers of the point of call (the return address as instruction
// pointer, the stack pointer and frame as the caller has them after the call returns).
extern "C" void CaptureExceptionPointers(CrashState* state);
// Writes the dump and the log lines and starts the dump client; returns to the caller.
void generate_dump(const CrashState& state);
// Guards the signal handlers; nonzero when the guard also covers shared libraries.
int LockExceptionFilter();
