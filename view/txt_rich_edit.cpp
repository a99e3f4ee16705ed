#include "view/txt_rich_edit.h"

#include "res/resource.h"
#include "view/key_table.h"
#include "view/pane_scroll_bar_style.h"
#include "view/reader_font.h"

#include <QAbstractTextDocumentLayout>
#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QResizeEvent>
#include <QScrollBar>
#include <QStyle>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextFrame>
#include <QTextLayout>
#include <QTimer>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <utility>

namespace {

QColor FromColorRef(unsigned color) {
    return QColor(int(color & 0xFF), int((color >> 8) & 0xFF), int((color >> 16) & 0xFF));
}

} // namespace

CTxtRichEdit::CTxtRichEdit(QWidget* parent) : QTextEdit(parent) {
    setObjectName(QStringLiteral("textPane"));
    setReadOnly(true);
    setUndoRedoEnabled(false);
    setAcceptRichText(false);
    setAcceptDrops(false); // files dropped on the text go to the view
    setLineWrapMode(QTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setContextMenuPolicy(Qt::DefaultContextMenu); // the encoding menu, not the editor's own
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setCursorWidth(0); // read-only text: no caret
    setFocusPolicy(Qt::StrongFocus);
    // Page margins are viewport margins: the strips beside the text show the page colour too.
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);
    auto* barStyle = new CPaneScrollBarStyle;
    barStyle->setParent(this);
    verticalScrollBar()->setStyle(barStyle);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { OnScrolled(); });
    // A new scroll range means a new layout (width, font, lazy layout catching up): the reader's
    // line goes back on top before the old value is clamped to the new range.
    connect(verticalScrollBar(), &QScrollBar::rangeChanged, this, [this] {
        if (!m_bHoldTop) {
            ScrollToCharacter(m_nTopChar);
            ScheduleKeepTextAround();
        }
    });
}

CTxtRichEdit::~CTxtRichEdit() = default;

void CTxtRichEdit::SetTextFont(const std::u16string& face, int height) {
    if (!m_pFont) {
        m_pFont = std::make_unique<QFont>();
    }
    const QFont font = ReaderFont(QString::fromStdU16String(face), height);
    *m_pFont = font;
    m_nFontHeight = height;
    m_strFaceName = face;
    setFont(*m_pFont);
    ApplyPageMargins(); // a line cap is counted in characters of this font
    SetTextColor(m_crTextColor);
    // The line distance is counted from the font height: it follows the font, so the same
    // settings give the same pitch however they were reached.
    SetRowDis(m_nRowDis);
}

void CTxtRichEdit::SetRowDis(int value) {
    m_nRowDis = value;
    const double points = double(m_nFontHeight) + value - 1;
    m_nLineDistance = std::max(0, int(points * logicalDpiY() / 72.0 + 0.5));
    ApplyLineDistance();
    ApplyEndRoom();
    ScrollToCharacter(m_nTopChar);
    viewport()->update();
}

void CTxtRichEdit::SetParagraphLook(bool justify, int spacing) {
    if (m_bJustify == justify && m_nParagraphSpacing == std::max(0, spacing)) {
        return;
    }
    m_bJustify = justify;
    m_nParagraphSpacing = std::max(0, spacing);
    ApplyLineDistance();
    ScrollToCharacter(m_nTopChar);
    viewport()->update();
}

QTextBlockFormat CTxtRichEdit::LineFormat() const {
    QTextBlockFormat format;
    format.setLineHeight(m_nLineDistance, QTextBlockFormat::MinimumHeight);
    format.setTopMargin(0);
    format.setBottomMargin(m_nParagraphSpacing);
    format.setAlignment(m_bJustify ? Qt::AlignJustify : Qt::AlignLeft);
    return format;
}

void CTxtRichEdit::ApplyLineDistance() {
    QTextCursor cursor(document());
    cursor.select(QTextCursor::Document);
    cursor.mergeBlockFormat(LineFormat());
}

