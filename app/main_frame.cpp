#include "app/main_frame.h"

#include "app/command_strings.h"
#include "app/night_palette.h"
#include "app/shelf_recorder.h"
#include "app/true_color_tool_bar.h"
#include "app/veska_app.h"
#include "app/window_placement.h"
#include "app/x11_window_title.h"
#include "diag/crash_handler.h"
#include "dialogs/shelf_dlg.h"
#include "reader/reader_session.h"
#include "res/picture_resources.h"
#include "res/resource.h"
#include "url_get/core/url_get_manager.h"
#include "view/key_table.h"
#include "view/txt_rich_edit.h"
#include "view/veska_view.h"
#include "widgets/link_opener.h"
#include "widgets/modal_hook.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMoveEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QScreen>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QToolButton>
#include <QUrl>

#include <cmath>
#include <cstdlib>
#include <ctime>

namespace {

int g_trayAvailableOverride = -1;

constexpr int kPlacementSaveDelayMs = 300;

constexpr int kMainBarIds[] = {ID_OPEN_READ_MARK, ID_FILE_OPEN,     ID_NET_LIBRARY,
                               ID_OPTION,         ID_JOKE,          ID_APP_ABOUT,
                               ID_TOOLBAR_SPARE1, ID_TOOLBAR_SPARE2};
const char16_t* const kMainBarTexts[] = {u"打开书签", u"打开文件", u"网络书库", u"系统设置",
                                         u"开心一下", u"关于",     u"",         u""};

constexpr int kReaderBarIds[] = {
    ID_FONT_BIGGER, ID_FONT_SMALLER, ID_ROW_DIS_BIGGER, ID_ROW_DIS_SMALLER, ID_NEXT_PAGE,
    ID_PREV_PAGE,   ID_NEXT_SCREEN,  ID_PREV_SCREEN,    ID_GOTO_PAGE,       ID_AUTO_SCROLL};
const char16_t* const kReaderBarGlyphs[] = {u"A+", u"A-", u"≡+", u"≡-", u"→",
                                            u"←",  u"↓",  u"↑",  u"G",  u"A"};
const char16_t* const kMainBarGlyphs[] = {u"签", u"开", u"网", u"设", u"乐", u"?", u"", u""};

// A plain picture for a button until the toolbar bitmaps replace it: a rounded tile with a glyph.
QIcon PlaceholderIcon(const QString& glyph, int size, const QColor& tile) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(tile);
    painter.drawRoundedRect(QRectF(1, 1, size - 2, size - 2), size / 6.0, size / 6.0);
    if (!glyph.isEmpty()) {
        QFont font;
        font.setPixelSize(glyph.size() > 1 ? size * 9 / 20 : size * 3 / 5);
        font.setBold(true);
        painter.setFont(font);
        painter.setPen(Qt::white);
        painter.drawText(pixmap.rect(), Qt::AlignCenter, glyph);
    }
    return QIcon(pixmap);
}

QIcon EncodingIcon() {
    return QIcon(CTrueColorToolBar::ForPalette(LoadIconResource(IDI_ENCODING).pixmap(16, 16)));
}

QString StatsUrl() {
    if (const char* fromEnvironment = std::getenv("VESKA_STATS_URL")) {
        return QString::fromLocal8Bit(fromEnvironment);
    }
    return QStringLiteral(VESKA_STATS_URL);
}

} // namespace

CMainFrame::CMainFrame() {
    setObjectName(QStringLiteral("mainFrame"));
    setWindowTitle(QStringLiteral("Veska"));
}

CMainFrame::~CMainFrame() {
    if (m_timer != nullptr) {
        m_timer->stop();
    }
    if (m_trayIcon != nullptr) {
        m_trayIcon->hide();
    }
    if (m_placementTimer != nullptr && m_placementTimer->isActive()) {
        SavePlacement();
    }
    ApplyNightPalette(false); // the palette outlives the window
    // Stops and joins the workers, so no thread outlives the window.
    delete m_pUrlManager;
    m_pUrlManager = nullptr;
}

