#include "history/reader_history.h"

#include "platform/atomic_file.h"
#include "platform/decimal_text.h"
#include "platform/paths.h"
#include "platform/text_line_reader.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::size_t kLineBufferSize = 8192;
constexpr std::size_t kMaxRecordsPerList = 20;
constexpr std::size_t kMinBookNameLength = 4;
constexpr std::size_t kMinFilePathLength = 6;
constexpr char kHistoryFileName[] = "read_history.dat";
// A damaged end of the file longer than this is not carried along in memory: a history of 20
// records per list is a few kilobytes.
constexpr std::size_t kMaxKeptTail = 64 * 1024;
constexpr int kMaxSetAsideNames = 99;

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Cuts everything after the line's last byte that is not a blank, tab, CR or LF. A line made only
// of such bytes stays as it is, line end included.
std::string TrimLineEnd(std::string line) {
    const auto last = std::find_if(line.rbegin(), line.rend(), [](char c) { return !IsBlank(c); });
    if (last != line.rend()) {
        line.erase(static_cast<std::size_t>(line.rend() - last));
    }
    return line;
}

// The name and path lines of a record that loads. A line made only of blanks keeps its line end
// when trimmed, and writing that back would split the record, so such a line does not load.
bool IsLoadableText(const std::string& text, std::size_t minLength) {
    return text.size() >= minLength && !IsBlank(text.back());
}

void AppendLine(std::string& contents, const std::string& text) {
    contents += text;
    contents += '\n';
}

void AppendRecord(std::string& contents, const ReadMarkInfo& mark) {
    AppendLine(contents, mark.strBookName);
    AppendLine(contents, mark.strFilePath);
    AppendLine(contents, std::to_string(mark.nReadPage));
    AppendLine(contents, std::to_string(mark.nTotalPages));
    AppendLine(contents, std::to_string(mark.nMarkType));
}

} // namespace

bool CReaderHistory::ReadsBack(const ReadMarkInfo& mark) {
    // Each field must come back from its line unchanged: an LF or NUL would split or cut it,
    // trailing blanks are trimmed away on loading, and a longer line is read in two pieces.
    const auto readsBack = [](const std::string& text, std::size_t minLength) {
        return text.size() < kLineBufferSize - 1 &&
               text.find_first_of(std::string_view("\n\0", 2)) == std::string::npos &&
               TrimLineEnd(text + '\n') == text && IsLoadableText(text, minLength);
    };
    return readsBack(mark.strBookName, kMinBookNameLength) &&
           readsBack(mark.strFilePath, kMinFilePathLength);
}

std::string CReaderHistory::FilePath() const {
    return m_strDir + "/" + kHistoryFileName;
}

