#include "url_get/core/url_get_manager.h"

#include "log_capture.h"
#include "loopback_server.h"
#include "url_get/core/data_buffer.h"
#include "url_get/core/url_get_task.h"

#include <gtest/gtest.h>
#include <memory>

namespace {

using Lines = std::vector<std::string>;

// The three lines the worker writes for a transfer that ended in `code` with `size` bytes.
Lines Logged(const std::string& url, int code = 0, std::size_t size = 0) {
    return {"Info: GetUrlData:  " + url,
            code == 0 ? "Info: GetUrlData success:  0 url:  " + url
                      : "Error: GetUrlData error:  " + std::to_string(code) + " url:  " + url,
            "Info: OnUrlData:  " + url + "size:  " + std::to_string(size) + " "};
}

Lines operator+(Lines first, const Lines& more) {
    first.insert(first.end(), more.begin(), more.end());
    return first;
}

// Records each delivery as "url result body param" and whether it came on the test's thread.
class RecordingCallback : public IUrlGetCallback {
public:
    void OnUrlData(const std::string& url, int result, CDataBuffer* data, int param) override {
        m_deliveries.push_back(url + " " + std::to_string(result) + " " +
                               std::string(data->begin(), data->end()) + " " +
                               std::to_string(param));
        m_onOtherThread |= std::this_thread::get_id() != m_thread;
    }
    // Calls Update until `count` results arrived or time runs out; the manager has work
    // outstanding all along.
    void UpdateUntil(IUrlGetManager& manager, std::size_t count) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (m_deliveries.size() < count && std::chrono::steady_clock::now() < deadline) {
            EXPECT_TRUE(manager.HasWork()) << m_deliveries.size() << " delivered";
            manager.Update(std::time(nullptr));
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }

