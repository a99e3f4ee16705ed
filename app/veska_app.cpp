#include "app/veska_app.h"

#include "app/command_line.h"
#include "app/main_frame.h"
#include "app/single_instance.h"
#include "dialogs/about_dlg.h"
#include "platform/atomic_file.h"
#include "platform/paths.h"
#include "res/resource.h"
#include "text/chapter_cache.h"
#include "view/veska_view.h"
#include "widgets/dialog_template.h"
#include "widgets/modal_hook.h"

#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QTimer>
#include <QTranslator>

#include <cerrno>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_MODULE_H

// Qt's FreeType library (exported by QtGui). Qt switches the CFF driver's stem darkening on,
// and text in a font with darkened stems (the Noto CJK faces are CFF) is blended with gamma
// correction, pixel by pixel in software: that blending was a third of the time it took to paint
// a page on X11. With darkening off, glyphs blend linearly as in other X11 programs. It must be
// set before the first font engine is made, which reads it.
FT_Library qt_getFreetype();

namespace {

// Why a file named on the command line cannot be opened, or an empty string when it can.
QString OpenProblem(const QString& path) {
    const std::string fsPath = FsPathOfFile(path.toStdU16String());
    struct stat info {};
    if (::stat(fsPath.c_str(), &info) != 0) {
        return errno == EACCES ? QStringLiteral(u"没有读取权限") : QStringLiteral(u"文件不存在");
    }
    if (!S_ISREG(info.st_mode)) {
        return QStringLiteral(u"不是普通文件");
    }
    if (::access(fsPath.c_str(), R_OK) != 0) {
        return QStringLiteral(u"没有读取权限");
    }
    return {};
}

void UseLinearGlyphBlending() {
    FT_Bool noStemDarkening = 1;
    FT_Property_Set(qt_getFreetype(), "cff", "no-stem-darkening", &noStemDarkening);
}

// How long a launch waits for the running reader to take its book before starting on its own.
constexpr int kHandOverTimeoutMs = 2000;
// How often a handed-over book waiting for a dialog to close tries again.
constexpr int kPendingBookRetryMs = 200;

} // namespace

