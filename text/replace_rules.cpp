#include "text/replace_rules.h"

#include "platform/code_page.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <mutex>
#include <set>

struct CReplaceRules::Told {
    std::mutex mutex;
    std::set<std::string> said;
    ProblemFn fn;
};

namespace {

bool IsBlank(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\u3000' || c == u'\u00A0';
}

} // namespace

CReplaceRules::CReplaceRules() : m_told(std::make_shared<Told>()) {}

void CReplaceRules::Add(CReplaceRule rule) {
    m_rules.push_back(std::move(rule));
}

void CReplaceRules::Remove(std::size_t i) {
    m_rules.erase(m_rules.begin() + std::ptrdiff_t(i));
}

void CReplaceRules::Swap(std::size_t a, std::size_t b) {
    const long long order = m_rules[a].Get().order;
    m_rules[a].SetOrder(m_rules[b].Get().order);
    m_rules[b].SetOrder(order);
    std::swap(m_rules[a], m_rules[b]);
}

void CReplaceRules::SortByOrder() {
    std::stable_sort(
        m_rules.begin(), m_rules.end(),
        [](const CReplaceRule& a, const CReplaceRule& b) { return a.Get().order < b.Get().order; });
}

CReplaceRules CReplaceRules::ForBook(std::u16string_view bookPath) const {
    const std::size_t slash = bookPath.find_last_of(u'/');
    const std::u16string_view fileName =
        slash == std::u16string_view::npos ? bookPath : bookPath.substr(slash + 1);
    CReplaceRules rules;
    rules.m_told = m_told;
    for (const CReplaceRule& rule : m_rules) {
        if (rule.Enabled() && rule.IsValid() && rule.AppliesTo(fileName)) {
            rules.m_rules.push_back(rule);
        }
    }
    return rules;
}

bool CReplaceRules::Changes() const {
    return std::any_of(m_rules.begin(), m_rules.end(),
                       [](const CReplaceRule& rule) { return rule.Enabled() && rule.IsValid(); });
}

std::string CReplaceRules::Identity() const {
    // FNV-1a over what each enabled rule does, in order.
    std::uint64_t hash = 0xcbf29ce484222325ull;
    const auto add = [&](std::string_view bytes) {
        for (unsigned char b : bytes) {
            hash = (hash ^ b) * 0x100000001b3ull;
        }
        hash = (hash ^ 0xFF) * 0x100000001b3ull; // keeps "ab"+"c" apart from "a"+"bc"
    };
    for (const CReplaceRule& rule : m_rules) {
        if (rule.Enabled() && rule.IsValid()) {
            add(rule.Get().isRegex ? "regex" : "plain");
            add(rule.Get().pattern);
            add(rule.Get().replacement);
            add(rule.Get().scope);
        }
    }
    char text[20];
    std::snprintf(text, sizeof(text), "%016" PRIx64, hash);
    return text;
}

void CReplaceRules::SetProblemFn(ProblemFn fn) {
    const std::lock_guard lock(m_told->mutex);
    m_told->fn = std::move(fn);
}

void CReplaceRules::Tell(const CReplaceRule& rule, const std::string& problem) const {
    const std::string line = "clean-up rule \"" + rule.Name() + "\": " + problem;
    ProblemFn fn;
    {
        const std::lock_guard lock(m_told->mutex);
        if (!m_told->said.insert(line).second) {
            return;
        }
        fn = m_told->fn;
    }
    if (fn) {
        fn(line);
    }
}

CReplaceRules::Shown CReplaceRules::Apply(std::u16string_view line) const {
    Shown shown;
    shown.text = std::u16string(line);
    shown.from.resize(line.size());
    for (std::size_t i = 0; i < line.size(); ++i) {
        shown.from[i] = i;
    }
    for (const CReplaceRule& rule : m_rules) {
        if (!rule.Enabled()) {
            continue;
        }
        if (!rule.IsValid()) {
            Tell(rule, rule.Error() + "; skipped");
            continue;
        }
        switch (rule.Apply(shown.text, shown.from, kMaxRegexChars)) {
        case CReplaceRule::Outcome::Applied:
            break;
        case CReplaceRule::Outcome::TooLong:
            Tell(rule, "a line of over " + std::to_string(kMaxRegexChars) +
                           " characters is too long for a pattern; skipped there");
            break;
        case CReplaceRule::Outcome::TooComplex:
            Tell(rule, "the pattern ran away on a line; skipped there");
            break;
        }
    }
    const auto blank = [](std::u16string_view text) {
        return std::all_of(text.begin(), text.end(), IsBlank);
    };
    if (!blank(line) && blank(shown.text)) {
        shown.text.clear();
        shown.from.clear();
        shown.removed = true;
    }
    return shown;
}
