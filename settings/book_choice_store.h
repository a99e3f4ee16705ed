#pragma once

#include <string>
#include <string_view>

// A choice made for each book (its encoding, its script), each kind in a file of its own in the
// data directory: one line per book, its path percent-encoded (so '=', line breaks and any other
// byte are safe) = the name of the choice. Lines that do not parse are ignored; the caller checks
// the names.
class CBookChoiceStore {
public:
    static constexpr const char* kEncodingFileName = "book_encoding.cfg";
    static constexpr const char* kScriptFileName = "book_script.cfg";
    static constexpr const char* kReflowFileName = "book_reflow.cfg";
    // The chapter rule picked in 目录 (its name, UTF-8).
    static constexpr const char* kChapterRuleFileName = "book_chapter_rule.cfg";

    // dataDir in the legacy code page, as GetDataDir() gives it; the file one of the names above.
    CBookChoiceStore(std::string dataDir, const char* fileName);

    // The choice remembered for the book as written, or "" when there is none.
    std::string Get(std::u16string_view bookPath) const;
    // Remembers the choice (a name without line breaks) for the book; "" forgets it. False when the
    // file cannot be written, or is there but cannot be read (too large, not a regular file,
    // unreadable); the old file is then untouched.
    bool Set(std::u16string_view bookPath, std::string_view choice) const;

    // The file's key for a book path.
    static std::string KeyOf(std::u16string_view bookPath);

private:
    std::string m_filePath;
};
