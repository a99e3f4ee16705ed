#include "text/heading_rule.h"

namespace {

bool IsHeadingNumeral(char16_t c) {
    static constexpr std::u16string_view kNumerals = u"零〇一二三四五六七八九十百千万两";
    return (c >= u'0' && c <= u'9') || (c >= u'０' && c <= u'９') ||
           kNumerals.find(c) != std::u16string_view::npos;
}

bool IsAsciiBlank(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\v' || c == u'\f';
}

// Characters, not code units: a surrogate pair counts once.
std::size_t CharacterCount(std::u16string_view text) {
    std::size_t count = 0;
    for (char16_t c : text) {
        count += c >= 0xDC00 && c <= 0xDFFF ? 0 : 1;
    }
    return count;
}

bool StartsWithNumberedChapter(std::u16string_view line) {
    static constexpr std::u16string_view kUnits = u"章回节卷集部篇";
    if (line.empty() || line[0] != u'第') {
        return false;
    }
    std::size_t i = 1;
    while (i < line.size() && i <= 9 && IsHeadingNumeral(line[i])) {
        ++i;
    }
    return i > 1 && i < line.size() && kUnits.find(line[i]) != std::u16string_view::npos;
}

bool StartsWithNamedPart(std::u16string_view line) {
    static constexpr std::u16string_view kNames[] = {u"序章", u"序言", u"楔子", u"引子",
                                                     u"前言", u"尾声", u"后记", u"番外"};
    for (std::u16string_view name : kNames) {
        if (line.starts_with(name)) {
            return true;
        }
    }
    return false;
}

bool StartsWithEnglishChapter(std::u16string_view line) {
    static constexpr std::u16string_view kWord = u"chapter";
    if (line.size() < kWord.size()) {
        return false;
    }
    for (std::size_t i = 0; i < kWord.size(); ++i) {
        const char16_t c = line[i];
        if ((c >= u'A' && c <= u'Z' ? c + 32 : c) != kWord[i]) {
            return false;
        }
    }
    std::size_t i = kWord.size();
    const std::size_t blanksFrom = i;
    while (i < line.size() && IsLineBlank(line[i])) {
        ++i;
    }
    return i > blanksFrom && i < line.size() && line[i] >= u'0' && line[i] <= u'9';
}

} // namespace

bool IsLineBlank(char16_t c) {
    return IsAsciiBlank(c) || c == 0x00A0 || c == 0x3000 || c == 0xFEFF;
}

std::u16string_view TrimLine(std::u16string_view line) {
    while (!line.empty() && IsLineBlank(line.front())) {
        line.remove_prefix(1);
    }
    while (!line.empty() && IsLineBlank(line.back())) {
        line.remove_suffix(1);
    }
    return line;
}

std::optional<std::u16string> HeadingTitle(std::u16string_view line) {
    const std::u16string_view title = TrimLine(line);
    if (CharacterCount(title) > kMaxHeadingChars) {
        return std::nullopt;
    }
    if (StartsWithNumberedChapter(title) || StartsWithNamedPart(title) ||
        StartsWithEnglishChapter(title)) {
        return std::u16string(title);
    }
    return std::nullopt;
}

const std::u16string& HeadingFirstCharacters() {
    static const std::u16string first = u"第序楔引前尾后番Cc";
    return first;
}
