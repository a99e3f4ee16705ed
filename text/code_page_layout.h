#pragma once

#include "text/text_encoding.h"

#include <array>
#include <cstddef>
#include <string>
#include <vector>

// Where characters begin in the bytes of one book encoding, from the byte ranges of each code
// page's multi-byte sequences. Structural only: it tells a lead byte from a trail byte, it does
// not check that a sequence names an assigned character.
class CCodePageLayout {
public:
    // encoding: the book's TextEncoding; codePage: the iconv name used for ENCODING_ANSI books
    // (GB18030 by default; BIG5-HKSCS/CP950, CP932, EUC-JP, CP949, EUC-TW after detection; any
    // other name is treated as a single-byte code page). Names are matched without regard to case.
    CCodePageLayout(TextEncoding encoding, std::string codePage);

    TextEncoding Encoding() const { return m_encoding; }
    const std::string& CodePage() const { return m_codePage; }
    // GB18030 proper (the default code page), whose four-byte sequences hold ASCII digits.
    bool IsGb18030() const { return m_gb18030; }
    bool IsUtf16() const {
        return m_encoding == ENCODING_UTF16LE || m_encoding == ENCODING_UTF16BE;
    }
    // Bytes per code unit: 2 for UTF-16, else 1.
    std::size_t UnitBytes() const { return IsUtf16() ? 2 : 1; }
    // The code unit at p (UnitBytes() bytes available): a byte, or a UTF-16 unit in the book's
    // byte order.
    unsigned UnitAt(const unsigned char* p) const;

    // Bytes of the character that starts at p (n >= 1 bytes available): 1..4 for legacy code pages
    // and UTF-8, 2 or 4 for UTF-16. A malformed or truncated sequence counts as its first unit
    // (1 byte; 2 for UTF-16, or 1 when only one byte is left), so a walk always advances and
    // resynchronises; the result never exceeds n.
    std::size_t CharLength(const unsigned char* p, std::size_t n) const;

    // Byte tests for legacy code pages and UTF-8 (for UTF-16 they answer false, except
    // LetterStartsAfter: no single byte tells a UTF-16 unit's place).
    // b may begin a multi-byte character.
    bool IsLeadByte(unsigned char b) const { return m_flags[b] & kLead; }
    // b may be a later byte of a multi-byte character.
    bool IsTrailByte(unsigned char b) const { return m_flags[b] & kTrail; }
    // b is always a character of its own (LF, CR, most ASCII): it starts one and ends it.
    bool StandsAlone(unsigned char b) const {
        return !IsUtf16() && !(m_flags[b] & (kLead | kTrail));
    }
    // b is always the last byte of its character, so the byte after it starts one.
    bool EndsCharacter(unsigned char b) const { return !IsUtf16() && !(m_flags[b] & kNotLast); }
    // An ASCII letter right after byte `prev` is surely a character of its own: no sequence has
    // `prev` followed by a letter.
    bool LetterStartsAfter(unsigned char prev) const { return !(m_flags[prev] & kBeforeLetter); }

private:
    // One form of multi-byte sequence: the bytes allowed at each position.
    using ByteSet = std::array<bool, 256>;
    using Sequence = std::vector<ByteSet>;

    enum : unsigned char {
        kLead = 1,
        kTrail = 2,
        kNotLast = 4,      // occurs before the last byte of some sequence
        kBeforeLetter = 8, // some sequence has an ASCII letter right after it
    };

    TextEncoding m_encoding;
    std::string m_codePage;
    bool m_gb18030 = false;
    std::vector<Sequence> m_sequences;
    std::array<unsigned char, 256> m_flags{};
};
