// The chapter list ("目录"), chapter steps, the find bar and the encoding menu, driven by keys and
// clicks on real books.

#include "tests/app/ui_test_support.h"
#include "tests/text/test_books.h"
#include "text/chapter_cache.h"
#include "text/resource_data.h"
#include "view/find_bar.h"

#include <QContextMenuEvent>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QScrollBar>
#include <QStatusBar>
#include <QToolButton>

namespace {

using ChapterFindTest = ReaderTest;

// M lists the chapters with the one on screen selected and pages counted from 1; Enter goes to
// the chapter picked, Ctrl+↓ and Ctrl+↑ step; Ctrl+M and a double-click reach the same list.
TEST_F(ChapterFindTest, ChapterListPicksAChapterAndCtrlArrowsStep) {
    Open(MakeBook(QStringLiteral(u"目录.txt"), 40000));
    QTRY_VERIFY(m_view->ChaptersComplete());
    const auto& chapters = m_view->Chapters();
    ASSERT_GT(chapters.size(), 25u);
    EXPECT_EQ(m_frame->ChapterPane()->text(), QStringLiteral(u"|第1章　初见"));
    const auto topLine = [this] {
        const int line = m_pane->GetFirstVisibleLine();
        // Without the indent the pane sets before each paragraph.
        return m_pane->toPlainText()
            .mid(m_pane->LineIndex(line), m_pane->LineLength(line))
            .trimmed();
    };
    const auto pick = [&](int key, Qt::KeyboardModifiers chord, int selected,
                          const std::function<void(QListView*)>& choose) {
        ScopedModalHook hook([&](QDialog& dialog) {
            auto* list = dialog.findChild<QListView*>(QStringLiteral("chapterList"));
            EXPECT_EQ(list->model()->rowCount(), int(chapters.size()));
            EXPECT_EQ(list->currentIndex().row(), selected);
            choose(list);
        });
        Key(key, chord);
    };
    pick(Qt::Key_M, {}, 0, [&](QListView* list) {
        EXPECT_EQ(list->model()->index(20, 1).data(), QString::number(chapters[20].page + 1));
        list->setCurrentIndex(list->model()->index(20, 0));
        QTest::keyClick(list, Qt::Key_Return);
    });
    EXPECT_EQ(Page(), chapters[20].page);
    EXPECT_EQ(topLine(), QStringLiteral(u"第21章　初见"));
    EXPECT_EQ(m_frame->ChapterPane()->text(), QStringLiteral(u"|第21章　初见"));
    QTest::keyClick(m_pane, Qt::Key_Down, Qt::ControlModifier);
    EXPECT_EQ(topLine(), QStringLiteral(u"第22章　初见"));
    QTest::keyClick(m_pane, Qt::Key_Up, Qt::ControlModifier);
    QTest::keyClick(m_pane, Qt::Key_Up, Qt::ControlModifier);
    EXPECT_EQ(m_view->CurrentChapter(), 19);
    EXPECT_EQ(m_frame->ChapterPane()->text(), QStringLiteral(u"|第20章　初见"));

    pick(Qt::Key_M, Qt::ControlModifier, 19, [](QListView* list) {
        EXPECT_TRUE(QTest::qWaitForWindowExposed(list->window()));
        const QModelIndex last = list->model()->index(list->model()->rowCount() - 1, 0);
        list->scrollTo(last);
        QApplication::processEvents();
        const QPoint at = list->visualRect(last).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at); // then the double-click
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    });
    EXPECT_EQ(Page(), chapters.back().page);
    EXPECT_EQ(m_view->CurrentChapter(), int(chapters.size()) - 1);
    // One screen names one chapter however the reader came to it.
    Keys({Qt::Key_Left});
    const QString named = m_frame->ChapterPane()->text();
    Keys({Qt::Key_Space, Qt::Key_PageUp});
    EXPECT_EQ(m_frame->ChapterPane()->text(), named);
}

// Unchanged, a book's list is there at once when it reopens; changed, it is built anew.
TEST_F(ChapterFindTest, ChangedBookRebuildsItsCachedList) {
    const QString path = MakeBook(QStringLiteral("cached.txt"), 20000);
    Open(path);
    QTRY_VERIFY(m_view->ChaptersComplete());
    const std::size_t before = m_view->Chapters().size();
    const CChapterCache cache(m_dataDir.path().toStdString());
    ASSERT_TRUE(QFile::exists(QString::fromStdString(cache.FileOf(path.toStdU16String()))));
    Open(path);
    EXPECT_TRUE(m_view->ChaptersComplete());
    EXPECT_EQ(m_view->Chapters().size(), before);
    WriteFile(path, ChineseBook(40000, 1));
    Open(path);
    EXPECT_FALSE(m_view->ChaptersComplete());
    QTRY_VERIFY(m_view->ChaptersComplete());
    EXPECT_GT(m_view->Chapters().size(), before);
}

