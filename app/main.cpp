#include "app/command_line.h"
#include "app/veska_app.h"
#include "url_get/core/curl_global.h"

#include <string>
#include <vector>

int main(int argc, char** argv) {
    // The help, the version and a usage error need no display: answer them before the
    // application starts, which ends the process when there is none.
    const ReaderCommandLine early = ParseReaderCommandLine(
        WithoutToolkitOptions(std::vector<std::string>(argv + 1, argv + argc)));
    if (PrintReaderAnswer(early)) {
        return 0;
    }
    if (early.action == ReaderCommandLine::Action::UsageError) {
        return ReportReaderUsageError(early);
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
