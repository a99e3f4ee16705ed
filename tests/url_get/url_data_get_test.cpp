#include "url_get/core/url_data_get.h"

#include "log_capture.h"
#include "loopback_server.h"

#include <gtest/gtest.h>

namespace {

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

TEST_F(UrlDataGetTest, ABodyBeyondTheCapEndsTheTransferAndIsNotKept) {
    LoopbackServer server;
    const std::size_t cap = CUrlDataGet::kMaxBodyBytes;
    CDataBuffer buffer;
    EXPECT_EQ(m_get.GetUrlData(server.Url("/status/200/" + std::to_string(cap)), &buffer),
              CURLE_OK);
    EXPECT_EQ(buffer.size(), cap); // the largest body that fits comes whole
    // The endless body has no time-out here: only the cap ends it.
    EXPECT_EQ(m_get.GetUrlData(server.Url("/endless"), &buffer), CURLE_WRITE_ERROR);
    EXPECT_EQ(buffer.size(), cap); // a failed transfer leaves the caller's buffer as it was
    EXPECT_EQ(m_get.GetUrlData(server.Url("/status/200/" + std::to_string(cap + 1)), &buffer),
              CURLE_WRITE_ERROR);
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
