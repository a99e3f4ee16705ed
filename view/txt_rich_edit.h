#pragma once

#include <QTextBlockFormat>
#include <QTextEdit>

#include <functional>
#include <memory>
#include <optional>
#include <string>

class QFont;

// The read-only text pane that fills the reader view: shows a stretch of the book as one
// continuous text (or the welcome text), owns the font, colours and line spacing, marks the
// reading line by selecting one whole display line (a wrapped line of the layout) and turns the
// reader keys into commands. Its text supplier brings the book's text as the reader moves.
class CTxtRichEdit : public QTextEdit {
    Q_OBJECT
public:
    explicit CTxtRichEdit(QWidget* parent);
    ~CTxtRichEdit() override;

    // Font `face` (through the font fallback when the system lacks it) whose cell height is
    // `height` pixels, weight 100. The line distance, counted from the height, follows it.
    void SetTextFont(const std::u16string& face, int height);
    // Lines at least (font height + value - 1) points apart; single spacing is the floor.
    void SetRowDis(int value);
    // Colours are COLORREF values (0x00BBGGRR).
    void SetTextColor(unsigned color);
    void SetBackColor(unsigned color);
    // Text `left` and `right` pixels in from the frame. With lineChars > 0 no display line holds
    // more than that many full-width characters, and the narrower column is centred.
    void SetPageMargins(int left, int right, int lineChars);
    // Paragraphs justified (both edges straight) or ragged right, and `spacing` pixels between
    // paragraphs.
    void SetParagraphLook(bool justify, int spacing);
    // Replaces the whole text; the line spacing applies to it.
    void SetPaneText(const std::u16string& text);

    // The pane holds a stretch of the book; the supplier brings the text next to it as the reader
    // moves, and takes back what has gone far out of sight.
    struct TextSupplier {
        // The text that follows (forward) or comes before what the pane holds, now counted as
        // held; nullopt at that end of the book.
        std::function<std::optional<std::u16string>(bool forward)> more;
        // Characters of the first (front) or last piece held, -1 when it is the only one.
        std::function<int(bool front)> edgeLength;
        // That piece is no longer held.
        std::function<void(bool front)> dropped;
    };
    void SetTextSupplier(TextSupplier supplier) { m_supplier = std::move(supplier); }
    // Brings text in until there are `screensHeld` screens of it on either side of the window (as
    // far as the book goes), and with the full number lets go of text far out of sight; what is
    // on screen does not move. A step does what it needs at once (kScreensNeeded) and leaves the
    // rest for after the paint (ScheduleKeepTextAround).
    static constexpr qreal kScreensHeld = 2;
    static constexpr qreal kScreensNeeded = 1;
    void KeepTextAround(qreal screensHeld = kScreensHeld);
    void ScheduleKeepTextAround();

    // The screen steps: Space (Page Down) brings the line after the last whole line on screen
    // to the top, Page Up shows the screen before the first whole line; the first whole line is
    // marked either way.
    void NextScreen();
    void PrevScreen();
    void PrevLine();
    void NextLine();
    // One tick of automatic scrolling: a pixel down.
    void AutoScrollStep();

    // The character the first display line on screen is kept by: the one scrolled to, or the
    // line's first once the reader scrolls.
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
    int FirstVisibleCharacter() const;
    // The top of a display line and of the line after it (the document's end after the last),
    // in document pixels.
    qreal LineTop(int line) const;
    qreal LineBottom(int line) const;
    // The last display line wholly in the window.
    int LastWholeLine() const;
    // Changes the text at either end of the document, keeping the screen where it is.
    void EditKeepingScreen(const std::function<int()>& edit);
    // Room below the text, and the height of the text without it.
    void ApplyEndRoom();
    qreal TextHeight() const;
    void OnScrolled();
    // Lays out the whole text so that display lines can be counted.
    void EnsureLayout() const;

    TextSupplier m_supplier;
    bool m_bKeepPending = false;   // KeepTextAround posted
    bool m_bKeepingAround = false; // inside KeepTextAround
    bool m_bJustify = true;
    int m_nParagraphSpacing = 0;
    int m_nEndRoom = -1;       // pixels below the text, -1 before they are set
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
};
