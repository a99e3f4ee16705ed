// The chapter list ("目录"), chapter steps and the find bar, driven by keys on real books.

#include "widgets/modal_hook.h"
#include "tests/app/ui_test_support.h"
#include "tests/text/test_books.h"
#include "text/chapter_cache.h"
#include "view/find_bar.h"

#include <QDialog>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QStatusBar>
#include <QTreeWidget>

namespace {

using ChapterFindTest = ReaderTest;

// The text of the display line at the top of the pane.
QString TopLine(CTxtRichEdit* pane) {
    const int line = pane->GetFirstVisibleLine();
    return pane->toPlainText().mid(pane->LineIndex(line), pane->LineLength(line));
}

TEST_F(ChapterFindTest, ChapterListPicksAChapterAndCtrlArrowsStep) {
    const QString path = MakeBook(QStringLiteral(u"目录.txt"), 40000);
    Open(path);
    QTRY_VERIFY(m_view->ChaptersComplete());
    const auto& chapters = m_view->Chapters();
    ASSERT_GT(chapters.size(), 25u);
    EXPECT_EQ(m_frame->ChapterPane()->text(), QStringLiteral(u"第1章　初见"));

    int rows = 0;
    {
        ScopedModalHook hook([&](QDialog& dialog) {
            auto* list = dialog.findChild<QTreeWidget*>(QStringLiteral("chapterList"));
            rows = list->topLevelItemCount();
            EXPECT_EQ(list->indexOfTopLevelItem(list->currentItem()), 0); // the chapter on screen
            EXPECT_EQ(list->topLevelItem(20)->text(1),
                      QString::number(chapters[20].page + 1)); // pages counted from 1
            list->setCurrentItem(list->topLevelItem(20));
            QTest::keyClick(list, Qt::Key_Return);
        });
        Key(Qt::Key_M);
    }
    EXPECT_EQ(rows, int(chapters.size()));
    EXPECT_EQ(m_view->Session().Book().m_nCurPage, chapters[20].page);
    EXPECT_EQ(TopLine(m_pane), QStringLiteral(u"第21章　初见"));
    EXPECT_EQ(m_frame->ChapterPane()->text(), QStringLiteral(u"第21章　初见"));

    QTest::keyClick(m_pane, Qt::Key_Down, Qt::ControlModifier);
    EXPECT_EQ(TopLine(m_pane), QStringLiteral(u"第22章　初见"));
    QTest::keyClick(m_pane, Qt::Key_Up, Qt::ControlModifier);
    QTest::keyClick(m_pane, Qt::Key_Up, Qt::ControlModifier);
    EXPECT_EQ(m_view->CurrentChapter(), 19);
    EXPECT_EQ(m_frame->ChapterPane()->text(), QStringLiteral(u"第20章　初见"));

    // Ctrl+M and a double-click reach the same list; the chapter on screen comes selected.
    {
        ScopedModalHook hook([&](QDialog& dialog) {
            auto* list = dialog.findChild<QTreeWidget*>(QStringLiteral("chapterList"));
            EXPECT_EQ(list->indexOfTopLevelItem(list->currentItem()), 19);
            EXPECT_TRUE(QTest::qWaitForWindowExposed(&dialog));
            QTreeWidgetItem* last = list->topLevelItem(list->topLevelItemCount() - 1);
            list->scrollToItem(last);
            QApplication::processEvents();
            const QRect rect = list->visualItemRect(last);
            // A double-click is a press, a release, then the double-click itself.
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
            QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, rect.center());
        });
        QTest::keyClick(m_pane, Qt::Key_M, Qt::ControlModifier);
    }
    EXPECT_EQ(m_view->Session().Book().m_nCurPage, chapters.back().page);
    EXPECT_EQ(m_view->CurrentChapter(), int(chapters.size()) - 1);
}

TEST_F(ChapterFindTest, ReadingTheBookInAnotherEncodingListsItsChaptersAnew) {
    std::string utf8;
    std::vector<QString> titles;
    for (int i = 1; i <= 8; ++i) {
        titles.push_back(QStringLiteral(u"第%1章 風雲際會").arg(i));
        utf8 += titles.back().toStdString() + "\n" +
                test_books::Repeated(test_books::kTraditionalProse, 3000);
    }
    QDir(m_dataDir.path()).mkpath(QStringLiteral("books"));
    const QString path = m_dataDir.filePath(QStringLiteral(u"books/繁體.txt"));
    WriteFile(path, test_books::Encode(utf8, "BIG5-HKSCS"));
    const auto shownTitles = [this] {
        std::vector<QString> shown;
        for (const ScanHit& hit : m_view->Chapters()) {
            shown.push_back(QString::fromStdU16String(hit.text));
        }
        return shown;
    };
    const auto choose = [this](const QString& name) {
        QMenu* menu = m_view->EncodingMenu();
        emit menu->aboutToShow(); // what showing it does: the items are enabled for the book
        for (QAction* action : menu->actions()) {
            if (action->text() == name) {
                action->trigger();
            }
        }
        QTRY_VERIFY(m_view->ChaptersComplete());
    };
    Open(path);
    QTRY_VERIFY(m_view->ChaptersComplete());
    EXPECT_EQ(shownTitles(), titles);

    choose(QStringLiteral("GB18030")); // other characters: not these headings
    EXPECT_NE(shownTitles(), titles);
    choose(QStringLiteral("BIG5"));
    EXPECT_EQ(shownTitles(), titles);
    EXPECT_EQ(m_frame->ChapterPane()->text(), titles.front());
}

