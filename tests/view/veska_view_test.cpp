// The reader view: opening books (dialog, drop, reopen), the history it records, the settings
// steps it saves, and automatic scrolling driven by the frame's timer.

#include "tests/app/ui_test_support.h"

#include <QDropEvent>
#include <QFileDialog>
#include <QLineEdit>
#include <QListView>
#include <QMimeData>
#include <QScrollBar>
#include <QUrl>

#include <climits>

namespace {

using ReaderViewTest = ReaderTest;

// Without a book page steps record nothing, the status panes refreshed all the same. A book
// opens at its first page, shown in the status panes and recorded; a failed open then leaves the
// book being read, its pages and its record as they were. With auto_record off nothing is
// recorded.
TEST_F(ReaderViewTest, OpeningABookShowsItsFirstPageAndAFailedOpenLeavesItAsItWas) {
    EXPECT_EQ(StatusText(0), QStringLiteral(u"就绪"));
    const QString welcome = m_pane->toPlainText();
    Keys({Qt::Key_Right, Qt::Key_Left});
    m_view->GotoPage(3);
    EXPECT_EQ(StatusText(1), QStringLiteral(u"|正在阅读:  第1页"));
    EXPECT_EQ(StatusText(2), QStringLiteral(u"|共0页"));
    EXPECT_EQ(ReadFile(DataPath("read_history.dat")), std::string());
    EXPECT_EQ(m_pane->toPlainText(), welcome);
    Open(MakeBook(QStringLiteral(u"十千字.txt"), 10000));
    // The whole short book, each paragraph indented.
    EXPECT_TRUE(m_pane->toPlainText().startsWith(QStringLiteral(u"　　第1章")));
    EXPECT_EQ(m_view->Session().TopCharacter(), 0);
    EXPECT_EQ(StatusText(0), QStringLiteral(u"|阅读书籍:  十千字.txt"));
    EXPECT_EQ(StatusText(1), QStringLiteral(u"|正在阅读:  第1页"));
    EXPECT_EQ(StatusText(2), QStringLiteral(u"|共3页"));
    const CReaderHistory history = SavedHistory();
    ASSERT_EQ(history.m_listLocal.size(), 1u);
    EXPECT_EQ(history.m_listLocal.front().strBookName, EncodeLegacy(u"十千字.txt"));
    EXPECT_EQ(history.m_listLocal.front().nReadPage, 0);
    EXPECT_EQ(history.m_listLocal.front().nTotalPages, 3);
    Key(Qt::Key_Right);
    const QString text = m_pane->toPlainText();
    const std::string saved = ReadFile(DataPath("read_history.dat"));
    EXPECT_NE(m_view->OpenBook(u"/nonexistent/missing.txt"), 0);
    EXPECT_EQ(m_pane->toPlainText(), text);
    EXPECT_EQ(StatusText(0), QStringLiteral(u"|阅读书籍:  十千字.txt"));
    EXPECT_EQ(ReadFile(DataPath("read_history.dat")), saved);
    Key(Qt::Key_Right);
    EXPECT_EQ(StatusText(1), QStringLiteral(u"|正在阅读:  第3页"));
    EXPECT_EQ(SavedHistory().m_listLocal.front().nTotalPages, 3);
    ReaderSettings settings = m_view->Settings();
    settings.auto_record = 0;
    m_view->Store().SetSettings(settings);
    QFile::remove(DataPath("read_history.dat"));
    Open(MakeBook(QStringLiteral("quiet.txt"), 3 * 4092));
    Key(Qt::Key_Right);
    QCoreApplication::sendPostedEvents();
    EXPECT_FALSE(QFile::exists(DataPath("read_history.dat")));
}

// Reopening, the file dialog (O or Ctrl+O; it starts in the folder of the book read last and
// lists .txt files whatever their case) and a drop (of several files, the last one) all return
// to the screen left; a book without a record starts at its first page, and leaving saves the
// place left.
TEST_F(ReaderViewTest, EveryWayOfOpeningABookReturnsToItsScreen) {
    const QString path = MakeBook(QStringLiteral(u"归来.txt"), 6 * 4092);
    QDir(m_dataDir.path()).mkpath(QStringLiteral("other"));
    const QString other = m_dataDir.filePath(QStringLiteral("other/别册.txt"));
    WriteFile(other, ChineseBook(3 * 4092, 2));
    WriteFile(m_dataDir.filePath(QStringLiteral("other/UPPER.TXT")), ChineseBook(3000));
    WriteFile(m_dataDir.filePath(QStringLiteral("other/notes.md")), "x");
    Open(path);
    Keys({Qt::Key_Right, Qt::Key_Right, Qt::Key_Space, Qt::Key_Space});
    const int top = m_view->Session().TopCharacter();
    ASSERT_GT(top, 0);
    EXPECT_EQ(m_pane->LineFromChar(m_pane->TopCharacter()), m_pane->GetFirstVisibleLine());
    Open(other);
    EXPECT_EQ(Page(), 0);
    EXPECT_EQ(m_view->Session().TopCharacter(), 0);
    QStringList listed;
    const auto fileDialog = [&](Qt::KeyboardModifiers modifiers) {
        ScopedModalHook choose([&](QDialog& dialog) {
            auto& files = static_cast<QFileDialog&>(dialog);
            EXPECT_EQ(files.directory().absolutePath(), QFileInfo(other).absolutePath());
            auto* list = files.findChild<QListView*>(QStringLiteral("listView"));
            QTRY_COMPARE_WITH_TIMEOUT(list->model()->rowCount(list->rootIndex()), 2, 5000);
            listed.clear();
            for (int row = 0; row < 2; ++row) {
                listed << list->model()->index(row, 0, list->rootIndex()).data().toString();
            }
            auto* name = files.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            name->setText(path);
            QTest::keyClick(name, Qt::Key_Return);
        });
        // A shortcut needs the window active, which offscreen a closed dialog does not restore.
        m_frame->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(m_frame));
        Key(Qt::Key_O, modifiers);
    };
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(MakeBook(QStringLiteral("passed.txt"), 5000, 1)),
                  QUrl::fromLocalFile(path)});
    const std::pair<const char*, std::function<void()>> ways[] = {
        {"reopen", [&] { Open(path); }},
        {"O", [&] { fileDialog(Qt::NoModifier); }},
        {"Ctrl+O", [&] { fileDialog(Qt::ControlModifier); }},
        {"drop", [&] {
             QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, {});
             QApplication::sendEvent(m_view, &enter);
             EXPECT_TRUE(enter.isAccepted());
             QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, {});
             QApplication::sendEvent(m_view, &drop);
         }}};
    for (const auto& [how, open] : ways) {
        Open(other);
        open();
        EXPECT_EQ(Page(), 2) << how;
        EXPECT_EQ(m_view->Session().TopCharacter(), top) << how;
        EXPECT_EQ(m_pane->LineFromChar(m_pane->TopCharacter()), m_pane->GetFirstVisibleLine())
            << how;
        EXPECT_EQ(StatusText(1), QStringLiteral(u"|正在阅读:  第3页")) << how;
        EXPECT_EQ(SavedHistory().m_listLocal.back().nReadPage, 2) << how;
    }
    listed.sort();
    EXPECT_EQ(listed, (QStringList{QStringLiteral("UPPER.TXT"), QStringLiteral(u"别册.txt")}));
    EXPECT_EQ(SavedHistory().m_listLocal.size(), 2u);

    // A place of another page than the history's says nothing about this page.
    Open(other);
    m_view->Session().Places().Set({EncodeLegacy(path.toStdU16String()), 5, top});
    Open(path);
    EXPECT_EQ(Page(), 2);
    EXPECT_EQ(m_view->Session().TopCharacter(), 0);
}

