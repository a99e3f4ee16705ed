#include "url_get/core/thread_lock.h"
#include "url_get/core/thread_task_base.h"

#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>

namespace {

using namespace std::chrono_literals;

// Returns `value` at once, or (with value 0) idles the way a worker does: each wait ends by a
// wake-up is counted, and the count plus 100 is the result.
class Task : public CThreadTaskBase {
public:
    explicit Task(unsigned int value = 0) : m_value(value) {}
    ~Task() override {
        RequestStop();
        Join();
    }
    unsigned int Run() override {
        if (m_value != 0)
            return m_value;
        while (!WaitForStop(10000))
            ++m_wakes;
        return m_wakes + 100;
    }
    std::atomic<unsigned int> m_wakes{0};

private:
    unsigned int m_value;
};

template <class Condition> bool Within(std::chrono::milliseconds limit, Condition condition) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(1ms);
    return condition();
}

// The exit value carries Run's result; a wake-up ends an idle wait without stopping, a stop
// request ends it for good, both long before the wait would run out.
TEST(ThreadTaskBaseTest, ExitValueCarriesRunsResultAndWakeOrStopEndAnIdleWait) {
    Task returning(0xBEEFu);
    EXPECT_EQ(returning.Init(), 0);
    ASSERT_EQ(returning.Start(), 0);
    EXPECT_EQ(returning.Join(), 0xBEEFu);
    EXPECT_EQ(returning.Join(), 0u); // nothing left to join

    Task idle;
    ASSERT_EQ(idle.Start(), 0);
    idle.Wake();
    EXPECT_TRUE(Within(5000ms, [&] { return idle.m_wakes == 1; }));
    idle.RequestStop();
    EXPECT_EQ(idle.Join(), 101u);
}

// Leaves stopping and joining to the base class: the thread must have ended, because it was
// asked to, once the object is destroyed. Once the derived destructor has run only the base part
// is alive, so Run() keeps what it needs in locals and reaches the base's members through it.
class UnjoinedTask : public CThreadTaskBase {
public:
    explicit UnjoinedTask(std::atomic<int>* state) : m_state(state) {}
    unsigned int Run() override {
        std::atomic<int>* state = m_state;
        CThreadTaskBase* base = this;
        const auto wait = &UnjoinedTask::WaitForStop;
        *state = 1;
        const auto giveUp = std::chrono::steady_clock::now() + 3s;
        while (!(base->*wait)(10) && std::chrono::steady_clock::now() < giveUp) {
        }
        *state = (base->*&UnjoinedTask::StopRequested)() ? 2 : 3;
        return 0;
    }

private:
    std::atomic<int>* m_state; // 0 before, 1 running, 2 stopped on request, 3 gave up
};

TEST(ThreadTaskBaseTest, DestroyingAStartedTaskStopsAndJoinsIt) {
    std::atomic<int> state{0};
    {
        UnjoinedTask task(&state);
        ASSERT_EQ(task.Start(), 0);
        ASSERT_TRUE(Within(5000ms, [&] { return state != 0; }));
    }
    EXPECT_EQ(state, 2);
}

// Two threads take turns holding the lock, and yield while holding it: never both inside.
TEST(ThreadLockTest, ExcludesOtherThreads) {
    thread_lock lock;
    std::atomic<int> inside{0};
    std::atomic<bool> overlapped{false};
    auto work = [&] {
        for (int i = 0; i < 2000; ++i) {
            lock.Lock();
            if (++inside > 1)
                overlapped = true;
            std::this_thread::yield();
            --inside;
            lock.Unlock();
        }
    };
    std::thread first(work), second(work);
    first.join();
    second.join();
    EXPECT_FALSE(overlapped);
}

} // namespace
