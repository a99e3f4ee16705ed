#include "text/chapter_rule.h"

#include "text/rule_regex.h"

struct CChapterRule::Compiled {
    CRuleRegex regex;
};

CChapterRule::CChapterRule(std::string name, std::string pattern, std::u16string firstChars,
                           MatchFn match, std::size_t maxChars)
    : m_name(std::move(name)), m_pattern(std::move(pattern)), m_firstChars(std::move(firstChars)),
      m_match(match), m_maxChars(maxChars) {}

CChapterRule CChapterRule::FromPattern(std::string name, std::string pattern) {
    CChapterRule rule;
    rule.m_name = std::move(name);
    rule.m_pattern = std::move(pattern);
    rule.m_maxChars = kPatternMaxChars;
    auto compiled = std::make_shared<const Compiled>(Compiled{CRuleRegex(rule.m_pattern)});
    if (compiled->regex.IsValid()) {
        rule.m_regex = std::move(compiled);
    } else {
        rule.m_error = compiled->regex.Error();
    }
    return rule;
}

bool CChapterRule::Matches(std::u16string_view title) const {
    if (m_match != nullptr) {
        return m_match(title);
    }
    if (!m_regex) {
        return false;
    }
    try {
        return std::regex_search(CRuleRegex::Wide(title), m_regex->regex.Regex(),
                                 std::regex_constants::match_continuous);
    } catch (const std::regex_error&) {
        return false; // too complex for this line: not a heading
    }
}