bool CMainFrame::Create() {
    PreCreateWindow();
    return OnCreate();
}

void CMainFrame::PreCreateWindow() {
    // The log's console sink is left open: it is only ever open because VESKA_LOG=- asked for
    // the log on standard error, and a window appearing does not change that wish.
    // No menu bar: QMainWindow makes one only when asked for it.
    resize(kWidth, kHeight);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(area.x() + (area.width() - kWidth) / 2, area.y() + (area.height() - kHeight) / 2);
    }
    InstallCrashHandler();
}

bool CMainFrame::OnCreate() {
    m_pUrlManager = CreateUrlGetManager();
    if (m_pUrlManager != nullptr) {
        m_pUrlManager->Init();
        m_pUrlManager->Start(1);
    }

    m_pView = new CVeskaView(this);
    setCentralWidget(m_pView);
    // The window shows what the reader layer and the view announce.
    connect(m_pView, &CVeskaView::notice, this, &CMainFrame::ShowNotice);
    m_pShelfRecorder = new CShelfRecorder(m_pView->Session(), this);
    connect(m_pShelfRecorder, &CShelfRecorder::notice, this, &CMainFrame::ShowNotice);
    connect(m_pView, &CVeskaView::stateChanged, this, &CMainFrame::UpdateStatusBar);
    connect(m_pView, &CVeskaView::progressChanged, this, &CMainFrame::UpdateProgress);
    connect(m_pView, &CVeskaView::chapterChanged, this, &CMainFrame::SetChapterStatus);
    connect(m_pView, &CVeskaView::nightChanged, this, &CMainFrame::ApplyNightPalette);
    connect(m_pView, &CVeskaView::autoScrollChanged, this, &CMainFrame::UpdateCommandUI);
    connect(m_pView, &CVeskaView::escapeUnhandled, this, &CMainFrame::OnEscape);
    connect(m_pView, &CVeskaView::commandRequested, this, &CMainFrame::OnCommand);

    CreateMainToolBar();
    CreateStatusBar();
    addToolBarBreak(Qt::TopToolBarArea);
    CreateReaderToolBar();
    // A bar dropped beside the other is put back on a row of its own once it has moved there.
    m_wndToolBar->installEventFilter(this);
    m_wndReaderBar->installEventFilter(this);
    CreateAccelerators();
    CreateTray();

    m_timer = new QTimer(this);
    m_timer->setObjectName(QStringLiteral("frameTimer"));
    m_timer->setInterval(kTimerMs);
    connect(m_timer, &QTimer::timeout, this, &CMainFrame::OnTimer);
    UpdateTimer();

    SendStatistics();

    m_placementTimer = new QTimer(this);
    m_placementTimer->setSingleShot(true);
    m_placementTimer->setInterval(kPlacementSaveDelayMs);
    connect(m_placementTimer, &QTimer::timeout, this, &CMainFrame::SavePlacement);
    return true;
}

void CMainFrame::InitialUpdateFrame() {
    m_pView->OnInitialUpdate();
    RestorePlacement();
    UpdateCommandUI();
}

void CMainFrame::RestorePlacement() {
    const ReadingPrefs& prefs = m_pView->Prefs();
    bool onScreen = false;
    const QRect place = CWindowPlacement::Restored(prefs, onScreen);
    if (onScreen) {
        setGeometry(place);
    } else if (place.isValid()) {
        resize(place.size());
        move(place.topLeft());
    }
    // Maximised once shown, so that the window system knows the place it goes back to.
    m_bMaximizeWhenShown = prefs.window_maximized != 0;
}

void CMainFrame::RecordPlacement() {
    if (m_pView == nullptr || m_placementTimer == nullptr || !isVisible() || isFullScreen() ||
        isMinimized()) {
        return;
    }
    ReadingPrefs prefs = m_pView->Prefs();
    if (CWindowPlacement::Record(*this, prefs)) {
        m_pView->Store().SetPrefs(prefs, false);
        m_placementTimer->start();
    }
}

