// The main frame: its toolbars, accelerators, tray, the ways the window is hidden or the program
// ended, full screen, the window's remembered place and the statistics request.

#include "app/true_color_tool_bar.h"
#include "shelf/book_shelf.h"
#include "tests/app/ui_test_support.h"
#include "tests/url_get/loopback_server.h"
#include "url_get/core/url_get_manager.h"
#include "widgets/elided_label.h"
#include "widgets/link_opener.h"

#include <QMenu>
#include <QScreen>
#include <QStatusBar>
#include <QStyleOptionToolBar>
#include <QSystemTrayIcon>

namespace {

using MainFrameTest = ReaderTest;

// Runs the event loop until the program asks to quit; `step` runs inside it. A program that
// never quits ends the loop with a code no test expects.
int RunUntilQuit(const std::function<void()>& step) {
    QTimer::singleShot(0, step);
    QTimer::singleShot(5000, [] { QCoreApplication::exit(-77); });
    return QCoreApplication::exec();
}

// Every button shows inside the window (none pushed into an overflow menu), the second bar under
// the first; the grippers move the bars about the top area but never float, hide or dock them
// elsewhere, and no menu offers to hide them.
TEST_F(MainFrameTest, ToolbarButtonsShowAndTheGrippersKeepTheBars) {
    CTrueColorToolBar* main = m_frame->MainToolBar();
    EXPECT_GT(m_frame->ReaderToolBar()->geometry().top(), main->geometry().top());
    EXPECT_EQ(m_frame->createPopupMenu(), nullptr);
    for (CTrueColorToolBar* bar : {main, m_frame->ReaderToolBar()}) {
        for (QAction* action : bar->actions()) {
            const QWidget* button = bar->widgetForAction(action);
            if (!action->isSeparator()) {
                EXPECT_TRUE(button->isVisible()) << action->toolTip().toStdString();
                EXPECT_LE(button->mapTo(m_frame, QPoint(button->width(), 0)).x(), m_frame->width());
            }
        }
        QStyleOptionToolBar option;
        option.initFrom(bar);
        option.features = QStyleOptionToolBar::Movable;
        option.toolBarArea = Qt::TopToolBarArea;
        const QRect handle = bar->style()->subElementRect(QStyle::SE_ToolBarHandle, &option, bar);
        ASSERT_TRUE(bar->isMovable() && handle.isValid());
        const QPoint grip = handle.center(); // dragged into the middle of the text, let go there
        QTest::mousePress(bar, Qt::LeftButton, Qt::NoModifier, grip);
        for (int step = 1; step <= 10; ++step) {
            QTest::mouseMove(bar, grip + QPoint(step * 30, step * 40));
        }
        QTest::mouseRelease(bar, Qt::LeftButton, Qt::NoModifier, grip + QPoint(300, 400));
        QCoreApplication::processEvents();
        EXPECT_FALSE(bar->isFloating());
        EXPECT_TRUE(bar->isVisible());
        EXPECT_EQ(m_frame->toolBarArea(bar), Qt::TopToolBarArea);
    }
    // Dropped beside the other, a bar goes back to a row of its own.
    m_frame->removeToolBarBreak(m_frame->ReaderToolBar());
    QTRY_VERIFY(m_frame->toolBarBreak(m_frame->ReaderToolBar()));
}

// Each pane ends before the next begins.
void ExpectSideBySide(const QWidget* frame, const std::vector<const QLabel*>& panes) {
    for (std::size_t i = 1; i < panes.size(); ++i) {
        EXPECT_LE(panes[i - 1]->mapTo(frame, QPoint(panes[i - 1]->width(), 0)).x(),
                  panes[i]->mapTo(frame, QPoint(0, 0)).x());
    }
}

// A text too long for its pane is cut with "…" and shows whole in the tooltip; the panes narrow
// together in a narrow window rather than run into each other.
TEST_F(MainFrameTest, StatusPanesCutLongTextsAndNeverOverlap) {
    const QString name =
        QStringLiteral(u"一个名字非常非常长的小说_第一部_完整精校版本_作者某某某.txt");
    WriteFile(m_dataDir.filePath(name), ChineseBook(9000));
    ASSERT_EQ(m_view->OpenBook(m_dataDir.filePath(name).toStdU16String()), 0);
    m_frame->resize(560, 500);
    QTRY_COMPARE(m_frame->width(), 560);
    auto* book = static_cast<CElidedLabel*>(m_frame->StatusPane(0));
    EXPECT_TRUE(book->ShownText().contains(u'…'));
    EXPECT_TRUE(book->ShownText().endsWith(QStringLiteral(".txt")));
    EXPECT_TRUE(book->text().contains(name));
    ExpectSideBySide(
        m_frame, {book, m_frame->StatusPane(1), m_frame->StatusPane(2), m_frame->ChapterPane()});
}

// With ten minutes of reading on record (300 000 bytes, 500 a second), the status bar tells how
// long the rest of a book takes at that speed, in a pane that runs into no other in a narrow
// window.
class TimeLeftTest : public ReaderTest {
protected:
    void BeforeStart() override {
        CBookShelf shelf(m_dataDir.path().toStdString());
        ASSERT_TRUE(shelf.Open());
        shelf.Add("/elsewhere/read.txt", {QStringLiteral(u"读过"), {}, "UTF-8", 600000}, 1);
        shelf.RecordReading("/elsewhere/read.txt", {50.0, {}, -1, false, 600}, 2);
    }
};

TEST_F(TimeLeftTest, TheStatusBarTellsTheTimeLeftAtTheReadersSpeed) {
    EXPECT_TRUE(m_frame->TimeLeftPane()->isHidden()); // no book
    const QString book = MakeBook(QStringLiteral(u"长篇.txt"), 150000);
    Open(book);
    const std::uint64_t size = m_view->Session().Book().m_nFileSize;
    EXPECT_FALSE(m_frame->TimeLeftPane()->isHidden());
    EXPECT_EQ(m_frame->TimeLeftPane()->text(), QStringLiteral(u"剩余约%1分").arg(size / 500 / 60));
    m_frame->resize(560, 500);
    QTRY_COMPARE(m_frame->width(), 560);
    ExpectSideBySide(m_frame, {m_frame->StatusPane(2), m_frame->ProgressPane(),
                               m_frame->TimeLeftPane(), m_frame->ChapterPane()});
}

// Ctrl+N opens the bookmarks, whose lists are saved when they close; the joke button opens its
// page.
TEST_F(MainFrameTest, AcceleratorsAndTheJokeButtonReachTheirCommands) {
    QFile::remove(DataPath("read_history.dat"));
    {
        ScopedModalHook closeIt([](QDialog& dialog) { dialog.reject(); });
        Key(Qt::Key_N, Qt::ControlModifier);
    }
    EXPECT_TRUE(QFile::exists(DataPath("read_history.dat")));
    QList<QUrl> opened;
    {
        ScopedLinkOpener opener([&](const QUrl& url) { opened << url; });
        m_frame->Action(ID_JOKE)->trigger();
    }
    EXPECT_EQ(opened, QList<QUrl>{QUrl(QStringLiteral(VESKA_JOKE_URL))});
}

TEST_F(MainFrameTest, WithATrayCloseAndEscHideAndTheTrayShowsAgain) {
    EXPECT_EQ(m_frame->TrayIcon()->toolTip(), QStringLiteral("Veska"));
    EXPECT_EQ(RunUntilQuit([this] {
                  m_frame->close();
                  EXPECT_FALSE(m_frame->isVisible());
                  QTimer::singleShot(100, [] { QCoreApplication::exit(0); }); // still running
              }),
              0);
    EXPECT_EQ(m_frame->OnTrayNotify(IDR_TRAY_MENU + 1, WM_LBUTTONDOWN), 1);
    EXPECT_FALSE(m_frame->isVisible());
    EXPECT_EQ(m_frame->OnTrayNotify(IDR_TRAY_MENU, WM_LBUTTONDOWN), 0);
    EXPECT_TRUE(m_frame->isVisible());
    Key(Qt::Key_Escape);
    EXPECT_FALSE(m_frame->isVisible());
    m_frame->TrayMenu()->actions().at(1)->trigger(); // "打开"
    EXPECT_TRUE(m_frame->isVisible());

    // A minimised window comes back restored and focused, by a click or either menu item.
    for (const auto& bringBack : std::initializer_list<std::function<void()>>{
             [this] { m_frame->OnTrayNotify(IDR_TRAY_MENU, WM_LBUTTONDOWN); },
             [this] { m_frame->TrayMenu()->actions().at(0)->trigger(); },
             [this] { m_frame->TrayMenu()->actions().at(1)->trigger(); }}) {
        m_frame->showMinimized();
        QCoreApplication::processEvents();
        ASSERT_TRUE(m_frame->isMinimized());
        bringBack();
        EXPECT_FALSE(m_frame->isMinimized());
        EXPECT_TRUE(QTest::qWaitForWindowActive(m_frame));
    }
    QMenu* menu = m_frame->TrayMenu(); // its third item quits with code 16
    EXPECT_EQ(RunUntilQuit([this, menu] {
                  EXPECT_EQ(m_frame->OnTrayNotify(IDR_TRAY_MENU, WM_RBUTTONUP), 0);
                  ASSERT_TRUE(QTest::qWaitForWindowExposed(menu));
                  QTest::mouseClick(menu, Qt::LeftButton, Qt::NoModifier,
                                    menu->actionGeometry(menu->actions().at(2)).center());
              }),
              TRAY_EXIT_CODE);
    EXPECT_FALSE(m_frame->TrayIcon()->isVisible());
}

// F11 shows the text alone and goes back to the window it was; Esc leaves full screen before it
// hides the window.
TEST_F(MainFrameTest, F11ShowsTheTextAloneAndEscLeavesFullScreenBeforeHiding) {
    const auto expectBars = [this](bool shown) {
        for (QWidget* bar : std::initializer_list<QWidget*>{
                 m_frame->MainToolBar(), m_frame->ReaderToolBar(), m_frame->statusBar()}) {
            EXPECT_EQ(bar->isVisible(), shown);
        }
    };
    Key(Qt::Key_F11);
    EXPECT_TRUE(m_frame->isFullScreen());
    expectBars(false);
    EXPECT_EQ(m_pane->window()->size(), m_frame->size());
    Key(Qt::Key_Escape);
    EXPECT_FALSE(m_frame->isFullScreen());
    EXPECT_TRUE(m_frame->isVisible());
    expectBars(true);
    m_frame->showMaximized();
    Keys({Qt::Key_F11, Qt::Key_F11});
    EXPECT_TRUE(m_frame->isMaximized());
    Key(Qt::Key_Escape);
    EXPECT_FALSE(m_frame->isVisible());
}

// The first start takes the window's own size centred on the screen; a size and place are saved
// soon after they change (without closing) and come back, maximised with the place it goes back
// to, and centred once the screen they were on is gone.
TEST_F(MainFrameTest, SizeAndPlaceComeBackOnAScreenAndCentredOffEveryScreen) {
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const auto expectCentred = [&](QSize size) {
        EXPECT_EQ(m_frame->size(), size);
        EXPECT_EQ(m_frame->pos(), screen.topLeft() + QPoint((screen.width() - size.width()) / 2,
                                                            (screen.height() - size.height()) / 2));
    };
    expectCentred(QSize(CMainFrame::kWidth, CMainFrame::kHeight));
    const QRect placed(40, 30, 700, 500);
    m_frame->setGeometry(placed);
    QTRY_COMPARE(SavedPrefs().window_width, 700);
    EXPECT_EQ(SavedPrefs().window_x, 40);
    Restart();
    EXPECT_EQ(m_frame->geometry(), placed);
    m_frame->showMaximized();
    QTRY_COMPARE(SavedPrefs().window_maximized, 1);
    Restart();
    EXPECT_TRUE(m_frame->isMaximized());
    QCoreApplication::processEvents();
    EXPECT_EQ(SavedPrefs().window_width, placed.width());
    ReadingPrefs prefs = SavedPrefs();
    prefs.window_maximized = 0;
    prefs.window_x = 20000;
    ASSERT_TRUE(SaveReadingPrefs(prefs, m_dataDir.path().toStdString()));
    Restart();
    expectCentred(placed.size());
}

class NoTrayTest : public ReaderTest {
protected:
    void BeforeStart() override { CMainFrame::SetTrayAvailableForTesting(0); }
};

TEST_F(NoTrayTest, WithoutATrayEscMinimisesAndCloseQuitsWithCode16) {
    Key(Qt::Key_Escape);
    EXPECT_TRUE(m_frame->isMinimized());
    EXPECT_TRUE(m_frame->isVisible());
    EXPECT_EQ(RunUntilQuit([this] { m_frame->close(); }), TRAY_EXIT_CODE);
}

class StatisticsTest : public ReaderTest {
protected:
    void BeforeStart() override {
        qputenv("VESKA_STATS_URL", QByteArray::fromStdString(m_server.Url(Path())));
    }
    virtual const char* Path() const { return "/Veska.php"; }
    LoopbackServer m_server;
};

TEST_F(StatisticsTest, TheFrameSendsOneStatisticsRequestFromItsWorker) {
    auto* manager = dynamic_cast<CUrlGetManager*>(m_frame->UrlManager());
    ASSERT_NE(manager, nullptr);
    EXPECT_EQ(manager->TaskCount(), 1u);
    const auto arrivals = m_server.WaitForArrivals(1);
    ASSERT_EQ(arrivals.size(), 1u);
    EXPECT_EQ(arrivals.front().path, "/Veska.php");
    m_frame->OnTimer(); // results come back through the timer; nothing is waiting for them
}

} // namespace
