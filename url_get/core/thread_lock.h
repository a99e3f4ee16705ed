#pragma once

#include <pthread.h>

// A plain mutual-exclusion lock. Callers pair Lock and Unlock around short sections; no holder
// takes it twice, so it is not recursive.
class thread_lock {
public:
    thread_lock();
    ~thread_lock();

    thread_lock(const thread_lock&) = delete;
    thread_lock& operator=(const thread_lock&) = delete;

    void Lock();
    void Unlock();

private:
    pthread_mutex_t m_mutex;
};