void CTxtRichEdit::SetTextColor(unsigned color) {
    m_crTextColor = color;
    QPalette pal = palette();
    pal.setColor(QPalette::Active, QPalette::Text, FromColorRef(color));
    pal.setColor(QPalette::Inactive, QPalette::Text, FromColorRef(color));
    setPalette(pal);
    viewport()->update();
}

void CTxtRichEdit::SetBackColor(unsigned color) {
    QPalette pal = palette();
    pal.setColor(QPalette::Active, QPalette::Base, FromColorRef(color));
    pal.setColor(QPalette::Inactive, QPalette::Base, FromColorRef(color));
    setPalette(pal);
    viewport()->update();
}

void CTxtRichEdit::SetPageMargins(int left, int right, int lineChars) {
    m_nMarginLeft = std::max(0, left);
    m_nMarginRight = std::max(0, right);
    m_nLineChars = std::max(0, lineChars);
    ApplyPageMargins();
}

void CTxtRichEdit::ApplyPageMargins() {
    // The document margin stays as it always was unless a side asks for less; the rest of each
    // side is a viewport margin. Both survive a new page's text, so a page turn lays out once.
    const int inner = std::min({kDefaultMargin, m_nMarginLeft, m_nMarginRight});
    if (int(document()->documentMargin()) != inner) {
        document()->setDocumentMargin(inner);
        m_nEndRoom = -1; // the margin was set on every side
    }
    ApplyEndRoom();
    int left = m_nMarginLeft - inner;
    int right = m_nMarginRight - inner;
    int column = 0;
    if (m_nLineChars > 0) {
        const qreal advance = QFontMetricsF(font()).horizontalAdvance(QChar(0x4E2D)); // 中
        column = int(std::ceil(m_nLineChars * advance)) + 2 * inner + 1;
        // Counted without the scroll bar's width, so the column fits whether or not it shows.
        // Centred in the pane, but never nearer its edges than the margins ask.
        const int scrollBar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
        const int spare = contentsRect().width() - scrollBar - column;
        if (spare >= left + right) {
            left = std::clamp(spare / 2, left, spare - right);
            right = spare - left;
        } else {
            column = 0; // the pane is narrower than the cap: wrap at its width
        }
    }
    // A fixed wrap width holds the cap even when the scroll bar comes or goes.
    if (column > 0) {
        if (lineWrapMode() != QTextEdit::FixedPixelWidth || lineWrapColumnOrWidth() != column) {
            setLineWrapMode(QTextEdit::FixedPixelWidth);
            setLineWrapColumnOrWidth(column);
        }
    } else if (lineWrapMode() != QTextEdit::WidgetWidth) {
        setLineWrapMode(QTextEdit::WidgetWidth);
    }
    if (viewportMargins() != QMargins(left, 0, right, 0)) {
        setViewportMargins(left, 0, right, 0);
    }
}

void CTxtRichEdit::ApplyEndRoom() {
    // Room below the text for a screen less a line, so that any line can be the first on screen
    // (a page's start near the end of the book, the last chapter's heading).
    const int room = std::max(0, viewport()->height() - m_nLineDistance);
    if (room == m_nEndRoom) {
        return;
    }
    m_nEndRoom = room;
    QTextFrame* root = document()->rootFrame();
    QTextFrameFormat format = root->frameFormat();
    format.setBottomMargin(document()->documentMargin() + room);
    root->setFrameFormat(format);
}

qreal CTxtRichEdit::TextHeight() const {
    return document()->size().height() - std::max(0, m_nEndRoom);
}

