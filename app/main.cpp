#include "app/command_line.h"
#include "app/veska_app.h"
#include "shelf/shelf_command.h"
#include "url_get/core/curl_global.h"

#include <QCoreApplication>

#include <string>
#include <vector>

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
        return early.action == ReaderCommandLine::Action::AddToShelf ? AddToShelf(early.paths)
                                                                     : PrintShelf();
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
