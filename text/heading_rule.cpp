#include "text/heading_rule.h"

#include <algorithm>
#include <iterator>

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

constexpr std::size_t npos = std::u16string_view::npos;

// Numerals of headings in every form a novel writes them, banker's numerals included.
bool IsAnyNumeral(char16_t c) {
    static constexpr std::u16string_view kFormal = u"壹贰叁肆伍陆柒捌玖拾佰仟萬";
    return IsHeadingNumeral(c) || kFormal.find(c) != npos;
}

bool IsSeparator(char16_t c) {
    static constexpr std::u16string_view kSeparators = u"：:、.．,，-－—·";
    return IsLineBlank(c) || kSeparators.find(c) != npos;
}

// Whether the heading's number ends at `i`: the line ends or its title follows a separator.
bool EndsOrSeparates(std::u16string_view s, std::size_t i) {
    return i == s.size() || IsSeparator(s[i]);
}

std::size_t SkipBlanks(std::u16string_view s, std::size_t i) {
    while (i < s.size() && IsLineBlank(s[i])) {
        ++i;
    }
    return i;
}

// Where numerals starting at `i` end (at most `max` of them), or npos when there are none.
std::size_t SkipNumerals(std::u16string_view s, std::size_t i, std::size_t max = 9) {
    const std::size_t from = i;
    while (i < s.size() && i - from < max && IsAnyNumeral(s[i])) {
        ++i;
    }
    return i == from ? npos : i;
}

// "第" blanks numerals blanks unit at `i`: where it ends, or npos.
std::size_t NumberedAt(std::u16string_view s, std::size_t i) {
    static constexpr std::u16string_view kUnits = u"章回节卷集部篇";
    if (i >= s.size() || s[i] != u'第') {
        return npos;
    }
    i = SkipNumerals(s, SkipBlanks(s, i + 1));
    if (i == npos) {
        return npos;
    }
    i = SkipBlanks(s, i);
    return i < s.size() && kUnits.find(s[i]) != npos ? i + 1 : npos;
}

// "卷" numerals at `i`: where it ends, or npos.
std::size_t VolumeAt(std::u16string_view s, std::size_t i) {
    if (i >= s.size() || s[i] != u'卷') {
        return npos;
    }
    return SkipNumerals(s, SkipBlanks(s, i + 1));
}

// A named part at `i` (序, 楔子, 番外三 …): where it ends, or npos.
std::size_t NamedPartAt(std::u16string_view s, std::size_t i) {
    static constexpr std::u16string_view kNames[] = {u"序章", u"序言",   u"序幕", u"楔子",
                                                     u"引子", u"前言",   u"终章", u"尾声",
                                                     u"后记", u"番外篇", u"番外", u"序"};
    for (std::u16string_view name : kNames) {
        if (s.substr(i).starts_with(name)) {
            std::size_t end = i + name.size();
            if (name == u"番外") {
                const std::size_t numbered = SkipNumerals(s, end);
                end = numbered == npos ? end : numbered;
            }
            return end;
        }
    }
    return npos;
}

// Where a heading's own marks end at `i` (a numbered chapter, a volume, a named part), or npos.
std::size_t HeadingMarkAt(std::u16string_view s, std::size_t i) {
    for (std::size_t end : {NumberedAt(s, i), VolumeAt(s, i), NamedPartAt(s, i)}) {
        if (end != npos) {
            return end;
        }
    }
    return npos;
}

char16_t LowerAscii(char16_t c) {
    return c >= u'A' && c <= u'Z' ? c + 32 : c;
}

// Whether s[i, …) starts with the lower-case ASCII `word` in any case.
bool StartsWithWord(std::u16string_view s, std::size_t i, std::u16string_view word) {
    if (s.size() - std::min(i, s.size()) < word.size()) {
        return false;
    }
    for (std::size_t k = 0; k < word.size(); ++k) {
        if (LowerAscii(s[i + k]) != word[k]) {
            return false;
        }
    }
    return true;
}

