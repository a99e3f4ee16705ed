#include "view/pane_scroll_bar_style.h"

#include <QPainter>
#include <QStyleOption>

namespace {

// `share` of the way from `from` to `to`, always opaque: an opaque solid fill is a plain memory
// fill, anything else is blended span by span.
QColor Mix(const QColor& from, const QColor& to, double share) {
    const auto channel = [share](int a, int b) { return int(a + (b - a) * share + 0.5); };
    return QColor(channel(from.red(), to.red()), channel(from.green(), to.green()),
                  channel(from.blue(), to.blue()));
}

} // namespace

CPaneScrollBarStyle::CPaneScrollBarStyle() = default;

void CPaneScrollBarStyle::drawComplexControl(ComplexControl control,
                                             const QStyleOptionComplex* option, QPainter* painter,
                                             const QWidget* widget) const {
    const auto* bar = qstyleoption_cast<const QStyleOptionSlider*>(option);
    if (control != CC_ScrollBar || bar == nullptr) {
        QProxyStyle::drawComplexControl(control, option, painter, widget);
        return;
    }
    QColor back = bar->palette.color(QPalette::Window);
    back.setAlpha(255);
    const QColor ink = bar->palette.color(QPalette::WindowText);
    const bool vertical = bar->orientation == Qt::Vertical;
    const QRect& rect = bar->rect;
    if (bar->subControls & SC_ScrollBarGroove) {
        painter->fillRect(rect, back);
        // The edge towards the text.
        painter->fillRect(vertical ? QRect(rect.left(), rect.top(), 1, rect.height())
                                   : QRect(rect.left(), rect.top(), rect.width(), 1),
                          Mix(back, ink, 0.18));
    }
    if ((bar->subControls & SC_ScrollBarSlider) && bar->maximum > bar->minimum) {
        const bool active = bar->activeSubControls & SC_ScrollBarSlider;
        const double share = active && (bar->state & State_Sunken)      ? 0.55
                             : active && (bar->state & State_MouseOver) ? 0.45
                                                                        : 0.32;
        const QRect handle = subControlRect(control, bar, SC_ScrollBarSlider, widget);
        painter->fillRect(vertical ? handle.adjusted(3, 1, -2, -1) : handle.adjusted(1, 3, -1, -2),
                          Mix(back, ink, share));
    }
    // The arrow buttons are small: the application style draws them as always.
    QStyleOptionSlider arrows(*bar);
    arrows.subControls &= SC_ScrollBarAddLine | SC_ScrollBarSubLine;
    if (arrows.subControls != SC_None) {
        QProxyStyle::drawComplexControl(control, &arrows, painter, widget);
    }
}
