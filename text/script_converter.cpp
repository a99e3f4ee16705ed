#include "text/script_converter.h"

#include "platform/code_page.h"

#include <opencc/Config.hpp>
#include <opencc/ConversionChain.hpp>
#include <opencc/Converter.hpp>
#include <opencc/Exception.hpp>
#include <opencc/Segmentation.hpp>
#include <opencc/Segments.hpp>

#include <algorithm>
#include <exception>
#include <stdexcept>
#include <utility>

namespace {

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
    // OpenCC looks for a bare name in its data directory; a missing or damaged configuration or
    // dictionary is an exception (OpenCC's own are no std::exception).
    try {
        m_converter = opencc::Config().NewFromFile(config);
    } catch (const opencc::Exception& e) {
        m_openError = "cannot load the OpenCC configuration " + config + ": " + e.what();
    } catch (const std::exception& e) {
        m_openError = "cannot load the OpenCC configuration " + config + ": " + e.what();
    }
}

CScriptConverter::~CScriptConverter() = default;

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

namespace {

constexpr std::pair<CScriptConverter::Script, const char*> kNames[] = {
    {CScriptConverter::Script::kOriginal, "original"}, {CScriptConverter::Script::kSimplified, "s"},
    {CScriptConverter::Script::kTraditional, "t"},     {CScriptConverter::Script::kTaiwan, "tw"},
    {CScriptConverter::Script::kHongKong, "hk"},
};

} // namespace

const char* CScriptConverter::NameOf(Script script) {
    for (const auto& [value, name] : kNames) {
        if (value == script) {
            return name;
        }
    }
    return kNames[0].second;
}

std::optional<CScriptConverter::Script> CScriptConverter::FromName(std::string_view name) {
    for (const auto& [value, known] : kNames) {
        if (name == known) {
            return value;
        }
    }
    return std::nullopt;
}

void CScriptConverter::ConvertPiece(std::u16string_view piece, std::size_t start,
                                    Mapped& out) const {
    // What Converter::Convert does, segment by segment: each segment converts to one output
    // segment, so where each phrase came from is known.
    const opencc::SegmentsPtr segments = m_converter->GetSegmentation()->Segment(EncodeUtf8(piece));
    const opencc::SegmentsPtr converted = m_converter->GetConversionChain()->Convert(segments);
    if (converted->Length() != segments->Length()) {
        throw std::runtime_error("OpenCC's conversion changed the number of segments");
    }
    std::size_t at = start;
    for (std::size_t i = 0; i < segments->Length(); ++i) {
        const std::size_t from = DecodeUtf8(segments->At(i)).size();
        const std::u16string to = DecodeUtf8(converted->At(i));
        for (std::size_t k = 0; k < to.size(); ++k) {
            out.source.push_back(at + (to.size() == from ? k : k * from / to.size()));
        }
        out.text += to;
        at += from;
    }
}

CScriptConverter::Mapped CScriptConverter::ConvertMapped(std::u16string_view text,
                                                         std::string* error) const {
    std::string why = m_openError;
    Mapped result;
    if (m_converter != nullptr && HasLoneSurrogate(text)) {
        why = "the text holds a lone UTF-16 surrogate";
    } else if (m_converter != nullptr) {
        // Text after a NUL would be lost to OpenCC's C strings: the pieces between NULs go one
        // by one.
        result.text.reserve(text.size());
        result.source.reserve(text.size() + 1);
        try {
            for (std::size_t start = 0;;) {
                const std::size_t nul = std::min(text.find(u'\0', start), text.size());
                if (nul > start) {
                    ConvertPiece(text.substr(start, nul - start), start, result);
                }
                if (nul == text.size()) {
                    break;
                }
                result.text += u'\0';
                result.source.push_back(nul);
                start = nul + 1;
            }
            result.source.push_back(text.size());
        } catch (const opencc::Exception& e) {
            why = std::string("OpenCC cannot convert the text: ") + e.what();
        } catch (const std::exception& e) {
            why = std::string("OpenCC cannot convert the text: ") + e.what();
        }
    }
    if (!why.empty() || m_converter == nullptr) {
        result.text = std::u16string(text);
        result.source.resize(text.size() + 1);
        for (std::size_t i = 0; i <= text.size(); ++i) {
            result.source[i] = i;
        }
    }
    if (error != nullptr) {
        *error = why;
    }
    return result;
}

std::u16string CScriptConverter::Convert(std::u16string_view text, std::string* error) const {
    return ConvertMapped(text, error).text;
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
