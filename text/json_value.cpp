#include "text/json_value.h"

#include <cstdint>
#include <fstream>

class CJsonValue::Parser {
public:
    explicit Parser(std::string_view text) : m_text(text) {}

    bool Document(CJsonValue& value) {
        return Value(value, 0) && (SkipBlanks(), m_at == m_text.size() || Fail("text after it"));
    }
    std::string Error() const { return m_error + " at byte " + std::to_string(m_at); }

private:
    bool Fail(const char* what) {
        if (m_error.empty()) {
            m_error = what;
        }
        return false;
    }
    void SkipBlanks() {
        while (m_at < m_text.size() && (m_text[m_at] == ' ' || m_text[m_at] == '\t' ||
                                        m_text[m_at] == '\n' || m_text[m_at] == '\r')) {
            ++m_at;
        }
    }
    bool Take(char c) {
        SkipBlanks();
        if (m_at < m_text.size() && m_text[m_at] == c) {
            ++m_at;
            return true;
        }
        return false;
    }
    bool Word(std::string_view word) {
        if (m_text.substr(m_at, word.size()) != word) {
            return Fail("unknown word");
        }
        m_at += word.size();
        return true;
    }
    bool Value(CJsonValue& value, int depth) {
        if (depth > CJsonValue::kMaxDepth) {
            return Fail("nested too deep");
        }
        SkipBlanks();
        if (m_at >= m_text.size()) {
            return Fail("a value missing");
        }
        const char c = m_text[m_at];
        if (c == '{') {
            value.m_kind = CJsonValue::Kind::Object;
            ++m_at;
            if (Take('}')) {
                return true;
            }
            do {
                CJsonValue::Member member;
                SkipBlanks();
                if (!String(member.first) || !Take(':') || !Value(member.second, depth + 1)) {
                    return Fail("a bad member");
                }
                value.m_members.push_back(std::move(member));
            } while (Take(','));
            return Take('}') || Fail("no closing }");
        }
        if (c == '[') {
            value.m_kind = CJsonValue::Kind::Array;
            ++m_at;
            if (Take(']')) {
                return true;
            }
            do {
                value.m_items.emplace_back();
                if (!Value(value.m_items.back(), depth + 1)) {
                    return false;
                }
            } while (Take(','));
            return Take(']') || Fail("no closing ]");
        }
        if (c == '"') {
            value.m_kind = CJsonValue::Kind::String;
            return String(value.m_text);
        }
        if (c == 't' || c == 'f') {
            value.m_kind = CJsonValue::Kind::Bool;
            value.m_bool = c == 't';
            return Word(c == 't' ? "true" : "false");
        }
        if (c == 'n') {
            return Word("null");
        }
        return Number(value);
    }
    bool Number(CJsonValue& value) {
        const std::size_t from = m_at;
        if (m_at < m_text.size() && m_text[m_at] == '-') {
            ++m_at;
        }
        const auto digits = [&] {
            const std::size_t start = m_at;
            while (m_at < m_text.size() && m_text[m_at] >= '0' && m_text[m_at] <= '9') {
                ++m_at;
            }
            return m_at > start;
        };
        if (!digits()) {
            return Fail("not a value");
        }
        if (m_at < m_text.size() && m_text[m_at] == '.' && (++m_at, !digits())) {
            return Fail("a bad number");
        }
        if (m_at < m_text.size() && (m_text[m_at] == 'e' || m_text[m_at] == 'E')) {
            ++m_at;
            if (m_at < m_text.size() && (m_text[m_at] == '+' || m_text[m_at] == '-')) {
                ++m_at;
            }
            if (!digits()) {
                return Fail("a bad number");
            }
        }
        value.m_kind = CJsonValue::Kind::Number;
        value.m_text = std::string(m_text.substr(from, m_at - from));
        return true;
    }
    bool Hex4(std::uint32_t& unit) {
        if (m_text.size() - m_at < 4) {
            return false;
        }
        unit = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = m_text[m_at++];
            const int digit = c >= '0' && c <= '9'   ? c - '0'
                              : c >= 'a' && c <= 'f' ? c - 'a' + 10
                              : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                     : -1;
            if (digit < 0) {
                return false;
            }
            unit = unit * 16 + std::uint32_t(digit);
        }
        return true;
    }
    static void AppendUtf8(std::string& out, std::uint32_t c) {
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | c >> 6);
            out += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += char(0xE0 | c >> 12);
            out += char(0x80 | (c >> 6 & 0x3F));
            out += char(0x80 | (c & 0x3F));
        } else {
            out += char(0xF0 | c >> 18);
            out += char(0x80 | (c >> 12 & 0x3F));
            out += char(0x80 | (c >> 6 & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
    }
    bool String(std::string& out) {
        if (m_at >= m_text.size() || m_text[m_at] != '"') {
            return Fail("a string missing");
        }
        ++m_at;
        while (m_at < m_text.size()) {
            const char c = m_text[m_at++];
            if (c == '"') {
                return true;
            }
            if (static_cast<unsigned char>(c) < 0x20) {
                return Fail("a control character in a string");
            }
            if (c != '\\') {
                out += c;
                continue;
            }
            if (m_at >= m_text.size()) {
                break;
            }
            const char e = m_text[m_at++];
            static constexpr std::string_view kFrom = "\"\\/bfnrt";
            static constexpr std::string_view kTo = "\"\\/\b\f\n\r\t";
            if (const std::size_t k = kFrom.find(e); k != std::string_view::npos) {
                out += kTo[k];
                continue;
            }
            std::uint32_t unit = 0;
            if (e != 'u' || !Hex4(unit)) {
                return Fail("a bad escape");
            }
            // A pair of escapes spells a character beyond the basic plane.
            std::uint32_t low = 0;
            if (unit >= 0xD800 && unit <= 0xDBFF && m_text.substr(m_at, 2) == "\\u" &&
                (m_at += 2, Hex4(low)) && low >= 0xDC00 && low <= 0xDFFF) {
                unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
            } else if (unit >= 0xD800 && unit <= 0xDFFF) {
                return Fail("half a character");
            }
            AppendUtf8(out, unit);
        }
        return Fail("an unended string");
    }

    std::string_view m_text;
    std::size_t m_at = 0;
    std::string m_error;
};

std::optional<CJsonValue> CJsonValue::Parse(std::string_view text, std::string* error) {
    Parser parser(text);
    CJsonValue value;
    if (!parser.Document(value)) {
        if (error != nullptr) {
            *error = parser.Error();
        }
        return std::nullopt;
    }
    return value;
}

const CJsonValue* CJsonValue::Find(std::string_view key) const {
    for (const Member& member : m_members) {
        if (member.first == key) {
            return &member.second;
        }
    }
    return nullptr;
}

CJsonValue CJsonValue::String(std::string text) {
    CJsonValue value;
    value.m_kind = Kind::String;
    value.m_text = std::move(text);
    return value;
}

CJsonValue CJsonValue::Number(std::string text) {
    CJsonValue value;
    value.m_kind = Kind::Number;
    value.m_text = std::move(text);
    return value;
}

CJsonValue CJsonValue::Boolean(bool b) {
    CJsonValue value;
    value.m_kind = Kind::Bool;
    value.m_bool = b;
    return value;
}

CJsonValue CJsonValue::Array(std::vector<CJsonValue> items) {
    CJsonValue value;
    value.m_kind = Kind::Array;
    value.m_items = std::move(items);
    return value;
}

CJsonValue CJsonValue::Object() {
    CJsonValue value;
    value.m_kind = Kind::Object;
    return value;
}

void CJsonValue::Set(std::string_view key, CJsonValue value) {
    for (Member& member : m_members) {
        if (member.first == key) {
            member.second = std::move(value);
            return;
        }
    }
    m_members.emplace_back(std::string(key), std::move(value));
}

std::string CJsonValue::Write() const {
    std::string out;
    WriteTo(out, 0);
    out += '\n';
    return out;
}

void CJsonValue::WriteTo(std::string& out, int depth) const {
    const auto quote = [&out](std::string_view text) {
        out += '"';
        for (const char c : text) {
            const auto u = static_cast<unsigned char>(c);
            if (c == '"' || c == '\\') {
                out += '\\';
                out += c;
            } else if (c == '\n') {
                out += "\\n";
            } else if (c == '\t') {
                out += "\\t";
            } else if (c == '\r') {
                out += "\\r";
            } else if (u < 0x20) {
                static constexpr char kHex[] = "0123456789abcdef";
                out += "\\u00";
                out += kHex[u >> 4];
                out += kHex[u & 15];
            } else {
                out += c;
            }
        }
        out += '"';
    };
    const auto newLine = [&out](int level) {
        out += '\n';
        out.append(std::size_t(level) * 2, ' ');
    };
    switch (m_kind) {
    case Kind::Null:
        out += "null";
        break;
    case Kind::Bool:
        out += m_bool ? "true" : "false";
        break;
    case Kind::Number:
        out += m_text;
        break;
    case Kind::String:
        quote(m_text);
        break;
    case Kind::Array:
        out += '[';
        for (std::size_t i = 0; i < m_items.size(); ++i) {
            out += i == 0 ? "" : ",";
            newLine(depth + 1);
            m_items[i].WriteTo(out, depth + 1);
        }
        if (!m_items.empty()) {
            newLine(depth);
        }
        out += ']';
        break;
    case Kind::Object:
        out += '{';
        for (std::size_t i = 0; i < m_members.size(); ++i) {
            out += i == 0 ? "" : ",";
            newLine(depth + 1);
            quote(m_members[i].first);
            out += ": ";
            m_members[i].second.WriteTo(out, depth + 1);
        }
        if (!m_members.empty()) {
            newLine(depth);
        }
        out += '}';
        break;
    }
}

std::optional<CJsonValue> CJsonValue::ReadRuleList(const std::string& fsPath, std::size_t maxBytes,
                                                   const char* name, std::string& problem) {
    problem.clear();
    std::ifstream in(fsPath, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::string text;
    text.resize(maxBytes + 1);
    in.read(text.data(), std::streamsize(text.size()));
    text.resize(std::size_t(in.gcount()));
    const std::string file = std::string(name) + ": ";
    if (text.size() > maxBytes) {
        problem = file + "too large to be a list of rules; not used";
        return std::nullopt;
    }
    std::string error;
    std::optional<CJsonValue> json = Parse(text, &error);
    if (!json || json->GetKind() != Kind::Array) {
        problem = file + (json ? "not a list of rules" : "not JSON (" + error + ")") + "; not used";
        return std::nullopt;
    }
    return json;
}