    Lines m_deliveries;
    bool m_onOtherThread = false;

private:
    std::thread::id m_thread = std::this_thread::get_id();
};

// Starting no worker starts nothing, and requests to a manager without workers are no work to
// wait for (the frame's timer stops once there is none); a task without a manager has nothing
// to take and idles until it is destroyed.
TEST(UrlGetManagerTest, WithoutWorkersThereIsNoWorkAndATaskAloneIdles) {
    CUrlGetManager manager;
    testing::internal::CaptureStdout(); // the misuse is reported there
    EXPECT_EQ(manager.Start(0), 0);
    auto task = std::make_unique<CUrlGetTask>(nullptr);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(manager.TaskCount(), 0u);
    EXPECT_EQ(manager.AddRequest("http://127.0.0.1:1/never", 0), 0);
    EXPECT_FALSE(manager.HasWork());
    EXPECT_EQ(task->NextRequest(), nullptr);
    EXPECT_EQ(task->Start(), 0);
}

// Requests queued before the start run in order; the idle worker is woken for a late one (its
// idle wait is far longer than this test waits). How soon requests go out is measured by
// bench/url_get_bench.
TEST(UrlGetManagerTest, QueuedRequestsRunInOrderAndAnIdleWorkerTakesALateOne) {
    LogCapture log;
    LoopbackServer server;
    std::unique_ptr<IUrlGetManager> manager(CreateUrlGetManager());
    Lines expected;
    for (int i = 0; i < 10; ++i) {
        const std::string url = server.Url("/status/404/" + std::to_string(50 + i));
        EXPECT_EQ(manager->AddRequest(url, i), 0);
        expected = expected + Logged(url, 0, 50 + i);
    }
    EXPECT_EQ(manager->Init(), 0);
    EXPECT_EQ(manager->Start(1), 0);
    EXPECT_EQ(log.Lines(expected.size()), expected);

    manager->AddRequest(server.Url("/late"), 0);
    expected = expected + Logged(server.Url("/late"), 0, 5);
    EXPECT_EQ(log.Lines(expected.size()), expected);
}

// Results come in the order requested, once each, on the thread calling Update; until the last
// is delivered the manager has work. A refused connection and a URL libcurl rejects (of which
// only the first word reaches the log) are logged with size 0, and the worker goes on.
TEST(UrlGetManagerTest, UpdateDeliversResultsInOrderOnTheCallingThreadFailuresIncluded) {
    LogCapture log;
    LoopbackServer server;
    SilentServer refusing(/*listening=*/false);
    CUrlGetManager manager;
    RecordingCallback callback;
    manager.SetCallback(&callback);
    manager.Update(0); // nothing finished yet: nothing delivered
    EXPECT_TRUE(callback.m_deliveries.empty());
    EXPECT_FALSE(manager.HasWork());

    const std::string one = server.Url("/one");
    manager.AddRequest(server.Url("/status/404/5"), 11);
    manager.AddRequest(refusing.Url(), 22);
    manager.AddRequest(server.Url("/one two"), 33);
    manager.AddRequest(server.Url("/body"), 44);
    manager.Start(2);
    callback.UpdateUntil(manager, 4);
    ASSERT_EQ(callback.m_deliveries.size(), 4u);
    const int rejected = std::stoi(callback.m_deliveries[2].substr(one.size() + 5));
    EXPECT_NE(rejected, 0);
    EXPECT_EQ(callback.m_deliveries,
              (Lines{server.Url("/status/404/5") + " 0 xxxxx 11", refusing.Url() + " 7  22",
                     server.Url("/one two") + " " + std::to_string(rejected) + "  33",
                     server.Url("/body") + " 0 /body 44"}));
    EXPECT_FALSE(callback.m_onOtherThread);
    EXPECT_FALSE(manager.HasWork());
    manager.Update(0);
    EXPECT_EQ(callback.m_deliveries.size(), 4u);

    EXPECT_EQ(log.Lines(), Logged(server.Url("/status/404/5"), 0, 5) + Logged(refusing.Url(), 7) +
                               Logged(one, rejected) + Logged(server.Url("/body"), 0, 5));
    EXPECT_EQ(server.WaitForArrivals().size(), 2u);
}

TEST(UrlGetManagerTest, UpdateWithoutCallbackDropsResults) {
    LogCapture log;
    LoopbackServer server;
    CUrlGetManager manager;
    manager.AddRequest(server.Url("/dropped"), 0);
    manager.AddRequest(server.Url("/hold"), 0);
    manager.Start(1);
    // The first result is filed before the second transfer is logged; the second waits.
    ASSERT_EQ(log.Lines(4).size(), 4u);
    manager.Update(0);
    EXPECT_TRUE(manager.HasWork());
    server.Release();

    RecordingCallback callback;
    manager.SetCallback(&callback);
    callback.UpdateUntil(manager, 1);
    EXPECT_EQ(callback.m_deliveries, Lines{server.Url("/hold") + " 0 /hold 0"});
}

// A server that never answers is given up after the total time-out (28) and the worker goes on;
// deleting the manager cuts a transfer short (42) and stops a worker that idles.
TEST(UrlGetManagerTest, ASilentServerIsGivenUpOnTimeOrWhenTheManagerIsDeleted) {
    LogCapture log;
    SilentServer silent;
    LoopbackServer server;
    {
        CUrlGetManager manager;
        manager.SetTransferTimeouts(5000, 300);
        manager.AddRequest(silent.Url(), 0);
        manager.AddRequest(server.Url("/next"), 0);
        manager.Start(1);
        EXPECT_EQ(log.Lines(6), Logged(silent.Url(), 28) + Logged(server.Url("/next"), 0, 5));
    }
    auto* manager = CreateUrlGetManager(); // default time-outs: 10 s connect, 30 s total
    manager->AddRequest(silent.Url(), 0);
    manager->AddRequest(silent.Url(), 0); // taken but never started
    manager->Start(2);                    // one worker transfers, the other idles
    ASSERT_EQ(log.Lines(7).size(), 7u);
    delete manager;
    EXPECT_EQ(log.Lines(), Logged(silent.Url(), 28) + Logged(server.Url("/next"), 0, 5) +
                               Logged(silent.Url(), 42));
}

} // namespace
