#pragma once

#include <csignal>

// Keeps the crash handler of chosen signals from being replaced by other code in the process.
//
// How: this file defines `sigaction` and `signal` themselves. A program that links it holds those
// definitions, and the target's link options export them from the executable
// (--export-dynamic-symbol), so the dynamic linker binds every call of these functions to them:
// the program's own calls, the calls of the shared libraries it was started with and of the ones
// it loads later with dlopen (the executable comes first in the global lookup scope). Once
// `Lock` ran, a call that would change a guarded signal's handler does nothing, succeeds and
// reports no previous handler (SIG_DFL); everything else, including a plain query, goes on to the
// C library's function (found with dlsym(RTLD_NEXT)). Code that makes the rt_sigaction system
// call itself bypasses the guard; the C library's own internal calls do too, which is harmless:
// it only restores a default handler after a handler returned, and the crash handler never returns.
class SignalGuard {
public:
    // Installs a handler past the guard.
    static int InstallHandler(int signum, const struct sigaction& action);
    // Guards the signals from now on. True when the guard also covers shared libraries, that is
    // when the dynamic linker resolves `sigaction` to the executable's definition.
    static bool Lock(const int* signals, int count);
};
