#include "platform/code_page.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iconv.h>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <strings.h>
#include <utility>

namespace {

constexpr char16_t kReplacement = 0xFFFD;
constexpr const char* kDefaultLegacy = "GB18030";
constexpr const char* kWide = "UTF-16LE";

// One iconv descriptor, opened on first use by the thread that owns it.
class IconvHandle {
public:
    IconvHandle(const char* to, const char* from) : m_cd(iconv_open(to, from)) {}
    ~IconvHandle() {
        if (Valid()) {
            iconv_close(m_cd);
        }
    }
    IconvHandle(const IconvHandle&) = delete;
    IconvHandle& operator=(const IconvHandle&) = delete;

    bool Valid() const { return m_cd != reinterpret_cast<iconv_t>(-1); }
    iconv_t Get() const { return m_cd; }
    void Reset() { iconv(m_cd, nullptr, nullptr, nullptr, nullptr); }

private:
    iconv_t m_cd;
};

bool CodePageKnown(const char* name) {
    IconvHandle to(kWide, name);
    IconvHandle from(name, kWide);
    return to.Valid() && from.Valid();
}

std::string ChooseLegacyCodePage() {
    const char* wanted = std::getenv("VESKA_CODEPAGE");
    if (wanted == nullptr || *wanted == '\0') {
        return kDefaultLegacy;
    }
    if (!CodePageKnown(wanted)) {
        std::fprintf(stderr, "veska: unknown code page \"%s\" in VESKA_CODEPAGE; using %s\n",
                     wanted, kDefaultLegacy);
        return kDefaultLegacy;
    }
    return wanted;
}

// Output buffer of an iconv run that grows on demand.
template <typename Str> class IconvOutput {
public:
    explicit IconvOutput(size_t units) : m_str(units, 0) {}
    char** Ptr() { return &m_ptr; }
    size_t* Left() { return &m_left; }
    void Ensure(size_t bytes) {
        if (m_left >= bytes) {
            return;
        }
        const size_t used = Used();
        m_str.resize(m_str.size() * 2 + bytes);
        m_ptr = reinterpret_cast<char*>(m_str.data()) + used;
        m_left = m_str.size() * sizeof(m_str[0]) - used;
    }
    void Put(typename Str::value_type unit) {
        Ensure(sizeof(unit));
        std::memcpy(m_ptr, &unit, sizeof(unit));
        m_ptr += sizeof(unit);
        m_left -= sizeof(unit);
    }
    Str Take() {
        m_str.resize(Used() / sizeof(m_str[0]));
        return std::move(m_str);
    }

private:
    size_t Used() const { return m_str.size() * sizeof(m_str[0]) - m_left; }
    Str m_str;
    char* m_ptr = reinterpret_cast<char*>(m_str.data());
    size_t m_left = m_str.size() * sizeof(m_str[0]);
};

// Runs iconv over the whole input; onBad is called at each sequence iconv refuses and returns
// how many input bytes to skip (0 ends the run).
template <typename Str, typename OnBad>
Str RunIconv(IconvHandle& cd, const char* data, size_t size, size_t guess, OnBad onBad) {
    IconvOutput<Str> out(guess);
    char* in = const_cast<char*>(data);
    size_t inLeft = size;
    cd.Reset();
    while (inLeft > 0) {
        if (iconv(cd.Get(), &in, &inLeft, out.Ptr(), out.Left()) != static_cast<size_t>(-1)) {
            break;
        }
        if (errno == E2BIG) {
            out.Ensure(16);
            continue;
        }
        const size_t skip = onBad(out, in, inLeft, errno == EINVAL);
        if (skip == 0 || skip > inLeft) {
            break;
        }
        in += skip;
        inLeft -= skip;
        cd.Reset();
    }
    // A stateful code page may hold back the last character (Big5-HKSCS waits for a combining
    // mark that would share its code): let it out.
    out.Ensure(16);
    iconv(cd.Get(), nullptr, nullptr, out.Ptr(), out.Left());
    return out.Take();
}

std::u16string Decode(IconvHandle& cd, std::string_view bytes) {
    // Every input byte yields at most one code unit (a 4-byte sequence gives a surrogate pair),
    // but a few Big5-HKSCS characters give two: leave room for growth.
    return RunIconv<std::u16string>(cd, bytes.data(), bytes.size(), bytes.size() + 2,
                                    [](auto& out, const char*, size_t, bool incomplete) {
                                        out.Put(kReplacement);
                                        // Skip the byte that cannot start a character; an
                                        // incomplete sequence ends the input.
                                        return incomplete ? size_t{0} : size_t{1};
                                    });
}

std::string Encode(IconvHandle& cd, std::u16string_view text) {
    return RunIconv<std::string>(
        cd, reinterpret_cast<const char*>(text.data()), text.size() * sizeof(char16_t),
        text.size() * 4 + 4, [](auto& out, const char* in, size_t left, bool incomplete) {
            out.Put('?');
            if (incomplete) {
                return size_t{0};
            }
            // A surrogate pair is one character.
            char16_t unit = 0;
            char16_t next = 0;
            std::memcpy(&unit, in, sizeof(unit));
            if (left >= 4) {
                std::memcpy(&next, in + 2, sizeof(next));
            }
            const bool pair = unit >= 0xD800 && unit <= 0xDBFF && next >= 0xDC00 && next <= 0xDFFF;
            return pair ? size_t{4} : size_t{2};
        });
}

// One descriptor per code page, direction and thread; a book rarely changes code page.
IconvHandle& CodePageHandle(const std::string& codePage, bool decoding) {
    thread_local std::map<std::pair<std::string, bool>, std::unique_ptr<IconvHandle>> handles;
    std::unique_ptr<IconvHandle>& cd = handles[{codePage, decoding}];
    if (!cd) {
        cd = decoding ? std::make_unique<IconvHandle>(kWide, codePage.c_str())
                      : std::make_unique<IconvHandle>(codePage.c_str(), kWide);
    }
    return *cd;
}

} // namespace

