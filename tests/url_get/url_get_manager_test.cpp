#include "url_get/core/url_get_manager.h"

#include "log_capture.h"
#include "loopback_server.h"
#include "silent_server.h"
#include "url_get/core/data_buffer.h"
#include "url_get/core/url_get_task.h"

#include <chrono>
#include <ctime>
#include <gtest/gtest.h>
#include <memory>
#include <thread>
#include <vector>

namespace {

// The three lines the worker writes for a transfer that received `size` bytes, or failed.
std::vector<std::string> SuccessLines(const std::string& url, std::size_t size) {
    return {"Info: GetUrlData:  " + url, "Info: GetUrlData success:  0 url:  " + url,
            "Info: OnUrlData:  " + url + "size:  " + std::to_string(size) + " "};
}

std::vector<std::string> FailureLines(const std::string& url, int code) {
    return {"Info: GetUrlData:  " + url,
            "Error: GetUrlData error:  " + std::to_string(code) + " url:  " + url,
            "Info: OnUrlData:  " + url + "size:  0 "};
}

void Concat(std::vector<std::string>& into, const std::vector<std::string>& more) {
    into.insert(into.end(), more.begin(), more.end());
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
    // Calls Update until `count` results arrived or time runs out.
    void UpdateUntil(IUrlGetManager& manager, std::size_t count) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (m_deliveries.size() < count && std::chrono::steady_clock::now() < deadline) {
            manager.Update(std::time(nullptr));
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }

    std::vector<std::string> m_deliveries;
    bool m_onOtherThread = false;

private:
    std::thread::id m_thread = std::this_thread::get_id();
};

} // namespace

TEST(UrlGetManagerTest, MisuseIsReportedAndLeavesNothingRunning) {
    CUrlGetManager manager;
    testing::internal::CaptureStdout();
    EXPECT_EQ(manager.Start(0), 0);
    EXPECT_EQ(manager.Start(-1), 0);
    auto task = std::make_unique<CUrlGetTask>(nullptr);
    const std::string managerAssert =
        "AssertFailed: ..\\url_get\\core\\url_get_manager.cpp, line: 35\nexpression: num > 0\n";
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              managerAssert + managerAssert +
                  "AssertFailed: ..\\url_get\\core\\url_get_task.cpp, line: 17\n"
                  "expression: m_url_manager != NULL\n");
    EXPECT_EQ(manager.TaskCount(), 0u);
    EXPECT_EQ(manager.Init(), 0);
    EXPECT_EQ(manager.AddRequest("http://127.0.0.1:1/never", 0), 0);
    // A task without a manager has nothing to take and idles until it is destroyed.
    EXPECT_EQ(task->NextRequest(), nullptr);
    EXPECT_EQ(task->Init(), 0);
    EXPECT_EQ(task->Start(), 0);
    task.reset();
}

// How soon queued and late requests go out is measured by bench/url_get_bench.
TEST(UrlGetManagerTest, QueuedRequestsRunInOrderAndAnIdleWorkerTakesALateOne) {
    LogCapture log;
    LoopbackServer server;
    std::unique_ptr<IUrlGetManager> manager(CreateUrlGetManager());
    std::vector<std::string> expected;
    for (int i = 0; i < 10; ++i) {
        const std::string url = server.Url("/status/404/" + std::to_string(50 + i));
        EXPECT_EQ(manager->AddRequest(url, i), 0);
        Concat(expected, SuccessLines(url, 50 + i));
    }
    EXPECT_EQ(manager->Init(), 0);
    EXPECT_EQ(manager->Start(1), 0);
    EXPECT_EQ(log.WaitForLines(expected.size()), expected);

    manager->AddRequest(server.Url("/late"), 0); // the worker has finished and is idle again
    Concat(expected, SuccessLines(server.Url("/late"), 5));
    EXPECT_EQ(log.WaitForLines(expected.size()), expected);
}

