#include "platform/text_line_reader.h"

#include "platform/read_only_file.h"

#include <algorithm>
#include <cerrno>

TextLineReader::TextLineReader(std::size_t bufferSize)
    : m_maxPiece(bufferSize > 1 ? bufferSize - 1 : 1) {}

bool TextLineReader::Open(const std::string& fsPath) {
    SetText({});
    ReadOnlyFile file;
    if (!file.Open(fsPath)) {
        return false;
    }
    std::string bytes(file.Size(), '\0');
    if (file.ReadAt(0, bytes.data(), bytes.size()) != bytes.size()) {
        errno = EIO;
        return false;
    }
    SetText(bytes);
    return true;
}

void TextLineReader::SetText(std::string_view bytes) {
    m_text.clear();
    m_text.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        // A lone CR is an ordinary byte; only CR LF is a line end.
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
            continue;
        }
        m_text.push_back(bytes[i]);
    }
    m_pos = 0;
}

bool TextLineReader::Next(std::string& piece) {
    if (AtEnd()) {
        piece.clear();
        return false;
    }
    const std::size_t limit = std::min(m_text.size(), m_pos + m_maxPiece);
    const std::size_t lf = m_text.find('\n', m_pos);
    const std::size_t end = lf != std::string::npos && lf < limit ? lf + 1 : limit;
    piece.assign(m_text, m_pos, end - m_pos);
    m_pos = end;
    return true;
}

std::string_view TextLineReader::TextFrom(std::size_t offset) const {
    return std::string_view(m_text).substr(std::min(offset, m_text.size()));
}
