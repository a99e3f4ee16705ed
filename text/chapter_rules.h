#pragma once

#include "text/chapter_rule.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The chapter rules in the order the reader prefers them: the built-in ones, then the reader's
// own. A scan tests every line against all of them at once; the first 64 count.
class CChapterRules {
public:
    static constexpr std::size_t kMaxRules = 64;

    // Today's rule alone (see HeadingTitle).
    CChapterRules();
    // Every built-in rule, today's first.
    static CChapterRules BuiltIn();

    void Add(CChapterRule rule);
    std::size_t size() const { return m_rules.size(); }
    const CChapterRule& operator[](std::size_t i) const { return m_rules[i]; }
    CChapterRule& operator[](std::size_t i) { return m_rules[i]; }

    // The enabled, valid rules the trimmed line is a heading of: bit i for rule i.
    std::uint64_t Match(std::u16string_view title) const;
    // The characters headings of the enabled rules begin with; AnyFirstCharacter() when one of
    // them may begin with anything.
    std::u16string FirstCharacters() const;
    bool AnyFirstCharacter() const;
    // The longest heading any enabled rule takes, in characters.
    std::size_t MaxChars() const;
    // Names what the enabled rules find, so that a list kept for one set of rules is never
    // taken for another's.
    std::string Identity() const;

private:
    std::vector<CChapterRule> m_rules;
};
