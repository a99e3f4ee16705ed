#include "reader/shown_pages.h"

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

} // namespace

CShownPages::~CShownPages() = default; // waits for the pages under way

void CShownPages::Reset(const TypesetOptions& options,
                        std::shared_ptr<const CScriptConverter> converter) {
    m_ahead.clear(); // each waits for its thread
    m_kept.clear();
    m_options = options;
    m_converter = std::move(converter);
}

CShownPages::Made CShownPages::Make(const TypesetOptions& options,
                                    const CScriptConverter* converter, const std::u16string& before,
                                    const std::u16string& page, const std::u16string& after) {
    Made made{CTypesetter(options).SetPage(before, page, after), {}};
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
        page, std::async(std::launch::async,
                         [options = m_options, converter = m_converter, before = m_text(page - 1),
                          text = std::move(text), after = m_text(page + 1)] {
                             return Make(options, converter.get(), before, text, after);
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
        made = Make(m_options, m_converter.get(), m_text(page - 1), m_text(page), m_text(page + 1));
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
    if (m_converter) {
        // Reading goes on forward mostly, and now and then back.
        MakeAhead(page + 1);
        MakeAhead(page + 2);
        MakeAhead(page - 1);
    }
    return shown;
}
