#include "text/code_page_layout.h"

#include <algorithm>
#include <cctype>
#include <utility>

namespace {

using Range = std::pair<unsigned, unsigned>;
// A sequence form written as the byte ranges allowed at each position.
using SequenceRanges = std::vector<std::vector<Range>>;

enum class Family { SingleByte, Gb18030, Gbk, Big5, ShiftJis, EucJp, Uhc, EucTw, Utf8 };

std::string Upper(std::string name) {
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return name;
}

Family FamilyOfCodePage(const std::string& codePage) {
    static const std::pair<const char*, Family> kNames[] = {
        {"GB18030", Family::Gb18030},    {"GBK", Family::Gbk},
        {"CP936", Family::Gbk},          {"GB2312", Family::Gbk},
        {"EUC-CN", Family::Gbk},         {"EUCCN", Family::Gbk},
        {"BIG5", Family::Big5},          {"BIG-5", Family::Big5},
        {"BIG5-HKSCS", Family::Big5},    {"BIG5HKSCS", Family::Big5},
        {"CP950", Family::Big5},         {"SHIFT_JIS", Family::ShiftJis},
        {"SHIFT-JIS", Family::ShiftJis}, {"SJIS", Family::ShiftJis},
        {"CP932", Family::ShiftJis},     {"WINDOWS-31J", Family::ShiftJis},
        {"MS_KANJI", Family::ShiftJis},  {"EUC-JP", Family::EucJp},
        {"EUCJP", Family::EucJp},        {"EUC-JP-MS", Family::EucJp},
        {"CP949", Family::Uhc},          {"UHC", Family::Uhc},
        {"EUC-KR", Family::Uhc},         {"EUCKR", Family::Uhc},
        {"EUC-TW", Family::EucTw},       {"EUCTW", Family::EucTw},
        {"UTF-8", Family::Utf8},         {"UTF8", Family::Utf8},
    };
    const std::string upper = Upper(codePage);
    for (const auto& [name, family] : kNames) {
        if (upper == name) {
            return family;
        }
    }
    return Family::SingleByte;
}

// The multi-byte sequence forms of each family; every byte outside them is a character alone.
// Supersets are used where one name covers several tables (EUC-KR inside CP949, Big5 inside
// CP950 and Big5-HKSCS), so a cut never splits a character of any of them.
std::vector<SequenceRanges> FormsOf(Family family) {
    constexpr Range kGbLead{0x81, 0xFE};
    constexpr Range kDigit{0x30, 0x39};
    constexpr Range kHigh{0xA1, 0xFE};
    constexpr Range kCont{0x80, 0xBF};
    switch (family) {
    case Family::SingleByte:
        return {};
    case Family::Gb18030:
        return {{{kGbLead}, {{0x40, 0x7E}, {0x80, 0xFE}}},
                {{kGbLead}, {kDigit}, {kGbLead}, {kDigit}}};
    case Family::Gbk:
        return {{{kGbLead}, {{0x40, 0x7E}, {0x80, 0xFE}}}};
    case Family::Big5:
        return {{{kGbLead}, {{0x40, 0x7E}, kHigh}}};
    case Family::ShiftJis:
        // A1-DF are half-width katakana, one byte each.
        return {{{{0x81, 0x9F}, {0xE0, 0xFC}}, {{0x40, 0x7E}, {0x80, 0xFC}}}};
    case Family::EucJp:
        return {{{kHigh}, {kHigh}},
                {{{0x8E, 0x8E}}, {{0xA1, 0xDF}}},
                {{{0x8F, 0x8F}}, {kHigh}, {kHigh}}};
    case Family::Uhc:
        return {{{kGbLead}, {{0x41, 0x5A}, {0x61, 0x7A}, {0x81, 0xFE}}}};
    case Family::EucTw:
        return {{{kHigh}, {kHigh}}, {{{0x8E, 0x8E}}, {{0xA1, 0xB0}}, {kHigh}, {kHigh}}};
    case Family::Utf8:
        return {{{{0xC2, 0xDF}}, {kCont}},
                {{{0xE0, 0xE0}}, {{0xA0, 0xBF}}, {kCont}},
                {{{0xE1, 0xEC}, {0xEE, 0xEF}}, {kCont}, {kCont}},
                {{{0xED, 0xED}}, {{0x80, 0x9F}}, {kCont}},
                {{{0xF0, 0xF0}}, {{0x90, 0xBF}}, {kCont}, {kCont}},
                {{{0xF1, 0xF3}}, {kCont}, {kCont}, {kCont}},
                {{{0xF4, 0xF4}}, {{0x80, 0x8F}}, {kCont}, {kCont}}};
    }
    return {};
}

bool IsAsciiLetter(unsigned b) {
    return (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z');
}

} // namespace

CCodePageLayout::CCodePageLayout(TextEncoding encoding, std::string codePage)
    : m_encoding(encoding), m_codePage(std::move(codePage)) {
    Family family = Family::SingleByte;
    if (encoding == ENCODING_UTF8) {
        family = Family::Utf8;
    } else if (encoding == ENCODING_ANSI) {
        family = FamilyOfCodePage(m_codePage);
    }
    m_gb18030 = family == Family::Gb18030;
    for (const SequenceRanges& form : FormsOf(family)) {
        Sequence sequence;
        for (const auto& ranges : form) {
            ByteSet set{};
            for (const auto& [low, high] : ranges) {
                std::fill(set.begin() + low, set.begin() + high + 1, true);
            }
            sequence.push_back(set);
        }
        for (std::size_t pos = 0; pos < sequence.size(); ++pos) {
            const bool last = pos + 1 == sequence.size();
            bool letterNext = false;
            for (unsigned b = 'A'; !last && b <= 'z'; ++b) {
                letterNext = letterNext || (IsAsciiLetter(b) && sequence[pos + 1][b]);
            }
            for (unsigned b = 0; b < 256; ++b) {
                if (!sequence[pos][b]) {
                    continue;
                }
                m_flags[b] |= pos == 0 ? kLead : kTrail;
                m_flags[b] |= last ? 0 : kNotLast;
                m_flags[b] |= letterNext ? kBeforeLetter : 0;
            }
        }
        m_sequences.push_back(std::move(sequence));
    }
}

unsigned CCodePageLayout::UnitAt(const unsigned char* p) const {
    if (m_encoding == ENCODING_UTF16LE) {
        return p[0] | (p[1] << 8);
    }
    if (m_encoding == ENCODING_UTF16BE) {
        return (p[0] << 8) | p[1];
    }
    return p[0];
}

std::size_t CCodePageLayout::CharLength(const unsigned char* p, std::size_t n) const {
    if (IsUtf16()) {
        if (n < 2) {
            return n;
        }
        const unsigned unit = UnitAt(p);
        if (unit >= 0xD800 && unit <= 0xDBFF && n >= 4) {
            const unsigned next = UnitAt(p + 2);
            if (next >= 0xDC00 && next <= 0xDFFF) {
                return 4;
            }
        }
        return 2;
    }
    if (!IsLeadByte(p[0])) {
        return 1;
    }
    for (const Sequence& sequence : m_sequences) {
        if (sequence.size() > n) {
            continue;
        }
        std::size_t pos = 0;
        while (pos < sequence.size() && sequence[pos][p[pos]]) {
            ++pos;
        }
        if (pos == sequence.size()) {
            return pos;
        }
    }
    return 1;
}
