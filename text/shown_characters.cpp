#include "text/shown_characters.h"

#include "platform/code_page.h"

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>

namespace {

constexpr char16_t kReplacement = 0xFFFD;
// No legacy code page has longer characters; iconv decides on at most this many bytes.
constexpr std::size_t kMaxCharBytes = 4;

bool IsSurrogatePair(std::u16string_view text) {
    return text.size() >= 2 && text[0] >= 0xD800 && text[0] <= 0xDBFF && text[1] >= 0xDC00 &&
           text[1] <= 0xDFFF;
}

} // namespace

const CShownCharacters& CShownCharacters::Of(const CCodePageLayout& layout) {
    static std::mutex mutex;
    static std::map<std::string, std::unique_ptr<const CShownCharacters>> made;
    const std::lock_guard lock(mutex);
    auto& chars = made[layout.CodePage()];
    if (!chars) {
        chars = std::make_unique<const CShownCharacters>(layout);
    }
    return *chars;
}

CShownCharacters::CShownCharacters(const CCodePageLayout& layout)
    : m_layout(layout), m_pairShown(256 * 256, false) {
    // Every two-byte form at once, each followed by a LF that no character holds: a pair iconv
    // reads comes out as its text, any other as U+FFFD and the second byte on its own.
    std::string batch;
    std::vector<unsigned> pairs;
    for (unsigned lead = 0x80; lead < 256; ++lead) {
        for (unsigned trail = 0; layout.IsLeadByte(lead) && trail < 256; ++trail) {
            const unsigned char pair[2] = {static_cast<unsigned char>(lead),
                                           static_cast<unsigned char>(trail)};
            if (layout.CharLength(pair, 2) == 2) {
                batch += {static_cast<char>(lead), static_cast<char>(trail), '\n'};
                pairs.push_back(lead * 256 + trail);
            }
        }
    }
    const std::u16string texts = DecodeCodePage(batch, layout.CodePage());
    // Codes by the text they show: one code unit (nearly all), or more.
    std::vector<std::pair<char16_t, unsigned>> byUnit;
    std::map<std::u16string, std::vector<std::string>> byText;
    const auto bytesOf = [](unsigned pair) {
        return std::string{static_cast<char>(pair >> 8), static_cast<char>(pair & 0xFF)};
    };
    std::size_t at = 0;
    for (unsigned pair : pairs) {
        const std::size_t lf = std::min(texts.find(u'\n', at), texts.size());
        const std::u16string_view text(texts.data() + at, lf - at);
        at = lf + 1;
        if (text.empty() || text[0] == kReplacement) {
            continue;
        }
        m_pairShown[pair] = true;
        if (text.size() == 1) {
            byUnit.emplace_back(text[0], pair);
        } else {
            byText[std::u16string(text)].push_back(bytesOf(pair));
        }
    }
    std::sort(byUnit.begin(), byUnit.end());
    for (std::size_t i = 0, j = 0; i < byUnit.size(); i = j) {
        while (j < byUnit.size() && byUnit[j].first == byUnit[i].first) {
            ++j;
        }
        for (std::size_t k = i; j - i > 1 && k < j; ++k) {
            m_shared[std::u16string(1, byUnit[i].first)].push_back(bytesOf(byUnit[k].second));
        }
    }
    for (auto& [text, codes] : byText) {
        if (codes.size() > 1 || !IsSurrogatePair(text)) {
            m_shared.emplace(text, std::move(codes));
        }
    }
}

std::size_t CShownCharacters::Length(const unsigned char* p, std::size_t n) const {
    if (!m_layout.IsLeadByte(p[0])) {
        return 1;
    }
    if (n >= 2 && m_layout.CharLength(p, n) == 2) {
        return m_pairShown[p[0] * 256 + p[1]] ? 2 : 1;
    }
    // Longer forms, and bytes near the page's end: ask iconv with the bytes the page gives it,
    // whose line breaks are CR LF (a break at the end lets it decide where a lone lead cannot).
    std::string bytes;
    for (std::size_t i = 0; i < std::min(n, kMaxCharBytes); ++i) {
        const char b = static_cast<char>(p[i]);
        if (b == '\r' || b == '\n') {
            bytes += "\r\n";
            i += b == '\r' && i + 1 < n && p[i + 1] == '\n' ? 1 : 0;
        } else {
            bytes += b;
        }
    }
    const int length = CodePageCharBytes(bytes, m_layout.CodePage());
    return length < 0 ? 1 : static_cast<std::size_t>(length);
}

CShownCharacters::Codes CShownCharacters::CodesAt(std::u16string_view text) const {
    Codes codes;
    if (text.size() >= 2 && !IsSurrogatePair(text)) {
        if (const auto two = m_shared.find(std::u16string(text.substr(0, 2)));
            two != m_shared.end()) {
            codes.units = 2;
            codes.bytes = two->second;
            return codes;
        }
    }
    codes.units = IsSurrogatePair(text) ? 2 : 1;
    const std::u16string one(text.substr(0, codes.units));
    const auto add = [&](std::string bytes) {
        if (!bytes.empty() && DecodeCodePage(bytes, m_layout.CodePage()) == one &&
            std::find(codes.bytes.begin(), codes.bytes.end(), bytes) == codes.bytes.end()) {
            codes.bytes.push_back(std::move(bytes));
        }
    };
    add(EncodeCodePage(one, m_layout.CodePage()));
    if (const auto shared = m_shared.find(one); shared != m_shared.end()) {
        for (const std::string& bytes : shared->second) {
            add(bytes);
        }
    }
    if (m_layout.IsGb18030() && codes.units == 2) {
        // Outside the basic plane GB18030's four-byte codes follow the code points in order;
        // a few of those characters have a two-byte code too, which the encoder prefers.
        unsigned index = 189000 + ((one[0] - 0xD800u) << 10) + (one[1] - 0xDC00u);
        std::string bytes(4, '\0');
        for (int i = 3; i >= 0; --i) {
            const unsigned radix = i % 2 == 1 ? 10 : 126;
            bytes[i] = static_cast<char>((i % 2 == 1 ? 0x30 : 0x81) + index % radix);
            index /= radix;
        }
        add(bytes);
    }
    return codes;
}
