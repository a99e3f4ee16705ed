#include "text/chapter_cache.h"

#include "platform/atomic_file.h"
#include "platform/code_page.h"
#include "platform/paths.h"

#include <cinttypes>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

namespace {

constexpr const char* kMagic = "veska-chapters 1";
// Bigger cache files are not ours: a list of every line of a book is not a chapter list.
constexpr std::uintmax_t kMaxCacheBytes = 64 * 1024 * 1024;

std::string HexOf(std::string_view bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned char b : bytes) {
        hex += digits[b >> 4];
        hex += digits[b & 15];
    }
    return hex;
}

// The header: the book's identity, so a list is only ever used for the file it came from.
std::string HeaderOf(const std::u16string& path, const CCodePageLayout& layout,
                     const CChapterCache::Stamp& stamp, std::size_t count) {
    // A legacy book in another code page than the default names it after the encoding: its
    // headings are other characters and may lie elsewhere.
    std::string encoding = TextEncodingName(layout.Encoding());
    if (layout.Encoding() == ENCODING_ANSI && layout.CodePage() != LegacyCodePageName()) {
        encoding += " " + layout.CodePage();
    }
    return std::string(kMagic) + "\npath " + HexOf(EncodeUtf8(path)) + "\nsize " +
           std::to_string(stamp.size) + "\nmtime " + std::to_string(stamp.mtimeNs) + "\nencoding " +
           encoding + "\ncount " + std::to_string(count) + "\n";
}

// A decimal number of at most `max` at text[at], up to a TAB, which it steps over; nothing for
// anything else (no sign, no blanks, no line end, no wrap-around).
std::optional<std::uint64_t> NumberField(std::string_view text, std::size_t& at,
                                         std::uint64_t max) {
    std::uint64_t value = 0;
    const std::size_t first = at;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
        const unsigned digit = unsigned(text[at] - '0');
        if (value > (max - digit) / 10) {
            return std::nullopt;
        }
        value = value * 10 + digit;
    }
    if (at == first || at >= text.size() || text[at] != '\t') {
        return std::nullopt;
    }
    ++at;
    return value;
}

} // namespace

std::optional<CChapterCache::Stamp> CChapterCache::StampOf(const std::u16string& path) {
    struct stat st {};
    if (stat(FsPathOfFile(path).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return std::nullopt;
    }
    return Stamp{static_cast<std::uint64_t>(st.st_size),
                 static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

CChapterCache::CChapterCache(std::string dataDir) : m_dir(FsPathFromAnsi(dataDir) + "/chapters") {}

std::string CChapterCache::FileOf(const std::u16string& path) const {
    // FNV-1a of the path's bytes; the header holds the whole path, so a collision only costs
    // a rescan.
    std::uint64_t hash = 0xcbf29ce484222325ull;
    for (unsigned char b : EncodeUtf8(path)) {
        hash = (hash ^ b) * 0x100000001b3ull;
    }
    char name[32];
    std::snprintf(name, sizeof(name), "%016" PRIx64 ".txt", hash);
    return m_dir + "/" + name;
}

std::optional<std::vector<ScanHit>> CChapterCache::Load(const std::u16string& path,
                                                        const CCodePageLayout& layout) const {
    const std::optional<Stamp> stamp = StampOf(path);
    std::error_code error;
    const std::string file = FileOf(path);
    if (!stamp || std::filesystem::file_size(file, error) > kMaxCacheBytes || error) {
        return std::nullopt;
    }
    std::ifstream in(file, std::ios::binary);
    std::stringstream contents;
    contents << in.rdbuf();
    const std::string text = contents.str();
    // The header must be exactly what this book would be saved with now.
    const std::size_t countAt = text.find("\ncount ");
    const std::size_t headerEnd = text.find('\n', countAt + 1);
    if (countAt == std::string::npos || headerEnd == std::string::npos) {
        return std::nullopt;
    }
    const std::size_t count = std::strtoull(text.c_str() + countAt + 7, nullptr, 10);
    if (text.compare(0, headerEnd + 1, HeaderOf(path, layout, *stamp, count)) != 0) {
        return std::nullopt;
    }
    std::vector<ScanHit> chapters;
    std::size_t at = headerEnd + 1;
    while (at < text.size()) {
        const std::size_t end = text.find('\n', at);
        if (end == std::string::npos) {
            return std::nullopt; // cut off
        }
        if (stamp->size == 0) {
            return std::nullopt; // an empty book has no headings
        }
        // Both numbers and the title within this one line.
        const std::string_view line = std::string_view(text).substr(0, end);
        const std::optional<std::uint64_t> offset = NumberField(line, at, stamp->size - 1);
        const std::optional<std::uint64_t> page =
            offset ? NumberField(line, at, std::uint64_t(INT_MAX - 1)) : std::nullopt;
        // Only a page that may show the offset: anything else would send the window to decode
        // from far away.
        if (!page || !CResourceData::MayShowOffset(*page, *offset) ||
            (!chapters.empty() &&
             (*offset <= chapters.back().offset || int(*page) < chapters.back().page))) {
            return std::nullopt;
        }
        ScanHit hit;
        hit.offset = *offset;
        hit.page = static_cast<int>(*page);
        hit.text = DecodeUtf8(std::string_view(text).substr(at, end - at));
        chapters.push_back(std::move(hit));
        at = end + 1;
    }
    if (chapters.size() != count) {
        return std::nullopt;
    }
    return chapters;
}

int CChapterCache::RemoveStaleSaves() const {
    return RemoveStaleTemporaryFiles(m_dir);
}

bool CChapterCache::Save(const std::u16string& path, const CCodePageLayout& layout,
                         const Stamp& stamp, const std::vector<ScanHit>& chapters) const {
    std::string text = HeaderOf(path, layout, stamp, chapters.size());
    for (const ScanHit& hit : chapters) {
        text += std::to_string(hit.offset) + "\t" + std::to_string(hit.page) + "\t" +
                EncodeUtf8(hit.text) + "\n";
    }
    std::error_code ignored;
    std::filesystem::create_directories(m_dir, ignored);
    return ReplaceFileAtomically(FileOf(path), text);
}
