// Full screen and the window's remembered place.

#include "app/true_color_tool_bar.h"
#include "tests/app/ui_test_support.h"

#include <QScreen>
#include <QStatusBar>

namespace {

using WindowPlaceTest = ReaderTest;

// F11 shows the text alone and goes back to the window it was; Esc leaves full screen before it
// hides the window.
TEST_F(WindowPlaceTest, F11ShowsTheTextAloneAndEscLeavesFullScreenBeforeHiding) {
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
TEST_F(WindowPlaceTest, SizeAndPlaceComeBackOnAScreenAndCentredOffEveryScreen) {
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

} // namespace
