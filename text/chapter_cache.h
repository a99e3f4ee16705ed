#pragma once

#include "text/chapter_list.h"
#include "text/chapter_rules.h"

#include <cstdint>
#include <optional>
#include <string>

// The chapter list of each book kept between runs, in "chapters/" of the data directory: one
// file per book, named after a hash of its path. A list belongs to the book's path, size,
// modification time and encoding (with the code page of a legacy book) and to the chapter rules it
// was made with; a list for another state of the file or other rules, or a damaged file, is
// ignored (and rewritten after the next scan). Lists are read and
// written in blocks: a list of a million headings never has its file's bytes whole in memory.
class CChapterCache {
public:
    // What identifies one state of a book file.
    struct Stamp {
        std::uint64_t size = 0;
        std::int64_t mtimeNs = 0;
        bool operator==(const Stamp&) const = default;
    };
    static std::optional<Stamp> StampOf(const std::u16string& path);

    // dataDir in the legacy code page, like GetDataDir(); `rules` is the Identity() of the
    // chapter rules lists are made with.
    explicit CChapterCache(std::string dataDir,
                           std::string rules = CChapterRules::BuiltIn().Identity());

    // The book's list, when one was saved for the file as it is now.
    std::optional<CChapterList> Load(const std::u16string& path,
                                     const CCodePageLayout& layout) const;
    // Saves the list scanned from the file in the state `stamp`, atomically.
    bool Save(const std::u16string& path, const CCodePageLayout& layout, const Stamp& stamp,
              const CChapterList& chapters) const;
    // Removes what saves killed midway left in the folder (see RemoveStaleTemporaryFiles).
    int RemoveStaleSaves() const;
    // Where the book's list is kept (file-system encoding).
    std::string FileOf(const std::u16string& path) const;

private:
    std::string m_dir; // file-system encoding
    std::string m_rules;
};
