#pragma once

class CColorStatic;
class CTemplateDialog;
class QWidget;

// The About box ("关于 Veska"): name and version, a picture, the feedback links and the keys.
class CAboutDlg {
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
    virtual ~CAboutDlg();
    CAboutDlg(const CAboutDlg&) = delete;
    CAboutDlg& operator=(const CAboutDlg&) = delete;

    // The box has no buttons: Esc, Enter or the close box end it.
    int DoModal();

    // Pictures, and the three links in blue with their texts and targets.
    bool OnInitDialog();

    CColorStatic* m_linkJoke = nullptr; // controls of the window while DoModal runs
    CColorStatic* m_linkMail = nullptr;
    CColorStatic* m_linkHome = nullptr;
    CTemplateDialog* m_pDialog = nullptr;

private:
    QWidget* m_pParent;
};
