#include "url_get/core/thread_lock.h"
#include "url_get/core/thread_task_base.h"

#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>

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

// Leaves stopping and joining to the base class: its destructor does neither. What happens to
// the thread is recorded outside the object, which is gone when the test looks.
class UnjoinedTask : public CThreadTaskBase {
public:
    struct Record {
        std::atomic<bool> running{false};
        std::atomic<bool> stopped{false};  // Run() saw a stop request
        std::atomic<bool> finished{false}; // Run() returned
    };
    explicit UnjoinedTask(Record* record) : m_record(record) {}
    unsigned int Run() override {
        // Once the derived destructor has run only the base part is alive: take what the loop
        // needs while the whole object still is.
        Record* record = m_record;
        CThreadTaskBase* base = this;
        const auto wait = &UnjoinedTask::WaitForStop; // the base's members, reached through base
        const auto stopRequested = &UnjoinedTask::StopRequested;
        record->running = true;
        const auto give_up = Clock::now() + std::chrono::seconds(3);
        while (!(base->*wait)(10)) {
            if (Clock::now() > give_up) {
                break;
            }
        }
        record->stopped = (base->*stopRequested)();
        record->finished = true;
        return 0;
    }

private:
    Record* m_record;
};

} // namespace

TEST(ThreadTaskBaseTest, ExitValueCarriesRunsResultAndStopWakesAnIdleWait) {
    ReturningTask task(0xBEEFu);
    EXPECT_EQ(task.Init(), 0);
    ASSERT_EQ(task.Start(), 0);
    EXPECT_EQ(task.Join(), 0xBEEFu);
    EXPECT_EQ(task.Join(), 0u); // nothing left to join

    IdleTask idle;
    ASSERT_EQ(idle.Start(), 0);
    idle.RequestStop();
    EXPECT_EQ(idle.Join(), 100u); // no wait ran out before the stop
}

TEST(ThreadTaskBaseTest, DestroyingAStartedTaskStopsAndJoinsIt) {
    UnjoinedTask::Record record;
    {
        UnjoinedTask task(&record);
        ASSERT_EQ(task.Start(), 0);
        while (!record.running) {
            std::this_thread::yield();
        }
    }
    // Returned from the destructor: the thread has ended, and because it was asked to.
    EXPECT_TRUE(record.finished);
    EXPECT_TRUE(record.stopped);
}

// The first holder keeps the lock while the second thread is known to be trying for it: the
// second may only get in after the first has left.
TEST(ThreadLockTest, ExcludesOtherThreads) {
    thread_lock lock;
    std::atomic<bool> firstInside{false};
    std::atomic<bool> secondTrying{false};
    std::atomic<bool> overlapped{false};
    std::thread first([&] {
        lock.Lock();
        firstInside = true;
        while (!secondTrying) {
            std::this_thread::yield();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        firstInside = false;
        lock.Unlock();
    });
    while (!firstInside) {
        std::this_thread::yield();
    }
    std::thread second([&] {
        secondTrying = true;
        lock.Lock();
        overlapped = firstInside.load();
        lock.Unlock();
    });
    first.join();
    second.join();
    EXPECT_FALSE(overlapped);
}
