// The bookmark command of the main frame with the real view: reopening books, and what is
// written back to "read_history.dat" however the dialog closes.

#include "app/dialog_template.h"
#include "app/modal_hook.h"
#include "history/read_mark_dlg.h"
#include "history/reader_history.h"
#include "tests/app/ui_test_support.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>

namespace {

ReadMarkInfo Mark(const QString& path, int page, int total, int type = MARK_LOCAL) {
    ReadMarkInfo mark;
    mark.strFilePath = EncodeLegacy(path.toStdU16String());
    mark.strBookName = EncodeLegacy(path.mid(path.lastIndexOf('/') + 1).toStdU16String());
    mark.nReadPage = page;
    mark.nTotalPages = total;
    mark.nMarkType = type;
    return mark;
}

class BookmarkCommandTest : public ReaderTest {
protected:
    // Puts the records in the store and its file, as earlier reading would have.
    void Store(std::list<ReadMarkInfo> local, std::list<ReadMarkInfo> net = {}) {
        m_view->m_history.m_listLocal = std::move(local);
        m_view->m_history.m_listNet = std::move(net);
        m_view->m_history.Save();
    }
    // Runs the bookmark command; `act` works on the open dialog's local list.
    void RunBookmarks(const std::function<void(CTemplateDialog&, QTableWidget*)>& act) {
        ScopedModalHook hook([&](QDialog& window) {
            auto& dialog = static_cast<CTemplateDialog&>(window);
            act(dialog, dialog.GetDlgItemAs<QTableWidget>(IDC_LOCAL_LIST));
            m_closed = !window.isVisible();
        });
        m_frame->OnOpenReadMark();
    }
    static QPoint RowCentre(QTableWidget* list, int row) {
        return list->visualRect(list->model()->index(row, 0)).center();
    }
    static void DoubleClickRow(QTableWidget* list, int row) {
        const QPoint at = RowCentre(list, row);
        for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease,
                                  QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease}) {
            const bool down = type != QEvent::MouseButtonRelease;
            QMouseEvent event(type, QPointF(at), list->viewport()->mapToGlobal(QPointF(at)),
                              Qt::LeftButton, down ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
            QApplication::sendEvent(list->viewport(), &event);
        }
    }
    // Right-clicks a row and picks an item of the popup menu.
    static void PopupCommand(QTableWidget* list, int row, int item) {
        const QPoint at = RowCentre(list, row);
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, list->viewport()->mapToGlobal(at));
        QApplication::sendEvent(list->viewport(), &event);
        QMenu* popup = nullptr;
        for (QMenu* menu : list->window()->findChildren<QMenu*>()) {
            if (menu->isVisible()) {
                popup = menu;
            }
        }
        ASSERT_NE(popup, nullptr);
        popup->actions().at(item)->trigger();
        popup->close();
    }
    static CReaderHistory FromFile() {
        CReaderHistory history;
        history.Load();
        return history;
    }

    bool m_closed = false;
};

TEST_F(BookmarkCommandTest, DeletingThenEscStillRemovesTheBookmarkFromTheFile) {
    Store({Mark("/books/a.txt", 0, 3), Mark("/books/b.txt", 12, 340)});
    RunBookmarks([](CTemplateDialog& dialog, QTableWidget* list) {
        EXPECT_EQ(list->item(1, 1)->text(), "13");
        EXPECT_EQ(list->item(1, 2)->text(), "340");
        PopupCommand(list, 0, 1);
        QTest::keyClick(&dialog, Qt::Key_Escape);
    });
    EXPECT_TRUE(m_closed);
    const CReaderHistory history = FromFile();
    ASSERT_EQ(history.m_listLocal.size(), 1u);
    EXPECT_EQ(history.m_listLocal.front().strBookName, "b.txt");
    EXPECT_EQ(m_view->m_history.m_listLocal.size(), 1u);
}

TEST_F(BookmarkCommandTest, ClearingKeepsTheNetworkBookmarksInStoreAndFile) {
    Store({Mark("/books/a.txt", 0, 3)}, {Mark("/net/n.txt", 4, 8, 2)});
    RunBookmarks([](CTemplateDialog& dialog, QTableWidget*) {
        dialog.GetDlgItemAs<QPushButton>(IDC_CLEAR_LOCAL)->click();
        dialog.close(); // the close box
    });
    EXPECT_TRUE(m_view->m_history.m_listLocal.empty());
    ASSERT_EQ(m_view->m_history.m_listNet.size(), 1u);
    const CReaderHistory history = FromFile();
    EXPECT_TRUE(history.m_listLocal.empty());
    ASSERT_EQ(history.m_listNet.size(), 1u);
    EXPECT_EQ(history.m_listNet.front().strBookName, "n.txt");
    EXPECT_EQ(history.m_listNet.front().nMarkType, 2);
}

TEST_F(BookmarkCommandTest, ReopeningGoesToTheRecordedPageOrTheLastOne) {
    const QString three = MakeBook(QStringLiteral(u"三页.txt"), 3 * 4092);
    const QString five = MakeBook(QStringLiteral("five.txt"), 5 * 4092, 1);
    Store({Mark(three, 10, 9), Mark(five, 3, 5)});
    RunBookmarks([](CTemplateDialog&, QTableWidget* list) { PopupCommand(list, 1, 0); });
    EXPECT_TRUE(m_closed);
    EXPECT_EQ(m_view->m_resourceData.m_strName, u"five.txt");
    EXPECT_EQ(m_view->m_resourceData.m_nCurPage, 3);

    // The book has shrunk since: its last page is shown.
    RunBookmarks([](CTemplateDialog&, QTableWidget* list) {
        ASSERT_EQ(list->item(0, 0)->text(), QStringLiteral(u"三页.txt"));
        EXPECT_EQ(list->item(0, 1)->text(), "11");
        DoubleClickRow(list, 0);
    });
    EXPECT_TRUE(m_closed);
    EXPECT_EQ(m_view->m_resourceData.m_strName, u"三页.txt");
    EXPECT_EQ(m_view->m_resourceData.m_nCurPage, 2);
    EXPECT_EQ(StatusText(1), QStringLiteral(u"|正在阅读:  第3页"));
    // The write-back keeps what the view recorded for the reopened book, not the stale page.
    const CReaderHistory history = FromFile();
    ASSERT_EQ(history.m_listLocal.size(), 2u);
    EXPECT_EQ(history.m_listLocal.front().strBookName, EncodeLegacy(u"三页.txt"));
    EXPECT_EQ(history.m_listLocal.front().nReadPage, 2);
    EXPECT_EQ(history.m_listLocal.front().nTotalPages, 3);
}

TEST_F(BookmarkCommandTest, AMovedBookLeavesTheViewAsItWasAndClosesTheDialog) {
    Open(MakeBook(QStringLiteral("open.txt"), 3 * 4092));
    Key(Qt::Key_Right);
    const QString text = m_pane->toPlainText();
    Store({Mark("/gone/moved.txt", 1, 4)});
    RunBookmarks([](CTemplateDialog&, QTableWidget* list) { DoubleClickRow(list, 0); });
    EXPECT_TRUE(m_closed);
    EXPECT_EQ(m_view->m_resourceData.m_strName, u"open.txt");
    EXPECT_EQ(m_view->m_resourceData.m_nCurPage, 1);
    EXPECT_EQ(m_pane->toPlainText(), text);
    // The bookmark stays.
    const CReaderHistory history = FromFile();
    ASSERT_EQ(history.m_listLocal.size(), 1u);
    EXPECT_EQ(history.m_listLocal.front().strBookName, "moved.txt");
}

} // namespace
