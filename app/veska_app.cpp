#include "app/veska_app.h"

#include "app/about_dlg.h"
#include "app/main_frame.h"
#include "app/modal_hook.h"
#include "res/resource.h"

#include <QFileInfo>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QTranslator>

#include <cstdio>

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
    const QFileInfo info(path);
    if (!info.exists()) {
        return QStringLiteral(u"文件不存在");
    }
    if (!info.isFile()) {
        return QStringLiteral(u"不是普通文件");
    }
    if (!info.isReadable()) {
        return QStringLiteral(u"没有读取权限");
    }
    return {};
}

void UseLinearGlyphBlending() {
    FT_Bool noStemDarkening = 1;
    FT_Property_Set(qt_getFreetype(), "cff", "no-stem-darkening", &noStemDarkening);
}

} // namespace

CVeskaApp::CVeskaApp(int& argc, char** argv) : QApplication(argc, argv) {
    UseLinearGlyphBlending();
    setApplicationName(QStringLiteral("Veska"));
    setApplicationDisplayName(QStringLiteral("Veska"));
    setDesktopFileName(QStringLiteral("veska")); // the installed menu entry, veska.desktop
    // The window hides in the tray; closing a dialog while it is hidden must not end the program.
    setQuitOnLastWindowClosed(false);
    // The interface is Simplified Chinese: Qt's own dialogs and buttons too, when the
    // translations are installed.
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
    return InitInstance(arguments());
}

bool CVeskaApp::InitInstance(const QStringList& args) {
    // A file named on the command line is checked like a document the framework would open, but
    // never shown: only the reader's own commands open books.
    if (args.size() > 1) {
        const QString problem = OpenProblem(args.at(1));
        if (!problem.isEmpty()) {
            const QString message =
                QStringLiteral(u"无法打开文件“%1”：%2。").arg(args.at(1), problem);
            std::fprintf(stderr, "veska: %s\n", message.toLocal8Bit().constData());
            QMessageBox box(QMessageBox::Critical, QStringLiteral("Veska"), message,
                            QMessageBox::Ok);
            RunModal(box);
            return false;
        }
    }

    m_pMainFrame = std::make_unique<CMainFrame>();
    if (!m_pMainFrame->Create()) {
        m_pMainFrame.reset();
        return false;
    }
    m_pMainFrame->InitialUpdateFrame();
    m_pMainFrame->show();
    return true;
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
    m_pMainFrame.reset();
}
