// The 书架 window over a real shelf: it sorts by any column, narrows as the reader types or picks
// a group, opens and removes the current book (never its file), puts it in a group of the
// reader's, marks a book whose file is gone and takes the file picked in its place, and shows the
// reading time of each book and of all.
#include "dialogs/shelf_dlg.h"
#include "shelf/book_shelf.h"

#include "tests/dialogs/dialog_test_support.h"
#include "tests/text/test_books.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTreeView>

#include <algorithm>
#include <filesystem>

namespace {

class ShelfDlgTest : public DialogTest {};

QString PathOf(const CShelfDlg& dlg) {
    return dlg.PathAt(dlg.List()->currentIndex().row());
}

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

QPushButton* Button(QDialog& dlg, const char16_t* text) {
    for (QPushButton* button : dlg.findChildren<QPushButton*>()) {
        if (button->text() == QString::fromUtf16(text)) {
            return button;
        }
    }
    return nullptr;
}

TEST_F(ShelfDlgTest, GroupsReadingTimeAndAMissingFileLocatedAgain) {
    test_books::TempDir books;
    CBookShelf shelf(m_dir.path().toStdString());
    ASSERT_TRUE(shelf.Open());
    const std::string reading = books.Write("reading.txt", "《在读》");
    const std::string done = books.Write("done.txt", "《读完》");
    const std::string fresh = books.Write("fresh.txt", "《未读》");
    const std::string gone = books.File("old/gone.txt");
    const std::string found = books.Write("found.txt", "《不见了》");
    for (const std::string& path : {reading, done, fresh, gone}) {
        const QString title = QString::fromStdString(path).section('/', -1).section('.', 0, 0);
        shelf.Add(path, {title, QString(), "UTF-8", 10}, 1000);
    }
    shelf.RecordReading(reading, {40.0, QString(), -1, false, 3700}, 5000);
    shelf.RecordReading(done, {100.0, QString(), -1, true, 1200}, 6000);

    CShelfDlg dlg(shelf);
    const QAbstractItemModel* model = dlg.List()->model();
    const auto titles = [&] {
        QStringList texts;
        for (int row = 0; row < model->rowCount(); ++row) {
            texts << model->index(row, CShelfDlg::kTitle).data(CShelfDlg::kSortRole).toString();
        }
        texts.sort();
        return texts;
    };
    const auto pick = [&](const QString& title) {
        for (int row = 0; row < model->rowCount(); ++row) {
            if (model->index(row, CShelfDlg::kTitle).data(CShelfDlg::kSortRole) == title) {
                dlg.List()->setCurrentIndex(model->index(row, CShelfDlg::kTitle));
                return true;
            }
        }
        return false;
    };
    auto* groups = dlg.findChild<QComboBox*>();
    ASSERT_EQ(groups->count(), 4); // 全部 and the record's three: no group of the reader's yet
    dlg.SetGroupFilter(QStringLiteral(u"在读"));
    EXPECT_EQ(titles(), QStringList{"reading"});
    EXPECT_EQ(groups->currentText(), QStringLiteral(u"在读"));
    groups->setCurrentIndex(2);
    EXPECT_EQ(titles(), QStringList{"done"});
    dlg.SetGroupFilter(QStringLiteral(u"未读"));
    EXPECT_EQ(titles(), (QStringList{"fresh", "gone"}));
    dlg.SetGroupFilter(QString());
    EXPECT_EQ(model->rowCount(), 4);

    // Reading time: each book's, and all of it under the list.
    ASSERT_TRUE(pick("reading"));
    const QModelIndex current = dlg.List()->currentIndex();
    EXPECT_EQ(current.siblingAtColumn(CShelfDlg::kReadingTime).data().toString(),
              QStringLiteral(u"1小时01分"));
    EXPECT_EQ(current.siblingAtColumn(CShelfDlg::kGroup).data().toString(),
              QStringLiteral(u"在读"));
    EXPECT_TRUE(dlg.findChild<QLabel*>()->text().contains(QStringLiteral(u"阅读时间共1小时21分")))
        << dlg.findChild<QLabel*>()->text().toStdString();

    // Into a group of the reader's own, typed in the question; it joins the group list.
    QPushButton* group = Button(dlg, u"分组(&G)…");
    ASSERT_NE(group, nullptr);
    {
        ScopedModalHook answer([](QDialog& window) {
            auto* edit = window.findChild<QLineEdit*>();
            ASSERT_NE(edit, nullptr);
            edit->selectAll();
            for (const QChar c : QStringLiteral(u"武侠")) { // keyClicks takes ASCII only
                QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString(c),
                                    Qt::NoModifier);
            }
            auto* buttons = window.findChild<QDialogButtonBox*>();
            ASSERT_NE(buttons, nullptr);
            QTest::mouseClick(buttons->button(QDialogButtonBox::Ok), Qt::LeftButton);
        });
        QTest::mouseClick(group, Qt::LeftButton);
    }
    for (const ShelfBook& book : shelf.Books()) {
        EXPECT_EQ(book.group, book.path == reading ? QStringLiteral(u"武侠") : QString());
    }
    EXPECT_EQ(dlg.List()->currentIndex().siblingAtColumn(CShelfDlg::kGroup).data().toString(),
              QStringLiteral(u"在读 · 武侠"));
    ASSERT_EQ(groups->findText(QStringLiteral(u"武侠")), groups->count() - 1);
    dlg.SetGroupFilter(QStringLiteral(u"武侠"));
    EXPECT_EQ(titles(), QStringList{"reading"});
    dlg.SetGroupFilter(QString());

    // A file gone: marked, and only its row can be located again.
    QPushButton* locate = Button(dlg, u"重新定位(&L)…");
    ASSERT_NE(locate, nullptr);
    EXPECT_FALSE(locate->isEnabled());
    ASSERT_TRUE(pick("gone"));
    EXPECT_EQ(dlg.List()->currentIndex().data().toString(), QStringLiteral(u"gone（文件不存在）"));
    ASSERT_TRUE(locate->isEnabled());
    // A file that is another book of the shelf's is refused, with a word why.
    const auto locateAs = [&](const std::string& file) {
        QString said;
        ScopedModalHook answer([&](QDialog& window) {
            if (auto* box = qobject_cast<QMessageBox*>(&window)) {
                said = box->text();
                box->accept();
                return;
            }
            auto* name = window.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            ASSERT_NE(name, nullptr);
            name->setText(QString::fromStdString(file));
            QTest::keyClick(name, Qt::Key_Return);
        });
        QTest::mouseClick(locate, Qt::LeftButton);
        return said;
    };
    EXPECT_TRUE(locateAs(fresh).contains(QStringLiteral(u"已在书架上")));
    EXPECT_EQ(PathOf(dlg), QString::fromStdString(gone));
    EXPECT_TRUE(locateAs(found).isEmpty());
    EXPECT_EQ(PathOf(dlg), QString::fromStdString(found));
    EXPECT_EQ(dlg.List()->currentIndex().data().toString(), QStringLiteral("gone"));
    EXPECT_FALSE(locate->isEnabled());
    std::vector<std::string> paths;
    for (const ShelfBook& book : shelf.Books()) {
        EXPECT_FALSE(book.missing) << book.path;
        paths.push_back(book.path);
    }
    EXPECT_EQ(std::count(paths.begin(), paths.end(), found), 1);
    EXPECT_EQ(std::count(paths.begin(), paths.end(), gone), 0);
}

} // namespace
