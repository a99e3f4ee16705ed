// "目录" over the list it is given: the chapter on screen selected in the middle of the view and
// handed back when picked, a million headings included, and rows that follow a list still being
// scanned.
#include "dialogs/chapter_list_dlg.h"
#include "platform/code_page.h"
#include "reader/chapter_index.h"
#include "settings/book_choice_store.h"
#include "tests/dialogs/dialog_test_support.h"
#include "tests/text/test_books.h"
#include "widgets/modal_hook.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

namespace {

using ChapterListDlgTest = DialogTest;

void Complete(CChapterIndex& index) {
    QSignalSpy progress(&index, &CChapterIndex::progress);
    while (!index.IsComplete()) {
        ASSERT_TRUE(progress.wait(20000));
    }
}

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
    // Chapters the reader made for a book without headings say so under the list.
    auto* note = dialog.findChild<QLabel*>(QStringLiteral("chapterMadeNote"));
    EXPECT_FALSE(note->isVisible());
    chapters.SetMadeByReader(true);
    dialog.ChaptersAdded();
    dialog.SetProgress(100);
    EXPECT_TRUE(note->isVisible());
    const QPoint at = list->visualRect(list->model()->index(3, 0)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    EXPECT_EQ(dialog.Selected(), 3);
}

// A book of volumes: each volume's row bold, its chapters set in under it.
TEST_F(ChapterListDlgTest, VolumesStandOutWithTheirChaptersUnderThem) {
    CChapterList chapters;
    int page = 0;
    for (const char* title : {"序章 远方", "第一卷 山河", "第一章 初到小城", "第二章 老槐树",
                              "卷二 远行", "第三章 河边"}) {
        chapters.Add(std::uint64_t(page) * 100, page, title);
        ++page;
    }
    CChapterListDlg dialog(chapters, -1);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    QAbstractItemModel* model = dialog.List()->model();
    std::vector<bool> bold;
    std::vector<bool> indented;
    for (int row = 0; row < model->rowCount(); ++row) {
        const QModelIndex index = model->index(row, 0);
        bold.push_back(index.data(Qt::FontRole).value<QFont>().bold());
        indented.push_back(index.data(Qt::UserRole + 1).toBool());
    }
    EXPECT_EQ(bold, (std::vector<bool>{false, true, false, false, true, false}));
    EXPECT_EQ(indented, (std::vector<bool>{false, false, true, true, false, true}));
}

// The rule picked in 目录 makes the list at once and is kept for the book: a new index of the
// same book takes it, "自动" lets the book pick again, and a damaged file of choices is ignored.
TEST_F(ChapterListDlgTest, TheRulePickedIsKeptForTheBook) {
    const test_books::TempDir dir;
    std::string text;
    for (const char* heading : {"第一章 初到小城", "第二章 老槐树", "第三章 远行"}) {
        text += std::string(heading) + "\n" + test_books::kChineseProse + "☆、" + heading +
                "的续\n" + test_books::kChineseProse;
    }
    const std::string path = dir.Write("小城.txt", test_books::Encode(text, "GB18030"));
    dir.Write("chapter_rules.json", R"([{"name": "星号", "rule": "^☆、"}])");
    const CCodePageLayout layout(ENCODING_ANSI, "GB18030");
    CChapterIndex index;
    index.Start(DecodeUtf8(path), layout, dir.Path());
    Complete(index);
    ASSERT_EQ(index.Chapters().size(), 3u);
    EXPECT_EQ(index.Chapters()[0].text, u"第一章 初到小城");

    CChapterListDlg dialog(index.Chapters(), 0);
    dialog.SetIndex(&index);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    auto* rules = dialog.findChild<QComboBox*>(QStringLiteral("chapterRule"));
    ASSERT_TRUE(rules != nullptr && rules->isVisible());
    EXPECT_EQ(rules->currentIndex(), 0); // automatic
    ASSERT_EQ(rules->findText(QStringLiteral(u"星号")), rules->count() - 1);
    // Alt+R reaches the rules; End picks the last, the reader's own.
    QTest::keyClick(&dialog, Qt::Key_R, Qt::AltModifier);
    ASSERT_TRUE(rules->hasFocus());
    QTest::keyClick(rules, Qt::Key_End);
    EXPECT_EQ(index.ChosenRule(), "星号");
    Complete(index);
    QCoreApplication::processEvents();
    ASSERT_EQ(dialog.List()->model()->rowCount(), 3);
    EXPECT_EQ(dialog.List()->model()->index(0, 0).data(),
              QStringLiteral(u"☆、第一章 初到小城的续"));
    EXPECT_EQ(
        CBookChoiceStore(dir.Path(), CBookChoiceStore::kChapterRuleFileName).Get(DecodeUtf8(path)),
        "星号");

    CChapterIndex again;
    again.Start(DecodeUtf8(path), layout, dir.Path());
    Complete(again);
    ASSERT_EQ(again.Chapters().size(), 3u);
    EXPECT_EQ(again.Chapters()[0].text, u"☆、第一章 初到小城的续");
    EXPECT_EQ(again.ChosenRule(), "星号");

    QTest::keyClick(rules, Qt::Key_Home);
    Complete(index);
    EXPECT_EQ(index.ChosenRule(), "");
    QCoreApplication::processEvents();
    EXPECT_EQ(dialog.List()->model()->index(0, 0).data(), QStringLiteral(u"第一章 初到小城"));

    dir.Write(CBookChoiceStore::kChapterRuleFileName, std::string("\xff\0=\n=星号\n", 9));
    CChapterIndex damaged;
    damaged.Start(DecodeUtf8(path), layout, dir.Path());
    Complete(damaged);
    EXPECT_EQ(damaged.ChosenRule(), "");
    EXPECT_EQ(damaged.Chapters()[0].text, u"第一章 初到小城");
}

// 规则 opens from 目录; the rules saved there make the list anew at once.
TEST_F(ChapterListDlgTest, RulesEditedFromTheListMakeItAnew) {
    const test_books::TempDir dir;
    std::string text;
    for (const char* heading : {"☆、初到小城", "☆、老槐树", "☆、远行"}) {
        text += std::string(heading) + "\n" + test_books::Repeated(test_books::kChineseProse, 9000);
    }
    const std::string path = dir.Write("小城.txt", test_books::Encode(text, "UTF-8"));
    CChapterIndex index;
    index.Start(DecodeUtf8(path), CCodePageLayout(ENCODING_UTF8, ""), dir.Path());
    Complete(index);
    EXPECT_TRUE(index.Chapters().MadeByReader());
    CChapterListDlg dialog(index.Chapters(), 0);
    dialog.SetIndex(&index);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    bool opened = false;
    {
        const ScopedModalHook hook([&](QDialog& rules) {
            opened = rules.objectName() == QStringLiteral("rulesDlg");
            QTest::mouseClick(rules.findChild<QPushButton*>(QStringLiteral("addRule")),
                              Qt::LeftButton);
            rules.findChild<QLineEdit*>(QStringLiteral("ruleName"))
                ->setText(QStringLiteral(u"星号"));
            auto* pattern = rules.findChild<QLineEdit*>(QStringLiteral("rulePattern"));
            pattern->setFocus();
            QTest::keyClick(pattern, Qt::Key_AsciiCircum);
            for (const QChar c : QStringLiteral(u"☆、")) {
                QTest::sendKeyEvent(QTest::Click, pattern, Qt::Key_unknown, QString(c), {});
            }
            rules.accept();
        });
        QTest::keyClick(&dialog, Qt::Key_E, Qt::AltModifier);
        QTest::qWait(150);
    }
    EXPECT_TRUE(opened);
    Complete(index);
    QCoreApplication::processEvents();
    ASSERT_EQ(dialog.List()->model()->rowCount(), 3);
    EXPECT_EQ(dialog.List()->model()->index(2, 0).data(), QStringLiteral(u"☆、远行"));
    auto* rules = dialog.findChild<QComboBox*>(QStringLiteral("chapterRule"));
    EXPECT_EQ(rules->findText(QStringLiteral(u"星号")), rules->count() - 1);
}

} // namespace
