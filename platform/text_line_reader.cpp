#include "platform/text_line_reader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

// Large enough that the reads cost little, small enough to be no burden on memory.
constexpr std::size_t kBlockBytes = 64 * 1024;

} // namespace

TextLineReader::TextLineReader(std::size_t bufferSize)
    : m_maxPiece(bufferSize > 1 ? bufferSize - 1 : 1) {}

bool TextLineReader::Open(const std::string& fsPath, std::uint64_t maxBytes) {
    SetText({});
    if (!m_file.Open(fsPath)) {
        return false;
    }
    if (m_file.Size() > maxBytes) {
        m_file.Close();
        errno = EFBIG;
        return false;
    }
    // Only what was there at opening is read: a file that grows meanwhile cannot make it endless.
    m_rawSize = m_file.Size();
    return true;
}

void TextLineReader::SetText(std::string_view bytes) {
    m_file.Close();
    m_memory = bytes;
    m_rawPos = 0;
    m_rawSize = bytes.size();
    m_pendingCr = false;
    m_failed = false;
    m_block.clear();
    m_blockPos = 0;
    m_blockRawStart = 0;
    m_droppedCrs.clear();
}

std::size_t TextLineReader::ReadRaw(char* buffer, std::size_t n) {
    if (m_file.IsOpen()) {
        return m_file.ReadAt(m_rawPos, buffer, n);
    }
    std::memcpy(buffer, m_memory.data() + m_rawPos, n);
    return n;
}

bool TextLineReader::Refill() {
    m_block.clear();
    m_blockPos = 0;
    m_droppedCrs.clear();
    while (m_block.empty()) {
        m_blockRawStart = m_rawPos - (m_pendingCr ? 1 : 0);
        const std::size_t want =
            static_cast<std::size_t>(std::min<std::uint64_t>(kBlockBytes, m_rawSize - m_rawPos));
        if (want == 0) {
            if (m_pendingCr) { // a CR as the very last byte is an ordinary byte
                m_block.push_back('\r');
                m_pendingCr = false;
            }
            break;
        }
        m_raw.resize(want);
        const std::size_t got = ReadRaw(m_raw.data(), want);
        m_rawPos += got;
        if (got < want) { // the file shrank or could not be read: stop here
            m_failed = true;
            m_rawSize = m_rawPos;
            errno = EIO;
        }
        const bool atEnd = m_rawPos >= m_rawSize;
        std::string_view raw(m_raw.data(), got);
        if (m_pendingCr && !raw.empty()) {
            // The LF of a CR LF split between blocks stands for both; any other byte keeps it.
            if (raw.front() != '\n') {
                m_block.push_back('\r');
            } else {
                m_droppedCrs.push_back(0);
            }
            m_pendingCr = false;
        }
        // A lone CR is an ordinary byte; only CR LF is a line end.
        while (!raw.empty()) {
            const std::size_t cr = raw.find('\r');
            if (cr == std::string_view::npos) {
                m_block.append(raw);
                break;
            }
            m_block.append(raw.substr(0, cr));
            if (cr + 1 == raw.size()) {
                if (atEnd) {
                    m_block.push_back('\r');
                } else {
                    m_pendingCr = true;
                }
                break;
            }
            if (raw[cr + 1] != '\n') {
                m_block.push_back('\r');
            } else {
                m_droppedCrs.push_back(m_block.size());
            }
            raw.remove_prefix(cr + 1);
        }
    }
    return !m_block.empty();
}

std::uint64_t TextLineReader::RawOffset() const {
    if (m_blockPos >= m_block.size()) {
        return m_rawPos - (m_pendingCr ? 1 : 0);
    }
    // A CR dropped before the next byte (an LF) still lies ahead in the raw bytes.
    const auto dropped = std::lower_bound(m_droppedCrs.begin(), m_droppedCrs.end(), m_blockPos);
    return m_blockRawStart + m_blockPos + static_cast<std::size_t>(dropped - m_droppedCrs.begin());
}

std::string TextLineReader::RawFrom(std::uint64_t offset, std::size_t maxBytes) {
    if (offset >= m_rawSize) {
        return {};
    }
    std::string bytes(
        static_cast<std::size_t>(std::min<std::uint64_t>(maxBytes, m_rawSize - offset)), '\0');
    const std::uint64_t saved = m_rawPos;
    m_rawPos = offset;
    const std::size_t got = ReadRaw(bytes.data(), bytes.size());
    m_rawPos = saved;
    bytes.resize(got);
    return bytes;
}

bool TextLineReader::AtEnd() {
    return m_blockPos >= m_block.size() && !Refill();
}

bool TextLineReader::Next(std::string& piece) {
    piece.clear();
    while (piece.size() < m_maxPiece) {
        if (m_blockPos >= m_block.size() && !Refill()) {
            break;
        }
        const char* start = m_block.data() + m_blockPos;
        const std::size_t span = std::min(m_maxPiece - piece.size(), m_block.size() - m_blockPos);
        const auto* lf = static_cast<const char*>(std::memchr(start, '\n', span));
        const std::size_t take = lf != nullptr ? static_cast<std::size_t>(lf - start) + 1 : span;
        piece.append(start, take);
        m_blockPos += take;
        if (lf != nullptr) {
            break;
        }
    }
    return !piece.empty();
}

bool TextLineReader::NextLine(std::string& line, std::size_t maxBytes) {
    line.clear();
    bool tooLong = false;
    for (;;) {
        if (m_blockPos >= m_block.size() && !Refill()) {
            // A last line without an LF is a line too.
            if (tooLong) {
                line.clear();
            }
            return !line.empty();
        }
        const char* start = m_block.data() + m_blockPos;
        const std::size_t left = m_block.size() - m_blockPos;
        const auto* lf = static_cast<const char*>(std::memchr(start, '\n', left));
        const std::size_t take = lf != nullptr ? static_cast<std::size_t>(lf - start) + 1 : left;
        m_blockPos += take;
        if (!tooLong && line.size() + take > maxBytes) {
            tooLong = true;
            line.clear();
        }
        if (!tooLong) {
            line.append(start, take);
        }
        if (lf != nullptr) {
            if (!tooLong) {
                return true;
            }
            tooLong = false;
        }
    }
}
