#include "dialogs/read_mark_dlg.h"

#include "res/resource.h"
#include "tests/dialogs/dialog_test_support.h"
#include "text/text_convert.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

namespace {

ReadMarkInfo Mark(const char16_t* name, int page, int total, int type = MARK_LOCAL) {
    const std::string ansi = WideToAnsi(name).str();
    return ReadMarkInfo{ansi, "/books/" + ansi, page, type, total};
}

class ReadMarkDlgTest : public DialogTest {
protected:
    // The rows as shown ("name|page|total"); also checks rows array and list agree with them.
    static QStringList Rows(const CReadMarkDlg& dlg) {
        QStringList rows;
        EXPECT_EQ(dlg.m_localRows.size(), dlg.m_localMarks.size());
        auto mark = dlg.m_localMarks.begin();
        for (int r = 0; r < dlg.m_ctlLocalList->rowCount(); ++r, ++mark) {
            EXPECT_EQ(dlg.m_localRows.at(r), mark);
            rows << dlg.m_ctlLocalList->item(r, 0)->text() + "|" +
                        dlg.m_ctlLocalList->item(r, 1)->text() + "|" +
                        dlg.m_ctlLocalList->item(r, 2)->text();
        }
        return rows;
    }
    static void RightClick(QTableWidget* list, QPoint at) {
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, list->viewport()->mapToGlobal(at));
        QApplication::sendEvent(list->viewport(), &event);
    }
    static QPoint Row(QTableWidget* list, int row) {
        return list->visualRect(list->model()->index(row, 0)).center();
    }
    static QPoint BelowTheRows(QTableWidget* list) {
        return QPoint(10, list->viewport()->height() - 5);
    }

    const std::list<ReadMarkInfo> m_local{Mark(u"三体.txt", 12, 340), Mark(u"b.txt", 0, 3),
                                          Mark(u"c.txt", 4, 9)};
    const std::list<ReadMarkInfo> m_net{Mark(u"net.txt", 1, 2, 2)};
};

TEST_F(ReadMarkDlgTest, ListsPagesFromOneAndThePopupDeletesOnlyAValidRowEscKeepingIt) {
    CReadMarkDlg dlg(m_local, m_net, nullptr);
    EXPECT_EQ(
        Run(dlg,
            [&](CTemplateDialog& window) {
                EXPECT_EQ(Rows(dlg), QStringList({"三体.txt|13|340", "b.txt|1|3", "c.txt|5|9"}));
                EXPECT_FALSE(window.GetDlgItem(IDC_NET_LIST)->isVisible());
                ExpectTextsFit(window, "dialog-bookmarks.png");
                RightClick(dlg.m_ctlLocalList, Row(dlg.m_ctlLocalList, 1));
                ASSERT_TRUE(dlg.m_pPopupMenu && dlg.m_pPopupMenu->isVisible());
                EXPECT_EQ(dlg.m_pPopupMenu->title(), "修改书签");
                const auto items = dlg.m_pPopupMenu->actions();
                ASSERT_EQ(items.size(), 2);
                EXPECT_EQ(items[0]->text(), "打开");
                items[1]->trigger(); // "删除"
                dlg.m_pPopupMenu->close();
                EXPECT_EQ(Rows(dlg), QStringList({"三体.txt|13|340", "c.txt|5|9"}));

                // Below the last row: no menu, and "删除" no longer has a row.
                RightClick(dlg.m_ctlLocalList, BelowTheRows(dlg.m_ctlLocalList));
                EXPECT_EQ(dlg.m_nSelItem, -1);
                EXPECT_FALSE(dlg.m_pPopupMenu->isVisible());
                dlg.OnMarkDelete();
                EXPECT_EQ(dlg.m_ctlLocalList->rowCount(), 2);
                QTest::keyClick(&window, Qt::Key_Escape);
            }),
        IDCANCEL);
    EXPECT_EQ(dlg.m_localMarks.size(), 2u);
    EXPECT_EQ(dlg.m_netMarks.size(), 1u);
}

TEST_F(ReadMarkDlgTest, ClearingEmptiesOnlyTheLocalListAndEnterIsOk) {
    CReadMarkDlg dlg(m_local, m_net, nullptr);
    EXPECT_EQ(Run(dlg,
                  [&](CTemplateDialog& window) {
                      QWidget* clear = window.GetDlgItem(IDC_CLEAR_LOCAL);
                      int asked = 0;
                      ScopedModalHook yes([&](QDialog& box) {
                          ++asked;
                          static_cast<QMessageBox&>(box).button(QMessageBox::Yes)->click();
                      });
                      QTest::mouseClick(clear, Qt::LeftButton);
                      EXPECT_EQ(Rows(dlg), QStringList());
                      QTest::mouseClick(clear, Qt::LeftButton); // empty: nothing happens
                      EXPECT_EQ(asked, 1);
                      RightClick(dlg.m_ctlLocalList, QPoint(20, 20));
                      EXPECT_EQ(dlg.m_pPopupMenu, nullptr);
                      clear->setFocus(); // Enter is still the dialog's OK, not this button
                      QTest::keyClick(clear, Qt::Key_Return);
                  }),
              IDOK);
    EXPECT_TRUE(dlg.m_localMarks.empty());
    ASSERT_EQ(dlg.m_netMarks.size(), 1u);
}

} // namespace
