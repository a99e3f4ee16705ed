// The chapter list kept between runs: whatever its entries hold, a list that loads only names
// offsets inside the book, each on a page that can hold it, in order, with one-line titles; and
// what loads saves and loads back the same.
#include "fuzz/fuzz_input.h"
#include "platform/code_page.h"
#include "text/chapter_cache.h"

#include <fstream>
#include <sstream>

namespace {

constexpr std::uint64_t kBookBytes = 9 * 4092 + 1234;

struct Book {
    std::u16string path;
    std::string header; // of a list for this book, up to its count
    CCodePageLayout layout{ENCODING_UTF8, "UTF-8"};
};

const Book& TheBook() {
    static const Book book = [] {
        Book made;
        const std::string path = fuzz::ScratchDir() + "/book.txt";
        std::ofstream(path, std::ios::binary) << std::string(kBookBytes, 'x');
        made.path = DecodeUtf8(path);
        const CChapterCache cache(fuzz::ScratchDir());
        const auto stamp = CChapterCache::StampOf(made.path);
        fuzz::Require(stamp && cache.Save(made.path, made.layout, *stamp, {}));
        std::stringstream saved;
        saved << std::ifstream(cache.FileOf(made.path), std::ios::binary).rdbuf();
        made.header = saved.str();
        made.header.erase(made.header.rfind("count "));
        return made;
    }();
    return book;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Book& book = TheBook();
    const CChapterCache cache(fuzz::ScratchDir());
    const std::string_view entries = fuzz::AsText(data, size);
    // The count the entries need, so that loading reaches them.
    const auto lines = std::count(entries.begin(), entries.end(), '\n');
    std::ofstream(cache.FileOf(book.path), std::ios::binary | std::ios::trunc)
        << book.header << "count " << lines << "\n"
        << entries;
    const std::optional<CChapterList> loaded = cache.Load(book.path, book.layout);
    if (!loaded) {
        return 0;
    }
    for (std::size_t i = 0; i < loaded->size(); ++i) {
        const ScanHit hit = (*loaded)[i];
        fuzz::Require(hit.offset < kBookBytes);
        const std::uint64_t nominal = hit.offset / 4092;
        fuzz::Require(
            std::uint64_t(hit.page) == nominal ||
            (std::uint64_t(hit.page) == nominal + 1 && hit.offset + 2047 >= (nominal + 1) * 4092));
        fuzz::Require(hit.text.find(u'\n') == std::u16string::npos);
        fuzz::Require(i == 0 ||
                      (hit.offset > (*loaded)[i - 1].offset && hit.page >= (*loaded)[i - 1].page));
    }
    const auto stamp = CChapterCache::StampOf(book.path);
    fuzz::Require(stamp && cache.Save(book.path, book.layout, *stamp, *loaded));
    const std::optional<CChapterList> back = cache.Load(book.path, book.layout);
    fuzz::Require(back && back->size() == loaded->size());
    for (std::size_t i = 0; i < back->size(); ++i) {
        fuzz::Require((*back)[i].offset == (*loaded)[i].offset &&
                      (*back)[i].page == (*loaded)[i].page && (*back)[i].text == (*loaded)[i].text);
    }
    return 0;
}
