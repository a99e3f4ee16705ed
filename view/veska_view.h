#pragma once

#include "history/reader_history.h"
#include "settings/option_dlg.h"
#include "text/resource_data.h"

#include <QWidget>

#include <string>

class CMainFrame;
class CTxtRichEdit;

// The reader view: the central widget of the main frame and the owner of everything reading
// needs (the settings, the open book, the history and the text pane). It carries out every
// reader command.
class CVeskaView : public QWidget {
    Q_OBJECT
public:
    CVeskaView(CMainFrame* frame, QWidget* parent = nullptr);
    ~CVeskaView() override;

    // Loads the history, creates the pane, applies the settings, shows the welcome text and sets
    // the window title.
    void OnInitialUpdate();

    // Handles the commands the view owns; false for ids that belong to someone else.
    bool OnCommand(int id);

    void OnFileOpen();
    // 0 when the book opened (then its first page is shown), otherwise nothing changes.
    int OpenBook(const std::u16string& path);
    void GotoPage(int index);
    // After every attempt to change the page: status bar, then the history when auto_record is 1.
    void UpdateReadState();
    void ToggleAutoScrollPause();
    static const std::u16string& GetWelcomeText();

    void OnFontBigger();
    void OnFontSmaller();
    void OnRowDisBigger();
    void OnRowDisSmaller();
    void OnNextPage();
    void OnPrevPage();
    void OnNextScreen();
    void OnPrevScreen();
    void OnGotoPage();
    void OnAutoScroll();
    // Whether the auto-scroll button shows pressed.
    bool OnUpdateAutoScroll() const;
    void OnOption();
    // Shows the reading preferences (face, margins, widest line, day or night) on the same
    // screen of the page.
    void ApplyReadingPrefs();
    // The paths of one drop, in the drop's order; the last non-empty one is opened.
    void OnDropFiles(const QStringList& paths);
    void OnKeyDown(unsigned nChar, unsigned nRepCnt, unsigned nFlags);
    void OnSize();

    // Whether a book is open: page commands before the first book record nothing.
    bool HasBook() const;
    CMainFrame* GetMainFrame() const { return m_pMainFrame; }

    COptionDlg m_optionDlg;
    CTxtRichEdit* m_pTxtEdit = nullptr;
    CResourceData m_resourceData;
    int m_bAutoScrollRunning = 0;
    CReaderHistory m_history;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    CMainFrame* m_pMainFrame;
};