const std::string& LegacyCodePageName() {
    static const std::string name = ChooseLegacyCodePage();
    return name;
}

bool LegacyCodePageForced() {
    const char* wanted = std::getenv("VESKA_CODEPAGE");
    return wanted != nullptr && *wanted != '\0' && LegacyCodePageName() == wanted;
}

bool CodePageAvailable(const std::string& name) {
    return !name.empty() && CodePageKnown(name.c_str());
}

std::string UsableCodePage(const std::string& name) {
    if (CodePageAvailable(name)) {
        return name;
    }
    static std::mutex mutex;
    static std::set<std::string> reported;
    const std::lock_guard lock(mutex);
    if (reported.insert(name).second) {
        std::fprintf(stderr, "veska: this system's iconv has no code page \"%s\"; using %s\n",
                     name.c_str(), LegacyCodePageName().c_str());
    }
    return LegacyCodePageName();
}

std::u16string DecodeLegacy(std::string_view bytes) {
    thread_local IconvHandle cd(kWide, LegacyCodePageName().c_str());
    return Decode(cd, bytes);
}

std::u16string DecodeCodePage(std::string_view bytes, const std::string& codePage) {
    if (codePage == LegacyCodePageName()) {
        return DecodeLegacy(bytes);
    }
    IconvHandle& cd = CodePageHandle(codePage, true);
    return cd.Valid() ? Decode(cd, bytes) : DecodeLegacy(bytes);
}

int CodePageCharBytes(std::string_view bytes, const std::string& codePage) {
    IconvHandle& cd = CodePageHandle(codePage, true);
    if (!cd.Valid() || bytes.empty()) {
        return -1;
    }
    // Room for one code unit, then for a pair: iconv converts exactly one character.
    for (std::size_t room : {std::size_t{2}, std::size_t{4}}) {
        cd.Reset();
        char16_t out[2];
        char* outPtr = reinterpret_cast<char*>(out);
        std::size_t outLeft = room;
        char* in = const_cast<char*>(bytes.data());
        std::size_t inLeft = bytes.size();
        const std::size_t result = iconv(cd.Get(), &in, &inLeft, &outPtr, &outLeft);
        if (inLeft < bytes.size()) {
            return static_cast<int>(bytes.size() - inLeft);
        }
        if (result == static_cast<std::size_t>(-1) && errno != E2BIG) {
            return errno == EINVAL ? 0 : -1;
        }
    }
    return -1;
}

std::string EncodeLegacy(std::u16string_view text) {
    thread_local IconvHandle cd(LegacyCodePageName().c_str(), kWide);
    return Encode(cd, text);
}

std::string EncodeCodePage(std::u16string_view text, const std::string& codePage) {
    if (codePage == LegacyCodePageName()) {
        return EncodeLegacy(text);
    }
    IconvHandle& cd = CodePageHandle(codePage, false);
    return cd.Valid() ? Encode(cd, text) : EncodeLegacy(text);
}

std::u16string DecodeUtf8(std::string_view bytes) {
    // The WHATWG decoder: each maximal invalid subsequence becomes one U+FFFD.
    std::u16string out;
    out.reserve(bytes.size());
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const size_t n = bytes.size();
    size_t i = 0;
    while (i < n) {
        const unsigned b = p[i];
        if (b < 0x80) {
            out.push_back(static_cast<char16_t>(b));
            ++i;
            continue;
        }
        unsigned need = 0;
        char32_t cp = 0;
        unsigned lower = 0x80;
        unsigned upper = 0xBF;
        if (b >= 0xC2 && b <= 0xDF) {
            need = 1;
            cp = b & 0x1F;
        } else if (b >= 0xE0 && b <= 0xEF) {
            need = 2;
            cp = b & 0x0F;
            if (b == 0xE0) {
                lower = 0xA0;
            } else if (b == 0xED) {
                upper = 0x9F;
            }
        } else if (b >= 0xF0 && b <= 0xF4) {
            need = 3;
            cp = b & 0x07;
            if (b == 0xF0) {
                lower = 0x90;
            } else if (b == 0xF4) {
                upper = 0x8F;
            }
        } else {
            out.push_back(kReplacement);
            ++i;
            continue;
        }
        size_t j = i + 1;
        bool ok = true;
        for (unsigned k = 0; k < need; ++k, ++j) {
            if (j >= n || p[j] < lower || p[j] > upper) {
                ok = false;
                break;
            }
            cp = (cp << 6) | (p[j] & 0x3F);
            lower = 0x80;
            upper = 0xBF;
        }
        if (!ok) {
            out.push_back(kReplacement);
            i = j; // the bytes consumed so far form the maximal invalid subpart
            continue;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
        i = j;
    }
    return out;
}

std::string EncodeUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size() * 3);
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = kReplacement;
        }
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}