void CTxtRichEdit::SetPaneText(const std::u16string& text) {
    // Callers report the new page themselves; the scrolling done here is no reader's.
    m_bHoldTop = true;
    // A page is laid out once: the text goes in as one edit whose paragraphs already carry the
    // line spacing (setting the text and then the spacing laid it out twice), and its paragraphs
    // keep their shaped glyphs for the paint that follows instead of shaping them again.
    QTextDocument* doc = document();
    QTextCursor cursor(doc);
    cursor.beginEditBlock();
    cursor.select(QTextCursor::Document);
    cursor.removeSelectedText();
    cursor.setBlockFormat(LineFormat()); // the paragraphs the text makes take this format
    cursor.insertText(QString::fromStdU16String(text));
    for (QTextBlock block = doc->begin(); block.isValid(); block = block.next()) {
        block.layout()->setCacheEnabled(true);
    }
    cursor.endEditBlock();
    setTextCursor(QTextCursor(doc));
    verticalScrollBar()->setValue(0);
    m_bHoldTop = false;
    m_nTopChar = 0;
}

int CTxtRichEdit::FirstVisibleCharacter() const {
    return std::max(0, LineIndex(GetFirstVisibleLine()));
}

void CTxtRichEdit::OnScrolled() {
    if (m_bHoldTop) {
        return;
    }
    m_nTopChar = FirstVisibleCharacter();
    emit scrolled(m_nTopChar);
    ScheduleKeepTextAround();
}

void CTxtRichEdit::ScheduleKeepTextAround() {
    // Not from inside the scroll bar's own signal: the text changes once the scroll is done.
    if (!m_bKeepPending && m_supplier.more) {
        m_bKeepPending = true;
        QTimer::singleShot(0, this, [this] {
            m_bKeepPending = false;
            KeepTextAround();
        });
    }
}

void CTxtRichEdit::EditKeepingScreen(const std::function<int()>& edit) {
    // The first line on screen keeps its place to the pixel: the document moves under it.
    QScrollBar* bar = verticalScrollBar();
    const bool held = std::exchange(m_bHoldTop, true);
    const qreal offset = bar->value() - LineTop(LineFromChar(m_nTopChar));
    const int shift = edit();
    m_nTopChar = std::max(0, m_nTopChar + shift);
    EnsureLayout();
    bar->setValue(int(std::lround(LineTop(LineFromChar(m_nTopChar)) + offset)));
    m_bHoldTop = held;
}

void CTxtRichEdit::KeepTextAround(qreal screensHeld) {
    if (!m_supplier.more || m_bKeepingAround) {
        return;
    }
    m_bKeepingAround = true;
    // The reader's screen stays to the pixel: no snapping to a line start while text comes.
    const bool held = std::exchange(m_bHoldTop, true);
    EnsureLayout();
    QScrollBar* bar = verticalScrollBar();
    QTextDocument* doc = document();
    const qreal screen = std::max(1, viewport()->height());
    constexpr qreal kScreensKept = 4; // text further away than this is let go
    const auto documentEnd = [doc] { return doc->characterCount() - 1; };
    // A page may show nothing (blank lines removed): a bound on the pages one call reads.
    for (int pages = 0; pages < 64; ++pages) {
        if (TextHeight() - (bar->value() + screen) >= screensHeld * screen) {
            break;
        }
        const std::optional<std::u16string> text = m_supplier.more(true);
        if (!text) {
            break;
        }
        QTextCursor cursor(doc);
        cursor.movePosition(QTextCursor::End);
        cursor.insertText(QString::fromStdU16String(*text));
        EnsureLayout();
    }
    for (int pages = 0; pages < 64 && bar->value() < screensHeld * screen; ++pages) {
        std::optional<std::u16string> text;
        EditKeepingScreen([&] {
            text = m_supplier.more(false);
            if (!text) {
                return 0;
            }
            QTextCursor cursor(doc);
            cursor.insertText(QString::fromStdU16String(*text));
            return int(text->size());
        });
        if (!text) {
            break;
        }
    }
    // Letting go waits for the full round, after the paint.
    while (screensHeld >= kScreensHeld) {
        const int length = m_supplier.edgeLength(true);
        if (length < 0 ||
            LineBottom(LineFromChar(length)) >= bar->value() - kScreensKept * screen) {
            break;
        }
        EditKeepingScreen([&] {
            QTextCursor cursor(doc);
            cursor.setPosition(length, QTextCursor::KeepAnchor);
            cursor.removeSelectedText();
            m_supplier.dropped(true);
            return -length;
        });
    }
    while (screensHeld >= kScreensHeld) {
        const int length = m_supplier.edgeLength(false);
        const int start = documentEnd() - length;
        if (length < 0 || start < 0 ||
            LineTop(LineFromChar(start)) <= bar->value() + (kScreensKept + 1) * screen) {
            break;
        }
        QTextCursor cursor(doc);
        cursor.setPosition(start);
        cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
        m_supplier.dropped(false);
    }
    m_bHoldTop = held;
    m_bKeepingAround = false;
}

