#include "res/dib_bitmap.h"
#include "res/picture_resources.h"
#include "res/resource.h"

#include <QGuiApplication>
#include <QImage>
#include <gtest/gtest.h>

namespace {

CDibBitmap LoadBitmap(int id) {
    CDibBitmap bitmap;
    EXPECT_TRUE(bitmap.Load(LoadBitmapResource(id)))
        << "bitmap " << id << ": " << bitmap.Error().toStdString();
    return bitmap;
}

TEST(PictureResources, BitmapsHaveTheirSizesAndPixelFormats) {
    const CDibBitmap mainBar = LoadBitmap(IDB_MAIN_BAR);
    EXPECT_EQ(mainBar.Width(), 288);
    EXPECT_EQ(mainBar.Height(), 48);
    EXPECT_EQ(mainBar.BitsPerPixel(), 24);
    EXPECT_EQ(mainBar.Pixels().left(3), QByteArray(3, '\xFF')); // first pixel white

    const CDibBitmap readerBar = LoadBitmap(IDR_READER_BAR);
    EXPECT_EQ(readerBar.Width(), 160);
    EXPECT_EQ(readerBar.Height(), 16);
    EXPECT_EQ(readerBar.BitsPerPixel(), 8);
    EXPECT_EQ(readerBar.PaletteSize(), 256);
    EXPECT_EQ(readerBar.PaletteColor(255), qRgb(255, 255, 255));
    EXPECT_EQ(readerBar.Pixels().left(3), QByteArray(3, '\xFF')); // three pixels of index 255

    const CDibBitmap background = LoadBitmap(IDB_TOOLBAR_BACK);
    EXPECT_EQ(background.Width(), 1862);
    EXPECT_EQ(background.Height(), 55);
    EXPECT_EQ(background.BitsPerPixel(), 24);

    const CDibBitmap about = LoadBitmap(IDB_ABOUT);
    EXPECT_EQ(about.Width(), 85);
    EXPECT_EQ(about.Height(), 85);
    // Qt's own reader takes it too, for the About box's label.
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
