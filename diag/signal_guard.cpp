#include "diag/signal_guard.h"

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <dlfcn.h>

namespace {

using SigactionFunction = int (*)(int, const struct sigaction*, struct sigaction*);
using SignalFunction = sighandler_t (*)(int, sighandler_t);

std::atomic<SigactionFunction> s_nextSigaction{nullptr};
std::atomic<SignalFunction> s_nextSignal{nullptr};
std::atomic<uint64_t> s_guardedSignals{0};

template <typename Function> Function Next(std::atomic<Function>& cache, const char* name) {
    Function function = cache.load(std::memory_order_acquire);
    if (function == nullptr) {
        function = reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
        cache.store(function, std::memory_order_release);
    }
    return function;
}

bool IsGuarded(int signum) {
    return signum > 0 && signum < 64 &&
           (s_guardedSignals.load(std::memory_order_acquire) & (uint64_t{1} << signum)) != 0;
}

} // namespace

extern "C" int sigaction(int signum, const struct sigaction* __restrict action,
                         struct sigaction* __restrict previous) noexcept {
    if (action != nullptr && IsGuarded(signum)) {
        if (previous != nullptr) {
            *previous = {};
            previous->sa_handler = SIG_DFL;
        }
        return 0;
    }
    SigactionFunction next = Next(s_nextSigaction, "sigaction");
    if (next == nullptr) {
        errno = ENOSYS;
        return -1;
    }
    return next(signum, action, previous);
}

extern "C" sighandler_t signal(int signum, sighandler_t handler) noexcept {
    if (IsGuarded(signum))
        return SIG_DFL;
    SignalFunction next = Next(s_nextSignal, "signal");
    if (next == nullptr) {
        errno = ENOSYS;
        return SIG_ERR;
    }
    return next(signum, handler);
}

int SignalGuard::InstallHandler(int signum, const struct sigaction& action) {
    SigactionFunction next = Next(s_nextSigaction, "sigaction");
    if (next == nullptr) {
        errno = ENOSYS;
        return -1;
    }
    return next(signum, &action, nullptr);
}

bool SignalGuard::Lock(const int* signals, int count) {
    // Resolve both now: the guard may be asked from inside a signal handler later.
    Next(s_nextSigaction, "sigaction");
    Next(s_nextSignal, "signal");
    uint64_t mask = 0;
    for (int i = 0; i < count; ++i) {
        if (signals[i] > 0 && signals[i] < 64)
            mask |= uint64_t{1} << signals[i];
    }
    s_guardedSignals.fetch_or(mask, std::memory_order_acq_rel);
    SigactionFunction ours = &::sigaction;
    return reinterpret_cast<SigactionFunction>(dlsym(RTLD_DEFAULT, "sigaction")) == ours;
}
