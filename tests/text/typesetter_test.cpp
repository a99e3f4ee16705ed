// Typesetting of page texts: indents, blank lines, the re-flow of hard-wrapped lines, the map from
// shown characters back to page positions, and pages set one by one joining into the book.

#include "text/typesetter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Options = TypesetOptions;

std::u16string Set(const std::u16string& text, const Options& options = {}) {
    return CTypesetter(options).SetPage(u"", text, u"").text;
}

// A hard-wrapped book: paragraphs indented with two ideographic spaces, cut every 35
// characters, as text copied from a forum reads.
std::u16string HardWrapped(int paragraphs, int width = 35) {
    const std::u16string sentence = u"风从窗外吹进来，带着一股淡淡的桂花香。他抬起头看着远处的山。";
    std::u16string out;
    for (int p = 0; p < paragraphs; ++p) {
        std::u16string paragraph = u"\u3000\u3000";
        for (int i = 0; i < 2 + p % 5; ++i) {
            paragraph += sentence;
        }
        while (paragraph.size() > std::size_t(width)) {
            out += paragraph.substr(0, std::size_t(width)) + u"\n";
            paragraph.erase(0, std::size_t(width));
        }
        out += paragraph + u"\n";
    }
    return out;
}

TEST(TypesetterTest, IndentsBecomeTwoIdeographicSpacesOrStayAsInTheFile) {
    const std::u16string text =
        u"第一章 开始\n    四个空格\n\u3000\u3000两个全角\n\t制表\n没有缩进 ";
    EXPECT_EQ(Set(text), u"\u3000\u3000第一章 开始\n\u3000\u3000四个空格\n\u3000\u3000两个全角\n"
                         u"\u3000\u3000制表\n\u3000\u3000没有缩进");
    Options asIs;
    asIs.indent = Options::Indent::AsInFile;
    EXPECT_EQ(Set(text, asIs),
              u"第一章 开始\n    四个空格\n\u3000\u3000两个全角\n\t制表\n没有缩进");
}

TEST(TypesetterTest, BlankLinesAreKeptCollapsedOrRemoved) {
    const std::u16string text = u"\n\n甲\n\n \n\u3000\n乙\n丙\n\n";
    Options keep;
    keep.indent = Options::Indent::AsInFile;
    keep.blankLines = Options::BlankLines::Keep;
    EXPECT_EQ(Set(text, keep), u"\n\n甲\n\n\n\n乙\n丙\n\n");
    Options collapse = keep;
    collapse.blankLines = Options::BlankLines::CollapseToOne;
    EXPECT_EQ(Set(text, collapse), u"\n甲\n\n乙\n丙\n");
    // Removed ones leave no empty paragraph, the book's opening included.
    Options remove = keep;
    remove.blankLines = Options::BlankLines::Remove;
    EXPECT_EQ(Set(text, remove), u"甲\n乙\n丙");
}

TEST(TypesetterTest, HardWrappedLinesRunOnIntoParagraphs) {
    const std::u16string text = HardWrapped(6);
    const int width = CTypesetter::DetectWrapColumns(text);
    EXPECT_EQ(width, 70);
    Options reflow;
    reflow.reflowColumns = width;
    const std::u16string shown = Set(text, reflow);
    // One shown paragraph a paragraph, each indented once, no break inside.
    std::vector<std::u16string> paragraphs;
    for (std::size_t start = 0; start <= shown.size();) {
        const std::size_t end = std::min(shown.find(u'\n', start), shown.size());
        paragraphs.push_back(shown.substr(start, end - start));
        start = end + 1;
    }
    paragraphs.pop_back(); // after the last line break
    ASSERT_EQ(paragraphs.size(), 6u);
    for (const std::u16string& paragraph : paragraphs) {
        EXPECT_EQ(paragraph.rfind(u"\u3000\u3000", 0), 0u);
        EXPECT_EQ(paragraph.find(u'\u3000', 2), std::u16string::npos);
        EXPECT_GT(paragraph.size(), 60u);
    }
    // Latin words keep a space where the line broke; a short line ends its paragraph.
    const std::u16string latin =
        u"The rain went on all night and the road to the station was empty and\n"
        u"cold, so nobody came to the inn before the morning bell rang at last.\n"
        u"Short line.\n"
        u"Next paragraph starts here.";
    Options latinFlow;
    latinFlow.indent = Options::Indent::AsInFile;
    latinFlow.reflowColumns = 70;
    EXPECT_EQ(Set(latin, latinFlow),
              u"The rain went on all night and the road to the station was empty and "
              u"cold, so nobody came to the inn before the morning bell rang at last. "
              u"Short line.\nNext paragraph starts here.");
}

