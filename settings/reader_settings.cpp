#include "settings/reader_settings.h"

#include "settings/config_file.h"

#include <algorithm>
#include <cstdint>

int StepSetting(int value, int step, SettingRange range) {
    const std::int64_t next = std::int64_t{value} + step;
    return static_cast<int>(std::clamp<std::int64_t>(next, range.min, range.max));
}

std::string ConfigFilePath(const std::string& configDir) {
    return configDir + "/config.cfg";
}

int LoadReaderSettings(ReaderSettings& settings, const std::string& configDir) {
    CConfigFile file;
    const int result = file.Load(ConfigFilePath(configDir)); // without a file: the defaults
    // Out-of-range values from the file are brought into range; the file keeps them until the
    // next save.
    const auto getInRange = [&file](const char* key, int& field, SettingRange range) {
        int value = 0;
        if (file.GetInt(key, value) == 0) {
            field = StepSetting(value, 0, range);
        }
    };
    getInRange("font_height", settings.font_height, kFontHeightRange);
    file.GetInt("font_color", settings.font_color);
    file.GetInt("back_color", settings.back_color);
    getInRange("font_row_dis", settings.font_row_dis, kRowDisRange);
    file.GetInt("auto_record", settings.auto_record);
    file.GetInt("auto_read", settings.auto_read);
    const auto title = file.m_values.find("title_name");
    if (title != file.m_values.end()) {
        settings.title_name = title->second;
    }
    file.GetInt("auto_click", settings.auto_click);
    return result;
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
