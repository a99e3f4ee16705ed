#include "res/dib_bitmap.h"

#include <cstdint>
#include <cstring>

namespace {

constexpr int kFileHeaderSize = 14;
constexpr int kInfoHeaderSize = 40; // BITMAPINFOHEADER; the later V4/V5 headers extend it
constexpr std::uint32_t kUncompressed = 0;
// Larger pictures are not toolbar strips; refusing them keeps a hostile header from asking for
// gigabytes.
constexpr std::int64_t kMaxPixels = 64 * 1024 * 1024;

std::uint32_t U32(const QByteArray& data, int at) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) {
        value = value << 8 | static_cast<std::uint8_t>(data[at + i]);
    }
    return value;
}

std::uint16_t U16(const QByteArray& data, int at) {
    return static_cast<std::uint16_t>(static_cast<std::uint8_t>(data[at]) |
                                      static_cast<std::uint8_t>(data[at + 1]) << 8);
}

std::int32_t I32(const QByteArray& data, int at) {
    return static_cast<std::int32_t>(U32(data, at));
}

} // namespace

bool CDibBitmap::Fail(const QString& reason) {
    *this = CDibBitmap();
    m_error = reason;
    return false;
}

bool CDibBitmap::Load(const QByteArray& file) {
    *this = CDibBitmap();
    if (file.size() < kFileHeaderSize + kInfoHeaderSize || file[0] != 'B' || file[1] != 'M') {
        return Fail(QStringLiteral("not a bitmap file"));
    }
    const std::uint32_t pixelOffset = U32(file, 10);
    const std::uint32_t infoSize = U32(file, kFileHeaderSize);
    if (infoSize < kInfoHeaderSize || infoSize > static_cast<std::uint32_t>(file.size())) {
        return Fail(QStringLiteral("unsupported bitmap header of %1 bytes").arg(infoSize));
    }
    const std::int32_t width = I32(file, 18);
    const std::int32_t height = I32(file, 22);
    const int planes = U16(file, 26);
    const int bits = U16(file, 28);
    const std::uint32_t compression = U32(file, 30);
    const std::uint32_t colorsUsed = U32(file, 46);

    if (planes != 1 || (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32)) {
        return Fail(QStringLiteral("unsupported pixel format: %1 bits per pixel").arg(bits));
    }
    if (compression != kUncompressed) {
        return Fail(QStringLiteral("compressed bitmaps are not supported"));
    }
    // INT32_MIN has no positive counterpart.
    if (width <= 0 || height == 0 || height == INT32_MIN) {
        return Fail(QStringLiteral("bitmap of %1 x %2 pixels").arg(width).arg(height));
    }
    const std::int64_t rows = height < 0 ? -static_cast<std::int64_t>(height) : height;
    if (static_cast<std::int64_t>(width) * rows > kMaxPixels) {
        return Fail(QStringLiteral("bitmap too large: %1 x %2 pixels").arg(width).arg(rows));
    }

    if (bits <= 8) {
        const std::uint32_t maxColors = 1u << bits;
        const std::uint32_t colors = colorsUsed == 0 ? maxColors : colorsUsed;
        const std::int64_t paletteAt = kFileHeaderSize + static_cast<std::int64_t>(infoSize);
        if (colors > maxColors || paletteAt + 4 * static_cast<std::int64_t>(colors) > file.size()) {
            return Fail(QStringLiteral("bad palette of %1 colours").arg(colors));
        }
        QList<QRgb> palette;
        for (std::uint32_t i = 0; i < colors; ++i) {
            const auto* entry =
                reinterpret_cast<const uchar*>(file.constData()) + paletteAt + 4 * i;
            palette.append(qRgb(entry[2], entry[1], entry[0]));
        }
        m_palette = palette;
    }

    const std::int64_t stride = (static_cast<std::int64_t>(width) * bits + 31) / 32 * 4;
    if (pixelOffset > static_cast<std::uint32_t>(file.size()) ||
        static_cast<std::int64_t>(pixelOffset) + stride * rows > file.size()) {
        return Fail(QStringLiteral("bitmap file is cut short"));
    }

    m_width = width;
    m_height = static_cast<int>(rows);
    m_bottomUp = height > 0;
    m_bitsPerPixel = bits;
    m_stride = static_cast<int>(stride);
    m_pixels = file.mid(static_cast<qsizetype>(pixelOffset), static_cast<qsizetype>(stride * rows));
    return true;
}

QRgb CDibBitmap::PixelAt(const uchar* row, int x) const {
    switch (m_bitsPerPixel) {
    case 1:
        return PaletteColor(row[x / 8] >> (7 - x % 8) & 1);
    case 4:
        return PaletteColor(row[x / 2] >> (x % 2 == 0 ? 4 : 0) & 0xF);
    case 8:
        return PaletteColor(row[x]);
    case 24:
        return qRgb(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
    default:
        return qRgb(row[4 * x + 2], row[4 * x + 1], row[4 * x]);
    }
}

QImage CDibBitmap::Image() const {
    if (IsNull()) {
        return {};
    }
    QImage image(m_width, m_height, QImage::Format_RGB32);
    const auto* pixels = reinterpret_cast<const uchar*>(m_pixels.constData());
    for (int y = 0; y < m_height; ++y) {
        const int storedRow = m_bottomUp ? m_height - 1 - y : y;
        const uchar* row = pixels + static_cast<std::ptrdiff_t>(storedRow) * m_stride;
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < m_width; ++x) {
            line[x] = PixelAt(row, x);
        }
    }
    return image;
}