int CReaderHistory::Load() {
    m_strDir = GetDataDir();
    m_listLocal.clear();
    m_listNet.clear();
    m_keptTail.clear();
    m_nRefusedErrno = 0;
    m_strSetAside.clear();
    m_nFileRecords = 0;

    const std::string fsPath = FsPathFromAnsi(FilePath());
    TextLineReader reader(kLineBufferSize);
    if (!reader.Open(fsPath)) {
        if (errno == ENOENT) {
            // Create it empty; never truncate a file that exists but could not be read.
            const int fd = open(fsPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd >= 0) {
                close(fd);
            }
        } else {
            m_nRefusedErrno = errno != 0 ? errno : EIO;
        }
        return 0;
    }

    bool keepsLess = false; // the file holds more than the lists and tail keep
    std::string lines[5];
    for (;;) {
        const std::uint64_t recordStart = reader.RawOffset();
        bool wholeLines = true;
        for (std::string& line : lines) {
            // At the end of the file a line reads as empty.
            reader.Next(line);
            if (!line.empty() && line.back() != '\n' && !reader.AtEnd()) {
                wholeLines = false; // a line too long for the buffer, cut in pieces
            }
            line.resize(std::min(line.size(), line.find('\0'))); // text ends at a NUL byte
            line = TrimLineEnd(std::move(line));
        }
        if (!wholeLines || !IsLoadableText(lines[0], kMinBookNameLength) ||
            !IsLoadableText(lines[1], kMinFilePathLength) || lines[2].empty() || lines[3].empty() ||
            lines[4].empty()) {
            if (reader.RawSize() - recordStart > kMaxKeptTail) {
                keepsLess = true;
            } else {
                m_keptTail = reader.RawFrom(recordStart, kMaxKeptTail);
            }
            break;
        }
        ++m_nFileRecords;
        const int markType = DecimalTextToInt(lines[4].c_str());
        auto& list = markType == MARK_LOCAL ? m_listLocal : m_listNet;
        if (list.size() >= kMaxRecordsPerList) {
            // Only a hand-made or damaged file gets here: use never makes a longer list.
            keepsLess = true;
            continue;
        }
        ReadMarkInfo mark;
        mark.strBookName = lines[0];
        mark.strFilePath = lines[1];
        mark.nReadPage = DecimalTextToInt(lines[2].c_str());
        mark.nTotalPages = DecimalTextToInt(lines[3].c_str());
        mark.nMarkType = markType;
        list.push_back(std::move(mark)); // the file order is kept
    }

    if (reader.Failed() || (keepsLess && !SetAside(fsPath))) {
        m_nRefusedErrno = errno != 0 ? errno : EIO;
        m_listLocal.clear();
        m_listNet.clear();
        m_keptTail.clear();
    }
    return 0;
}

bool CReaderHistory::SetAside(const std::string& fsPath) {
    struct stat loaded {};
    if (stat(fsPath.c_str(), &loaded) != 0) {
        return false;
    }
    for (int n = 1; n <= kMaxSetAsideNames; ++n) {
        const std::string name =
            std::string(kHistoryFileName) + ".full" + (n > 1 ? "." + std::to_string(n) : "");
        const std::string candidate = FsPathFromAnsi(m_strDir + "/" + name);
        // A second name for the same file costs no copy, and saving later replaces only the
        // first name.
        if (link(fsPath.c_str(), candidate.c_str()) == 0) {
            m_strSetAside = name;
            return true;
        }
        if (errno != EEXIST) {
            return false;
        }
        // Set aside by an earlier start that saved nothing since: the name is already there.
        struct stat existing {};
        if (stat(candidate.c_str(), &existing) == 0 && existing.st_dev == loaded.st_dev &&
            existing.st_ino == loaded.st_ino) {
            m_strSetAside = name;
            return true;
        }
    }
    errno = EEXIST;
    return false;
}

void CReaderHistory::AddReadMark(const ReadMarkInfo& mark) {
    // A CR is refused too: no real book path holds one, and one that ended up next to a line end
    // would be lost.
    const auto holdsCr = [](const std::string& text) {
        return text.find('\r') != std::string::npos;
    };
    if (!ReadsBack(mark) || holdsCr(mark.strBookName) || holdsCr(mark.strFilePath)) {
        return;
    }
    auto& list = mark.nMarkType == MARK_LOCAL ? m_listLocal : m_listNet;
    const auto found = std::find_if(list.begin(), list.end(), [&](const ReadMarkInfo& held) {
        return held.strBookName == mark.strBookName;
    });
    if (found != list.end()) {
        *found = mark;
    } else {
        if (list.size() >= kMaxRecordsPerList) {
            list.pop_back();
        }
        list.push_front(mark);
    }
    Save();
}

void CReaderHistory::Save() {
    if (m_strDir.empty() || m_nRefusedErrno != 0) {
        return; // not loaded yet, or the file was refused and is left as it is
    }
    std::string contents;
    for (const auto* list : {&m_listLocal, &m_listNet}) {
        for (const ReadMarkInfo& mark : *list) {
            if (ReadsBack(mark)) { // only what code put in the lists directly could fail
                AppendRecord(contents, mark);
            }
        }
    }
    contents += m_keptTail;
    // A failed save keeps the old file whole; the lists in memory go on working.
    ReplaceFileAtomically(FsPathFromAnsi(FilePath()), contents);
}
