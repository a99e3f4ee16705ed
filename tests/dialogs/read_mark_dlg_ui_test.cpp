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
    // The rows as shown ("name|page|total"); also checks that the rows array and the list agree.
    QStringList Rows() const {
        QStringList rows;
        EXPECT_EQ(m_dlg.m_localRows.size(), m_dlg.m_localMarks.size());
        auto mark = m_dlg.m_localMarks.begin();
        for (int r = 0; r < m_dlg.m_ctlLocalList->rowCount(); ++r, ++mark) {
            EXPECT_EQ(m_dlg.m_localRows.at(r), mark);
            rows << QStringList{m_dlg.m_ctlLocalList->item(r, 0)->text(),
                                m_dlg.m_ctlLocalList->item(r, 1)->text(),
                                m_dlg.m_ctlLocalList->item(r, 2)->text()}
                        .join('|');
        }
        return rows;
    }
    void RightClick(QPoint at) {
        QWidget* viewport = m_dlg.m_ctlLocalList->viewport();
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, viewport->mapToGlobal(at));
        QApplication::sendEvent(viewport, &event);
    }
    CReadMarkDlg m_dlg{{Mark(u"三体.txt", 12, 340), Mark(u"b.txt", 0, 3), Mark(u"c.txt", 4, 9)},
                       {Mark(u"net.txt", 1, 2, 2)},
                       nullptr};
};

// Pages are listed from 1; the popup deletes the row under the pointer, and below the last row
// there is neither a menu nor a row to delete. Clearing asks once and empties only the local
// list, after which there is nothing to clear nor a popup; Enter is still the dialog's OK, not
// the focused button.
TEST_F(ReadMarkDlgTest, ThePopupDeletesOnlyAValidRowAndClearingEmptiesOnlyTheLocalList) {
    EXPECT_EQ(Run(m_dlg,
                  [&](CTemplateDialog& window) {
                      EXPECT_EQ(Rows(), QStringList({"三体.txt|13|340", "b.txt|1|3", "c.txt|5|9"}));
                      EXPECT_FALSE(window.GetDlgItem(IDC_NET_LIST)->isVisible());
                      ExpectTextsFit(window);
                      QTableWidget* list = m_dlg.m_ctlLocalList;
                      RightClick(list->visualRect(list->model()->index(1, 0)).center());
                      ASSERT_TRUE(m_dlg.m_pPopupMenu && m_dlg.m_pPopupMenu->isVisible());
                      const auto items = m_dlg.m_pPopupMenu->actions();
                      ASSERT_EQ(items.size(), 2);
                      items[1]->trigger(); // "删除"
                      m_dlg.m_pPopupMenu->close();
                      EXPECT_EQ(Rows(), QStringList({"三体.txt|13|340", "c.txt|5|9"}));
                      RightClick(QPoint(10, list->viewport()->height() - 5));
                      EXPECT_EQ(m_dlg.m_nSelItem, -1);
                      EXPECT_FALSE(m_dlg.m_pPopupMenu->isVisible());
                      m_dlg.OnMarkDelete();
                      EXPECT_EQ(list->rowCount(), 2);

                      QWidget* clear = window.GetDlgItem(IDC_CLEAR_LOCAL);
                      int asked = 0;
                      ScopedModalHook yes([&](QDialog& box) {
                          ++asked;
                          static_cast<QMessageBox&>(box).button(QMessageBox::Yes)->click();
                      });
                      QTest::mouseClick(clear, Qt::LeftButton);
                      EXPECT_EQ(Rows(), QStringList());
                      QTest::mouseClick(clear, Qt::LeftButton);
                      EXPECT_EQ(asked, 1);
                      RightClick(QPoint(20, 20)); // where the first row was
                      EXPECT_EQ(m_dlg.m_nSelItem, -1);
                      EXPECT_FALSE(m_dlg.m_pPopupMenu->isVisible());
                      clear->setFocus();
                      QTest::keyClick(clear, Qt::Key_Return);
                  }),
              IDOK);
    EXPECT_TRUE(m_dlg.m_localMarks.empty());
    EXPECT_EQ(m_dlg.m_netMarks.size(), 1u);
}

} // namespace
