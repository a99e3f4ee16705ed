// Opening a book and moving to random pages, for a 1 MB and a 1 GiB book, next to the least any
// page move must do: one pread of the page's window and its iconv decode.
//
// The 1 GiB book is a sparse file with GB18030 text written around the pages visited (and at
// its start, for the encoding); the 1 MB book is text throughout. Both are in the page cache.
// Counters: heap_bytes_per_op (bytes allocated per operation) and peak_heap_bytes (most heap
// held at once during the run, above what the book object held before it).
#include "text/resource_data.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <iconv.h>
#include <malloc.h>
#include <new>
#include <random>
#include <stdexcept>
#include <string>
#include <unistd.h>
#include <vector>

// ---- heap accounting ----------------------------------------------------------------------------

namespace {
std::atomic<std::size_t> g_allocated{0}; // bytes handed out so far
std::atomic<std::size_t> g_live{0};      // bytes held now
std::atomic<std::size_t> g_peak{0};      // most bytes held at once since the last reset

void* CountedAlloc(std::size_t size) {
    void* p = std::malloc(size == 0 ? 1 : size);
    if (p == nullptr) {
        throw std::bad_alloc();
    }
    const std::size_t usable = malloc_usable_size(p);
    g_allocated += usable;
    const std::size_t live = g_live += usable;
    std::size_t peak = g_peak.load();
    while (live > peak && !g_peak.compare_exchange_weak(peak, live)) {
    }
    return p;
}

void CountedFree(void* p) {
    if (p != nullptr) {
        g_live -= malloc_usable_size(p);
        std::free(p);
    }
}
} // namespace

