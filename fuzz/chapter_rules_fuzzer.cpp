// The reader's own chapter rules file: whatever it holds, loading neither crashes nor hangs;
// each rule in it is either loaded or reported, a file that is no list of rules is reported
// once and gives none; and the rules loaded test lines, the file's own text among them, in
// bounded time.
#include "fuzz/fuzz_input.h"
#include "platform/code_page.h"
#include "text/chapter_rule_file.h"
#include "text/json_value.h"

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
    return 0;
}
