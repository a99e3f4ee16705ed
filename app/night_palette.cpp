#include "app/night_palette.h"

#include <QApplication>
#include <QPalette>
#include <QStyle>
#include <QWidget>

namespace {

bool g_nightPalette = false;

QPalette& DayPalette() {
    static QPalette palette;
    return palette;
}

QPalette NightPalette() {
    const QColor window(0x2B, 0x2B, 0x2E);
    const QColor text(0xD0, 0xD0, 0xD0);
    const QColor base(0x1E, 0x1E, 0x20);
    QPalette palette(window);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Base, base);
    palette.setColor(QPalette::AlternateBase, window);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Button, QColor(0x35, 0x35, 0x38));
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::BrightText, Qt::white);
    palette.setColor(QPalette::ToolTipBase, base);
    palette.setColor(QPalette::ToolTipText, text);
    palette.setColor(QPalette::PlaceholderText, QColor(0x80, 0x80, 0x80));
    // Light enough for a focus frame to show on the dark buttons; white text on it still reads.
    palette.setColor(QPalette::Highlight, QColor(0x45, 0x73, 0xB0));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::Link, QColor(0x6F, 0xA8, 0xDC));
    palette.setColor(QPalette::LinkVisited, QColor(0xA0, 0x8C, 0xD8));
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        palette.setColor(QPalette::Disabled, role, QColor(0x70, 0x70, 0x70));
    }
    return palette;
}

} // namespace

void CNightPalette::Apply(bool night) {
    if (night == g_nightPalette) {
        return;
    }
    if (night) {
        DayPalette() = QApplication::palette();
    }
    g_nightPalette = night;
    QApplication::setPalette(night ? NightPalette() : DayPalette());
    // A widget with a style sheet (the main toolbar, the notice) and its children took their
    // colours when they were polished and keep them through a palette change, even when polished
    // again: the toolbar's labels stayed dark on the night bar, light on the day bar. Their
    // sheets are taken off, their palettes given back to the application's, and the sheets put
    // on again. (None of those widgets has colours of its own.)
    for (QWidget* widget : QApplication::allWidgets()) {
        if (!widget->styleSheet().isEmpty()) {
            const QString sheet = widget->styleSheet();
            widget->setStyleSheet(QString());
            for (QWidget* part : widget->findChildren<QWidget*>()) {
                part->setPalette(QPalette());
            }
            widget->setPalette(QPalette());
            widget->setStyleSheet(sheet);
        }
    }
}
