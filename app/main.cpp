#include "app/command_line.h"
#include "app/veska_app.h"
#include "url_get/core/curl_global.h"

#include <string>
#include <vector>

int main(int argc, char** argv) {
    // The help and the version need no display: answer them before the application starts.
    if (PrintReaderAnswer(
            ParseReaderCommandLine(std::vector<std::string>(argv + 1, argv + argc)))) {
        return 0;
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
