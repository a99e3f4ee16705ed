#pragma once

#include "text/json_value.h"
#include "text/rule_regex.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// One clean-up rule: a plain or regular-expression replacement of what a line shows, for every
// book or for the books whose file name holds its scope. It keeps the JSON object it came from,
// so that the members it does not know are written back as they were.
class CReplaceRule {
public:
    struct Fields {
        std::string name;
        std::string group;
        std::string pattern;     // UTF-8; a regular expression when isRegex
        std::string replacement; // "$1", "$&" stand for the match's parts in a regex rule
        std::string scope;       // parts of file names, split by , ; ， ；; empty for every book
        bool enabled = true;
        bool isRegex = true;
        long long order = 0;
    };
    // Why a line is left as it is by a rule that would otherwise change it.
    enum class Outcome { Applied, TooLong, TooComplex };

    // Compiles the pattern; an empty, invalid or runaway one gives a rule with Error() set that
    // changes nothing.
    explicit CReplaceRule(Fields fields, CJsonValue json = CJsonValue::Object());
    // From an object of a rules file; nothing when it is no object.
    static std::optional<CReplaceRule> FromJson(const CJsonValue& json);
    // The object to write: the one read, with the fields set to this rule's.
    CJsonValue ToJson() const;
    // The object it was made with.
    const CJsonValue& Json() const { return m_json; }

    const Fields& Get() const { return m_fields; }
    const std::string& Name() const { return m_fields.name; }
    bool Enabled() const { return m_fields.enabled; }
    void SetEnabled(bool enabled) { m_fields.enabled = enabled; }
    void SetOrder(long long order) { m_fields.order = order; }
    bool IsValid() const { return m_error.empty(); }
    const std::string& Error() const { return m_error; }

    // Whether the rule is for the book with this file name (no folders).
    bool AppliesTo(std::u16string_view fileName) const;

    // Replaces every match in `text`; `from` holds for each unit of `text` the index of the
    // source unit it shows, and is kept in step. Replacing text shows the first unit of what it
    // replaced. A regex rule leaves lines longer than `maxRegexChars` characters alone.
    Outcome Apply(std::u16string& text, std::vector<std::size_t>& from,
                  std::size_t maxRegexChars) const;

private:
    Fields m_fields;
    CJsonValue m_json;
    std::optional<CRuleRegex> m_regex;
    std::u16string m_plain;
    std::wstring m_format;     // the replacement of a regex rule
    std::u16string m_required; // text a line needs for the regex to match
    std::string m_error;
};
