#include "settings/reader_settings.h"

#include "settings/config_file.h"

std::string ConfigFilePath(const std::string& configDir) {
    return configDir + "/config.cfg";
}

void LoadReaderSettings(ReaderSettings& settings, const std::string& configDir) {
    CConfigFile file;
    file.Load(ConfigFilePath(configDir)); // a missing or unreadable file leaves the defaults
    file.GetInt("font_height", settings.font_height);
    file.GetInt("font_color", settings.font_color);
    file.GetInt("back_color", settings.back_color);
    file.GetInt("font_row_dis", settings.font_row_dis);
    file.GetInt("auto_record", settings.auto_record);
    file.GetInt("auto_read", settings.auto_read);
    const auto title = file.m_values.find("title_name");
    if (title != file.m_values.end()) {
        settings.title_name = title->second;
    }
    file.GetInt("auto_click", settings.auto_click);
}

void SaveReaderSettings(const ReaderSettings& settings, const std::string& configDir) {
    CConfigFile file;
    file.SetInt("font_height", settings.font_height);
    file.SetInt("font_color", settings.font_color);
    file.SetInt("back_color", settings.back_color);
    file.SetInt("font_row_dis", settings.font_row_dis);
    file.SetInt("auto_record", settings.auto_record);
    file.SetInt("auto_read", settings.auto_read);
    file.m_values["title_name"] = settings.title_name;
    file.SetInt("auto_click", settings.auto_click);
    // A failed save keeps the old file whole; the new values live on in memory for this run.
    file.Save(ConfigFilePath(configDir));
}
