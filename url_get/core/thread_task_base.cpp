#include "url_get/core/thread_task_base.h"

#include <cstdint>

CThreadTaskBase::CThreadTaskBase() = default;

CThreadTaskBase::~CThreadTaskBase() {
    // Never leave a thread running on a freed object, even if a derived class forgot to join.
    RequestStop();
    Join();
}

int CThreadTaskBase::Init() {
    return 0;
}

int CThreadTaskBase::Start() {
    if (m_hThread != 0) {
        return -1;
    }
    pthread_t thread = 0;
    if (pthread_create(&thread, nullptr, &CThreadTaskBase::ThreadProc, this) != 0) {
        return -1;
    }
    m_hThread = thread;
    return 0;
}

void* CThreadTaskBase::ThreadProc(void* arg) {
    auto* task = static_cast<CThreadTaskBase*>(arg);
    const unsigned int result = task->Run();
    return reinterpret_cast<void*>(static_cast<std::uintptr_t>(result));
}

void CThreadTaskBase::RequestStop() {
    m_stop.Raise();
    OnStopRequested();
}

unsigned int CThreadTaskBase::Join() {
    if (m_hThread == 0) {
        return 0;
    }
    void* exitValue = nullptr;
    pthread_join(m_hThread, &exitValue);
    m_hThread = 0;
    return static_cast<unsigned int>(reinterpret_cast<std::uintptr_t>(exitValue));
}

bool CThreadTaskBase::StopRequested() {
    return m_stop.IsRaised();
}

bool CThreadTaskBase::WaitForStop(int milliseconds) {
    return m_stop.WaitFor(milliseconds);
}
