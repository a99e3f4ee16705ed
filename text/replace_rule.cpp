#include "text/replace_rule.h"

#include "platform/code_page.h"

#include <cstdlib>

namespace {

std::string TextOf(const CJsonValue* value) {
    return value != nullptr && value->GetKind() == CJsonValue::Kind::String ? value->Text() : "";
}

bool BoolOf(const CJsonValue* value, bool missing) {
    return value != nullptr && value->GetKind() == CJsonValue::Kind::Bool ? value->Bool() : missing;
}

// Copies source units [begin, end) of `text` with their places.
void CopyUnits(std::u16string_view text, const std::vector<std::size_t>& from, std::size_t begin,
               std::size_t end, std::u16string& out, std::vector<std::size_t>& outFrom) {
    out.append(text.substr(begin, end - begin));
    outFrom.insert(outFrom.end(), from.begin() + std::ptrdiff_t(begin),
                   from.begin() + std::ptrdiff_t(end));
}

// Where a replacement put at `at` of the text shows from: the unit it replaces, or the one
// after the last.
std::size_t SourceAt(const std::vector<std::size_t>& from, std::size_t at) {
    if (at < from.size()) {
        return from[at];
    }
    return from.empty() ? 0 : from.back() + 1;
}

} // namespace

CReplaceRule::CReplaceRule(Fields fields, CJsonValue json)
    : m_fields(std::move(fields)), m_json(std::move(json)) {
    if (m_fields.pattern.empty()) {
        m_error = "no pattern";
        return;
    }
    if (!m_fields.isRegex) {
        m_plain = DecodeUtf8(m_fields.pattern);
        return;
    }
    m_regex.emplace(m_fields.pattern);
    if (!m_regex->IsValid()) {
        m_error = "invalid pattern (" + m_regex->Error() + ")";
    }
    m_format = CRuleRegex::Wide(DecodeUtf8(m_fields.replacement));
    m_required = CRuleRegex::RequiredText(m_fields.pattern);
}

std::optional<CReplaceRule> CReplaceRule::FromJson(const CJsonValue& json) {
    if (json.GetKind() != CJsonValue::Kind::Object) {
        return std::nullopt;
    }
    Fields fields;
    fields.name = TextOf(json.Find("name"));
    fields.group = TextOf(json.Find("group"));
    fields.pattern = TextOf(json.Find("pattern"));
    fields.replacement = TextOf(json.Find("replacement"));
    fields.scope = TextOf(json.Find("scope"));
    fields.enabled = BoolOf(json.Find("isEnabled"), true);
    fields.isRegex = BoolOf(json.Find("isRegex"), true);
    if (const CJsonValue* order = json.Find("order");
        order != nullptr && order->GetKind() == CJsonValue::Kind::Number) {
        fields.order = std::strtoll(order->Text().c_str(), nullptr, 10);
    }
    return CReplaceRule(std::move(fields), json);
}

CJsonValue CReplaceRule::ToJson() const {
    CJsonValue json = m_json;
    if (json.Find("id") == nullptr) {
        json.Set("id", CJsonValue::Number(std::to_string(m_fields.order)));
    }
    json.Set("name", CJsonValue::String(m_fields.name));
    json.Set("group", CJsonValue::String(m_fields.group));
    json.Set("pattern", CJsonValue::String(m_fields.pattern));
    json.Set("replacement", CJsonValue::String(m_fields.replacement));
    json.Set("scope", CJsonValue::String(m_fields.scope));
    json.Set("isEnabled", CJsonValue::Boolean(m_fields.enabled));
    json.Set("isRegex", CJsonValue::Boolean(m_fields.isRegex));
    json.Set("order", CJsonValue::Number(std::to_string(m_fields.order)));
    return json;
}

bool CReplaceRule::AppliesTo(std::u16string_view fileName) const {
    const std::u16string scope = DecodeUtf8(m_fields.scope);
    bool any = false;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= scope.size(); ++i) {
        if (i < scope.size() &&
            std::u16string_view(u",;，；").find(scope[i]) == std::u16string_view::npos) {
            continue;
        }
        std::u16string_view part = std::u16string_view(scope).substr(start, i - start);
        while (!part.empty() && (part.front() == u' ' || part.front() == u'\u3000')) {
            part.remove_prefix(1);
        }
        while (!part.empty() && (part.back() == u' ' || part.back() == u'\u3000')) {
            part.remove_suffix(1);
        }
        if (!part.empty()) {
            any = true;
            if (fileName.find(part) != std::u16string_view::npos) {
                return true;
            }
        }
        start = i + 1;
    }
    return !any;
}

CReplaceRule::Outcome CReplaceRule::Apply(std::u16string& text, std::vector<std::size_t>& from,
                                          std::size_t maxRegexChars) const {
    if (!IsValid() || text.empty()) {
        return Outcome::Applied;
    }
    std::u16string out;
    std::vector<std::size_t> outFrom;
    if (!m_regex) {
        const std::u16string replacement = DecodeUtf8(m_fields.replacement);
        std::size_t done = 0;
        for (std::size_t at = text.find(m_plain); at != std::u16string::npos;
             at = text.find(m_plain, done)) {
            CopyUnits(text, from, done, at, out, outFrom);
            out += replacement;
            outFrom.insert(outFrom.end(), replacement.size(), SourceAt(from, at));
            done = at + m_plain.size();
        }
        if (done == 0 && out.empty()) {
            return Outcome::Applied; // nothing matched
        }
        CopyUnits(text, from, done, text.size(), out, outFrom);
    } else {
        if (!m_required.empty() && text.find(m_required) == std::u16string::npos) {
            return Outcome::Applied; // most lines: the matcher need not run
        }
        std::vector<std::size_t> units;
        const std::wstring wide = CRuleRegex::Wide(text, &units);
        if (wide.size() > maxRegexChars) {
            return Outcome::TooLong;
        }
        std::size_t done = 0; // in units of `text`
        bool any = false;
        try {
            for (std::wsregex_iterator it(wide.begin(), wide.end(), m_regex->Regex()), end;
                 it != end; ++it) {
                const std::wsmatch& match = *it;
                const std::size_t begin = units[std::size_t(match.position())];
                const std::size_t stop = units[std::size_t(match.position() + match.length())];
                CopyUnits(text, from, done, begin, out, outFrom);
                const std::u16string replacement = CRuleRegex::Narrow(match.format(m_format));
                out += replacement;
                outFrom.insert(outFrom.end(), replacement.size(), SourceAt(from, begin));
                done = stop;
                any = true;
            }
        } catch (const std::regex_error&) {
            return Outcome::TooComplex;
        }
        if (!any) {
            return Outcome::Applied;
        }
        CopyUnits(text, from, done, text.size(), out, outFrom);
    }
    text = std::move(out);
    from = std::move(outFrom);
    return Outcome::Applied;
}