TEST(TypesetterTest, OnlyBooksMostlyOfOneLineWidthAreHardWrapped) {
    EXPECT_EQ(CTypesetter::DetectWrapColumns(HardWrapped(20, 30)), 60);
    // A web novel: one paragraph a line, of any length.
    std::u16string web;
    for (int i = 0; i < 40; ++i) {
        web += u"\u3000\u3000" + std::u16string(std::size_t(5 + (i * 37) % 90), u'字') + u"\n";
    }
    EXPECT_EQ(CTypesetter::DetectWrapColumns(web), 0);
    EXPECT_EQ(CTypesetter::DetectWrapColumns(HardWrapped(2)), 0); // too few lines to tell
    EXPECT_GT(CTypesetter::DetectWrapColumns(web, true), 0);      // asked for all the same
}

// Every shown character maps back to its page position; an indent put before an unindented line
// yields to the line's first character, so a found phrase or a heading is what a position names.
TEST(TypesetterTest, ShownCharactersMapBackToThePage) {
    const std::u16string page = u"第一章\n  甲乙丙\n\n\n丁";
    const ShownPage shown = CTypesetter(Options{}).SetPage(u"", page, u"");
    ASSERT_EQ(shown.text, u"\u3000\u3000第一章\n\u3000\u3000甲乙丙\n\n\u3000\u3000丁");
    ASSERT_EQ(shown.source.size(), shown.text.size());
    for (std::size_t i = 0; i < shown.text.size(); ++i) {
        if (shown.text[i] != u'\u3000') {
            EXPECT_EQ(shown.text[i], page[std::size_t(shown.source[i])]) << i;
        }
        if (i > 0) {
            EXPECT_GE(shown.source[i], shown.source[i - 1]);
        }
    }
    EXPECT_EQ(shown.ShownOf(0), 2);                     // 第, not its indent
    EXPECT_EQ(shown.ShownOf(int(page.find(u'甲'))), 8); // past the dropped spaces
    EXPECT_EQ(shown.ShownOf(int(page.find(u'丁'))), 15);
    EXPECT_EQ(shown.ShownOf(int(page.size())), int(shown.text.size()));
}

// The property the pane stands on: pages set one by one, each with its neighbours, join into
// exactly the text set as a whole, whatever the options and wherever the edges fall (inside a
// line, at a break, inside an indent or a run of blank lines). Pages are longer than a wrapped
// line, as the book's 4092-byte pages are.
TEST(TypesetterTest, PagesSetOneByOneJoinIntoTheWholeText) {
    const std::u16string book =
        u"序\n\n\n" + HardWrapped(12) + u"\n\n\n  尾声 \nThe end of\nthe tale\n";
    std::vector<Options> all;
    for (auto indent : {Options::Indent::AsInFile, Options::Indent::TwoSpaces}) {
        for (auto blanks : {Options::BlankLines::Keep, Options::BlankLines::CollapseToOne,
                            Options::BlankLines::Remove}) {
            for (int columns : {0, 70}) {
                all.push_back({indent, blanks, columns});
            }
        }
    }
    for (const Options& options : all) {
        const CTypesetter setter(options);
        const ShownPage whole = setter.SetPage(u"", book, u"");
        for (std::size_t pageSize : {71u, 97u, 200u}) {
            std::vector<std::u16string> pages;
            for (std::size_t at = 0; at < book.size(); at += pageSize) {
                pages.push_back(book.substr(at, pageSize));
            }
            std::u16string joined;
            std::vector<int> sources;
            for (std::size_t k = 0; k < pages.size(); ++k) {
                const ShownPage part = setter.SetPage(k > 0 ? pages[k - 1] : u"", pages[k],
                                                      k + 1 < pages.size() ? pages[k + 1] : u"");
                joined += part.text;
                for (int source : part.source) {
                    sources.push_back(source + int(k * pageSize));
                }
            }
            EXPECT_EQ(joined, whole.text) << int(options.indent) << int(options.blankLines)
                                          << options.reflowColumns << " pages of " << pageSize;
            EXPECT_EQ(sources, whole.source);
        }
    }
}

} // namespace
