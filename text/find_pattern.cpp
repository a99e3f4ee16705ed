#include "text/find_pattern.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

bool IsAsciiLetter(char16_t c) {
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

} // namespace

bool CFindPattern::Make(std::u16string_view text, const CodesFn& codesAt) {
    *this = {};
    for (std::size_t i = 0; i < text.size();) {
        Codes codes = codesAt(text.substr(i));
        if (codes.bytes.empty()) {
            return false; // no occurrence can exist in this encoding
        }
        Element element;
        element.codes = std::move(codes.bytes);
        element.fold = codes.units == 1 && IsAsciiLetter(text[i]);
        for (std::string& code : element.codes) {
            for (char& b : code) {
                b = element.fold && IsAsciiLetter(static_cast<unsigned char>(b)) ? (b | 0x20) : b;
            }
        }
        m_elements.push_back(std::move(element));
        i += codes.units;
    }
    Summarize();
    return !m_elements.empty() && m_minBytes > 0;
}

bool CFindPattern::Merge(const CFindPattern& other) {
    if (other.m_elements.size() != m_elements.size()) {
        return false;
    }
    for (std::size_t i = 0; i < m_elements.size(); ++i) {
        if (other.m_elements[i].fold != m_elements[i].fold) {
            return false;
        }
    }
    for (std::size_t i = 0; i < m_elements.size(); ++i) {
        std::vector<std::string>& codes = m_elements[i].codes;
        for (const std::string& code : other.m_elements[i].codes) {
            if (std::find(codes.begin(), codes.end(), code) == codes.end()) {
                codes.push_back(code);
            }
        }
    }
    Summarize();
    return true;
}

void CFindPattern::Summarize() {
    m_minBytes = 0;
    m_maxBytes = 0;
    for (const Element& element : m_elements) {
        const auto [shortest, longest] = std::minmax_element(
            element.codes.begin(), element.codes.end(),
            [](const std::string& a, const std::string& b) { return a.size() < b.size(); });
        m_minBytes += shortest->size();
        m_maxBytes += longest->size();
    }
    // The anchor: the longest run of bytes that only match themselves, from characters of one
    // code, at a distance from the match's start that every match has.
    m_anchor.clear();
    m_anchorAt = 0;
    std::string run;
    std::size_t at = 0;
    for (const Element& element : m_elements) {
        if (element.codes.size() > 1) {
            run.clear();
            const std::size_t size = element.codes[0].size();
            if (std::any_of(element.codes.begin(), element.codes.end(),
                            [&](const std::string& code) { return code.size() != size; })) {
                break;
            }
            at += size;
            continue;
        }
        for (char b : element.codes[0]) {
            ++at;
            if (element.fold && IsAsciiLetter(static_cast<unsigned char>(b))) {
                run.clear();
                continue;
            }
            run += b;
            if (run.size() > m_anchor.size()) {
                m_anchor = run;
                m_anchorAt = at - run.size();
            }
        }
    }
    m_first.fill(false);
    m_firstBytes.clear();
    if (m_elements.empty()) {
        return;
    }
    for (const std::string& code : m_elements[0].codes) {
        const auto b = static_cast<unsigned char>(code[0]);
        m_first[b] = true;
        if (m_elements[0].fold && IsAsciiLetter(b)) {
            m_first[b & ~0x20u] = true;
        }
    }
    for (int b = 0; b < 256; ++b) {
        if (m_first[b]) {
            m_firstBytes.push_back(static_cast<unsigned char>(b));
        }
    }
}

std::size_t CFindPattern::NextStart(const char* bytes, std::size_t from, std::size_t end,
                                    std::vector<std::size_t>& next) const {
    constexpr std::size_t kNone = std::string_view::npos;
    constexpr std::size_t kUnknown = kNone - 1;
    if (m_firstBytes.size() > 4) {
        while (from < end && !m_first[static_cast<unsigned char>(bytes[from])]) {
            ++from;
        }
        return from < end ? from : kNone;
    }
    // A few bytes (a letter in either case, a character in either script): memchr for each,
    // which is several times faster than a walk byte by byte. Each one's place is kept, so a
    // rare byte is not looked for again at every place of a common one.
    if (next.size() != m_firstBytes.size()) {
        next.assign(m_firstBytes.size(), kUnknown);
    }
    std::size_t start = kNone;
    for (std::size_t k = 0; k < m_firstBytes.size(); ++k) {
        std::size_t& at = next[k];
        if (at == kUnknown || (at != kNone && at < from)) {
            const void* found =
                from < end ? std::memchr(bytes + from, m_firstBytes[k], end - from) : nullptr;
            at = found == nullptr ? kNone : static_cast<const char*>(found) - bytes;
        }
        start = std::min(start, at);
    }
    return start;
}

std::size_t CFindPattern::ElementAt(const Element& element, const char* p, std::size_t n) {
    for (const std::string& code : element.codes) {
        if (code.size() > n) {
            continue;
        }
        if (!element.fold) {
            if (std::memcmp(p, code.data(), code.size()) == 0) {
                return code.size();
            }
            continue;
        }
        std::size_t k = 0;
        while (k < code.size() &&
               (IsAsciiLetter(static_cast<unsigned char>(code[k])) ? static_cast<char>(p[k] | 0x20)
                                                                   : p[k]) == code[k]) {
            ++k;
        }
        if (k == code.size()) {
            return k;
        }
    }
    return 0;
}

std::size_t CFindPattern::MatchAt(const char* p, std::size_t n) const {
    std::size_t at = 0;
    for (const Element& element : m_elements) {
        const std::size_t length = ElementAt(element, p + at, n - at);
        if (length == 0) {
            return 0;
        }
        at += length;
    }
    return at;
}

bool CFindPattern::SplitsAt(const char* p, std::size_t at) const {
    std::size_t end = 0;
    for (const Element& element : m_elements) {
        end += ElementAt(element, p + end, std::numeric_limits<std::size_t>::max());
        if (end >= at) {
            return end > at;
        }
    }
    return false;
}
