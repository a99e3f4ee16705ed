// The encoding menu: the second toolbar's button and the text pane's context menu choose how the
// open book is read, the page reloads where it was, and the choice stays with the book.

#include "tests/app/ui_test_support.h"
#include "text/resource_data.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QScrollBar>
#include <QToolButton>

namespace {

using EncodingMenuTest = ReaderTest;

// Clicks the menu's item once the menu shows (it may run its own event loop meanwhile).
void Click(QMenu* menu, const QString& text) {
    QTimer::singleShot(0, menu, [menu, text] {
        ASSERT_TRUE(menu->isVisible());
        for (QAction* action : menu->actions()) {
            if (action->text() == text) {
                QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
            }
        }
    });
}

// Big5 picked on the button reloads the same page read as Big5 at the same place on screen;
// reopened, the book is read as Big5 again while the history keeps it; the pane's context menu
// shows the choice and goes back to detection, which nothing needs to remember.
TEST_F(EncodingMenuTest, PickingBig5ReloadsInPlaceAndStaysWithTheBookUntilAutomatic) {
    const QString path = MakeBook(QStringLiteral(u"简体.txt"), 5 * 4092);
    Open(path);
    EXPECT_EQ(m_frame->CodePagePane()->text(), QStringLiteral("GB18030"));
    Keys({Qt::Key_Right, Qt::Key_Right, Qt::Key_Space});
    const int scrolled = m_pane->verticalScrollBar()->value();
    ASSERT_GT(scrolled, 0);
    auto* button = m_frame->findChild<QToolButton*>(QStringLiteral("encodingButton"));
    Click(button->menu(), QStringLiteral("BIG5"));
    QTest::mouseClick(button, Qt::LeftButton);
    CResourceData big5;
    ASSERT_EQ(big5.OpenTxt(path.toStdU16String(), "BIG5"), 0);
    big5.GotoPage(2);
    EXPECT_EQ(Page(), 2);
    EXPECT_EQ(m_pane->toPlainText(),
              QString::fromStdU16String(big5.m_strText).replace(QStringLiteral("\r\n"), "\n"));
    EXPECT_EQ(m_pane->verticalScrollBar()->value(), scrolled);
    EXPECT_EQ(StatusText(1), QStringLiteral(u"|正在阅读:  第3页"));
    EXPECT_EQ(m_frame->CodePagePane()->text(), QStringLiteral("BIG5"));
    Open(path);
    EXPECT_EQ(m_frame->CodePagePane()->text(), QStringLiteral("BIG5"));
    EXPECT_TRUE(HoldsLegacy(ReadFile(DataPath("read_history.dat")), u"简体.txt"));

    QMenu* menu = m_view->EncodingMenu();
    QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(20, 20),
                            m_pane->viewport()->mapToGlobal(QPoint(20, 20)));
    QApplication::sendEvent(m_pane->viewport(), &click);
    ASSERT_TRUE(menu->isVisible());
    for (QAction* action : menu->actions()) {
        EXPECT_EQ(action->isChecked(), action->text() == QStringLiteral("BIG5"));
    }
    Click(menu, QStringLiteral(u"自动检测"));
    QTRY_VERIFY(!menu->isVisible());
    EXPECT_EQ(m_frame->CodePagePane()->text(), QStringLiteral("GB18030"));
    EXPECT_EQ(ReadFile(DataPath("book_encoding.cfg")), std::string());
    Open(path);
    EXPECT_EQ(m_view->Session().Book().m_strEncodingChoice, "");
    EXPECT_EQ(m_frame->CodePagePane()->text(), QStringLiteral("GB18030"));
}

} // namespace
