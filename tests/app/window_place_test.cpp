// Full screen and the window's remembered place.

#include "app/true_color_tool_bar.h"
#include "tests/app/ui_test_support.h"

#include <QScreen>
#include <QStatusBar>

namespace {

using WindowPlaceTest = ReaderTest;

TEST_F(WindowPlaceTest, F11ShowsTheTextAloneAndEscLeavesFullScreenBeforeHiding) {
    Key(Qt::Key_F11);
    EXPECT_TRUE(m_frame->isFullScreen());
    EXPECT_FALSE(m_frame->MainToolBar()->isVisible());
    EXPECT_FALSE(m_frame->ReaderToolBar()->isVisible());
    EXPECT_FALSE(m_frame->statusBar()->isVisible());
    EXPECT_EQ(m_pane->window()->size(), m_frame->size());

    Key(Qt::Key_Escape);
    EXPECT_FALSE(m_frame->isFullScreen());
    EXPECT_TRUE(m_frame->isVisible());
    EXPECT_TRUE(m_frame->MainToolBar()->isVisible());
    EXPECT_TRUE(m_frame->statusBar()->isVisible());

    m_frame->showMaximized();
    Key(Qt::Key_F11);
    Key(Qt::Key_F11); // back to the maximised window it was
    EXPECT_TRUE(m_frame->isMaximized());

    Key(Qt::Key_Escape); // not full screen: Esc hides as ever
    EXPECT_FALSE(m_frame->isVisible());
}

TEST_F(WindowPlaceTest, SizeAndPlaceComeBackOnAScreenAndCentredOffEveryScreen) {
    // The first start: the window's own size, centred on the screen.
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const auto expectCentred = [&](QSize size) {
        EXPECT_EQ(m_frame->size(), size);
        EXPECT_EQ(m_frame->pos(), QPoint(screen.x() + (screen.width() - size.width()) / 2,
                                         screen.y() + (screen.height() - size.height()) / 2));
    };
    expectCentred(QSize(CMainFrame::kWidth, CMainFrame::kHeight));
    const QRect placed(40, 30, 700, 500);
    m_frame->setGeometry(placed);
    QTRY_COMPARE(SavedPrefs().window_width, 700); // saved soon after, without closing
    EXPECT_EQ(SavedPrefs().window_x, 40);

    Restart();
    EXPECT_EQ(m_frame->geometry(), placed);

    m_frame->showMaximized(); // remembered with the place it goes back to
    QTRY_COMPARE(SavedPrefs().window_maximized, 1);
    Restart();
    EXPECT_TRUE(m_frame->isMaximized());
    QCoreApplication::processEvents();
    EXPECT_EQ(SavedPrefs().window_width, placed.width());

    ReadingPrefs prefs = SavedPrefs();
    prefs.window_maximized = 0;
    prefs.window_width = placed.width();
    prefs.window_height = placed.height();
    prefs.window_x = 20000; // the screen it was on is gone
    ASSERT_TRUE(SaveReadingPrefs(prefs, m_dataDir.path().toStdString()));
    Restart();
    expectCentred(placed.size());
}

} // namespace
