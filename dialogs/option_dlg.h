#pragma once

#include "settings/reader_settings.h"
#include "settings/reading_prefs.h"

#include <functional>

#include <string>

class CColorStatic;
class CTemplateDialog;
class QLineEdit;
class QWidget;

// The settings dialog ("设置"): edits a copy of the settings and hands it back on OK. Its
// "阅读…" button opens the reading page, whose changes are handed over at once.
class COptionDlg {
public:
    COptionDlg(const ReaderSettings& settings, const ReadingPrefs& prefs);
    virtual ~COptionDlg();
    COptionDlg(const COptionDlg&) = delete;
    COptionDlg& operator=(const COptionDlg&) = delete;

    // Hands the copies to m_onReadingChanged (the reading page changed something).
    void ReadingChanged();
    // Night or day colours in the copies (see CSettingsStore::SwitchNight), handed over at once.
    void SetNightMode(bool night);
    // IDOK (1) after OK, with the result in m_settings; IDCANCEL (2) otherwise.
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

    ReaderSettings m_settings;
    ReadingPrefs m_prefs;
    // Shows and keeps changed reading preferences (and the colours night and day change); set
    // by whoever shows the text.
    std::function<void(const ReaderSettings&, const ReadingPrefs&)> m_onReadingChanged;
    // The open book's re-flow of hard-wrapped lines ("" automatic, "on", "off"), shown on the
    // reading page when there is a book; a change goes to m_onReflowChanged at once.
    bool m_bHasBook = false;
    std::string m_strReflow;
    std::function<void(const std::string&)> m_onReflowChanged;
    // "规则…": opens the chapter and clean-up rules over the dialog; set by whoever shows the text.
    std::function<void(QWidget* over)> m_onRules;

    // The window and its controls while DoModal runs; null otherwise.
    CTemplateDialog* m_pDialog = nullptr;
    QLineEdit* m_editFontHeight = nullptr;
    CColorStatic* m_staticFontColor = nullptr;
    CColorStatic* m_staticBackColor = nullptr;

private:
    void ChooseColor(CColorStatic* preview);
};
