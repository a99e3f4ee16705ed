// The bookmark and go-to-page commands with the real view and dialogs: reopening books, and what
// reaches "read_history.dat" however a dialog closes.

#include "tests/app/ui_test_support.h"
#include "tests/dialogs/dialog_test_support.h"

#include "dialogs/shelf_dlg.h"

#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QTreeView>

namespace {

ReadMarkInfo Mark(const QString& path, int page, int total, int type = MARK_LOCAL) {
    const QString name = path.mid(path.lastIndexOf('/') + 1);
    return ReadMarkInfo{EncodeLegacy(name.toStdU16String()), EncodeLegacy(path.toStdU16String()),
                        page, type, total};
}

class BookmarkCommandTest : public ReaderTest {
protected:
    // Puts records in the store and its file, then runs the command with `act` on the dialog.
    void Bookmarks(std::list<ReadMarkInfo> local, std::list<ReadMarkInfo> net,
                   const std::function<void(CTemplateDialog&, QTableWidget*)>& act) {
        m_view->Session().History().m_listLocal = std::move(local);
        m_view->Session().History().m_listNet = std::move(net);
        m_view->Session().History().Save();
        ScopedModalHook hook([&](QDialog& window) {
            auto& dialog = static_cast<CTemplateDialog&>(window);
            act(dialog, dialog.GetDlgItemAs<QTableWidget>(IDC_LOCAL_LIST));
            EXPECT_FALSE(window.isVisible());
        });
        m_frame->OnOpenReadMark();
    }
    // Right-clicks row 0 and picks item `item` of the popup menu.
    static void Popup(QTableWidget* list, int item) {
        const QPoint at = list->visualRect(list->model()->index(0, 0)).center();
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, list->viewport()->mapToGlobal(at));
        QApplication::sendEvent(list->viewport(), &event);
        for (QMenu* menu : list->window()->findChildren<QMenu*>()) {
            if (menu->isVisible()) {
                menu->actions().at(item)->trigger();
                menu->close();
            }
        }
    }
    // A double-click is a press and a release, then the double-click itself.
    static void DoubleClick(QTableWidget* list) {
        const QPoint at = list->visualRect(list->model()->index(0, 0)).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    }
    // Presses the message box's button with this text; returns the question asked.
    static QString Answer(QDialog& dialog, const char16_t* button) {
        auto& box = static_cast<QMessageBox&>(dialog);
        for (QAbstractButton* candidate : box.buttons()) {
            if (candidate->text() == QString::fromUtf16(button)) {
                candidate->click();
            }
        }
        return box.text();
    }
};

// Pages are listed from 1. A deletion reaches the file when Esc closes the dialog; "清空书签"
// asks first ("否" keeps the list, "是" clears it) and leaves the net records alone; Enter is
// the dialog's OK even on that button.
TEST_F(BookmarkCommandTest, DeletionsAndClearingReachTheFileHoweverTheDialogCloses) {
    Bookmarks({Mark("/books/a.txt", 0, 3), Mark("/books/b.txt", 12, 340)}, {},
              [](CTemplateDialog& dialog, QTableWidget* list) {
                  ExpectTextsFit(dialog);
                  EXPECT_EQ(list->item(1, 1)->text(), "13");
                  Popup(list, 1); // "删除" a.txt
                  QTest::keyClick(&dialog, Qt::Key_Escape);
              });
    ASSERT_EQ(SavedHistory().m_listLocal.size(), 1u);
    EXPECT_EQ(SavedHistory().m_listLocal.front().strBookName, "b.txt");
    QStringList asked;
    Bookmarks({Mark("/books/a.txt", 0, 3)}, {Mark("/net/n.txt", 4, 8, 2)},
              [&](CTemplateDialog& dialog, QTableWidget* list) {
                  for (const char16_t* answer : {u"否", u"是"}) {
                      EXPECT_EQ(list->rowCount(), 1);
                      ScopedModalHook reply([&](QDialog& box) { asked << Answer(box, answer); });
                      dialog.GetDlgItemAs<QPushButton>(IDC_CLEAR_LOCAL)->click();
                  }
                  EXPECT_EQ(list->rowCount(), 0);
                  QWidget* clear = dialog.GetDlgItem(IDC_CLEAR_LOCAL);
                  clear->setFocus();
                  QTest::keyClick(clear, Qt::Key_Return);
                  EXPECT_EQ(dialog.result(), IDOK);
              });
    ASSERT_EQ(asked.size(), 2);
    EXPECT_TRUE(asked[0].contains(QStringLiteral("清空")));
    const CReaderHistory history = SavedHistory();
    EXPECT_TRUE(history.m_listLocal.empty());
    ASSERT_EQ(history.m_listNet.size(), 1u);
    EXPECT_EQ(history.m_listNet.front().nMarkType, 2);
    EXPECT_EQ(m_view->Session().History().m_listNet.size(), 1u);
}

