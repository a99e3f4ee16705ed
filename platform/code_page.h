#pragma once

#include <string>
#include <string_view>

// Conversions between the legacy ("ANSI") code page, UTF-8 and UTF-16 (wide text).
// Malformed input becomes U+FFFD, one per bad sequence; nothing is dropped silently.

// The iconv name of the legacy code page: GB18030, or the value of VESKA_CODEPAGE when iconv
// knows it. An unknown name is reported once on standard error.
const std::string& LegacyCodePageName();

bool LegacyCodePageIsGb18030();

std::u16string DecodeLegacy(std::string_view bytes);
// How many bytes the legacy-code-page character at the start of `bytes` takes, as DecodeLegacy
// reads it: 1 for a byte that starts no valid character, and for an empty or cut-off input.
std::size_t LegacyCharLength(std::string_view bytes);
// Characters the legacy code page cannot hold become '?'.
std::string EncodeLegacy(std::u16string_view text);

std::u16string DecodeUtf8(std::string_view bytes);
// Unpaired surrogates become U+FFFD.
std::string EncodeUtf8(std::u16string_view text);
