#pragma once

#include "platform/read_only_file.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Hands out a text file's lines the way a Windows C runtime's text-mode fgets with a buffer of
// `bufferSize` bytes does: CR LF reads as LF, each line keeps its LF, and a line longer than
// bufferSize - 1 bytes comes in pieces of at most that many. Files with LF and with CR LF line
// ends therefore read identically.
// The file is read as a stream through a small block buffer: memory stays bounded whatever the
// file holds, and each byte is looked at once however long its line is.
class TextLineReader {
public:
    // The largest data file the program's own files could ever grow to, with ample room: a full
    // history is a few kilobytes, a settings file a few hundred bytes.
    static constexpr std::uint64_t kMaxDataFileBytes = 256ull << 20;

    explicit TextLineReader(std::size_t bufferSize = 8192);

    // Opens a regular file (file-system encoding) of at most maxBytes bytes. False, with errno
    // set, when it cannot be opened (ENOENT for a missing file), is not a regular file (EISDIR,
    // EINVAL) or is larger (EFBIG); the reader is then empty.
    bool Open(const std::string& fsPath, std::uint64_t maxBytes = kMaxDataFileBytes);
    // Reads from bytes held in memory instead (they must outlive the reading).
    void SetText(std::string_view bytes);

    // The next piece; false at the end of the text, or when reading the file failed part way.
    bool Next(std::string& piece);
    // The next whole line, with its LF when it has one, whatever the buffer size. A line of more
    // than maxBytes bytes (its LF counted) is skipped whole, so what comes back is never part of
    // a line. False at the end of the text, or when reading the file failed part way.
    bool NextLine(std::string& line, std::size_t maxBytes);
    bool AtEnd();
    // True once a read of the opened file failed (errno was EIO then); the pieces so far stand.
    bool Failed() const { return m_failed; }

    // Where the next piece starts in the source's bytes, as they are (before CR LF turns into LF).
    std::uint64_t RawOffset() const;
    // The source's bytes as they are, from a raw offset to the end (at most maxBytes of them).
    std::string RawFrom(std::uint64_t offset, std::size_t maxBytes);
    // How many bytes the source holds.
    std::uint64_t RawSize() const { return m_rawSize; }

private:
    // Refills m_block from the source with CR LF already turned into LF. False at the end.
    bool Refill();
    std::size_t ReadRaw(char* buffer, std::size_t n);

    std::size_t m_maxPiece;
    ReadOnlyFile m_file;
    std::string_view m_memory;
    std::uint64_t m_rawPos = 0;  // next byte of the source to read
    std::uint64_t m_rawSize = 0; // bytes in the source
    bool m_pendingCr = false;    // a CR ended the last block; whether an LF follows is not known
    bool m_failed = false;
    std::string m_block; // translated bytes not yet handed out start at m_blockPos
    std::size_t m_blockPos = 0;
    std::uint64_t m_blockRawStart = 0;     // raw offset of the block's first byte
    std::vector<std::size_t> m_droppedCrs; // block positions of the LFs that lost their CR
    std::string m_raw;                     // the last raw block read
};
