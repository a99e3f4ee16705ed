#pragma once

#include "diag/minidump_format.h"

#include <cstdint>

// What a dump records about one crash: the crashing thread's registers and the exception.
struct alignas(16) CrashState {
    // First, so that its floating-point area is 16-byte aligned for FXSAVE.
    minidump::ContextAmd64 context;
    uint32_t exceptionCode = 0;  // the signal number; 0 for a runtime hook
    uint32_t exceptionFlags = 0; // the signal's si_code
    uint64_t exceptionAddress = 0;
    uint32_t threadId = 0;
};