void* operator new(std::size_t size) {
    return CountedAlloc(size);
}
void* operator new[](std::size_t size) {
    return CountedAlloc(size);
}
void operator delete(void* p) noexcept {
    CountedFree(p);
}
void operator delete[](void* p) noexcept {
    CountedFree(p);
}
void operator delete(void* p, std::size_t) noexcept {
    CountedFree(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    CountedFree(p);
}

namespace {

// Measures the heap use of the timed loop of one benchmark.
class HeapMeter {
public:
    HeapMeter() : m_allocatedBefore(g_allocated.load()), m_liveBefore(g_live.load()) {
        g_peak = m_liveBefore;
    }
    void Report(benchmark::State& state) const {
        const double ops = static_cast<double>(state.iterations());
        state.counters["heap_bytes_per_op"] =
            static_cast<double>(g_allocated.load() - m_allocatedBefore) / ops;
        state.counters["peak_heap_bytes"] = static_cast<double>(g_peak.load() - m_liveBefore);
    }

private:
    std::size_t m_allocatedBefore;
    std::size_t m_liveBefore;
};

// ---- the books ----------------------------------------------------------------------------------

constexpr std::uint64_t kMegabyte = 1000 * 1000;
constexpr std::uint64_t kGibibyte = 1ULL << 30;
constexpr int kVisitedPages = 256;

std::string ToGb18030(const std::string& utf8) {
    iconv_t cd = iconv_open("GB18030", "UTF-8");
    std::string out(utf8.size() * 2, '\0');
    char* in = const_cast<char*>(utf8.data());
    std::size_t inLeft = utf8.size();
    char* outPtr = out.data();
    std::size_t outLeft = out.size();
    iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    out.resize(out.size() - outLeft);
    return out;
}

// 64 KiB of Chinese prose with ordinary paragraph breaks, or (`oneParagraph`) 160 KiB without
// any line break or ASCII byte, where every page edge needs the longest look-back.
const std::string& Prose(bool oneParagraph) {
    static const std::string paragraphs = [] {
        const std::string paragraph =
            "清晨的小城还没有完全醒来，街角的早点铺已经冒出了白色的热气。老陈把蒸笼一层层摞好，"
            "抬头看了看灰蒙蒙的天色，说今天大概会下雨。隔壁卖菜的大婶笑着回答，下雨也好，"
            "地里的庄稼正等着喝水呢。林晓背着书包从巷子里跑出来，手里还攥着半个没吃完的馒头。\n";
        std::string text;
        while (text.size() < 64 * 1024) {
            text += ToGb18030(paragraph);
        }
        return text;
    }();
    static const std::string run = [] {
        std::string text;
        for (char c : paragraphs) {
            if (c != '\n') {
                text += c;
            }
        }
        return text + text + text;
    }();
    return oneParagraph ? run : paragraphs;
}

struct Book {
    std::string path;
    std::vector<int> pages; // the pages visited, in random order
};

void WriteAt(int fd, std::uint64_t offset, std::uint64_t fileSize, const std::string& text) {
    for (std::uint64_t done = 0; done < text.size() && offset + done < fileSize;) {
        const std::size_t n = static_cast<std::size_t>(
            std::min<std::uint64_t>(text.size() - done, fileSize - offset - done));
        const ssize_t written =
            pwrite(fd, text.data() + done, n, static_cast<off_t>(offset + done));
        if (written <= 0) {
            throw std::runtime_error("cannot write the benchmark book");
        }
        done += static_cast<std::uint64_t>(written);
    }
}

// The directory of the books, removed with them when the benchmark ends.
class BenchDirectory {
public:
    BenchDirectory() : m_path(std::filesystem::temp_directory_path() / "veska-bench-XXXXXX") {
        if (mkdtemp(m_path.data()) == nullptr) {
            throw std::runtime_error("mkdtemp failed");
        }
    }
    ~BenchDirectory() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

std::string BenchDir() {
    static const BenchDirectory dir;
    return dir.Path();
}

const Book& BookOfSize(std::uint64_t size, bool oneParagraph = false) {
    static std::vector<std::pair<std::string, Book>> books;
    const std::string name = "book-" + std::to_string(size) + (oneParagraph ? "-run" : "") + ".txt";
    for (const auto& [bookName, book] : books) {
        if (bookName == name) {
            return book;
        }
    }
    Book book;
    book.path = BenchDir() + "/" + name;
    const int fd = open(book.path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0 || ftruncate(fd, static_cast<off_t>(size)) != 0) {
        throw std::runtime_error("cannot create the benchmark book");
    }
    const int pageCount = static_cast<int>((size + 4091) / 4092);
    std::mt19937 random(42);
    std::uniform_int_distribution<int> pick(0, pageCount - 1);
    for (int i = 0; i < kVisitedPages; ++i) {
        book.pages.push_back(pick(random));
    }
    const std::string& prose = Prose(oneParagraph);
    if (size <= prose.size() * 32) {
        for (std::uint64_t at = 0; at < size; at += prose.size()) {
            WriteAt(fd, at, size, prose);
        }
    } else {
        WriteAt(fd, 0, size, prose);
        for (int page : book.pages) {
            // The page's window and what is looked at before it, inside the text.
            const std::uint64_t nominal = static_cast<std::uint64_t>(page) * 4092;
            const std::uint64_t before = prose.size() / 2 + 4096;
            WriteAt(fd, nominal > before ? nominal - before : 0, size, prose);
        }
    }
    close(fd);
    books.emplace_back(name, std::move(book));
    return books.back().second;
}

std::u16string Path16(const std::string& path) {
    return std::u16string(path.begin(), path.end());
}

// ---- benchmarks ---------------------------------------------------------------------------------

void BM_OpenTxt(benchmark::State& state) {
    const Book& book = BookOfSize(static_cast<std::uint64_t>(state.range(0)));
    const std::u16string path = Path16(book.path);
    CResourceData data;
    data.OpenTxt(path);
    HeapMeter heap;
    for (auto _ : state) {
        benchmark::DoNotOptimize(data.OpenTxt(path));
    }
    heap.Report(state);
}

void GotoRandomPages(benchmark::State& state, const Book& book) {
    CResourceData data;
    if (data.OpenTxt(Path16(book.path)) != 0) {
        state.SkipWithError("cannot open the book");
        return;
    }
    std::size_t next = 0;
    HeapMeter heap;
    for (auto _ : state) {
        data.GotoPage(book.pages[next++ % book.pages.size()]);
        benchmark::DoNotOptimize(data.m_strText.data());
    }
    heap.Report(state);
}

void BM_GotoPage(benchmark::State& state) {
    GotoRandomPages(state, BookOfSize(static_cast<std::uint64_t>(state.range(0))));
}

// The worst case: no break and no ASCII byte near any page edge.
void BM_GotoPageOneParagraph(benchmark::State& state) {
    GotoRandomPages(state, BookOfSize(static_cast<std::uint64_t>(state.range(0)), true));
}

// The floor of a page move: read the page's window and decode all of it.
void BM_BaselinePreadIconv(benchmark::State& state) {
    const Book& book = BookOfSize(static_cast<std::uint64_t>(state.range(0)));
    const int fd = open(book.path.c_str(), O_RDONLY);
    iconv_t cd = iconv_open("UTF-16LE", "GB18030");
    std::string window(8188, '\0');
    std::u16string text(8188 + 2, u'\0');
    std::size_t next = 0;
    HeapMeter heap;
    for (auto _ : state) {
        const int page = book.pages[next++ % book.pages.size()];
        const off_t offset = page == 0 ? 0 : static_cast<off_t>(page) * 4092 - 2048;
        const ssize_t n = pread(fd, window.data(), page == 0 ? 6140 : 8188, offset);
        char* in = window.data();
        std::size_t inLeft = n > 0 ? static_cast<std::size_t>(n) : 0;
        char* out = reinterpret_cast<char*>(text.data());
        std::size_t outLeft = text.size() * sizeof(char16_t);
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        while (inLeft > 0 &&
               iconv(cd, &in, &inLeft, &out, &outLeft) == static_cast<std::size_t>(-1)) {
            if (errno != EILSEQ) {
                break;
            }
            ++in; // skip a byte the decoder refuses, as the reader does
            --inLeft;
        }
        benchmark::DoNotOptimize(text.data());
    }
    heap.Report(state);
    iconv_close(cd);
    close(fd);
}

void BookSizes(benchmark::internal::Benchmark* b) {
    b->Arg(static_cast<std::int64_t>(kMegabyte))->Arg(static_cast<std::int64_t>(kGibibyte));
    b->Unit(benchmark::kMicrosecond);
}

} // namespace

BENCHMARK(BM_OpenTxt)->Apply(BookSizes);
BENCHMARK(BM_GotoPage)->Apply(BookSizes);
BENCHMARK(BM_BaselinePreadIconv)->Apply(BookSizes);
BENCHMARK(BM_GotoPageOneParagraph)->Apply(BookSizes);

BENCHMARK_MAIN();
