#pragma once

#include "url_get/core/url_get_callback.h"

#include <cstdint>
#include <string>

// The application's entry into the background URL fetch. Init, Start, SetCallback, AddRequest
// and Update are called on one thread (the window thread); deleting the manager stops and joins
// its workers.
struct IUrlGetManager {
    virtual int Init() = 0;
    // Starts `num` more worker threads; 0 or less is refused with an assertion message.
    virtual int Start(int num) = 0;
    // Where Update delivers results; null drops them.
    virtual void SetCallback(IUrlGetCallback* callback) = 0;
    // Queues one GET; never waits on the network.
    virtual int AddRequest(const std::string& url, int param) = 0;
    // Delivers the results finished since the last call, in order, on the calling thread.
    // `now` is the current time in seconds since 1970 and is not otherwise used.
    virtual void Update(int64_t now) = 0;
    // Whether a request is queued, running or has a result Update has not delivered yet: until
    // then the caller must keep calling Update.
    virtual bool HasWork() const = 0;
    virtual ~IUrlGetManager() = default;
};
