#include "res/dib_bitmap.h"
#include "res/picture_resources.h"
#include "res/resource.h"

#include <QGuiApplication>
#include <QImage>
#include <gtest/gtest.h>

#include <array>

namespace {

// The first pixel of the main bar is white; the reader bar's first three are index 255, white.
TEST(PictureResources, BitmapsHaveTheirSizesAndPixelFormats) {
    const struct {
        int id, width, height, bits;
        QByteArray firstBytes;
    } bitmaps[] = {
        {IDB_MAIN_BAR, 288, 48, 24, QByteArray(3, '\xFF')},
        {IDR_READER_BAR, 160, 16, 8, QByteArray(3, '\xFF')},
        {IDB_TOOLBAR_BACK, 1862, 55, 24, {}},
        {IDB_ABOUT, 85, 85, 24, {}},
    };
    for (const auto& b : bitmaps) {
        CDibBitmap bitmap;
        ASSERT_TRUE(bitmap.Load(LoadBitmapResource(b.id)))
            << b.id << ": " << bitmap.Error().toStdString();
        EXPECT_EQ((std::array{bitmap.Width(), bitmap.Height(), bitmap.BitsPerPixel()}),
                  (std::array{b.width, b.height, b.bits}))
            << b.id;
        EXPECT_TRUE(bitmap.Pixels().startsWith(b.firstBytes)) << b.id;
        if (b.bits == 8) {
            EXPECT_EQ(bitmap.PaletteSize(), 256);
            EXPECT_EQ(bitmap.PaletteColor(255), qRgb(255, 255, 255));
        }
    }
    // Qt's own reader takes the About picture too, for the About box's label.
    EXPECT_EQ(QImage(BitmapResourcePath(IDB_ABOUT)).size(), QSize(85, 85));
    EXPECT_TRUE(LoadBitmapResource(IDD_ABOUTBOX + 1).isEmpty());
}

TEST(PictureResources, IconsComeInEveryDesktopSize) {
    int argc = 1;
    char name[] = "res_test";
    char* argv[] = {name, nullptr};
    QGuiApplication app(argc, argv);
    for (const int id : {IDR_MAINFRAME, IDI_TRAY}) {
        const QIcon icon = LoadIconResource(id);
        ASSERT_FALSE(icon.isNull()) << "icon " << id;
        for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
            EXPECT_EQ(icon.pixmap(QSize(size, size)).size(), QSize(size, size))
                << "icon " << id << " at " << size;
            EXPECT_TRUE(icon.availableSizes().contains(QSize(size, size)));
        }
    }
    EXPECT_TRUE(LoadIconResource(IDB_ABOUT).isNull());
}

} // namespace