void CMainFrame::SavePlacement() {
    m_placementTimer->stop();
    m_pView->Store().SavePrefs();
}

QAction* CMainFrame::MakeAction(int id, const QString& text) {
    auto* action = new QAction(text, this);
    action->setData(id);
    action->setStatusTip(CommandPrompt(id));
    action->setToolTip(CommandToolTip(id));
    connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
    if (m_actions.find(id) == m_actions.end()) {
        m_actions[id] = action;
    }
    return action;
}

QAction* CMainFrame::Action(int id) const {
    const auto found = m_actions.find(id);
    return found == m_actions.end() ? nullptr : found->second;
}

void CMainFrame::CreateMainToolBar() {
    m_wndToolBar = new CTrueColorToolBar(this);
    m_wndToolBar->setObjectName(QStringLiteral("mainToolBar"));
    m_wndToolBar->setWindowTitle(QStringLiteral("Veska"));
    m_wndToolBar->setMovable(true); // the gripper
    m_wndToolBar->setFloatable(false);
    m_wndToolBar->setAllowedAreas(Qt::TopToolBarArea);
    m_wndToolBar->setIconSize(QSize(48, 48));
    m_wndToolBar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    // Tight buttons and separators, so that all eight buttons fit the 830-pixel window.
    m_wndToolBar->setStyleSheet(QStringLiteral("QToolBar { spacing: 0px; padding: 0px; }"
                                               "QToolBar::separator { width: 4px; }"
                                               "QToolButton { padding: 1px; margin: 0px; }"));
    const int count = int(std::size(kMainBarIds));
    for (int i = 0; i < count; ++i) {
        QAction* action = MakeAction(kMainBarIds[i], QString::fromUtf16(kMainBarTexts[i]));
        action->setIcon(
            PlaceholderIcon(QString::fromUtf16(kMainBarGlyphs[i]), 48, QColor(0x3A, 0x7B, 0xC8)));
        if (kMainBarIds[i] == ID_TOOLBAR_SPARE1 || kMainBarIds[i] == ID_TOOLBAR_SPARE2) {
            action->setEnabled(false);
        }
        m_wndToolBar->addAction(action);
        m_wndToolBar->widgetForAction(action)->installEventFilter(this);
        if (i + 1 < count) {
            m_wndToolBar->addSeparator();
        }
    }
    // One strip serves all three states; each list is only tried after the one before it took.
    if (m_wndToolBar->SetImageListFromBitmap(48, TB_SETIMAGELIST, IDB_MAIN_BAR) &&
        m_wndToolBar->SetImageListFromBitmap(48, TB_SETHOTIMAGELIST, IDB_MAIN_BAR)) {
        m_wndToolBar->SetImageListFromBitmap(48, TB_SETDISABLEDIMAGELIST, IDB_MAIN_BAR);
    }
    addToolBar(Qt::TopToolBarArea, m_wndToolBar);
}

