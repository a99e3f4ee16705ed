#include "res/dib_bitmap.h"

#include <QDataStream>
#include <QIODevice>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

struct BmpLayout {
    int width = 2;
    int height = 2; // negative: rows stored top-down
    int bits = 24;
    std::vector<std::uint32_t> palette = {}; // 0xRRGGBB
    std::uint32_t compression = 0;
    std::uint32_t colorsUsed = 0;
};

// The pixel array of the rows (hexadecimal, in the order they are stored), each padded to 4 bytes.
QByteArray PixelArray(const std::vector<const char*>& storedRows) {
    QByteArray pixels;
    for (const char* row : storedRows) {
        pixels += QByteArray::fromHex(row);
        pixels += QByteArray((4 - pixels.size() % 4) % 4, '\0');
    }
    return pixels;
}

// A .bmp file of the layout and the rows.
QByteArray MakeBmp(const BmpLayout& layout, const std::vector<const char*>& storedRows = {}) {
    const QByteArray pixels = PixelArray(storedRows);
    const auto offset = static_cast<std::uint32_t>(14 + 40 + 4 * layout.palette.size());
    QByteArray file;
    QDataStream out(&file, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out.writeRawData("BM", 2);
    out << quint32(offset + pixels.size()) << quint32(0) << offset << quint32(40)
        << qint32(layout.width) << qint32(layout.height) << quint16(1) << quint16(layout.bits)
        << layout.compression << quint32(pixels.size()) << quint32(2835) << quint32(2835)
        << layout.colorsUsed << quint32(0);
    for (const std::uint32_t rgb : layout.palette)
        out << rgb; // stored B, G, R, 0: the little-endian bytes of 0x00RRGGBB
    out.writeRawData(pixels.constData(), static_cast<int>(pixels.size()));
    return file;
}

// Every depth, bottom-up and top-down: the size and depth, the pixel array kept as stored, and
// pixels of the top-down picture. Paletted: 4 bits high nibble first, 1 bit most significant bit
// first, an index past the colours used reads as black.
TEST(DibBitmap, DecodesEveryDepthInItsRowOrder) {
    const struct {
        BmpLayout layout;
        std::vector<const char*> rows;
        std::vector<std::pair<QPoint, QRgb>> pixels;
    } cases[] = {
        {{3, 2, 24},
         {"010203040506070809", "0a141e28323c46505a"}, // bottom row first, BGR
         {{{0, 1}, qRgb(3, 2, 1)},
          {{2, 1}, qRgb(9, 8, 7)},
          {{0, 0}, qRgb(30, 20, 10)},
          {{2, 0}, qRgb(90, 80, 70)}}},
        {{1, -2, 32}, {"01020300", "04050600"}, {{{0, 0}, qRgb(3, 2, 1)}, {{0, 1}, qRgb(6, 5, 4)}}},
        {{3, 1, 8, {0xFF0000, 0x00FF00}, 0, 2},
         {"010003"},
         {{{0, 0}, qRgb(0, 255, 0)}, {{1, 0}, qRgb(255, 0, 0)}, {{2, 0}, qRgb(0, 0, 0)}}},
        {{3, 1, 4, {0x000000, 0x0000FF}, 0, 2},
         {"1010"},
         {{{0, 0}, qRgb(0, 0, 255)}, {{1, 0}, qRgb(0, 0, 0)}, {{2, 0}, qRgb(0, 0, 255)}}},
        {{9, 1, 1, {0x000000, 0xFFFFFF}},
         {"4180"},
         {{{0, 0}, qRgb(0, 0, 0)},
          {{1, 0}, qRgb(255, 255, 255)},
          {{7, 0}, qRgb(255, 255, 255)},
          {{8, 0}, qRgb(255, 255, 255)}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.layout.bits);
        CDibBitmap bitmap;
        ASSERT_TRUE(bitmap.Load(MakeBmp(c.layout, c.rows))) << bitmap.Error().toStdString();
        EXPECT_EQ(bitmap.Width(), c.layout.width);
        EXPECT_EQ(bitmap.Height(), std::abs(c.layout.height));
        EXPECT_EQ(bitmap.BitsPerPixel(), c.layout.bits);
        EXPECT_EQ(bitmap.PaletteSize(), static_cast<int>(c.layout.palette.size()));
        EXPECT_EQ(bitmap.Pixels(), PixelArray(c.rows));
        for (const auto& [point, rgb] : c.pixels)
            EXPECT_EQ(bitmap.Image().pixel(point), rgb) << point.x() << "," << point.y();
    }
}

TEST(DibBitmap, RefusesWhatItCannotReadAndForgetsThePreviousPicture) {
    const QByteArray good = MakeBmp({2, 2, 24}, {"000000000000", "000000000000"});
    const QByteArray bad[] = {
        QByteArray(),
        QByteArray("PK") + good.mid(2),
        good.left(good.size() - 1), // pixel data cut short
        MakeBmp({2, 2, 24, {}, 1}, {"000000000000", "000000000000"}),
        MakeBmp({2, 1, 16}, {"00000000"}),
        MakeBmp({0, 1, 24}),
        MakeBmp({1, 0, 24}),
        MakeBmp({1, INT32_MIN, 24}),
        MakeBmp({1 << 20, 1 << 20, 24}),         // far beyond any strip
        MakeBmp({1, 1, 8, {0}, 0, 300}, {"00"}), // more colours than 8 bits hold
        MakeBmp({1, 1, 8, {0}, 0, 200}, {"00"}), // palette past the end of the file
    };
    for (std::size_t i = 0; i < std::size(bad); ++i) {
        CDibBitmap bitmap;
        ASSERT_TRUE(bitmap.Load(good));
        EXPECT_FALSE(bitmap.Load(bad[i])) << "case " << i;
        EXPECT_FALSE(bitmap.Error().isEmpty()) << "case " << i;
        EXPECT_TRUE(bitmap.IsNull()) << "case " << i;
        EXPECT_TRUE(bitmap.Image().isNull()) << "case " << i;
    }
}

} // namespace
