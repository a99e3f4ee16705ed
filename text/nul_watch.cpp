#include "text/nul_watch.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <string>

std::size_t CNulWatch::NulCharIn(const char* bytes, std::size_t n, std::uint64_t at,
                                 TextEncoding encoding) {
    if (encoding != ENCODING_UTF16LE && encoding != ENCODING_UTF16BE) {
        // No multi-byte character of a legacy code page or UTF-8 holds a zero byte.
        const void* zero = std::memchr(bytes, 0, n);
        return zero == nullptr ? std::string_view::npos
                               : static_cast<std::size_t>(static_cast<const char*>(zero) - bytes);
    }
    for (std::size_t from = 0; from + 1 < n;) {
        const void* pair = memmem(bytes + from, n - from, "\0\0", 2);
        if (pair == nullptr) {
            return std::string_view::npos;
        }
        const auto i = static_cast<std::size_t>(static_cast<const char*>(pair) - bytes);
        if ((at + i) % 2 == 0) {
            return i;
        }
        from = i + 1;
    }
    return std::string_view::npos;
}

void CNulWatch::Note(std::string_view bytes, std::uint64_t at, TextEncoding encoding) {
    for (std::size_t from = 0; from < bytes.size();) {
        const std::size_t i =
            NulCharIn(bytes.data() + from, bytes.size() - from, at + from, encoding);
        if (i == std::string_view::npos) {
            return;
        }
        m_lastNul = at + from + i;
        from += i + 1;
    }
}

void CNulWatch::Start(const CResourceData& book, std::uint64_t from) {
    // A NUL before `from` on its page hides what follows it there too.
    m_lastNul.reset();
    m_nulPage = -1;
    const std::uint64_t pageStart = book.PageStartOffset(book.PageOfOffset(from));
    if (pageStart < from) {
        std::string head(static_cast<std::size_t>(std::min<std::uint64_t>(
                             from - pageStart, CResourceData::kWindowBytes)),
                         '\0');
        head.resize(book.m_hFile.ReadAt(from - head.size(), head.data(), head.size()));
        Note(head, from - head.size(), book.m_nEncoding);
    }
}

bool CNulWatch::Shown(const CResourceData& book, int page, std::uint64_t offset) {
    // The reader's page ends at its first NUL character. Nearly every book has none: only a
    // NUL seen within two pages before the offset costs a look at the page.
    constexpr std::uint64_t kNear = 2 * CResourceData::kPageBytes;
    if (!m_lastNul || *m_lastNul + kNear < offset) {
        return true;
    }
    if (m_nulPage != page) {
        m_nulPage = page;
        m_pageNul = std::numeric_limits<std::uint64_t>::max();
        const std::uint64_t start = book.PageStartOffset(page);
        const std::uint64_t end = book.PageStartOffset(page + 1);
        std::string bytes(static_cast<std::size_t>(std::min<std::uint64_t>(
                              end - std::min(start, end), CResourceData::kWindowBytes)),
                          '\0');
        bytes.resize(book.m_hFile.ReadAt(start, bytes.data(), bytes.size()));
        if (const std::size_t i = NulCharIn(bytes.data(), bytes.size(), start, book.m_nEncoding);
            i != std::string_view::npos) {
            m_pageNul = start + i;
        }
    }
    return offset < m_pageNul;
}
