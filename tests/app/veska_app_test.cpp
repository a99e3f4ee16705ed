// Start-up: what a fresh reader shows and writes, the title from the settings, the command
// line and what a later launch hands over, with real processes too: one reader per data
// directory, and a hung or killed reader does not keep a new one from starting.

#include "app/single_instance.h"
#include "dialogs/shelf_dlg.h"
#include "tests/app/ui_test_support.h"

#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QThread>
#include <QTreeView>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

using StartUpTest = ReaderEnvironmentTest;

const QString kWelcomeRule(54, QLatin1Char('-'));

CTxtRichEdit* Pane() {
    return TestApp().MainFrame()->GetActiveView()->m_pTxtEdit;
}

TEST_F(StartUpTest, FreshStartShowsTheWelcomeAndWritesOnlyAnEmptyHistory) {
    ASSERT_TRUE(Launch());
    CMainFrame* frame = TestApp().MainFrame();
    EXPECT_TRUE(frame->isVisible());
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("Veska"));
    EXPECT_TRUE(Pane()->toPlainText().startsWith(kWelcomeRule + "\nVeska---Veska\n"));
    EXPECT_EQ(frame->StatusPane(0)->text(), QStringLiteral(u"就绪"));
    EXPECT_TRUE(QFile::exists(DataPath("read_history.dat")));
    EXPECT_EQ(ReadFile(DataPath("read_history.dat")), std::string());
    EXPECT_FALSE(QFile::exists(DataPath("config.cfg")));
}

using RestartTest = ReaderTest;

// The book read last reopens at its screen (even when it is not the first record); a book that
// has gone leaves the welcome text.
TEST_F(RestartTest, TheBookReadLastReopensAtItsScreen) {
    const QString first = MakeBook(QStringLiteral(u"先读.txt"), 4 * 4092);
    QDir(m_dataDir.path()).mkpath(QStringLiteral("b"));
    const QString last = m_dataDir.filePath(QStringLiteral(u"b/后读.txt"));
    WriteFile(last, ChineseBook(5 * 4092, 1));
    Open(last);
    Open(first);
    Open(last);
    Keys({Qt::Key_Right, Qt::Key_Right, Qt::Key_Space, Qt::Key_Space});
    const int top = m_pane->TopCharacter();
    ASSERT_GT(top, 0);
    Restart();
    EXPECT_EQ(BookName(), u"后读.txt");
    EXPECT_EQ(Page(), 2);
    EXPECT_EQ(m_pane->TopCharacter(), top);
    EXPECT_EQ(m_pane->LineIndex(m_pane->GetFirstVisibleLine()), top);
    TestApp().DestroyMainFrame();
    QFile::remove(last);
    Start();
    EXPECT_FALSE(m_view->HasBook());
    EXPECT_TRUE(m_pane->toPlainText().startsWith(kWelcomeRule));
}

// The title and the pane follow the saved settings; sizes that made laying out the welcome text
// take minutes are brought into range, and the file keeps its bytes until a setting changes.
TEST_F(StartUpTest, TitleAndPaneFollowTheSavedSettingsBroughtIntoRange) {
    ReaderSettings settings;
    settings.title_name = EncodeLegacy(u"我的书房");
    settings.font_height = 30;
    settings.font_row_dis = 8;
    settings.back_color = 0x00FF0000; // COLORREF blue
    settings.font_color = 0x000000FF; // COLORREF red
    SaveReaderSettings(settings, m_dataDir.path().toStdString());
    ASSERT_TRUE(Launch());
    EXPECT_EQ(TestApp().MainFrame()->windowTitle(), QStringLiteral(u"我的书房"));
    EXPECT_EQ(Pane()->FontHeight(), 30);
    EXPECT_EQ(Pane()->RowDis(), 8);
    EXPECT_EQ(Pane()->palette().color(QPalette::Base), QColor(0, 0, 255));
    EXPECT_EQ(Pane()->palette().color(QPalette::Text), QColor(255, 0, 0));
    TestApp().DestroyMainFrame();
    const std::string extreme = "font_height=3000\nfont_row_dis=2000000\n";
    WriteFile(DataPath("config.cfg"), extreme);
    ASSERT_TRUE(Launch());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(TestApp().MainFrame()));
    EXPECT_EQ(Pane()->FontHeight(), 400);
    EXPECT_EQ(Pane()->RowDis(), 400);
    EXPECT_FALSE(TestApp().MainFrame()->NoticePane()->isVisible());
    EXPECT_EQ(ReadFile(DataPath("config.cfg")), extreme);
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
    ASSERT_TRUE(Launch());
    CMainFrame* frame = TestApp().MainFrame();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(frame));
    EXPECT_TRUE(frame->NoticePane()->isVisible());
    for (const auto& [name, text] : files) {
        EXPECT_TRUE(frame->NoticePane()->text().contains(
            QStringLiteral(u"“%1”过大").arg(QLatin1String(name))));
    }
    CVeskaView* view = frame->GetActiveView();
    EXPECT_EQ(Pane()->FontHeight(), ReaderSettings{}.font_height);
    view->StepFont(1); // changing a setting and reading save nothing
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

