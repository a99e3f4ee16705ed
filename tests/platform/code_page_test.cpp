#include "platform/code_page.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace std::string_literals;

namespace {

// Malformed UTF-8 becomes one replacement per bad sequence (malformed legacy bytes are checked
// where the pages are decoded); unpaired surrogates do not stop encoding.
TEST(CodePageTest, MalformedTextIsReplacedPieceByPiece) {
    const std::pair<std::string, std::u16string> utf8[] = {
        {"\xF0\xA0\xAE\xB7", u"𠮷"},
        {"\xE4\xB8!", u"\uFFFD!"},                         // truncated sequence
        {"\xC0\x80", u"\uFFFD\uFFFD"},                     // overlong
        {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},           // encoded surrogate
        {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"}, // beyond U+10FFFF
        {"a\0b"s, u"a\0b"s},                               // a zero byte is a character here
    };
    for (const auto& [bytes, text] : utf8)
        EXPECT_EQ(DecodeUtf8(bytes), text) << bytes;
    EXPECT_EQ(EncodeLegacy(u"a\xD800!"), "a?!");
    EXPECT_EQ(EncodeLegacy(u"中\xDC00"), "\xD6\xD0?");
    EXPECT_EQ(EncodeUtf8(u"a\xD800!"), "a\xEF\xBF\xBD!");
    EXPECT_EQ(EncodeUtf8(u"\xD842\xDFB7"), "𠮷");
}

// Tests run without VESKA_CODEPAGE (the override is checked through veska-pages). A code page
// iconv lacks is reported once and GB18030 stands in.
TEST(CodePageTest, LegacyCodePageIsGb18030AndStandsInForOneIconvLacks) {
    EXPECT_EQ(LegacyCodePageName(), "GB18030");
    EXPECT_FALSE(LegacyCodePageForced());
    EXPECT_TRUE(CodePageAvailable("BIG5-HKSCS"));
    EXPECT_EQ(DecodeCodePage("\xA4\xA4\xA4\xE5", "BIG5-HKSCS"), u"中文");
    testing::internal::CaptureStderr();
    EXPECT_EQ(UsableCodePage("NO-SUCH-PAGE"), "GB18030");
    EXPECT_EQ(UsableCodePage("NO-SUCH-PAGE"), "GB18030");
    EXPECT_EQ(UsableCodePage("CP949"), "CP949");
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_NE(err.find("NO-SUCH-PAGE"), std::string::npos);
}

} // namespace
