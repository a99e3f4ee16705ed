#include "res/dib_bitmap.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

struct BmpLayout {
    int width = 2;
    int height = 2; // negative: rows stored top-down
    int bits = 24;
    std::vector<std::uint32_t> palette; // 0xRRGGBB
    std::uint32_t compression = 0;
    std::uint32_t colorsUsed = 0;
};

void Put32(QByteArray& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        out.append(static_cast<char>(v >> (8 * i) & 0xFF));
    }
}

void Put16(QByteArray& out, std::uint16_t v) {
    out.append(static_cast<char>(v & 0xFF));
    out.append(static_cast<char>(v >> 8));
}

// A .bmp file with the given rows, in the order they are stored, each padded to 4 bytes here.
QByteArray MakeBmp(const BmpLayout& layout, const std::vector<QByteArray>& storedRows) {
    QByteArray pixels;
    for (QByteArray row : storedRows) {
        while (row.size() % 4 != 0) {
            row.append('\0');
        }
        pixels.append(row);
    }
    const auto offset = static_cast<std::uint32_t>(14 + 40 + 4 * layout.palette.size());
    QByteArray file("BM");
    Put32(file, offset + static_cast<std::uint32_t>(pixels.size()));
    Put32(file, 0);
    Put32(file, offset);
    Put32(file, 40);
    Put32(file, static_cast<std::uint32_t>(layout.width));
    Put32(file, static_cast<std::uint32_t>(layout.height));
    Put16(file, 1);
    Put16(file, static_cast<std::uint16_t>(layout.bits));
    Put32(file, layout.compression);
    Put32(file, static_cast<std::uint32_t>(pixels.size()));
    Put32(file, 2835);
    Put32(file, 2835);
    Put32(file, layout.colorsUsed);
    Put32(file, 0);
    for (const std::uint32_t rgb : layout.palette) {
        Put32(file, rgb); // stored B, G, R, 0: the little-endian bytes of 0x00RRGGBB
    }
    return file + pixels;
}

QByteArray Bytes(std::initializer_list<int> values) {
    QByteArray out;
    for (const int v : values) {
        out.append(static_cast<char>(v));
    }
    return out;
}

TEST(DibBitmap, TwentyFourBitRowsAreBottomUpAndPadded) {
    // 3 x 2: stored bottom row first, BGR, 9 bytes per row padded to 12.
    const QByteArray file =
        MakeBmp({3, 2, 24, {}, 0, 0},
                {Bytes({1, 2, 3, 4, 5, 6, 7, 8, 9}), Bytes({10, 20, 30, 40, 50, 60, 70, 80, 90})});
    CDibBitmap bitmap;
    ASSERT_TRUE(bitmap.Load(file)) << bitmap.Error().toStdString();
    EXPECT_EQ(bitmap.Width(), 3);
    EXPECT_EQ(bitmap.Height(), 2);
    EXPECT_EQ(bitmap.BitsPerPixel(), 24);
    EXPECT_EQ(bitmap.Pixels().size(), 24);
    EXPECT_EQ(bitmap.Pixels().left(3), Bytes({1, 2, 3}));

    const QImage image = bitmap.Image();
    EXPECT_EQ(image.pixel(0, 1), qRgb(3, 2, 1)); // bottom-left: the first stored pixel
    EXPECT_EQ(image.pixel(2, 1), qRgb(9, 8, 7));
    EXPECT_EQ(image.pixel(0, 0), qRgb(30, 20, 10));
    EXPECT_EQ(image.pixel(2, 0), qRgb(90, 80, 70));
}

TEST(DibBitmap, NegativeHeightStoresRowsTopDown) {
    const QByteArray file =
        MakeBmp({1, -2, 32, {}, 0, 0}, {Bytes({1, 2, 3, 0}), Bytes({4, 5, 6, 0})});
    CDibBitmap bitmap;
    ASSERT_TRUE(bitmap.Load(file));
    EXPECT_EQ(bitmap.Height(), 2);
    EXPECT_EQ(bitmap.Image().pixel(0, 0), qRgb(3, 2, 1));
    EXPECT_EQ(bitmap.Image().pixel(0, 1), qRgb(6, 5, 4));
}

