#include "text/encoding_choice.h"

#include "platform/code_page.h"

#include <algorithm>
#include <cctype>
#include <initializer_list>

namespace {

std::string Upper(std::string_view name) {
    std::string upper(name);
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return upper;
}

// The first of the candidates iconv can decode; the first candidate when it knows none, so that
// opening the book reports the missing code page.
std::string FirstAvailable(std::initializer_list<const char*> candidates) {
    for (const char* name : candidates) {
        if (CodePageAvailable(name)) {
            return name;
        }
    }
    return *candidates.begin();
}

} // namespace

const std::vector<std::string>& CEncodingChoice::Names() {
    static const std::vector<std::string> names = {"GB18030", "BIG5",     "SHIFT_JIS", "EUC-KR",
                                                   "UTF-8",   "UTF-16LE", "UTF-16BE"};
    return names;
}

std::string CEncodingChoice::Canonical(std::string_view name) {
    const std::string upper = Upper(name);
    const auto& names = Names();
    return std::find(names.begin(), names.end(), upper) != names.end() ? upper : std::string();
}

bool CEncodingChoice::Resolve(std::string_view name, TextEncoding& encoding,
                              std::string& codePage) {
    const std::string choice = Canonical(name);
    if (choice.empty()) {
        return false;
    }
    encoding = ENCODING_ANSI;
    if (choice == "UTF-8") {
        encoding = ENCODING_UTF8;
    } else if (choice == "UTF-16LE") {
        encoding = ENCODING_UTF16LE;
    } else if (choice == "UTF-16BE") {
        encoding = ENCODING_UTF16BE;
    }
    codePage = encoding == ENCODING_ANSI ? LegacyCodePageOf(choice) : choice;
    return true;
}

std::string CEncodingChoice::LegacyCodePageOf(std::string_view detectedName) {
    const std::string name = Upper(detectedName);
    if (name == "GB18030" || name == "GBK" || name == "GB2312" || name == "CP936" ||
        name == "EUC-CN") {
        return "GB18030";
    }
    if (name == "BIG5" || name == "BIG5-HKSCS" || name == "CP950") {
        return FirstAvailable({"BIG5-HKSCS", "CP950", "BIG5"});
    }
    if (name == "SHIFT_JIS" || name == "CP932" || name == "SJIS") {
        return FirstAvailable({"CP932", "SHIFT_JIS"});
    }
    if (name == "EUC-JP") {
        return "EUC-JP";
    }
    if (name == "EUC-KR" || name == "UHC" || name == "CP949") {
        return FirstAvailable({"CP949", "EUC-KR"});
    }
    if (name == "EUC-TW") {
        return "EUC-TW";
    }
    return {};
}

std::string CEncodingChoice::DisplayName(TextEncoding encoding, const std::string& codePage) {
    if (encoding != ENCODING_ANSI) {
        return CodePageName(encoding, codePage);
    }
    const std::string name = Upper(codePage);
    if (name == "BIG5-HKSCS" || name == "CP950") {
        return "BIG5";
    }
    if (name == "CP932") {
        return "SHIFT_JIS";
    }
    if (name == "CP949") {
        return "EUC-KR";
    }
    return name;
}

std::string CEncodingChoice::CodePageName(TextEncoding encoding, const std::string& codePage) {
    switch (encoding) {
    case ENCODING_UTF8:
        return "UTF-8";
    case ENCODING_UTF16LE:
        return "UTF-16LE";
    case ENCODING_UTF16BE:
        return "UTF-16BE";
    case ENCODING_ANSI:
        break;
    }
    return codePage;
}
