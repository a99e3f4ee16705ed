// The data files at their worst: a settings file with one 64 MB line, and a history of a million
// records (loading it, then the save a page turn makes). The files live in a temporary
// directory under $TMPDIR and are in the page cache.
//
//   build/bench/data_files_bench
#include "history/reader_history.h"
#include "settings/config_file.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

namespace {

class BenchDir {
public:
    BenchDir() {
        const char* base = std::getenv("TMPDIR");
        m_path = std::string(base != nullptr && *base ? base : "/tmp") + "/veska-bench-XXXXXX";
        if (mkdtemp(m_path.data()) == nullptr) {
            throw std::runtime_error("mkdtemp failed");
        }
        setenv("VESKA_DATA_DIR", m_path.c_str(), 1);
    }
    ~BenchDir() { std::filesystem::remove_all(m_path); }
    std::string Write(const std::string& name, const std::string& bytes) const {
        std::ofstream(m_path + "/" + name, std::ios::binary) << bytes;
        return m_path + "/" + name;
    }

private:
    std::string m_path;
};

std::string MillionRecords() {
    std::string file;
    for (int i = 0; i < 1000000; ++i) {
        file += "b" + std::to_string(i) + ".txt\n/books/b" + std::to_string(i) + ".txt\n1\n9\n1\n";
    }
    return file;
}

void BM_ConfigLoad64MbLine(benchmark::State& state) {
    BenchDir dir;
    const std::string path =
        dir.Write("config.cfg", "title_name=" + std::string(64 << 20, 'x') + "\nfont_height=30\n");
    for (auto _ : state) {
        CConfigFile file;
        benchmark::DoNotOptimize(file.Load(path));
    }
}

void BM_HistoryLoadMillionRecords(benchmark::State& state) {
    BenchDir dir;
    dir.Write("read_history.dat", MillionRecords());
    for (auto _ : state) {
        CReaderHistory history;
        history.Load();
        benchmark::DoNotOptimize(history.m_listLocal.size());
    }
}

// The record of the book being read, after loading a million: what each page turn costs.
void BM_HistoryPageTurnAfterMillionRecords(benchmark::State& state) {
    BenchDir dir;
    dir.Write("read_history.dat", MillionRecords());
    CReaderHistory history;
    history.Load();
    ReadMarkInfo mark{"reading.txt", "/books/reading.txt", 0, MARK_LOCAL, 500};
    for (auto _ : state) {
        ++mark.nReadPage;
        history.AddReadMark(mark);
    }
}

} // namespace

BENCHMARK(BM_ConfigLoad64MbLine)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HistoryLoadMillionRecords)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HistoryPageTurnAfterMillionRecords)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
