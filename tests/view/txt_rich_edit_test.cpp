// The text pane driven by real key and mouse events: page, screen and line steps, the reading
// line, double-click, and the fonts and spacing it applies.

#include "history/read_place_store.h"
#include "tests/app/ui_test_support.h"

#include <QAbstractTextDocumentLayout>
#include <QClipboard>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextLayout>
#include <QWheelEvent>

namespace {

class TextPaneTest : public ReaderTest {
protected:
    void OpenNovel() {
        m_book = MakeBook(QStringLiteral(u"长夜.txt"), 5 * 4092 + 100);
        Open(m_book);
    }

    // The selection covers exactly display line `line`.
    void ExpectLineSelected(int line) const {
        const QTextCursor cursor = m_pane->textCursor();
        EXPECT_EQ(cursor.selectionStart(), m_pane->LineIndex(line));
        EXPECT_EQ(cursor.selectionEnd() - cursor.selectionStart(), m_pane->LineLength(line));
    }
    QString m_book;
};

// Each key, the page (from 1) and the reading line after it, counted from the first on screen: a
// page turn selects the first line (Shift is not looked at), and at the first page the text and
// the line stay but the status is refreshed; the line keys move the line, and above the first
// line on screen bring the line before into sight; Ctrl+C copies the reading line. Every
// auto-repeat of a held key turns one more page; the last page turns no further.
TEST_F(TextPaneTest, PageKeysTurnPagesSelectTheFirstLineAndLineKeysMoveIt) {
    OpenNovel();
    const struct {
        int key;
        Qt::KeyboardModifiers chord;
        int page;
        int line;
    } steps[] = {{Qt::Key_Right, {}, 2, 0}, {Qt::Key_Left, {}, 1, 0},
                 {Qt::Key_Down, {}, 1, 1},  {Qt::Key_Down, {}, 1, 2},
                 {Qt::Key_Left, {}, 1, 2},  {Qt::Key_Right, Qt::ShiftModifier, 2, 0},
                 {Qt::Key_Down, {}, 2, 1},  {Qt::Key_Down, {}, 2, 2},
                 {Qt::Key_Up, {}, 2, 1},    {Qt::Key_Up, {}, 2, 0},
                 {Qt::Key_Up, {}, 1, 0}};
    for (const auto& step : steps) {
        const bool turn = step.key == Qt::Key_Left || step.key == Qt::Key_Right;
        m_frame->StatusPane(1)->setText(QStringLiteral("stale"));
        Key(step.key, step.chord);
        EXPECT_EQ(Page() + 1, step.page) << step.key;
        ExpectLineSelected(m_pane->GetFirstVisibleLine() + step.line);
        EXPECT_TRUE(m_pane->hasFocus());
        if (turn) {
            // The page's text starts on the first line on screen.
            EXPECT_EQ(m_view->Session().TopCharacter(), 0);
            EXPECT_EQ(m_pane->LineFromChar(m_view->PaneBook().PanePositionOf(Page(), 0)),
                      m_pane->GetFirstVisibleLine());
            EXPECT_EQ(StatusText(1), QStringLiteral(u"|正在阅读:  第%1页").arg(step.page));
        }
    }
    Key(Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), m_pane->textCursor().selectedText());
    for (int i = 0; i < 2; ++i) {
        QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier, QString(), true);
        QApplication::sendEvent(m_pane, &repeat);
    }
    EXPECT_EQ(Page(), 2);
    m_view->GotoPage(1000); // clamps to the last page
    const int last = m_view->Session().Book().GetPageCount() - 1;
    EXPECT_EQ(Page(), last);
    const QString lastText = m_pane->toPlainText();
    Key(Qt::Key_Right);
    EXPECT_EQ(Page(), last);
    EXPECT_EQ(m_pane->toPlainText(), lastText);
    const int count = m_pane->GetLineCount();
    m_pane->SelectLine(count - 1);
    Key(Qt::Key_Down);
    EXPECT_EQ(m_pane->CurrentLine(), count - 1);
}

