#include "settings/reading_prefs.h"

#include "settings/config_file.h"

#include <cerrno>
#include <charconv>
#include <climits>
#include <string_view>

namespace {

// The whole value must be a decimal number within [low, high]; anything else keeps `out`.
void ReadInt(const CConfigFile& file, const char* key, int low, int high, int& out) {
    const auto found = file.m_values.find(key);
    if (found == file.m_values.end()) {
        return;
    }
    const std::string_view text = found->second;
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error == std::errc() && end == text.data() + text.size() && !text.empty() && value >= low &&
        value <= high) {
        out = value;
    }
}

} // namespace

std::string ReadingPrefsPath(const std::string& configDir) {
    return configDir + "/reading.cfg";
}

ReadingPrefs LoadReadingPrefs(const std::string& configDir, int* refusedErrno) {
    ReadingPrefs prefs;
    CConfigFile file;
    const int loaded = file.Load(ReadingPrefsPath(configDir), CConfigFile::LongLines::kWhole);
    if (refusedErrno != nullptr) {
        *refusedErrno = loaded == -2 ? (errno != 0 ? errno : EIO) : 0;
    }
    if (loaded != 0) {
        return prefs;
    }
    const auto face = file.m_values.find("font_face");
    // A family name is one short line of text: control bytes mean the file is damaged.
    if (face != file.m_values.end() && face->second.size() < 256 &&
        face->second.find_first_of(std::string_view("\0\r\t", 3)) == std::string::npos) {
        prefs.font_face = face->second;
    }
    ReadInt(file, "margin_left", 0, ReadingPrefs::kMaxMargin, prefs.margin_left);
    ReadInt(file, "margin_right", 0, ReadingPrefs::kMaxMargin, prefs.margin_right);
    ReadInt(file, "line_chars", 0, ReadingPrefs::kMaxLineChars, prefs.line_chars);
    ReadInt(file, "scroll_speed", ReadingPrefs::kMinScrollSpeed, ReadingPrefs::kMaxScrollSpeed,
            prefs.scroll_speed);
    ReadInt(file, "night", 0, 1, prefs.night);
    ReadInt(file, "day_font_color", 0, 0xFFFFFF, prefs.day_font_color);
    ReadInt(file, "day_back_color", 0, 0xFFFFFF, prefs.day_back_color);
    ReadInt(file, "night_font_color", 0, 0xFFFFFF, prefs.night_font_color);
    ReadInt(file, "night_back_color", 0, 0xFFFFFF, prefs.night_back_color);
    // Room for any arrangement of screens, but no size that could not be a window.
    constexpr int kFar = 1 << 20;
    ReadInt(file, "window_x", -kFar, kFar, prefs.window_x);
    ReadInt(file, "window_y", -kFar, kFar, prefs.window_y);
    ReadInt(file, "window_width", 1, 1 << 15, prefs.window_width);
    ReadInt(file, "window_height", 1, 1 << 15, prefs.window_height);
    ReadInt(file, "window_maximized", 0, 1, prefs.window_maximized);
    ReadInt(file, "script", 0, ReadingPrefs::kMaxScript, prefs.script);
    ReadInt(file, "indent", 0, 1, prefs.indent);
    ReadInt(file, "blank_lines", 0, 2, prefs.blank_lines);
    ReadInt(file, "paragraph_spacing", 0, ReadingPrefs::kMaxParagraphSpacing,
            prefs.paragraph_spacing);
    ReadInt(file, "justify", 0, 1, prefs.justify);
    if (prefs.window_width == 0 || prefs.window_height == 0) {
        prefs.window_width = prefs.window_height = 0; // half a size is no size
    }
    return prefs;
}

bool SaveReadingPrefs(const ReadingPrefs& prefs, const std::string& configDir) {
    const std::string path = ReadingPrefsPath(configDir);
    CConfigFile file;
    // Keeps the keys a newer version wrote; a file whose keys could not be read is not replaced.
    if (file.Load(path, CConfigFile::LongLines::kWhole) == -2) {
        return false;
    }
    file.m_values["font_face"] = prefs.font_face;
    file.SetInt("margin_left", prefs.margin_left);
    file.SetInt("margin_right", prefs.margin_right);
    file.SetInt("line_chars", prefs.line_chars);
    file.SetInt("scroll_speed", prefs.scroll_speed);
    file.SetInt("night", prefs.night);
    file.SetInt("day_font_color", prefs.day_font_color);
    file.SetInt("day_back_color", prefs.day_back_color);
    file.SetInt("night_font_color", prefs.night_font_color);
    file.SetInt("night_back_color", prefs.night_back_color);
    file.SetInt("window_x", prefs.window_x);
    file.SetInt("window_y", prefs.window_y);
    file.SetInt("window_width", prefs.window_width);
    file.SetInt("window_height", prefs.window_height);
    file.SetInt("window_maximized", prefs.window_maximized);
    file.SetInt("script", prefs.script);
    file.SetInt("indent", prefs.indent);
    file.SetInt("blank_lines", prefs.blank_lines);
    file.SetInt("paragraph_spacing", prefs.paragraph_spacing);
    file.SetInt("justify", prefs.justify);
    return file.Save(path) == 0;
}
