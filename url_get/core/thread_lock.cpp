#include "url_get/core/thread_lock.h"

thread_lock::thread_lock() {
    pthread_mutex_init(&m_mutex, nullptr);
}

thread_lock::~thread_lock() {
    pthread_mutex_destroy(&m_mutex);
}

void thread_lock::Lock() {
    pthread_mutex_lock(&m_mutex);
}

void thread_lock::Unlock() {
    pthread_mutex_unlock(&m_mutex);
}
