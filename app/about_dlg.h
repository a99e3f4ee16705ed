#pragma once

class QWidget;

// The About box ("关于 Veska").
class CAboutDlg {
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
    virtual ~CAboutDlg();

    int DoModal();

private:
    QWidget* m_pParent;
};
