#pragma once

#include "text/resource_data.h"

#include <cstddef>
#include <string>

// Where characters begin in the bytes of one book encoding.
class CCodePageLayout {
public:
    CCodePageLayout(TextEncoding encoding, std::string codePage);
    // Bytes of the character that starts at p (n >= 1 bytes available).
    std::size_t CharLength(const unsigned char* p, std::size_t n) const;

private:
    TextEncoding m_encoding;
    std::string m_codePage;
};
