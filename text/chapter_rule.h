#pragma once

#include "text/json_value.h"

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

// One named way of telling chapter headings: a built-in form matched by hand, or the reader's
// own regular expression. It looks at a trimmed line no longer than its MaxChars.
class CChapterRule {
public:
    using MatchFn = bool (*)(std::u16string_view title);

    // A built-in rule. `pattern` says in a regular expression what `match` does by hand (for
    // showing and exporting it); `firstChars` are the characters its headings can begin with.
    CChapterRule(std::string name, std::string pattern, std::u16string firstChars, MatchFn match,
                 std::size_t maxChars);
    // The reader's own rule: an ECMAScript regular expression that must match at the start of
    // the trimmed line. An invalid pattern, or one that may run away (a repeated group that
    // repeats or has alternatives), gives a rule that matches nothing, with Error() set.
    static CChapterRule FromPattern(std::string name, std::string pattern);

    const std::string& Name() const { return m_name; }
    const std::string& Pattern() const { return m_pattern; }
    bool IsBuiltIn() const { return m_match != nullptr; }
    bool Enabled() const { return m_bEnabled; }
    void SetEnabled(bool enabled) { m_bEnabled = enabled; }
    bool IsValid() const { return m_error.empty(); }
    const std::string& Error() const { return m_error; }
    // Empty when a heading may begin with any character.
    const std::u16string& FirstCharacters() const { return m_firstChars; }
    std::size_t MaxChars() const { return m_maxChars; }

    bool Matches(std::u16string_view title) const;

    // A reader's rule as its rules file has it: an example heading, and the object it was read
    // from, whose members the reader does not know are written back as they were.
    const std::string& Example() const { return m_example; }
    void SetExample(std::string example) { m_example = std::move(example); }
    const CJsonValue& Json() const { return m_json; }
    void SetJson(CJsonValue json) { m_json = std::move(json); }

    // The reader's rules look at lines up to this long.
    static constexpr std::size_t kPatternMaxChars = 50;

private:
    CChapterRule() = default;

    std::string m_name;
    std::string m_pattern;
    std::u16string m_firstChars;
    MatchFn m_match = nullptr;
    struct Compiled;                         // the regular expression, kept out of this header
    std::shared_ptr<const Compiled> m_regex; // shared: copies of a rule compile it once
    std::string m_error;
    std::string m_example;
    CJsonValue m_json = CJsonValue::Object();
    std::size_t m_maxChars = 0;
    bool m_bEnabled = true;
};
