#pragma once

#include "text/resource_data.h"
#include "text/text_encoding.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

// A reader's page ends at its first NUL character. A scan notes the NULs it reads, so that it
// can tell whether a page shows a byte without reading the page again (nearly no book has any).
class CNulWatch {
public:
    // Index of the first NUL character in bytes[0, n) that start at file offset `at`, or npos.
    static std::size_t NulCharIn(const char* bytes, std::size_t n, std::uint64_t at,
                                 TextEncoding encoding);
    // NULs in bytes read at file offset `at`.
    void Note(std::string_view bytes, std::uint64_t at, TextEncoding encoding);
    // A scan starting at `from`: NULs before it on its page count too.
    void Start(const CResourceData& book, std::uint64_t from);
    // Whether the reader's page shows the byte at `offset`.
    bool Shown(const CResourceData& book, int page, std::uint64_t offset);
    // The last NUL character read.
    const std::optional<std::uint64_t>& Last() const { return m_lastNul; }

private:
    std::optional<std::uint64_t> m_lastNul;
    int m_nulPage = -1; // the page last looked at for a NUL, and its first
    std::uint64_t m_pageNul = 0;
};
