#include "text/rule_regex.h"

#include "platform/code_page.h"

#include <algorithm>

CRuleRegex::CRuleRegex(std::string_view pattern) {
    if (MayRunAway(pattern)) {
        m_error = "a repeated group repeats or has alternatives: it may run away";
        return;
    }
    try {
        m_regex =
            std::make_shared<const std::wregex>(Wide(DecodeUtf8(pattern)), std::regex::ECMAScript);
    } catch (const std::regex_error& e) {
        m_error = e.what();
        if (m_error.empty()) {
            m_error = "invalid pattern";
        }
    }
}

std::wstring CRuleRegex::Wide(std::u16string_view text, std::vector<std::size_t>* units) {
    std::wstring wide;
    wide.reserve(text.size());
    if (units != nullptr) {
        units->clear();
        units->reserve(text.size() + 1);
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (units != nullptr) {
            units->push_back(i);
        }
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        }
        wide += static_cast<wchar_t>(c);
    }
    if (units != nullptr) {
        units->push_back(text.size());
    }
    return wide;
}

std::u16string CRuleRegex::Narrow(std::wstring_view wide) {
    std::u16string text;
    text.reserve(wide.size());
    for (wchar_t w : wide) {
        const auto c = static_cast<char32_t>(w);
        if (c >= 0x10000 && c <= 0x10FFFF) {
            text += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            text += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            text += static_cast<char16_t>(c <= 0xFFFF ? c : 0xFFFD);
        }
    }
    return text;
}

bool CRuleRegex::MayRunAway(std::string_view pattern) {
    std::vector<bool> open; // per open group: whether it holds a repetition or alternatives
    bool inClass = false;
    bool afterGroup = false; // the last thing was a group's ")"
    bool groupGrows = false; // and that group holds a repetition or alternatives
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        const bool wasAfterGroup = afterGroup;
        afterGroup = false;
        if (c == '\\') {
            ++i;
        } else if (inClass) {
            inClass = c != ']';
        } else if (c == '*' || c == '+' || c == '{') {
            if (wasAfterGroup && groupGrows) {
                return true;
            }
            if (!open.empty()) {
                open.back() = true;
            }
        } else if (c == '[') {
            inClass = true;
        } else if (c == '(') {
            open.push_back(false);
        } else if (c == ')' && !open.empty()) {
            groupGrows = open.back();
            open.pop_back();
            if (!open.empty() && groupGrows) {
                open.back() = true;
            }
            afterGroup = true;
        } else if (c == '|' && !open.empty()) {
            open.back() = true;
        }
    }
    return false;
}

std::u16string CRuleRegex::RequiredText(std::string_view pattern) {
    const std::u16string p = DecodeUtf8(pattern);
    std::u16string best;
    std::u16string run;
    int depth = 0;
    bool lastPlain = false; // the last thing was a plain character, ending `run`
    const auto end = [&] {
        if (run.size() > best.size()) {
            best = run;
        }
        run.clear();
        lastPlain = false;
    };
    const auto plain = [&](std::u16string_view c) {
        if (depth == 0) {
            run += c;
            lastPlain = true;
        } else {
            end();
        }
    };
    for (std::size_t i = 0; i < p.size(); ++i) {
        const char16_t c = p[i];
        if (c == u'|') {
            return {}; // alternatives: no text is sure to be there
        }
        if (c == u'*' || c == u'?' || c == u'{') {
            // The character before may be missing from a match.
            if (lastPlain && !run.empty()) {
                const bool pair = run.size() >= 2 && run.back() >= 0xDC00 && run.back() <= 0xDFFF;
                run.resize(run.size() - (pair ? 2 : 1));
            }
            if (c == u'{') {
                while (i < p.size() && p[i] != u'}') {
                    ++i;
                }
            }
            end();
        } else if (c == u'+') {
            end(); // the character is there, what follows may not be right after it
        } else if (c == u'\\' && i + 1 < p.size()) {
            const char16_t e = p[++i];
            const bool letterOrDigit =
                (e >= u'0' && e <= u'9') || (e >= u'a' && e <= u'z') || (e >= u'A' && e <= u'Z');
            if (letterOrDigit) {
                end(); // a class, a boundary, a reference or a code
            } else {
                plain(std::u16string_view(&p[i], 1));
            }
        } else if (c == u'[') {
            end();
            for (++i; i < p.size() && p[i] != u']'; ++i) {
                i += p[i] == u'\\' ? 1 : 0;
            }
        } else if (c == u'(') {
            end();
            ++depth;
        } else if (c == u')') {
            end();
            depth = std::max(0, depth - 1);
        } else if (c == u'.' || c == u'^' || c == u'$') {
            end();
        } else {
            const bool pair = c >= 0xD800 && c <= 0xDBFF && i + 1 < p.size();
            plain(std::u16string_view(&p[i], pair ? 2 : 1));
            i += pair ? 1 : 0;
        }
    }
    end();
    return best;
}
