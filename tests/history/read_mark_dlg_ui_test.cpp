#include "history/read_mark_dlg.h"

#include "app/modal_hook.h"
#include "res/resource.h"
#include "tests/app/dialog_test_support.h"
#include "text/text_convert.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMenu>
#include <QTableWidget>
#include <QTest>

namespace {

ReadMarkInfo Mark(const char16_t* name, int page, int total, int type = MARK_LOCAL) {
    ReadMarkInfo mark;
    mark.strBookName = WideToAnsi(name).str();
    mark.strFilePath = "/books/" + mark.strBookName;
    mark.nReadPage = page;
    mark.nTotalPages = total;
    mark.nMarkType = type;
    return mark;
}

class ReadMarkDlgTest : public DialogTest {
protected:
    int Run(CReadMarkDlg& dlg, const std::function<void(CTemplateDialog&)>& act) {
        ScopedModalHook hook([&](QDialog& window) { act(static_cast<CTemplateDialog&>(window)); });
        return dlg.DoModal();
    }
    // The rows as shown, each "name|page|total".
    static QStringList Rows(const QTableWidget* list) {
        QStringList rows;
        for (int r = 0; r < list->rowCount(); ++r) {
            rows << list->item(r, 0)->text() + "|" + list->item(r, 1)->text() + "|" +
                        list->item(r, 2)->text();
        }
        return rows;
    }
    // Rows, rows array and list must describe the same records in the same order.
    static void ExpectConsistent(const CReadMarkDlg& dlg) {
        ASSERT_EQ(dlg.m_localRows.size(), dlg.m_localMarks.size());
        ASSERT_EQ(static_cast<std::size_t>(dlg.m_ctlLocalList->rowCount()),
                  dlg.m_localMarks.size());
        auto mark = dlg.m_localMarks.begin();
        for (std::size_t r = 0; r < dlg.m_localRows.size(); ++r, ++mark) {
            EXPECT_EQ(dlg.m_localRows[r], mark);
            EXPECT_EQ(dlg.m_ctlLocalList->item(static_cast<int>(r), 0)->text().toStdU16String(),
                      AnsiToWide(mark->strBookName.c_str()).str());
        }
    }
    static void RightClick(QTableWidget* list, QPoint at) {
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, list->viewport()->mapToGlobal(at));
        QApplication::sendEvent(list->viewport(), &event);
    }
    // Press, release, double-click, release: what the window system delivers.
    static void DoubleClick(QWidget* widget, QPoint at) {
        for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease,
                                  QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease}) {
            const bool down = type != QEvent::MouseButtonRelease;
            QMouseEvent event(type, QPointF(at), widget->mapToGlobal(QPointF(at)), Qt::LeftButton,
                              down ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
            QApplication::sendEvent(widget, &event);
        }
    }
    static QPoint RowCentre(QTableWidget* list, int row) {
        return list->visualRect(list->model()->index(row, 0)).center();
    }

    const std::list<ReadMarkInfo> m_local{Mark(u"三体.txt", 12, 340), Mark(u"b.txt", 0, 3),
                                          Mark(u"c.txt", 4, 9)};
    const std::list<ReadMarkInfo> m_net{Mark(u"net.txt", 1, 2, 2)};
};

TEST_F(ReadMarkDlgTest, ListsEachBookWithItsPageCountedFromOne) {
    CReadMarkDlg dlg(m_local, m_net, nullptr, nullptr);
    EXPECT_EQ(dlg.m_nSelItem, -1);
    Run(dlg, [&](CTemplateDialog& window) {
        EXPECT_EQ(window.windowTitle(), "书签");
        auto* list = window.GetDlgItemAs<QTableWidget>(IDC_LOCAL_LIST);
        EXPECT_EQ(list, dlg.m_ctlLocalList);
        EXPECT_EQ(Rows(list), QStringList({"三体.txt|13|340", "b.txt|1|3", "c.txt|5|9"}));
        const QStringList titles{"书名", "阅读页数", "总页数"};
        const int widths[] = {130, 80, 80};
        for (int c = 0; c < 3; ++c) {
            EXPECT_EQ(list->horizontalHeaderItem(c)->text(), titles[c]);
            EXPECT_EQ(list->columnWidth(c), widths[c]);
        }
        EXPECT_TRUE(list->showGrid());
        EXPECT_EQ(list->selectionBehavior(), QAbstractItemView::SelectRows);
        // The network list exists, is filled, and is never shown.
        auto* net = window.GetDlgItemAs<QTableWidget>(IDC_NET_LIST);
        EXPECT_FALSE(net->isVisible());
        EXPECT_FALSE(window.GetDlgItem(IDC_CLEAR_NET)->isVisible());
        EXPECT_EQ(Rows(net), QStringList({"net.txt|2|2"}));
        ExpectConsistent(dlg);
        ExpectTextsFit(window);
        MaybeSaveScreenshot(window, "dialog-bookmarks.png");
    });
}

