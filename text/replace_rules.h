#pragma once

#include "text/replace_rule.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// The clean-up rules, in the order they run: each works on what the ones before it left. They
// change what a line shows, never the book or the places kept in it.
class CReplaceRules {
public:
    // A regex rule passes over longer lines: the matcher's time and stack grow with the line.
    static constexpr std::size_t kMaxRegexChars = 4096;

    // A line as shown. `from` has one entry per UTF-16 unit of `text`: the index of the unit of
    // the source line it shows (text a rule put in shows the first unit of what it replaced).
    struct Shown {
        std::u16string text;
        std::vector<std::size_t> from;
        bool removed = false; // a line with text that the rules left blank: it is not shown
    };
    // Told once per rule and kind of problem, naming the rule.
    using ProblemFn = std::function<void(const std::string& problem)>;

    CReplaceRules();

    void Add(CReplaceRule rule);
    std::size_t size() const { return m_rules.size(); }
    const CReplaceRule& operator[](std::size_t i) const { return m_rules[i]; }
    CReplaceRule& operator[](std::size_t i) { return m_rules[i]; }
    void Remove(std::size_t i);
    // Swaps two rules' places in the order (and their order numbers).
    void Swap(std::size_t a, std::size_t b);
    // Sorts by the rules' order numbers, keeping the file's order on a tie.
    void SortByOrder();

    // The enabled, valid rules for the book at this path, in order (copies share the problems
    // told).
    CReplaceRules ForBook(std::u16string_view bookPath) const;
    // Whether some enabled, valid rule may change a line.
    bool Changes() const;
    // Names what the enabled rules do, so that what was kept for one set is never taken for
    // another's.
    std::string Identity() const;

    void SetProblemFn(ProblemFn fn);
    // The line as the reader shows it.
    Shown Apply(std::u16string_view line) const;

private:
    struct Told; // the problems named so far, shared by copies and threads
    void Tell(const CReplaceRule& rule, const std::string& problem) const;

    std::vector<CReplaceRule> m_rules;
    std::shared_ptr<Told> m_told;
};
