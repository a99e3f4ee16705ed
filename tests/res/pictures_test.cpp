#include "res/dib_bitmap.h"
#include "res/picture_resources.h"

#include <QDataStream>
#include <QDirIterator>
#include <QImage>
#include <gtest/gtest.h>

namespace {

// A .bmp file of that layout with `pixelBytes` zero bytes of pixels.
QByteArray MakeBmp(int pixelBytes, int width, int height, int bits, int paletteSize = 0,
                   quint32 compression = 0, quint32 colorsUsed = 0) {
    const auto offset = quint32(14 + 40 + 4 * paletteSize);
    QByteArray file;
    QDataStream out(&file, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out.writeRawData("BM", 2);
    out << quint32(offset + pixelBytes) << quint32(0) << offset << quint32(40) << qint32(width)
        << qint32(height) << quint16(1) << quint16(bits) << compression << quint32(pixelBytes)
        << quint32(2835) << quint32(2835) << colorsUsed << quint32(0);
    return file + QByteArray(4 * paletteSize + pixelBytes, '\0');
}

TEST(DibBitmap, RefusesWhatItCannotReadAndForgetsThePreviousPicture) {
    const QByteArray good = MakeBmp(16, 2, 2, 24);
    const QByteArray bad[] = {
        QByteArray(),
        QByteArray("PK") + good.mid(2),
        good.left(good.size() - 1),  // pixel data cut short
        MakeBmp(16, 2, 2, 24, 0, 1), // compressed
        MakeBmp(4, 2, 1, 16),
        MakeBmp(0, 0, 1, 24),
        MakeBmp(0, 1, 0, 24),
        MakeBmp(0, 1, INT32_MIN, 24),
        MakeBmp(0, 1 << 20, 1 << 20, 24), // far beyond any strip
        MakeBmp(4, 1, 1, 8, 1, 0, 300),   // more colours than 8 bits hold
        MakeBmp(4, 1, 1, 8, 1, 0, 200),   // palette past the end of the file
    };
    for (std::size_t i = 0; i < std::size(bad); ++i) {
        CDibBitmap bitmap;
        ASSERT_TRUE(bitmap.Load(good));
        EXPECT_FALSE(bitmap.Load(bad[i])) << "case " << i;
        EXPECT_FALSE(bitmap.Error().isEmpty()) << "case " << i;
        EXPECT_TRUE(bitmap.IsNull() && bitmap.Image().isNull()) << "case " << i;
    }
}

// Every bitmap shipped reads with the toolbars' reader, and every icon with Qt's, at the size its
// name gives.
TEST(PictureResources, EveryShippedPictureLoads) {
    BitmapResourcePath(0); // registers the pictures
    int pictures = 0;
    for (const char* folder : {":/bitmap", ":/icon"}) {
        for (QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories); it.hasNext();) {
            const QString path = it.next();
            CDibBitmap bitmap;
            QFile file(path);
            if (path.endsWith(QLatin1String(".bmp"))) {
                EXPECT_TRUE(file.open(QIODevice::ReadOnly) && bitmap.Load(file.readAll()))
                    << path.toStdString();
            } else {
                const int size = it.fileInfo().baseName().toInt();
                EXPECT_EQ(QImage(path).size(), QSize(size, size)) << path.toStdString();
            }
            ++pictures;
        }
    }
    EXPECT_GE(pictures, 20);
}

} // namespace
