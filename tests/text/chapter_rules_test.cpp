// Chapter rules: the built-in heading forms, the pick of the rule that fits a book, and the
// chapters the reader makes for a book without headings.
#include "platform/code_page.h"
#include "tests/text/test_books.h"
#include "text/chapter_finder.h"
#include "text/chapter_rule_file.h"
#include "text/json_value.h"
#include "text/resource_data.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

using test_books::Encode;
using test_books::TempDir;
using test_books::Wide;

namespace {

// The built-in rules by their place in BuiltIn().
enum BuiltInRule { kToday, kSeparated, kBracketed, kBody, kEnglish };

TEST(ChapterRules, EachBuiltInFormTakesItsHeadingsAndNotTheLinesLikeThem) {
    const CChapterRules rules = CChapterRules::BuiltIn();
    const struct {
        int rule;
        std::vector<std::string> headings;
        std::vector<std::string> decoys;
    } forms[] = {
        {kSeparated,
         {"第 1 章：初到小城", "第十二回、风起", "第三章.夜", "第五节", "卷四 山河", "卷 十二",
          "序", "序：写在前面", "楔子", "番外一 旧事", "番外篇", "尾声", "后记　致谢"},
         {"第一章写得不好", "第一天", "卷起袖子就干", "序列号是多少", "尾声渐渐远了", "第 章"}},
        {kBracketed,
         {"【第一章】初到小城", "〔第二回 风起〕", "[楔子] 开端", "［012］夜", "〖卷三〗"},
         {"【公告】请假一天", "【第一章", "[注] 第一章", "第一章】"}},
        {kBody,
         {"正文 第一章 初到小城", "正文：第12章", "正文　楔子"},
         {"正文", "正文开始了", "正文 一 小城"}},
        {kEnglish,
         {"Chapter One", "CHAPTER TWENTY-ONE: The Road", "chapter 12", "Chapter XIV - Home",
          "Chapter One Hundred and Five", "Prologue", "Epilogue: After"},
         {"Chapter", "Chapters 7", "Chapter oneself", "Chapter tenth", "Prologues", "Chapter 7x"}},
    };
    for (const auto& form : forms) {
        const std::uint64_t bit = std::uint64_t(1) << form.rule;
        for (const std::string& heading : form.headings) {
            EXPECT_TRUE(rules.Match(Wide(heading)) & bit) << heading;
        }
        for (const std::string& decoy : form.decoys) {
            EXPECT_FALSE(rules.Match(Wide(decoy)) & bit) << decoy;
        }
    }
    // Each rule keeps to its own length of line.
    EXPECT_FALSE(rules.Match(Wide("第一章 " + std::string(30, 'a'))) & (1u << kSeparated));
    EXPECT_TRUE(rules.Match(Wide("Chapter 1 " + std::string(40, 'a'))) & (1u << kEnglish));

    // A disabled rule finds nothing, and the rules with it are other rules for a kept list.
    CChapterRules fewer = rules;
    fewer[kBracketed].SetEnabled(false);
    EXPECT_FALSE(fewer.Match(Wide("【第一章】初到小城")));
    EXPECT_EQ(fewer.FirstCharacters().find(u'【'), std::u16string::npos);
    EXPECT_NE(fewer.Identity(), rules.Identity());
    EXPECT_EQ(CChapterRules::BuiltIn().Identity(), rules.Identity());
}

// A volume's heading is one the chapters after it belong to; 目录 shows it apart.
TEST(ChapterRules, VolumesAreToldFromChaptersAndFromWordsLikeThem) {
    CChapterList list;
    for (const char* title :
         {"第一卷 山河", "卷二", "【第三卷】远方", "正文 卷四 归来", "第十二卷：终", "第一章 卷首",
          "卷起袖子", "第一卷书读完了", "卷", "Chapter 1"}) {
        list.Add(0, 0, title);
    }
    std::vector<bool> volumes;
    for (std::size_t i = 0; i < list.size(); ++i) {
        volumes.push_back(list.IsVolume(i));
    }
    EXPECT_EQ(volumes,
              (std::vector<bool>{true, true, true, true, true, false, false, false, false, false}));
    list.SetMadeByReader(true); // opening words, never headings
    EXPECT_FALSE(list.IsVolume(0));
}

TEST(ChapterRules, ThePatternOfAReadersRuleMatchesAtTheLineStart) {
    const CChapterRule star = CChapterRule::FromPattern("星号", "☆、.+");
    EXPECT_TRUE(star.IsValid());
    EXPECT_TRUE(star.Matches(u"☆、初到小城"));
    EXPECT_TRUE(star.Matches(u"☆、𠮷日"));
    EXPECT_FALSE(star.Matches(u"他画了一个☆、又画了一个"));
    const CChapterRule bad = CChapterRule::FromPattern("坏", "第(一章");
    EXPECT_FALSE(bad.IsValid());
    EXPECT_FALSE(bad.Error().empty());
    EXPECT_FALSE(bad.Matches(u"第(一章"));
    // Patterns that could backtrack for ages on a 50-character line are refused up front.
    for (const char* runaway : {"(a+)+b", "((a|aa))*$", "(第\\s*)+章", "(x{1,3}){2,}"}) {
        EXPECT_FALSE(CChapterRule::FromPattern("慢", runaway).IsValid()) << runaway;
    }
    for (const char* fine : {"^(第|卷).{0,20}$", "(ab)+", "[(a+)]+", "\\(a+\\)+", "(a+)?"}) {
        EXPECT_TRUE(CChapterRule::FromPattern("快", fine).IsValid()) << fine;
    }

    CChapterRules rules = CChapterRules::BuiltIn();
    const std::string before = rules.Identity();
    rules.Add(bad);
    EXPECT_EQ(rules.Identity(), before); // an invalid rule finds nothing, so changes nothing
    rules.Add(star);
    EXPECT_TRUE(rules.AnyFirstCharacter());
    EXPECT_EQ(rules.Match(u"☆、初到小城"), std::uint64_t(1) << (rules.size() - 1));
}

TEST(ChapterRuleFile, ReadsTheRulesReadersExchangeAndReportsWhatItLeavesOut) {
    // JSON as such: escapes, a pair of escapes for one character, numbers kept as written.
    const auto json = CJsonValue::Parse(
        R"( [ {"name": "a\"\\\/\n\u4E2D\ud842\udfb7", "n": -1.50e+3, "t": true, "z": null} ] )");
    ASSERT_TRUE(json);
    const CJsonValue& item = json->Items().at(0);
    EXPECT_EQ(item.Find("name")->Text(), "a\"\\/\n中𠮷");
    EXPECT_EQ(item.Find("n")->Text(), "-1.50e+3");
    EXPECT_TRUE(item.Find("t")->Bool());
    EXPECT_EQ(item.Find("z")->GetKind(), CJsonValue::Kind::Null);
    EXPECT_EQ(item.Find("missing"), nullptr);
    for (const std::string& bad :
         std::vector<std::string>{"[1,]", "{\"a\" 1}", "[1] 2", "\"\\ud842\"", "\"a", "tru", "01x",
                                  std::string(100, '[') + std::string(100, ']')}) {
        std::string error;
        EXPECT_FALSE(CJsonValue::Parse(bad, &error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }

    TempDir dir;
    CChapterRules rules;
    EXPECT_TRUE(CChapterRuleFile::LoadInto(dir.Path(), rules).empty()); // no file, no rules
    EXPECT_EQ(rules.size(), 1u);
    dir.Write(CChapterRuleFile::kFileName, R"([
        {"id": 2, "name": "星号", "rule": "^☆、", "example": "☆、标题", "serialNumber": 5,
         "enable": true, "replaceRegex": "", "extra": {"kept": [1, 2]}},
        {"id": 1, "name": "数字", "rule": "^\\d+\\s", "serialNumber": 1, "enable": false},
        {"id": 3, "name": "坏", "rule": "^(第", "serialNumber": 0},
        {"id": 4, "name": "空"}
    ])");
    const std::vector<std::string> problems = CChapterRuleFile::LoadInto(dir.Path(), rules);
    ASSERT_EQ(problems.size(), 2u);
    EXPECT_NE(problems[0].find("\"坏\": invalid pattern"), std::string::npos) << problems[0];
    EXPECT_NE(problems[1].find("\"空\": no pattern"), std::string::npos) << problems[1];
    ASSERT_EQ(rules.size(), 3u);
    EXPECT_EQ(rules[1].Name(), "数字");
    EXPECT_FALSE(rules[1].Enabled());
    EXPECT_EQ(rules[2].Name(), "星号");
    EXPECT_EQ(rules.Match(u"☆、初到小城"), 4u);
    EXPECT_EQ(rules.Match(u"12 初到小城"), 0u);

    // A damaged file is named once and gives no rules at all.
    for (const std::string damaged :
         {"[{\"name\": \"星号\", \"rule\": \"^☆、\"", "{\"rule\": 1}"}) {
        dir.Write(CChapterRuleFile::kFileName, damaged);
        CChapterRules none;
        const std::vector<std::string> said = CChapterRuleFile::LoadInto(dir.Path(), none);
        ASSERT_EQ(said.size(), 1u) << damaged;
        EXPECT_TRUE(said[0].starts_with("chapter_rules.json: ")) << said[0];
        EXPECT_EQ(none.size(), 1u);
    }
}

