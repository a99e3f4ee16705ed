#include "text/typesetter.h"

#include <algorithm>
#include <array>

namespace {

constexpr char16_t kIdeographicSpace = u'\u3000';
// A hard-wrapped line ends this many columns short of the width at most (a full-width character
// or a word that did not fit) and a couple over it (a closing mark allowed past the edge).
constexpr int kShortOfWidth = 4;
constexpr int kOverWidth = 2;

struct Line {
    std::size_t start;   // first character
    std::size_t end;     // its '\n', or the end of the text
    std::size_t content; // first character after the leading blanks
    std::size_t trimmed; // just past the last character that is not blank
    bool Blank() const { return content >= trimmed; }
    bool Indented() const { return content > start; }
};

std::vector<Line> LinesOf(std::u16string_view text) {
    std::vector<Line> lines;
    std::size_t start = 0;
    while (true) {
        const std::size_t found = text.find(u'\n', start);
        const std::size_t end = found == std::u16string_view::npos ? text.size() : found;
        std::size_t content = start;
        while (content < end && CTypesetter::IsBlankCharacter(text[content])) {
            ++content;
        }
        std::size_t trimmed = end;
        while (trimmed > content && CTypesetter::IsBlankCharacter(text[trimmed - 1])) {
            --trimmed;
        }
        lines.push_back({start, end, content, trimmed});
        if (found == std::u16string_view::npos) {
            return lines;
        }
        start = found + 1;
    }
}

// Columns of the line's text, counted no further than `limit`.
int ColumnsOf(std::u16string_view text, const Line& line, int limit) {
    int columns = 0;
    for (std::size_t i = line.start; i < line.trimmed && columns <= limit; ++i) {
        columns += CTypesetter::Columns(text[i]);
    }
    return columns;
}

} // namespace

int ShownPage::ShownOf(int pagePosition) const {
    // An indent put before an unindented line shares its source with the line's first
    // character: that character, not the indent, is what the position names.
    const auto after = std::upper_bound(source.begin(), source.end(), pagePosition);
    const bool found = after != source.begin() && *(after - 1) == pagePosition;
    return int(after - source.begin()) - (found ? 1 : 0);
}

bool CTypesetter::IsBlankCharacter(char16_t c) {
    return c == u' ' || c == u'\t' || c == kIdeographicSpace || c == u'\u00A0' || c == u'\r' ||
           c == u'\uFEFF';
}

int CTypesetter::Columns(char16_t c) {
    // East Asian wide and full-width ranges, and surrogates (the supplementary ideographs).
    return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) ||
                   (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xD800 && c <= 0xDBFF) ||
                   (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) ||
                   (c >= 0xFF00 && c <= 0xFF60) || (c >= 0xFFE0 && c <= 0xFFE6) || c == u'\u2014' ||
                   c == u'\u2026' || c == u'\u201C' || c == u'\u201D'
               ? 2
               : (c >= 0xDC00 && c <= 0xDFFF ? 0 : 1);
}

int CTypesetter::DetectWrapColumns(std::u16string_view opening, bool likeliest) {
    constexpr int kMinWidth = 16;
    constexpr int kMaxWidth = 240;
    std::array<int, kMaxWidth + kOverWidth + 2> count{};
    int lines = 0;
    int longer = 0;
    for (const Line& line : LinesOf(opening)) {
        if (line.Blank()) {
            continue;
        }
        ++lines;
        const int columns = ColumnsOf(opening, line, kMaxWidth + kOverWidth);
        if (columns > kMaxWidth + kOverWidth) {
            ++longer;
        } else {
            ++count[std::size_t(columns)];
        }
    }
    constexpr int kMinLines = 20;
    if (lines < kMinLines) {
        return 0;
    }
    // The width most lines end at; lines a few columns short of it (a full-width character or a
    // word that did not fit) or a couple over (a closing mark) end at it too.
    int best = 0;
    for (int width = kMinWidth; width <= kMaxWidth; ++width) {
        if (count[std::size_t(width)] > count[std::size_t(best)]) {
            best = width;
        }
    }
    if (best == 0) {
        return 0;
    }
    int bestLines = 0;
    for (int c = best - kShortOfWidth; c <= best + kOverWidth; ++c) {
        bestLines += count[std::size_t(c)];
    }
    // Most lines end at the width and hardly any run past it.
    for (int c = best + kOverWidth + 1; c < int(count.size()); ++c) {
        longer += count[std::size_t(c)];
    }
    return likeliest || (bestLines * 2 > lines && longer * 20 <= lines) ? best : 0;
}

ShownPage CTypesetter::SetPage(std::u16string_view before, std::u16string_view page,
                               std::u16string_view after) const {
    std::u16string all;
    all.reserve(before.size() + page.size() + after.size());
    all.append(before).append(page).append(after);
    const std::u16string_view text(all);
    const int first = int(before.size());
    const int last = first + int(page.size());

    ShownPage shown;
    shown.text.reserve(page.size() + page.size() / 16);
    shown.source.reserve(shown.text.capacity());
    const auto emit = [&](char16_t c, std::size_t source) {
        if (int(source) >= first && int(source) < last) {
            shown.text.push_back(c);
            shown.source.push_back(int(source) - first);
        }
    };

    const bool reflow = m_options.reflowColumns > 0;
    const int fullFrom = m_options.reflowColumns - kShortOfWidth;
    const int fullTo = m_options.reflowColumns + kOverWidth;
    const std::vector<Line> lines = LinesOf(text);
    // Nothing shown yet from the book's start: blank lines dropped there leave no empty
    // paragraph on top.
    bool shownAny = !before.empty();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const Line& line = lines[i];
        if (int(line.start) > last) {
            break;
        }
        const Line* previous = i > 0 ? &lines[i - 1] : nullptr;
        const bool dropped =
            line.Blank() && (m_options.blankLines == TypesetOptions::BlankLines::Remove ||
                             (m_options.blankLines == TypesetOptions::BlankLines::CollapseToOne &&
                              previous != nullptr && previous->Blank()));
        const bool joined = reflow && previous != nullptr && !previous->Blank() && !line.Blank() &&
                            !line.Indented() && [&] {
                                const int columns = ColumnsOf(text, *previous, fullTo);
                                return columns >= fullFrom && columns <= fullTo;
                            }();
        if (previous != nullptr && !dropped && shownAny) {
            const std::size_t lineBreak = line.start - 1;
            if (!joined) {
                emit(u'\n', lineBreak);
            } else if (Columns(text[previous->trimmed - 1]) == 1 &&
                       Columns(text[line.content]) == 1) {
                emit(u' ', lineBreak); // Latin words keep their space, CJK runs on
            }
        }
        if (dropped) {
            continue;
        }
        shownAny = true;
        if (line.Blank()) {
            continue; // a blank line shows empty
        }
        std::size_t from = line.start;
        if (!joined && m_options.indent == TypesetOptions::Indent::TwoSpaces) {
            emit(kIdeographicSpace, line.start);
            emit(kIdeographicSpace, line.start);
            from = line.content;
        }
        // Blank characters at a line's end are never seen.
        for (std::size_t k = from; k < line.trimmed; ++k) {
            emit(text[k], k);
        }
    }
    return shown;
}
