#include "text/chapter_rule.h"

#include "platform/code_page.h"

#include <regex>

namespace {

// wchar_t holds a whole character, so "." and classes see characters, not halves of pairs.
std::wstring Wide(std::u16string_view text) {
    std::wstring wide;
    wide.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        }
        wide += static_cast<wchar_t>(c);
    }
    return wide;
}

} // namespace

struct CChapterRule::Compiled {
    std::wregex regex;
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
    try {
        rule.m_regex = std::make_shared<const Compiled>(
            Compiled{std::wregex(Wide(DecodeUtf8(rule.m_pattern)), std::regex::ECMAScript)});
    } catch (const std::regex_error& e) {
        rule.m_error = e.what();
        if (rule.m_error.empty()) {
            rule.m_error = "invalid pattern";
        }
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
        return std::regex_search(Wide(title), m_regex->regex,
                                 std::regex_constants::match_continuous);
    } catch (const std::regex_error&) {
        return false; // too complex for this line: not a heading
    }
}
