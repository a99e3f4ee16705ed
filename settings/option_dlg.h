#pragma once

#include "settings/reader_settings.h"

#include <string>

class QWidget;

// The settings dialog ("设置") and the holder of the one live settings record.
// Constructing it loads "config.cfg"; the dialog window is built anew by each DoModal.
class COptionDlg {
public:
    COptionDlg();
    virtual ~COptionDlg();

    void LoadSettings();
    void SaveSettings();
    // IDOK (1) after OK, which has already saved; IDCANCEL (2) otherwise.
    int DoModal(QWidget* parent = nullptr);

    std::string m_strConfigDir; // legacy code page
    ReaderSettings m_settings;
};
