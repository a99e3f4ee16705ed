#pragma once

#include <cstddef>

// Text composed in a fixed buffer without allocation, locale or stdio, for use inside a signal
// handler. Appends past the capacity are cut; the text stays zero-terminated.
class SignalSafeText {
public:
    static constexpr size_t kCapacity = 4096;

    SignalSafeText& Append(const char* text);
    SignalSafeText& Append(const char* text, size_t size);
    SignalSafeText& AppendInt(long long value);
    // At least `width` digits, padded with zeros ("%02d").
    SignalSafeText& AppendInt(long long value, int width);

    const char* c_str() const { return m_buffer; }
    size_t size() const { return m_length; }

private:
    char m_buffer[kCapacity] = {};
    size_t m_length = 0;
};
