#include "diag/proc_maps_reader.h"

#include "diag/signal_safe_io.h"

#include <fcntl.h>

namespace {

const char* ParseHex(const char* text, uint64_t& value) {
    value = 0;
    for (;; ++text) {
        char c = *text;
        if (c >= '0' && c <= '9')
            value = value * 16 + static_cast<uint64_t>(c - '0');
        else if (c >= 'a' && c <= 'f')
            value = value * 16 + static_cast<uint64_t>(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F')
            value = value * 16 + static_cast<uint64_t>(c - 'A' + 10);
        else
            return text;
    }
}

const char* ParseDecimal(const char* text, uint64_t& value) {
    value = 0;
    while (*text >= '0' && *text <= '9')
        value = value * 10 + static_cast<uint64_t>(*text++ - '0');
    return text;
}

const char* SkipSpaces(const char* text) {
    while (*text == ' ' || *text == '\t')
        ++text;
    return text;
}

const char* SkipField(const char* text) {
    while (*text != '\0' && *text != ' ' && *text != '\t')
        ++text;
    return text;
}

} // namespace

ProcMapsReader::ProcMapsReader() : m_fd(signal_safe::Open("/proc/self/maps", O_RDONLY)) {}

ProcMapsReader::~ProcMapsReader() {
    if (m_fd >= 0)
        signal_safe::Close(m_fd);
}

bool ProcMapsReader::ReadLine() {
    size_t length = 0;
    for (;;) {
        if (m_begin == m_end) {
            if (m_eof || m_fd < 0)
                break;
            ssize_t n = signal_safe::Read(m_fd, m_buffer, sizeof m_buffer);
            if (n <= 0) {
                m_eof = true;
                break;
            }
            m_begin = 0;
            m_end = static_cast<size_t>(n);
        }
        char c = m_buffer[m_begin++];
        if (c == '\n') {
            m_line[length] = '\0';
            return true;
        }
        // A line too long for the buffer keeps its start; paths that long are cut.
        if (length + 1 < sizeof m_line)
            m_line[length++] = c;
    }
    m_line[length] = '\0';
    return length > 0;
}

bool ProcMapsReader::Next(MemoryMapping& mapping) {
    while (ReadLine()) {
        if (Parse(m_line, mapping))
            return true;
    }
    return false;
}

bool ProcMapsReader::Parse(const char* line, MemoryMapping& mapping) {
    const char* p = ParseHex(line, mapping.start);
    if (*p != '-')
        return false;
    p = ParseHex(p + 1, mapping.end);
    p = SkipSpaces(p);
    if (p[0] == '\0' || p[1] == '\0' || p[2] == '\0')
        return false;
    mapping.readable = p[0] == 'r';
    mapping.writable = p[1] == 'w';
    mapping.executable = p[2] == 'x';
    p = SkipSpaces(SkipField(p));
    p = ParseHex(p, mapping.offset);
    p = SkipSpaces(p);
    p = SkipSpaces(SkipField(p)); // device
    p = ParseDecimal(p, mapping.inode);
    p = SkipSpaces(p);
    size_t n = 0;
    while (p[n] != '\0' && n + 1 < sizeof mapping.path) {
        mapping.path[n] = p[n];
        ++n;
    }
    mapping.path[n] = '\0';
    return mapping.end > mapping.start;
}

bool ProcMapsReader::FindReadable(uint64_t address, MemoryMapping& mapping) {
    ProcMapsReader reader;
    while (reader.Next(mapping)) {
        if (address >= mapping.start && address < mapping.end)
            return mapping.readable;
    }
    return false;
}
