#pragma once

#include <string>

// One queued GET: the URL exactly as given and the caller's integer, carried unchanged.
struct UrlRequest {
    std::string url;
    int param = 0;
};
