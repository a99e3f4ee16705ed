// A shared library that, once loaded, tries to replace the crash signals' handlers, the way a
// third-party library with its own crash reporting would; the signals the crash handler does not
// guard must still work normally.

#include <csignal>

namespace {

volatile sig_atomic_t g_userSignals = 0;

void CountUserSignal(int) {
    g_userSignals = g_userSignals + 1;
}

void ForeignHandler(int) {
    _exit(77); // the takeover worked: die without a dump
}

} // namespace

// 0 when every takeover was refused the way the guard refuses, another number for what went wrong.
extern "C" int TakeOverCrashSignals() {
    struct sigaction action = {}, previous = {}, query = {}, user = {};
    action.sa_handler = previous.sa_handler = ForeignHandler;
    if (sigaction(SIGSEGV, &action, &previous) != 0 || previous.sa_handler != SIG_DFL)
        return 10; // the previous handler must not be revealed either
    if (signal(SIGSEGV, SIG_DFL) != SIG_DFL || signal(SIGABRT, ForeignHandler) != SIG_DFL)
        return 12;
    if (sigaction(SIGSEGV, nullptr, &query) != 0 || (query.sa_flags & SA_SIGINFO) == 0)
        return 14; // a query still sees the crash handler
    user.sa_handler = CountUserSignal;
    if (sigaction(SIGUSR1, &user, nullptr) != 0 || raise(SIGUSR1) != 0 || g_userSignals != 1)
        return 15;
    if (signal(SIGUSR2, CountUserSignal) == SIG_ERR || raise(SIGUSR2) != 0 || g_userSignals != 2)
        return 16;
    return 0;
}
