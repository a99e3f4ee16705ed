// "目录" over the list it is given: the chapter on screen selected in the middle of the view and
// handed back when picked, a million headings included, and rows that follow a list still being
// scanned.
#include "dialogs/chapter_list_dlg.h"
#include "tests/dialogs/dialog_test_support.h"

#include <QListView>
#include <QTest>

namespace {

using ChapterListDlgTest = DialogTest;

TEST_F(ChapterListDlgTest, AMillionHeadingsShowAroundTheCurrentOneAndEnterPicks) {
    CChapterList chapters;
    for (int i = 0; i < 1000000; ++i) {
        chapters.Add(std::uint64_t(i) * 100, i / 40, "第" + std::to_string(i + 1) + "章");
    }
    CChapterListDlg dialog(chapters, 600000);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    QListView* list = dialog.List();
    EXPECT_EQ(list->model()->rowCount(), 1000000);
    const QModelIndex current = list->currentIndex();
    EXPECT_EQ(current.row(), 600000);
    EXPECT_EQ(current.data(), QStringLiteral(u"第600001章"));
    EXPECT_EQ(current.siblingAtColumn(1).data(), QStringLiteral("15001"));
    const QRect row = list->visualRect(current);
    EXPECT_NEAR(row.center().y(), list->viewport()->height() / 2, row.height());
    QTest::keyClick(list, Qt::Key_Down);
    QTest::keyClick(list, Qt::Key_Return);
    EXPECT_EQ(dialog.Selected(), 600001); // set only when accepted
}

TEST_F(ChapterListDlgTest, RowsFollowTheListWhileItIsScannedAndADoubleClickPicks) {
    CChapterList chapters;
    CChapterListDlg dialog(chapters, -1);
    dialog.SetProgress(10);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    QListView* list = dialog.List();
    auto* progress = dialog.findChild<QLabel*>(QStringLiteral("chapterProgress"));
    EXPECT_TRUE(progress->isVisible());
    // The first headings show at once, the first of them selected; later ones within a moment.
    chapters.Add(0, 0, "第一章");
    dialog.ChaptersAdded();
    EXPECT_EQ(list->model()->rowCount(), 1);
    EXPECT_EQ(list->currentIndex().row(), 0);
    chapters.Add(5000, 1, "第二章");
    chapters.Add(9000, 2, "第三章");
    dialog.ChaptersAdded();
    QTRY_COMPARE(list->model()->rowCount(), 3);
    // Complete: every row at once.
    chapters.Add(13000, 3, "第四章");
    dialog.ChaptersAdded();
    dialog.SetProgress(100);
    EXPECT_EQ(list->model()->rowCount(), 4);
    EXPECT_FALSE(progress->isVisible());
    const QPoint at = list->visualRect(list->model()->index(3, 0)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    EXPECT_EQ(dialog.Selected(), 3);
    EXPECT_FALSE(dialog.findChild<QLabel*>(QStringLiteral("chapterMadeNote"))->isVisible());
}

// Chapters the reader made for a book without headings say so under the list.
TEST_F(ChapterListDlgTest, ChaptersTheReaderMadeAreMarked) {
    CChapterList chapters;
    CChapterListDlg dialog(chapters, -1);
    dialog.SetProgress(50);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    auto* note = dialog.findChild<QLabel*>(QStringLiteral("chapterMadeNote"));
    EXPECT_FALSE(note->isVisible());
    chapters.Add(0, 0, "清晨的小城还没有完全醒来…");
    chapters.SetMadeByReader(true);
    dialog.ChaptersAdded();
    dialog.SetProgress(100);
    EXPECT_TRUE(note->isVisible());
    EXPECT_EQ(dialog.List()->model()->rowCount(), 1);
}

} // namespace
