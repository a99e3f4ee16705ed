#pragma once

#include "reader/book_search.h"
#include "reader/reader_session.h"
#include "settings/settings_store.h"
#include "text/chapter_list.h"
#include "view/welcome_text.h"

#include <QWidget>

#include <memory>
#include <optional>
#include <string>
#include <vector>

class CChapterListDlg;
class CPaneBook;
class CEncodingMenu;
class CScriptMenu;
class CFindBar;
class CTxtRichEdit;
class QMenu;

// The reader view: the central widget of the main window. It owns the settings and the reader
// session, shows the session's page in the text pane and carries out the reader commands; what
// belongs to the window around it (status bar, palette, full screen) it announces by signals.
class CVeskaView : public QWidget {
    Q_OBJECT
public:
    explicit CVeskaView(QWidget* parent = nullptr);
    ~CVeskaView() override;

    // Loads the history, creates the pane, applies the settings, reopens the book read last at its
    // place (the welcome text when there is none) and sets the window title.
    void OnInitialUpdate();

    // Handles the commands the view owns; false for ids that belong to someone else.
    bool OnCommand(int id);

    void OnFileOpen();
    // 0 when the book opened, otherwise nothing changes. Every way of opening a book goes
    // through here.
    int OpenBook(const std::u16string& path);
    void GotoPage(int index);
    // → and ←: the start of the next or previous page's text first on screen.
    void StepPage(int step);
    // The open book's re-flow of hard-wrapped lines: "" automatic, "on", "off".
    void SetReflowChoice(const std::string& choice);
    // After every attempt to change the page: the status now, the records after the paint.
    void UpdateReadState();
    // Writes the records UpdateReadState left for after the paint, if not done yet.
    void RecordReadState();
    // How far into the book the first line on screen is, in percent of its bytes; -1 without a
    // book.
    double ReadPercent() const;
    // Ctrl+C: the marked line (or the selection) to the clipboard.
    void OnEditCopy();
    void ToggleAutoScrollPause();
    // Whether automatic scrolling moves the text now (on, and not paused).
    bool IsAutoScrolling() const;
    static const std::u16string& GetWelcomeText() { return WelcomeText(); }

    // B, S, R, T: the font or the line spacing one step up (1) or down (-1), saved at once.
    void StepFont(int step);
    void StepRowDis(int step);
    void OnGotoPage();
    void OnAutoScroll();
    // Whether the auto-scroll button shows pressed.
    bool OnUpdateAutoScroll() const;
    void OnOption();
    // The chapter and clean-up rules (规则), over `over` (the settings dialog) or the view.
    void OnRules(QWidget* over = nullptr);
    // The bookmarks: the chosen one opens once the dialog has closed.
    void OnOpenReadMark();
    // Shows the reading preferences (face, margins, widest line, day or night) on the same
    // screen of the page.
    void ApplyReadingPrefs();
    // The paths of one drop, in the drop's order; the last non-empty one is opened.
    void OnDropFiles(const QStringList& paths);

    // The encoding menu of the toolbar button and the text pane: "自动检测", then each encoding
    // CEncodingChoice names; the one in effect for the open book is checked.
    QMenu* EncodingMenu();
    // The 简繁 menu of the toolbar button and the text pane (CScriptMenu).
    QMenu* ScriptMenu();
    // The text pane's right-click menu: the encodings, then the 简繁 menu.
    QMenu* ContextMenu();
    // Shows the open book in the script `choice` names ("" follows the default), on the same
    // first line, and remembers it for the book.
    void OnScriptChoice(const std::string& choice);
    // Reads the open book in the encoding `choice` names ("" detects it again), on the same page
    // and screen, and remembers the choice for the book ("" forgets it).
    void OnEncodingChoice(const std::string& choice);

    // Chapters: the list ("目录"), the previous and next chapter, and which one is on screen
    // (-1 before the first heading).
    void OnChapterList();
    void OnPrevChapter();
    void OnNextChapter();
    int CurrentChapter() const;
    // Shows the chapter's page with its heading line at the top.
    void GotoChapter(int index);
    const CChapterList& Chapters() const;
    bool ChaptersComplete() const;

    // Search: the find bar, next and previous occurrence (F3, Shift+F3).
    void OnFind();
    void FindNext(bool forward);
    bool IsFindRunning() const;
    CFindBar* FindBar() const { return m_pFindBar; }
    // Esc: stops a search, else closes the find bar, else leaves it to the window (escape).
    void OnEscape();

    // The book in the pane: the pages it holds and the map between pane positions and places.
    CPaneBook& PaneBook() { return *m_pPaneBook; }

    // Whether a book is open: page commands before the first book record nothing.
    bool HasBook() const;
    CReaderSession& Session() { return *m_pSession; }
    const CReaderSession& Session() const { return *m_pSession; }
    CSettingsStore& Store() { return m_settings; }
    const ReaderSettings& Settings() const { return m_settings.Settings(); }
    const ReadingPrefs& Prefs() const { return m_settings.Prefs(); }

    CTxtRichEdit* m_pTxtEdit = nullptr;
    int m_bAutoScrollRunning = 0;

signals:
    // For the window around the view.
    void notice(const QString& text, const QString& detail);
    void stateChanged();
    void progressChanged();
    void chapterChanged(const QString& title);
    void nightChanged(bool night);
    void autoScrollChanged();
    // Esc with nothing of the view's to stop or close.
    void escapeUnhandled();
    // A key's command that is not the view's own.
    void commandRequested(int id);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void OnSize();
    // The first line on screen moved: the session follows it.
    void OnPaneScrolled(int topCharacter);
    // The reading preferences' typesetting to the session and the pane; true when the book's
    // text must be set anew.
    bool ApplyTypesetting();
    void UpdateChapterStatus();
    void ShowFound(const CBookSearch::Result& result, bool forward);
    // Saves changed settings (font, spacing, scrolling).
    void SetSettings(const ReaderSettings& settings);

    CSettingsStore m_settings;
    std::unique_ptr<CReaderSession> m_pSession;
    CFindBar* m_pFindBar;
    CChapterListDlg* m_pChapterDlg = nullptr; // while the list is open
    std::optional<ScanHit> m_lastFound;       // the occurrence selected last, for F3 / Shift+F3
    std::u16string m_strLastFind;
    CEncodingMenu* m_pEncodingMenu = nullptr;
    CScriptMenu* m_pScriptMenu = nullptr;
    QMenu* m_pContextMenu = nullptr;
    std::unique_ptr<CPaneBook> m_pPaneBook;
    bool m_bTypesetApplied = false; // the preferences' typesetting has reached the session
};