TEST(DibBitmap, PalettedPixelsLookUpTheirColours) {
    CDibBitmap bitmap;
    // 8 bits; index 3 lies past the 2 used colours and reads as black.
    ASSERT_TRUE(bitmap.Load(MakeBmp({3, 1, 8, {0xFF0000, 0x00FF00}, 0, 2}, {Bytes({1, 0, 3})})));
    EXPECT_EQ(bitmap.PaletteSize(), 2);
    EXPECT_EQ(bitmap.Image().pixel(0, 0), qRgb(0, 255, 0));
    EXPECT_EQ(bitmap.Image().pixel(1, 0), qRgb(255, 0, 0));
    EXPECT_EQ(bitmap.Image().pixel(2, 0), qRgb(0, 0, 0));

    // 4 bits: high nibble first; 1 bit: most significant bit first.
    ASSERT_TRUE(bitmap.Load(MakeBmp({3, 1, 4, {0x000000, 0x0000FF}, 0, 2}, {Bytes({0x10, 0x10})})));
    EXPECT_EQ(bitmap.Image().pixel(0, 0), qRgb(0, 0, 255));
    EXPECT_EQ(bitmap.Image().pixel(1, 0), qRgb(0, 0, 0));
    EXPECT_EQ(bitmap.Image().pixel(2, 0), qRgb(0, 0, 255));
    ASSERT_TRUE(bitmap.Load(MakeBmp({9, 1, 1, {0x000000, 0xFFFFFF}, 0, 0}, {Bytes({0x41, 0x80})})));
    EXPECT_EQ(bitmap.Image().pixel(0, 0), qRgb(0, 0, 0));
    EXPECT_EQ(bitmap.Image().pixel(1, 0), qRgb(255, 255, 255));
    EXPECT_EQ(bitmap.Image().pixel(7, 0), qRgb(255, 255, 255));
    EXPECT_EQ(bitmap.Image().pixel(8, 0), qRgb(255, 255, 255));
}

TEST(DibBitmap, RefusesWhatItCannotReadAndForgetsThePreviousPicture) {
    const QByteArray good =
        MakeBmp({2, 2, 24, {}, 0, 0}, {Bytes({0, 0, 0, 0, 0, 0}), Bytes({0, 0, 0, 0, 0, 0})});
    const std::vector<QByteArray> bad = {
        QByteArray(),
        QByteArray("PK") + good.mid(2),
        good.left(good.size() - 1), // pixel data cut short
        MakeBmp({2, 2, 24, {}, 1, 0}, {Bytes({0, 0, 0, 0, 0, 0}), Bytes({0, 0, 0, 0, 0, 0})}),
        MakeBmp({2, 1, 16, {}, 0, 0}, {Bytes({0, 0, 0, 0})}),
        MakeBmp({0, 1, 24, {}, 0, 0}, {}),
        MakeBmp({1, 0, 24, {}, 0, 0}, {}),
        MakeBmp({1, INT32_MIN, 24, {}, 0, 0}, {}),
        MakeBmp({1 << 20, 1 << 20, 24, {}, 0, 0}, {}),        // far beyond any strip
        MakeBmp({1, 1, 8, {0x000000}, 0, 300}, {Bytes({0})}), // more colours than 8 bits hold
        MakeBmp({1, 1, 8, {0x000000}, 0, 200}, {Bytes({0})}), // palette past the end of the file
    };
    for (std::size_t i = 0; i < bad.size(); ++i) {
        CDibBitmap bitmap;
        ASSERT_TRUE(bitmap.Load(good));
        EXPECT_FALSE(bitmap.Load(bad[i])) << "case " << i;
        EXPECT_FALSE(bitmap.Error().isEmpty()) << "case " << i;
        EXPECT_TRUE(bitmap.IsNull()) << "case " << i;
        EXPECT_TRUE(bitmap.Image().isNull()) << "case " << i;
    }
}

} // namespace
