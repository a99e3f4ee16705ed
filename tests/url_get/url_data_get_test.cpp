#include "url_get/core/url_data_get.h"

#include "log_capture.h"
#include "loopback_server.h"
#include "silent_server.h"

#include <chrono>
#include <gtest/gtest.h>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
using std::chrono::seconds;

std::string Bytes(const CDataBuffer& buffer) {
    return std::string(buffer.begin(), buffer.end());
}

class UrlDataGetTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(m_get.Init(), 0); }

    LogCapture m_log;
    CUrlDataGet m_get;
};

} // namespace

TEST_F(UrlDataGetTest, AnyCompletedResponseIsSuccessAndReplacesTheBuffer) {
    LoopbackServer server;
    const std::string notFound = server.Url("/status/404/57");
    const std::string empty = server.Url("/status/200/0");
    CDataBuffer buffer;
    buffer.Append("stale", 5);

    EXPECT_EQ(m_get.GetUrlData(notFound, &buffer), CURLE_OK);
    EXPECT_EQ(Bytes(buffer), std::string(57, 'x'));
    // The reused handle must not carry the first body into the second.
    EXPECT_EQ(m_get.GetUrlData(empty, &buffer), CURLE_OK);
    EXPECT_EQ(buffer.size(), 0u);

    EXPECT_EQ(m_log.Lines(), (std::vector<std::string>{
                                 "Info: GetUrlData success:  0 url:  " + notFound,
                                 "Info: GetUrlData success:  0 url:  " + empty,
                             }));
}

TEST_F(UrlDataGetTest, RefusedConnectionLogsTheCodeAndLeavesTheBuffer) {
    const std::string url = SilentServer::RefusedUrl();
    CDataBuffer buffer;
    buffer.Append("kept", 4);
    EXPECT_EQ(m_get.GetUrlData(url, &buffer), CURLE_COULDNT_CONNECT);
    EXPECT_EQ(Bytes(buffer), "kept");
    EXPECT_EQ(m_log.Lines(), std::vector<std::string>{"Error: GetUrlData error:  7 url:  " + url});
}

TEST_F(UrlDataGetTest, LogShowsTheFirstWordButTheTransferGetsTheWholeUrl) {
    LoopbackServer server;
    const std::string url = server.Url("/first second");
    CDataBuffer buffer;
    const int result = m_get.GetUrlData(url, &buffer);
    // Had the URL been cut at the space, /first would have been fetched successfully.
    EXPECT_NE(result, CURLE_OK);
    EXPECT_TRUE(server.Arrivals().empty());
    EXPECT_EQ(m_log.Lines(),
              std::vector<std::string>{"Error: GetUrlData error:  " + std::to_string(result) +
                                       " url:  " + server.Url("/first")});
}

TEST_F(UrlDataGetTest, SilentServerIsGivenUpAfterTheTotalTimeout) {
    SilentServer server;
    m_get.SetTimeouts(5000, 300);
    CDataBuffer buffer;
    const auto begin = Clock::now();
    EXPECT_EQ(m_get.GetUrlData(server.Url(), &buffer), CURLE_OPERATION_TIMEDOUT);
    const auto elapsed = Clock::now() - begin;
    EXPECT_GE(elapsed, milliseconds(290));
    EXPECT_LT(elapsed, seconds(10));
    EXPECT_EQ(m_log.Lines(),
              std::vector<std::string>{"Error: GetUrlData error:  28 url:  " + server.Url()});
}

TEST_F(UrlDataGetTest, AbortCutsAWaitingTransferShortAndFailsLaterOnes) {
    SilentServer server;
    CDataBuffer buffer;
    int result = CURLE_OK;
    Clock::time_point returned;
    std::thread transfer([&] {
        result = m_get.GetUrlData(server.Url(), &buffer);
        returned = Clock::now();
    });
    ASSERT_TRUE(server.WaitForConnections(1));
    const auto aborted = Clock::now();
    m_get.Abort();
    transfer.join();
    EXPECT_NE(result, CURLE_OK);
    EXPECT_LT(returned - aborted, seconds(2)); // the default time-out is 30 s

    LoopbackServer live;
    EXPECT_EQ(m_get.GetUrlData(live.Url("/after"), &buffer), CURLE_ABORTED_BY_CALLBACK);
    EXPECT_TRUE(live.Arrivals().empty());
}

TEST(UrlDataGetWithoutHandleTest, EveryTransferFailsAndIsLogged) {
    LogCapture log;
    CUrlDataGet get; // Init never called
    CDataBuffer buffer;
    const int result = get.GetUrlData("http://127.0.0.1:1/x", &buffer);
    EXPECT_NE(result, CURLE_OK);
    EXPECT_EQ(log.Lines(),
              std::vector<std::string>{"Error: GetUrlData error:  " + std::to_string(result) +
                                       " url:  http://127.0.0.1:1/x"});
}
