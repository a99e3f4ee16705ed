#pragma once

#include <cstddef>
#include <memory>
#include <regex>
#include <string>
#include <string_view>
#include <vector>

// A reader's regular expression (ECMAScript), matched on whole characters: wchar_t holds a
// character beyond the basic plane whole, so "." and classes never see half a pair.
class CRuleRegex {
public:
    // Compiles the UTF-8 pattern. An invalid pattern, or one that may run away (a repeated group
    // that repeats or has alternatives), gives a regex that matches nothing, with Error() set.
    explicit CRuleRegex(std::string_view pattern);

    bool IsValid() const { return m_regex != nullptr; }
    const std::string& Error() const { return m_error; }
    const std::wregex& Regex() const { return *m_regex; }

    // The text as wide characters; `units`, when given, gets the UTF-16 index each character
    // starts at, and one more entry for the end.
    static std::wstring Wide(std::u16string_view text, std::vector<std::size_t>* units = nullptr);
    // Wide characters back to UTF-16.
    static std::u16string Narrow(std::wstring_view wide);
    // Whether a group that holds a repetition or alternatives is itself repeated ("(a+)+",
    // "(a|aa)*"): the matcher backtracks, and such a pattern can take exponential time on a line
    // that nearly matches.
    static bool MayRunAway(std::string_view pattern);
    // Text every match of the pattern holds (its longest run of plain characters outside groups
    // and not made optional), or empty when there is none or alternatives make it unsure: a line
    // without it cannot match, and is passed over without running the matcher.
    static std::u16string RequiredText(std::string_view pattern);

private:
    std::shared_ptr<const std::wregex> m_regex; // shared: copies compile it once
    std::string m_error;
};
