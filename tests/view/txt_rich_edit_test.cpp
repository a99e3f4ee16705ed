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

// Each key, the page (from 1) and the reading line after it: a page turn selects the first line
// (Shift is not looked at), and at the first page the text and the line stay but the status is
// refreshed; the line keys move the line, stop at both ends and never turn the
// page; Ctrl+C copies the reading line. Every auto-repeat of a held key turns one more page; the
// last page turns no further.
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
                 {Qt::Key_Up, {}, 2, 0},    {Qt::Key_Down, {}, 2, 1},
                 {Qt::Key_Down, {}, 2, 2},  {Qt::Key_Up, {}, 2, 1}};
    for (const auto& step : steps) {
        const bool turn = step.key == Qt::Key_Left || step.key == Qt::Key_Right;
        m_frame->StatusPane(1)->setText(QStringLiteral("stale"));
        Key(step.key, step.chord);
        EXPECT_EQ(Page() + 1, step.page) << step.key;
        ExpectLineSelected(step.line);
        EXPECT_EQ(m_pane->toPlainText(), PageText());
        EXPECT_TRUE(m_pane->hasFocus());
        if (turn) {
            EXPECT_EQ(m_pane->verticalScrollBar()->value(), 0);
            EXPECT_EQ(StatusText(1), QStringLiteral(u"|正在阅读:  第%1页").arg(step.page));
        }
    }
    Key(Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), m_pane->textCursor().selectedText());
    for (int i = 0; i < 2; ++i) {
        QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier, QString(), true);
        QApplication::sendEvent(m_pane, &repeat);
    }
    EXPECT_EQ(Page(), 3);
    const int count = m_pane->GetLineCount();
    m_pane->SelectLine(count - 1);
    Key(Qt::Key_Down);
    EXPECT_EQ(m_pane->CurrentLine(), count - 1);
    EXPECT_EQ(Page(), 3);
    m_view->GotoPage(1000); // clamps to the last page
    const int last = m_view->Session().Book().GetPageCount() - 1;
    EXPECT_EQ(Page(), last);
    const QString lastText = m_pane->toPlainText();
    Key(Qt::Key_Right);
    EXPECT_EQ(Page(), last);
    EXPECT_EQ(m_pane->toPlainText(), lastText);
}

// Space and Page Down past the last screen show the next page's first screen, recorded; Page Up
// before the first, the previous page's last. The wheel: a notch past the end turns, a
// touchpad's half notches add up to one. The last screen of the book stays put; the toolbar's
// previous screen is Page Up.
TEST_F(TextPaneTest, ScreenKeysAndTheWheelGoOnAcrossPageEdges) {
    OpenNovel();
    QScrollBar* bar = m_pane->verticalScrollBar();
    ASSERT_GT(bar->maximum(), bar->pageStep()) << "the page must span several screens";
    const auto wheel = [&](int delta) {
        const QPointF at(50, 50);
        QWheelEvent event(at, m_pane->viewport()->mapToGlobal(at), QPoint(), QPoint(0, delta),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(m_pane->viewport(), &event);
    };
    const auto toBottom = [&] {
        for (int i = 0; i < 50 && bar->value() < bar->maximum(); ++i) {
            Key(Qt::Key_Space);
        }
    };
    Key(Qt::Key_Space);
    EXPECT_GT(bar->value(), 0);
    ExpectLineSelected(m_pane->GetFirstVisibleLine());
    toBottom();
    ASSERT_EQ(bar->value(), bar->maximum());
    EXPECT_EQ(Page(), 0);
    Key(Qt::Key_PageDown);
    EXPECT_EQ(Page(), 1);
    EXPECT_EQ(bar->value(), 0);
    ExpectLineSelected(0);
    EXPECT_NE(ReadFile(DataPath("read_history.dat")).find("\n1\n"), std::string::npos);
    Key(Qt::Key_PageUp);
    EXPECT_EQ(Page(), 0);
    EXPECT_EQ(m_pane->toPlainText(), PageText());
    EXPECT_EQ(bar->value(), bar->maximum());
    ExpectLineSelected(m_pane->GetFirstVisibleLine());
    Key(Qt::Key_PageUp);
    EXPECT_LT(bar->value(), bar->maximum());
    EXPECT_EQ(Page(), 0);
    bar->setValue(bar->maximum());
    for (const auto& [delta, page, value] :
         {std::tuple{-60, 0, -1}, {-60, 1, 0}, {120, 0, bar->maximum()}}) {
        wheel(delta);
        EXPECT_EQ(Page(), page) << delta;
        if (value >= 0) {
            EXPECT_EQ(bar->value(), value) << delta;
        }
    }
    m_view->GotoPage(1000);
    toBottom();
    const int last = Page();
    const int bottomLine = m_pane->CurrentLine();
    Key(Qt::Key_Space);
    wheel(-120);
    EXPECT_EQ(Page(), last);
    EXPECT_EQ(m_pane->CurrentLine(), bottomLine);
    m_view->OnCommand(ID_PREV_SCREEN);
    EXPECT_EQ(Page(), last - 1);
    EXPECT_EQ(bar->value(), bar->maximum());
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
// single spacing. A page turn is one edit of the document whose paragraphs all carry the
// spacing (setting the text and then the spacing laid the page out twice).
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
    int edits = 0;
    QObject::connect(m_pane->document(), &QTextDocument::contentsChange,
                     [&edits](int, int, int) { ++edits; });
    Key(Qt::Key_Right);
    EXPECT_EQ(edits, 1);
    for (QTextBlock block = m_pane->document()->begin(); block.isValid(); block = block.next()) {
        EXPECT_EQ(block.blockFormat().lineHeight(), m_pane->LineDistancePixels());
    }
    ExpectLineSelected(0);
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
