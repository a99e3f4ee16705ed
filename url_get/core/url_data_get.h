#pragma once

#include "url_get/core/data_buffer.h"
#include "url_get/core/i_url_data_get.h"
#include "url_get/core/thread_lock.h"

#include <cstddef>
#include <curl/curl.h>
#include <vector>

// An HTTP GET over one reused libcurl easy handle. Every transfer has finite connect and total
// time-outs and can be cut short from another thread with Abort(), so a silent server never
// holds its thread for good.
class CUrlDataGet : public IUrlDataGet {
public:
    static constexpr long kConnectTimeoutMs = 10000;
    static constexpr long kTotalTimeoutMs = 30000;
    // A larger body ends the transfer as failed (CURLE_WRITE_ERROR): the answers fetched are a
    // few bytes, and an endless one must not fill memory for the length of the time-out.
    static constexpr std::size_t kMaxBodyBytes = 1 << 20;

    CUrlDataGet();
    ~CUrlDataGet() override;

    CUrlDataGet(const CUrlDataGet&) = delete;
    CUrlDataGet& operator=(const CUrlDataGet&) = delete;

    int Init() override;
    int GetUrlData(const std::string& url, CDataBuffer* buffer) override;

    // Applies to the transfers that start afterwards; call it before the handle's thread runs.
    void SetTimeouts(long connectMs, long totalMs);
    // Fails the running transfer at once and every later one; safe from any thread.
    void Abort();

    // libcurl callbacks; `userdata` / `clientp` is the CUrlDataGet.
    static size_t WriteCallback(char* data, size_t size, size_t count, void* userdata);
    static int ProgressCallback(void* clientp, curl_off_t dltotal, curl_off_t dlnow,
                                curl_off_t ultotal, curl_off_t ulnow);
    static curl_socket_t OpenSocketCallback(void* clientp, curlsocktype purpose,
                                            curl_sockaddr* address);
    static int CloseSocketCallback(void* clientp, curl_socket_t socket);

private:
    bool IsAborted();

    CURL* m_curl = nullptr;
    CDataBuffer m_buffer; // collects the body while a transfer runs; released after it
    long m_connectTimeoutMs = kConnectTimeoutMs;
    long m_totalTimeoutMs = kTotalTimeoutMs;

    // Guards the abort flag and the open sockets, which Abort() shuts down from another thread.
    thread_lock m_socketLock;
    bool m_aborted = false;
    std::vector<curl_socket_t> m_sockets;
};
