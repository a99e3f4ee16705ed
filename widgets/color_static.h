#pragma once

#include <QBrush>
#include <QLabel>

#include <cstdint>
#include <string>

// A static control that paints itself in its own colours and can act as a link. Colours are
// COLORREF values: red in the low byte, then green, then blue.
class CColorStatic : public QLabel {
    Q_OBJECT
public:
    explicit CColorStatic(QWidget* parent = nullptr);
    ~CColorStatic() override;

    // Makes `colour` the background: the colour, its brush and a repaint.
    void SetBackColor(std::uint32_t colour);

    // Handlers: the pointer moved to `point` (control coordinates); the control was clicked.
    void OnMouseMove(const QPoint& point);
    void OnClicked();

    static QColor ToQColor(std::uint32_t colour);
    static std::uint32_t FromQColor(const QColor& colour);

    bool m_bTrackHover = true;        // hovering turns the text red (and captures the mouse)
    std::u16string m_strLink;         // opened on a click when not empty
    std::uint32_t m_crNormalText = 0; // text colour while the mouse is elsewhere
    std::uint32_t m_crText = 0;       // text colour used when painting
    std::uint32_t m_crBack = 0xFFFFFF;
    QBrush m_brBack;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void hideEvent(QHideEvent* event) override;
};
