// Script conversion over the system's OpenCC data, and what happens when it cannot be done.
#include "text/script_converter.h"

#include "tests/text/test_books.h"

#include <gtest/gtest.h>

#include <algorithm>

using Script = CScriptConverter::Script;

namespace {

bool Has(const std::vector<std::u16string>& spellings, std::u16string_view spelling) {
    return std::find(spellings.begin(), spellings.end(), spelling) != spellings.end();
}

// Whole phrases, not characters one by one (头发 is 頭髮, never 頭發); what OpenCC leaves alone
// (line ends, letters, characters outside the basic plane) and what it cannot see past (a NUL)
// come through in place.
TEST(ScriptConverter, ConvertsPhrasesAndKeepsEverythingElseInPlace) {
    const CScriptConverter traditional(Script::kTraditional);
    ASSERT_EQ(traditional.OpenError(), "");
    std::string error = "stale";
    EXPECT_EQ(traditional.Convert(u"头发\r\n理发店里山雨欲来", &error),
              u"頭髮\r\n理髮店裏山雨欲來");
    EXPECT_EQ(error, "");
    EXPECT_EQ(traditional.Convert(std::u16string(u"发展\0头发 abc 𠮷\n", 13)),
              std::u16string(u"發展\0頭髮 abc 𠮷\n", 13));
    EXPECT_EQ(traditional.Convert(u""), u"");

    EXPECT_EQ(CScriptConverter(Script::kSimplified).Convert(u"山雨欲來風滿樓，頭髮"),
              u"山雨欲来风满楼，头发");
    EXPECT_EQ(CScriptConverter(Script::kTaiwan).Convert(u"鼠标和软件"), u"滑鼠和軟體");
    EXPECT_EQ(CScriptConverter(Script::kHongKong).Convert(u"头发"), u"頭髮");
    // The names choices are kept by.
    for (const Script script : {Script::kOriginal, Script::kSimplified, Script::kTraditional,
                                Script::kTaiwan, Script::kHongKong}) {
        EXPECT_EQ(CScriptConverter::FromName(CScriptConverter::NameOf(script)), script);
    }
    EXPECT_FALSE(CScriptConverter::FromName("S"));
    const CScriptConverter original(Script::kOriginal);
    EXPECT_EQ(original.OpenError(), "");
    EXPECT_EQ(original.Convert(u"头发", &error), u"头发");
    EXPECT_EQ(error, "");
}

// Positions in the converted text lead back to the original through a phrase of another length
// (借记卡 → 簽帳金融卡): its start and end exactly, the units between in proportion.
TEST(ScriptConverter, ConvertedPositionsMapBackToTheOriginal) {
    const CScriptConverter taiwan(Script::kTaiwan);
    const std::u16string text(u"他的借记卡\0丢了\r\n", 10);
    const CScriptConverter::Mapped mapped = taiwan.ConvertMapped(text);
    EXPECT_EQ(mapped.text, std::u16string(u"他的簽帳金融卡\0丟了\r\n", 12));
    EXPECT_EQ(mapped.source, (std::vector<std::size_t>{0, 1, 2, 2, 3, 3, 4, 5, 6, 7, 8, 9, 10}));
    EXPECT_EQ(taiwan.Convert(text), mapped.text);
}

// A missing configuration, a configuration whose dictionary is missing, and a text that is no
// valid UTF-16: the text as it was and a reason, each time.
TEST(ScriptConverter, WhatCannotBeConvertedStaysAsItWasWithAReason) {
    const test_books::TempDir dir;
    const std::string broken = dir.Write(
        "broken.json",
        R"({"name": "broken", "segmentation": {"type": "mmseg", "dict": {"type": "ocd2", "file": ")" +
            dir.File("missing.ocd2") +
            R"("}}, "conversion_chain": [{"dict": {"type": "ocd2", "file": ")" +
            dir.File("missing.ocd2") + R"("}}]})");
    for (const std::string& config : {dir.File("no-such.json"), broken}) {
        const CScriptConverter converter(config);
        EXPECT_NE(converter.OpenError(), "") << config;
        std::string error;
        EXPECT_EQ(converter.Convert(u"头发", &error), u"头发");
        EXPECT_EQ(error, converter.OpenError());
        EXPECT_EQ(converter.ConvertMapped(u"头发").source, (std::vector<std::size_t>{0, 1, 2}));
    }

    const CScriptConverter traditional(Script::kTraditional);
    for (const std::u16string& bad :
         {std::u16string(u"头发\xD842"), std::u16string(u"\xDFB7头发")}) {
        std::string error;
        EXPECT_EQ(traditional.Convert(bad, &error), bad);
        EXPECT_NE(error, "");
    }
}

// The typed phrase first, then its spellings in the other scripts, each once; Taiwan's
// characters (這裡) from a phrase typed in the mainland's Traditional ones (這裏) and the other
// way round.
TEST(ScriptConverter, SpellingsCoverEveryScript) {
    const std::vector<std::u16string> rain = CScriptConverter::Spellings(u"山雨欲来");
    ASSERT_EQ(rain.size(), 2u);
    EXPECT_EQ(rain[0], u"山雨欲来");
    EXPECT_EQ(rain[1], u"山雨欲來");
    EXPECT_EQ(CScriptConverter::Spellings(u"山雨欲來"),
              (std::vector<std::u16string>{u"山雨欲來", u"山雨欲来"}));

    for (const char16_t* typed : {u"这里", u"這裏", u"這裡"}) {
        const std::vector<std::u16string> here = CScriptConverter::Spellings(typed);
        EXPECT_EQ(here[0], typed);
        EXPECT_TRUE(Has(here, u"这里") && Has(here, u"這裏") && Has(here, u"這裡"));
    }
    EXPECT_EQ(CScriptConverter::Spellings(u"Chapter 1"), std::vector<std::u16string>{u"Chapter 1"});
}

} // namespace
