#pragma once

#include "history/read_place_store.h"
#include "history/reader_history.h"
#include "settings/option_dlg.h"
#include "text/book_scanner.h"
#include "text/resource_data.h"

#include <QTimer>
#include <QWidget>

#include <optional>
#include <string>
#include <vector>

class CBookScanWorker;
class CChapterListDlg;
class CFindBar;
class CMainFrame;
class CTxtRichEdit;
class QMenu;

// The reader view: the central widget of the main frame and the owner of everything reading
// needs (the settings, the open book, the history and the text pane). It carries out every
// reader command.
class CVeskaView : public QWidget {
    Q_OBJECT
public:
    CVeskaView(CMainFrame* frame, QWidget* parent = nullptr);
    ~CVeskaView() override;

    // Loads the history, creates the pane, applies the settings, reopens the book read last at its
    // place (the welcome text when there is none) and sets the window title.
    void OnInitialUpdate();

    // Handles the commands the view owns; false for ids that belong to someone else.
    bool OnCommand(int id);

    void OnFileOpen();
    // 0 when the book opened, otherwise nothing changes. A book the history holds (same name and
    // path) opens at its recorded page and screen, any other at its first page. Every way of
    // opening a book goes through here.
    int OpenBook(const std::u16string& path);
    void GotoPage(int index);
    // After every attempt to change the page: the status bar now; the history and the place (when
    // auto_record is 1) once the new page has been painted.
    void UpdateReadState();
    // Writes the history and the place UpdateReadState left for after the paint, if it has not
    // been done yet: before anything else reads or replaces them.
    void RecordReadState();
    // The pane scrolled: progress now, the place soon.
    void OnPaneScrolled();
    // Records where the reader is (when auto_record is 1 and a book is open).
    void SavePlace();
    // How far into the book the first line on screen is, in percent of its bytes; -1 without a
    // book.
    double ReadPercent() const;
    // The history record of the book read last (most recent place first), or null.
    const ReadMarkInfo* LastReadRecord() const;
    // Ctrl+C: the marked line (or the selection) to the clipboard.
    void OnEditCopy();
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

    // The encoding menu of the toolbar button and the text pane: "自动检测", then each encoding
    // CEncodingChoice names; the one in effect for the open book is checked.
    QMenu* EncodingMenu();
    // Reads the open book in the encoding `choice` names ("" detects it again), on the same page
    // and screen, and remembers the choice for the book ("" forgets it).
    void OnEncodingChoice(const std::string& choice);
    // Tells the reader (status bar), the log and standard error that a data file (path in the
    // legacy code page) was left unread and will not be saved over; `err` is the errno of why,
    // `outcome` in a few words and `consequence` in full what the reader does instead.
    void ReportRefusedFile(const std::string& path, int err, const QString& outcome,
                           const QString& consequence);
    // Chapters: the list ("目录"), the previous and next chapter, and which one is on screen
    // (-1 before the first heading). The list comes from the cache or from a scan that starts
    // when the book opens.
    void OnChapterList();
    void OnPrevChapter();
    void OnNextChapter();
    int CurrentChapter() const;
    // Shows the chapter's page with its heading line at the top.
    void GotoChapter(int index);
    const std::vector<ScanHit>& Chapters() const { return m_chapters; }
    bool ChaptersComplete() const { return m_bChaptersComplete; }

    // Search: the find bar, next and previous occurrence (F3, Shift+F3).
    void OnFind();
    void FindNext(bool forward);
    bool IsFindRunning() const;
    CFindBar* FindBar() const { return m_pFindBar; }
    // Esc: stops a search, else closes the find bar, else hides the window.
    void OnEscape();

    // Whether a book is open: page commands before the first book record nothing.
    bool HasBook() const;
    CMainFrame* GetMainFrame() const { return m_pMainFrame; }

    COptionDlg m_optionDlg;
    CTxtRichEdit* m_pTxtEdit = nullptr;
    CResourceData m_resourceData;
    int m_bAutoScrollRunning = 0;
    CReaderHistory m_history;
    CReadPlaceStore m_places;

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // Checks the menu item of the open book's choice; without a book the items are disabled.
    void UpdateEncodingMenu();
    // Reports what loading the settings and the history could not take as it was.
    void ReportLoadedFiles();
    void StartChapterScan();
    void AddChapters(std::vector<ScanHit> chapters);
    void UpdateChapterStatus();
    void CancelScans();
    void ShowFound(const std::optional<ScanHit>& found, bool wrapped, bool forward);
    // The character index of `offset` in the current page's text.
    int TextPositionOf(std::uint64_t offset) const;

    CMainFrame* m_pMainFrame;
    CBookScanWorker* m_pChapterWorker;
    CBookScanWorker* m_pFindWorker;
    CFindBar* m_pFindBar;
    CChapterListDlg* m_pChapterDlg = nullptr; // while the list is open
    std::vector<ScanHit> m_chapters;
    bool m_bChaptersComplete = false;
    int m_nChapterProgress = 0;
    std::optional<ScanHit> m_lastFound; // the occurrence selected last, for F3 / Shift+F3
    std::u16string m_strLastFind;
    // The local record for this book name and path, or null.
    const ReadMarkInfo* FindRecord(const std::string& name, const std::string& path) const;

    QTimer m_placeTimer;           // saves the place a moment after scrolling, not at every pixel
    bool m_bRecordPending = false; // UpdateReadState has posted the write of the history and place
    QMenu* m_pEncodingMenu = nullptr;
};
