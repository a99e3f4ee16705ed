#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// A regular file held open for reading, with 64-bit size and offsets.
class ReadOnlyFile {
public:
    ReadOnlyFile() = default;
    ~ReadOnlyFile();
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;
    // Moving hands the open file over; the source is left closed.
    ReadOnlyFile(ReadOnlyFile&& other) noexcept;
    ReadOnlyFile& operator=(ReadOnlyFile&& other) noexcept;

    // Opens a regular file (path in the file-system encoding). A directory, FIFO, device or socket
    // is refused without blocking. On failure the object is left closed and errno tells why.
    bool Open(const std::string& fsPath);
    void Close();
    bool IsOpen() const { return m_fd >= 0; }
    // The size when the file was opened; 0 while closed.
    std::uint64_t Size() const { return m_size; }
    // Reads up to n bytes at the offset; returns how many came (0 at the end, on error, or closed).
    std::size_t ReadAt(std::uint64_t offset, char* buffer, std::size_t n) const;

private:
    int m_fd = -1;
    std::uint64_t m_size = 0;
};
