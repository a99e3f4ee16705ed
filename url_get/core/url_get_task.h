#pragma once

#include "url_get/core/data_buffer.h"
#include "url_get/core/thread_lock.h"
#include "url_get/core/thread_task_base.h"
#include "url_get/core/url_data_get.h"
#include "url_get/core/url_request.h"
#include "url_get/core/url_result.h"

#include <list>
#include <memory>

class CUrlGetManager;

// One worker: takes requests from its manager, performs each as an HTTP GET, logs it and files
// the result for the manager's Update. Destroying the task stops and joins its thread.
class CUrlGetTask : public CThreadTaskBase {
public:
    static constexpr int kIdlePollMs = 60000; // a safety net: AddRequest wakes the worker

    explicit CUrlGetTask(CUrlGetManager* manager);
    ~CUrlGetTask() override;

    int Init() override;
    unsigned int Run() override;

    // The next request for this worker, or null: its own queue first, then whatever the
    // manager has pending. A task without a manager never has one.
    std::unique_ptr<UrlRequest> NextRequest();
    // Moves the finished results, oldest first, to the end of `into`. Any thread.
    void TakeResults(std::list<UrlResult>& into);

    // Call before Start().
    void SetTimeouts(long connectMs, long totalMs) { m_data_get.SetTimeouts(connectMs, totalMs); }

protected:
    void OnStopRequested() override;

private:
    CUrlDataGet m_data_get;
    CDataBuffer m_buffer; // the body of the current transfer
    CUrlGetManager* m_url_manager;
    std::list<std::unique_ptr<UrlRequest>> m_requests; // this thread's own queue

    thread_lock m_resultsLock; // guards m_results between this thread and Update
    std::list<UrlResult> m_results;
};
