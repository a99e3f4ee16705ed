#pragma once

#include "settings/reader_settings.h"
#include "settings/reading_prefs.h"

#include <functional>

#include <string>

class CColorStatic;
class CTemplateDialog;
class QLineEdit;
class QWidget;

// The settings dialog ("设置") and the holder of the one live settings record and of the reading
// preferences. Constructing it loads "config.cfg" and "reading.cfg"; the dialog window is built
// anew by each DoModal. Its "阅读…" button opens the reading page.
class COptionDlg {
public:
    COptionDlg();
    virtual ~COptionDlg();
    COptionDlg(const COptionDlg&) = delete;
    COptionDlg& operator=(const COptionDlg&) = delete;

    void LoadSettings();
    // Does nothing while the settings file is refused: a file that was not read is never
    // overwritten.
    void SaveSettings();
    void SavePrefs();
    // Saves the reading preferences and has them shown (m_onReadingChanged).
    void ReadingChanged();
    // Night: the text colours in use are kept and the night colours take their place; day gives
    // the kept ones back. Both records are saved and the change shown.
    void SetNightMode(bool night);
    // IDOK (1) after OK, which has already saved; IDCANCEL (2) otherwise.
    int DoModal(QWidget* parent = nullptr);

    // Shows the settings in the controls. true: the first tab stop gets the focus.
    bool OnInitDialog();
    // The two "选择颜色" buttons: a colour chosen in the colour dialog goes to the preview only.
    void OnBnClickedChooseFontColor();
    void OnBnClickedChooseBackColor();
    // Takes both preview colours and the size (limited to 10...50), saves, ends with IDOK.
    void OnOK();
    // Opens the reading page over the dialog.
    void OnBnClickedReading();
    void OnCancel();

    std::string m_strConfigDir; // legacy code page
    ReaderSettings m_settings;
    ReadingPrefs m_prefs;
    // Shows changed reading preferences; set by whoever shows the text.
    std::function<void()> m_onReadingChanged;
    // Night text colours (COLORREF): light grey on near black.
    static constexpr int kNightFontColor = 0xA8B0B4;
    static constexpr int kNightBackColor = 0x201C1A;
    // errno of why "config.cfg" was refused by the last LoadSettings (too large, not a regular
    // file, unreadable); 0 when it was read or is missing.
    int m_nRefusedErrno = 0;

    // The window and its controls while DoModal runs; null otherwise.
    CTemplateDialog* m_pDialog = nullptr;
    QLineEdit* m_editFontHeight = nullptr;
    CColorStatic* m_staticFontColor = nullptr;
    CColorStatic* m_staticBackColor = nullptr;

private:
    void ChooseColor(CColorStatic* preview);
};
