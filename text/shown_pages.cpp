#include "text/shown_pages.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace {

// The pane holds a few pages around the screen: those stay, pages far from the one asked for go
// and are made again if they are wanted.
constexpr std::size_t kKeptPages = 48;
constexpr int kNear = 12;

// The shown page in the converter's script, its map composed; unconverted when conversion fails.
std::string ConvertShown(const CScriptConverter& converter, ShownPage& shown) {
    std::string error;
    CScriptConverter::Mapped mapped = converter.ConvertMapped(shown.text, &error);
    if (!error.empty()) {
        return error;
    }
    // Each converted character comes from a typeset one, which comes from the page.
    std::vector<int> source(mapped.text.size());
    const int end = shown.source.empty() ? 0 : shown.source.back() + 1;
    for (std::size_t i = 0; i < source.size(); ++i) {
        const std::size_t from = mapped.source[i];
        source[i] = from < shown.source.size() ? shown.source[from] : end;
    }
    shown.text = std::move(mapped.text);
    shown.source = std::move(source);
    return {};
}

// A text with the clean-up rules applied line by line: a line they leave blank goes with its
// break. `from` maps each character back to the text.
struct Cleaned {
    std::u16string text;
    std::vector<int> from;
};

Cleaned CleanUp(const CReplaceRules& rules, const std::u16string& text) {
    Cleaned out;
    out.text.reserve(text.size());
    out.from.reserve(text.size());
    for (std::size_t start = 0; start <= text.size();) {
        const std::size_t end = std::min(text.find(u'\n', start), text.size());
        const CReplaceRules::Shown line =
            rules.Apply(std::u16string_view(text).substr(start, end - start));
        if (!line.removed) {
            out.text += line.text;
            for (const std::size_t from : line.from) {
                out.from.push_back(int(start + from));
            }
            if (end < text.size()) {
                out.text += u'\n';
                out.from.push_back(int(end));
            }
        }
        start = end + 1;
    }
    return out;
}

} // namespace

CShownPages::~CShownPages() = default; // waits for the pages under way

void CShownPages::Reset(const TypesetOptions& options, std::shared_ptr<const CReplaceRules> cleanUp,
                        std::shared_ptr<const CScriptConverter> converter) {
    m_ahead.clear(); // each waits for its thread
    m_kept.clear();
    m_options = options;
    m_cleanUp = std::move(cleanUp);
    m_converter = std::move(converter);
}

CShownPages::Made CShownPages::Make(const TypesetOptions& options, const CReplaceRules* cleanUp,
                                    const CScriptConverter* converter, const std::u16string& before,
                                    const std::u16string& page, const std::u16string& after) {
    Made made;
    if (cleanUp == nullptr) {
        made.page = CTypesetter(options).SetPage(before, page, after);
    } else {
        // The rules work on the pages' lines; what they leave is typeset, and mapped back.
        const Cleaned cleaned = CleanUp(*cleanUp, page);
        made.page = CTypesetter(options).SetPage(CleanUp(*cleanUp, before).text, cleaned.text,
                                                 CleanUp(*cleanUp, after).text);
        for (int& source : made.page.source) {
            source = std::size_t(source) < cleaned.from.size() ? cleaned.from[std::size_t(source)]
                                                               : int(page.size());
        }
    }
    if (converter != nullptr) {
        made.error = ConvertShown(*converter, made.page);
    }
    return made;
}

void CShownPages::MakeAhead(int page) {
    if (page < 0 || m_kept.count(page) != 0 || m_ahead.count(page) != 0) {
        return;
    }
    std::u16string text = m_text(page);
    if (text.empty()) {
        return;
    }
    // The texts are read here; the thread only sets and converts them.
    m_ahead.emplace(
        page, std::async(std::launch::async, [options = m_options, cleanUp = m_cleanUp,
                                              converter = m_converter, before = m_text(page - 1),
                                              text = std::move(text), after = m_text(page + 1)] {
            return Make(options, cleanUp.get(), converter.get(), before, text, after);
        }));
}

const ShownPage& CShownPages::Page(int page, std::string& error) {
    error.clear();
    const auto found = m_kept.find(page);
    if (found != m_kept.end()) {
        return found->second.page;
    }
    Made made;
    const auto ahead = m_ahead.find(page);
    if (ahead != m_ahead.end()) {
        made = ahead->second.get();
        m_ahead.erase(ahead);
    } else {
        made = Make(m_options, m_cleanUp.get(), m_converter.get(), m_text(page - 1), m_text(page),
                    m_text(page + 1));
    }
    error = made.error;
    if (m_kept.size() >= kKeptPages) {
        std::erase_if(m_kept, [page](const auto& entry) {
            return entry.first < page - kNear || entry.first > page + kNear;
        });
        std::erase_if(m_ahead, [page](const auto& entry) {
            return entry.first < page - kNear || entry.first > page + kNear;
        });
    }
    const ShownPage& shown = m_kept.emplace(page, std::move(made)).first->second.page;
    if (m_converter || m_cleanUp) {
        // Reading goes on forward mostly, and now and then back.
        MakeAhead(page + 1);
        MakeAhead(page + 2);
        MakeAhead(page - 1);
    }
    return shown;
}
