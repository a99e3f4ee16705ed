#include "widgets/elided_label.h"

#include <QHelpEvent>
#include <QPainter>
#include <QStyle>
#include <QToolTip>

CElidedLabel::CElidedLabel(Qt::TextElideMode mode, QWidget* parent)
    : QLabel(parent), m_mode(mode) {}

QString CElidedLabel::ShownText() const {
    const int room = contentsRect().width() - 2 * std::max(margin(), 0);
    return fontMetrics().elidedText(text(), m_mode, room);
}

QSize CElidedLabel::minimumSizeHint() const {
    // Room for the ellipsis: the label may be squeezed instead of pushing its neighbours away.
    const QSize hint = QLabel::minimumSizeHint();
    return {std::min(hint.width(), fontMetrics().horizontalAdvance(u'…') * 3), hint.height()};
}

void CElidedLabel::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event); // the frame; the text is drawn here, cut to fit
    QPainter painter(this);
    const QRect room = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
    style()->drawItemText(&painter, room, int(alignment()), palette(), isEnabled(), ShownText(),
                          foregroundRole());
}

bool CElidedLabel::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip && toolTip().isEmpty()) {
        const auto* help = static_cast<QHelpEvent*>(event);
        if (ShownText() != text()) {
            QToolTip::showText(help->globalPos(), text(), this);
        } else {
            QToolTip::hideText();
        }
        return true;
    }
    return QLabel::event(event);
}
