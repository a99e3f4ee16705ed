#pragma once

#include <optional>
#include <string>

// The result of a text conversion: owns the converted text, or is null when the input was null.
template <typename CharT> class ConvertedText {
public:
    ConvertedText() = default;
    explicit ConvertedText(std::basic_string<CharT> text) : m_text(std::move(text)) {}

    bool IsNull() const { return !m_text.has_value(); }
    // The zero-terminated text, or nullptr for a null result.
    const CharT* get() const { return m_text ? m_text->c_str() : nullptr; }
    // The text; empty for a null result.
    std::basic_string<CharT> str() const { return m_text.value_or(std::basic_string<CharT>()); }

private:
    std::optional<std::basic_string<CharT>> m_text;
};

// Each converts a zero-terminated string up to its terminator; a null input gives a null result.
ConvertedText<char16_t> AnsiToWide(const char* text);
ConvertedText<char> WideToAnsi(const char16_t* text);
ConvertedText<char16_t> Utf8ToWide(const char* text);
