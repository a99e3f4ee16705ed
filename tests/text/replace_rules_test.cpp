// Clean-up rules: what a line shows and where each shown unit comes from, the rules file kept
// whole through a save, and the scanner passing over what the rules take out of a book.
#include "platform/code_page.h"
#include "tests/text/test_books.h"
#include "text/book_scanner.h"
#include "text/chapter_finder.h"
#include "text/replace_rule_file.h"
#include "text/resource_data.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using test_books::Encode;
using test_books::TempDir;
using test_books::Wide;

namespace {

CReplaceRule Rule(std::string name, std::string pattern, std::string replacement,
                  bool isRegex = true, std::string scope = "") {
    CReplaceRule::Fields fields;
    fields.name = std::move(name);
    fields.pattern = std::move(pattern);
    fields.replacement = std::move(replacement);
    fields.isRegex = isRegex;
    fields.scope = std::move(scope);
    return CReplaceRule(fields);
}

TEST(ReplaceRules, RulesRunInOrderAndEachShownUnitMapsBackToItsSource) {
    CReplaceRules rules;
    rules.Add(Rule("网址", "www.example.com", "", false));
    rules.Add(Rule("称呼", "书友(们)?", "读者$1"));
    rules.Add(Rule("叹号", "！+", "！"));
    const std::u16string source = u"书友们好www.example.com！！！𠮷日见，书友。";
    const CReplaceRules::Shown shown = rules.Apply(source);
    EXPECT_EQ(shown.text, u"读者们好！𠮷日见，读者。");
    EXPECT_FALSE(shown.removed);
    ASSERT_EQ(shown.from.size(), shown.text.size());
    for (std::size_t j = 1; j < shown.text.size(); ++j) {
        EXPECT_GE(shown.from[j], shown.from[j - 1]) << j;
    }
    // Put in by a rule: the first unit of what it replaced ("们" came in through "$1").
    EXPECT_EQ(std::vector<std::size_t>(shown.from.begin(), shown.from.begin() + 3),
              (std::vector<std::size_t>{0, 0, 0}));
    // Kept: the unit itself, the pair of 𠮷 whole, after a deletion of 15 units.
    EXPECT_EQ(shown.text.substr(3, 1), u"好");
    EXPECT_EQ(shown.from[3], 3u);
    EXPECT_EQ(shown.from[4], source.find(u'！'));
    const std::size_t pair = source.find(u"𠮷");
    EXPECT_EQ(shown.from[5], pair);
    EXPECT_EQ(shown.from[6], pair + 1);
    EXPECT_EQ(shown.from.back(), source.size() - 1);

    // Order matters: the second rule sees what the first left.
    CReplaceRules reversed;
    reversed.Add(Rule("称呼", "书友", "读者"));
    reversed.Add(Rule("读者", "读者", "看官", false));
    EXPECT_EQ(reversed.Apply(u"书友好").text, u"看官好");
}

TEST(ReplaceRules, ALineLeftBlankDisappearsButABlankLineStays) {
    CReplaceRules rules;
    rules.Add(Rule("广告", "本书由.*?整理.*", ""));
    const CReplaceRules::Shown ad = rules.Apply(u"　　本书由书友整理 www.example.com");
    EXPECT_TRUE(ad.removed);
    EXPECT_TRUE(ad.text.empty());
    EXPECT_TRUE(ad.from.empty());
    EXPECT_FALSE(rules.Apply(u"　　").removed);
    EXPECT_FALSE(rules.Apply(u"").removed);
    const CReplaceRules::Shown partly = rules.Apply(u"他说：本书由你整理吧");
    EXPECT_EQ(partly.text, u"他说：");
    EXPECT_FALSE(partly.removed);
    // Matching nothing: the line as it was.
    const CReplaceRules::Shown same = rules.Apply(u"小城的风很大");
    EXPECT_EQ(same.text, u"小城的风很大");
    EXPECT_EQ(same.from, (std::vector<std::size_t>{0, 1, 2, 3, 4, 5}));
}

TEST(ReplaceRules, BadAndRunawayRulesAreToldOnceByNameAndSkipped) {
    CReplaceRules all;
    all.Add(Rule("坏括号", "第(一章", "x"));
    all.Add(Rule("回溯", "(a+)+b", "x"));
    all.Add(Rule("空", "", "x"));
    all.Add(Rule("长行", "风+", "雨"));
    all.Add(Rule("字面", "小城", "大城", false));
    std::vector<std::string> told;
    all.SetProblemFn([&](const std::string& problem) { told.push_back(problem); });
    EXPECT_FALSE(all[0].IsValid());
    EXPECT_FALSE(all[1].IsValid());
    EXPECT_FALSE(all[2].IsValid());
    // Invalid rules are never run; the valid ones still are.
    EXPECT_EQ(all.Apply(u"第(一章 小城的风").text, u"第(一章 大城的雨");
    EXPECT_EQ(told.size(), 3u);
    EXPECT_NE(told[0].find("坏括号"), std::string::npos);
    all.Apply(u"风");
    EXPECT_EQ(told.size(), 3u);

    // A book's rules are the valid ones; they tell through the same teller.
    const CReplaceRules book = all.ForBook(u"/书/小城.txt");
    ASSERT_EQ(book.size(), 2u);
    told.clear();
    // A line of 8 million characters: the pattern passes it over, plain text is replaced.
    std::u16string huge(8'000'000, u'风');
    huge.replace(1000, 2, u"小城");
    const CReplaceRules::Shown shown = book.Apply(huge);
    EXPECT_EQ(shown.text.substr(1000, 2), u"大城");
    EXPECT_EQ(shown.text.size(), huge.size());
    book.Apply(huge);
    ASSERT_EQ(told.size(), 1u);
    EXPECT_NE(told[0].find("长行"), std::string::npos);
    EXPECT_NE(told[0].find("too long"), std::string::npos);
}

// Lines without the text every match holds are passed over before the matcher runs: the text
// must never be one a match can do without.
TEST(ReplaceRules, TheTextEveryMatchHoldsIsNeverOptional) {
    const struct {
        const char* pattern;
        std::u16string required;
    } cases[] = {
        {"本书由.*?整理.*", u"本书由"},
        {"书友(们)?", u"书友"},
        {"ab?c", u"a"},
        {"书友|读者", u""},
        {"\\d+章", u"章"},
        {"[abc]xyz", u"xyz"},
        {"(广告)+结束", u"结束"},
        {"xx{2}y", u"x"},
        {"www\\.x\\.com", u"www.x.com"},
        {"𠮷?日", u"日"},
        {"(a(b)c)d", u"d"},
        {"^第.+章$", u"第"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CRuleRegex::RequiredText(c.pattern), c.required) << c.pattern;
    }
    CReplaceRules rules;
    rules.Add(Rule("可有可无", "书?友", "朋友"));
    EXPECT_EQ(rules.Apply(u"好友").text, u"好朋友");
}

TEST(ReplaceRules, ScopeNamesTheBooksByTheirFileNames) {
    CReplaceRules all;
    all.Add(Rule("全部", "甲", "乙"));
    all.Add(Rule("小城", "丙", "丁", true, "小城故事；远方"));
    all.Add(Rule("关闭", "戊", "己"));
    all[2].SetEnabled(false);
    EXPECT_EQ(all.ForBook(u"/books/小城故事.txt").size(), 2u);
    EXPECT_EQ(all.ForBook(u"/books/远方.txt").size(), 2u);
    // The folder is no part of the name.
    const CReplaceRules other = all.ForBook(u"/小城故事/大海.txt");
    ASSERT_EQ(other.size(), 1u);
    EXPECT_EQ(other[0].Name(), "全部");
    EXPECT_NE(other.Identity(), all.ForBook(u"/books/远方.txt").Identity());
    EXPECT_FALSE(CReplaceRules().Changes());
}

TEST(ReplaceRuleFile, LoadsInOrderAndSavesKeepingMembersItDoesNotKnow) {
    TempDir dir;
    dir.Write("replace_rules.json", R"([
  {"id": 1700000000002, "name": "后", "pattern": "b", "replacement": "c", "isRegex": false,
   "order": 2, "scopeTitle": true, "timeoutMillisecond": 3000, "excludeScope": null},
  {"id": 1700000000001, "name": "前", "group": "净化", "pattern": "a", "replacement": "b",
   "isEnabled": false, "order": 1, "extra": {"nested": [1, 2.50, "\u2605"]}},
  {"name": "坏", "pattern": "(x", "order": 3},
  "not a rule"
])");
    CReplaceRules rules;
    const std::vector<std::string> problems = CReplaceRuleFile::LoadInto(dir.Path(), rules);
    ASSERT_EQ(problems.size(), 2u);
    EXPECT_NE(problems[0].find("坏"), std::string::npos);
    ASSERT_EQ(rules.size(), 3u);
    EXPECT_EQ(rules[0].Name(), "前");
    EXPECT_FALSE(rules[0].Enabled());
    EXPECT_EQ(rules[0].Get().group, "净化");
    EXPECT_TRUE(rules[0].Get().isRegex); // the format's default
    EXPECT_FALSE(rules[1].Get().isRegex);
    EXPECT_FALSE(rules[2].IsValid());