TEST_F(ReadMarkDlgTest, EmptyStoreShowsNothingAndClearingOrRightClickingDoNothing) {
    CReadMarkDlg dlg({}, {}, nullptr, nullptr);
    Run(dlg, [&](CTemplateDialog& window) {
        EXPECT_EQ(dlg.m_ctlLocalList->rowCount(), 0);
        QTest::mouseClick(window.GetDlgItem(IDC_CLEAR_LOCAL), Qt::LeftButton);
        RightClick(dlg.m_ctlLocalList, QPoint(20, 20));
        EXPECT_EQ(dlg.m_nSelItem, -1);
        EXPECT_EQ(dlg.m_pPopupMenu, nullptr);
        dlg.OnMarkDelete();
        dlg.OnMarkOpen();
        EXPECT_TRUE(window.isVisible());
    });
    EXPECT_TRUE(dlg.m_localMarks.empty());
}

TEST_F(ReadMarkDlgTest, DeletingFromThePopupRemovesRowEntryAndRecord) {
    CReadMarkDlg dlg(m_local, m_net, nullptr, nullptr);
    const int result = Run(dlg, [&](CTemplateDialog&) {
        RightClick(dlg.m_ctlLocalList, RowCentre(dlg.m_ctlLocalList, 1));
        EXPECT_EQ(dlg.m_nSelItem, 1);
        ASSERT_NE(dlg.m_pPopupMenu, nullptr);
        EXPECT_TRUE(dlg.m_pPopupMenu->isVisible());
        EXPECT_EQ(dlg.m_pPopupMenu->title(), "修改书签");
        const auto actions = dlg.m_pPopupMenu->actions();
        ASSERT_EQ(actions.size(), 2);
        EXPECT_EQ(actions[0]->text(), "打开");
        EXPECT_EQ(actions[1]->text(), "删除");
        actions[1]->trigger();
        EXPECT_EQ(Rows(dlg.m_ctlLocalList), QStringList({"三体.txt|13|340", "c.txt|5|9"}));
        ExpectConsistent(dlg);
        EXPECT_EQ(dlg.m_nSelItem, 1); // still pointing at a row: now c.txt
        dlg.m_pPopupMenu->close();
        QTest::keyClick(dlg.m_ctlLocalList, Qt::Key_Escape);
    });
    EXPECT_EQ(result, IDCANCEL);
    ASSERT_EQ(dlg.m_localMarks.size(), 2u); // Esc keeps the deletion in the copy
    EXPECT_EQ(dlg.m_localMarks.back().strBookName, "c.txt");
    EXPECT_EQ(dlg.m_netMarks.size(), 1u);
}

TEST_F(ReadMarkDlgTest, RightClickBelowTheLastRowShowsNoMenuAndDisarmsDelete) {
    CReadMarkDlg dlg(m_local, m_net, nullptr, nullptr);
    Run(dlg, [&](CTemplateDialog&) {
        RightClick(dlg.m_ctlLocalList, RowCentre(dlg.m_ctlLocalList, 0));
        dlg.m_pPopupMenu->close();
        const QPoint below(10, dlg.m_ctlLocalList->viewport()->height() - 5);
        RightClick(dlg.m_ctlLocalList, below);
        EXPECT_EQ(dlg.m_nSelItem, -1);
        EXPECT_FALSE(dlg.m_pPopupMenu->isVisible());
        dlg.OnMarkDelete(); // the earlier row must not be deleted now
        EXPECT_EQ(dlg.m_ctlLocalList->rowCount(), 3);
    });
    EXPECT_EQ(dlg.m_localMarks.size(), 3u);
}

TEST_F(ReadMarkDlgTest, ClearingEmptiesOnlyTheLocalList) {
    CReadMarkDlg dlg(m_local, m_net, nullptr, nullptr);
    Run(dlg, [&](CTemplateDialog& window) {
        QTest::mouseClick(window.GetDlgItem(IDC_CLEAR_LOCAL), Qt::LeftButton);
        EXPECT_EQ(dlg.m_ctlLocalList->rowCount(), 0);
        ExpectConsistent(dlg);
        QTest::mouseClick(window.GetDlgItem(IDC_MARK_OK), Qt::LeftButton);
    });
    EXPECT_TRUE(dlg.m_localMarks.empty());
    ASSERT_EQ(dlg.m_netMarks.size(), 1u);
    EXPECT_EQ(dlg.m_netMarks.front().strBookName, "net.txt");
}

TEST_F(ReadMarkDlgTest, DoubleClickOnARowClosesAndOnNothingKeepsOpen) {
    CReadMarkDlg dlg(m_local, m_net, nullptr, nullptr);
    const int result = Run(dlg, [&](CTemplateDialog& window) {
        QWidget* viewport = dlg.m_ctlLocalList->viewport();
        DoubleClick(viewport, QPoint(10, viewport->height() - 5));
        EXPECT_TRUE(window.isVisible());
        EXPECT_EQ(dlg.m_nSelItem, -1);
        DoubleClick(viewport, RowCentre(dlg.m_ctlLocalList, 2));
        EXPECT_EQ(dlg.m_nSelItem, 2);
        EXPECT_FALSE(window.isVisible());
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(dlg.m_localMarks.size(), 3u);
}

TEST_F(ReadMarkDlgTest, EnterClosesWithOkEvenFromTheClearButton) {
    CReadMarkDlg dlg(m_local, m_net, nullptr, nullptr);
    const int result = Run(dlg, [&](CTemplateDialog& window) {
        window.GetDlgItem(IDC_CLEAR_LOCAL)->setFocus();
        QTest::keyClick(window.GetDlgItem(IDC_CLEAR_LOCAL), Qt::Key_Return);
        EXPECT_FALSE(window.isVisible());
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(dlg.m_localMarks.size(), 3u);
}

} // namespace
