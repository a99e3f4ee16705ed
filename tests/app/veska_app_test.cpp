// Start-up: what a fresh reader shows and writes, the title from the settings, the command
// line and what a later launch hands over.

#include "app/command_line.h"
#include "tests/app/ui_test_support.h"
#include "widgets/modal_hook.h"

#include <QDialog>
#include <QFileInfo>
#include <QMessageBox>

namespace {

class StartUpTest : public ReaderEnvironmentTest {
protected:
    QString PaneText() const {
        return TestApp().MainFrame()->GetActiveView()->m_pTxtEdit->toPlainText();
    }
};

TEST_F(StartUpTest, FreshStartShowsTheWelcomeAndWritesOnlyAnEmptyHistory) {
    ASSERT_TRUE(TestApp().InitInstance(QStringList{QStringLiteral("veska")}));
    CMainFrame* frame = TestApp().MainFrame();
    EXPECT_TRUE(frame->isVisible());
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("Veska"));
    EXPECT_TRUE(PaneText().startsWith(QString(54, QLatin1Char('-')) + "\nVeska---Veska\n"));
    EXPECT_EQ(frame->StatusPane(0)->text(), QStringLiteral(u"就绪"));

    EXPECT_TRUE(QFile::exists(DataPath("read_history.dat")));
    EXPECT_EQ(ReadFile(DataPath("read_history.dat")), std::string());
    EXPECT_FALSE(QFile::exists(DataPath("config.cfg")));
}

using RestartTest = ReaderTest;

TEST_F(RestartTest, TheBookReadLastReopensAtItsScreen) {
    QDir(m_dataDir.path()).mkpath(QStringLiteral("a"));
    QDir(m_dataDir.path()).mkpath(QStringLiteral("b"));
    const QString first = m_dataDir.filePath(QStringLiteral(u"a/先读.txt"));
    const QString last = m_dataDir.filePath(QStringLiteral(u"b/后读.txt"));
    WriteFile(first, ChineseBook(4 * 4092));
    WriteFile(last, ChineseBook(5 * 4092, 1));
    Open(last);
    Open(first);
    Open(last);
    for (int key : {Qt::Key_Right, Qt::Key_Right, Qt::Key_Space, Qt::Key_Space}) {
        Key(key);
    }
    const int top = m_pane->TopCharacter();
    ASSERT_GT(top, 0);

    // Ending the program keeps the screen (the last book was not the first recorded).
    Restart();
    EXPECT_EQ(m_view->Session().Book().m_strName, u"后读.txt");
    EXPECT_EQ(m_view->Session().Book().m_nCurPage, 2);
    EXPECT_EQ(m_pane->TopCharacter(), top);
    EXPECT_EQ(m_pane->LineIndex(m_pane->GetFirstVisibleLine()), top);

    // A damaged place file is ignored: the newest record opens, at its page.
    TestApp().DestroyMainFrame();
    WriteFile(DataPath("read_place.dat"), "\xff\xfe garbage\n-3\n");
    Start();
    EXPECT_EQ(m_view->Session().Book().m_strName, u"先读.txt");
    EXPECT_EQ(m_view->Session().Book().m_nCurPage, 0);
    EXPECT_EQ(m_pane->TopCharacter(), 0);

    // A book that has gone leaves the welcome text.
    TestApp().DestroyMainFrame();
    QFile::remove(first);
    Start();
    EXPECT_FALSE(m_view->HasBook());
    EXPECT_TRUE(m_pane->toPlainText().startsWith(QString(54, QLatin1Char('-'))));
}

TEST_F(StartUpTest, TitleAndPaneFollowTheSavedSettings) {
    ReaderSettings settings;
    settings.title_name = EncodeLegacy(u"我的书房");
    settings.font_height = 30;
    settings.font_row_dis = 8;
    settings.back_color = 0x00FF0000; // COLORREF blue
    settings.font_color = 0x000000FF; // COLORREF red
    SaveReaderSettings(settings, m_dataDir.path().toStdString());

    ASSERT_TRUE(TestApp().InitInstance(QStringList{QStringLiteral("veska")}));
    CTxtRichEdit* pane = TestApp().MainFrame()->GetActiveView()->m_pTxtEdit;
    EXPECT_EQ(TestApp().MainFrame()->windowTitle(), QStringLiteral(u"我的书房"));
    EXPECT_EQ(pane->FontHeight(), 30);
    EXPECT_EQ(pane->RowDis(), 8);
    EXPECT_EQ(pane->palette().color(QPalette::Base), QColor(0, 0, 255));
    EXPECT_EQ(pane->palette().color(QPalette::Text), QColor(255, 0, 0));
}

