#pragma once

#include <string>

class CDataBuffer;

// One HTTP GET at a time over a handle of its own.
struct IUrlDataGet {
    // 0 when a transfer handle was made, -1 when not.
    virtual int Init() = 0;
    // Fetches `url` into `buffer`; returns the libcurl result code, 0 (CURLE_OK) on success. On
    // failure `buffer` is left as it was.
    virtual int GetUrlData(const std::string& url, CDataBuffer* buffer) = 0;
    virtual ~IUrlDataGet() = default;
};
