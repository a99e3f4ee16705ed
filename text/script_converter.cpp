#include "text/script_converter.h"

#include "platform/code_page.h"

#include <opencc.h>

#include <algorithm>
#include <cstdint>

namespace {

// opencc_open's failure value.
const opencc_t kNoConverter = reinterpret_cast<opencc_t>(static_cast<std::intptr_t>(-1));

bool IsHigh(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}

bool IsLow(char16_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

bool HasLoneSurrogate(std::u16string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (IsHigh(text[i]) && i + 1 < text.size() && IsLow(text[i + 1])) {
            ++i;
        } else if (IsHigh(text[i]) || IsLow(text[i])) {
            return true;
        }
    }
    return false;
}

} // namespace

CScriptConverter::CScriptConverter(Script target) {
    if (const char* config = ConfigOf(target)) {
        Open(config);
    }
}

CScriptConverter::CScriptConverter(const std::string& config) {
    Open(config);
}

void CScriptConverter::Open(const std::string& config) {
    // OpenCC looks for a bare name in its data directory, and reports a missing or damaged
    // configuration or dictionary by its error rather than by throwing through its C calls.
    const opencc_t handle = opencc_open(config.c_str());
    if (handle == kNoConverter || handle == nullptr) {
        const char* why = opencc_error();
        m_openError = "cannot load the OpenCC configuration " + config + ": " +
                      (why != nullptr && *why != '\0' ? why : "unknown error");
        return;
    }
    m_handle = handle;
}

CScriptConverter::~CScriptConverter() {
    if (m_handle != nullptr) {
        opencc_close(m_handle);
    }
}

const char* CScriptConverter::ConfigOf(Script script) {
    switch (script) {
    case Script::kOriginal:
        break;
    case Script::kSimplified:
        return "t2s.json";
    case Script::kTraditional:
        return "s2t.json";
    case Script::kTaiwan:
        return "s2twp.json"; // Taiwan's characters and its own words (鼠标 → 滑鼠)
    case Script::kHongKong:
        return "s2hk.json";
    }
    return nullptr;
}

std::string CScriptConverter::ConvertUtf8(const std::string& utf8, std::string* error) const {
    char* converted = opencc_convert_utf8(m_handle, utf8.data(), utf8.size());
    if (converted == nullptr) {
        if (error != nullptr) {
            const char* why = opencc_error();
            *error = std::string("OpenCC cannot convert the text: ") +
                     (why != nullptr && *why != '\0' ? why : "unknown error");
        }
        return utf8;
    }
    std::string result(converted);
    opencc_convert_utf8_free(converted);
    return result;
}

std::u16string CScriptConverter::Convert(std::u16string_view text, std::string* error) const {
    std::string why = m_openError;
    std::u16string result(text);
    if (m_handle != nullptr && HasLoneSurrogate(text)) {
        why = "the text holds a lone UTF-16 surrogate";
    } else if (m_handle != nullptr) {
        // OpenCC reads its input up to the first NUL, so the pieces between NULs go one by one.
        std::u16string converted;
        converted.reserve(text.size());
        for (std::size_t start = 0; why.empty();) {
            const std::size_t nul = std::min(text.find(u'\0', start), text.size());
            if (nul > start) {
                converted +=
                    DecodeUtf8(ConvertUtf8(EncodeUtf8(text.substr(start, nul - start)), &why));
            }
            if (nul == text.size()) {
                break;
            }
            converted += u'\0';
            start = nul + 1;
        }
        if (why.empty()) {
            result = std::move(converted);
        }
    }
    if (error != nullptr) {
        *error = why;
    }
    return result;
}

std::vector<std::u16string> CScriptConverter::Spellings(std::u16string_view phrase) {
    // Loaded by the first search and kept for the process. The traditional spellings come from
    // the simplified one, so a phrase typed in one region's characters finds the others' too.
    // Taiwan's is characters only here: its own words (滑鼠 for 鼠标) are another phrase.
    static const CScriptConverter toSimplified(std::string("t2s.json"));
    static const CScriptConverter traditional(std::string("s2t.json"));
    static const CScriptConverter taiwan(std::string("s2tw.json"));
    static const CScriptConverter hongKong(std::string("s2hk.json"));
    std::vector<std::u16string> spellings{std::u16string(phrase)};
    const auto add = [&](std::u16string spelling) {
        if (std::find(spellings.begin(), spellings.end(), spelling) == spellings.end()) {
            spellings.push_back(std::move(spelling));
        }
    };
    const std::u16string simplified = toSimplified.Convert(phrase);
    add(simplified);
    for (const CScriptConverter* converter : {&traditional, &taiwan, &hongKong}) {
        add(converter->Convert(simplified));
    }
    return spellings;
}
