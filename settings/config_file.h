#pragma once

#include <cstddef>
#include <map>
#include <string>

// A file of key=value lines kept as a map in byte-wise key order. Paths are narrow strings in
// the legacy code page.
class CConfigFile {
public:
    // At most this many keys come from one file: far more than any of ours holds, and it bounds
    // what a damaged file can make the map hold.
    static constexpr std::size_t kMaxLoadedKeys = 4096;
    // The longest line read whole (LongLines::kWhole); a longer one is dropped whole.
    static constexpr std::size_t kMaxWholeLineBytes = 1 << 20;

    // How a line longer than 8191 bytes is read: in pieces of at most 8191 bytes, each one taken
    // as a line of its own, as "config.cfg" has always been read; or whole, for the files whose
    // keys are book paths or whose unknown keys are written back as they were.
    enum class LongLines { kInPieces, kWhole };

    // Adds the file's pairs whose keys are not in the map yet. 0; -1 when there is no such file;
    // -2, with errno telling why and the map untouched, when the file is there but is not read:
    // not a regular file (EISDIR, EINVAL), larger than any of ours could be (EFBIG), unreadable.
    int Load(const std::string& path, LongLines longLines = LongLines::kInPieces);
    // Replaces the file with one line per key, however long; a failed save leaves the old file
    // whole. 0, or -1 when it cannot be written.
    int Save(const std::string& path) const;
    // Stores the decimal text of the value. Returns 0.
    int SetInt(const std::string& key, int value);
    // atoi of the key's value into out, saturating at the 32-bit limits: 0, or -1 (out untouched)
    // when the key is absent.
    int GetInt(const std::string& key, int& out) const;
    // Splits one line as read: 0 for a pair, -1 empty, -2 comment, -3 no "=" or an empty key.
    static int ParseLine(const char* line, std::string& key, std::string& value);

    std::map<std::string, std::string> m_values;
};