// Clicks the menu's item once the menu shows (it may run its own event loop meanwhile).
void Click(QMenu* menu, const QString& text) {
    QTimer::singleShot(0, menu, [menu, text] {
        ASSERT_TRUE(menu->isVisible());
        for (QAction* action : menu->actions()) {
            if (action->text() == text) {
                QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
            }
        }
    });
}

// A Big5 book of eight chapters: GB18030 picked on the button reloads the same page read as
// GB18030 at the same place on screen and lists the chapters anew; reopened, the book is read as
// GB18030 again while the history keeps it; the pane's context menu shows the choice and goes
// back to detection, which nothing needs to remember.
TEST_F(ChapterFindTest, AnEncodingPickedReloadsInPlaceAndStaysWithTheBookUntilAutomatic) {
    std::string utf8;
    std::vector<QString> titles;
    for (int i = 1; i <= 8; ++i) {
        titles.push_back(QStringLiteral(u"第%1章 風雲際會").arg(i));
        utf8 += titles.back().toStdString() + "\n" +
                test_books::Repeated(test_books::kTraditionalProse, 3000);
    }
    const QString path = m_dataDir.filePath(QStringLiteral(u"繁體.txt"));
    WriteFile(path, test_books::Encode(utf8, "BIG5-HKSCS"));
    const auto shownTitles = [this] {
        EXPECT_TRUE(QTest::qWaitFor([this] { return m_view->ChaptersComplete(); }));
        std::vector<QString> shown;
        for (const ScanHit& hit : m_view->Chapters()) {
            shown.push_back(QString::fromStdU16String(hit.text));
        }
        return shown;
    };
    Open(path);
    EXPECT_EQ(shownTitles(), titles);
    const QString detected = m_frame->CodePagePane()->text();
    Keys({Qt::Key_Right, Qt::Key_Right, Qt::Key_Space});
    const int top = m_view->Session().TopCharacter();
    ASSERT_GT(top, 0);
    auto* button = m_frame->findChild<QToolButton*>(QStringLiteral("encodingButton"));
    Click(button->menu(), QStringLiteral("GB18030"));
    QTest::mouseClick(button, Qt::LeftButton);
    CResourceData gb;
    ASSERT_EQ(gb.OpenTxt(path.toStdU16String(), "GB18030"), 0);
    gb.GotoPage(2);
    EXPECT_EQ(Page(), 2);
    EXPECT_TRUE(m_pane->toPlainText().contains(
        QStringView(gb.m_strText).mid(gb.m_strText.find(u'\n') + 1, 40)));
    EXPECT_EQ(m_view->Session().TopCharacter(), top);
    EXPECT_EQ(StatusText(1), QStringLiteral(u"|正在阅读:  第3页"));
    EXPECT_EQ(m_frame->CodePagePane()->text(), QStringLiteral("|GB18030"));
    EXPECT_NE(shownTitles(), titles);
    Open(path);
    EXPECT_EQ(m_frame->CodePagePane()->text(), QStringLiteral("|GB18030"));
    EXPECT_TRUE(HoldsLegacy(ReadFile(DataPath("read_history.dat")), u"繁體.txt"));

    QMenu* menu = m_view->ContextMenu();
    QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(20, 20),
                            m_pane->viewport()->mapToGlobal(QPoint(20, 20)));
    QApplication::sendEvent(m_pane->viewport(), &click);
    ASSERT_TRUE(menu->isVisible());
    for (QAction* action : menu->actions()) {
        EXPECT_EQ(action->isChecked(), action->text() == QStringLiteral("GB18030"));
    }
    Click(menu, QStringLiteral(u"自动检测"));
    QTRY_VERIFY(!menu->isVisible());
    EXPECT_EQ(m_frame->CodePagePane()->text(), detected);
    EXPECT_EQ(shownTitles(), titles);
    EXPECT_EQ(ReadFile(DataPath("book_encoding.cfg")), std::string());
    Open(path);
    EXPECT_EQ(m_view->Session().Book().m_strEncodingChoice, "");
}

