// The main frame: its toolbars, prompts, accelerators, tray and the ways the window is hidden or
// the program ended.

#include "app/true_color_tool_bar.h"
#include "tests/app/ui_test_support.h"
#include "tests/url_get/loopback_server.h"
#include "url_get/core/url_get_manager.h"
#include "widgets/link_opener.h"
#include "widgets/modal_hook.h"

#include <QDialog>
#include <QMenu>
#include <QStatusBar>
#include <QStyleOptionToolBar>
#include <QSystemTrayIcon>
#include <QToolTip>

namespace {

using MainFrameTest = ReaderTest;

// Runs the event loop until the program asks to quit; `step` runs inside it.
int RunUntilQuit(const std::function<void()>& step) {
    QTimer::singleShot(0, step);
    // A safety net: a program that never quits ends the loop with a code no test expects.
    QTimer::singleShot(5000, [] { QCoreApplication::exit(-77); });
    return QCoreApplication::exec();
}

// Every button shows inside the window (none pushed into an overflow menu), the second bar
// under the first; a button without a string shows no tooltip (Qt would offer its text).
TEST_F(MainFrameTest, ToolbarButtonsAllShowAndOnlyThoseWithAStringHaveATip) {
    CTrueColorToolBar* main = m_frame->MainToolBar();
    for (const CTrueColorToolBar* bar : {main, m_frame->ReaderToolBar()}) {
        for (QAction* action : bar->actions()) {
            const QWidget* button = bar->widgetForAction(action);
            if (!action->isSeparator()) {
                EXPECT_TRUE(button->isVisible()) << action->toolTip().toStdString();
                EXPECT_LE(button->mapTo(m_frame, QPoint(button->width(), 0)).x(), m_frame->width());
            }
        }
    }
    EXPECT_GT(m_frame->ReaderToolBar()->geometry().top(), main->geometry().top());

    for (const auto& [id, tip] : {std::pair{ID_JOKE, u""}, {ID_FILE_OPEN, u"打开"}}) {
        QWidget* button = main->widgetForAction(m_frame->Action(id));
        QHelpEvent event(QEvent::ToolTip, QPoint(2, 2), button->mapToGlobal(QPoint(2, 2)));
        QApplication::sendEvent(button, &event);
        EXPECT_EQ(QToolTip::isVisible() ? QToolTip::text() : QString(), QString::fromUtf16(tip));
    }
}

// The pointer entering a toolbar button.
void Hover(CMainFrame* frame, int id) {
    QWidget* button = frame->MainToolBar()->widgetForAction(frame->Action(id));
    if (button == nullptr) {
        button = frame->ReaderToolBar()->widgetForAction(frame->Action(id));
    }
    QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), button->mapToGlobal(QPointF(2, 2)));
    QApplication::sendEvent(button, &enter);
}

TEST_F(MainFrameTest, PromptsShowInTheFirstPaneOnlyUntilABookIsOpen) {
    Hover(m_frame, ID_FILE_OPEN);
    EXPECT_EQ(StatusText(0), QStringLiteral(u"打开现有文档"));
    QStatusTipEvent idle{QString()};
    QApplication::sendEvent(m_frame, &idle);
    EXPECT_EQ(StatusText(0), QStringLiteral(u"就绪"));

    Open(MakeBook(QStringLiteral("prompt.txt"), 5000));
    Hover(m_frame, ID_FONT_BIGGER);
    EXPECT_EQ(StatusText(0), QStringLiteral(u"|阅读书籍:  prompt.txt"));
    EXPECT_TRUE(m_frame->statusBar()->currentMessage().isEmpty());
}

// Each bar has its gripper; dragging it about reorders the top area but never floats, hides or
// docks it elsewhere, and no menu offers to hide it.
TEST_F(MainFrameTest, ToolbarGrippersMoveTheBarsWithoutLosingThem) {
    EXPECT_EQ(m_frame->createPopupMenu(), nullptr);
    for (CTrueColorToolBar* bar : {m_frame->MainToolBar(), m_frame->ReaderToolBar()}) {
        QStyleOptionToolBar option;
        option.initFrom(bar);
        option.features = QStyleOptionToolBar::Movable;
        option.toolBarArea = Qt::TopToolBarArea;
        const QRect handle = bar->style()->subElementRect(QStyle::SE_ToolBarHandle, &option, bar);
        ASSERT_TRUE(bar->isMovable() && handle.isValid());
        // Drag by the gripper into the middle of the text and let go there.
        const QPoint grip = handle.center();
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
}

TEST_F(MainFrameTest, AcceleratorsReachTheirCommands) {
    // Ctrl+N: the bookmark dialog; its lists are written back and saved when it closes.
    QFile::remove(DataPath("read_history.dat"));
    {
        ScopedModalHook closeIt([](QDialog& dialog) { dialog.reject(); });
        Key(Qt::Key_N, Qt::ControlModifier);
    }
    EXPECT_TRUE(QFile::exists(DataPath("read_history.dat")));

    // Ctrl+Z, Ctrl+V and Ctrl+P do nothing, Ctrl+C copies (nothing is marked), and their letters
    // do not reach the pane.
    const QString text = m_pane->toPlainText();
    for (int key : {Qt::Key_Z, Qt::Key_C, Qt::Key_V, Qt::Key_P, Qt::Key_S}) {
        Key(key, Qt::ControlModifier);
    }
    EXPECT_EQ(m_pane->toPlainText(), text);
    EXPECT_FALSE(QFile::exists(DataPath("config.cfg")));
}

TEST_F(MainFrameTest, JokeButtonOpensTheJokePage) {
    QList<QUrl> opened;
    {
        ScopedLinkOpener opener([&](const QUrl& url) { opened << url; });
        m_frame->Action(ID_JOKE)->trigger();
    }
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened.front(), QUrl(QStringLiteral(VESKA_JOKE_URL)));
}

