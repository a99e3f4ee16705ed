#pragma once

#include "text/shown_characters.h"

#include <array>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// A phrase as the bytes that may show it in a book: one element per character (or per two code
// units that one code shows), each with every code that shows it. Spellings of one phrase that
// differ character by character (山雨欲来, 山雨欲來) merge into one pattern, so a book is read
// once for all of them.
class CFindPattern {
public:
    // The codes that show the first character of a text (no codes when the book's encoding
    // cannot hold it).
    using Codes = CShownCharacters::Codes;
    using CodesFn = std::function<Codes(std::u16string_view text)>;

    // The pattern of the text. false when no occurrence can exist (an empty text, a character
    // the encoding cannot hold).
    bool Make(std::u16string_view text, const CodesFn& codesAt);
    // Adds another spelling of the phrase, element by element. false, and the pattern
    // unchanged, when its characters do not pair with this one's (another count, ASCII letters
    // in other places).
    bool Merge(const CFindPattern& other);

    // The bytes of a match at p (n bytes there), or 0.
    std::size_t MatchAt(const char* p, std::size_t n) const;
    // Whether a match at p has a character boundary `at` bytes into it.
    bool SplitsAt(const char* p, std::size_t at) const;

    // Bytes every match holds at the same place, AnchorAt() bytes into it; empty when none.
    const std::string& Anchor() const { return m_anchor; }
    std::size_t AnchorAt() const { return m_anchorAt; }
    // Where in bytes[from, end) the next match may begin (a byte a match begins with), or npos.
    // `next` keeps, between calls over the same bytes and end, where each such byte was found
    // last; empty it for other bytes.
    std::size_t NextStart(const char* bytes, std::size_t from, std::size_t end,
                          std::vector<std::size_t>& next) const;
    std::size_t MinBytes() const { return m_minBytes; }
    std::size_t MaxBytes() const { return m_maxBytes; }

private:
    struct Element {
        std::vector<std::string> codes; // ASCII letters lower-cased when `fold`
        bool fold = false;              // an ASCII letter: its letter bytes match either case
    };
    // The bytes of the element's code at p (n bytes there), or 0.
    static std::size_t ElementAt(const Element& element, const char* p, std::size_t n);
    // Works out the lengths, the anchor and the first bytes from the elements.
    void Summarize();

    std::vector<Element> m_elements;
    std::string m_anchor;
    std::size_t m_anchorAt = 0;
    std::array<bool, 256> m_first{};         // bytes a match may begin with
    std::vector<unsigned char> m_firstBytes; // the same, listed
    std::size_t m_minBytes = 0;
    std::size_t m_maxBytes = 0;
};