// English number words from `i` ("six", "Twenty-One", "one hundred and five"): where they
// end, or npos when none is there.
std::size_t NumberWordsAt(std::u16string_view s, std::size_t i) {
    static constexpr std::u16string_view kWords[] = {
        u"seventeen", u"thirteen", u"fourteen", u"eighteen", u"nineteen", u"fifteen", u"sixteen",
        u"thousand",  u"hundred",  u"eleven",   u"twelve",   u"twenty",   u"thirty",  u"forty",
        u"fifty",     u"sixty",    u"seventy",  u"eighty",   u"ninety",   u"three",   u"seven",
        u"eight",     u"four",     u"five",     u"nine",     u"zero",     u"one",     u"two",
        u"six",       u"ten",      u"and"};
    std::size_t end = npos;
    while (i < s.size()) {
        const auto word =
            std::find_if(std::begin(kWords), std::end(kWords),
                         [&](std::u16string_view w) { return StartsWithWord(s, i, w); });
        if (word == std::end(kWords) || (*word == u"and" && end == npos)) {
            break;
        }
        const std::size_t after = i + word->size();
        if (after < s.size() && LowerAscii(s[after]) >= u'a' && LowerAscii(s[after]) <= u'z') {
            break; // "tenth", "oneself": another word
        }
        if (*word != u"and") {
            end = after;
        }
        i = after < s.size() && (s[after] == u'-' || s[after] == u' ') ? after + 1 : after;
    }
    return end;
}

std::size_t RomanAt(std::u16string_view s, std::size_t i) {
    static constexpr std::u16string_view kRoman = u"ivxlcdm";
    const std::size_t from = i;
    while (i < s.size() && kRoman.find(LowerAscii(s[i])) != npos) {
        ++i;
    }
    return i == from ? npos : i;
}

} // namespace

bool IsSeparatedHeading(std::u16string_view title) {
    const std::size_t end = HeadingMarkAt(title, 0);
    return end != npos && EndsOrSeparates(title, end);
}

bool IsBracketedHeading(std::u16string_view title) {
    static constexpr std::u16string_view kOpen = u"【〔[［〖";
    static constexpr std::u16string_view kClose = u"】〕]］〗";
    const std::size_t kind = title.empty() ? npos : kOpen.find(title[0]);
    if (kind == npos) {
        return false;
    }
    const std::size_t from = SkipBlanks(title, 1);
    std::size_t end = HeadingMarkAt(title, from);
    if (end == npos) {
        end = SkipNumerals(title, from, 6);
    }
    if (end == npos) {
        return false;
    }
    // What follows the mark inside the brackets is its title: 【第一章 开端】.
    const std::size_t close = title.find(kClose[kind], end);
    return close != npos && (close == end || IsSeparator(title[end]));
}

bool IsBodyHeading(std::u16string_view title) {
    if (!title.starts_with(u"正文")) {
        return false;
    }
    std::size_t i = 2;
    while (i < title.size() && IsSeparator(title[i])) {
        ++i;
    }
    return NumberedAt(title, i) != npos || NamedPartAt(title, i) != npos;
}

bool IsEnglishHeading(std::u16string_view title) {
    for (std::u16string_view word : {u"prologue", u"epilogue"}) {
        if (StartsWithWord(title, 0, word) && EndsOrSeparates(title, word.size())) {
            return true;
        }
    }
    static constexpr std::u16string_view kChapter = u"chapter";
    if (!StartsWithWord(title, 0, kChapter)) {
        return false;
    }
    const std::size_t from = SkipBlanks(title, kChapter.size());
    if (from == kChapter.size()) {
        return false;
    }
    std::size_t end = from;
    while (end < title.size() && title[end] >= u'0' && title[end] <= u'9') {
        ++end;
    }
    if (end == from) {
        end = NumberWordsAt(title, from);
    }
    if (end == npos) {
        end = RomanAt(title, from);
    }
    return end != npos && EndsOrSeparates(title, end);
}

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

bool IsVolumeHeading(std::u16string_view title) {
    static constexpr std::u16string_view kOpen = u"【〔[［〖";
    std::size_t i = 0;
    if (!title.empty() && kOpen.find(title[0]) != npos) {
        i = SkipBlanks(title, 1);
    } else if (title.starts_with(u"正文")) {
        i = 2;
        while (i < title.size() && IsSeparator(title[i])) {
            ++i;
        }
    }
    std::size_t end = VolumeAt(title, i);
    if (end == npos) {
        end = NumberedAt(title, i);
        if (end == npos || title[end - 1] != u'卷') {
            return false;
        }
    }
    return end == title.size() || IsSeparator(title[end]) ||
           std::u16string_view(u"】〕]］〗").find(title[end]) != npos;
}