// Offsets of headings every `step` bytes from `from` up to `to`, all of `rule`.
void AddHeadings(std::vector<std::uint64_t>& offsets, std::vector<std::uint64_t>& bits, int rule,
                 std::uint64_t from, std::uint64_t to, std::uint64_t step) {
    for (std::uint64_t at = from; at < to; at += step) {
        offsets.push_back(at);
        bits.push_back(std::uint64_t(1) << rule);
    }
}

// Written back, the reader's rules keep what the reader does not know of them and the invalid
// ones; another file's rules merge in by name.
TEST(ChapterRuleFile, SavesKeepingUnknownMembersAndImportsByName) {
    TempDir dir;
    dir.Write("mine.json", R"([
      {"id": -5, "name": "星号", "rule": "^☆、", "example": "☆、标题", "serialNumber": 3,
       "enable": false, "replacement": "", "note": {"by": "书友"}},
      {"id": 9, "name": "坏", "rule": "^(第", "serialNumber": 1}])");
    std::vector<CChapterRule> rules;
    ASSERT_EQ(CChapterRuleFile::Read(dir.File("mine.json"), rules, true).size(), 1u);
    ASSERT_EQ(rules.size(), 2u);
    EXPECT_EQ(rules[0].Name(), "坏");
    EXPECT_FALSE(rules[0].IsValid());
    rules.push_back(CChapterRules()[0]); // a built-in rule is never written
    std::swap(rules[0], rules[1]);
    ASSERT_TRUE(CChapterRuleFile::Save(dir.File("saved.json"), rules));
    const std::optional<CJsonValue> saved = CJsonValue::Parse(dir.Read("saved.json"));
    ASSERT_TRUE(saved && saved->Items().size() == 2u);
    const CJsonValue& star = saved->Items()[0];
    EXPECT_EQ(star.Find("id")->Text(), "-5");
    EXPECT_EQ(star.Find("serialNumber")->Text(), "0");
    EXPECT_FALSE(star.Find("enable")->Bool());
    EXPECT_EQ(star.Find("example")->Text(), "☆、标题");
    EXPECT_EQ(star.Find("note")->Find("by")->Text(), "书友");
    EXPECT_EQ(star.Find("replacement")->Text(), "");
    EXPECT_EQ(saved->Items()[1].Find("rule")->Text(), "^(第");

    dir.Write("shared.json", R"([{"name": "坏", "rule": "^第.{1,4}节"},
                                 {"name": "井号", "rule": "^#"}])");
    EXPECT_TRUE(CChapterRuleFile::Import(dir.File("shared.json"), rules).empty());
    ASSERT_EQ(rules.size(), 4u);
    EXPECT_EQ(rules[1].Name(), "坏");
    EXPECT_TRUE(rules[1].Matches(u"第一节 河"));
    EXPECT_EQ(rules[3].Name(), "井号");
}