// A book on the command line (a relative name is the working directory's) opens at its first
// page and is recorded; a missing book, a folder, --help, --version and a usage error end without
// a window, each with its status. After "--" every word is a book.
TEST_F(StartUpTest, TheBookOnTheCommandLineOpensAndOtherLinesEndWithoutAWindow) {
    const QString book = m_dataDir.filePath(QStringLiteral(u"青萍剑录.txt"));
    WriteFile(book, ChineseBook(6000));
    const QString oldDir = QDir::currentPath();
    QDir::setCurrent(m_dataDir.path());
    const bool started = Launch({QStringLiteral(u"青萍剑录.txt")});
    QDir::setCurrent(oldDir);
    ASSERT_TRUE(started);
    const CVeskaView* view = TestApp().MainFrame()->GetActiveView();
    EXPECT_EQ(QString::fromStdU16String(view->Session().Book().m_strPath), book);
    EXPECT_EQ(view->Session().Book().m_nCurPage, 0);
    EXPECT_FALSE(Pane()->toPlainText().startsWith(kWelcomeRule));
    EXPECT_TRUE(HoldsLegacy(ReadFile(DataPath("read_history.dat")), u"青萍剑录.txt"));
    TestApp().DestroyMainFrame();
    QString shown;
    ScopedModalHook hook([&](QDialog& dialog) {
        if (auto* box = qobject_cast<QMessageBox*>(&dialog)) {
            shown = box->text();
        }
        dialog.accept();
    });
    const QString missing = m_dataDir.filePath(QStringLiteral("missing.txt"));
    for (const auto& [words, status] :
         {std::pair{QStringList{missing}, 1},
          {QStringList{m_dataDir.path()}, 1},
          {QStringList{QStringLiteral("a.txt"), QStringLiteral("--help")}, 0},
          {QStringList{QStringLiteral("--version")}, 0},
          {QStringList{QStringLiteral("-x")}, 2},
          {QStringList{QStringLiteral("a.txt"), QStringLiteral("b.txt")}, 2},
          {QStringList{QStringLiteral("--"), QStringLiteral("-x")}, 1}}) {
        shown.clear();
        EXPECT_FALSE(Launch(words));
        EXPECT_EQ(TestApp().StartUpExitCode(), status) << words.join(' ').toStdString();
        EXPECT_EQ(TestApp().MainFrame(), nullptr);
        if (status == 1) { // the reason, naming the book
            EXPECT_TRUE(shown.contains(words.last())) << shown.toStdString();
        }
    }
}

// A later launch's book reaches the running reader: a minimised one comes back and opens it, a
// hidden one without a book only comes back, and during a dialog the book waits for it to close.
using HandOverTest = ReaderTest;

TEST_F(HandOverTest, TheReaderComesBackAndOpensTheBookOnceNoDialogIsOpen) {
    const QString book = MakeBook(QStringLiteral(u"第二本.txt"), 9000);
    const auto shownPath = [this] {
        return QString::fromStdU16String(m_view->Session().Book().m_strPath);
    };
    m_frame->showMinimized();
    QCoreApplication::processEvents();
    ASSERT_TRUE(m_frame->isMinimized());
    TestApp().OnHandOver(QStringList{book});
    EXPECT_FALSE(m_frame->isMinimized());
    EXPECT_TRUE(QTest::qWaitForWindowActive(m_frame));
    EXPECT_EQ(shownPath(), book);
    m_frame->hide();
    TestApp().OnHandOver(QStringList{});
    EXPECT_TRUE(m_frame->isVisible());
    EXPECT_EQ(shownPath(), book);
    const QString later = MakeBook(QStringLiteral("later.txt"), 9000);
    QDialog dialog(m_frame);
    dialog.setModal(true);
    dialog.show();
    ASSERT_EQ(QApplication::activeModalWidget(), &dialog);
    TestApp().OnHandOver(QStringList{later});
    QTest::qWait(300);
    EXPECT_EQ(shownPath(), book);
    dialog.accept();
    QTRY_COMPARE_WITH_TIMEOUT(shownPath(), later, 2000);
}

