#pragma once

#include <string>
#include <string_view>

// Picks the legacy code page of a book that is neither UTF-8 nor UTF-16, from its opening bytes.
class CCodePageDetector {
public:
    // The iconv name to read the book with: the multi-byte East Asian code page uchardet finds in
    // the sample when the sample also reads as text in it, else the default legacy code page.
    // When VESKA_CODEPAGE names a code page, that one, without looking.
    static std::string DetectLegacyCodePage(std::string_view sample);
};
