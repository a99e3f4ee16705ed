#include "text/page_edges.h"

#include <algorithm>

std::uint64_t CPageEdges::EdgeCut(const CResourceData& book, int edge, std::string_view block,
                                  std::uint64_t blockStart) {
    for (const auto& [page, start] : m_edgeCuts) {
        if (page == edge) {
            return start;
        }
    }
    constexpr std::uint64_t kPage = CResourceData::kPageBytes;
    constexpr std::uint64_t kMargin = CResourceData::kMarginBytes;
    // The bytes the start cut looks at: the margin before the edge and a little after it.
    const std::uint64_t windowStart = edge * kPage - kMargin;
    const std::uint64_t windowEnd = std::min(windowStart + kMargin + 16, book.m_nFileSize);
    std::uint64_t start = 0;
    if (windowStart >= blockStart && windowEnd <= blockStart + block.size()) {
        const std::string_view window =
            block.substr(windowStart - blockStart, windowEnd - windowStart);
        start = windowStart + book.CutsOfWindow(window, windowStart).start;
    } else {
        start = book.PageStartOffset(edge);
    }
    m_edgeSlot ^= 1;
    m_edgeCuts[m_edgeSlot] = {edge, start};
    return start;
}

int CPageEdges::PageOf(const CResourceData& book, std::uint64_t offset, std::string_view block,
                       std::uint64_t blockStart) {
    constexpr std::uint64_t kPage = CResourceData::kPageBytes;
    constexpr std::uint64_t kMargin = CResourceData::kMarginBytes;
    const int count = book.GetPageCount();
    const std::uint64_t nominal = offset / kPage;
    if (count == 0 || nominal + 1 >= static_cast<std::uint64_t>(count) ||
        offset + kMargin <= (nominal + 1) * kPage) {
        // Far enough from the next page's edge that no cut can move the byte onto that page.
        return count == 0 ? 0 : static_cast<int>(std::min<std::uint64_t>(nominal, count - 1));
    }
    const int edge = static_cast<int>(nominal + 1);
    return offset >= EdgeCut(book, edge, block, blockStart) ? edge : edge - 1;
}

std::uint64_t CPageEdges::PageStartIn(const CResourceData& book, std::uint64_t from,
                                      std::uint64_t to, std::string_view block,
                                      std::uint64_t blockStart) {
    constexpr std::uint64_t kPage = CResourceData::kPageBytes;
    // A page starts at most this far before its nominal edge.
    constexpr std::uint64_t kMargin = CResourceData::kMarginBytes;
    std::uint64_t edge = from / kPage + 1;
    if (edge * kPage >= to + kMargin) {
        return to; // the usual case, decided without the page count
    }
    for (const auto count = static_cast<std::uint64_t>(book.GetPageCount());
         edge < count && edge * kPage < to + kMargin; ++edge) {
        const std::uint64_t start = EdgeCut(book, static_cast<int>(edge), block, blockStart);
        if (start > from && start < to) {
            return start;
        }
    }
    return to;
}
