#include "settings/option_dlg.h"

#include "platform/paths.h"

COptionDlg::COptionDlg() : m_strConfigDir(GetDataDir()) {
    LoadSettings();
}

COptionDlg::~COptionDlg() = default;

void COptionDlg::LoadSettings() {
    LoadReaderSettings(m_settings, m_strConfigDir);
}

void COptionDlg::SaveSettings() {
    SaveReaderSettings(m_settings, m_strConfigDir);
}

int COptionDlg::DoModal(QWidget*) {
    return 2;
}
