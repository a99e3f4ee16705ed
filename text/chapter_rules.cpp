#include "text/chapter_rules.h"

#include "text/heading_rule.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>

namespace {

bool IsTodaysHeading(std::u16string_view title) {
    return HeadingTitle(title).has_value();
}

CChapterRule TodaysRule() {
    return CChapterRule(
        "第X章（常见）",
        "^(第[0-9０-９零〇一二三四五六七八九十百千万两]{1,9}[章回节卷集部篇]|"
        "序章|序言|楔子|引子|前言|尾声|后记|番外|[Cc][Hh][Aa][Pp][Tt][Ee][Rr]\\s+\\d)",
        HeadingFirstCharacters(), IsTodaysHeading, kMaxHeadingChars);
}

// Bumped whenever a built-in rule finds other headings than before: lists kept by an older
// build are then made again.
constexpr const char* kBuiltInVersion = "1";

} // namespace

CChapterRules::CChapterRules() {
    m_rules.push_back(TodaysRule());
}

CChapterRules CChapterRules::BuiltIn() {
    CChapterRules rules;
    const std::string numerals =
        "[0-9０-９零〇一二三四五六七八九十百千万两壹贰叁肆伍陆柒捌玖拾佰仟萬]";
    const std::string named =
        "(序章|序言|序幕|楔子|引子|前言|终章|尾声|后记|番外篇|番外" + numerals + "*|序)";
    const std::string separator = "([\\s：:、.．,，\\-－—·]|$)";
    rules.Add(CChapterRule("第X章：标题（分隔符、卷）",
                           "^(第\\s*" + numerals + "{1,9}\\s*[章回节卷集部篇]|卷\\s*" + numerals +
                               "{1,9}|" + named + ")" + separator,
                           u"第卷序楔引前终尾后番", IsSeparatedHeading, kMaxHeadingChars));
    rules.Add(CChapterRule("【第X章】标题（括号）",
                           "^[【〔\\[［〖]\\s*(第\\s*" + numerals + "{1,9}\\s*[章回节卷集部篇]|" +
                               named + "|" + numerals + "{1,6}).*?[】〕\\]］〗]",
                           u"【〔[［〖", IsBracketedHeading, kMaxHeadingChars));
    rules.Add(CChapterRule("正文 第X章 标题",
                           "^正文[\\s：:、.．,，\\-－—·]*(第\\s*" + numerals +
                               "{1,9}\\s*[章回节卷集部篇]|" + named + ")",
                           u"正", IsBodyHeading, kMaxHeadingChars));
    rules.Add(
        CChapterRule("Chapter N（英文）",
                     "^([Pp]rologue|[Ee]pilogue|[Cc]hapter\\s+([0-9]+|[A-Za-z\\- ]+))" + separator,
                     u"CcPpEe", IsEnglishHeading, 60));
    return rules;
}

void CChapterRules::Add(CChapterRule rule) {
    m_rules.push_back(std::move(rule));
}

std::uint64_t CChapterRules::Match(std::u16string_view title) const {
    // Characters, not code units: a surrogate pair counts once.
    std::size_t chars = 0;
    for (char16_t c : title) {
        chars += c >= 0xDC00 && c <= 0xDFFF ? 0 : 1;
    }
    std::uint64_t bits = 0;
    const std::size_t count = std::min(m_rules.size(), kMaxRules);
    for (std::size_t i = 0; i < count; ++i) {
        const CChapterRule& rule = m_rules[i];
        if (rule.Enabled() && rule.IsValid() && chars <= rule.MaxChars() && rule.Matches(title)) {
            bits |= std::uint64_t(1) << i;
        }
    }
    return bits;
}

std::u16string CChapterRules::FirstCharacters() const {
    std::u16string first;
    for (std::size_t i = 0; i < std::min(m_rules.size(), kMaxRules); ++i) {
        if (m_rules[i].Enabled() && m_rules[i].IsValid()) {
            for (char16_t c : m_rules[i].FirstCharacters()) {
                if (first.find(c) == std::u16string::npos) {
                    first += c;
                }
            }
        }
    }
    return first;
}

bool CChapterRules::AnyFirstCharacter() const {
    for (std::size_t i = 0; i < std::min(m_rules.size(), kMaxRules); ++i) {
        if (m_rules[i].Enabled() && m_rules[i].IsValid() && m_rules[i].FirstCharacters().empty()) {
            return true;
        }
    }
    return false;
}

std::size_t CChapterRules::MaxChars() const {
    std::size_t most = 0;
    for (std::size_t i = 0; i < std::min(m_rules.size(), kMaxRules); ++i) {
        if (m_rules[i].Enabled() && m_rules[i].IsValid()) {
            most = std::max(most, m_rules[i].MaxChars());
        }
    }
    return most;
}

std::string CChapterRules::Identity() const {
    // FNV-1a over what makes each enabled rule find what it finds, in order.
    std::uint64_t hash = 0xcbf29ce484222325ull;
    const auto add = [&](std::string_view bytes) {
        for (unsigned char b : bytes) {
            hash = (hash ^ b) * 0x100000001b3ull;
        }
        hash = (hash ^ 0xFF) * 0x100000001b3ull; // keeps "ab"+"c" apart from "a"+"bc"
    };
    add(kBuiltInVersion);
    for (std::size_t i = 0; i < std::min(m_rules.size(), kMaxRules); ++i) {
        const CChapterRule& rule = m_rules[i];
        if (rule.Enabled() && rule.IsValid()) {
            add(rule.IsBuiltIn() ? "built-in" : "pattern");
            add(rule.Name());
            add(rule.Pattern());
        }
    }
    char text[20];
    std::snprintf(text, sizeof(text), "%016" PRIx64, hash);
    return text;
}
