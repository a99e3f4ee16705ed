// The 书架 window over a real shelf: it sorts by any column, narrows as the reader types, opens
// and removes the current book (never its file) and marks a book whose file is gone.
#include "dialogs/shelf_dlg.h"
#include "shelf/book_shelf.h"

#include "tests/dialogs/dialog_test_support.h"
#include "tests/text/test_books.h"

#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QTreeView>

#include <filesystem>

namespace {

class ShelfDlgTest : public DialogTest {};

TEST_F(ShelfDlgTest, SortsFiltersOpensRemovesAndMarksAMissingFile) {
    test_books::TempDir books;
    CBookShelf shelf(m_dir.path().toStdString());
    ASSERT_TRUE(shelf.Open());
    const std::string qingping = books.Write("qingping.txt", "《青萍剑录》");
    const std::string snow = books.Write("snow.txt", "书名：雪中行");
    const std::string river = books.Write("river.txt", "《长河》");
    const std::string gone = books.File("gone.txt");
    const auto add = [&](const std::string& path, const char16_t* title, const char16_t* author,
                         std::uint64_t size, std::int64_t added) {
        shelf.Add(path, {QString::fromUtf16(title), QString::fromUtf16(author), "UTF-8", size},
                  added);
    };
    add(qingping, u"青萍剑录", u"林语", 100, 1000);
    add(snow, u"雪中行", u"周南", 300, 2000);
    add(river, u"长河", u"", 200, 3000);
    add(gone, u"不见了", u"无名", 50, 4000);
    shelf.RecordReading(qingping, {42.3, QString(), -1, false}, 5000);
    shelf.RecordReading(snow, {10.0, QString(), -1, false}, 6000);

    CShelfDlg dlg(shelf);
    const QAbstractItemModel* model = dlg.List()->model();
    const auto column = [&](int c) {
        QStringList texts;
        for (int row = 0; row < model->rowCount(); ++row) {
            texts << model->index(row, c).data().toString();
        }
        return texts;
    };
    // The book read last first.
    ASSERT_EQ(model->rowCount(), 4);
    EXPECT_EQ(column(CShelfDlg::kTitle).mid(0, 2),
              (QStringList{QStringLiteral(u"雪中行"), QStringLiteral(u"青萍剑录")}));
    dlg.List()->sortByColumn(CShelfDlg::kProgress, Qt::AscendingOrder);
    EXPECT_EQ(column(CShelfDlg::kProgress).mid(2), (QStringList{"10.0%", "42.3%"}));
    dlg.List()->sortByColumn(CShelfDlg::kSize, Qt::DescendingOrder);
    EXPECT_EQ(column(CShelfDlg::kTitle),
              (QStringList{QStringLiteral(u"雪中行"), QStringLiteral(u"长河"),
                           QStringLiteral(u"青萍剑录"), QStringLiteral(u"不见了（文件不存在）")}));
    for (const ShelfBook& book : shelf.Books()) {
        EXPECT_EQ(book.missing, book.path == gone) << book.path; // and the shelf knows it
    }

    // Typing narrows by title, author or path, in any case.
    auto* filter = dlg.findChild<QLineEdit*>();
    QTest::keyClicks(filter, "SNOW");
    EXPECT_EQ(column(CShelfDlg::kTitle), QStringList{QStringLiteral(u"雪中行")});
    dlg.SetFilter(QStringLiteral(u"林语"));
    EXPECT_EQ(column(CShelfDlg::kTitle), QStringList{QStringLiteral(u"青萍剑录")});
    EXPECT_EQ(filter->text(), QStringLiteral(u"林语"));
    dlg.SetFilter(QString());
    EXPECT_EQ(model->rowCount(), 4);

    QSignalSpy opened(&dlg, &CShelfDlg::openBook);
    dlg.List()->setCurrentIndex(model->index(0, 0));
    dlg.OpenCurrent();
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened[0][0].toString(), QString::fromStdString(snow));

    dlg.RemoveCurrent();
    EXPECT_EQ(model->rowCount(), 3);
    EXPECT_EQ(shelf.Books().size(), 3u);
    EXPECT_TRUE(std::filesystem::exists(snow));
    CShelfDlg again(shelf);
    EXPECT_EQ(again.List()->model()->rowCount(), 3);
}

} // namespace
