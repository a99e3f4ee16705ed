#pragma once

#include <string>

// The eight reader settings, named as their keys in "config.cfg". Colours are COLORREF values:
// red in the low byte, then green, then blue.
struct ReaderSettings {
    int font_height = 20;
    int font_color = 0;
    int back_color = 16579563;
    int font_row_dis = 5;
    int auto_record = 1;
    int auto_read = 0;
    std::string title_name = "Veska"; // legacy code page
    int auto_click = 1;
};

// What keeps the window usable: font heights and line spacings outside these ranges would make
// laying out a page take minutes or make the text vanish. Loaded values are clamped to them and
// the step commands stop at their ends.
struct SettingRange {
    int min;
    int max;
};
inline constexpr SettingRange kFontHeightRange{5, 400};
inline constexpr SettingRange kRowDisRange{1, 400};

// value + step kept within the range (no overflow whatever the value).
int StepSetting(int value, int step, SettingRange range);

// The path of "config.cfg" in a directory (both in the legacy code page).
std::string ConfigFilePath(const std::string& configDir);
// Reads "config.cfg" of the directory over the values already in `settings`; a font height or
// line spacing read from it is brought into its range. Returns what CConfigFile::Load returned:
// 0, -1 without a file, -2 (errno set, settings untouched) for a file that was refused.
int LoadReaderSettings(ReaderSettings& settings, const std::string& configDir);
// Writes all eight settings to "config.cfg" of the directory.
void SaveReaderSettings(const ReaderSettings& settings, const std::string& configDir);
