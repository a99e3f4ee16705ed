#pragma once

#include <string>
#include <string_view>
#include <vector>

// How the text of a book is set for reading. The book's file is never changed: these shape only
// what the pane shows.
struct TypesetOptions {
    enum class Indent { AsInFile, TwoSpaces };
    enum class BlankLines { Keep, CollapseToOne, Remove };
    Indent indent = Indent::TwoSpaces;
    BlankLines blankLines = BlankLines::CollapseToOne;
    // A hard-wrapped book's line width in columns (a full-width character takes two): lines of
    // about this width run on into the next line. 0: no re-flow.
    int reflowColumns = 0;

    bool operator==(const TypesetOptions&) const = default;
};

// The text of one page as the pane shows it. Paragraphs are separated by '\n'; source[i] is the
// index in the page's text of the character shown as text[i] (an inserted indent takes the index
// of its line's start), never decreasing, so that every shown position maps back to the book.
struct ShownPage {
    std::u16string text;
    std::vector<int> source;

    // The first shown character that comes from `pagePosition` or later (text.size() past the
    // last).
    int ShownOf(int pagePosition) const;
};

// Sets page texts: '\n' separated lines, as the pane counts them (no CR, no byte-order mark).
// Each decision looks at one line break and the two lines beside it, so a page is set the same
// whichever pages surround it in the pane, and the pages set one by one join into the book.
class CTypesetter {
public:
    explicit CTypesetter(const TypesetOptions& options) : m_options(options) {}

    // The shown text of `page`, with the previous and next pages' texts ("" at the ends of the
    // book) for the lines that cross its edges.
    ShownPage SetPage(std::u16string_view before, std::u16string_view page,
                      std::u16string_view after) const;

    // The width in columns a book's opening text is hard-wrapped at: most of its lines of text
    // end within a few columns of one width. 0 when it is not; with `likeliest`, the width most
    // lines end at however few they are (0 only for a text of a few lines).
    static int DetectWrapColumns(std::u16string_view opening, bool likeliest = false);
    // A character's columns: two for full-width (CJK) characters, one for the rest.
    static int Columns(char16_t c);
    static bool IsBlankCharacter(char16_t c);

private:
    TypesetOptions m_options;
};
