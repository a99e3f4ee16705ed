#include "app/true_color_tool_bar.h"

#include "res/dib_bitmap.h"
#include "res/picture_resources.h"
#include "res/resource.h"

#include <QAction>
#include <QApplication>
#include <QIcon>
#include <gtest/gtest.h>

#include <vector>

namespace {

QApplication& App() {
    static int argc = 1;
    static char name[] = "true_color_tool_bar_test";
    static char* argv[] = {name, nullptr};
    static QApplication app(argc, argv);
    return app;
}

class TrueColorToolBarTest : public ::testing::Test {
protected:
    TrueColorToolBarTest() : m_app(App()) {}

    // `count` buttons with a separator after each but the last, like the frame's bars.
    void AddButtons(int count) {
        for (int i = 0; i < count; ++i) {
            m_bar.addAction(QStringLiteral("button %1").arg(i));
            if (i + 1 < count) {
                m_bar.addSeparator();
            }
        }
    }

    std::vector<QAction*> Buttons() const {
        std::vector<QAction*> buttons;
        for (QAction* action : m_bar.actions()) {
            if (!action->isSeparator()) {
                buttons.push_back(action);
            }
        }
        return buttons;
    }

    QApplication& m_app; // made before any widget
    CTrueColorToolBar m_bar;
};

QImage Strip(int bitmapId) {
    CDibBitmap bitmap;
    EXPECT_TRUE(bitmap.Load(LoadBitmapResource(bitmapId)));
    return bitmap.Image();
}

// Each list is the strip cut into images of the given width and its full height, in which white
// pixels and only those are transparent.
TEST_F(TrueColorToolBarTest, StripsAreCutIntoImagesWhoseWhitePixelsAndOnlyThoseAreTransparent) {
    for (const auto& [width, bitmapId] : {std::pair{48, IDB_MAIN_BAR}, {16, IDR_READER_BAR}}) {
        CTrueColorToolBar bar;
        ASSERT_TRUE(bar.SetImageListsFromBitmap(width, bitmapId));
        const QImage strip = Strip(bitmapId);
        EXPECT_EQ(bar.iconSize(), QSize(width, width));
        for (const unsigned message :
             {TB_SETIMAGELIST, TB_SETHOTIMAGELIST, TB_SETDISABLEDIMAGELIST}) {
            const QList<QPixmap>& list = bar.ImageList(message);
            ASSERT_EQ(list.size(), strip.width() / width);
            int transparent = 0;
            for (qsizetype n = 0; n < list.size(); ++n) {
                const QImage image = list[n].toImage();
                ASSERT_EQ(image.size(), QSize(width, strip.height()));
                for (int y = 0; y < image.height(); ++y) {
                    for (int x = 0; x < image.width(); ++x) {
                        const QRgb source = strip.pixel(static_cast<int>(n) * width + x, y);
                        const bool white = source == qRgb(255, 255, 255);
                        ASSERT_EQ(qAlpha(image.pixel(x, y)) == 0, white)
                            << "bitmap " << bitmapId << " message " << message << " image " << n
                            << " at " << x << "," << y;
                        if (!white) {
                            ASSERT_EQ(image.pixel(x, y), source);
                        }
                        transparent += white ? 1 : 0;
                    }
                }
            }
            EXPECT_GT(transparent, 0);
        }
    }
}

TEST_F(TrueColorToolBarTest, TheTransparentColourIsTheFirstThreePixelBytesReadAsBlueGreenRed) {
    // Bitmap 900 (a test strip, 4 x 2): its bottom-left pixel is red 30, green 20, blue 10.
    ASSERT_TRUE(m_bar.SetImageListFromBitmap(2, TB_SETIMAGELIST, 900));
    ASSERT_EQ(m_bar.ImageList(TB_SETIMAGELIST).size(), 2);
    const QImage left = m_bar.ImageList(TB_SETIMAGELIST)[0].toImage();
    const QImage right = m_bar.ImageList(TB_SETIMAGELIST)[1].toImage();
    EXPECT_EQ(qAlpha(left.pixel(0, 1)), 0);
    EXPECT_EQ(qAlpha(left.pixel(0, 0)), 0);
    EXPECT_EQ(left.pixel(1, 1), qRgb(10, 20, 30));    // the same bytes in the other order
    EXPECT_EQ(left.pixel(1, 0), qRgb(255, 255, 255)); // white is an ordinary colour here
    EXPECT_EQ(qAlpha(right.pixel(0, 1)), 0);
    EXPECT_EQ(right.pixel(1, 1), qRgb(0, 0, 0));
    EXPECT_EQ(right.pixel(0, 0), qRgb(3, 2, 1));
    EXPECT_EQ(qAlpha(right.pixel(1, 0)), 0);
}

TEST_F(TrueColorToolBarTest, ButtonsTakeImagesByPositionInEachState) {
    AddButtons(8); // like the first bar: six pictures for eight buttons
    ASSERT_TRUE(m_bar.SetImageListsFromBitmap(48, IDB_MAIN_BAR));
    const std::vector<QAction*> buttons = Buttons();
    const QList<QPixmap>& images = m_bar.ImageList(TB_SETIMAGELIST);
    for (std::size_t n = 0; n < 6; ++n) {
        const QIcon icon = buttons[n]->icon();
        for (const QIcon::Mode mode : {QIcon::Normal, QIcon::Active, QIcon::Disabled}) {
            EXPECT_EQ(icon.pixmap(QSize(48, 48), mode).toImage(),
                      images[static_cast<qsizetype>(n)].toImage())
                << "button " << n << " mode " << mode;
        }
    }
    EXPECT_TRUE(buttons[6]->icon().isNull());
    EXPECT_TRUE(buttons[7]->icon().isNull());

    // A button put in front later moves the others' images along.
    QAction* first = new QAction(QStringLiteral("new first"), &m_bar);
    m_bar.insertAction(buttons[0], first);
    EXPECT_EQ(first->icon().pixmap(QSize(48, 48)).toImage(), images[0].toImage());
    EXPECT_EQ(buttons[0]->icon().pixmap(QSize(48, 48)).toImage(), images[1].toImage());
    EXPECT_TRUE(buttons[5]->icon().isNull());
}

TEST_F(TrueColorToolBarTest, AFailedCallLeavesTheImagesAsTheyWere) {
    AddButtons(3);
    ASSERT_TRUE(m_bar.SetImageListFromBitmap(48, TB_SETIMAGELIST, IDB_MAIN_BAR));
    const QImage before = Buttons()[0]->icon().pixmap(QSize(48, 48)).toImage();

    EXPECT_FALSE(m_bar.SetImageListFromBitmap(16, TB_SETIMAGELIST, IDD_ABOUTBOX + 1)); // no bitmap
    EXPECT_FALSE(m_bar.SetImageListFromBitmap(0, TB_SETIMAGELIST, IDR_READER_BAR));
    EXPECT_FALSE(m_bar.SetImageListFromBitmap(-16, TB_SETIMAGELIST, IDR_READER_BAR));
    EXPECT_FALSE(m_bar.SetImageListFromBitmap(400, TB_SETIMAGELIST, IDB_MAIN_BAR)); // wider than it
    EXPECT_FALSE(m_bar.SetImageListFromBitmap(16, 1073, IDR_READER_BAR)); // not an image message

    EXPECT_EQ(m_bar.ImageList(TB_SETIMAGELIST).size(), 6);
    EXPECT_EQ(m_bar.iconSize(), QSize(48, 48));
    EXPECT_TRUE(m_bar.ImageList(TB_SETHOTIMAGELIST).isEmpty());
    EXPECT_EQ(Buttons()[0]->icon().pixmap(QSize(48, 48)).toImage(), before);
}

// Records the calls and fails the one for `failing`.
class RecordingToolBar : public CTrueColorToolBar {
public:
    explicit RecordingToolBar(unsigned failing) : m_failing(failing) {}
    bool SetImageListFromBitmap(int imageWidth, unsigned message, int bitmapId) override {
        m_calls.push_back(message);
        return message != m_failing &&
               CTrueColorToolBar::SetImageListFromBitmap(imageWidth, message, bitmapId);
    }
    unsigned m_failing;
    std::vector<unsigned> m_calls;
};

TEST_F(TrueColorToolBarTest, TheChainStopsAtTheFirstListThatFails) {
    RecordingToolBar normalFails(TB_SETIMAGELIST);
    EXPECT_FALSE(normalFails.SetImageListsFromBitmap(48, IDB_MAIN_BAR));
    EXPECT_EQ(normalFails.m_calls, std::vector<unsigned>{TB_SETIMAGELIST});

    RecordingToolBar hotFails(TB_SETHOTIMAGELIST);
    EXPECT_FALSE(hotFails.SetImageListsFromBitmap(48, IDB_MAIN_BAR));
    EXPECT_EQ(hotFails.m_calls, (std::vector<unsigned>{TB_SETIMAGELIST, TB_SETHOTIMAGELIST}));
    EXPECT_TRUE(hotFails.ImageList(TB_SETDISABLEDIMAGELIST).isEmpty());

    RecordingToolBar noneFails(0);
    EXPECT_TRUE(noneFails.SetImageListsFromBitmap(16, IDR_READER_BAR));
    EXPECT_EQ(noneFails.m_calls.size(), 3u);
}

TEST_F(TrueColorToolBarTest, TheBackgroundIsStretchedOverTheWholeBar) {
    m_bar.resize(600, 30);
    const QImage painted = m_bar.grab().toImage();
    const QImage expected =
        Strip(CTrueColorToolBar::kBackgroundBitmap)
            .scaled(painted.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    // Right of the gripper, the bar is the picture: its top highlight, its gradient, its waves.
    for (const QPoint at : {QPoint(100, 15), QPoint(590, 2), QPoint(590, 15), QPoint(590, 28),
                            QPoint(300, 0), QPoint(300, 29)}) {
        const QRgb got = painted.pixel(at);
        const QRgb want = expected.pixel(at);
        EXPECT_NEAR(qRed(got), qRed(want), 12) << at.x() << "," << at.y();
        EXPECT_NEAR(qGreen(got), qGreen(want), 12) << at.x() << "," << at.y();
        EXPECT_NEAR(qBlue(got), qBlue(want), 12) << at.x() << "," << at.y();
    }
}

} // namespace