void CTxtRichEdit::ScrollToCharacter(int position) {
    m_bHoldTop = true;
    EnsureLayout();
    const int length = std::max(0, document()->characterCount() - 1);
    position = std::clamp(position, 0, length);
    const QTextBlock block = document()->findBlock(position);
    qreal top = 0;
    if (block.isValid()) {
        top = block.layout()->position().y();
        const QTextLine line = block.layout()->lineForTextPosition(position - block.position());
        if (line.isValid()) {
            top += line.y();
        }
    }
    verticalScrollBar()->setValue(int(std::floor(top)));
    m_bHoldTop = false;
    // The line's own start, so that the anchor survives a relayout that moves the wrap points.
    m_nTopChar = position;
    emit scrolled(m_nTopChar);
}

QString CTxtRichEdit::SelectedText() const {
    QString text = textCursor().selectedText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    text.replace(QChar::LineSeparator, QLatin1Char('\n'));
    return text;
}

void CTxtRichEdit::EnsureLayout() const {
    QTextDocument* doc = document();
    doc->documentLayout()->blockBoundingRect(doc->lastBlock());
}

int CTxtRichEdit::GetLineCount() const {
    EnsureLayout();
    int count = 0;
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
        count += std::max(1, block.layout()->lineCount());
    }
    return count;
}

int CTxtRichEdit::LineIndex(int line) const {
    if (line < 0) {
        return -1;
    }
    EnsureLayout();
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
        const QTextLayout* layout = block.layout();
        const int lines = layout->lineCount();
        if (line < std::max(1, lines)) {
            return block.position() + (lines > 0 ? layout->lineAt(line).textStart() : 0);
        }
        line -= std::max(1, lines);
    }
    return -1;
}

int CTxtRichEdit::LineLength(int line) const {
    if (line < 0) {
        return 0;
    }
    EnsureLayout();
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
        const QTextLayout* layout = block.layout();
        const int lines = layout->lineCount();
        if (line < std::max(1, lines)) {
            return lines > 0 ? layout->lineAt(line).textLength() : 0;
        }
        line -= std::max(1, lines);
    }
    return 0;
}

int CTxtRichEdit::LineFromChar(int position) const {
    EnsureLayout();
    const QTextBlock target = document()->findBlock(std::max(0, position));
    int line = 0;
    for (QTextBlock block = document()->begin(); block.isValid() && block != target;
         block = block.next()) {
        line += std::max(1, block.layout()->lineCount());
    }
    if (target.isValid()) {
        const QTextLine inBlock =
            target.layout()->lineForTextPosition(position - target.position());
        if (inBlock.isValid()) {
            line += inBlock.lineNumber();
        }
    }
    return line;
}

int CTxtRichEdit::GetFirstVisibleLine() const {
    EnsureLayout();
    const int top = verticalScrollBar()->value();
    int line = 0;
    int last = 0;
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
        const QTextLayout* layout = block.layout();
        const qreal blockTop = layout->position().y();
        for (int i = 0; i < layout->lineCount(); ++i, ++line) {
            const QTextLine textLine = layout->lineAt(i);
            last = line;
            // Scrolling is by pixels: the first line whose top is on screen, so that selecting
            // it does not scroll back to show a line cut at the top edge.
            if (blockTop + textLine.y() >= top) {
                return line;
            }
        }
        if (layout->lineCount() == 0) {
            ++line;
        }
    }
    return last;
}

