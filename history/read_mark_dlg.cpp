#include "history/read_mark_dlg.h"

CReadMarkDlg::CReadMarkDlg(const std::list<ReadMarkInfo>& localMarks,
                           const std::list<ReadMarkInfo>& netMarks, CVeskaView* view,
                           QWidget* parent)
    : m_localMarks(localMarks), m_netMarks(netMarks), m_pView(view), m_pParent(parent) {}

CReadMarkDlg::~CReadMarkDlg() = default;

int CReadMarkDlg::DoModal() {
    return 2;
}
