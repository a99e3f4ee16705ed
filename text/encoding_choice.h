#pragma once

#include "text/text_encoding.h"

#include <string>
#include <string_view>
#include <vector>

// The encodings a reader can pick for a book, by the names the encoding menu and veska-pages use
// ("GB18030", "BIG5", ...), and the short names the status bar shows for an encoding in use.
class CEncodingChoice {
public:
    // The book's encoding is detected: no choice.
    static constexpr std::string_view kAutomatic = "";

    // The names in menu order: GB18030, BIG5, SHIFT_JIS, EUC-KR, UTF-8, UTF-16LE, UTF-16BE.
    static const std::vector<std::string>& Names();
    // The menu's spelling of a name given in any case, or "" when it is none of them.
    static std::string Canonical(std::string_view name);

    // What a choice stands for: its TextEncoding and, for a legacy code page, the iconv name to
    // decode with (the first superset the machine's iconv has: BIG5 reads as BIG5-HKSCS, else
    // CP950). False for an unknown name.
    static bool Resolve(std::string_view name, TextEncoding& encoding, std::string& codePage);

    // The iconv name for a code page a detector named (any case): a multi-byte East Asian code
    // page, widened to the superset used for reading, or "" when the name is none of those.
    static std::string LegacyCodePageOf(std::string_view detectedName);

    // The status bar's name of an encoding in use: "UTF-8", "UTF-16LE", "UTF-16BE", or the
    // legacy code page by its menu name where it has one ("BIG5" for BIG5-HKSCS and CP950,
    // "SHIFT_JIS" for CP932, "EUC-KR" for CP949), else its iconv name.
    static std::string DisplayName(TextEncoding encoding, const std::string& codePage);
    // The name veska-pages prints: the iconv name of a legacy book, else "UTF-8", "UTF-16LE" or
    // "UTF-16BE".
    static std::string CodePageName(TextEncoding encoding, const std::string& codePage);
};