// Each step from a value, by key or toolbar button, is saved at once; at the ends of their
// ranges (and beyond, wherever a value came from) the steps stop. A letter with Ctrl, Alt or
// Meta is not the letter's command; Shift makes no difference.
TEST_F(ReaderViewTest, FontAndSpacingKeysStepWithinBoundsAndSaveAtOnce) {
    const ReaderSettings& settings = m_view->Settings();
    const int height = settings.font_height;
    Key(Qt::Key_B);
    EXPECT_EQ(SavedSettings().font_height, height + 1);
    EXPECT_NEAR(QFontMetrics(m_pane->font()).height(), height + 1, 1);
    constexpr auto kHeight = &ReaderSettings::font_height;
    constexpr auto kRowDis = &ReaderSettings::font_row_dis;
    const struct {
        int key; // or a command
        int ReaderSettings::*field;
        int from;
        int to;
    } steps[] = {{Qt::Key_S, kHeight, 6, 5},         {Qt::Key_S, kHeight, 5, 5},
                 {ID_FONT_BIGGER, kHeight, 5, 6},    {Qt::Key_B, kHeight, 400, 400},
                 {Qt::Key_S, kHeight, INT_MIN, 5},   {Qt::Key_R, kRowDis, 3, 4},
                 {ID_ROW_DIS_BIGGER, kRowDis, 4, 5}, {Qt::Key_R, kRowDis, INT_MAX, 400},
                 {Qt::Key_R, kRowDis, 400, 400},     {Qt::Key_T, kRowDis, INT_MIN, 1},
                 {Qt::Key_T, kRowDis, 2, 1},         {Qt::Key_T, kRowDis, 1, 1}};
    for (const auto& step : steps) {
        ReaderSettings changed = settings;
        changed.*step.field = step.from;
        m_view->Store().SetSettings(changed);
        if (QAction* command = m_frame->Action(step.key)) {
            command->trigger();
        } else {
            Key(step.key);
        }
        EXPECT_EQ(settings.*step.field, step.to) << step.key << " from " << step.from;
        EXPECT_EQ(SavedSettings().*step.field, step.to) << step.key << " from " << step.from;
    }
    EXPECT_EQ(m_pane->RowDis(), 1);
    const std::string config = ReadFile(DataPath("config.cfg"));
    EXPECT_NE(config.find("\nfont_height=5\nfont_row_dis=1\n"), std::string::npos);
    for (const auto chord : {Qt::ControlModifier, Qt::AltModifier, Qt::MetaModifier}) {
        for (const Qt::Key key : {Qt::Key_A, Qt::Key_B, Qt::Key_S, Qt::Key_R, Qt::Key_T}) {
            QTest::keyClick(m_pane, key, chord);
        }
    }
    EXPECT_EQ(ReadFile(DataPath("config.cfg")), config);
    QTest::keyClick(m_pane, Qt::Key_B, Qt::ShiftModifier);
    EXPECT_EQ(settings.font_height, 6);
}