void CMainFrame::CreateReaderToolBar() {
    m_wndReaderBar = new CTrueColorToolBar(this);
    m_wndReaderBar->setObjectName(QStringLiteral("readerToolBar"));
    m_wndReaderBar->setWindowTitle(QStringLiteral("Veska"));
    m_wndReaderBar->setMovable(true); // the gripper
    m_wndReaderBar->setFloatable(false);
    m_wndReaderBar->setAllowedAreas(Qt::TopToolBarArea);
    m_wndReaderBar->setIconSize(QSize(16, 16));
    m_wndReaderBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    const int count = int(std::size(kReaderBarIds));
    for (int i = 0; i < count; ++i) {
        const int id = kReaderBarIds[i];
        QAction* action = MakeAction(id, CommandToolTip(id));
        action->setIcon(
            PlaceholderIcon(QString::fromUtf16(kReaderBarGlyphs[i]), 16, QColor(0x4A, 0x8A, 0x4A)));
        if (id == ID_AUTO_SCROLL) {
            // Pressed while automatic scrolling is on; the view sets the state after each toggle.
            action->setCheckable(true);
        }
        m_wndReaderBar->addAction(action);
        m_wndReaderBar->widgetForAction(action)->installEventFilter(this);
        if (i + 1 < count) {
            m_wndReaderBar->addSeparator();
        }
    }
    // The chapter list at the end, with a picture of its own: the strip has ten pictures.
    m_wndReaderBar->addSeparator();
    QAction* chapters = MakeAction(ID_CHAPTER_LIST, CommandToolTip(ID_CHAPTER_LIST));
    chapters->setProperty(CTrueColorToolBar::kOwnPictureProperty,
                          QVariant::fromValue(LoadBitmapIcon(IDB_CHAPTER_LIST)));
    m_wndReaderBar->addAction(chapters);
    m_wndReaderBar->widgetForAction(chapters)->installEventFilter(this);
    QAction* shelf = MakeAction(ID_SHELF, CommandToolTip(ID_SHELF));
    shelf->setProperty(
        CTrueColorToolBar::kOwnPictureProperty,
        QVariant::fromValue(PlaceholderIcon(QStringLiteral(u"书"), 16, QColor(0x4A, 0x6A, 0x9A))));
    m_wndReaderBar->addAction(shelf);
    m_wndReaderBar->widgetForAction(shelf)->installEventFilter(this);
    // The encoding button has a picture of its own and opens the view's encoding menu. As a widget
    // it keeps its picture whatever the strip gives the buttons.
    auto* encoding = new QToolButton(m_wndReaderBar);
    encoding->setObjectName(QStringLiteral("encodingButton"));
    encoding->setToolTip(QStringLiteral(u"编码"));
    encoding->setIcon(EncodingIcon());
    encoding->setAutoRaise(true);
    encoding->setPopupMode(QToolButton::InstantPopup);
    encoding->setMenu(m_pView->EncodingMenu());
    // 简繁: the book in the script the reader reads.
    auto* script = new QToolButton(m_wndReaderBar);
    script->setObjectName(QStringLiteral("scriptButton"));
    script->setToolTip(QStringLiteral(u"简繁"));
    script->setAccessibleName(QStringLiteral(u"简繁"));
    script->setIcon(PlaceholderIcon(QStringLiteral(u"繁"), 16, QColor(0x8A, 0x4A, 0x3A)));
    script->setAutoRaise(true);
    script->setPopupMode(QToolButton::InstantPopup);
    script->setMenu(m_pView->ScriptMenu());
    m_wndReaderBar->addSeparator();
    m_wndReaderBar->addWidget(encoding);
    m_wndReaderBar->addWidget(script);
    if (m_wndReaderBar->SetImageListFromBitmap(16, TB_SETIMAGELIST, IDR_READER_BAR) &&
        m_wndReaderBar->SetImageListFromBitmap(16, TB_SETHOTIMAGELIST, IDR_READER_BAR)) {
        m_wndReaderBar->SetImageListFromBitmap(16, TB_SETDISABLEDIMAGELIST, IDR_READER_BAR);
    }
    addToolBar(Qt::TopToolBarArea, m_wndReaderBar);
}

void CMainFrame::CreateStatusBar() {
    statusBar()->setObjectName(QStringLiteral("statusBar"));
    m_statusPanes = new CStatusPanes(statusBar());
}

void CMainFrame::ShowNotice(const QString& text, const QString& detail) {
    m_statusPanes->ShowNotice(text, detail);
}

void CMainFrame::SetChapterStatus(const QString& title) {
    m_statusPanes->ShowChapter(title);
}

void CMainFrame::CreateAccelerators() {
    // The window-wide keys of the key table; the pane's own keys it handles itself.
    for (const KeyBinding& binding : KeyTable()) {
        if (!binding.windowWide) {
            continue;
        }
        auto* action = new QAction(this);
        action->setObjectName(QStringLiteral("accelerator%1").arg(binding.command));
        action->setShortcut(binding.keys);
        action->setShortcutContext(Qt::WindowShortcut);
        const int id = binding.command;
        connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
        addAction(action);
    }
}

