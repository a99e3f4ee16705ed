#include "text/line_feeds.h"

#include <cstring>
#include <string_view>

std::size_t CLineFeeds::At(const char* bytes, std::size_t n, std::uint64_t at, std::size_t i,
                           std::size_t first) const {
    const TextEncoding encoding = m_encoding;
    if (encoding != ENCODING_UTF16LE && encoding != ENCODING_UTF16BE) {
        return i;
    }
    // In UTF-16 a 0A byte is often half of another character: only the unit 000A counts.
    if (encoding == ENCODING_UTF16LE && (at + i) % 2 == 0 && i + 1 < n && bytes[i + 1] == 0) {
        return i;
    }
    if (encoding == ENCODING_UTF16BE && (at + i) % 2 == 1 && i > first && bytes[i - 1] == 0) {
        return i - 1;
    }
    return std::string_view::npos;
}

std::size_t CLineFeeds::Next(const char* bytes, std::size_t n, std::uint64_t at,
                             std::size_t from) const {
    // A line ends at LF, and at a CR of its own (a CR-only book), as on the reader's pages.
    while (from < n) {
        const char* lf = static_cast<const char*>(std::memchr(bytes + from, '\n', n - from));
        const std::size_t lfAt = lf == nullptr ? n : static_cast<std::size_t>(lf - bytes);
        const void* cr = m_bLoneCr ? std::memchr(bytes + from, '\r', lfAt - from) : nullptr;
        const std::size_t i =
            cr != nullptr ? static_cast<std::size_t>(static_cast<const char*>(cr) - bytes) : lfAt;
        if (i == n) {
            return std::string_view::npos;
        }
        if (const std::size_t feed = At(bytes, n, at, i, from); feed != std::string_view::npos) {
            return feed;
        }
        from = i + 1;
    }
    return std::string_view::npos;
}

std::size_t CLineFeeds::Prev(const char* bytes, std::size_t n, std::uint64_t at,
                             std::size_t before) const {
    while (before > 0) {
        const char* lf = static_cast<const char*>(memrchr(bytes, '\n', before));
        const std::size_t after = lf == nullptr ? 0 : static_cast<std::size_t>(lf - bytes) + 1;
        const void* cr = m_bLoneCr ? memrchr(bytes + after, '\r', before - after) : nullptr;
        if (lf == nullptr && cr == nullptr) {
            return std::string_view::npos;
        }
        const auto i = cr != nullptr
                           ? static_cast<std::size_t>(static_cast<const char*>(cr) - bytes)
                           : after - 1;
        if (const std::size_t feed = At(bytes, n, at, i, 0); feed != std::string_view::npos) {
            return feed;
        }
        before = i;
    }
    return std::string_view::npos;
}
