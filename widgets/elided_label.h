#pragma once

#include <QLabel>

// A one-line label that fits any text into its width: what does not fit is cut at a character
// boundary and marked with "…", and the whole text shows as the tooltip (unless the label has a
// tooltip of its own). text() and screen readers still get the whole text.
class CElidedLabel : public QLabel {
    Q_OBJECT
public:
    explicit CElidedLabel(Qt::TextElideMode mode = Qt::ElideRight, QWidget* parent = nullptr);

    // The text as painted in the current width.
    QString ShownText() const;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

private:
    Qt::TextElideMode m_mode;
};
