// The paged text file: any bytes open, page and decode without harm, and every page edge is cut
// alike by the two pages that share it, so no text is lost or shown twice between pages.
#include "fuzz/fuzz_input.h"
#include "text/resource_data.h"

#include <algorithm>
#include <cstdint>

namespace {

using Cuts = CResourceData::CutPoints;

// The window that page p is read from, as the book reads it, and where it starts in the file.
std::string_view PageWindow(std::string_view file, int page, std::uint64_t& start) {
    const bool first = page == 0;
    start =
        first ? 0 : std::uint64_t(page) * CResourceData::kPageBytes - CResourceData::kMarginBytes;
    if (start >= file.size()) {
        return {};
    }
    return file.substr(start,
                       first ? CResourceData::kFirstWindowBytes : CResourceData::kWindowBytes);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view file = fuzz::AsText(data, size);
    const TextEncoding encoding = CResourceData::DetectEncoding(
        file.data(), std::min(file.size(), CResourceData::kFirstWindowBytes));

    const int pages = int((size + CResourceData::kPageBytes - 1) / CResourceData::kPageBytes);
    std::uint64_t previousEnd = 0;
    bool previousEndKnown = false; // page 0 may start after a byte-order mark
    for (int page = 0; page < pages; ++page) {
        std::uint64_t start = 0;
        const std::string_view window = PageWindow(file, page, start);
        const Cuts cuts = CResourceData::FindCutPoints(window, page == 0, encoding);
        fuzz::Require(cuts.start <= window.size() && cuts.end <= window.size());
        if (!cuts.startNeedsLookBack && previousEndKnown) {
            fuzz::Require(start + cuts.start == previousEnd);
        }
        previousEnd = start + cuts.end;
        previousEndKnown = !cuts.endNeedsLookBack;
        if (!cuts.startNeedsLookBack && !cuts.endNeedsLookBack && cuts.end > cuts.start) {
            const std::string_view bytes = window.substr(cuts.start, cuts.end - cuts.start);
            CResourceData::DecodeWindow(CResourceData::NormalizeLineBreaks(bytes, encoding),
                                        encoding);
        }
    }
    if (previousEndKnown) {
        fuzz::Require(previousEnd == size); // the last page ends with the file
    }
    if (size > 0) {
        const std::size_t edge = data[0] % size;
        fuzz::Require(CResourceData::LegacyCharacterStart(file, edge, (data[size - 1] & 1) != 0) <=
                      edge);
    }

    // The whole book as the reader opens and pages it, look-back cuts included.
    const fuzz::InputFile input(data, size);
    CResourceData book;
    const std::string path = input.Path();
    fuzz::Require(book.OpenTxt(std::u16string(path.begin(), path.end())) == 0);
    fuzz::Require(book.GetPageCount() == pages);
    while (book.NextPage() == 0) {
    }
    fuzz::Require(book.m_nCurPage == (pages > 0 ? pages - 1 : 0));
    book.GotoPage(size > 0 ? data[size / 2] % (pages + 2) - 1 : -1);
    while (book.PrevPage() == 0) {
    }
    fuzz::Require(book.m_nCurPage == 0);
    return 0;
}
