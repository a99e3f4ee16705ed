#include "settings/settings_store.h"

#include <cerrno>
#include <utility>

CSettingsStore::CSettingsStore(std::string dir) : m_strDir(std::move(dir)) {
    if (LoadReaderSettings(m_settings, m_strDir) == -2) {
        m_nRefusedErrno = errno != 0 ? errno : EIO;
    }
    m_prefs = LoadReadingPrefs(m_strDir, &m_nPrefsRefusedErrno);
}

void CSettingsStore::SetSettings(const ReaderSettings& settings) {
    m_settings = settings;
    SaveSettings();
}

void CSettingsStore::SetPrefs(const ReadingPrefs& prefs, bool save) {
    m_prefs = prefs;
    if (save) {
        SavePrefs();
    }
}

void CSettingsStore::SwitchNight(ReaderSettings& settings, ReadingPrefs& prefs, bool night) {
    if ((prefs.night != 0) == night) {
        return;
    }
    // Each mode gives back the colours it had, a colour picked in the settings meanwhile included.
    const auto chosen = [](int kept, int builtIn) { return kept >= 0 ? kept : builtIn; };
    if (night) {
        prefs.day_font_color = settings.font_color;
        prefs.day_back_color = settings.back_color;
        settings.font_color = chosen(prefs.night_font_color, kNightFontColor);
        settings.back_color = chosen(prefs.night_back_color, kNightBackColor);
    } else {
        const ReaderSettings defaults;
        prefs.night_font_color = settings.font_color;
        prefs.night_back_color = settings.back_color;
        settings.font_color = chosen(prefs.day_font_color, defaults.font_color);
        settings.back_color = chosen(prefs.day_back_color, defaults.back_color);
    }
    prefs.night = night ? 1 : 0;
}

void CSettingsStore::SaveSettings() const {
    if (m_nRefusedErrno == 0) {
        SaveReaderSettings(m_settings, m_strDir);
    }
}

void CSettingsStore::SavePrefs() const {
    // Even once the file reads again, saving now would put this run's defaults over its values.
    if (m_nPrefsRefusedErrno == 0) {
        SaveReadingPrefs(m_prefs, m_strDir);
    }
}