// One pixel a tick, on through page edges without a stop; the end of the book, its last line at
// the bottom, is where it stops. The timer runs only while the text scrolls: not when
// off, paused (by a lone Ctrl, with auto_click on) or hidden in the tray, and Ctrl+↓ (next
// chapter) is no pause.
TEST_F(ReaderViewTest, AutoScrollGoesOnThroughThePagesToTheEnd) {
    Open(MakeBook(QStringLiteral("scroll.txt"), 3 * 4092));
    const ReaderSettings& settings = m_view->Settings();
    ASSERT_EQ(settings.auto_read, 0);
    EXPECT_EQ(m_frame->Timer()->interval(), 30);
    EXPECT_FALSE(m_frame->Timer()->isActive()); // nothing to fetch, nothing scrolling: no ticks
    m_frame->Timer()->setInterval(24 * 3600 * 1000);
    QScrollBar* bar = m_pane->verticalScrollBar();
    const int start = bar->value();
    Ticks(1);
    EXPECT_EQ(bar->value(), start);
    Key(Qt::Key_A);
    EXPECT_EQ(SavedSettings().auto_read, 1);
    EXPECT_TRUE(m_frame->Action(ID_AUTO_SCROLL)->isChecked());
    Ticks(5);
    EXPECT_EQ(bar->value(), start + 5);
    // On through the page edge a pixel a tick, without a stop: the next page is the current one
    // once the first line on screen is its own.
    QTextCursor edge(m_pane->document());
    edge.setPosition(m_view->PaneBook().PanePositionOf(1, 0));
    const int distance = m_pane->cursorRect(edge).top() + bar->value();
    int ticks = start + 5;
    for (; Page() == 0 && ticks < 4 * distance; ++ticks) {
        Ticks(1);
    }
    EXPECT_NEAR(ticks, distance, 2 * m_pane->LineDistancePixels());
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(SavedHistory().m_listLocal.front().nReadPage, 1);
    // The end of the book: the last line comes to the window's bottom and the text stops.
    m_view->GotoPage(2);
    const int screen = m_pane->viewport()->height();
    Ticks(4 * screen);
    const int end = bar->value();
    Ticks(3);
    EXPECT_EQ(bar->value(), end);
    QTextCursor last(m_pane->document());
    last.movePosition(QTextCursor::End);
    EXPECT_LE(m_pane->cursorRect(last).bottom(), screen);
    EXPECT_GT(m_pane->cursorRect(last).bottom(), screen - 2 * m_pane->LineDistancePixels());
    EXPECT_EQ(Page(), 2);
    Key(Qt::Key_A);
    EXPECT_EQ(SavedSettings().auto_read, 0);
    EXPECT_FALSE(m_frame->Action(ID_AUTO_SCROLL)->isChecked());
    EXPECT_FALSE(m_frame->Timer()->isActive());
    Key(Qt::Key_A);
    EXPECT_TRUE(m_frame->Timer()->isActive());
    Key(Qt::Key_Control); // a lone Ctrl pauses; turning scrolling off and on, or a click, resumes
    EXPECT_FALSE(m_frame->Timer()->isActive());
    Keys({Qt::Key_A, Qt::Key_A});
    EXPECT_TRUE(m_frame->Timer()->isActive());
    Key(Qt::Key_Control);
    QTest::mouseClick(m_pane->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(50, 50));
    EXPECT_TRUE(m_frame->Timer()->isActive());
    m_frame->hide();
    EXPECT_FALSE(m_frame->Timer()->isActive());
    m_frame->show();
    EXPECT_TRUE(m_frame->Timer()->isActive());
    QTest::keyClick(m_pane, Qt::Key_Down, Qt::ControlModifier);
    EXPECT_EQ(m_view->m_bAutoScrollRunning, 1);
    EXPECT_TRUE(m_frame->Timer()->isActive());
    ReaderSettings noClick = m_view->Settings(); // without auto_click a lone Ctrl does not pause
    noClick.auto_click = 0;
    m_view->Store().SetSettings(noClick);
    Key(Qt::Key_Control);
    EXPECT_TRUE(m_frame->Timer()->isActive());
}

// No book, no progress; then the first line on screen, a screen within the page moving it on
// less than a page.
TEST_F(ReaderViewTest, ProgressFollowsTheFirstLineOnScreen) {
    const QLabel* progress = m_frame->ProgressPane();
    EXPECT_FALSE(progress->isVisible());
    Open(MakeBook(QStringLiteral("progress.txt"), 10 * 4092));
    EXPECT_TRUE(progress->isVisible());
    EXPECT_EQ(progress->text(), QStringLiteral("0.0%"));
    Keys({Qt::Key_Right, Qt::Key_Right, Qt::Key_Right, Qt::Key_Right});
    EXPECT_EQ(progress->text(), QStringLiteral("40.0%"));
    Key(Qt::Key_Space);
    const double shown = progress->text().chopped(1).toDouble();
    EXPECT_GT(shown, 40.0);
    EXPECT_LT(shown, 50.0);
    m_view->GotoPage(9);
    EXPECT_EQ(progress->text(), QStringLiteral("90.0%"));
}

} // namespace
