#include "url_get/core/stop_signal.h"

#include <cerrno>
#include <ctime>

CStopSignal::CStopSignal() {
    pthread_mutex_init(&m_mutex, nullptr);
    pthread_condattr_t attr;
    pthread_condattr_init(&attr);
    // A wall-clock jump must not stretch or cut a worker's idle wait.
    pthread_condattr_setclock(&attr, CLOCK_MONOTONIC);
    pthread_cond_init(&m_cond, &attr);
    pthread_condattr_destroy(&attr);
}

CStopSignal::~CStopSignal() {
    pthread_cond_destroy(&m_cond);
    pthread_mutex_destroy(&m_mutex);
}

void CStopSignal::Raise() {
    pthread_mutex_lock(&m_mutex);
    m_raised = true;
    pthread_cond_broadcast(&m_cond);
    pthread_mutex_unlock(&m_mutex);
}

void CStopSignal::Nudge() {
    pthread_mutex_lock(&m_mutex);
    m_nudged = true;
    pthread_cond_broadcast(&m_cond);
    pthread_mutex_unlock(&m_mutex);
}

bool CStopSignal::IsRaised() {
    pthread_mutex_lock(&m_mutex);
    const bool raised = m_raised;
    pthread_mutex_unlock(&m_mutex);
    return raised;
}

bool CStopSignal::WaitFor(int milliseconds) {
    if (milliseconds < 0) {
        milliseconds = 0;
    }
    timespec deadline;
    clock_gettime(CLOCK_MONOTONIC, &deadline);
    const long long ns = deadline.tv_nsec + static_cast<long long>(milliseconds) * 1000000LL;
    deadline.tv_sec += static_cast<time_t>(ns / 1000000000LL);
    deadline.tv_nsec = static_cast<long>(ns % 1000000000LL);

    pthread_mutex_lock(&m_mutex);
    while (!m_raised && !m_nudged) {
        if (pthread_cond_timedwait(&m_cond, &m_mutex, &deadline) == ETIMEDOUT) {
            break;
        }
    }
    m_nudged = false;
    const bool raised = m_raised;
    pthread_mutex_unlock(&m_mutex);
    return raised;
}
