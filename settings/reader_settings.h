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

// The path of "config.cfg" in a directory (both in the legacy code page).
std::string ConfigFilePath(const std::string& configDir);
// Reads "config.cfg" of the directory over the values already in `settings`.
void LoadReaderSettings(ReaderSettings& settings, const std::string& configDir);
// Writes all eight settings to "config.cfg" of the directory.
void SaveReaderSettings(const ReaderSettings& settings, const std::string& configDir);