// `veska --add` beside the running reader still prints what it added, and the reader's open 书架
// window shows the books at once, the book picked in it still picked; no book is opened for it.
TEST_F(HandOverTest, AnAddBesideTheReaderShowsInItsOpenShelfWindow) {
    const QString book = MakeBook(QStringLiteral(u"在读.txt"), 9000);
    Open(book);
    QDir(m_dataDir.path()).mkpath(QStringLiteral(u"书库/卷一"));
    WriteFile(m_dataDir.filePath(QStringLiteral(u"书库/甲.txt")),
              "《甲书》\n作者：某甲\n\n正文。\n");
    WriteFile(m_dataDir.filePath(QStringLiteral(u"书库/卷一/乙.txt")), "书名：乙书\n\n正文。\n");
    int rowsBefore = -1;
    int rowsAfter = -1;
    QString picked;
    QByteArray printed;
    ScopedModalHook hook([&](QDialog& window) {
        auto* shelf = qobject_cast<CShelfDlg*>(&window);
        if (shelf == nullptr) {
            return;
        }
        const QAbstractItemModel* model = shelf->List()->model();
        rowsBefore = model->rowCount();
        shelf->List()->sortByColumn(CShelfDlg::kAdded, Qt::DescendingOrder); // new books first
        QProcess add;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
            environment.remove(QLatin1String(name));
        }
        environment.insert(QStringLiteral("VESKA_LOG"), QString());
        add.setProcessEnvironment(environment);
        add.start(QStringLiteral(VESKA_BINARY_DIR "/app/veska"),
                  {QStringLiteral("--add"), m_dataDir.filePath(QStringLiteral(u"书库"))});
        // The reader answers while the add runs: wait without blocking it.
        EXPECT_TRUE(QTest::qWaitFor([&] { return add.state() == QProcess::NotRunning; }, 10000));
        printed = add.readAllStandardOutput();
        EXPECT_TRUE(QTest::qWaitFor([&] { return model->rowCount() == rowsBefore + 2; }, 3000));
        rowsAfter = model->rowCount();
        picked = shelf->PathAt(shelf->List()->currentIndex().row());
        shelf->reject();
    });
    m_frame->OnCommand(ID_SHELF);
    EXPECT_EQ(rowsBefore, 1);
    EXPECT_EQ(rowsAfter, 3);
    EXPECT_EQ(picked, book);
    EXPECT_TRUE(printed.contains("2 added, 0 already on the shelf, 0 skipped"))
        << printed.toStdString();
    EXPECT_EQ(BookName(), u"在读.txt");
}

class SingleInstanceTest : public ReaderEnvironmentTest {
protected:
    void TearDown() override {
        for (auto& process : m_processes) {
            if (process->state() != QProcess::NotRunning) {
                ::kill(pid_t(process->processId()), SIGCONT);
                process->kill();
                process->waitForFinished(5000);
            }
        }
        ReaderEnvironmentTest::TearDown();
    }

    // The reader started on a new book of that name.
    QProcess* Launch(const QString& name) {
        const QString book = m_dataDir.filePath(name);
        WriteFile(book, ChineseBook(20000, int(m_processes.size())));
        auto& process = m_processes.emplace_back(std::make_unique<QProcess>());
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("VESKA_DATA_DIR"), m_dataDir.path());
        environment.insert(QStringLiteral("VESKA_STATS_URL"), QString());
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        process->setProcessEnvironment(environment);
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process->start(QStringLiteral(VESKA_BINARY_DIR "/app/veska"), QStringList{book});
        EXPECT_TRUE(process->waitForStarted(5000));
        return process.get();
    }

    // Whether the history records the book within ten seconds.
    bool Records(const QString& name) {
        return QTest::qWaitFor(
            [&] {
                return HoldsLegacy(ReadFile(DataPath("read_history.dat")), name.toStdU16String());
            },
            10000);
    }
    std::vector<std::unique_ptr<QProcess>> m_processes;
};