// A built-in rule turned off in 规则 stays off for every scan (its name in a list beside the
// shared file, which has no place for it), and is on again once the list drops it.
TEST(ChapterRuleFile, BuiltInRulesTurnedOffStayOff) {
    TempDir dir;
    std::vector<CChapterRule> all;
    const CChapterRules builtIn = CChapterRules::BuiltIn();
    for (std::size_t i = 0; i < builtIn.size(); ++i) {
        all.push_back(builtIn[i]);
    }
    const auto scanRules = [&] {
        CChapterRules rules = CChapterRules::BuiltIn();
        CChapterRuleFile::LoadInto(dir.Path(), rules);
        return rules;
    };
    EXPECT_NE(scanRules().Match(u"【第一章】开端"), 0u);
    all[kBracketed].SetEnabled(false);
    ASSERT_TRUE(CChapterRuleFile::SaveBuiltInChoices(dir.Path(), all));
    EXPECT_EQ(scanRules().Match(u"【第一章】开端"), 0u);
    EXPECT_NE(scanRules().Match(u"第一章 开端"), 0u);
    EXPECT_NE(scanRules().Identity(), CChapterRules::BuiltIn().Identity());
    all[kBracketed].SetEnabled(true);
    ASSERT_TRUE(CChapterRuleFile::SaveBuiltInChoices(dir.Path(), all));
    EXPECT_NE(scanRules().Match(u"【第一章】开端"), 0u);
}

