#pragma once

#include "diag/crash_state.h"
#include "diag/minidump_format.h"

#include <cstddef>
#include <cstdint>

struct MemoryMapping;

// Writes a minidump of the running process for one crashed thread: thread list with its
// registers and stack, module list with build ids, memory list, exception, system info, misc
// info and memory info list. Everything it does is async-signal-safe: system calls, fixed
// buffers, no allocation.
class MinidumpWriter {
public:
    // Gathers what cannot be learned safely inside a signal handler (processor count, processor
    // identity, kernel version). Call once, outside any handler.
    static void PrepareSystemFacts();

    MinidumpWriter(int fd, const CrashState& state);
    ~MinidumpWriter();
    MinidumpWriter(const MinidumpWriter&) = delete;
    MinidumpWriter& operator=(const MinidumpWriter&) = delete;

    // False, with errno set, when the file could not be written completely.
    bool Write();

private:
    static constexpr int kStreamCount = 7;
    static constexpr int kMaxMemoryRanges = 4;

    uint32_t Allocate(size_t size);
    void Put(uint32_t rva, const void* data, size_t size);
    // Copies process memory into the file; unreadable pages become zeros.
    void PutProcessMemory(uint32_t rva, uint64_t address, size_t size);
    bool ReadProcessMemory(uint64_t address, void* buffer, size_t size) const;
    uint32_t PutString(const char* utf8);
    minidump::MemoryDescriptor AddMemoryRange(uint64_t start, uint64_t end);

    minidump::LocationDescriptor WriteContext();
    minidump::LocationDescriptor WriteThreadList(const minidump::LocationDescriptor& context);
    minidump::LocationDescriptor WriteModuleList();
    minidump::LocationDescriptor WriteMemoryList();
    minidump::LocationDescriptor WriteException(const minidump::LocationDescriptor& context);
    minidump::LocationDescriptor WriteSystemInfo();
    minidump::LocationDescriptor WriteMiscInfo();
    minidump::LocationDescriptor WriteMemoryInfoList();
    void AddCodeAroundInstruction();
    size_t ReadBuildId(uint64_t base, uint8_t* id, size_t capacity) const;
    bool StartsWithElfHeader(const MemoryMapping& mapping) const;

    int m_fd;
    int m_memoryFd;
    const CrashState& m_state;
    uint64_t m_next = 0;
    bool m_ok = true;
    int m_error = 0;
    minidump::MemoryDescriptor m_memory[kMaxMemoryRanges] = {};
    int m_memoryCount = 0;
};
