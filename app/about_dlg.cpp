#include "app/about_dlg.h"

CAboutDlg::CAboutDlg(QWidget* parent) : m_pParent(parent) {}

CAboutDlg::~CAboutDlg() = default;

int CAboutDlg::DoModal() {
    return 2;
}
