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

QImage Strip(int bitmapId) {
    CDibBitmap bitmap;
    EXPECT_TRUE(bitmap.Load(LoadBitmapResource(bitmapId)));
    return bitmap.Image();
}

class TrueColorToolBarTest : public ::testing::Test {
protected:
    TrueColorToolBarTest() : m_app(App()) {}

    // `count` buttons with separators between them, like the frame's bars.
    std::vector<QAction*> AddButtons(int count) {
        std::vector<QAction*> buttons;
        for (int i = 0; i < count; ++i) {
            if (i > 0) {
                m_bar.addSeparator();
            }
            buttons.push_back(m_bar.addAction(QStringLiteral("button %1").arg(i)));
        }
        return buttons;
    }
    static QImage Icon(const QAction* button, QIcon::Mode mode = QIcon::Normal) {
        return button->icon().pixmap(QSize(48, 48), mode).toImage();
    }
    QApplication& m_app; // made before any widget
    CTrueColorToolBar m_bar;
};

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
            for (int n = 0; n < int(list.size()); ++n) {
                const QImage image = list[n].toImage();
                ASSERT_EQ(image.size(), QSize(width, strip.height()));
                for (int y = 0; y < image.height(); ++y) {
                    for (int x = 0; x < image.width(); ++x) {
                        const QRgb source = strip.pixel(n * width + x, y);
                        const bool white = source == qRgb(255, 255, 255);
                        const QRgb got = image.pixel(x, y);
                        ASSERT_EQ(white ? 0u : source, qAlpha(got) == 0 ? 0u : got)
                            << "bitmap " << bitmapId << " message " << message << " image " << n
                            << " at " << x << "," << y;
                        transparent += white ? 1 : 0;
                    }
                }
            }
            EXPECT_GT(transparent, 0);
        }
    }
}

TEST_F(TrueColorToolBarTest, TheTransparentColourIsTheFirstThreePixelBytesReadAsBlueGreenRed) {
    // Bitmap 900 (a test strip, 4 x 2): its bottom-left pixel is red 30, green 20, blue 10; white
    // is an ordinary colour here.
    ASSERT_TRUE(m_bar.SetImageListFromBitmap(2, TB_SETIMAGELIST, 900));
    const QList<QPixmap>& images = m_bar.ImageList(TB_SETIMAGELIST);
    ASSERT_EQ(images.size(), 2);
    const QImage left = images[0].toImage();
    const QImage right = images[1].toImage();
    EXPECT_EQ(qAlpha(left.pixel(0, 1)), 0);
    EXPECT_EQ(qAlpha(left.pixel(0, 0)), 0);
    EXPECT_EQ(left.pixel(1, 1), qRgb(10, 20, 30));
    EXPECT_EQ(left.pixel(1, 0), qRgb(255, 255, 255));
    EXPECT_EQ(qAlpha(right.pixel(0, 1)), 0);
    EXPECT_EQ(right.pixel(1, 1), qRgb(0, 0, 0));
    EXPECT_EQ(right.pixel(0, 0), qRgb(3, 2, 1));
    EXPECT_EQ(qAlpha(right.pixel(1, 0)), 0);
}

// Like the first bar, six pictures for eight buttons; a button put in front later moves the
// others' images along.
TEST_F(TrueColorToolBarTest, ButtonsTakeImagesByPositionInEachState) {
    const std::vector<QAction*> buttons = AddButtons(8);
    ASSERT_TRUE(m_bar.SetImageListsFromBitmap(48, IDB_MAIN_BAR));
    const QList<QPixmap>& images = m_bar.ImageList(TB_SETIMAGELIST);
    for (int n = 0; n < 6; ++n) {
        for (const QIcon::Mode mode : {QIcon::Normal, QIcon::Active, QIcon::Disabled}) {
            EXPECT_EQ(Icon(buttons[n], mode), images[n].toImage()) << n << " mode " << mode;
        }
    }
    EXPECT_TRUE(buttons[6]->icon().isNull() && buttons[7]->icon().isNull());
    QAction* first = new QAction(QStringLiteral("new first"), &m_bar);
    m_bar.insertAction(buttons[0], first);
    EXPECT_EQ(Icon(first), images[0].toImage());
    EXPECT_EQ(Icon(buttons[0]), images[1].toImage());
    EXPECT_TRUE(buttons[5]->icon().isNull());
}

// No bitmap, a width of nothing, below nothing or wider than the strip, or not an image message.
TEST_F(TrueColorToolBarTest, AFailedCallLeavesTheImagesAsTheyWere) {
    const std::vector<QAction*> buttons = AddButtons(3);
    ASSERT_TRUE(m_bar.SetImageListFromBitmap(48, TB_SETIMAGELIST, IDB_MAIN_BAR));
    const QImage before = Icon(buttons[0]);
    EXPECT_FALSE(m_bar.SetImageListFromBitmap(16, TB_SETIMAGELIST, IDD_ABOUTBOX + 1));
    EXPECT_FALSE(m_bar.SetImageListFromBitmap(0, TB_SETIMAGELIST, IDR_READER_BAR));
    EXPECT_FALSE(m_bar.SetImageListFromBitmap(-16, TB_SETIMAGELIST, IDR_READER_BAR));
    EXPECT_FALSE(m_bar.SetImageListFromBitmap(400, TB_SETIMAGELIST, IDB_MAIN_BAR));
    EXPECT_FALSE(m_bar.SetImageListFromBitmap(16, 1073, IDR_READER_BAR));
    EXPECT_EQ(m_bar.ImageList(TB_SETIMAGELIST).size(), 6);
    EXPECT_EQ(m_bar.iconSize(), QSize(48, 48));
    EXPECT_TRUE(m_bar.ImageList(TB_SETHOTIMAGELIST).isEmpty());
    EXPECT_EQ(Icon(buttons[0]), before);
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
    for (const unsigned failing : {unsigned(TB_SETIMAGELIST), unsigned(TB_SETHOTIMAGELIST), 0u}) {
        RecordingToolBar bar(failing);
        EXPECT_EQ(bar.SetImageListsFromBitmap(48, IDB_MAIN_BAR), failing == 0);
        const std::size_t calls = failing == TB_SETIMAGELIST ? 1 : failing != 0 ? 2 : 3;
        EXPECT_EQ(bar.m_calls.size(), calls) << failing;
        EXPECT_EQ(bar.ImageList(TB_SETDISABLEDIMAGELIST).isEmpty(), failing != 0);
    }
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
        for (const int shift : {16, 8, 0}) { // red, green, blue
            EXPECT_NEAR(int(got >> shift & 0xFF), int(want >> shift & 0xFF), 12)
                << at.x() << "," << at.y();
        }
    }
}

} // namespace
