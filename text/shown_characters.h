#pragma once

#include "text/code_page_layout.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// What the reader's decoder (iconv) makes of a legacy code page's bytes, so that byte-level
// scanners see the characters the page shows: where it reads a character and where it shows
// U+FFFD for one byte and goes on at the next (an undefined pair shows its second byte), and
// which characters have more than one code (CP932's NEC and IBM extensions, a few Big5 ones).
// Learnt from iconv once per code page.
class CShownCharacters {
public:
    // The one for the layout's code page (an ENCODING_ANSI layout), made on first use; shared
    // by every thread, and never changed after it is made.
    static const CShownCharacters& Of(const CCodePageLayout& layout);

    explicit CShownCharacters(const CCodePageLayout& layout);

    // Bytes the page's decoder reads at p as one character, or as one U+FFFD (then 1), when n
    // bytes (n >= 1) are left on the page. 0 when they begin a character that the page's end
    // cuts off: the page shows one U+FFFD for the rest of its bytes.
    std::size_t Length(const unsigned char* p, std::size_t n) const;

    // Every code that shows the text's first character, or its first two code units when one
    // code shows both (Big5-HKSCS has four such codes). Empty codes when there is none.
    struct Codes {
        std::size_t units = 1; // code units of the text the codes show
        std::vector<std::string> bytes;
    };
    Codes CodesAt(std::u16string_view text) const;

private:
    CCodePageLayout m_layout;
    std::vector<bool> m_pairShown; // by lead * 256 + trail: iconv reads the pair as a character
    // Texts shown by several codes, or two code units shown by one code.
    std::unordered_map<std::u16string, std::vector<std::string>> m_shared;
};
