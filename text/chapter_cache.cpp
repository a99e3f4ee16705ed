#include "text/chapter_cache.h"

#include "platform/atomic_file.h"
#include "platform/code_page.h"
#include "platform/paths.h"
#include "platform/text_line_reader.h"

#include <algorithm>
#include <charconv>
#include <cinttypes>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <sys/stat.h>

namespace {

constexpr const char* kMagic = "veska-chapters 2";
// The longest entry a list may hold: two numbers, two TABs, a title and a LF. A heading is at
// most 60 characters, 240 bytes in UTF-8, so its title is far shorter than this;
// with the count this bounds the file, and the count is bounded by the book's size.
constexpr std::size_t kMaxEntryBytes = 20 + 1 + 10 + 1 + 512 + 1;
// Lists are read and written in blocks of this size.
constexpr std::size_t kBlockBytes = 1024 * 1024;

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
                     const std::string& rules, const CChapterCache::Stamp& stamp) {
    // A legacy book in another code page than the default names it after the encoding: its
    // headings are other characters and may lie elsewhere.
    std::string encoding = TextEncodingName(layout.Encoding());
    if (layout.Encoding() == ENCODING_ANSI && layout.CodePage() != LegacyCodePageName()) {
        encoding += " " + layout.CodePage();
    }
    return std::string(kMagic) + "\npath " + HexOf(EncodeUtf8(path)) + "\nsize " +
           std::to_string(stamp.size) + "\nmtime " + std::to_string(stamp.mtimeNs) + "\nencoding " +
           encoding + "\nrules " + rules + "\n";
}

// What the list is: the rule its headings are of, whether the reader made it, how long it is.
std::string KindOf(const CChapterList& chapters) {
    return "rule " + HexOf(chapters.RuleName()) + "\nmade " +
           (chapters.MadeByReader() ? "1" : "0") + "\ncount " + std::to_string(chapters.size()) +
           "\n";
}

std::optional<std::string> FromHex(std::string_view hex) {
    const auto digit = [](char c) {
        return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
    };
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        if (digit(hex[i]) < 0 || digit(hex[i + 1]) < 0) {
            return std::nullopt;
        }
        bytes += char(digit(hex[i]) * 16 + digit(hex[i + 1]));
    }
    if (hex.size() % 2 != 0) {
        return std::nullopt;
    }
    return bytes;
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

CChapterCache::CChapterCache(std::string dataDir, std::string rules)
    : m_dir(FsPathFromAnsi(dataDir) + "/chapters"), m_rules(std::move(rules)) {}

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

std::optional<CChapterList> CChapterCache::Load(const std::u16string& path,
                                                const CCodePageLayout& layout) const {
    const std::optional<Stamp> stamp = StampOf(path);
    TextLineReader reader;
    if (!stamp || !reader.Open(FileOf(path), UINT64_MAX)) {
        return std::nullopt;
    }
    // The header must be exactly what this book would be saved with now, then what the list
    // is.
    const std::string header = HeaderOf(path, layout, m_rules, *stamp);
    std::string line;
    std::size_t read = 0;
    while (read < header.size()) {
        if (!reader.NextLine(line, header.size() - read) ||
            header.compare(read, line.size(), line)) {
            return std::nullopt;
        }
        read += line.size();
    }
    std::optional<std::string> rule;
    if (!reader.NextLine(line, 5 + 2 * kMaxEntryBytes) || !line.starts_with("rule ") ||
        line.back() != '\n' ||
        !(rule = FromHex(std::string_view(line).substr(5, line.size() - 6)))) {
        return std::nullopt;
    }
    if (!reader.NextLine(line, 8) || (line != "made 0\n" && line != "made 1\n")) {
        return std::nullopt;
    }
    const bool made = line == "made 1\n";
    std::uint64_t count = 0;
    if (!reader.NextLine(line, 32) || !line.starts_with("count ") ||
        std::from_chars(line.data() + 6, line.data() + line.size(), count).ec != std::errc() ||
        line != "count " + std::to_string(count) + "\n") {
        return std::nullopt;
    }
    // Each heading has an offset of its own in the book, and each entry is short: a bigger file
    // is not a chapter list of this book.
    const std::uint64_t headerBytes = reader.RawOffset();
    const std::uint64_t entryBytes = reader.RawSize() - headerBytes;
    if (count > stamp->size || entryBytes / kMaxEntryBytes > count) {
        return std::nullopt;
    }
    // Room for the titles as if the numbers were as short as can be: what is left over at the
    // end of the buffer is never touched, so it never takes memory.
    const std::uint64_t entries = std::min(count, entryBytes / 5);
    CChapterList chapters;
    chapters.reserve(std::size_t(entries), std::size_t(entryBytes - entries * 5));
    while (reader.NextLine(line, kMaxEntryBytes)) {
        // Both numbers and the title within this one line, which must end. Lines may end with
        // CR LF; a title is a trimmed line, so a CR at its end can only be a damaged entry's
        // (and would not read back the same once saved).
        std::size_t at = 0;
        const std::optional<std::uint64_t> offset = NumberField(line, at, stamp->size - 1);
        const std::optional<std::uint64_t> page =
            offset ? NumberField(line, at, std::uint64_t(INT_MAX - 1)) : std::nullopt;
        // Only a page that may show the offset: anything else would send the window to decode
        // from far away.
        if (!page || line.back() != '\n' ||
            (line.size() - at >= 2 && line[line.size() - 2] == '\r') ||
            !CResourceData::MayShowOffset(*page, *offset) || chapters.size() == count ||
            (!chapters.empty() && (*offset <= chapters.Offset(chapters.size() - 1) ||
                                   int(*page) < chapters.Page(chapters.size() - 1)))) {
            return std::nullopt;
        }
        chapters.Add(*offset, int(*page), std::string_view(line).substr(at, line.size() - 1 - at));
    }
    if (reader.Failed() || chapters.size() != count) {
        return std::nullopt;
    }
    chapters.SetRuleName(std::move(*rule));
    chapters.SetMadeByReader(made);
    return chapters;
}

int CChapterCache::RemoveStaleSaves() const {
    return RemoveStaleTemporaryFiles(m_dir);
}

bool CChapterCache::Save(const std::u16string& path, const CCodePageLayout& layout,
                         const Stamp& stamp, const CChapterList& chapters) const {
    std::error_code ignored;
    std::filesystem::create_directories(m_dir, ignored);
    CAtomicFileWriter file(FileOf(path));
    std::string text = HeaderOf(path, layout, m_rules, stamp) + KindOf(chapters);
    text.reserve(text.size() + kBlockBytes + kMaxEntryBytes);
    char number[24];
    const auto append = [&](std::uint64_t value, char after) {
        char* end = std::to_chars(number, number + sizeof(number), value).ptr;
        *end++ = after;
        text.append(number, end);
    };
    for (std::size_t i = 0; i < chapters.size(); ++i) {
        append(chapters.Offset(i), '\t');
        append(std::uint64_t(chapters.Page(i)), '\t');
        text += chapters.TitleUtf8(i);
        text += '\n';
        if (text.size() >= kBlockBytes) {
            if (!file.Write(text)) {
                return false;
            }
            text.clear();
        }
    }
    return file.Write(text) && file.Commit();
}
