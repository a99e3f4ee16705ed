#include "widgets/night_picture.h"

#include <QColor>

#include <algorithm>
#include <vector>

namespace {

constexpr int kNearWhite = 0xF0;   // the least of a channel still taken for the white around
constexpr int kDarkLightness = 70; // strokes darker than this are lightened...
constexpr int kLitLightness = 130; // ...to this

bool IsNearWhite(QRgb pixel) {
    return qAlpha(pixel) > 0 && qRed(pixel) >= kNearWhite && qGreen(pixel) >= kNearWhite &&
           qBlue(pixel) >= kNearWhite;
}

// The white reaching the picture's edge, filled from the border.
void ClearSurroundingWhite(QImage& image) {
    const int w = image.width();
    const int h = image.height();
    std::vector<QPoint> todo;
    for (int x = 0; x < w; ++x) {
        todo.push_back({x, 0});
        todo.push_back({x, h - 1});
    }
    for (int y = 0; y < h; ++y) {
        todo.push_back({0, y});
        todo.push_back({w - 1, y});
    }
    while (!todo.empty()) {
        const QPoint p = todo.back();
        todo.pop_back();
        if (p.x() < 0 || p.y() < 0 || p.x() >= w || p.y() >= h || !IsNearWhite(image.pixel(p))) {
            continue;
        }
        image.setPixel(p, qRgba(0, 0, 0, 0));
        todo.insert(
            todo.end(),
            {{p.x() + 1, p.y()}, {p.x() - 1, p.y()}, {p.x(), p.y() + 1}, {p.x(), p.y() - 1}});
    }
}

bool TouchesTransparency(const QImage& image, int x, int y) {
    for (const auto& [dx, dy] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}}) {
        const int nx = x + dx;
        const int ny = y + dy;
        if (nx < 0 || ny < 0 || nx >= image.width() || ny >= image.height() ||
            qAlpha(image.pixel(nx, ny)) == 0) {
            return true;
        }
    }
    return false;
}

// An edge pixel smoothed towards white: the part of it that was white becomes transparency.
QRgb WithoutWhite(QRgb pixel) {
    const int r = qRed(pixel);
    const int g = qGreen(pixel);
    const int b = qBlue(pixel);
    const int cover = std::max({255 - r, 255 - g, 255 - b}); // how much is not white, 0..255
    if (cover == 0) {
        return qRgba(0, 0, 0, 0);
    }
    const auto unblend = [cover](int c) { return 255 - (255 - c) * 255 / cover; };
    return qRgba(unblend(r), unblend(g), unblend(b), qAlpha(pixel) * cover / 255);
}

} // namespace

QImage NightPicture(const QImage& picture) {
    QImage image = picture.convertToFormat(QImage::Format_ARGB32);
    ClearSurroundingWhite(image);
    const QImage shape = image; // edges as they were before any is changed
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            QRgb pixel = shape.pixel(x, y);
            if (qAlpha(pixel) == 0) {
                continue;
            }
            if (TouchesTransparency(shape, x, y)) {
                pixel = WithoutWhite(pixel);
            }
            QColor colour = QColor::fromRgba(pixel);
            if (colour.lightness() < kDarkLightness) {
                colour = QColor::fromHsl(colour.hslHue(), colour.hslSaturation(), kLitLightness,
                                         colour.alpha());
            }
            image.setPixel(x, y, colour.rgba());
        }
    }
    return image;
}