class FindBarTest : public ChapterFindTest {
protected:
    QString Selected() const { return m_pane->textCursor().selectedText(); }
    void Search(const QString& text) {
        m_view->FindBar()->Edit()->setText(text);
        KeyAndWait(Qt::Key_Return);
    }
    void KeyAndWait(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), modifiers);
        QTRY_VERIFY(!m_view->IsFindRunning());
    }
};

// Ctrl+F shows the bar below the text with the focus in it; Enter and F3 find the next, Shift+F3
// the previous, wrapping with a note at the end or start of the book, whatever the case. Esc
// closes the bar first, and only then hides the window.
TEST_F(FindBarTest, NextPreviousWrapAndCase) {
    // The phrase on page 2 and page 6, and an English word on page 4.
    std::string bytes = ChineseBook(9 * 4092);
    const std::string phrase = EncodeLegacy(u"\n独一无二的暗号\n");
    bytes.insert(6 * 4092 + 100, phrase);
    bytes.insert(4 * 4092 + 100, "\nSecretWord\n");
    bytes.insert(2 * 4092 + 100, phrase);
    const QString path = m_dataDir.filePath(QStringLiteral("search.txt"));
    WriteFile(path, bytes);
    Open(path);
    Key(Qt::Key_F, Qt::ControlModifier);
    CFindBar* bar = m_view->FindBar();
    ASSERT_TRUE(bar->isVisible());
    EXPECT_TRUE(bar->Edit()->hasFocus());
    EXPECT_LE(bar->geometry().top(), m_pane->geometry().bottom() + 1);
    Search(QStringLiteral(u"独一无二的暗号"));
    EXPECT_EQ(Page(), 2);
    EXPECT_EQ(Selected(), QStringLiteral(u"独一无二的暗号"));
    EXPECT_TRUE(bar->Edit()->hasFocus());
    const struct {
        Qt::KeyboardModifiers chord;
        int page;
        const char16_t* note;
    } steps[] = {{{}, 6, u""}, {{}, 2, u"书末"}, {Qt::ShiftModifier, 6, u"书首"}};
    for (const auto& step : steps) {
        KeyAndWait(Qt::Key_F3, step.chord);
        EXPECT_EQ(Page(), step.page);
        EXPECT_EQ(Selected(), QStringLiteral(u"独一无二的暗号"));
        // The wrap-around is said in the find bar only.
        EXPECT_TRUE(bar->Status().contains(QString::fromUtf16(step.note)));
        EXPECT_TRUE(m_frame->statusBar()->currentMessage().isEmpty());
    }
    Search(QStringLiteral("secretWORD"));
    EXPECT_EQ(Page(), 4);
    EXPECT_EQ(Selected(), QStringLiteral("SecretWord"));
    Search(QStringLiteral(u"没有这句话"));
    EXPECT_EQ(Page(), 4);
    EXPECT_TRUE(bar->Status().contains(QStringLiteral(u"找不到")));
    QTest::keyClick(bar->Edit(), Qt::Key_Escape);
    EXPECT_FALSE(bar->isVisible());
    EXPECT_TRUE(m_frame->isVisible());
    Key(Qt::Key_F);
    EXPECT_TRUE(bar->isVisible());
    m_pane->setFocus();
    QTest::keyClick(m_frame, Qt::Key_F, Qt::AltModifier); // the field's mnemonic
    EXPECT_TRUE(bar->Edit()->hasFocus());
}

// In a book with a byte-order mark the phrase found on the first page is the one selected, as
// a screen reader reads the selection.
TEST_F(FindBarTest, TheSelectionIsThePhraseInABookWithAByteOrderMark) {
    const QString path = m_dataDir.filePath(QStringLiteral("novel_u16.txt"));
    const std::u16string text = u"\uFEFF序章 鲁卫之政，兄弟也。\r\n第一章 鲁卫\r\n";
    WriteFile(path, std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2));
    Open(path);
    Key(Qt::Key_F, Qt::ControlModifier);
    Search(QStringLiteral(u"鲁卫"));
    EXPECT_EQ(Selected(), QStringLiteral(u"鲁卫"));
    KeyAndWait(Qt::Key_F3);
    EXPECT_EQ(Selected(), QStringLiteral(u"鲁卫"));
    const int start = m_pane->textCursor().selectionStart();
    EXPECT_EQ(m_pane->toPlainText().mid(start - 4, 4), QStringLiteral(u"第一章 "));
}

// A long book of nothing but blanks: the search runs for a while, and Esc stops it, leaving the
// bar open.
TEST_F(FindBarTest, EscStopsARunningSearch) {
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
