#pragma once

#include "app/status_panes.h"

#include <QMainWindow>
#include <QMenu>
#include <QPointer>

#include <map>

class CTrueColorToolBar;
class CShelfDlg;
class CShelfRecorder;
class CVeskaView;
class QAction;
class QHBoxLayout;
class QLabel;
class QSystemTrayIcon;
class QTimer;
struct IUrlGetManager;

// The Win32 mouse messages that tray notifications carry.
constexpr int WM_LBUTTONDOWN = 0x201;
constexpr int WM_RBUTTONUP = 0x205;

// The main window: two toolbars, the reader view in the middle, the status bar, the tray icon
// with its menu, the URL fetch manager and the 30 ms timer that drives the fetch results and the
// automatic scrolling. Closing it hides it in the tray; the tray menu's "退出" ends the program.
class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int kWidth = 830;
    static constexpr int kHeight = 726;
    static constexpr int kTimerMs = 30;

    CMainFrame();
    ~CMainFrame() override;

    // Window parameters, crash handler, then the frame's parts and the view. false when a part
    // the frame cannot do without failed.
    bool Create();
    // The view's first update (after Create, before the window is shown).
    void InitialUpdateFrame();

    CVeskaView* GetActiveView() const { return m_pView; }
    CShelfRecorder* ShelfRecorder() const { return m_pShelfRecorder; }

    // Routes a command: the view first, then the frame, then the application.
    void OnCommand(int id);
    // Rebuilds the three status texts and the progress from the view's book.
    void UpdateStatusBar();
    // Adds a lasting notice (something the reader must know about this run) to the status bar:
    // a short text, and the whole story in its tooltip.
    void ShowNotice(const QString& text, const QString& detail);
    // The title of the chapter on screen, in a pane of its own (empty: none).
    void SetChapterStatus(const QString& title);
    QLabel* ChapterPane() const { return m_statusPanes->Chapter(); }
    // The progress pane: how far into the book the first line on screen is ("42.3%").
    void UpdateProgress();
    // Returns 1 for another icon id, 0 otherwise.
    int OnTrayNotify(int iconId, int mouseMessage);
    void OnTrayExit();
    // Shows the window, restored from hidden or minimised, raised and focused.
    void OnTrayShow();
    void OnOpenReadMark();
    void OnShelf();
    // Another process changed the shelf: the 书架 window, when open, shows it as it is now.
    void OnShelfChanged();
    void OnOption();
    void OnJoke();
    void SendStatistics();
    void OnTimer();
    // Runs the timer while there is something for it to do, stops it otherwise.
    void UpdateTimer();
    // Hides the window to the tray (Esc, close); without a notification area minimises it instead.
    void HideWindow();
    // Esc: leaves full screen first; otherwise hides the window.
    void OnEscape();
    // F11: full screen with the text only, or back to the window as it was.
    void OnFullScreen();
    // The dark palette for the whole program (toolbars, status bar, dialogs), or the usual one.
    // Puts a bar dropped beside the other back on a row of its own.
    void KeepToolBarsOnRowsOfTheirOwn();
    void ApplyNightPalette(bool night);
    // Brings the pressed state of the auto-scroll button in line with the settings.
    void UpdateCommandUI();

    // Whether a notification area exists; tests can force either answer (-1 asks the desktop).
    static bool IsTrayAvailable();
    static void SetTrayAvailableForTesting(int available);

    // Parts, for the application and for tests.
    QAction* Action(int id) const;
    QLabel* StatusPane(int index) const { return m_statusPanes->Pane(index); }
    // The status bar's pane naming the open book's encoding.
    QLabel* CodePagePane() const { return m_statusPanes->CodePage(); }
    QLabel* NoticePane() const { return m_statusPanes->Notice(); }
    QLabel* ProgressPane() const { return m_statusPanes->Progress(); }
    QLabel* TimeLeftPane() const { return m_statusPanes->TimeLeft(); }
    CTrueColorToolBar* MainToolBar() const { return m_wndToolBar; }
    CTrueColorToolBar* ReaderToolBar() const { return m_wndReaderBar; }
    QSystemTrayIcon* TrayIcon() const { return m_trayIcon; }
    QMenu* TrayMenu() { return &m_menuTray; }
    QTimer* Timer() const { return m_timer; }
    CLockIndicators* LockIndicators() const { return m_statusPanes->LockIndicators(); }

    // The toolbars are always there: no menu to hide them.
    QMenu* createPopupMenu() override { return nullptr; }
    IUrlGetManager* UrlManager() const { return m_pUrlManager; }

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void PreCreateWindow();
    bool OnCreate();
    QAction* MakeAction(int id, const QString& text);
    void CreateMainToolBar();
    void CreateReaderToolBar();
    void CreateStatusBar();
    void CreateAccelerators();
    void CreateTray();
    // The saved place of the window when it is on a screen that exists; centred otherwise.
    void RestorePlacement();
    // Notes the window's place in the reading preferences and saves them soon after.
    void RecordPlacement();
    void SavePlacement();

    CStatusPanes* m_statusPanes = nullptr;
    CTrueColorToolBar* m_wndToolBar = nullptr;
    CTrueColorToolBar* m_wndReaderBar = nullptr;
    QSystemTrayIcon* m_trayIcon = nullptr;
    QMenu* m_pPopupMenu = nullptr;
    QMenu m_menuTray;
    IUrlGetManager* m_pUrlManager = nullptr;
    CVeskaView* m_pView = nullptr;
    // A child made after the view: the session's last place reaches the shelf as the view goes.
    CShelfRecorder* m_pShelfRecorder = nullptr;
    QPointer<CShelfDlg> m_pShelfDlg; // while it is open
    QTimer* m_timer = nullptr;
    std::map<int, QAction*> m_actions;
    // A move or resize comes as a stream of events: the place is saved once they stop.
    QTimer* m_placementTimer = nullptr;
    bool m_bMaximizedBeforeFullScreen = false;
    bool m_bMaximizeWhenShown = false;
    // Fractions of a pixel of automatic scrolling carried to the next tick.
    int m_nScrollRemainder = 0;
};
