#include "view/goto_page_dlg.h"

#include <string>

namespace {
std::u16string Digits(int n) {
    const std::string s = std::to_string(n);
    return std::u16string(s.begin(), s.end());
}
} // namespace

CGoToPageDlg::CGoToPageDlg(int currentPage, int totalPages, QWidget* parent)
    : m_strPage(Digits(currentPage)), m_strTotalPage(Digits(totalPages) + u"页"),
      m_pParent(parent) {}

CGoToPageDlg::~CGoToPageDlg() = default;

int CGoToPageDlg::DoModal() {
    return 2;
}
