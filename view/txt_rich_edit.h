#pragma once

#include <QTextBlockFormat>
#include <QTextEdit>

#include <functional>
#include <memory>
#include <string>

class QFont;

// The read-only text pane that fills the reader view: shows one page (or the welcome text), owns
// the font, colours and line spacing, marks the reading line by selecting one whole display line
// (a wrapped line of the layout) and turns the reader keys into commands. It shows pages; the
// page turner it is given brings them.
class CTxtRichEdit : public QTextEdit {
    Q_OBJECT
public:
    explicit CTxtRichEdit(QWidget* parent);
    ~CTxtRichEdit() override;

    // Font `face` (through the font fallback when the system lacks it) whose cell height is
    // `height` pixels, weight 100. The line spacing in effect is not touched.
    void SetTextFont(const std::u16string& face, int height);
    // Lines at least (font height + value - 1) points apart; single spacing is the floor.
    void SetRowDis(int value);
    // Colours are COLORREF values (0x00BBGGRR).
    void SetTextColor(unsigned color);
    void SetBackColor(unsigned color);
    // Text `left` and `right` pixels in from the frame. With lineChars > 0 no display line holds
    // more than that many full-width characters, and the narrower column is centred.
    void SetPageMargins(int left, int right, int lineChars);
    // Replaces the whole text; the line spacing applies to it.
    void SetPaneText(const std::u16string& text);
    // Replaces the text of the same page read another way, keeping the screen: the scroll
    // position and the marked reading line stay where they were, as far as the new text reaches.
    void ReplacePaneTextInPlace(const std::u16string& text);

    // Brings the next (+1) or previous (-1) page into the pane through SetPaneText; false when
    // there is none.
    using PageTurner = std::function<bool(int step)>;
    void SetPageTurner(PageTurner turner) { m_turnPage = std::move(turner); }

    // Navigation inside the page and between pages. The screen steps go on across page edges:
    // on the last screen of a page the next screen is the next page's first one, on the first
    // screen the previous one is the previous page's last one.
    void NextScreen();
    void PrevScreen();
    void PrevLine();
    void NextLine();
    void PrevPage();
    void NextPage();
    // One tick of automatic scrolling: a pixel down; at the end of a page, once its last screen
    // (or the whole of a page shorter than the window) has had the time its text takes at this
    // speed, the next page.
    void AutoScrollStep();

    // The first character of the first display line on screen.
    int TopCharacter() const { return m_nTopChar; }
    // Scrolls so that the display line holding `position` is the first on screen, and keeps it
    // there when the pane is resized or its font changes.
    void ScrollToCharacter(int position);
    // The marked line (or the selection) as plain text, lines ending in LF.
    QString SelectedText() const;

    // Display lines: the wrapped lines of the layout, numbered from 0 over the whole text.
    int GetLineCount() const;
    int LineFromChar(int position) const;
    int LineIndex(int line) const;  // first character of the line, -1 past the end
    int LineLength(int line) const; // characters of the line, without a paragraph end
    int GetFirstVisibleLine() const;
    // The display line holding the start of the selection.
    int CurrentLine() const;
    void SelectLine(int line);

    // Marks the display line under `point` (viewport coordinates).
    void SelectLineAt(const QPoint& point);

    const std::u16string& FaceName() const { return m_strFaceName; }
    int FontHeight() const { return m_nFontHeight; }
    int RowDis() const { return m_nRowDis; }
    // The minimum distance between lines in pixels set by the last SetRowDis (0 before).
    int LineDistancePixels() const { return m_nLineDistance; }

signals:
    // A reader key or the view's part of it: a command of res/resource.h.
    void command(int id);
    // A page step was tried (the arrow keys), or a page came through a screen step, the wheel or
    // automatic scrolling.
    void pageStepped();
    // The first character on screen changed by the reader's scrolling.
    void scrolled(int topCharacter);
    // A lone Ctrl press and release, or a left click: pause or resume automatic scrolling.
    void pauseToggled();
    void contextMenuAt(const QPoint& globalPos);

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    // The paragraph format that carries the line spacing.
    QTextBlockFormat LineFormat() const;
    void ApplyLineDistance();
    // Wrap width and viewport margins for the page margins, the widest line and the pane width.
    void ApplyPageMargins();
    // Turns to the next page, or to the previous page's last screen; false (and nothing changes)
    // at either end of the book.
    bool TurnForward();
    bool TurnBackToLastScreen();
    int FirstVisibleCharacter() const;
    void OnScrolled();
    // Lays out the whole text so that display lines can be counted.
    void EnsureLayout() const;

    PageTurner m_turnPage;
    bool m_bCtrlAlone = false; // Ctrl is down and no other key came with it
    std::unique_ptr<QFont> m_pFont;
    unsigned m_crTextColor = 0;
    int m_nFontHeight = 20;
    std::u16string m_strFaceName;
    int m_nRowDis = 1;
    int m_nLineDistance = 0;
    int m_nMarginLeft = kDefaultMargin;
    int m_nMarginRight = kDefaultMargin;
    int m_nLineChars = 0;

public:
    // The text document's own margin: the distance between frame and text the pane always had.
    static constexpr int kDefaultMargin = 4;
    int m_nTopChar = 0;      // what the reader sees first: kept through relayouts
    bool m_bHoldTop = false; // scrolling done here, not by the reader
    int m_nDwellTicks = 0;   // auto-scroll ticks spent at the end of the page
    int m_nWheelAtEdge = 0;  // wheel turn collected at a page edge
};
