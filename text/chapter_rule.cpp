#include "text/chapter_rule.h"

#include "platform/code_page.h"

#include <regex>
#include <vector>

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

// Whether a group that holds a repetition or alternatives is itself repeated ("(a+)+",
// "(a|aa)*"): the matcher backtracks, and such a pattern can take exponential time on a line
// that nearly matches. Such patterns are refused rather than left to hang a scan.
bool MayRunAway(std::string_view pattern) {
    std::vector<bool> open; // per open group: whether it holds a repetition or alternatives
    bool inClass = false;
    bool afterGroup = false; // the last thing was a group's ")"
    bool groupGrows = false; // and that group holds a repetition or alternatives
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        const bool wasAfterGroup = afterGroup;
        afterGroup = false;
        if (c == '\\') {
            ++i;
        } else if (inClass) {
            inClass = c != ']';
        } else if (c == '*' || c == '+' || c == '{') {
            if (wasAfterGroup && groupGrows) {
                return true;
            }
            if (!open.empty()) {
                open.back() = true;
            }
        } else if (c == '[') {
            inClass = true;
        } else if (c == '(') {
            open.push_back(false);
        } else if (c == ')' && !open.empty()) {
            groupGrows = open.back();
            open.pop_back();
            if (!open.empty() && groupGrows) {
                open.back() = true;
            }
            afterGroup = true;
        } else if (c == '|' && !open.empty()) {
            open.back() = true;
        }
    }
    return false;
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
    if (MayRunAway(rule.m_pattern)) {
        rule.m_error = "a repeated group repeats or has alternatives: it may run away";
        return rule;
    }
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
