#pragma once

// atoi: skips leading white space, takes an optional sign, then decimal digits up to the first
// other byte; no digits give 0. A number beyond the 32-bit range gives the nearest 32-bit limit
// instead of an undefined result.
int DecimalTextToInt(const char* text);