int CTxtRichEdit::CurrentLine() const {
    return LineFromChar(textCursor().selectionStart());
}

void CTxtRichEdit::SelectLine(int line) {
    const int start = LineIndex(line);
    if (start < 0) {
        return;
    }
    const int length = LineLength(line);
    setFocus(Qt::OtherFocusReason);
    QTextCursor cursor(document());
    cursor.setPosition(start);
    cursor.setPosition(start + length, QTextCursor::KeepAnchor);
    setTextCursor(cursor);
    ensureCursorVisible();
}

qreal CTxtRichEdit::LineTop(int line) const {
    const int position = std::max(0, LineIndex(line));
    const QTextBlock block = document()->findBlock(position);
    if (!block.isValid()) {
        return document()->size().height();
    }
    qreal top = block.layout()->position().y();
    const QTextLine textLine = block.layout()->lineForTextPosition(position - block.position());
    if (textLine.isValid()) {
        top += textLine.y();
    }
    return top;
}

qreal CTxtRichEdit::LineBottom(int line) const {
    // Down to where the next line starts, so that the line distance and paragraph spacing count.
    return line + 1 < GetLineCount() ? LineTop(line + 1) : TextHeight();
}

int CTxtRichEdit::LastWholeLine() const {
    const qreal bottom = verticalScrollBar()->value() + viewport()->height();
    int line = GetFirstVisibleLine();
    const int count = GetLineCount();
    while (line + 1 < count && LineBottom(line + 1) <= bottom + 0.5) {
        ++line;
    }
    return line;
}

void CTxtRichEdit::NextScreen() {
    KeepTextAround(kScreensNeeded);
    const int first = GetFirstVisibleLine();
    const int next = std::max(LastWholeLine() + 1, first + 1);
    if (next < GetLineCount()) {
        ScrollToCharacter(LineIndex(next));
    }
    SelectLine(GetFirstVisibleLine());
    ScheduleKeepTextAround();
}

void CTxtRichEdit::PrevScreen() {
    KeepTextAround(kScreensNeeded);
    QScrollBar* bar = verticalScrollBar();
    const int first = GetFirstVisibleLine();
    if (first > 0) {
        // The line before the first whole one ends the new screen; the top goes down to the next
        // line start, so that no line shows cut in half there.
        const qreal wanted = LineBottom(first - 1) - viewport()->height();
        int top = first - 1;
        while (top > 0 && LineTop(top - 1) >= wanted - 0.5) {
            --top;
        }
        ScrollToCharacter(LineIndex(top));
    } else {
        bar->setValue(0);
    }
    SelectLine(GetFirstVisibleLine());
    ScheduleKeepTextAround();
}

void CTxtRichEdit::AutoScrollStep() {
    QScrollBar* bar = verticalScrollBar();
    // The end of the book stops where its last line is at the bottom of the window.
    if (bar->value() + viewport()->height() < TextHeight()) {
        bar->setValue(bar->value() + 1);
    }
    // Text comes in well before the window reaches it; only a step that nears the end of what is
    // held waits for it here.
    if (TextHeight() - bar->value() < (1 + kScreensNeeded) * viewport()->height()) {
        KeepTextAround(kScreensNeeded);
    }
}

void CTxtRichEdit::PrevLine() {
    const int current = CurrentLine();
    if (current - 1 >= 0) {
        SelectLine(current - 1);
    }
}

void CTxtRichEdit::NextLine() {
    const int count = GetLineCount();
    const int current = CurrentLine();
    if (current + 1 < count) {
        SelectLine(current + 1);
    }
}

