#include "url_get/core/url_get_task.h"

#include "diag/log.h"
#include "url_get/core/url_get_assert.h"
#include "url_get/core/url_get_manager.h"

#include <climits>
#include <utility>

CUrlGetTask::CUrlGetTask(CUrlGetManager* manager) : m_url_manager(manager) {
    if (m_url_manager == nullptr) {
        UrlGetAssertFailed("..\\url_get\\core\\url_get_task.cpp", 17, "m_url_manager != NULL");
    }
}

CUrlGetTask::~CUrlGetTask() {
    // The thread uses the members below, so it must be gone before they are.
    RequestStop();
    Join();
}

int CUrlGetTask::Init() {
    return m_data_get.Init();
}

void CUrlGetTask::OnStopRequested() {
    m_data_get.Abort();
}

std::unique_ptr<UrlRequest> CUrlGetTask::NextRequest() {
    if (m_requests.empty() && m_url_manager != nullptr) {
        m_url_manager->TakeRequests(m_requests);
    }
    if (m_requests.empty()) {
        return nullptr;
    }
    std::unique_ptr<UrlRequest> request = std::move(m_requests.front());
    m_requests.pop_front();
    return request;
}

void CUrlGetTask::TakeResults(std::list<UrlResult>& into) {
    m_resultsLock.Lock();
    into.splice(into.end(), m_results);
    m_resultsLock.Unlock();
}

unsigned int CUrlGetTask::Run() {
    while (!StopRequested()) {
        std::unique_ptr<UrlRequest> request = NextRequest();
        if (!request) {
            WaitForStop(kIdlePollMs);
            continue;
        }

        LogMessage started;
        LogAppend(started, "GetUrlData: ");
        LogAppend(started, request->url);
        CLog::Instance().Write(LOG_INFO, started);

        m_buffer.Clear();
        const int result = m_data_get.GetUrlData(request->url, &m_buffer);

        LogMessage finished;
        LogAppend(finished, "OnUrlData: ");
        LogAppend(finished, request->url);
        LogAppend(finished, "size: ");
        LogAppend(finished,
                  m_buffer.size() > INT_MAX ? INT_MAX : static_cast<int>(m_buffer.size()));
        CLog::Instance().Write(LOG_INFO, finished);

        // Built outside the lock so Update never waits on a copy of a large body. The body goes
        // with the result: the task holds no memory between transfers.
        std::list<UrlResult> filed;
        filed.push_back(UrlResult{result, std::move(*request), std::move(m_buffer)});
        m_buffer = CDataBuffer();
        m_resultsLock.Lock();
        m_results.splice(m_results.end(), filed);
        m_resultsLock.Unlock();
    }
    // Requests taken but not started are dropped with the queue.
    m_requests.clear();
    return 0;
}
