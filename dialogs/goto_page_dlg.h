#pragma once

#include <string>

class CTemplateDialog;
class QWidget;

// The go-to-page dialog: shows the current page and the page count, collects a page number.
class CGoToPageDlg {
public:
    CGoToPageDlg(int currentPage, int totalPages, QWidget* parent = nullptr);
    virtual ~CGoToPageDlg();
    CGoToPageDlg(const CGoToPageDlg&) = delete;
    CGoToPageDlg& operator=(const CGoToPageDlg&) = delete;

    // IDOK (1) or IDCANCEL (2); after IDOK m_strPage holds the typed text.
    int DoModal();

    // Fills the controls, selects the page number so that typing replaces it. false: the focus
    // is already placed.
    bool OnInitDialog();
    // Copies the typed text into m_strPage and ends the dialog with IDOK.
    void OnOK();

    std::u16string m_strPage;      // "%d" of the current page number
    std::u16string m_strTotalPage; // "%d页" of the page count
    QWidget* m_pParent;
    CTemplateDialog* m_pDialog = nullptr; // the window while DoModal runs
};
