#pragma once

#include <string>
#include <string_view>

// Conversions between the legacy ("ANSI") code page, UTF-8 and UTF-16 (wide text).
// Malformed input becomes U+FFFD, one per bad sequence; nothing is dropped silently.

// The iconv name of the legacy code page: GB18030, or the value of VESKA_CODEPAGE when iconv
// knows it. An unknown name is reported once on standard error.
const std::string& LegacyCodePageName();

// Whether VESKA_CODEPAGE named the legacy code page: then it is every legacy book's code page.
bool LegacyCodePageForced();

// Whether the machine's iconv converts between the named code page and UTF-16.
bool CodePageAvailable(const std::string& name);
// The name when iconv has it, else the legacy code page; a missing one is reported on standard
// error, once per name.
std::string UsableCodePage(const std::string& name);

std::u16string DecodeLegacy(std::string_view bytes);
// The same for a book in the named code page (one UsableCodePage allows).
std::u16string DecodeCodePage(std::string_view bytes, const std::string& codePage);
// What the decoders above make of the character that starts `bytes` (all the bytes there are):
// its length; 0 when the bytes end inside it (the decoders give one U+FFFD and stop); -1 when
// the code page has no such character (one U+FFFD, and decoding goes on at the next byte).
int CodePageCharBytes(std::string_view bytes, const std::string& codePage);
// Characters the legacy code page cannot hold become '?'.
std::string EncodeLegacy(std::u16string_view text);
// The same for the named code page (one UsableCodePage allows).
std::string EncodeCodePage(std::u16string_view text, const std::string& codePage);

std::u16string DecodeUtf8(std::string_view bytes);
// Unpaired surrogates become U+FFFD.
std::string EncodeUtf8(std::u16string_view text);
