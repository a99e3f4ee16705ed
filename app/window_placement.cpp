#include "app/window_placement.h"

#include "settings/reading_prefs.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace {
// A saved window place is used only when this much of its top edge lies on a screen.
constexpr int kGraspWidth = 64;
constexpr int kGraspHeight = 16;
} // namespace

QRect CWindowPlacement::Restored(const ReadingPrefs& prefs, bool& onScreen) {
    onScreen = false;
    if (prefs.window_width <= 0) {
        return QRect();
    }
    const QRect wanted(prefs.window_x, prefs.window_y, prefs.window_width, prefs.window_height);
    const QRect topEdge(wanted.x(), wanted.y(), wanted.width(), kGraspHeight);
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRect common = screen->geometry().intersected(topEdge);
        if (common.width() >= kGraspWidth && common.height() >= kGraspHeight) {
            onScreen = true;
            return wanted;
        }
    }
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return QRect();
    }
    // The screen it was on is gone: the saved size, centred as on the first start.
    const QRect area = screen->geometry();
    return QRect(area.x() + (area.width() - wanted.width()) / 2,
                 area.y() + (area.height() - wanted.height()) / 2, wanted.width(), wanted.height());
}

bool CWindowPlacement::Record(const QWidget& window, ReadingPrefs& prefs) {
    const ReadingPrefs before = prefs;
    const bool maximized = window.isMaximized();
    const QRect normal = maximized ? window.normalGeometry() : window.geometry();
    prefs.window_maximized = maximized ? 1 : 0;
    if (normal.isValid()) {
        prefs.window_x = normal.x();
        prefs.window_y = normal.y();
        prefs.window_width = normal.width();
        prefs.window_height = normal.height();
    }
    return !(prefs == before);
}
