#include "url_get/core/url_data_get.h"

#include "log_capture.h"
#include "loopback_server.h"

#include <gtest/gtest.h>

namespace {

std::string Bytes(const CDataBuffer& buffer) {
    return std::string(buffer.begin(), buffer.end());
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
    EXPECT_EQ(Bytes(buffer), std::string(57, 'x'));
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