void CMainFrame::CreateTray() {
    m_menuTray.setTitle(QStringLiteral(u"右键菜单"));
    m_menuTray.setObjectName(QStringLiteral("trayMenu"));
    const struct {
        const char16_t* text;
        int id;
    } items[] = {{u"设置", ID_TRAY_SETTINGS}, {u"打开", ID_TRAY_OPEN}, {u"退出", ID_TRAY_EXIT}};
    for (const auto& item : items) {
        QAction* action = m_menuTray.addAction(QString::fromUtf16(item.text));
        action->setData(item.id);
        const int id = item.id;
        connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
    }

    m_trayIcon = new QSystemTrayIcon(this);
    m_trayIcon->setIcon(LoadIconResource(IDI_TRAY));
    m_trayIcon->setToolTip(QStringLiteral("Veska"));
    connect(m_trayIcon, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger) {
                    OnTrayNotify(IDR_TRAY_MENU, WM_LBUTTONDOWN);
                } else if (reason == QSystemTrayIcon::Context) {
                    OnTrayNotify(IDR_TRAY_MENU, WM_RBUTTONUP);
                }
            });
    if (IsTrayAvailable()) {
        m_trayIcon->show();
    }
    setWindowIcon(LoadIconResource(IDR_MAINFRAME));
}

