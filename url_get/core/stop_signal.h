#pragma once

#include <pthread.h>

// A one-way flag that a worker can sleep on: once raised it stays raised, and raising it wakes
// every waiter at once.
class CStopSignal {
public:
    CStopSignal();
    ~CStopSignal();

    CStopSignal(const CStopSignal&) = delete;
    CStopSignal& operator=(const CStopSignal&) = delete;

    void Raise();
    bool IsRaised();
    // Ends the current or next wait early without raising the signal (new work has come).
    void Nudge();
    // Waits up to `milliseconds` (measured on the monotonic clock) or until nudged; true when
    // the signal was raised before or during the wait.
    bool WaitFor(int milliseconds);

private:
    pthread_mutex_t m_mutex;
    pthread_cond_t m_cond;
    bool m_raised = false;
    bool m_nudged = false;
};
