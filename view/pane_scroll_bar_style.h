#pragma once

#include <QProxyStyle>

// The text pane's scroll bar, painted flat in solid colours of its palette. The application
// style fills the tall groove and the handle with gradients, which the raster engine hands out
// to worker threads and waits for: a third of the paint of every page turn. Sizes, arrows and
// hit areas stay the application style's own, so the bar works exactly as before.
class CPaneScrollBarStyle : public QProxyStyle {
    Q_OBJECT
public:
    CPaneScrollBarStyle();

    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                            QPainter* painter, const QWidget* widget = nullptr) const override;
};
