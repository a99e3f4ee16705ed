#include "platform/decimal_text.h"

#include <cstdint>
#include <cstring>

namespace {

template <typename CharT> bool IsCSpace(CharT c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

template <typename CharT> int ParseDecimal(const CharT* text, const CharT* end) {
    while (text != end && IsCSpace(*text)) {
        ++text;
    }
    bool negative = false;
    if (text != end && (*text == '+' || *text == '-')) {
        negative = *text == '-';
        ++text;
    }
    const std::int64_t limit = negative ? 2147483648LL : 2147483647LL;
    std::int64_t magnitude = 0;
    for (; text != end && *text >= '0' && *text <= '9'; ++text) {
        magnitude = magnitude * 10 + (*text - '0');
        if (magnitude > limit) {
            magnitude = limit;
            break;
        }
    }
    return static_cast<int>(negative ? -magnitude : magnitude);
}

} // namespace

int DecimalTextToInt(const char* text) {
    if (text == nullptr) {
        return 0;
    }
    return ParseDecimal(text, text + std::strlen(text));
}

int DecimalTextToInt(std::u16string_view text) {
    return ParseDecimal(text.data(), text.data() + text.size());
}
