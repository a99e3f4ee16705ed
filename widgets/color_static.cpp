#include "widgets/color_static.h"

#include "widgets/link_opener.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyle>

namespace {
constexpr std::uint32_t kHoverText = 255; // pure red
} // namespace

CColorStatic::CColorStatic(QWidget* parent) : QLabel(parent), m_brBack(ToQColor(m_crBack)) {
    // Hovering needs every movement, not only those with a button held.
    setMouseTracking(true);
}

CColorStatic::~CColorStatic() = default;

QColor CColorStatic::ToQColor(std::uint32_t colour) {
    return QColor(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}

std::uint32_t CColorStatic::FromQColor(const QColor& colour) {
    const QColor rgb = colour.toRgb();
    return static_cast<std::uint32_t>(rgb.red()) | static_cast<std::uint32_t>(rgb.green()) << 8 |
           static_cast<std::uint32_t>(rgb.blue()) << 16;
}

void CColorStatic::SetBackColor(std::uint32_t colour) {
    m_crBack = colour;
    m_brBack = QBrush(ToQColor(colour));
    update();
}

void CColorStatic::OnMouseMove(const QPoint& point) {
    if (!m_bTrackHover) {
        return;
    }
    if (rect().contains(point)) {
        m_crText = kHoverText;
        // While captured the control also sees the pointer leave.
        if (QWidget::mouseGrabber() != this) {
            grabMouse();
        }
        if (!m_strLink.empty()) {
            setCursor(Qt::PointingHandCursor);
        }
        update();
    } else {
        m_crText = m_crNormalText;
        update();
        unsetCursor();
        if (QWidget::mouseGrabber() == this) {
            releaseMouse();
        }
    }
}

void CColorStatic::OnClicked() {
    if (!m_strLink.empty()) {
        OpenLink(m_strLink);
    }
}

void CColorStatic::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), m_brBack);
    drawFrame(&painter);
    if (!text().isEmpty()) {
        QPalette palette = this->palette();
        palette.setColor(QPalette::WindowText, ToQColor(m_crText));
        const int flags = alignment() | (wordWrap() ? Qt::TextWordWrap : 0);
        style()->drawItemText(&painter, contentsRect(), flags, palette, isEnabled(), text(),
                              QPalette::WindowText);
    }
}

void CColorStatic::mouseMoveEvent(QMouseEvent* event) {
    OnMouseMove(event->position().toPoint());
    QLabel::mouseMoveEvent(event);
}

void CColorStatic::mousePressEvent(QMouseEvent* event) {
    // With the mouse captured a press may land outside; only presses on the control count.
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        OnClicked();
    }
    QLabel::mousePressEvent(event);
}

void CColorStatic::hideEvent(QHideEvent* event) {
    if (QWidget::mouseGrabber() == this) {
        releaseMouse();
    }
    QLabel::hideEvent(event);
}