// A second launch hands its book to the running reader and ends; a stopped reader gets no answer
// within 2 s, so the next one starts on its own and takes the name over; a killed one leaves its
// socket behind, which the next one replaces before taking hand-overs itself.
TEST_F(SingleInstanceTest, ALaterLaunchHandsOverToTheLiveReaderAndOnlyToThatOne) {
    QProcess* first = Launch(QStringLiteral(u"青萍剑录.txt"));
    ASSERT_TRUE(Records(QStringLiteral(u"青萍剑录.txt")));
    QProcess* second = Launch(QStringLiteral("other.txt"));
    ASSERT_TRUE(second->waitForFinished(5000));
    EXPECT_EQ(second->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second->exitCode(), 0);
    EXPECT_TRUE(Records(QStringLiteral("other.txt")));
    EXPECT_EQ(first->state(), QProcess::Running);

    ::kill(pid_t(first->processId()), SIGSTOP);
    QProcess* next = Launch(QStringLiteral("b.txt"));
    ASSERT_TRUE(Records(QStringLiteral("b.txt")));
    EXPECT_EQ(next->state(), QProcess::Running);
    next->kill();
    next->waitForFinished(5000);
    QProcess* third = Launch(QStringLiteral("c.txt"));
    ASSERT_TRUE(Records(QStringLiteral("c.txt")));
    QProcess* fourth = Launch(QStringLiteral("d.txt"));
    ASSERT_TRUE(fourth->waitForFinished(3000));
    EXPECT_EQ(fourth->exitCode(), 0);
    EXPECT_TRUE(Records(QStringLiteral("d.txt")));
    EXPECT_EQ(third->state(), QProcess::Running);
}

// A temporary directory of its own and no $XDG_RUNTIME_DIR, as long as the test runs.
class SocketPlaceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_tmp.isValid());
        qputenv("TMPDIR", m_tmp.path().toLocal8Bit());
        qunsetenv("XDG_RUNTIME_DIR");
    }
    void TearDown() override {
        RestoreVariable("TMPDIR", m_savedTmp);
        RestoreVariable("XDG_RUNTIME_DIR", m_savedRuntime);
    }
    static void RestoreVariable(const char* name, const QByteArray& value) {
        if (value.isNull()) {
            qunsetenv(name);
        } else {
            qputenv(name, value);
        }
    }
    static unsigned Mode(const QString& path) {
        struct stat info {};
        return ::lstat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 07777 : 0;
    }
    QString Name(QString* problem = nullptr) const {
        return CSingleInstance::ServerName(m_data.path(), problem);
    }

    const QByteArray m_savedTmp = qgetenv("TMPDIR");
    const QByteArray m_savedRuntime = qgetenv("XDG_RUNTIME_DIR");
    QTemporaryDir m_tmp;
    QTemporaryDir m_data;
    const QString m_own = m_tmp.filePath(QStringLiteral("veska-%1").arg(::getuid()));
};