CVeskaApp::CVeskaApp(int& argc, char** argv) : QApplication(argc, argv) {
    UseLinearGlyphBlending();
    // arguments() would turn a file name that is not UTF-8 into U+FFFD; Qt has taken its own
    // options out of argv by now.
    for (int i = 0; i < argc; ++i) {
        m_arguments << QString::fromStdU16String(WidePathFromFs(argv[i]));
    }
    // No application display name: on X11 Qt would append it to every window title, and the
    // titles are exactly what the windows set ("设置", the configured title...).
    setApplicationName(QStringLiteral("Veska"));
    setDesktopFileName(QStringLiteral(VESKA_APP_ID)); // the installed menu entry's name
    // The window hides in the tray; closing a dialog while it is hidden must not end the program.
    setQuitOnLastWindowClosed(false);
    // The interface is Simplified Chinese: Qt's own dialogs and buttons too, when the
    // translations are installed, and the file dialog's dates and file types whatever the
    // locale the reader was started in (under C.UTF-8 they came in English).
    QLocale::setDefault(
        QLocale(QLocale::Chinese, QLocale::SimplifiedChineseScript, QLocale::China));
    auto* translator = new QTranslator(this);
    if (translator->load(QStringLiteral("qtbase_zh_CN"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        installTranslator(translator);
    }
}

CVeskaApp::~CVeskaApp() {
    DestroyMainFrame();
}

CVeskaApp* CVeskaApp::Instance() {
    return qobject_cast<CVeskaApp*>(QCoreApplication::instance());
}

bool CVeskaApp::InitInstance() {
    return InitInstance(m_arguments);
}

bool CVeskaApp::InitInstance(const QStringList& args) {
    std::vector<std::string> words;
    for (qsizetype i = 1; i < args.size(); ++i) {
        words.push_back(args.at(i).toStdString());
    }
    const ReaderCommandLine commandLine = ParseReaderCommandLine(words);
    if (PrintReaderAnswer(commandLine)) {
        m_nStartUpExitCode = 0;
        return false;
    }
    if (commandLine.action == ReaderCommandLine::Action::UsageError) {
        m_nStartUpExitCode = ReportReaderUsageError(commandLine);
        return false;
    }

    QString book;
    if (!commandLine.book.empty()) {
        const QString named = QString::fromStdString(commandLine.book);
        const QString problem = OpenProblem(named);
        if (!problem.isEmpty()) {
            const QString message = QStringLiteral(u"无法打开文件“%1”：%2。").arg(named, problem);
            std::fprintf(stderr, "veska: %s\n", message.toLocal8Bit().constData());
            QMessageBox box(QMessageBox::Critical, QStringLiteral("Veska"), message,
                            QMessageBox::Ok);
            box.setFont(CommonDialogFont());
            RunModal(box);
            m_nStartUpExitCode = 1;
            return false;
        }
        // The running reader has another working directory.
        book = QFileInfo(named).absoluteFilePath();
    }

    QString socketProblem;
    const QString serverName = CSingleInstance::ServerName(
        QString::fromStdString(FsPathFromAnsi(GetDataDir())), &socketProblem);
    if (serverName.isEmpty()) {
        std::fprintf(stderr,
                     "veska: not looking for a running reader, nor taking books from later "
                     "launches: %s\n",
                     socketProblem.toLocal8Bit().constData());
    } else if (CSingleInstance::HandOver(serverName,
                                         book.isEmpty() ? QStringList() : QStringList{book},
                                         kHandOverTimeoutMs)) {
        m_nStartUpExitCode = 0;
        return false;
    }

    // Saves cut short by a killed reader leave their temporary files; a save running in another
    // process keeps its own.
    RemoveStaleTemporaryFiles(FsPathFromAnsi(GetDataDir()));
    CChapterCache(GetDataDir()).RemoveStaleSaves();

    m_pMainFrame = std::make_unique<CMainFrame>();
    if (!m_pMainFrame->Create()) {
        m_pMainFrame.reset();
        m_nStartUpExitCode = 1;
        return false;
    }
    m_pMainFrame->InitialUpdateFrame();
    m_pMainFrame->show();

    if (!serverName.isEmpty()) {
        m_pSingleInstance = std::make_unique<CSingleInstance>(serverName);
        connect(m_pSingleInstance.get(), &CSingleInstance::ArgumentsReceived, this,
                &CVeskaApp::OnHandOver);
        connect(m_pSingleInstance.get(), &CSingleInstance::ShelfChanged, this, [this] {
            if (m_pMainFrame) {
                m_pMainFrame->OnShelfChanged();
            }
        });
        if (!m_pSingleInstance->Listen()) {
            std::fprintf(stderr, "veska: later launches cannot reach this reader: no socket %s\n",
                         serverName.toLocal8Bit().constData());
        }
    }

    if (!book.isEmpty()) {
        m_pMainFrame->GetActiveView()->OpenBook(book.toStdU16String());
    }
    return true;
}

void CVeskaApp::OnHandOver(const QStringList& args) {
    if (!m_pMainFrame) {
        return;
    }
    m_pMainFrame->OnTrayShow();
    if (!args.isEmpty() && !args.first().isEmpty()) {
        m_pendingBook = args.first();
        OpenPendingBook();
    }
}

void CVeskaApp::OpenPendingBook() {
    if (m_pendingBook.isEmpty() || !m_pMainFrame) {
        return;
    }
    if (activeModalWidget() != nullptr) {
        if (m_pendingTimer == nullptr) {
            m_pendingTimer = new QTimer(this);
            m_pendingTimer->setInterval(kPendingBookRetryMs);
            connect(m_pendingTimer, &QTimer::timeout, this, &CVeskaApp::OpenPendingBook);
        }
        m_pendingTimer->start();
        return;
    }
    if (m_pendingTimer != nullptr) {
        m_pendingTimer->stop();
    }
    const QString book = std::exchange(m_pendingBook, QString());
    m_pMainFrame->GetActiveView()->OpenBook(book.toStdU16String());
}

bool CVeskaApp::OnCommand(int id) {
    if (id == ID_APP_ABOUT) {
        OnAppAbout();
        return true;
    }
    return false;
}

void CVeskaApp::OnAppAbout() {
    CAboutDlg dialog(m_pMainFrame.get());
    dialog.DoModal();
}

void CVeskaApp::DestroyMainFrame() {
    // Stop answering later launches before the window they would talk to goes.
    m_pSingleInstance.reset();
    m_pendingBook.clear();
    if (m_pendingTimer != nullptr) {
        m_pendingTimer->stop();
    }
    m_pMainFrame.reset();
}
