#include "diag/signal_safe_text.h"

SignalSafeText& SignalSafeText::Append(const char* text) {
    while (*text != '\0' && m_length + 1 < kCapacity)
        m_buffer[m_length++] = *text++;
    m_buffer[m_length] = '\0';
    return *this;
}

SignalSafeText& SignalSafeText::Append(const char* text, size_t size) {
    for (size_t i = 0; i < size && m_length + 1 < kCapacity; ++i)
        m_buffer[m_length++] = text[i];
    m_buffer[m_length] = '\0';
    return *this;
}

SignalSafeText& SignalSafeText::AppendInt(long long value) {
    return AppendInt(value, 1);
}

SignalSafeText& SignalSafeText::AppendInt(long long value, int width) {
    char digits[24];
    int count = 0;
    // Work on the negative magnitude so that the smallest value does not overflow.
    long long rest = value < 0 ? value : -value;
    do {
        digits[count++] = static_cast<char>('0' - rest % 10);
        rest /= 10;
    } while (rest != 0);
    while (count < width && count < static_cast<int>(sizeof digits))
        digits[count++] = '0';
    if (value < 0)
        Append("-");
    while (count > 0)
        Append(&digits[--count], 1);
    return *this;
}
