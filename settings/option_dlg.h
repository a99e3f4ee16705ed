#pragma once

#include "settings/reader_settings.h"

#include <string>

class CColorStatic;
class CTemplateDialog;
class QLineEdit;
class QWidget;

// The settings dialog ("设置") and the holder of the one live settings record.
// Constructing it loads "config.cfg"; the dialog window is built anew by each DoModal.
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
    // IDOK (1) after OK, which has already saved; IDCANCEL (2) otherwise.
    int DoModal(QWidget* parent = nullptr);

    // Shows the settings in the controls. true: the first tab stop gets the focus.
    bool OnInitDialog();
    // The two "选择颜色" buttons: a colour chosen in the colour dialog goes to the preview only.
    void OnBnClickedChooseFontColor();
    void OnBnClickedChooseBackColor();
    // Takes both preview colours and the size (limited to 10...50), saves, ends with IDOK.
    void OnOK();
    void OnCancel();

    std::string m_strConfigDir; // legacy code page
    ReaderSettings m_settings;
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