TEST(UrlGetManagerTest, FailedTransfersAreLoggedWithSizeZeroAndTheWorkerGoesOn) {
    LogCapture log;
    LoopbackServer server;
    CUrlGetManager manager;
    const std::string refused = SilentServer::RefusedUrl();
    const std::string spaced = server.Url("/one two");
    const std::string good = server.Url("/status/200/0");
    manager.AddRequest(refused, 0);
    manager.AddRequest(spaced, 0);
    manager.AddRequest(good, 0);
    manager.Start(1);

    auto lines = log.WaitForLines(9);
    ASSERT_EQ(lines.size(), 9u);
    std::vector<std::string> expected = FailureLines(refused, 7);
    // Only the URL's first word reaches the log; libcurl refuses the whole URL (bad URL).
    Concat(expected, {"Info: GetUrlData:  " + server.Url("/one"), lines[4],
                      "Info: OnUrlData:  " + server.Url("/one") + "size:  0 "});
    Concat(expected, SuccessLines(good, 0));
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(lines[4].rfind("Error: GetUrlData error:  ", 0), 0u) << lines[4];
    EXPECT_NE(lines[4], "Error: GetUrlData error:  0 url:  " + server.Url("/one"));
    EXPECT_EQ(server.Arrivals().size(), 1u);
}

TEST(UrlGetManagerTest, UpdateDeliversResultsInOrderOnTheCallingThread) {
    LogCapture log;
    LoopbackServer server;
    CUrlGetManager manager;
    RecordingCallback callback;
    manager.SetCallback(&callback);
    manager.Update(0); // nothing finished yet: nothing delivered
    EXPECT_TRUE(callback.m_deliveries.empty());

    const std::string refused = SilentServer::RefusedUrl();
    manager.AddRequest(server.Url("/status/404/5"), 11);
    manager.AddRequest(refused, 22);
    manager.AddRequest(server.Url("/body"), 33);
    manager.Start(2);

    callback.UpdateUntil(manager, 3);
    EXPECT_EQ(callback.m_deliveries, (std::vector<std::string>{
                                         server.Url("/status/404/5") + " 0 xxxxx 11",
                                         refused + " 7  22",
                                         server.Url("/body") + " 0 /body 33",
                                     }));
    EXPECT_FALSE(callback.m_onOtherThread);
    manager.Update(0);
    EXPECT_EQ(callback.m_deliveries.size(), 3u); // each result is delivered once
}

TEST(UrlGetManagerTest, UpdateWithoutCallbackDropsResults) {
    LogCapture log;
    LoopbackServer server;
    CUrlGetManager manager;
    manager.AddRequest(server.Url("/dropped"), 0);
    manager.AddRequest(server.Url("/hold"), 0);
    manager.Start(1);
    // The first result is filed before the second transfer is logged; the second waits.
    ASSERT_EQ(log.WaitForLines(4).size(), 4u);
    manager.Update(0);
    server.Release();

    RecordingCallback callback;
    manager.SetCallback(&callback);
    ASSERT_EQ(log.WaitForLines(6).size(), 6u);
    callback.UpdateUntil(manager, 1);
    EXPECT_EQ(callback.m_deliveries, std::vector<std::string>{server.Url("/hold") + " 0 /hold 0"});
}

TEST(UrlGetManagerTest, SilentServerIsGivenUpAfterTheTotalTimeoutAndTheWorkerGoesOn) {
    LogCapture log;
    SilentServer silent;
    LoopbackServer server;
    CUrlGetManager manager;
    manager.SetTransferTimeouts(5000, 300);
    manager.AddRequest(silent.Url(), 0);
    manager.AddRequest(server.Url("/next"), 0);
    manager.Start(1);

    std::vector<std::string> expected = FailureLines(silent.Url(), 28);
    Concat(expected, SuccessLines(server.Url("/next"), 5));
    EXPECT_EQ(log.WaitForLines(6), expected);
}

TEST(UrlGetManagerTest, DeletingTheManagerCutsATransferShortAndStopsIdleWorkers) {
    LogCapture log;
    SilentServer silent;
    auto* manager = CreateUrlGetManager(); // default time-outs: 10 s connect, 30 s total
    manager->AddRequest(silent.Url(), 0);
    manager->AddRequest(silent.Url(), 0); // taken but never started
    manager->Start(2);                    // one worker transfers, the other idles
    ASSERT_EQ(log.WaitForLines(1).size(), 1u);
    delete manager;
    // Aborted (42), not run out (28).
    EXPECT_EQ(log.Lines(), FailureLines(silent.Url(), 42));
}
