#include "text/text_convert.h"

#include "tests/text/test_books.h"

#include <gtest/gtest.h>

namespace {

TEST(TextConvertTest, NullGivesNullAndConversionsStopAtTheTerminator) {
    EXPECT_EQ(AnsiToWide(nullptr).get(), nullptr);
    EXPECT_TRUE(WideToAnsi(nullptr).IsNull());
    EXPECT_TRUE(Utf8ToWide(nullptr).IsNull());
    EXPECT_FALSE(AnsiToWide("").IsNull());
    EXPECT_STREQ(WideToAnsi(u"").get(), "");

    const std::string gb = test_books::Encode("第一章 风起", "GB18030");
    EXPECT_EQ(AnsiToWide((gb + std::string(1, '\0') + "tail").c_str()).str(), u"第一章 风起");
    EXPECT_EQ(Utf8ToWide("中文\0tail").str(), u"中文");
    EXPECT_EQ(WideToAnsi(u"第一章 风起").str(), gb);
    // The legacy code page holds every character, so nothing becomes '?'.
    EXPECT_EQ(WideToAnsi(u"😀").str(), test_books::Encode("😀", "GB18030"));
}

} // namespace