bool CMainFrame::IsTrayAvailable() {
    if (g_trayAvailableOverride >= 0) {
        return g_trayAvailableOverride != 0;
    }
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void CMainFrame::SetTrayAvailableForTesting(int available) {
    g_trayAvailableOverride = available;
}

void CMainFrame::OnCommand(int id) {
    if (m_pView != nullptr && m_pView->OnCommand(id)) {
        return;
    }
    switch (id) {
    case ID_TRAY_EXIT:
        OnTrayExit();
        return;
    case ID_TRAY_SETTINGS:
    case ID_TRAY_OPEN:
        OnTrayShow();
        return;
    case ID_OPEN_READ_MARK:
        OnOpenReadMark();
        return;
    case ID_SHELF:
        OnShelf();
        return;
    case ID_NET_LIBRARY:
        return; // no network library yet: the button does nothing
    case ID_OPTION:
        OnOption();
        return;
    case ID_JOKE:
        OnJoke();
        return;
    case ID_FULL_SCREEN:
        OnFullScreen();
        return;
    default:
        break;
    }
    if (CVeskaApp* app = CVeskaApp::Instance()) {
        app->OnCommand(id);
    }
}

void CMainFrame::UpdateStatusBar() {
    const CResourceData& book = m_pView->Session().Book();
    m_statusPanes->ShowBook(
        QString::fromStdU16String(book.m_strName), book.m_nCurPage, book.GetPageCount(),
        m_pView->HasBook() ? QString::fromStdString(book.CodePageDisplayName()) : QString());
    UpdateProgress();
}

void CMainFrame::UpdateProgress() {
    if (m_statusPanes != nullptr && m_pView != nullptr) {
        m_statusPanes->ShowProgress(m_pView->ReadPercent());
        m_statusPanes->ShowTimeLeft(m_pShelfRecorder != nullptr ? m_pShelfRecorder->SecondsLeft()
                                                                : -1);
    }
}

int CMainFrame::OnTrayNotify(int iconId, int mouseMessage) {
    if (iconId != IDR_TRAY_MENU) {
        return 1;
    }
    if (mouseMessage == WM_LBUTTONDOWN) {
        OnTrayShow();
    } else if (mouseMessage == WM_RBUTTONUP) {
        m_pPopupMenu = &m_menuTray;
        const QPoint cursor = QCursor::pos();
        activateWindow();
        // Right edge at the cursor.
        m_pPopupMenu->popup(QPoint(cursor.x() - m_pPopupMenu->sizeHint().width(), cursor.y()));
    }
    return 0;
}

void CMainFrame::OnTrayExit() {
    if (m_trayIcon != nullptr) {
        m_trayIcon->hide();
    }
    QCoreApplication::exit(TRAY_EXIT_CODE);
}

void CMainFrame::OnTrayShow() {
    // A minimised window comes back as it was before (maximised stays maximised).
    if (isMinimized()) {
        setWindowState(windowState() & ~Qt::WindowMinimized);
    }
    show();
    raise();
    activateWindow();
}

void CMainFrame::OnOpenReadMark() {
    m_pView->OnOpenReadMark();
}

void CMainFrame::OnShelf() {
    CBookShelf* shelf = m_pShelfRecorder->Shelf();
    if (shelf == nullptr) {
        return; // the status bar said why when the reader started
    }
    CShelfDlg dlg(*shelf, this);
    connect(&dlg, &CShelfDlg::openBook, this, [this, &dlg](const QString& path) {
        dlg.accept();
        m_pView->OpenBook(path.toStdU16String());
    });
    m_pShelfDlg = &dlg;
    RunModal(dlg);
}

void CMainFrame::OnShelfChanged() {
    if (m_pShelfDlg != nullptr) {
        m_pShelfDlg->Reload();
    }
}

void CMainFrame::OnOption() {
    m_pView->OnOption();
}

void CMainFrame::OnJoke() {
    OpenLink(QStringLiteral(VESKA_JOKE_URL).toStdU16String());
}

void CMainFrame::SendStatistics() {
    const QString url = StatsUrl();
    if (m_pUrlManager != nullptr && !url.isEmpty()) {
        m_pUrlManager->AddRequest(url.toStdString(), 0);
        UpdateTimer();
    }
}

void CMainFrame::OnTimer() {
    if (m_pUrlManager != nullptr) {
        m_pUrlManager->Update(std::int64_t(std::time(nullptr)));
    }
    if (m_pView != nullptr && m_pView->IsAutoScrolling() && isVisible()) {
        // The default speed is one step (a pixel) a tick; the others a share of that, carried over.
        m_nScrollRemainder += m_pView->Prefs().scroll_speed;
        const int steps = m_nScrollRemainder / ReadingPrefs::kDefaultScrollSpeed;
        m_nScrollRemainder %= ReadingPrefs::kDefaultScrollSpeed;
        for (int i = 0; i < steps; ++i) {
            m_pView->m_pTxtEdit->AutoScrollStep();
        }
    }
    UpdateTimer();
}

void CMainFrame::UpdateTimer() {
    if (m_timer == nullptr) {
        return;
    }
    // An idle reader (nothing to fetch, nothing scrolling, or hidden) does not wake up at all.
    const bool fetching = m_pUrlManager != nullptr && m_pUrlManager->HasWork();
    const bool scrolling = m_pView != nullptr && m_pView->IsAutoScrolling() && isVisible();
    if (!fetching && !scrolling) {
        m_timer->stop();
    } else if (!m_timer->isActive()) {
        m_timer->start();
    }
}

void CMainFrame::UpdateCommandUI() {
    if (QAction* autoScroll = Action(ID_AUTO_SCROLL)) {
        const bool pressed = m_pView != nullptr && m_pView->OnUpdateAutoScroll();
        if (autoScroll->isChecked() != pressed) {
            autoScroll->setChecked(pressed);
        }
    }
    UpdateTimer();
}

void CMainFrame::HideWindow() {
    // Without a notification area nothing could bring a hidden window back.
    if (IsTrayAvailable()) {
        hide();
    } else {
        showMinimized();
    }
}

void CMainFrame::OnEscape() {
    if (isFullScreen()) {
        OnFullScreen();
    } else {
        HideWindow();
    }
}

void CMainFrame::OnFullScreen() {
    const bool leaving = isFullScreen();
    for (QWidget* bar : {static_cast<QWidget*>(m_wndToolBar), static_cast<QWidget*>(m_wndReaderBar),
                         static_cast<QWidget*>(statusBar())}) {
        bar->setVisible(leaving);
    }
    if (!leaving) {
        m_bMaximizedBeforeFullScreen = isMaximized();
        showFullScreen();
    } else if (m_bMaximizedBeforeFullScreen) {
        showMaximized();
    } else {
        showNormal();
    }
}

void CMainFrame::KeepToolBarsOnRowsOfTheirOwn() {
    // Side by side the two bars do not fit an ordinary window: the second shrank to one button
    // and its gripper to a sliver that could not be dragged back. The bars may swap rows, never
    // share one.
    if (m_wndToolBar->isWindow() || m_wndReaderBar->isWindow()) {
        return; // a bar is being dragged; it is looked at again once it is dropped
    }
    const QRect main = m_wndToolBar->geometry();
    const QRect reader = m_wndReaderBar->geometry();
    if (main.bottom() < reader.top() || reader.bottom() < main.top()) {
        return; // rows of their own
    }
    QToolBar* second = m_wndToolBar->x() < m_wndReaderBar->x() ? m_wndReaderBar : m_wndToolBar;
    insertToolBarBreak(second);
}

void CMainFrame::ApplyNightPalette(bool night) {
    CNightPalette::Apply(night);
    for (CTrueColorToolBar* bar : {m_wndToolBar, m_wndReaderBar}) {
        if (bar != nullptr) {
            bar->RefreshForPalette();
        }
    }
    if (m_wndReaderBar != nullptr) {
        if (auto* encoding =
                m_wndReaderBar->findChild<QToolButton*>(QStringLiteral("encodingButton"))) {
            encoding->setIcon(EncodingIcon());
        }
    }
}

bool CMainFrame::event(QEvent* event) {
    if (event->type() == QEvent::StatusTip) {
        m_statusPanes->ShowPrompt(static_cast<QStatusTipEvent*>(event)->tip());
        return true;
    }
    if (event->type() == QEvent::Show || event->type() == QEvent::WindowTitleChange) {
        SetExactX11WindowTitle(this); // an empty title_name shows no name at all
    }
    return QMainWindow::event(event);
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
    if ((event->type() == QEvent::Move || event->type() == QEvent::Resize) &&
        (watched == m_wndToolBar || watched == m_wndReaderBar)) {
        QTimer::singleShot(0, this, &CMainFrame::KeepToolBarsOnRowsOfTheirOwn);
    }
    // Buttons without a string have no tooltip (Qt would fall back to the button text).
    if (event->type() == QEvent::ToolTip) {
        if (auto* button = qobject_cast<QToolButton*>(watched)) {
            if (button->defaultAction() != nullptr &&
                CommandToolTip(button->defaultAction()->data().toInt()).isEmpty()) {
                return true;
            }
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    event->ignore();
    if (IsTrayAvailable()) {
        hide();
    } else {
        OnTrayExit();
    }
}

void CMainFrame::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange) {
        RecordPlacement();
    }
    // Reading time counts only while the reader's window is the one in use.
    if (event->type() == QEvent::ActivationChange && m_pShelfRecorder != nullptr) {
        m_pShelfRecorder->SetWindowActive(isActiveWindow());
    }
}

void CMainFrame::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    UpdateTimer();
    if (m_bMaximizeWhenShown) {
        m_bMaximizeWhenShown = false;
        setWindowState(windowState() | Qt::WindowMaximized);
    }
}

void CMainFrame::hideEvent(QHideEvent* event) {
    QMainWindow::hideEvent(event);
    UpdateTimer(); // nothing scrolls in the tray
}

void CMainFrame::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    RecordPlacement();
}

void CMainFrame::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    RecordPlacement();
}

void CMainFrame::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        m_pView->OnEscape(); // a search, the find bar, full screen, then the window
        event->accept();
        return;
    }
    QMainWindow::keyPressEvent(event);
}
