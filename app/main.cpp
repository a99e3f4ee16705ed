#include "app/command_line.h"
#include "app/single_instance.h"
#include "app/veska_app.h"
#include "platform/paths.h"
#include "shelf/shelf_command.h"
#include "url_get/core/curl_global.h"

#include <QCoreApplication>

#include <string>
#include <vector>

namespace {
// How long `veska --add` waits for a running reader to take the news.
constexpr int kTellReaderTimeoutMs = 2000;
} // namespace

int main(int argc, char** argv) {
    // The help, the version, a usage error and the shelf commands need no display: answer them
    // before the application starts, which ends the process when there is none.
    const ReaderCommandLine early = ParseReaderCommandLine(
        WithoutToolkitOptions(std::vector<std::string>(argv + 1, argv + argc)));
    if (PrintReaderAnswer(early)) {
        return 0;
    }
    if (early.action == ReaderCommandLine::Action::UsageError) {
        return ReportReaderUsageError(early);
    }
    if (early.action == ReaderCommandLine::Action::AddToShelf ||
        early.action == ReaderCommandLine::Action::PrintShelf) {
        // The database driver is a plugin, which an application object finds; no window is
        // made, so no display is needed.
        QCoreApplication core(argc, argv);
        if (early.action == ReaderCommandLine::Action::PrintShelf) {
            return PrintShelf();
        }
        return AddToShelf(early.paths, [] {
            // A reader running on this data directory reads its shelf again, so that its 书架
            // window shows the books; without one there is nobody to tell.
            const QString name =
                CSingleInstance::ServerName(QString::fromStdString(FsPathFromAnsi(GetDataDir())));
            if (!name.isEmpty()) {
                CSingleInstance::TellShelfChanged(name, kTellReaderTimeoutMs);
            }
        });
    }
    CVeskaApp app(argc, argv);
    UrlGetGlobalInit();
    if (!app.InitInstance()) {
        return app.StartUpExitCode();
    }
    const int code = app.exec();
    // The frame owns the URL workers: they are stopped and joined before static objects go.
    app.DestroyMainFrame();
    return code;
}
