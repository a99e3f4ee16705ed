#pragma once

#include <list>
#include <string>

// Where in a book the reader is: the page and, inside it, the first character on screen.
struct ReadPlace {
    std::string strFilePath; // legacy code page, as the history records it
    int nPage = 0;           // 0-based
    int nOffset = 0;         // characters into the page's text
};

// The reading places ("read_place.dat" beside "read_history.dat"), most recently read first.
// The history keeps only the page; this keeps the screen within it and which book was read last.
// One line per book: page, offset and path, separated by single blanks. A line that does not
// read back is dropped, so a damaged file costs at most its damaged lines.
class CReadPlaceStore {
public:
    static constexpr std::size_t kMaxPlaces = 40;
    // Longer than any page, offset and path written together.
    static constexpr std::size_t kMaxLineBytes = 8192;

    // Replaces the places by the file's (none when it is missing or refused). A file that is there
    // but is not read (too large, not a regular file, unreadable) is never saved over.
    void Load();
    // The place of the book at this path, or null.
    const ReadPlace* Find(const std::string& path) const;
    // Records the place, makes it the most recent, and saves when anything changed.
    void Set(const ReadPlace& place);

    const std::list<ReadPlace>& Places() const { return m_places; }
    // errno of why the file was refused when it was loaded; 0 when it was read or is missing.
    int RefusedErrno() const { return m_nRefusedErrno; }
    std::string FilePath() const;

private:
    void Save() const;

    std::list<ReadPlace> m_places;
    std::string m_strDir; // empty until loaded: nothing is saved before
    int m_nRefusedErrno = 0;
};
