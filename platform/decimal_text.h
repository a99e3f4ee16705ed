#pragma once

#include <string_view>

// atoi: skips leading white space, takes an optional sign, then decimal digits up to the first
// other character; no digits give 0. A number beyond the 32-bit range gives the nearest 32-bit
// limit instead of an undefined result.
int DecimalTextToInt(const char* text);
// The same for wide text (what a dialog's edit field holds).
int DecimalTextToInt(std::u16string_view text);
