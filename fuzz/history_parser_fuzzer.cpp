// The reading history: any file loads without harm, and what a save writes loads back as the
// same records and saves again to the same bytes.
#include "fuzz/fuzz_input.h"
#include "history/reader_history.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <tuple>

namespace {

auto Fields(const ReadMarkInfo& mark) {
    return std::tie(mark.strBookName, mark.strFilePath, mark.nReadPage, mark.nTotalPages,
                    mark.nMarkType);
}

bool SameRecords(const std::list<ReadMarkInfo>& a, const std::list<ReadMarkInfo>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](const auto& x, const auto& y) { return Fields(x) == Fields(y); });
}

std::string FileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setenv("VESKA_DATA_DIR", fuzz::ScratchDir().c_str(), 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string dir = fuzz::ScratchDir();
    const std::string path = dir + "/read_history.dat";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directory(dir);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));

    CReaderHistory history;
    history.Load();
    fuzz::Require(history.m_nRefusedErrno == 0);
    fuzz::Require(history.m_listLocal.size() <= 20 && history.m_listNet.size() <= 20);
    for (const ReadMarkInfo& mark : history.m_listLocal) {
        fuzz::Require(mark.nMarkType == MARK_LOCAL);
    }
    // A record the reader made joins the loaded ones.
    history.AddReadMark({"fuzzed.txt", "/books/fuzzed.txt", 3, MARK_LOCAL, 9});
    const std::string saved = FileText(path);

    CReaderHistory back;
    back.Load();
    fuzz::Require(back.m_nRefusedErrno == 0);
    fuzz::Require(SameRecords(back.m_listLocal, history.m_listLocal));
    fuzz::Require(SameRecords(back.m_listNet, history.m_listNet));
    back.Save();
    fuzz::Require(FileText(path) == saved);
    return 0;
}
