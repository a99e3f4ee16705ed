#include "url_get/core/url_data_get.h"

#include "diag/log.h"
#include "url_get/core/curl_global.h"

#include <algorithm>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

CUrlDataGet::CUrlDataGet() = default;

CUrlDataGet::~CUrlDataGet() {
    // Closes any kept-alive connection through CloseSocketCallback, so it runs while the
    // members it touches still exist.
    curl_easy_cleanup(m_curl);
}

int CUrlDataGet::Init() {
    if (m_curl != nullptr) {
        return 0;
    }
    UrlGetGlobalInit();
    m_curl = curl_easy_init();
    return m_curl != nullptr ? 0 : -1;
}

void CUrlDataGet::SetTimeouts(long connectMs, long totalMs) {
    m_connectTimeoutMs = connectMs;
    m_totalTimeoutMs = totalMs;
}

int CUrlDataGet::GetUrlData(const std::string& url, CDataBuffer* buffer) {
    m_buffer.Clear();

    int result = CURLE_FAILED_INIT;
    if (m_curl == nullptr) {
        result = CURLE_FAILED_INIT;
    } else if (IsAborted()) {
        result = CURLE_ABORTED_BY_CALLBACK;
    } else {
        curl_easy_setopt(m_curl, CURLOPT_URL, url.c_str());
        curl_easy_setopt(m_curl, CURLOPT_WRITEFUNCTION, &CUrlDataGet::WriteCallback);
        curl_easy_setopt(m_curl, CURLOPT_WRITEDATA, this);
        // Signals cannot reach a worker thread safely, and without them a name lookup could
        // not be timed out, so the threaded resolver does it.
        curl_easy_setopt(m_curl, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(m_curl, CURLOPT_CONNECTTIMEOUT_MS, m_connectTimeoutMs);
        curl_easy_setopt(m_curl, CURLOPT_TIMEOUT_MS, m_totalTimeoutMs);
        // Abort() works through these: the progress callback ends a transfer that has no
        // socket yet, shutting the socket down wakes one that waits on it.
        curl_easy_setopt(m_curl, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(m_curl, CURLOPT_XFERINFOFUNCTION, &CUrlDataGet::ProgressCallback);
        curl_easy_setopt(m_curl, CURLOPT_XFERINFODATA, this);
        curl_easy_setopt(m_curl, CURLOPT_OPENSOCKETFUNCTION, &CUrlDataGet::OpenSocketCallback);
        curl_easy_setopt(m_curl, CURLOPT_OPENSOCKETDATA, this);
        curl_easy_setopt(m_curl, CURLOPT_CLOSESOCKETFUNCTION, &CUrlDataGet::CloseSocketCallback);
        curl_easy_setopt(m_curl, CURLOPT_CLOSESOCKETDATA, this);
        result = curl_easy_perform(m_curl);
    }

    LogMessage message;
    // The body moves on (or is dropped): the buffer's memory is not held between transfers.
    CDataBuffer body = std::move(m_buffer);
    m_buffer = CDataBuffer();
    if (result == CURLE_OK) {
        if (buffer != nullptr) {
            *buffer = std::move(body);
        }
        LogAppend(message, "GetUrlData success: ");
        LogAppend(message, "0");
        LogAppend(message, "url: ");
        LogAppend(message, url);
        CLog::Instance().Write(LOG_INFO, message);
    } else {
        LogAppend(message, "GetUrlData error: ");
        LogAppend(message, result);
        LogAppend(message, "url: ");
        LogAppend(message, url);
        CLog::Instance().Write(LOG_ERROR, message);
    }
    return result;
}

void CUrlDataGet::Abort() {
    m_socketLock.Lock();
    m_aborted = true;
    for (curl_socket_t socket : m_sockets) {
        // Only shut down: the descriptor stays libcurl's to close, so it cannot be reused
        // under libcurl's feet.
        shutdown(socket, SHUT_RDWR);
    }
    m_socketLock.Unlock();
}

bool CUrlDataGet::IsAborted() {
    m_socketLock.Lock();
    const bool aborted = m_aborted;
    m_socketLock.Unlock();
    return aborted;
}

size_t CUrlDataGet::WriteCallback(char* data, size_t size, size_t count, void* userdata) {
    auto* self = static_cast<CUrlDataGet*>(userdata);
    const size_t n = size * count;
    if (n > kMaxBodyBytes - self->m_buffer.size()) {
        return 0; // fails the transfer: no answer of ours is that long
    }
    try {
        self->m_buffer.Append(data, n);
    } catch (...) {
        // No exception may cross libcurl's C frames; a short count fails the transfer
        // (CURLE_WRITE_ERROR) instead.
        return 0;
    }
    return n;
}

int CUrlDataGet::ProgressCallback(void* clientp, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<CUrlDataGet*>(clientp)->IsAborted() ? 1 : 0;
}

curl_socket_t CUrlDataGet::OpenSocketCallback(void* clientp, curlsocktype, curl_sockaddr* address) {
    auto* self = static_cast<CUrlDataGet*>(clientp);
    self->m_socketLock.Lock();
    curl_socket_t socket = CURL_SOCKET_BAD;
    if (!self->m_aborted) {
        socket = ::socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
        if (socket >= 0) {
            self->m_sockets.push_back(socket);
        } else {
            socket = CURL_SOCKET_BAD;
        }
    }
    self->m_socketLock.Unlock();
    return socket;
}

int CUrlDataGet::CloseSocketCallback(void* clientp, curl_socket_t socket) {
    auto* self = static_cast<CUrlDataGet*>(clientp);
    self->m_socketLock.Lock();
    auto& sockets = self->m_sockets;
    sockets.erase(std::remove(sockets.begin(), sockets.end(), socket), sockets.end());
    const int result = close(socket);
    self->m_socketLock.Unlock();
    return result;
}