// Each data directory has a socket of its own. Without $XDG_RUNTIME_DIR it goes into a directory
// made for it, which only this user may enter. Whatever another user could have put under that
// name instead means no socket.
TEST_F(SocketPlaceTest, EachDataDirectorysSocketLivesOnlyInADirectoryOfThisUsersAlone) {
    QTemporaryDir other;
    EXPECT_NE(Name(), CSingleInstance::ServerName(other.path()));
    EXPECT_EQ(Name(), // however the directory is written
              CSingleInstance::ServerName(m_data.path() + QStringLiteral("/./")));
    ASSERT_EQ(QFileInfo(Name()).path(), m_own);
    EXPECT_EQ(Mode(m_own), 0700U);

    const QString elsewhere = m_tmp.filePath(QStringLiteral("elsewhere"));
    ASSERT_TRUE(QDir().mkdir(elsewhere, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    std::vector<std::pair<const char*, std::function<void()>>> planted = {
        {"a plain file", [&] { WriteFile(m_own, "x"); }},
        {"a directory open to others",
         [&] {
             QDir().mkdir(m_own);
             ::chmod(QFile::encodeName(m_own).constData(), 0777);
         }},
        {"a link to a private directory", [&] { QFile::link(elsewhere, m_own); }},
    };
    if (::getuid() == 0) {
        planted.emplace_back("another user's private directory", [&] {
            QDir().mkdir(m_own);
            ::chmod(QFile::encodeName(m_own).constData(), 0700);
            ASSERT_EQ(::chown(QFile::encodeName(m_own).constData(), 65534, 65534), 0);
        });
    }
    const auto clear = [&] {
        ::unlink(QFile::encodeName(m_own).constData());
        ::rmdir(QFile::encodeName(m_own).constData());
    };
    for (const auto& [what, plant] : planted) {
        clear();
        plant();
        QString problem;
        EXPECT_EQ(Name(&problem), QString()) << what;
        EXPECT_TRUE(problem.contains(m_own)) << what << ": " << problem.toStdString();
    }

    // A private $XDG_RUNTIME_DIR holds it; one open to others does not.
    clear();
    qputenv("XDG_RUNTIME_DIR", elsewhere.toLocal8Bit());
    EXPECT_EQ(QFileInfo(Name()).path(), elsewhere);
    ::chmod(QFile::encodeName(elsewhere).constData(), 0755);
    EXPECT_EQ(QFileInfo(Name()).path(), m_own);
}

// A later launch in another thread, this one answering it.
bool HandOverFromAnotherThread(const QString& name, const QStringList& args, uid_t owner) {
    bool handedOver = false;
    std::unique_ptr<QThread> launch(
        QThread::create([&] { handedOver = CSingleInstance::HandOver(name, args, 3000, owner); }));
    launch->start();
    EXPECT_TRUE(QTest::qWaitFor([&] { return launch->isFinished(); }, 5000));
    launch->wait();
    return handedOver;
}

// A reader listening in this process (its event loop answers the launches).
class SingleInstanceHandOverTest : public ::testing::Test {
protected:
    void SetUp() override {
        TestApp();
        ASSERT_TRUE(m_reader.Listen());
    }
    QTemporaryDir m_dir;
    const QString m_name = m_dir.filePath(QStringLiteral("reader"));
    CSingleInstance m_reader{m_name};
};

// Whoever listens learns the book and keeps the launch from showing a window: it has to be a
// reader of this user's. One of another user's gets nothing, and the launch goes on alone.
TEST_F(SingleInstanceHandOverTest, OnlyAReaderOfThisUserIsHandedTheBook) {
    std::vector<QStringList> received;
    QObject::connect(&m_reader, &CSingleInstance::ArgumentsReceived,
                     [&](const QStringList& args) { received.push_back(args); });
    EXPECT_FALSE(HandOverFromAnotherThread(m_name, {QStringLiteral("/a.txt")}, ::getuid() + 1));
    QTest::qWait(100);
    EXPECT_TRUE(received.empty());
    EXPECT_TRUE(HandOverFromAnotherThread(m_name, {QStringLiteral("/b.txt")}, ::getuid()));
    EXPECT_EQ(received, std::vector<QStringList>{{QStringLiteral("/b.txt")}});
}

// A connection the reader is to accept while this process has no descriptor left: it is
// dropped, and the reader keeps listening under its name (making the socket's file anew should it
// have gone), so that the launches after the shortage reach it again.
TEST_F(SingleInstanceHandOverTest, RunningOutOfDescriptorsDoesNotEndTheListening) {
    for (const bool fileGone : {false, true}) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strcpy(address.sun_path, QFile::encodeName(m_name).constData());
        const int waiting = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        ASSERT_EQ(::connect(waiting, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        if (fileGone) {
            ::unlink(address.sun_path);
        }
        rlimit limit{};
        ::getrlimit(RLIMIT_NOFILE, &limit);
        const rlim_t saved = limit.rlim_cur;
        limit.rlim_cur = std::min<rlim_t>(saved, 1024); // quicker to fill
        ::setrlimit(RLIMIT_NOFILE, &limit);
        std::vector<int> fillers;
        for (int fd; (fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;) {
            fillers.push_back(fd);
        }
        QTest::qWait(100);
        for (const int fd : fillers) {
            ::close(fd);
        }
        limit.rlim_cur = saved;
        ::setrlimit(RLIMIT_NOFILE, &limit);
        ::close(waiting);
        EXPECT_TRUE(m_reader.OwnsName()) << fileGone;
        EXPECT_TRUE(HandOverFromAnotherThread(m_name, {QStringLiteral("/c.txt")}, ::getuid()))
            << fileGone;
    }
}

} // namespace
