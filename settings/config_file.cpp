#include "settings/config_file.h"

#include "platform/atomic_file.h"
#include "platform/decimal_text.h"
#include "platform/paths.h"
#include "platform/text_line_reader.h"

#include <cerrno>
#include <string_view>

namespace {

// Lines come in pieces of at most 8191 bytes, as they would through an 8192-byte read buffer.
constexpr std::size_t kLineBufferSize = 8192;

} // namespace

int CConfigFile::Load(const std::string& path, LongLines longLines) {
    TextLineReader reader(kLineBufferSize);
    if (!reader.Open(FsPathFromAnsi(path))) {
        return errno == ENOENT || errno == ENOTDIR ? -1 : -2;
    }
    std::map<std::string, std::string> loaded;
    std::string line;
    std::string key;
    std::string value;
    const auto nextLine = [&] {
        return longLines == LongLines::kWhole ? reader.NextLine(line, kMaxWholeLineBytes)
                                              : reader.Next(line);
    };
    while (nextLine()) {
        if (ParseLine(line.c_str(), key, value) == 0 &&
            (loaded.size() < kMaxLoadedKeys || loaded.contains(key))) {
            loaded.try_emplace(key, value); // the first occurrence of a key wins
        }
    }
    if (reader.Failed()) {
        errno = EIO;
        return -2; // half a file is no file: nothing of it is taken
    }
    m_values.merge(loaded); // keys already in the map keep their values
    return 0;
}

int CConfigFile::Save(const std::string& path) const {
    std::string contents;
    for (const auto& [key, value] : m_values) {
        // Written as "%s=%s\n" would write them, but whole however long the line gets.
        contents += std::string_view(key.c_str());
        contents += '=';
        contents += std::string_view(value.c_str());
        contents += '\n';
    }
    return ReplaceFileAtomically(FsPathFromAnsi(path), contents) ? 0 : -1;
}

int CConfigFile::SetInt(const std::string& key, int value) {
    m_values[key] = std::to_string(value);
    return 0;
}

int CConfigFile::GetInt(const std::string& key, int& out) const {
    const auto found = m_values.find(key);
    if (found == m_values.end()) {
        return -1;
    }
    out = DecimalTextToInt(found->second.c_str());
    return 0;
}

int CConfigFile::ParseLine(const char* line, std::string& key, std::string& value) {
    const std::string_view text = line != nullptr ? std::string_view(line) : std::string_view();
    if (text.empty()) {
        return -1;
    }
    if (text[0] == '#') {
        return -2;
    }
    const auto equals = text.find('=');
    if (equals == std::string_view::npos || equals == 0) {
        return -3;
    }
    std::string_view rest = text.substr(equals + 1);
    if (rest.ends_with('\n')) {
        rest.remove_suffix(1);
        if (rest.ends_with('\r')) {
            rest.remove_suffix(1);
        }
    }
    key.assign(text.substr(0, equals));
    value.assign(rest);
    return 0;
}