    rules[0].SetEnabled(true);
    rules.Swap(0, 1);
    ASSERT_TRUE(CReplaceRuleFile::Save(CReplaceRuleFile::PathIn(dir.Path()), rules));
    const std::optional<CJsonValue> saved = CJsonValue::Parse(dir.Read("replace_rules.json"));
    ASSERT_TRUE(saved);
    ASSERT_EQ(saved->Items().size(), 3u); // the bad rule too, for the reader to mend
    const CJsonValue& second = saved->Items()[0];
    EXPECT_EQ(second.Find("name")->Text(), "后");
    EXPECT_EQ(second.Find("id")->Text(), "1700000000002");
    EXPECT_EQ(second.Find("order")->Text(), "1");
    EXPECT_EQ(second.Find("timeoutMillisecond")->Text(), "3000");
    EXPECT_EQ(second.Find("excludeScope")->GetKind(), CJsonValue::Kind::Null);
    const CJsonValue& first = saved->Items()[1];
    EXPECT_TRUE(first.Find("isEnabled")->Bool());
    const CJsonValue* extra = first.Find("extra");
    ASSERT_TRUE(extra != nullptr && extra->Find("nested") != nullptr);
    EXPECT_EQ(extra->Find("nested")->Items()[1].Text(), "2.50");
    EXPECT_EQ(extra->Find("nested")->Items()[2].Text(), "★");

