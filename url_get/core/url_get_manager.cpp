#include "url_get/core/url_get_manager.h"

#include "url_get/core/curl_global.h"
#include "url_get/core/url_data_get.h"
#include "url_get/core/url_get_assert.h"
#include "url_get/core/url_get_task.h"

#include <algorithm>
#include <new>

IUrlGetManager* CreateUrlGetManager() {
    UrlGetGlobalInit();
    return new CUrlGetManager();
}

CUrlGetManager::CUrlGetManager()
    : m_connectTimeoutMs(CUrlDataGet::kConnectTimeoutMs),
      m_totalTimeoutMs(CUrlDataGet::kTotalTimeoutMs) {}

CUrlGetManager::~CUrlGetManager() {
    // Ask every worker first so they wind down together, then wait for each.
    for (CUrlGetTask* task : m_tasks) {
        task->RequestStop();
    }
    for (CUrlGetTask* task : m_tasks) {
        delete task;
    }
}

int CUrlGetManager::Init() {
    return 0;
}

int CUrlGetManager::Start(int num) {
    if (num <= 0) {
        UrlGetAssertFailed("..\\url_get\\core\\url_get_manager.cpp", 35, "num > 0");
        return 0;
    }
    UrlGetGlobalInit();
    for (int i = 0; i < num; ++i) {
        CUrlGetTask* task = new (std::nothrow) CUrlGetTask(this);
        if (task == nullptr) {
            UrlGetAssertFailed("..\\url_get\\core\\url_get_manager.cpp", 40, "pTask != NULL");
            continue;
        }
        task->SetTimeouts(m_connectTimeoutMs, m_totalTimeoutMs);
        m_tasks.push_back(task);
        // A task whose handle or thread could not be made stays listed; its requests are
        // left for the others.
        task->Init();
        task->Start();
    }
    return 0;
}

void CUrlGetManager::SetCallback(IUrlGetCallback* callback) {
    m_callback = callback;
}

int CUrlGetManager::AddRequest(const std::string& url, int param) {
    auto request = std::make_unique<UrlRequest>(UrlRequest{url, param});
    m_lock.Lock();
    m_requests.push_back(std::move(request));
    m_lock.Unlock();
    ++m_outstanding;
    // Idle workers sleep until there is work rather than polling for it.
    for (CUrlGetTask* task : m_tasks) {
        task->Wake();
    }
    return 0;
}

void CUrlGetManager::TakeRequests(std::list<std::unique_ptr<UrlRequest>>& into) {
    m_lock.Lock();
    into.splice(into.end(), m_requests);
    m_lock.Unlock();
}

void CUrlGetManager::Update(int64_t) {
    std::list<UrlResult> results;
    for (CUrlGetTask* task : m_tasks) {
        task->TakeResults(results);
    }
    m_outstanding -= std::min(m_outstanding, results.size());
    for (UrlResult& result : results) {
        // Read each time: a callback may switch delivery off for the rest.
        if (m_callback == nullptr) {
            break;
        }
        m_callback->OnUrlData(result.request.url, result.result, &result.data,
                              result.request.param);
    }
}

void CUrlGetManager::SetTransferTimeouts(long connectMs, long totalMs) {
    m_connectTimeoutMs = connectMs;
    m_totalTimeoutMs = totalMs;
}