TEST(ChapterFinder, PicksTheRuleWithTheMostChaptersOfPlausibleLength) {
    const std::uint64_t book = 3'000'000;
    std::vector<std::uint64_t> offsets;
    std::vector<std::uint64_t> bits;
    // Rule 0 finds 60 headings a chapter apart, rule 1 2000 lines of a list in one of them.
    AddHeadings(offsets, bits, 0, 0, book, 50'000);
    AddHeadings(offsets, bits, 1, 1'000'000, 1'040'000, 20); // a list of short lines
    EXPECT_EQ(CChapterFinder::Pick(offsets, bits, 2, book, 2), 0);
    // A rule that finds a stray line or two in a long book is passed over.
    EXPECT_EQ(CChapterFinder::Pick({1000, 2000}, {1, 1}, 1, book, 2), -1);
    EXPECT_EQ(CChapterFinder::Pick({}, {}, 3, book, 2), -1);
    // On a tie the earlier rule; a book of short chapters only still gets its headings.
    EXPECT_EQ(CChapterFinder::Pick({0, 50'000}, {3, 3}, 2, 100'000, 2), 0);
    EXPECT_EQ(CChapterFinder::Pick({0, 10, 20, 30}, {2, 3, 2, 2}, 2, 40, 2), 1);
    // More plausible chapters win over more headings.
    EXPECT_EQ(
        CChapterFinder::Pick({0, 30, 60, 1000, 25'000, 50'000}, {3, 1, 1, 3, 2, 3}, 2, 200'000, 2),
        1);
}

struct StyledBook {
    std::string name;
    std::string utf8;
    std::vector<std::string> titles;
};

// A book whose headings are all of one style, each chapter with a sentence that names other
// chapters in that style.
StyledBook Styled(std::string name, const std::vector<std::string>& headings,
                  const std::string& decoy) {
    StyledBook book{std::move(name), "书名：小城故事\n作者：佚名\n\n", headings};
    for (const std::string& heading : headings) {
        book.utf8 += "　　" + heading + "\n\n";
        book.utf8 += "　　那天晚上，他在灯下读到" + decoy + "，又想起河边的老槐树。\n";
        book.utf8 += test_books::kChineseProse;
    }
    return book;
}

class FinderInEncoding : public testing::TestWithParam<const char*> {
protected:
    CChapterList Chapters(const std::string& utf8) {
        const std::string path = m_dir.Write("book.txt", Encode(utf8, GetParam()));
        CResourceData reader;
        EXPECT_EQ(reader.OpenTxt(DecodeUtf8(path)), 0);
        CBookScanner scanner;
        EXPECT_TRUE(scanner.Open(reader.m_strPath, reader.m_layout));
        std::optional<CChapterList> chapters =
            CChapterFinder::Find(scanner, CChapterRules::BuiltIn());
        EXPECT_TRUE(chapters);
        for (std::size_t i = 0; chapters && i < chapters->size(); ++i) {
            EXPECT_EQ(reader.PageOfOffset(chapters->Offset(i)), chapters->Page(i));
        }
        return chapters ? *chapters : CChapterList();
    }
    TempDir m_dir;
};

TEST_P(FinderInEncoding, EachBookListsExactlyItsHeadingsWithNoSetting) {
    const StyledBook books[] = {
        Styled("bracketed", {"【第一章】初到小城", "【第二章】老槐树", "【第三章】远行"},
               "【第九章】的结尾"),
        Styled("body", {"正文 第一章 初到小城", "正文 第二章 老槐树", "正文 第三章 远行"},
               "正文 第九章 里的信"),
        Styled("separated",
               {"卷一 山河", "第 1 章：初到小城", "第 2 章、老槐树", "卷二 远方", "第 3 章 远行"},
               "第 9 章：结尾和卷二 远方"),
        Styled("english", {"Chapter One", "Chapter Two: The Old Tree", "Chapter Twenty-One"},
               "Chapter Six 的开头"),
        Styled("named",
               {"楔子", "第一章、初到小城", "第二章、老槐树", "番外一 旧事", "尾声", "后记"},
               "楔子和尾声"),
    };
    for (const StyledBook& book : books) {
        SCOPED_TRACE(book.name);
        const CChapterList chapters = Chapters(book.utf8);
        ASSERT_EQ(chapters.size(), book.titles.size());
        for (std::size_t i = 0; i < chapters.size(); ++i) {
            EXPECT_EQ(EncodeUtf8(chapters.Title(i)), book.titles[i]);
        }
        EXPECT_FALSE(chapters.MadeByReader());
        EXPECT_FALSE(chapters.RuleName().empty());
    }
}

TEST_P(FinderInEncoding, ABookWithoutHeadingsGetsChaptersOfAboutTenThousandCharacters) {
    const std::string text = test_books::RepeatedProse(200'000);
    // Where each paragraph begins in the file, with its place in characters and its text.
    struct Paragraph {
        std::size_t chars;
        std::u16string text;
    };
    std::map<std::uint64_t, Paragraph> paragraphs;
    std::uint64_t offset = 0;
    std::size_t chars = 0;
    std::size_t longest = 0;
    for (std::size_t from = 0; from < text.size();) {
        const std::size_t end = text.find('\n', from) + 1;
        const std::u16string paragraph = Wide(text.substr(from, end - from - 1));
        paragraphs[offset] = {chars, paragraph};
        offset += Encode(text.substr(from, end - from), GetParam()).size();
        // Characters of the text, not line breaks: 𠮷 counts once.
        const auto length =
            std::size_t(std::count_if(paragraph.begin(), paragraph.end(),
                                      [](char16_t c) { return c < 0xDC00 || c > 0xDFFF; }));
        chars += length;
        longest = std::max(longest, length);
        from = end;
    }
    const CChapterList chapters = Chapters(text);
    EXPECT_TRUE(chapters.MadeByReader());
    ASSERT_GE(chapters.size(), 6u);
    EXPECT_EQ(chapters.Offset(0), 0u);
    for (std::size_t i = 0; i < chapters.size(); ++i) {
        // Each begins a paragraph, is named by its opening words and is about 10 000 long.
        const auto paragraph = paragraphs.find(chapters.Offset(i));
        ASSERT_NE(paragraph, paragraphs.end()) << i;
        EXPECT_EQ(chapters.Title(i), paragraph->second.text.substr(0, 12) + u"…");
        const std::size_t next =
            i + 1 < chapters.size() ? paragraphs[chapters.Offset(i + 1)].chars : chars;
        const std::size_t length = next - paragraph->second.chars;
        EXPECT_LE(length, 10'000 + longest) << i;
        if (i + 1 < chapters.size()) {
            EXPECT_GE(length, 9'950u) << i; // the count may take a rare character for two
        }
    }
}

// A big book is scanned by two threads, a half each: the headings are those of one scan,
// wherever the halves meet, in every encoding and with CR LF line ends.
TEST(ChapterFinder, TwoHalvesFindWhatOneScanFinds) {
    TempDir dir;
    std::string text;
    for (int i = 1; i <= 40; ++i) {
        text += "　　第" + std::to_string(i) + "章 第" + std::to_string(i) + "个夜晚\n" +
                test_books::Repeated("那天晚上，他在灯下读书𠮷。", std::size_t(i) * 37 % 900 + 30) +
                "\n";
    }
    for (const char* encoding : {"GB18030", "UTF-8", "UTF-16LE"}) {
        SCOPED_TRACE(encoding);
        const std::string crlf = test_books::CrLf(text);
        const std::string bytes = std::string(encoding) == "UTF-16LE"
                                      ? "\xFF\xFE" + Encode(crlf, encoding)
                                      : Encode(crlf, encoding);
        const std::string path = dir.Write(std::string("book-") + encoding + ".txt", bytes);
        CResourceData reader;
        ASSERT_EQ(reader.OpenTxt(DecodeUtf8(path)), 0);
        CBookScanner scanner;
        ASSERT_TRUE(scanner.Open(reader.m_strPath, reader.m_layout));
        scanner.SetBlockBytes(509); // block edges inside lines, and in both halves
        scanner.SetChapterRules(CChapterRules::BuiltIn());
        std::vector<std::pair<std::uint64_t, std::u16string>> whole;
        ASSERT_TRUE(scanner.ScanChapters([&](const ScanHit& hit) {
            whole.emplace_back(hit.offset, hit.text);
            return true;
        }));
        ASSERT_EQ(whole.size(), 40u);
        std::vector<std::pair<std::uint64_t, std::u16string>> halves;
        ASSERT_TRUE(CChapterFinder::ScanInHalves(scanner, [&](const ScanHit& hit) {
            halves.emplace_back(hit.offset, hit.text);
            return true;
        }));
        EXPECT_EQ(halves, whole);
        // The halves meet at a line's start, also when the middle falls inside a character.
        for (std::uint64_t at : {std::uint64_t(1), scanner.Size() / 2, scanner.Size() / 2 + 1}) {
            const std::uint64_t start = scanner.LineStartFrom(at);
            ASSERT_LE(start, scanner.Size());
            EXPECT_EQ(scanner.LineAt(start), scanner.LineAt(start + 2)) << at;
            EXPECT_NE(scanner.LineAt(start), scanner.LineAt(start - 3)) << at;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Books, FinderInEncoding, testing::Values("GB18030", "UTF-8"),
                         [](const auto& info) {
                             return info.param[0] == 'G' ? "Gb18030" : "Utf8";
                         });

} // namespace
