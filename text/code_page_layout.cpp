#include "text/code_page_layout.h"

#include "platform/code_page.h"

#include <string_view>
#include <utility>

CCodePageLayout::CCodePageLayout(TextEncoding encoding, std::string codePage)
    : m_encoding(encoding), m_codePage(std::move(codePage)) {}

std::size_t CCodePageLayout::CharLength(const unsigned char* p, std::size_t n) const {
    switch (m_encoding) {
    case ENCODING_UTF16LE:
    case ENCODING_UTF16BE: {
        if (n < 4) {
            return 2;
        }
        const bool le = m_encoding == ENCODING_UTF16LE;
        const unsigned first = le ? p[0] | (p[1] << 8) : (p[0] << 8) | p[1];
        const unsigned second = le ? p[2] | (p[3] << 8) : (p[2] << 8) | p[3];
        return first >= 0xD800 && first <= 0xDBFF && second >= 0xDC00 && second <= 0xDFFF ? 4 : 2;
    }
    case ENCODING_UTF8: {
        const unsigned char b = p[0];
        const std::size_t need = b < 0xC0 ? 0 : b < 0xE0 ? 1 : b < 0xF0 ? 2 : b < 0xF8 ? 3 : 0;
        if (need == 0 || need >= n) {
            return 1;
        }
        for (std::size_t k = 1; k <= need; ++k) {
            if ((p[k] & 0xC0) != 0x80) {
                return 1;
            }
        }
        return need + 1;
    }
    case ENCODING_ANSI:
        break;
    }
    return LegacyCharLength(std::string_view(reinterpret_cast<const char*>(p), n));
}
