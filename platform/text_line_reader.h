#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Hands out a text file's lines the way a Windows C runtime's text-mode fgets with a buffer of
// `bufferSize` bytes does: CR LF reads as LF, each line keeps its LF, and a line longer than
// bufferSize - 1 bytes comes in pieces of at most that many. Files with LF and with CR LF line
// ends therefore read identically.
class TextLineReader {
public:
    explicit TextLineReader(std::size_t bufferSize = 8192);

    // Reads the whole regular file (file-system encoding). False, with errno set, when it cannot
    // be opened or read; the reader is then empty.
    bool Open(const std::string& fsPath);
    // Reads from bytes held in memory instead.
    void SetText(std::string_view bytes);

    // The next piece; false at the end of the text.
    bool Next(std::string& piece);
    bool AtEnd() const { return m_pos >= m_text.size(); }
    // Where the next piece starts, counted in the text with its line ends already translated.
    std::size_t Offset() const { return m_pos; }
    // The translated text from an offset to the end.
    std::string_view TextFrom(std::size_t offset) const;

private:
    std::string m_text; // CR LF already turned into LF
    std::size_t m_pos = 0;
    std::size_t m_maxPiece;
};
