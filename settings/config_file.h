#pragma once

#include <map>
#include <string>

// A file of key=value lines kept as a map in byte-wise key order. Paths are narrow strings in
// the legacy code page.
class CConfigFile {
public:
    // Adds the file's pairs whose keys are not in the map yet. 0, or -1 when it cannot be opened.
    int Load(const std::string& path);
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
