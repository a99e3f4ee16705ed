#pragma once

#include "url_get/core/data_buffer.h"
#include "url_get/core/url_request.h"

// A finished transfer on its way back to the window thread.
struct UrlResult {
    int result = 0; // the libcurl result code: 0 (CURLE_OK) when a response was received
    UrlRequest request;
    CDataBuffer data; // the body; empty after a failed transfer
};
