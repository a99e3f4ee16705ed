#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace opencc {
class Converter;
}

// Chinese text in another script, with OpenCC's phrase-level dictionaries from the system's
// OpenCC data (头发 becomes 頭髮, not 頭發). Whatever goes wrong (missing data, a text that is
// no valid Unicode) leaves the text as it was, with a reason to report; nothing throws.
class CScriptConverter {
public:
    // The scripts a reader may choose; kOriginal leaves the text as the book spells it.
    enum class Script { kOriginal, kSimplified, kTraditional, kTaiwan, kHongKong };

    explicit CScriptConverter(Script target);
    // An OpenCC configuration: a file name from the system's OpenCC data, or a path.
    explicit CScriptConverter(const std::string& config);
    ~CScriptConverter();
    CScriptConverter(const CScriptConverter&) = delete;
    CScriptConverter& operator=(const CScriptConverter&) = delete;

    // The text in the target script; the text as it was when it cannot be converted, with the
    // reason in *error ("" when it was converted). Safe to call from several threads at once.
    std::u16string Convert(std::u16string_view text, std::string* error = nullptr) const;

    // A converted text with, for each of its code units and for its end, the position in the
    // original text it comes from. A phrase converted to one of its own length maps unit by
    // unit; one of another length (鼠标 → 滑鼠 is not, 借记卡 → 簽帳金融卡 is) maps its start
    // and end to the phrase's, and the units between proportionally.
    struct Mapped {
        std::u16string text;
        std::vector<std::size_t> source; // text.size() + 1 positions
    };
    Mapped ConvertMapped(std::u16string_view text, std::string* error = nullptr) const;
    // Why the dictionaries could not be loaded; "" when they were (or for kOriginal).
    const std::string& OpenError() const { return m_openError; }

    // The OpenCC configuration of the script, as `opencc -c` takes it; nullptr for kOriginal.
    static const char* ConfigOf(Script script);
    // The script's name where choices are kept and typed: "original", "s", "t", "tw", "hk".
    static const char* NameOf(Script script);
    // The script of a name NameOf gives; nothing for any other text.
    static std::optional<Script> FromName(std::string_view name);

    // The phrase as typed and as it is spelled in Simplified, Traditional, Taiwan's and Hong
    // Kong's characters: each spelling once, the typed one first. Only the typed phrase when the
    // dictionaries are missing.
    static std::vector<std::u16string> Spellings(std::u16string_view phrase);

private:
    void Open(const std::string& config);
    // Appends the converted piece (no NUL in it) that begins at `start` of the original text.
    void ConvertPiece(std::u16string_view piece, std::size_t start, Mapped& out) const;

    std::shared_ptr<const opencc::Converter> m_converter; // none when the data did not load
    std::string m_openError;
};
