#include "history/read_place_store.h"

#include "platform/atomic_file.h"
#include "platform/paths.h"
#include "platform/text_line_reader.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <iterator>

namespace {

// A whole non-negative decimal number and the blank after it; false for anything else.
bool TakeNumber(std::string_view& line, int& out) {
    const auto blank = line.find(' ');
    if (blank == std::string_view::npos || blank == 0) {
        return false;
    }
    const char* first = line.data();
    const char* last = first + blank;
    const auto [end, error] = std::from_chars(first, last, out);
    if (error != std::errc() || end != last || out < 0) {
        return false;
    }
    line.remove_prefix(blank + 1);
    return true;
}

} // namespace

std::string CReadPlaceStore::FilePath() const {
    return m_strDir + "/read_place.dat";
}

void CReadPlaceStore::Load() {
    m_strDir = GetDataDir();
    m_places.clear();
    m_nRefusedErrno = 0;
    // Streamed like the other data files: a FIFO or a huge file of this name is refused
    // without blocking or filling memory, and a line too long to be a place is skipped whole.
    TextLineReader reader;
    if (!reader.Open(FsPathFromAnsi(FilePath()))) {
        if (errno != ENOENT && errno != ENOTDIR) {
            m_nRefusedErrno = errno != 0 ? errno : EIO;
        }
        return;
    }
    std::string line;
    while (m_places.size() < kMaxPlaces && reader.NextLine(line, kMaxLineBytes)) {
        if (line.back() != '\n') {
            continue; // a last line cut short
        }
        std::string_view rest(line);
        rest.remove_suffix(1);
        ReadPlace place;
        if (!TakeNumber(rest, place.nPage) || !TakeNumber(rest, place.nOffset) || rest.empty() ||
            rest.find_first_of(std::string_view("\r\0", 2)) != std::string_view::npos ||
            Find(std::string(rest)) != nullptr) {
            continue;
        }
        place.strFilePath = rest;
        m_places.push_back(std::move(place));
    }
    if (reader.Failed()) {
        m_nRefusedErrno = EIO;
        m_places.clear();
    }
}

const ReadPlace* CReadPlaceStore::Find(const std::string& path) const {
    const auto found = std::find_if(m_places.begin(), m_places.end(), [&](const ReadPlace& held) {
        return held.strFilePath == path;
    });
    return found == m_places.end() ? nullptr : &*found;
}

void CReadPlaceStore::Set(const ReadPlace& place) {
    // A path that could not be read back is not kept.
    if (place.strFilePath.empty() ||
        place.strFilePath.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos) {
        return;
    }
    ReadPlace stored = place;
    stored.nPage = std::max(0, stored.nPage);
    stored.nOffset = std::max(0, stored.nOffset);
    const auto found = std::find_if(m_places.begin(), m_places.end(), [&](const ReadPlace& held) {
        return held.strFilePath == stored.strFilePath;
    });
    if (found != m_places.end() && found == m_places.begin() && found->nPage == stored.nPage &&
        found->nOffset == stored.nOffset) {
        return; // already the latest place: spare the disk
    }
    if (found != m_places.end()) {
        m_places.erase(found);
    }
    m_places.push_front(std::move(stored));
    if (m_places.size() > kMaxPlaces) {
        m_places.pop_back();
    }
    Save();
}

void CReadPlaceStore::Save() const {
    if (m_strDir.empty() || m_nRefusedErrno != 0) {
        return; // not loaded yet, or the file was refused and is left as it is
    }
    std::string contents;
    for (const ReadPlace& place : m_places) {
        contents += std::to_string(place.nPage) + ' ' + std::to_string(place.nOffset) + ' ' +
                    place.strFilePath + '\n';
    }
    // A failed save keeps the old file whole; the places in memory go on working.
    ReplaceFileAtomically(FsPathFromAnsi(FilePath()), contents);
}