TEST_F(MainFrameTest, WithATrayCloseAndEscHideAndTheTrayShowsAgain) {
    EXPECT_EQ(m_frame->TrayIcon()->toolTip(), QStringLiteral("Veska"));
    const int code = RunUntilQuit([this] {
        m_frame->close();
        EXPECT_FALSE(m_frame->isVisible());
        QTimer::singleShot(100, [] { QCoreApplication::exit(0); }); // still running
    });
    EXPECT_EQ(code, 0);

    EXPECT_EQ(m_frame->OnTrayNotify(IDR_TRAY_MENU + 1, WM_LBUTTONDOWN), 1);
    EXPECT_FALSE(m_frame->isVisible());
    EXPECT_EQ(m_frame->OnTrayNotify(IDR_TRAY_MENU, WM_LBUTTONDOWN), 0);
    EXPECT_TRUE(m_frame->isVisible());

    Key(Qt::Key_Escape);
    EXPECT_FALSE(m_frame->isVisible());
    m_frame->TrayMenu()->actions().at(1)->trigger(); // "打开"
    EXPECT_TRUE(m_frame->isVisible());

    // A minimised window comes back restored and focused, by a click or either menu item.
    const std::function<void()> ways[] = {
        [this] { m_frame->OnTrayNotify(IDR_TRAY_MENU, WM_LBUTTONDOWN); },
        [this] { m_frame->TrayMenu()->actions().at(0)->trigger(); }, // "设置"
        [this] { m_frame->TrayMenu()->actions().at(1)->trigger(); }, // "打开"
    };
    for (const auto& bringBack : ways) {
        m_frame->showMinimized();
        QCoreApplication::processEvents();
        ASSERT_TRUE(m_frame->isMinimized());
        bringBack();
        EXPECT_FALSE(m_frame->isMinimized());
        EXPECT_TRUE(QTest::qWaitForWindowActive(m_frame));
    }
}

TEST_F(MainFrameTest, TrayMenuQuitEndsWithExitCode16) {
    QMenu* menu = m_frame->TrayMenu();
    const int code = RunUntilQuit([this, menu] {
        EXPECT_EQ(m_frame->OnTrayNotify(IDR_TRAY_MENU, WM_RBUTTONUP), 0);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(menu));
        QAction* quit = menu->actions().at(2);
        QTest::mouseClick(menu, Qt::LeftButton, Qt::NoModifier,
                          menu->actionGeometry(quit).center());
    });
    EXPECT_EQ(code, TRAY_EXIT_CODE);
    EXPECT_FALSE(m_frame->TrayIcon()->isVisible());
}

class NoTrayTest : public ReaderTest {
protected:
    void BeforeStart() override { CMainFrame::SetTrayAvailableForTesting(0); }
};

TEST_F(NoTrayTest, WithoutATrayEscMinimisesAndCloseQuitsWithCode16) {
    Key(Qt::Key_Escape);
    EXPECT_TRUE(m_frame->isMinimized());
    EXPECT_TRUE(m_frame->isVisible());

    const int code = RunUntilQuit([this] { m_frame->close(); });
    EXPECT_EQ(code, TRAY_EXIT_CODE);
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
    // Results come back through the timer's Update; nothing is waiting for them.
    m_frame->OnTimer();
}

// A statistics server that never stops answering: what the reader keeps of the answer is bounded
// and the transfer gives up, so memory stays flat and quitting does not wait for it.
class EndlessStatisticsTest : public StatisticsTest {
protected:
    const char* Path() const override { return "/endless"; }
};

long ResidentKilobytes() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith("VmRSS:")) {
                return line.mid(6).trimmed().split(' ').value(0).toLong();
            }
        }
    }
    return -1;
}

TEST_F(EndlessStatisticsTest, AnEndlessAnswerKeepsMemoryFlatAndTheReaderQuitsAtOnce) {
    const long before = ResidentKilobytes();
    ASSERT_EQ(m_server.WaitForArrivals(1).size(), 1u);
    QTest::qWait(1500); // long enough for an unbounded reader to hold hundreds of megabytes
    EXPECT_LT(ResidentKilobytes() - before, 100 * 1024);
    EXPECT_EQ(RunUntilQuit([this] { m_frame->OnTrayExit(); }), TRAY_EXIT_CODE);
    TestApp().DestroyMainFrame(); // stops and joins the worker, which has given up
}

} // namespace