void CTxtRichEdit::SelectLineAt(const QPoint& point) {
    // The display line under the pointer: the one whose band holds the point's height.
    EnsureLayout();
    const qreal y = point.y() + verticalScrollBar()->value();
    int line = 0;
    int hit = -1;
    for (QTextBlock block = document()->begin(); block.isValid() && hit < 0; block = block.next()) {
        const QTextLayout* layout = block.layout();
        const qreal blockTop = layout->position().y();
        const int lines = std::max(1, layout->lineCount());
        for (int i = 0; i < lines; ++i, ++line) {
            qreal bottom = blockTop + layout->boundingRect().height();
            if (i < layout->lineCount()) {
                const QTextLine textLine = layout->lineAt(i);
                bottom =
                    blockTop + textLine.y() + std::max<qreal>(textLine.height(), m_nLineDistance);
            }
            if (y < bottom) {
                hit = line;
                break;
            }
        }
    }
    SelectLine(hit >= 0 ? hit : std::max(0, line - 1));
}

bool CTxtRichEdit::event(QEvent* event) {
    // The frame's accelerators win over the pane's own shortcuts (Ctrl+C is the frame's copy).
    if (event->type() == QEvent::ShortcutOverride) {
        if (static_cast<QKeyEvent*>(event)->key() != Qt::Key_Control) {
            m_bCtrlAlone = false; // Ctrl+↓ and the like are not the pause
        }
        event->ignore();
        return true;
    }
    return QTextEdit::event(event);
}

void CTxtRichEdit::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Control) {
        if (!event->isAutoRepeat()) {
            m_bCtrlAlone = true;
        }
        event->accept();
        return;
    }
    m_bCtrlAlone = false;
    const int id = PaneCommandOf(*event);
    if (id == 0) {
        QTextEdit::keyPressEvent(event);
        return;
    }
    event->accept();
    switch (id) {
    case ID_NEXT_SCREEN:
        NextScreen();
        break;
    case ID_PREV_SCREEN:
        PrevScreen();
        break;
    case ID_NEXT_LINE:
        NextLine();
        break;
    case ID_PREV_LINE:
        PrevLine();
        break;
    default:
        emit command(id);
        break;
    }
}

void CTxtRichEdit::keyReleaseEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Control && !event->isAutoRepeat() && m_bCtrlAlone) {
        m_bCtrlAlone = false;
        emit pauseToggled();
    }
    QTextEdit::keyReleaseEvent(event);
}

void CTxtRichEdit::resizeEvent(QResizeEvent* event) {
    // A new width rewraps the text: keep the line the reader was at on top.
    m_bHoldTop = true;
    QTextEdit::resizeEvent(event);
    ApplyEndRoom();
    if (m_nLineChars > 0) {
        ApplyPageMargins(); // the centred column follows the pane's width
    }
    m_bHoldTop = false;
    ScrollToCharacter(m_nTopChar);
    ScheduleKeepTextAround();
}

void CTxtRichEdit::showEvent(QShowEvent* event) {
    // The first showing scrolls to the text cursor; the reader's line stays on top instead.
    m_bHoldTop = true;
    QTextEdit::showEvent(event);
    m_bHoldTop = false;
    ScrollToCharacter(m_nTopChar);
}

void CTxtRichEdit::wheelEvent(QWheelEvent* event) {
    m_bCtrlAlone = false; // Ctrl with the wheel is not the pause
    QTextEdit::wheelEvent(event);
}

void CTxtRichEdit::mousePressEvent(QMouseEvent* event) {
    m_bCtrlAlone = false;
    if (event->button() == Qt::LeftButton) {
        emit pauseToggled();
    }
    QTextEdit::mousePressEvent(event);
}

void CTxtRichEdit::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QTextEdit::mouseDoubleClickEvent(event);
        return;
    }
    SelectLineAt(event->position().toPoint());
    event->accept();
}

void CTxtRichEdit::contextMenuEvent(QContextMenuEvent* event) {
    emit contextMenuAt(event->globalPos());
    event->accept();
}

void CTxtRichEdit::focusInEvent(QFocusEvent* event) {
    QTextEdit::focusInEvent(event);
    setCursorWidth(0);
}
