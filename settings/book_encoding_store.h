#pragma once

#include <string>
#include <string_view>

// The encoding chosen for each book, kept in "book_encoding.cfg" in the data directory: one line
// per book, its path percent-encoded (so '=', line breaks and any other byte are safe) = the
// name of the choice. Lines that do not parse are ignored; the caller checks the names.
class CBookEncodingStore {
public:
    // dataDir in the legacy code page, as GetDataDir() gives it.
    explicit CBookEncodingStore(std::string dataDir);

    // The choice remembered for the book as written, or "" when there is none.
    std::string Get(std::u16string_view bookPath) const;
    // Remembers the choice (a name without line breaks) for the book; "" forgets it. False when the
    // file cannot be written, or is there but cannot be read (too large, not a regular file,
    // unreadable); the old file is then untouched.
    bool Set(std::u16string_view bookPath, std::string_view choice) const;

    // The file's key for a book path.
    static std::string KeyOf(std::u16string_view bookPath);

    static constexpr const char* kFileName = "book_encoding.cfg";

private:
    std::string m_filePath;
};
