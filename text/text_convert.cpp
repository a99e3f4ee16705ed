#include "text/text_convert.h"

#include "platform/code_page.h"

ConvertedText<char16_t> AnsiToWide(const char* text) {
    if (text == nullptr) {
        return {};
    }
    return ConvertedText<char16_t>(DecodeLegacy(text));
}

ConvertedText<char> WideToAnsi(const char16_t* text) {
    if (text == nullptr) {
        return {};
    }
    return ConvertedText<char>(EncodeLegacy(text));
}

ConvertedText<char16_t> Utf8ToWide(const char* text) {
    if (text == nullptr) {
        return {};
    }
    return ConvertedText<char16_t>(DecodeUtf8(text));
}
