#include "app/veska_app.h"
#if __has_include("url_get/core/url_get_manager.h")
#include "url_get/core/url_get_manager.h"
#define VESKA_HAVE_URL_GET 1
#endif

int main(int argc, char** argv) {
    CVeskaApp app(argc, argv);
#ifdef VESKA_HAVE_URL_GET
    UrlGetGlobalInit();
#endif
    if (!app.InitInstance()) {
        return 1;
    }
    const int code = app.exec();
    // The frame owns the URL workers: they are stopped and joined before static objects go.
    app.DestroyMainFrame();
    return code;
}