// Files no settings or history could grow to (sparse ones of 100 GB here) are refused: the window
// comes at once with the defaults, says so, and nothing is ever written over them.
TEST_F(StartUpTest, HugeDataFilesAreRefusedWithANoticeAndLeftUntouched) {
    const std::pair<const char*, std::string> files[] = {
        {"config.cfg", "font_height=30\n"},
        {"read_history.dat", "a-book.txt\n/b/a-book.txt\n1\n2\n1\n"}};
    for (const auto& [name, text] : files) {
        WriteFile(DataPath(name), text);
        ASSERT_TRUE(QFile::resize(DataPath(name), 100LL << 30));
    }
    ASSERT_TRUE(TestApp().InitInstance(QStringList{QStringLiteral("veska")}));
    CMainFrame* frame = TestApp().MainFrame();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(frame));

    const QLabel* notice = frame->NoticePane();
    EXPECT_TRUE(notice->isVisible());
    for (const auto& [name, text] : files) {
        EXPECT_TRUE(notice->text().contains(QStringLiteral(u"“%1”过大").arg(QLatin1String(name))));
        EXPECT_TRUE(notice->toolTip().contains(DataPath(name) + QStringLiteral(u"”过大")));
    }
    CVeskaView* view = frame->GetActiveView();
    EXPECT_EQ(view->m_pTxtEdit->FontHeight(), ReaderSettings{}.font_height);

    // Changing a setting and reading on save nothing.
    view->OnFontBigger();
    const QString book = m_dataDir.filePath(QStringLiteral("book.txt"));
    WriteFile(book, ChineseBook(20000));
    ASSERT_EQ(view->OpenBook(book.toStdU16String()), 0);
    view->GotoPage(2);
    for (const auto& [name, text] : files) {
        EXPECT_EQ(QFileInfo(DataPath(name)).size(), 100LL << 30) << name;
        QFile file(DataPath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.read(qint64(text.size())).toStdString(), text);
    }
    EXPECT_FALSE(QFile::exists(DataPath("read_history.dat.full")));
}

// Sizes that made laying out the welcome text take minutes are brought into range on loading.
TEST_F(StartUpTest, ExtremeSizesInTheSettingsAreBroughtIntoRange) {
    WriteFile(DataPath("config.cfg"), "font_height=3000\nfont_row_dis=2000000\n");
    ASSERT_TRUE(TestApp().InitInstance(QStringList{QStringLiteral("veska")}));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(TestApp().MainFrame()));
    CTxtRichEdit* pane = TestApp().MainFrame()->GetActiveView()->m_pTxtEdit;
    EXPECT_EQ(pane->FontHeight(), 400);
    EXPECT_EQ(pane->RowDis(), 400);
    EXPECT_FALSE(TestApp().MainFrame()->NoticePane()->isVisible());
    // The file keeps its bytes until a setting changes.
    EXPECT_EQ(ReadFile(DataPath("config.cfg")), "font_height=3000\nfont_row_dis=2000000\n");
}

TEST_F(StartUpTest, TheBookOnTheCommandLineOpensAndOtherLinesEndWithoutAWindow) {
    const QString book = m_dataDir.filePath(QStringLiteral(u"青萍剑录.txt"));
    WriteFile(book, ChineseBook(6000));
    // A relative name is the working directory's.
    const QString oldDir = QDir::currentPath();
    QDir::setCurrent(m_dataDir.path());
    const bool started = TestApp().InitInstance(
        QStringList{QStringLiteral("veska"), QStringLiteral(u"青萍剑录.txt")});
    QDir::setCurrent(oldDir);
    ASSERT_TRUE(started);
    CVeskaView* view = TestApp().MainFrame()->GetActiveView();
    EXPECT_EQ(QString::fromStdU16String(view->Session().Book().m_strPath), book);
    EXPECT_EQ(view->Session().Book().m_nCurPage, 0);
    EXPECT_FALSE(PaneText().startsWith(QString(54, QLatin1Char('-'))));
    EXPECT_NE(ReadFile(DataPath("read_history.dat")).find(EncodeLegacy(u"青萍剑录.txt")),
              std::string::npos);
    TestApp().DestroyMainFrame();

    QString shown;
    ScopedModalHook hook([&](QDialog& dialog) {
        if (auto* box = qobject_cast<QMessageBox*>(&dialog)) {
            shown = box->text();
        }
        dialog.accept();
    });
    const QString missing = m_dataDir.filePath(QStringLiteral("missing.txt"));
    EXPECT_FALSE(TestApp().InitInstance(QStringList{QStringLiteral("veska"), missing}));
    EXPECT_EQ(TestApp().StartUpExitCode(), 1);
    EXPECT_EQ(TestApp().MainFrame(), nullptr);
    EXPECT_TRUE(shown.contains(missing));
    EXPECT_TRUE(shown.contains(QStringLiteral(u"文件不存在")));
    // A folder, --version and a usage error end too, each with its status.
    const std::pair<QString, int> ends[] = {
        {m_dataDir.path(), 1}, {QStringLiteral("--version"), 0}, {QStringLiteral("-x"), 2}};
    for (const auto& [word, status] : ends) {
        EXPECT_FALSE(TestApp().InitInstance(QStringList{QStringLiteral("veska"), word}));
        EXPECT_EQ(TestApp().StartUpExitCode(), status) << word.toStdString();
        EXPECT_EQ(TestApp().MainFrame(), nullptr);
    }
}

