#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// A JSON value: enough of JSON to read the rule files readers exchange. Strings are UTF-8;
// numbers keep their text, so nothing is rounded on the way through.
class CJsonValue {
public:
    enum class Kind { Null, Bool, Number, String, Array, Object };
    using Member = std::pair<std::string, CJsonValue>;

    // The whole text as one value; nothing when it is not JSON, with `error` saying where.
    static std::optional<CJsonValue> Parse(std::string_view text, std::string* error = nullptr);
    // The list a rules file holds (at most maxBytes of JSON, an array). Nothing when the file is
    // missing (problem "") or is no such list (problem names the file `name` and what is wrong).
    static std::optional<CJsonValue> ReadRuleList(const std::string& fsPath, std::size_t maxBytes,
                                                  const char* name, std::string& problem);

    Kind GetKind() const { return m_kind; }
    bool Bool() const { return m_bool; }
    // A number's or a string's text.
    const std::string& Text() const { return m_text; }
    const std::vector<CJsonValue>& Items() const { return m_items; }
    const std::vector<Member>& Members() const { return m_members; }
    // The member named `key` of an object, or null when there is none.
    const CJsonValue* Find(std::string_view key) const;

    static CJsonValue String(std::string text);
    // `text` must be a JSON number.
    static CJsonValue Number(std::string text);
    static CJsonValue Boolean(bool value);
    static CJsonValue Array(std::vector<CJsonValue> items);
    static CJsonValue Object();
    // Sets an object's member, in its place when it has one, else last: the members a writer
    // does not know keep their places and values.
    void Set(std::string_view key, CJsonValue value);
    // The value as JSON text, indented by two spaces a level, non-ASCII characters as they are.
    std::string Write() const;

    // Nesting deeper than this is refused: a hostile file must not exhaust the stack.
    static constexpr int kMaxDepth = 64;

private:
    void WriteTo(std::string& out, int depth) const;

    class Parser; // reads one document, keeping its place and its first error
    friend class Parser;
    Kind m_kind = Kind::Null;
    bool m_bool = false;
    std::string m_text;
    std::vector<CJsonValue> m_items;
    std::vector<Member> m_members;
};
