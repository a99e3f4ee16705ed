#pragma once

#include "settings/reader_settings.h"
#include "settings/reading_prefs.h"

#include <string>

// The one live copy of the reader settings ("config.cfg") and the reading preferences
// ("reading.cfg"), and their saving. Dialogs edit copies and hand them back through Set*.
class CSettingsStore {
public:
    // Loads both files from `dir` (legacy code page).
    explicit CSettingsStore(std::string dir);

    const ReaderSettings& Settings() const { return m_settings; }
    const ReadingPrefs& Prefs() const { return m_prefs; }
    // Take the new values and save them (the preferences may wait for a later SavePrefs).
    void SetSettings(const ReaderSettings& settings);
    void SetPrefs(const ReadingPrefs& prefs, bool save = true);
    // Night: the text colours in use are kept and the night colours take their place; day gives
    // the kept ones back. Changes `settings` and `prefs` only; nothing is saved.
    static void SwitchNight(ReaderSettings& settings, ReadingPrefs& prefs, bool night);

    // Does nothing while "config.cfg" is refused: a file that was not read is never overwritten.
    void SaveSettings() const;
    // A failed save keeps the old file whole; the values live on in memory for this run. Does
    // nothing while "reading.cfg" is refused.
    void SavePrefs() const;

    const std::string& Dir() const { return m_strDir; }
    // errno of why "config.cfg" was refused when it was loaded (too large, not a regular file,
    // unreadable); 0 when it was read or is missing.
    int RefusedErrno() const { return m_nRefusedErrno; }
    // The same for "reading.cfg".
    int PrefsRefusedErrno() const { return m_nPrefsRefusedErrno; }

    // Night text colours (COLORREF): light grey on near black.
    static constexpr int kNightFontColor = 0xA8B0B4;
    static constexpr int kNightBackColor = 0x201C1A;

private:
    std::string m_strDir;
    ReaderSettings m_settings;
    ReadingPrefs m_prefs;
    int m_nRefusedErrno = 0;
    int m_nPrefsRefusedErrno = 0;
};
