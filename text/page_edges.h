#pragma once

#include "text/resource_data.h"

#include <array>
#include <cstdint>
#include <string_view>
#include <utility>

// Where the reader's pages begin, worked out from the bytes a scan has at hand: a page starts
// within a margin before its nominal edge, so only bytes near an edge need the cut worked out.
class CPageEdges {
public:
    // Forgets the starts worked out (another scan, or the book read again).
    void Reset() { m_edgeCuts.fill({-1, 0}); }
    // Where page `edge` begins; `block` (from file offset blockStart) saves reading its edge.
    std::uint64_t EdgeCut(const CResourceData& book, int edge, std::string_view block,
                          std::uint64_t blockStart);
    // The page of a byte.
    int PageOf(const CResourceData& book, std::uint64_t offset, std::string_view block,
               std::uint64_t blockStart);
    // The first page start in (from, to), or `to` when none: each page decodes its own bytes.
    std::uint64_t PageStartIn(const CResourceData& book, std::uint64_t from, std::uint64_t to,
                              std::string_view block, std::uint64_t blockStart);

private:
    // The last page starts worked out: page, offset.
    std::array<std::pair<int, std::uint64_t>, 2> m_edgeCuts{{{-1, 0}, {-1, 0}}};
    std::size_t m_edgeSlot = 0;
};
