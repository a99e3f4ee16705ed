#include "diag/log.h"

#include <gtest/gtest.h>

TEST(LogAppendTest, TextPieceGetsOneSpace) {
    LogMessage m;
    LogAppend(m, "CResourceData::OpenTxt");
    EXPECT_STREQ(m.c_str(), "CResourceData::OpenTxt ");
}
