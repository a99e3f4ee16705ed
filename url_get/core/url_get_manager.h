#pragma once

#include "url_get/core/i_url_get_manager.h"
#include "url_get/core/thread_lock.h"
#include "url_get/core/url_request.h"

#include <cstddef>
#include <list>
#include <memory>
#include <vector>

class CUrlGetTask;

// Creates a manager with no workers; the caller owns it. Sets up libcurl if nobody has yet.
IUrlGetManager* CreateUrlGetManager();

// Queues requests for its workers and hands their results to the callback in Update.
class CUrlGetManager : public IUrlGetManager {
public:
    CUrlGetManager();
    // Stops every worker (a transfer in progress is cut short), then joins them.
    ~CUrlGetManager() override;

    CUrlGetManager(const CUrlGetManager&) = delete;
    CUrlGetManager& operator=(const CUrlGetManager&) = delete;

    int Init() override;
    int Start(int num) override;
    void SetCallback(IUrlGetCallback* callback) override;
    int AddRequest(const std::string& url, int param) override;
    void Update(int64_t now) override;
    bool HasWork() const override { return m_outstanding > 0 && !m_tasks.empty(); }

    // Called by a worker whose own queue is empty: moves every pending request into `into`,
    // in order.
    void TakeRequests(std::list<std::unique_ptr<UrlRequest>>& into);

    // Time-outs for the workers started afterwards.
    void SetTransferTimeouts(long connectMs, long totalMs);
    std::size_t TaskCount() const { return m_tasks.size(); }

private:
    std::vector<CUrlGetTask*> m_tasks;                 // owned, in creation order
    std::list<std::unique_ptr<UrlRequest>> m_requests; // pending, oldest first; under m_lock
    IUrlGetCallback* m_callback = nullptr;
    thread_lock m_lock;
    long m_connectTimeoutMs;
    long m_totalTimeoutMs;
    std::size_t m_outstanding = 0; // requests added and not yet delivered; window thread only
};
