#pragma once

// How a book's bytes are read: a legacy ("ANSI") code page, UTF-16 in either byte order, UTF-8.
enum TextEncoding {
    ENCODING_ANSI = 0,
    ENCODING_UTF16LE = 1,
    ENCODING_UTF16BE = 2,
    ENCODING_UTF8 = 3,
};
