// The reader's own rules files, chapter_rules.json and replace_rules.json: whatever they hold,
// loading neither crashes nor hangs; each rule in them is either loaded or reported, a file that
// is no list of rules is reported once and gives none; the rules loaded test and clean up lines,
// the file's own text among them, in bounded time; and clean-up rules written back read back the
// same.
#include "fuzz/fuzz_input.h"
#include "platform/code_page.h"
#include "text/chapter_rule_file.h"
#include "text/json_value.h"
#include "text/replace_rule_file.h"

#include <fstream>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text = fuzz::AsText(data, size);
    std::ofstream(fuzz::ScratchDir() + "/" + CChapterRuleFile::kFileName,
                  std::ios::binary | std::ios::trunc)
        << text;
    CChapterRules rules;
    const std::vector<std::string> problems = CChapterRuleFile::LoadInto(fuzz::ScratchDir(), rules);
    const std::optional<CJsonValue> json = CJsonValue::Parse(text);
    if (!json || json->GetKind() != CJsonValue::Kind::Array) {
        fuzz::Require(problems.size() == 1 && rules.size() == 1);
    } else {
        fuzz::Require(problems.size() + rules.size() - 1 == json->Items().size());
    }
    for (std::size_t i = 1; i < rules.size(); ++i) {
        fuzz::Require(rules[i].IsValid());
    }
    std::u16string own = DecodeUtf8(text.substr(0, 200));
    own.resize(std::min<std::size_t>(own.size(), CChapterRule::kPatternMaxChars));
    for (const std::u16string& line :
         {own, std::u16string(u"第一章 初到小城"), std::u16string(u"☆、远行"),
          std::u16string(CChapterRule::kPatternMaxChars, u'a')}) {
        rules.Match(line);
    }

    const std::string replacePath = fuzz::ScratchDir() + "/" + CReplaceRuleFile::kFileName;
    std::ofstream(replacePath, std::ios::binary | std::ios::trunc) << text;
    CReplaceRules cleanUp;
    const std::vector<std::string> told = CReplaceRuleFile::Load(replacePath, cleanUp);
    if (!json || json->GetKind() != CJsonValue::Kind::Array) {
        fuzz::Require(told.size() == 1 && cleanUp.size() == 0);
        return 0;
    }
    std::size_t invalid = 0;
    for (std::size_t i = 0; i < cleanUp.size(); ++i) {
        invalid += cleanUp[i].IsValid() ? 0 : 1;
    }
    // Invalid rules are kept (and told of), rules that are no objects are told of only.
    fuzz::Require(told.size() + cleanUp.size() - invalid == json->Items().size());
    // A line that a rule's pattern matches holds the text the rule passes lines over without.
    const std::u16string whole = DecodeUtf8(text.substr(0, 4096));
    for (std::size_t i = 0; i < cleanUp.size(); ++i) {
        const CRuleRegex regex(cleanUp[i].Get().pattern);
        if (!cleanUp[i].Get().isRegex || !regex.IsValid()) {
            continue;
        }
        const std::u16string required = CRuleRegex::RequiredText(cleanUp[i].Get().pattern);
        for (const std::u16string& line : {whole, DecodeUtf8(cleanUp[i].Get().replacement)}) {
            bool matched = false;
            try {
                matched = std::regex_search(CRuleRegex::Wide(line), regex.Regex());
            } catch (const std::regex_error&) {
            }
            fuzz::Require(!matched || line.find(required) != std::u16string::npos);
        }
    }
    const CReplaceRules book = cleanUp.ForBook(u"/书/小城.txt");
    for (const std::u16string& line : {whole, std::u16string(u"　　本书由书友整理 www.example.com"),
                                       std::u16string(CReplaceRules::kMaxRegexChars + 1, u'a')}) {
        const CReplaceRules::Shown shown = book.Apply(line);
        fuzz::Require(shown.from.size() == shown.text.size());
        for (std::size_t from : shown.from) {
            fuzz::Require(from <= line.size());
        }
    }
    fuzz::Require(CReplaceRuleFile::Save(replacePath, cleanUp));
    CReplaceRules again;
    CReplaceRuleFile::Load(replacePath, again);
    fuzz::Require(again.size() == cleanUp.size());
    for (std::size_t i = 0; i < again.size(); ++i) {
        const CReplaceRule::Fields& a = again[i].Get();
        const CReplaceRule::Fields& b = cleanUp[i].Get();
        fuzz::Require(a.name == b.name && a.pattern == b.pattern &&
                      a.replacement == b.replacement && a.scope == b.scope &&
                      a.enabled == b.enabled && a.isRegex == b.isRegex && a.order == b.order);
    }
    return 0;
}