TEST_F(ChapterFindTest, ChangedBookRebuildsItsCachedList) {
    const QString path = MakeBook(QStringLiteral("cached.txt"), 20000);
    Open(path);
    QTRY_VERIFY(m_view->ChaptersComplete());
    const std::size_t before = m_view->Chapters().size();
    const CChapterCache cache(m_dataDir.path().toStdString());
    ASSERT_TRUE(QFile::exists(QString::fromStdString(cache.FileOf(path.toStdU16String()))));

    Open(path); // unchanged: the list is there at once
    EXPECT_TRUE(m_view->ChaptersComplete());
    EXPECT_EQ(m_view->Chapters().size(), before);

    WriteFile(path, ChineseBook(40000, 1));
    Open(path);
    EXPECT_FALSE(m_view->ChaptersComplete());
    QTRY_VERIFY(m_view->ChaptersComplete());
    EXPECT_GT(m_view->Chapters().size(), before);
    Open(path);
    EXPECT_TRUE(m_view->ChaptersComplete()); // saved again for the new state
}

class FindBarTest : public ChapterFindTest {
protected:
    // A book with the phrase on page 2 and page 6, and an English word on page 4.
    QString MakeSearchBook() {
        std::string bytes = ChineseBook(9 * 4092);
        const std::string phrase = EncodeLegacy(u"\n独一无二的暗号\n");
        bytes.insert(6 * 4092 + 100, phrase);
        bytes.insert(4 * 4092 + 100, "\nSecretWord\n");
        bytes.insert(2 * 4092 + 100, phrase);
        const QString path = m_dataDir.filePath(QStringLiteral("search.txt"));
        WriteFile(path, bytes);
        return path;
    }
    QString Selected() const { return m_pane->textCursor().selectedText(); }
    int Page() const { return m_view->Session().Book().m_nCurPage; }
    void Search(const QString& text) {
        CFindBar* bar = m_view->FindBar();
        bar->Edit()->setText(text);
        QTest::keyClick(bar->Edit(), Qt::Key_Return);
        QTRY_VERIFY(!m_view->IsFindRunning());
    }
    void KeyAndWait(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), modifiers);
        QTRY_VERIFY(!m_view->IsFindRunning());
    }
};

TEST_F(FindBarTest, NextPreviousWrapAndCase) {
    Open(MakeSearchBook());
    Key(Qt::Key_F, Qt::ControlModifier);
    CFindBar* bar = m_view->FindBar();
    ASSERT_TRUE(bar->isVisible());
    EXPECT_TRUE(bar->Edit()->hasFocus());
    EXPECT_LE(bar->geometry().top(), m_pane->geometry().bottom() + 1); // below the text

    Search(QStringLiteral(u"独一无二的暗号"));
    EXPECT_EQ(Page(), 2);
    EXPECT_EQ(Selected(), QStringLiteral(u"独一无二的暗号"));
    EXPECT_TRUE(bar->Edit()->hasFocus()); // Enter again goes on
    KeyAndWait(Qt::Key_F3);
    EXPECT_EQ(Page(), 6);
    EXPECT_EQ(Selected(), QStringLiteral(u"独一无二的暗号"));
    KeyAndWait(Qt::Key_F3);
    EXPECT_EQ(Page(), 2);
    EXPECT_TRUE(m_frame->statusBar()->currentMessage().contains(QStringLiteral(u"书末")));
    KeyAndWait(Qt::Key_F3, Qt::ShiftModifier);
    EXPECT_EQ(Page(), 6);
    EXPECT_TRUE(m_frame->statusBar()->currentMessage().contains(QStringLiteral(u"书首")));

    Search(QStringLiteral("secretWORD"));
    EXPECT_EQ(Page(), 4);
    EXPECT_EQ(Selected(), QStringLiteral("SecretWord"));

    Search(QStringLiteral(u"没有这句话"));
    EXPECT_EQ(Page(), 4);
    EXPECT_TRUE(bar->Status().contains(QStringLiteral(u"找不到")));

    // Esc closes the bar first, and only then hides the window.
    QTest::keyClick(bar->Edit(), Qt::Key_Escape);
    EXPECT_FALSE(bar->isVisible());
    EXPECT_TRUE(m_frame->isVisible());
    Key(Qt::Key_F);
    EXPECT_TRUE(bar->isVisible());
}

TEST_F(FindBarTest, EscStopsARunningSearch) {
    // A long book of nothing but blanks: the search runs for a while.
    const QString path = m_dataDir.filePath(QStringLiteral("long.txt"));
    WriteFile(path, std::string(64 * 1024 * 1024, ' '));
    Open(path);
    Key(Qt::Key_F);
    m_view->FindBar()->Edit()->setText(QStringLiteral(u"暗号"));
    m_view->FindNext(true);
    ASSERT_TRUE(m_view->IsFindRunning());
    QTest::keyClick(m_view->FindBar()->Edit(), Qt::Key_Escape);
    EXPECT_FALSE(m_view->IsFindRunning());
    EXPECT_TRUE(m_view->FindBar()->isVisible());
    QTest::qWait(50);
    EXPECT_EQ(m_view->FindBar()->Status(), QStringLiteral(u"已停止查找"));
    EXPECT_EQ(Page(), 0);
}

} // namespace
