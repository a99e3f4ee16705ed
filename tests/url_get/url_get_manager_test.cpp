#include "url_get/core/url_get_manager.h"

#include "log_capture.h"
#include "loopback_server.h"
#include "url_get/core/url_data_get.h"
#include "url_get/core/url_get_task.h"

#include <gtest/gtest.h>
#include <memory>
#include <thread>

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

// Requests queued before the start run in order, failures too: a refused connection and a URL
// libcurl rejects (of which only the first word reaches the log) are logged with size 0 and the
// worker goes on. The idle worker is woken for a late request (its idle wait is far longer than
// this test waits).
TEST(UrlGetManagerTest, QueuedRequestsRunInOrderFailuresIncludedAndAnIdleWorkerTakesALateOne) {
    LogCapture log;
    LoopbackServer server;
    SilentServer refusing(/*listening=*/false);
    std::unique_ptr<IUrlGetManager> manager(CreateUrlGetManager());
    for (const std::string& url : {server.Url("/status/404/5"), refusing.Url(),
                                   server.Url("/one two"), server.Url("/body")}) {
        EXPECT_EQ(manager->AddRequest(url, 0), 0);
    }
    EXPECT_EQ(manager->Init(), 0);
    EXPECT_EQ(manager->Start(1), 0);
    Lines expected = Logged(server.Url("/status/404/5"), 0, 5) + Logged(refusing.Url(), 7) +
                     Logged(server.Url("/one"), CURLE_URL_MALFORMAT) +
                     Logged(server.Url("/body"), 0, 5);
    EXPECT_EQ(log.Lines(expected.size()), expected);
    manager->AddRequest(server.Url("/late"), 0);
    expected = expected + Logged(server.Url("/late"), 0, 5);
    EXPECT_EQ(log.Lines(expected.size()), expected);
    EXPECT_EQ(server.WaitForArrivals().size(), 3u);
}

// The reader sets no callback: Update drops each result, and the manager has work until the last
// one is dropped (the frame's timer runs only that long).
TEST(UrlGetManagerTest, UpdateDropsResultsAndTheWorkEndsWithTheLast) {
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
    for (int i = 0; i < 10000 && manager.HasWork(); ++i) {
        manager.Update(0);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    EXPECT_FALSE(manager.HasWork());
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

// Any completed response is success and replaces the buffer, even through a reused handle. The
// largest body that fits comes whole; a longer one, or one without end (there is no time-out
// here), ends the transfer and leaves the caller's buffer as it was.
TEST(UrlDataGetTest, CompletedResponsesUpToTheCapAreSuccessAndReplaceTheBuffer) {
    LogCapture log;
    LoopbackServer server;
    CUrlDataGet get;
    ASSERT_EQ(get.Init(), 0);
    const std::string notFound = server.Url("/status/404/57"), empty = server.Url("/status/200/0");
    CDataBuffer buffer;
    buffer.Append("stale", 5);
    EXPECT_EQ(get.GetUrlData(notFound, &buffer), CURLE_OK);
    EXPECT_EQ(std::string(buffer.begin(), buffer.end()), std::string(57, 'x'));
    EXPECT_EQ(get.GetUrlData(empty, &buffer), CURLE_OK);
    EXPECT_EQ(buffer.size(), 0u);
    EXPECT_EQ(log.Lines(),
              (std::vector<std::string>{"Info: GetUrlData success:  0 url:  " + notFound,
                                        "Info: GetUrlData success:  0 url:  " + empty}));

    const std::size_t cap = CUrlDataGet::kMaxBodyBytes;
    EXPECT_EQ(get.GetUrlData(server.Url("/status/200/" + std::to_string(cap)), &buffer), CURLE_OK);
    EXPECT_EQ(buffer.size(), cap);
    EXPECT_EQ(get.GetUrlData(server.Url("/endless"), &buffer), CURLE_WRITE_ERROR);
    EXPECT_EQ(get.GetUrlData(server.Url("/status/200/" + std::to_string(cap + 1)), &buffer),
              CURLE_WRITE_ERROR);
    EXPECT_EQ(buffer.size(), cap);
}

} // namespace