// Page Down and Space bring the line after the last whole line to the top, and go on over page
// edges; Page Up shows the screen before, its last whole line the one before the old first. The
// first whole line is marked. The wheel scrolls through page edges too. At the end of the book
// Space stays; the toolbar's previous screen is Page Up.
TEST_F(TextPaneTest, ScreenKeysAndTheWheelGoOnAcrossPageEdges) {
    OpenNovel();
    const auto placeOfLine = [&](int line) {
        return m_view->PaneBook().PagePlaceOf(m_pane->LineIndex(line));
    };
    const auto lastWhole = [&] {
        const int bottom = m_pane->viewport()->height();
        int line = m_pane->GetFirstVisibleLine();
        while (line + 1 < m_pane->GetLineCount()) {
            QTextCursor cursor(m_pane->document());
            cursor.setPosition(m_pane->LineIndex(line + 1));
            if (m_pane->cursorRect(cursor).bottom() > bottom) {
                break;
            }
            ++line;
        }
        return line;
    };
    int pagesSeen = 0;
    for (int i = 0; i < 30 && lastWhole() + 1 < m_pane->GetLineCount(); ++i) {
        const auto next = placeOfLine(lastWhole() + 1);
        const int page = Page();
        Key(i % 2 == 0 ? Qt::Key_Space : Qt::Key_PageDown);
        EXPECT_EQ(placeOfLine(m_pane->GetFirstVisibleLine()), next) << i;
        ExpectLineSelected(m_pane->GetFirstVisibleLine());
        pagesSeen += Page() - page;
    }
    EXPECT_GE(pagesSeen, 2);
    EXPECT_NE(ReadFile(DataPath("read_history.dat")).find("\n" + std::to_string(Page()) + "\n"),
              std::string::npos);
    for (int i = 0; i < 10; ++i) {
        const auto first = placeOfLine(m_pane->GetFirstVisibleLine());
        Key(Qt::Key_PageUp);
        // The old first line is at most the line after the new last whole one.
        const int last = lastWhole();
        EXPECT_LT(placeOfLine(last), first) << i;
        EXPECT_GE(placeOfLine(last + 1), first) << i;
        ExpectLineSelected(m_pane->GetFirstVisibleLine());
    }
    const auto wheel = [&](int delta) {
        const QPointF at(50, 50);
        QWheelEvent event(at, m_pane->viewport()->mapToGlobal(at), QPoint(), QPoint(0, delta),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(m_pane->viewport(), &event);
        QCoreApplication::processEvents();
    };
    m_view->GotoPage(0);
    for (int i = 0; i < 200 && Page() < 2; ++i) {
        wheel(-120);
    }
    EXPECT_EQ(Page(), 2);
    for (int i = 0; i < 200 && Page() > 0; ++i) {
        wheel(120);
    }
    EXPECT_EQ(Page(), 0);
    m_view->GotoPage(1000);
    for (int i = 0; i < 50; ++i) {
        Key(Qt::Key_Space);
    }
    const int last = Page();
    const auto bottom = placeOfLine(m_pane->GetFirstVisibleLine());
    Key(Qt::Key_Space);
    EXPECT_EQ(Page(), last);
    EXPECT_EQ(placeOfLine(m_pane->GetFirstVisibleLine()), bottom);
    const auto before = placeOfLine(m_pane->GetFirstVisibleLine());
    m_view->OnCommand(ID_PREV_SCREEN);
    EXPECT_LT(placeOfLine(m_pane->GetFirstVisibleLine()), before);
}

TEST_F(TextPaneTest, DoubleClickSelectsJustTheDisplayLineUnderThePointer) {
    OpenNovel();
    // The chapter's first paragraph (block 1) wraps over several display lines.
    const QTextBlock paragraph = m_pane->document()->findBlockByNumber(1);
    const QTextLayout* layout = paragraph.layout();
    ASSERT_GE(layout->lineCount(), 3);
    const QTextLine second = layout->lineAt(1);
    const QPoint point(int(second.x() + second.naturalTextWidth() / 2),
                       int(layout->position().y() + second.y() + second.height() / 2) -
                           m_pane->verticalScrollBar()->value());
    QTest::mouseDClick(m_pane->viewport(), Qt::LeftButton, Qt::NoModifier, point);
    const QTextCursor cursor = m_pane->textCursor();
    EXPECT_EQ(cursor.selectionStart(), paragraph.position() + second.textStart());
    EXPECT_EQ(cursor.selectionEnd() - cursor.selectionStart(), second.textLength());
}

// The height is the cell height (within a pixel of rounding) and the CJK text is drawn by a CJK
// face; lines are (height + spacing - 1) points apart, a spacing smaller than the font keeping
// single spacing. The document's paragraphs all carry the
// spacing, pages that come in as the reader moves too.
TEST_F(TextPaneTest, FontCellHeightAndLineDistanceFollowTheSettingsInOneEdit) {
    const ReaderSettings& settings = m_view->Settings();
    EXPECT_NEAR(QFontMetrics(m_pane->font()).height(), settings.font_height, 1);
    EXPECT_TRUE(QFontMetrics(m_pane->font()).inFont(QChar(u'书')));
    const int expected =
        qRound((settings.font_height + settings.font_row_dis - 1) * m_pane->logicalDpiY() / 72.0);
    EXPECT_EQ(m_pane->LineDistancePixels(), expected);
    OpenNovel();
    const QTextLayout* layout = m_pane->document()->findBlockByNumber(1).layout();
    ASSERT_GE(layout->lineCount(), 2);
    EXPECT_NEAR(layout->lineAt(1).y() - layout->lineAt(0).y(), expected, 1.0);
    m_pane->SetRowDis(-100);
    EXPECT_GE(layout->lineAt(1).y() - layout->lineAt(0).y(),
              QFontMetrics(m_pane->font()).height() - 1);
    m_pane->SetRowDis(6);
    Key(Qt::Key_Right);
    for (QTextBlock block = m_pane->document()->begin(); block.isValid(); block = block.next()) {
        EXPECT_EQ(block.blockFormat().lineHeight(), m_pane->LineDistancePixels());
    }
    ExpectLineSelected(m_pane->GetFirstVisibleLine());
}

// Turns faster than the event loop share one write, made once the loop has painted; a turn just
// before another book opens, or the bookmarks open, or the reader ends, is not lost.
TEST_F(TextPaneTest, TurnsAreRecordedAfterThePaintAndNothingThatFollowsLosesThem) {
    OpenNovel();
    const auto recorded = [](const char16_t* name) {
        CReaderHistory history;
        history.Load();
        for (const ReadMarkInfo& mark : history.m_listLocal) {
            if (mark.strBookName == EncodeLegacy(name)) {
                return mark.nReadPage;
            }
        }
        return -1;
    };
    QTest::keyClick(m_pane, Qt::Key_Right);
    QTest::keyClick(m_pane, Qt::Key_Right);
    EXPECT_EQ(recorded(u"长夜.txt"), 0);
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(recorded(u"长夜.txt"), 2);
    QTest::keyClick(m_pane, Qt::Key_Right);
    Open(MakeBook(QStringLiteral(u"短篇.txt"), 2 * 4092));
    EXPECT_EQ(recorded(u"长夜.txt"), 3);
    QTest::keyClick(m_pane, Qt::Key_Right);
    {
        ScopedModalHook hook([](QDialog& dialog) { dialog.reject(); });
        m_frame->OnOpenReadMark(); // writes its copy of the history back
    }
    EXPECT_EQ(recorded(u"短篇.txt"), 1);
    Open(m_book);
    EXPECT_EQ(Page(), 3);
    QTest::keyClick(m_pane, Qt::Key_Right);
    TestApp().DestroyMainFrame();
    EXPECT_EQ(recorded(u"长夜.txt"), 4);
    CReadPlaceStore places;
    places.Load();
    const ReadPlace* place = places.Find(EncodeLegacy(m_book.toStdU16String()));
    ASSERT_NE(place, nullptr);
    EXPECT_EQ(place->nPage, 4);
}

} // namespace
