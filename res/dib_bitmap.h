#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

// A Windows bitmap file (.bmp) decoded the way the toolbars read their strips: the pixel array is
// kept exactly as stored (rows bottom-up unless the height is negative, each padded to 4 bytes),
// so callers can look at its raw bytes, and Image() gives the picture top-down.
// Uncompressed bitmaps of 1, 4, 8, 24 and 32 bits per pixel are understood.
class CDibBitmap {
public:
    // Decodes `file`. false, with the reason in Error(), for anything that is not a whole,
    // uncompressed bitmap; the object is then empty.
    bool Load(const QByteArray& file);

    bool IsNull() const { return m_width == 0; }
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    int BitsPerPixel() const { return m_bitsPerPixel; }
    int PaletteSize() const { return static_cast<int>(m_palette.size()); }
    QRgb PaletteColor(int index) const { return m_palette.value(index, qRgb(0, 0, 0)); }

    // The pixel array as stored in the file.
    const QByteArray& Pixels() const { return m_pixels; }

    // The picture, top row first (QImage::Format_RGB32).
    QImage Image() const;

    const QString& Error() const { return m_error; }

private:
    bool Fail(const QString& reason);
    QRgb PixelAt(const uchar* row, int x) const;

    int m_width = 0;
    int m_height = 0;
    bool m_bottomUp = true;
    int m_bitsPerPixel = 0;
    int m_stride = 0;
    QList<QRgb> m_palette;
    QByteArray m_pixels;
    QString m_error;
};
