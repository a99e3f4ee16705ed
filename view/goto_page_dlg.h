#pragma once

#include <string>

class QWidget;

// The go-to-page dialog: shows the current page and the page count, collects a page number.
class CGoToPageDlg {
public:
    CGoToPageDlg(int currentPage, int totalPages, QWidget* parent = nullptr);
    virtual ~CGoToPageDlg();

    // IDOK (1) or IDCANCEL (2); after IDOK m_strPage holds the typed text.
    int DoModal();

    std::u16string m_strPage;      // "%d" of the current page number
    std::u16string m_strTotalPage; // "%d页" of the page count
    QWidget* m_pParent;
};
