#pragma once

#include "text/replace_rules.h"
#include "text/script_converter.h"
#include "text/typesetter.h"

#include <functional>
#include <future>
#include <map>
#include <memory>
#include <string>

// The pages of the open book as the pane shows them: cleaned up by the book's clean-up rules,
// typeset, in the script chosen, each with its map back to the page. The pages near the screen are
// kept; while a script is converted (a few milliseconds a page), the pages after and before the one
// asked for are made ahead on other threads, so that reading on finds them ready.
class CShownPages {
public:
    // A page's text as the pane counts it (CResourceData::PaneTextOfPage); "" outside the book.
    using TextOfPage = std::function<std::u16string(int page)>;
    explicit CShownPages(TextOfPage text) : m_text(std::move(text)) {}
    ~CShownPages();
    CShownPages(const CShownPages&) = delete;
    CShownPages& operator=(const CShownPages&) = delete;

    // Forgets every page: the book, its encoding, the rules, the typesetting or the script
    // changed. No rules: the lines as they are; no converter: the book's own characters.
    void Reset(const TypesetOptions& options, std::shared_ptr<const CReplaceRules> cleanUp,
               std::shared_ptr<const CScriptConverter> converter);
    // Page `page` as shown. `error` is why its conversion failed (it shows as written), else "".
    const ShownPage& Page(int page, std::string& error);

private:
    struct Made {
        ShownPage page;
        std::string error;
    };
    static Made Make(const TypesetOptions& options, const CReplaceRules* cleanUp,
                     const CScriptConverter* converter, const std::u16string& before,
                     const std::u16string& page, const std::u16string& after);
    // Starts making the page on another thread, unless it is kept, under way or not in the book.
    void MakeAhead(int page);

    TextOfPage m_text;
    TypesetOptions m_options;
    std::shared_ptr<const CReplaceRules> m_cleanUp;
    std::shared_ptr<const CScriptConverter> m_converter;
    std::map<int, Made> m_kept;
    std::map<int, std::future<Made>> m_ahead;
};