    // Read back, the rules run in the new order (the old one made "cc").
    CReplaceRules again;
    CReplaceRuleFile::LoadInto(dir.Path(), again);
    EXPECT_EQ(again.Apply(u"ab").text, u"bc");
}

TEST(ReplaceRuleFile, ImportMergesByNameAndAddsTheRestLast) {
    TempDir dir;
    CReplaceRules rules;
    rules.Add(Rule("甲", "1", "一"));
    rules.Add(Rule("乙", "2", "二"));
    rules[1].SetOrder(5);
    dir.Write("shared.json", R"([{"name": "乙", "pattern": "2", "replacement": "贰", "order": 0},
                                 {"name": "丙", "pattern": "3", "replacement": "叁"}])");
    EXPECT_TRUE(CReplaceRuleFile::Import(dir.File("shared.json"), rules).empty());
    ASSERT_EQ(rules.size(), 3u);
    EXPECT_EQ(rules[1].Name(), "乙");
    EXPECT_EQ(rules[1].Get().replacement, "贰");
    EXPECT_EQ(rules[1].Get().order, 5);
    EXPECT_EQ(rules[2].Name(), "丙");
    EXPECT_EQ(rules[2].Get().order, 6);
    // A damaged file adds nothing and says so.
    dir.Write("bad.json", "[{\"name\": ");
    EXPECT_EQ(CReplaceRuleFile::Import(dir.File("bad.json"), rules).size(), 1u);
    EXPECT_EQ(rules.size(), 3u);
}

