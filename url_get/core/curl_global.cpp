#include "url_get/core/curl_global.h"

#include <curl/curl.h>
#include <mutex>

void UrlGetGlobalInit() {
    static std::once_flag once;
    // A failure here shows up later as a handle that cannot be made, which every transfer
    // reports on its own.
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_ALL); });
}
