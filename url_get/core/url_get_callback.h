#pragma once

#include <string>

class CDataBuffer;

// Implemented by the application to receive finished transfers; called on the thread that calls
// IUrlGetManager::Update.
struct IUrlGetCallback {
    // `result` is the libcurl result code (0 on success); `data` holds the body and is valid
    // only during the call.
    virtual void OnUrlData(const std::string& url, int result, CDataBuffer* data, int param) = 0;

protected:
    ~IUrlGetCallback() = default;
};
