// The shown pages of a book: cleaned up, typeset and converted, the same whether a page was made
// when asked for or ahead on another thread, and a reset while pages are under way.

#include "text/replace_rule.h"
#include "text/shown_pages.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

std::vector<std::u16string> Pages() {
    std::vector<std::u16string> pages;
    for (int k = 0; k < 8; ++k) {
        std::u16string page;
        for (int line = 0; line < 12; ++line) {
            page += u"头发长了，他在后台点了鼠标。本书由书友网整理\n";
            page += u"山雨欲来风满楼，" + std::u16string(std::size_t(k + line % 3), u'里') + u"\n";
        }
        pages.push_back(page);
    }
    return pages;
}

TEST(ShownPages, MadeAheadOrWhenAskedThePagesAreTheSame) {
    const std::vector<std::u16string> pages = Pages();
    const auto text = [&pages](int page) {
        return page >= 0 && std::size_t(page) < pages.size() ? pages[std::size_t(page)]
                                                             : std::u16string();
    };
    auto converter = std::make_shared<const CScriptConverter>(CScriptConverter::Script::kTaiwan);
    ASSERT_EQ(converter->OpenError(), "");
    auto rules = std::make_shared<CReplaceRules>();
    CReplaceRule::Fields ad;
    ad.name = "去广告";
    ad.pattern = "本书由\\S*整理";
    rules->Add(CReplaceRule(ad));
    const std::shared_ptr<const CReplaceRules> cleanUp = rules;

    // Forward (each page made ahead by the one before), then backward, then a fresh set asked in
    // another order: the same pages.
    CShownPages forward(text);
    forward.Reset(TypesetOptions{}, cleanUp, converter);
    std::vector<ShownPage> made;
    std::string error;
    for (int page = 0; page < int(pages.size()); ++page) {
        made.push_back(forward.Page(page, error));
        EXPECT_EQ(error, "");
    }
    CShownPages backward(text);
    backward.Reset(TypesetOptions{}, cleanUp, converter);
    for (int page = int(pages.size()) - 1; page >= 0; --page) {
        const ShownPage& shown = backward.Page(page, error);
        EXPECT_EQ(shown.text, made[std::size_t(page)].text) << page;
        EXPECT_EQ(shown.source, made[std::size_t(page)].source) << page;
    }
    // Converted, cleaned, and mapped back into the page.
    const ShownPage& first = made.front();
    EXPECT_NE(first.text.find(u"頭髮"), std::u16string::npos);
    EXPECT_NE(first.text.find(u"滑鼠"), std::u16string::npos);
    EXPECT_EQ(first.text.find(u"本書由"), std::u16string::npos);
    for (std::size_t i = 0; i < first.source.size(); ++i) {
        EXPECT_LT(first.source[i], int(pages[0].size()));
        if (i > 0) {
            EXPECT_GE(first.source[i], first.source[i - 1]);
        }
    }
    // A reset while pages are being made waits for them and starts anew.
    forward.Page(3, error);
    forward.Reset(TypesetOptions{}, nullptr, nullptr);
    EXPECT_EQ(forward.Page(3, error).text.find(u"头发"), 2u);
}

} // namespace
