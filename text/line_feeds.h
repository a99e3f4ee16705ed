#pragma once

#include "text/text_encoding.h"

#include <cstddef>
#include <cstdint>

// Where lines end in a book's bytes, as the reader's pages break them: at LF, and at a CR of its
// own in a book that ends lines that way; in UTF-16 only at the unit 000A (or 000D).
class CLineFeeds {
public:
    void Set(TextEncoding encoding, bool loneCr) {
        m_encoding = encoding;
        m_bLoneCr = loneCr;
    }

    // Where the line feed whose LF byte is bytes[i] begins (bytes[0, n) start at file offset
    // `at`; none is read before `first`), or npos when the byte is not a line feed.
    std::size_t At(const char* bytes, std::size_t n, std::uint64_t at, std::size_t i,
                   std::size_t first) const;
    // Index of the next line feed at or after `from` in bytes[0, n) that start at offset `at`.
    std::size_t Next(const char* bytes, std::size_t n, std::uint64_t at, std::size_t from) const;
    // Index of the last line feed before `before`.
    std::size_t Prev(const char* bytes, std::size_t n, std::uint64_t at, std::size_t before) const;

private:
    TextEncoding m_encoding = ENCODING_ANSI;
    bool m_bLoneCr = false;
};
