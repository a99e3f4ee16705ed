#include "url_get/core/thread_lock.h"
#include "url_get/core/thread_task_base.h"

#include <chrono>
#include <gtest/gtest.h>

namespace {

using Clock = std::chrono::steady_clock;

class ReturningTask : public CThreadTaskBase {
public:
    explicit ReturningTask(unsigned int value) : m_value(value) {}
    ~ReturningTask() override { Join(); }
    unsigned int Run() override { return m_value; }

private:
    unsigned int m_value;
};

// Idles until stopped, the way a worker does, and counts its wake-ups.
class IdleTask : public CThreadTaskBase {
public:
    ~IdleTask() override {
        RequestStop();
        Join();
    }
    unsigned int Run() override {
        unsigned int waits = 0;
        while (!WaitForStop(10000)) {
            ++waits;
        }
        return waits + 100;
    }
};

// Two threads bump a shared counter under the lock; a lock that does not exclude loses
// increments (and ThreadSanitizer reports the race).
class CountingTask : public CThreadTaskBase {
public:
    CountingTask(thread_lock* lock, long* counter) : m_lock(lock), m_counter(counter) {}
    ~CountingTask() override { Join(); }
    unsigned int Run() override {
        for (int i = 0; i < 100000; ++i) {
            m_lock->Lock();
            ++*m_counter;
            m_lock->Unlock();
        }
        return 0;
    }

private:
    thread_lock* m_lock;
    long* m_counter;
};

} // namespace

TEST(ThreadTaskBaseTest, ExitValueCarriesRunsResult) {
    ReturningTask task(0xBEEFu);
    EXPECT_EQ(task.Init(), 0);
    ASSERT_EQ(task.Start(), 0);
    EXPECT_EQ(task.Join(), 0xBEEFu);
    EXPECT_EQ(task.Join(), 0u); // nothing left to join
}

TEST(ThreadTaskBaseTest, StopWakesAnIdleWaitAtOnce) {
    IdleTask task;
    ASSERT_EQ(task.Start(), 0);
    const auto begin = Clock::now();
    task.RequestStop();
    EXPECT_EQ(task.Join(), 100u); // no wait ran out before the stop
    EXPECT_LT(Clock::now() - begin, std::chrono::seconds(5));
}

TEST(ThreadTaskBaseTest, DestroyingAStartedTaskStopsAndJoinsIt) {
    const auto begin = Clock::now();
    {
        IdleTask task;
        ASSERT_EQ(task.Start(), 0);
    }
    EXPECT_LT(Clock::now() - begin, std::chrono::seconds(5));
}

TEST(ThreadLockTest, ExcludesOtherThreads) {
    thread_lock lock;
    long counter = 0;
    CountingTask first(&lock, &counter);
    CountingTask second(&lock, &counter);
    ASSERT_EQ(first.Start(), 0);
    ASSERT_EQ(second.Start(), 0);
    first.Join();
    second.Join();
    EXPECT_EQ(counter, 200000);
}
