// A book's title, author and encoding from the opening of real files in each encoding a shelf
// meets, and what is no book.
#include "shelf/book_probe.h"

#include "tests/text/test_books.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

using test_books::Encode;
using test_books::kChineseProse;

struct Opening {
    const char* name;
    std::string bytes;
    const char16_t* title;
    const char16_t* author;
    const char* encoding;
};

TEST(BookProbe, TitleAuthorAndEncodingComeFromTheOpeningInEveryEncoding) {
    test_books::TempDir dir;
    const std::string gbBody = "《青萍剑录》\n　　作者：林语\n\n" + kChineseProse;
    const std::string labels = "书名：雪中行　作者：周南　状态：完结\n" + kChineseProse;
    const Opening openings[] = {
        {"a.txt", Encode(gbBody, "GB18030"), u"青萍剑录", u"林语", "GB18030"},
        {"b.txt", "\xEF\xBB\xBF" + labels, u"雪中行", u"周南", "UTF-8"},
        {"c.txt", Encode("\n《鎮上新路》 作者:李四\n" + test_books::kTraditionalProse, "BIG5"),
         u"鎮上新路", u"李四", "BIG5"},
        {"d.txt", Encode("\xEF\xBB\xBF《长河》\r\n" + kChineseProse, "UTF-16LE"), u"长河", u"",
         "UTF-16LE"},
        // A 《》 deep in the text names some other book; the labels stand alone.
        {"普通的名字.TXT",
         Encode("第一章\n\n\n" + kChineseProse + "他读过《红楼梦》。\n作者说\n", "GB18030"),
         u"普通的名字", u"", "GB18030"},
        // The file name says what the text does not.
        {"《斗破》作者：土豆.txt", kChineseProse, u"斗破", u"土豆", "UTF-8"},
    };
    for (const Opening& opening : openings) {
        SCOPED_TRACE(opening.name);
        const std::string path = dir.Write(opening.name, opening.bytes);
        BookFacts facts;
        ASSERT_EQ(CBookProbe::Probe(path, facts), CBookProbe::Outcome::Book);
        EXPECT_EQ(facts.title, QString::fromUtf16(opening.title));
        EXPECT_EQ(facts.author, QString::fromUtf16(opening.author));
        EXPECT_EQ(facts.encoding.toStdString(), opening.encoding);
        EXPECT_EQ(facts.size, opening.bytes.size());
    }
}

TEST(BookProbe, OnlyTheOpeningIsReadAndWhatIsNoBookIsTold) {
    test_books::TempDir dir;
    // A title far past the opening is not seen: the name stands.
    BookFacts facts;
    const std::string late = dir.Write("late.txt", std::string(CBookProbe::kSampleBytes, '\n') +
                                                       "书名：太迟\n" + kChineseProse);
    ASSERT_EQ(CBookProbe::Probe(late, facts), CBookProbe::Outcome::Book);
    EXPECT_EQ(facts.title, QStringLiteral("late"));

    const std::string empty = dir.Write("空.txt", "");
    ASSERT_EQ(CBookProbe::Probe(empty, facts), CBookProbe::Outcome::Book);
    EXPECT_EQ(facts.title, QStringLiteral(u"空"));

    const std::string picture =
        dir.Write("cover.txt", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16));
    EXPECT_EQ(CBookProbe::Probe(picture, facts), CBookProbe::Outcome::NotABook);
    EXPECT_EQ(CBookProbe::Probe(dir.Path(), facts), CBookProbe::Outcome::NotABook);
    // A named pipe must not hang the probe.
    ASSERT_EQ(mkfifo(dir.File("pipe.txt").c_str(), 0600), 0);
    EXPECT_EQ(CBookProbe::Probe(dir.File("pipe.txt"), facts), CBookProbe::Outcome::NotABook);
    EXPECT_EQ(CBookProbe::Probe(dir.File("missing.txt"), facts), CBookProbe::Outcome::Unreadable);

    EXPECT_TRUE(CBookProbe::HasBookSuffix("A.TxT"));
    EXPECT_FALSE(CBookProbe::HasBookSuffix("a.txt.bak"));
    EXPECT_FALSE(CBookProbe::HasBookSuffix("txt"));
}

} // namespace
