#pragma once

#include <cstddef>
#include <cstdint>

// One line of /proc/self/maps.
struct MemoryMapping {
    uint64_t start = 0;
    uint64_t end = 0;
    uint64_t offset = 0;
    uint64_t inode = 0;
    bool readable = false;
    bool writable = false;
    bool executable = false;
    // The mapped file's path, or a pseudo name such as "[stack]", or empty.
    char path[1024] = {};
};

// Reads /proc/self/maps one line at a time with a fixed buffer, so it can run inside a signal
// handler. Each pass opens the file anew.
class ProcMapsReader {
public:
    ProcMapsReader();
    ~ProcMapsReader();
    ProcMapsReader(const ProcMapsReader&) = delete;
    ProcMapsReader& operator=(const ProcMapsReader&) = delete;

    bool IsOpen() const { return m_fd >= 0; }
    // The next mapping; false at the end or on a read error.
    bool Next(MemoryMapping& mapping);

    // The mapping that contains `address`, when it is readable.
    static bool FindReadable(uint64_t address, MemoryMapping& mapping);

private:
    bool ReadLine();
    static bool Parse(const char* line, MemoryMapping& mapping);

    int m_fd = -1;
    char m_buffer[4096];
    size_t m_begin = 0;
    size_t m_end = 0;
    bool m_eof = false;
    char m_line[2048];
};