// The command line's words, without the program name.
ReaderCommandLine Parse(std::initializer_list<const char*> words) {
    return ParseReaderCommandLine(std::vector<std::string>(words.begin(), words.end()));
}

TEST(ReaderCommandLineTest, HelpAndVersionWinOneBookAndOptionsEndAtDoubleDash) {
    using Action = ReaderCommandLine::Action;
    EXPECT_EQ(Parse({}).action, Action::Read);
    EXPECT_EQ(Parse({}).book, "");
    EXPECT_EQ(Parse({"书.txt"}).book, "书.txt");
    // Whatever else the line holds, --help and --version answer (first one wins).
    EXPECT_EQ(Parse({"-platform", "offscreen", "--help"}).action, Action::Help);
    EXPECT_EQ(Parse({"a.txt", "b.txt", "-h"}).action, Action::Help);
    EXPECT_EQ(Parse({"--version", "--help"}).action, Action::Version);
    // After "--" they are books.
    const ReaderCommandLine dashed = Parse({"--", "--help"});
    EXPECT_EQ(dashed.action, Action::Read);
    EXPECT_EQ(dashed.book, "--help");
    EXPECT_EQ(Parse({"-"}).book, "-");

    EXPECT_EQ(Parse({"--verbose"}).action, Action::UsageError);
    EXPECT_NE(Parse({"--verbose"}).problem.find("--verbose"), std::string::npos);
    EXPECT_EQ(Parse({"a.txt", "b.txt"}).action, Action::UsageError);
    EXPECT_EQ(Parse({""}).action, Action::UsageError);
}

// A later launch's book reaches the running reader.
using HandOverTest = ReaderTest;

TEST_F(HandOverTest, AMinimisedReaderComesBackAndOpensTheBook) {
    const QString book = MakeBook(QStringLiteral(u"第二本.txt"), 9000);
    m_frame->showMinimized();
    QCoreApplication::processEvents();
    ASSERT_TRUE(m_frame->isMinimized());
    TestApp().OnHandOver(QStringList{book});
    EXPECT_FALSE(m_frame->isMinimized());
    EXPECT_TRUE(m_frame->isVisible());
    EXPECT_TRUE(QTest::qWaitForWindowActive(m_frame));
    EXPECT_EQ(QString::fromStdU16String(m_view->Session().Book().m_strPath), book);

    // Hidden in the tray, without a book: it only comes back.
    m_frame->hide();
    TestApp().OnHandOver(QStringList{});
    EXPECT_TRUE(m_frame->isVisible());
    EXPECT_EQ(QString::fromStdU16String(m_view->Session().Book().m_strPath), book);
}

TEST_F(HandOverTest, ABookArrivingDuringADialogOpensWhenItCloses) {
    const QString book = MakeBook(QStringLiteral("later.txt"), 9000);
    QDialog dialog(m_frame);
    dialog.setModal(true);
    dialog.show();
    ASSERT_EQ(QApplication::activeModalWidget(), &dialog);
    TestApp().OnHandOver(QStringList{book});
    QTest::qWait(300);
    EXPECT_FALSE(m_view->HasBook());
    dialog.accept();
    QTRY_COMPARE_WITH_TIMEOUT(QString::fromStdU16String(m_view->Session().Book().m_strPath), book,
                              2000);
}

} // namespace
