#include "app/veska_app.h"
#include "url_get/core/curl_global.h"

int main(int argc, char** argv) {
    CVeskaApp app(argc, argv);
    UrlGetGlobalInit();
    if (!app.InitInstance()) {
        return 1;
    }
    const int code = app.exec();
    // The frame owns the URL workers: they are stopped and joined before static objects go.
    app.DestroyMainFrame();
    return code;
}