// A double-click or "打开" reopens a book at the screen left, or at the page recorded; a book that
// has shrunk since its record was made opens at its last page, which the file then keeps.
TEST_F(BookmarkCommandTest, ReopensAtTheScreenLeftTheRecordedPageOrTheLastOne) {
    const QString five = MakeBook(QStringLiteral(u"书签屏.txt"), 5 * 4092);
    Open(five);
    Keys({Qt::Key_Right, Qt::Key_Space, Qt::Key_Space});
    const int top = m_view->Session().TopCharacter();
    ASSERT_GT(top, 0);
    Open(MakeBook(QStringLiteral("other.txt"), 4092, 1));
    Bookmarks({m_view->Session().History().m_listLocal.back()}, {},
              [](CTemplateDialog&, QTableWidget* list) { DoubleClick(list); });
    ASSERT_EQ(BookName(), u"书签屏.txt");
    EXPECT_EQ(Page(), 1);
    EXPECT_EQ(m_view->Session().TopCharacter(), top);
    Bookmarks({Mark(five, 3, 5)}, {}, [](CTemplateDialog&, QTableWidget* list) { Popup(list, 0); });
    EXPECT_EQ(Page(), 3);
    const QString three = MakeBook(QStringLiteral(u"三页.txt"), 3 * 4092);
    Bookmarks({Mark(three, 10, 9), Mark(five, 3, 5)}, {},
              [](CTemplateDialog&, QTableWidget* list) { DoubleClick(list); });
    EXPECT_EQ(Page(), 2);
    EXPECT_EQ(StatusText(1), QStringLiteral(u"|正在阅读:  第3页"));
    const ReadMarkInfo kept = SavedHistory().m_listLocal.front();
    EXPECT_EQ(kept.strBookName, EncodeLegacy(u"三页.txt"));
    EXPECT_EQ(kept.nReadPage, 2);
    EXPECT_EQ(kept.nTotalPages, 3);
}

// A book no longer where its record says is reported; "否" keeps the record, "是" removes it, and
// the book being read stays as it was.
TEST_F(BookmarkCommandTest, AMovedBookIsReportedAndItsBookmarkMayBeRemoved) {
    Open(MakeBook(QStringLiteral("open.txt"), 3 * 4092));
    Key(Qt::Key_Right);
    const QString text = m_pane->toPlainText();
    QStringList asked;
    Bookmarks({Mark("/gone/moved.txt", 1, 4), Mark("/gone/other.txt", 0, 2)}, {},
              [&](CTemplateDialog& dialog, QTableWidget* list) {
                  for (const auto& [answer, rows] : {std::pair{u"否", 2}, {u"是", 1}}) {
                      ScopedModalHook reply([&](QDialog& box) { asked << Answer(box, answer); });
                      DoubleClick(list);
                      EXPECT_TRUE(dialog.isVisible());
                      EXPECT_EQ(list->rowCount(), rows);
                  }
                  dialog.reject();
              });
    ASSERT_EQ(asked.size(), 2);
    EXPECT_TRUE(asked[0].contains(QStringLiteral("/gone/moved.txt")));
    EXPECT_TRUE(asked[0].contains(QStringLiteral("不在原处")));
    EXPECT_EQ(BookName(), u"open.txt");
    EXPECT_EQ(m_pane->toPlainText(), text);
    ASSERT_EQ(SavedHistory().m_listLocal.size(), 1u);
    EXPECT_EQ(SavedHistory().m_listLocal.front().strBookName, "other.txt");
}

// G opens with the page selected and shows the book's page count; only digits can be typed, and
// what is typed is clamped to the book (nothing typed is the first page); the same page is
// recorded again; cancelled or without a book nothing changes.
TEST_F(ReaderTest, GoToPageClampsToTheBookAndRecordsEvenTheSamePage) {
    QString total;
    const auto goTo = [&](const char* typed, int button = IDOK) {
        ScopedModalHook hook([&](QDialog& window) {
            auto& dialog = static_cast<CTemplateDialog&>(window);
            ExpectTextsFit(dialog);
            total = dialog.GetDlgItemAs<QLabel>(IDC_TOTAL_PAGE)->text();
            auto* edit = dialog.GetDlgItemAs<QLineEdit>(IDC_PAGE);
            EXPECT_EQ(edit->selectedText(), QString::number(Page() + 1));
            QTest::keyClick(edit, Qt::Key_Delete);
            QTest::keyClicks(edit, typed);
            dialog.SendCommand(button);
        });
        Key(Qt::Key_G);
        return Page() + 1;
    };
    const QString welcome = m_pane->toPlainText();
    goTo("7");
    EXPECT_EQ(total, "0页");
    EXPECT_EQ(m_pane->toPlainText(), welcome);
    Open(MakeBook(QStringLiteral("five.txt"), 5 * 4092));
    EXPECT_EQ(goTo("4"), 4);
    EXPECT_EQ(total, "5页");
    for (const auto& [typed, page] :
         {std::pair{"99", 5}, {"0", 1}, {"x-3b", 3}, {"", 1}, {"2", 2}}) {
        EXPECT_EQ(goTo(typed), page) << typed;
    }
    EXPECT_EQ(goTo("5", IDCANCEL), 2);
    ASSERT_TRUE(QFile::remove(DataPath("read_history.dat")));
    EXPECT_EQ(goTo("2"), 2);
    ASSERT_EQ(SavedHistory().m_listLocal.size(), 1u);
    EXPECT_EQ(SavedHistory().m_listLocal.front().nReadPage, 1);
}

// L in the pane opens 书架 with every book opened so far; Enter there opens the picked one.
TEST_F(BookmarkCommandTest, TheShelfKeyListsTheBooksReadAndEnterOpensOne) {
    const QString first = MakeBook(QStringLiteral(u"甲.txt"), 9000);
    const QString second = MakeBook(QStringLiteral(u"乙.txt"), 9000, 1);
    Open(first);
    Open(second);
    int rows = 0;
    ScopedModalHook hook([&](QDialog& window) {
        auto& shelf = static_cast<CShelfDlg&>(window);
        rows = shelf.List()->model()->rowCount();
        shelf.SetFilter(QStringLiteral(u"甲"));
        QTest::keyClick(shelf.List(), Qt::Key_Return);
    });
    QTest::keyClick(m_pane, Qt::Key_L);
    EXPECT_EQ(rows, 2);
    EXPECT_EQ(BookName(), u"甲.txt");
}

} // namespace
