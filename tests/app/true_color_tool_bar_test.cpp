#include "app/true_color_tool_bar.h"

#include "res/dib_bitmap.h"
#include "res/picture_resources.h"
#include "res/resource.h"

#include <QApplication>
#include <gtest/gtest.h>

namespace {

class TrueColorToolBarTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "true_color_tool_bar_test";
        static char* argv[] = {name, nullptr};
        static QApplication app(argc, argv);
    }
};

// In the shipped strips white, and only white, becomes transparent.
TEST_F(TrueColorToolBarTest, WhiteAndOnlyWhiteIsTransparentInTheShippedStrips) {
    for (const auto& [width, bitmapId] : {std::pair{48, IDB_MAIN_BAR}, {16, IDR_READER_BAR}}) {
        CTrueColorToolBar bar;
        ASSERT_TRUE(bar.SetImageListsFromBitmap(width, bitmapId));
        CDibBitmap strip;
        ASSERT_TRUE(strip.Load(LoadBitmapResource(bitmapId)));
        const QList<QPixmap>& images = bar.ImageList(TB_SETIMAGELIST);
        ASSERT_EQ(images.size(), strip.Width() / width);
        for (int n = 0; n < int(images.size()); ++n) {
            const QImage image = images[n].toImage();
            for (int y = 0; y < image.height(); ++y) {
                for (int x = 0; x < width; ++x) {
                    ASSERT_EQ(qAlpha(image.pixel(x, y)) == 0,
                              strip.Image().pixel(n * width + x, y) == qRgb(255, 255, 255))
                        << bitmapId << " image " << n << " at " << x << "," << y;
                }
            }
        }
    }
}

// Bitmap 900 (a test strip, 4 x 2): the first pixel stored (bottom left, its bytes read as blue,
// green, red) is red 30, green 20, blue 10, and that colour is the transparent one; white is an
// ordinary colour here.
TEST_F(TrueColorToolBarTest, TheTransparentColourIsTheFirstPixelStored) {
    CTrueColorToolBar bar;
    ASSERT_TRUE(bar.SetImageListFromBitmap(2, TB_SETIMAGELIST, 900));
    ASSERT_EQ(bar.ImageList(TB_SETIMAGELIST).size(), 2);
    const QImage left = bar.ImageList(TB_SETIMAGELIST)[0].toImage();
    const QImage right = bar.ImageList(TB_SETIMAGELIST)[1].toImage();
    EXPECT_EQ(qAlpha(left.pixel(0, 1)), 0);
    EXPECT_EQ(qAlpha(right.pixel(1, 0)), 0);
    EXPECT_EQ(left.pixel(1, 1), qRgb(10, 20, 30));
    EXPECT_EQ(left.pixel(1, 0), qRgb(255, 255, 255));
}

} // namespace