// A book with ad lines and an ad in a heading, in one encoding.
class CleanUpInEncoding : public testing::TestWithParam<const char*> {
protected:
    void Open(const std::string& utf8) {
        const std::string encoding = GetParam();
        const std::string bytes = encoding == "UTF-16LE" ? "\xFF\xFE" + Encode(utf8, "UTF-16LE")
                                                         : Encode(utf8, GetParam());
        const std::string path = m_dir.Write("小城故事.txt", bytes);
        ASSERT_EQ(m_book.OpenTxt(DecodeUtf8(path)), 0);
        ASSERT_TRUE(m_scanner.Open(m_book.m_strPath, m_book.m_layout));
        CReplaceRules rules;
        rules.Add(Rule("广告", "^[\\s　]*本书由.*?整理.*$", ""));
        rules.Add(Rule("网址", "（www.example.com）", "", false));
        rules.Add(Rule("别的书", "小城", "大城", false, "别的书"));
        m_scanner.SetCleanUp(rules.ForBook(m_book.m_strPath));
    }
    std::vector<std::u16string> Found(const std::u16string& text) {
        std::vector<std::u16string> lines;
        EXPECT_TRUE(m_scanner.Find(text, 0, m_scanner.Size(), true, [&](const ScanHit& hit) {
            lines.push_back(hit.text);
            return true;
        }));
        return lines;
    }
    TempDir m_dir;
    CResourceData m_book;
    CBookScanner m_scanner;
};

TEST_P(CleanUpInEncoding, SearchAndTitlesSeeTheTextAsShown) {
    std::string utf8;
    for (const char* heading :
         {"第一章 初到小城", "第二章 老槐树（www.example.com）", "第三章 远行"}) {
        utf8 += std::string("　　") + heading + "\n";
        utf8 += "　　本书由书友整理，小城书友群（www.example.com）\n";
        utf8 += "　　他对书友说：小城的风很大（www.example.com）。\n";
        utf8 += test_books::kChineseProse;
    }
    Open(utf8);
    // The ad lines are gone; an occurrence in a kept line is found, shown cleaned up.
    EXPECT_EQ(Found(u"书友"), (std::vector<std::u16string>(3, u"他对书友说：小城的风很大。")));
    EXPECT_TRUE(Found(u"example").empty());
    EXPECT_TRUE(Found(u"书友群").empty());
    EXPECT_EQ(Found(u"风很大").size(), 3u);
    // The last occurrence, found backwards, is one that shows.
    const std::optional<ScanHit> last = m_scanner.FindLast(u"书友", m_scanner.Size());
    ASSERT_TRUE(last);
    EXPECT_EQ(m_scanner.LineAt(last->offset), u"他对书友说：小城的风很大（www.example.com）。");

    const std::optional<CChapterList> chapters =
        CChapterFinder::Find(m_scanner, CChapterRules::BuiltIn());
    ASSERT_TRUE(chapters);
    ASSERT_EQ(chapters->size(), 3u);
    EXPECT_EQ(chapters->Title(1), u"第二章 老槐树");
}

INSTANTIATE_TEST_SUITE_P(Books, CleanUpInEncoding, testing::Values("GB18030", "UTF-8", "UTF-16LE"),
                         [](const auto& info) {
                             return std::string(info.param[0] == 'G'   ? "Gb18030"
                                                : info.param[4] == '8' ? "Utf8"
                                                                       : "Utf16");
                         });

} // namespace
