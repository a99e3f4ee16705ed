// The reader layer without a window: the wrap-around search, the chapter index and the session's
// record of a book, on real GB18030 files.
#include "reader/book_search.h"
#include "reader/chapter_index.h"
#include "reader/reader_session.h"
#include "settings/settings_store.h"
#include "tests/text/test_books.h"
#include "text/chapter_cache.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>

namespace {

using test_books::Encode;
using test_books::Wide;

// Page k (4092 bytes each, counted from 0) holds "甲" at its start and "乙k" in its middle.
std::string PagedBook(int pages) {
    std::string text;
    for (int k = 0; k < pages; ++k) {
        std::string page =
            Encode("甲\n" + std::string(1800, 'x') + "\n乙" + std::to_string(k) + "\n", "GB18030");
        page.resize(4092 - 1, 'y');
        text += page + "\n";
    }
    return text;
}

class ReaderLayerTest : public ::testing::Test {
protected:
    void SetUp() override { setenv("VESKA_DATA_DIR", dir.Path().c_str(), 1); }
    void TearDown() override { unsetenv("VESKA_DATA_DIR"); }
    // Runs the search as the find bar would from `page`, with nothing found yet.
    CBookSearch::Result Search(const std::string& phrase, bool forward, int page,
                               std::size_t screenTop = 0) {
        CBookScanner scanner;
        EXPECT_TRUE(scanner.Open(Wide(path), CCodePageLayout(ENCODING_ANSI, "GB18030")));
        CBookSearch::Request request{Wide(phrase), forward, std::nullopt, page, screenTop};
        const std::optional<CBookSearch::Result> result = CBookSearch::Run(scanner, request);
        EXPECT_TRUE(result.has_value());
        return result.value_or(CBookSearch::Result{});
    }
    test_books::TempDir dir;
    std::string path;
};

TEST_F(ReaderLayerTest, SearchGoesOnFromTheScreenAndWrapsAtEitherEnd) {
    path = dir.Write("paged.txt", PagedBook(4));
    // Forward from the top of page 1: its own occurrence first, then on, then round to page 0.
    CBookSearch::Result found = Search("乙", true, 1);
    ASSERT_TRUE(found.found);
    EXPECT_EQ(found.found->page, 1);
    EXPECT_FALSE(found.wrapped);
    // What is above the screen on the page is passed over forwards, found first backwards.
    found = Search("乙", true, 3, 3000);
    ASSERT_TRUE(found.found);
    EXPECT_EQ(found.found->page, 0);
    EXPECT_TRUE(found.wrapped);
    found = Search("乙", false, 2, 3000);
    ASSERT_TRUE(found.found);
    EXPECT_EQ(found.found->page, 2);
    EXPECT_FALSE(found.wrapped);
    found = Search("乙", false, 0);
    ASSERT_TRUE(found.found);
    EXPECT_EQ(found.found->page, 3);
    EXPECT_TRUE(found.wrapped);
    EXPECT_FALSE(Search("丙", true, 0).found);

    // Going on from the occurrence found last reaches the next one.
    CBookScanner scanner;
    ASSERT_TRUE(scanner.Open(Wide(path), CCodePageLayout(ENCODING_ANSI, "GB18030")));
    CBookSearch::Request request{Wide("乙"), true, Search("乙", true, 1).found, 1, 0};
    EXPECT_EQ(CBookSearch::Run(scanner, request)->found->page, 2);
}

TEST_F(ReaderLayerTest, TheSearchWorkerReportsItsResultOnTheWindowThread) {
    path = dir.Write("paged.txt", PagedBook(3));
    CBookSearch search;
    QSignalSpy found(&search, &CBookSearch::found);
    ASSERT_TRUE(search.Start(Wide(path), CCodePageLayout(ENCODING_ANSI, "GB18030"),
                             {Wide("乙2"), true, std::nullopt, 0, 0}));
    ASSERT_TRUE(found.wait(20000));
    auto result = found.takeFirst().at(0).value<CBookSearch::Result>();
    ASSERT_TRUE(result.found);
    EXPECT_EQ(result.found->page, 2);
    // The find bar's search is across scripts: 山雨欲来 finds the 山雨欲來 on page 2.
    path = dir.Write("scripts.txt", PagedBook(2) + Encode("山雨欲來\n", "GB18030"));
    ASSERT_TRUE(search.Start(Wide(path), CCodePageLayout(ENCODING_ANSI, "GB18030"),
                             {Wide("山雨欲来"), true, std::nullopt, 0, 0}));
    ASSERT_TRUE(found.wait(20000));
    result = found.takeFirst().at(0).value<CBookSearch::Result>();
    ASSERT_TRUE(result.found);
    EXPECT_EQ(result.found->page, 2);
    EXPECT_EQ(result.found->length, 8u);
    EXPECT_FALSE(search.Start(Wide(dir.File("missing.txt")),
                              CCodePageLayout(ENCODING_ANSI, "GB18030"),
                              {Wide("乙"), true, std::nullopt, 0, 0}));
}

TEST_F(ReaderLayerTest, ChaptersComeFromTheScanThenFromTheCache) {
    path = dir.Write("chapters.txt", Encode("第一章 开端\n正文\n第二章 远行\n正文\n", "GB18030"));
    const CCodePageLayout layout(ENCODING_ANSI, "GB18030");
    for (const bool cached : {false, true}) {
        CChapterIndex index;
        QSignalSpy progress(&index, &CChapterIndex::progress);
        index.Start(Wide(path), layout, dir.Path());
        if (!cached) {
            EXPECT_FALSE(index.IsComplete());
            while (!index.IsComplete()) {
                ASSERT_TRUE(progress.wait(20000));
            }
        }
        EXPECT_TRUE(index.IsComplete()) << cached;
        ASSERT_EQ(index.Chapters().size(), 2u);
        EXPECT_EQ(index.Chapters()[1].text, u"第二章 远行");
        // A heading on the page counts once the reader has reached it.
        EXPECT_EQ(index.ChapterAt(0, [](std::uint64_t) { return true; }), 1);
        EXPECT_EQ(index.ChapterAt(0, [](std::uint64_t offset) { return offset == 0; }), 0);
        EXPECT_EQ(index.ChapterAt(0, [](std::uint64_t) { return false; }), -1);
    }
}

// The data directory's chapter rules count, and what is wrong with them reaches the status bar
// once, however many books open.
TEST_F(ReaderLayerTest, TheDataDirectorysRulesCountAndTheirProblemsAreToldOnce) {
    path = dir.Write("stars.txt",
                     Encode("☆、开端\n" + test_books::kChineseProse +
                                "他画了☆、又画了一个圈。\n☆、远行\n" + test_books::kChineseProse,
                            "GB18030"));
    dir.Write("chapter_rules.json", R"([{"name": "星号", "rule": "^☆、"},
                                        {"name": "坏", "rule": "^(第"}])");
    const CCodePageLayout layout(ENCODING_ANSI, "GB18030");
    CSettingsStore settings(dir.Path());
    CReaderSession session(settings);
    QSignalSpy notices(&session, &CReaderSession::notice);
    for (int open = 0; open < 2; ++open) {
        CChapterIndex& index = session.Chapters();
        index.Start(Wide(path), layout, dir.Path());
        QElapsedTimer waited;
        waited.start();
        while (!index.IsComplete()) {
            ASSERT_LT(waited.elapsed(), 20000);
            QCoreApplication::processEvents();
        }
        ASSERT_EQ(index.Chapters().size(), 2u);
        EXPECT_EQ(index.Chapters()[1].text, u"☆、远行");
    }
    ASSERT_EQ(notices.size(), 1);
    EXPECT_NE(notices[0][1].toString().indexOf(QStringLiteral(u"\"坏\"")), -1);
}

// The clean-up rules of the data directory count for the find bar's search and for the titles
// listed; a list kept for other clean-up rules is not taken for theirs.
TEST_F(ReaderLayerTest, CleanUpRulesHideAdLinesFromTheSearchAndTheTitles) {
    path = dir.Write("小城.txt",
                     Encode("第一章 开端（广告）\n本书由书友整理\n" + test_books::kChineseProse +
                                "第二章 远行\n他对书友说了再见。\n",
                            "GB18030"));
    const CCodePageLayout layout(ENCODING_ANSI, "GB18030");
    const auto titles = [&] {
        CChapterIndex index;
        QSignalSpy progress(&index, &CChapterIndex::progress);
        index.Start(Wide(path), layout, dir.Path());
        while (!index.IsComplete()) {
            EXPECT_TRUE(progress.wait(20000));
        }
        std::vector<std::u16string> list;
        for (std::size_t i = 0; i < index.Chapters().size(); ++i) {
            list.push_back(index.Chapters()[i].text);
        }
        return list;
    };
    EXPECT_EQ(titles(), (std::vector<std::u16string>{u"第一章 开端（广告）", u"第二章 远行"}));
    dir.Write("replace_rules.json", R"([{"name": "广告", "pattern": "^本书由.*"},
                                        {"name": "标记", "pattern": "（广告）", "isRegex": false}])");
    EXPECT_EQ(titles(), (std::vector<std::u16string>{u"第一章 开端", u"第二章 远行"}));

    CBookSearch search;
    QSignalSpy found(&search, &CBookSearch::found);
    ASSERT_TRUE(search.Start(Wide(path), layout, {Wide("书友"), true, std::nullopt, 0, 0}));
    ASSERT_TRUE(found.wait(20000));
    const auto result = found.takeFirst().at(0).value<CBookSearch::Result>();
    ASSERT_TRUE(result.found);
    EXPECT_EQ(result.found->offset, Encode("第一章 开端（广告）\n本书由书友整理\n" +
                                               test_books::kChineseProse + "第二章 远行\n他对",
                                           "GB18030")
                                        .size());
}

// Another book opened while the list just scanned is being saved waits for the save, which reads
// the index's own list: the list is kept whole, and the save leaves nothing else behind.
TEST_F(ReaderLayerTest, AnotherBookWaitsForTheSaveOfTheListJustScanned) {
    std::string text;
    for (int i = 1; i <= 20000; ++i) {
        text += "第" + std::to_string(i) + "章 远行\n正文\n";
    }
    path = dir.Write("long.txt", Encode(text, "GB18030"));
    const std::string other = dir.Write("other.txt", Encode("第一章 开端\n", "GB18030"));
    const CCodePageLayout layout(ENCODING_ANSI, "GB18030");
    const std::filesystem::path folder = dir.Path() + "/chapters";
    CChapterIndex index;
    index.Start(Wide(path), layout, dir.Path());
    QElapsedTimer waited;
    waited.start();
    // The save has begun once its file shows.
    while (!std::filesystem::exists(folder) || std::filesystem::is_empty(folder)) {
        ASSERT_LT(waited.elapsed(), 60000);
        QCoreApplication::processEvents();
    }
    index.Start(Wide(other), layout, dir.Path());
    EXPECT_TRUE(index.Chapters().empty());
    const std::optional<CChapterList> kept = CChapterCache(dir.Path()).Load(Wide(path), layout);
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->size(), 20000u);
    EXPECT_EQ(kept->back().text, u"第20000章 远行");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1);
}

TEST_F(ReaderLayerTest, TheSessionRecordsTheBookInTheLegacyCodePageAndRollsBackABadOpen) {
    const std::string name = "第一卷.txt";
    path = dir.Write(name, PagedBook(3));
    CSettingsStore settings(dir.Path());
    CReaderSession session(settings);
    session.LoadRecords();
    ASSERT_EQ(session.Open(Wide(path)), 0);
    ASSERT_TRUE(session.StepPage(+1));
    ReadMarkInfo mark = session.CurrentMark();
    EXPECT_EQ(mark.strBookName, Encode(name, "GB18030"));
    EXPECT_EQ(mark.strFilePath, Encode(path, "GB18030"));
    EXPECT_EQ(mark.nReadPage, 1);
    EXPECT_EQ(mark.nMarkType, MARK_LOCAL);
    EXPECT_EQ(mark.nTotalPages, 3);

    // A path that does not open leaves the book being read as it was.
    EXPECT_NE(session.Open(Wide(dir.File("missing.txt"))), 0);
    EXPECT_EQ(session.Book().m_strPath, Wide(path));
    EXPECT_EQ(session.Book().m_nCurPage, 1);

    // The record is written after the paint, once, and the book reopens at its page and screen.
    session.PageShown();
    session.ScreenScrolled(120);
    QCoreApplication::processEvents();
    session.SavePlace();
    CReaderSession again(settings);
    again.LoadRecords();
    ASSERT_EQ(again.Open(Wide(path)), 0);
    EXPECT_EQ(again.Book().m_nCurPage, 1);
    EXPECT_EQ(again.OpenedTopCharacter(), 120);
    EXPECT_FALSE(again.StepPage(+1) && again.StepPage(+1)); // three pages: the last stays
}

// A data file that is not read is named once, with what it costs, when the records load.
TEST_F(ReaderLayerTest, RefusedPreferencesAndPlacesAreReported) {
    for (const char* name : {"reading.cfg", "read_place.dat"}) {
        ASSERT_EQ(mkfifo(dir.File(name).c_str(), 0600), 0);
    }
    CSettingsStore settings(dir.Path());
    CReaderSession session(settings);
    QSignalSpy notices(&session, &CReaderSession::notice);
    session.LoadRecords();
    ASSERT_EQ(notices.size(), 2);
    EXPECT_EQ(notices[0][0].toString(),
              QStringLiteral(u"“reading.cfg”不是普通文件，不保存阅读设置"));
    EXPECT_EQ(notices[1][0].toString(),
              QStringLiteral(u"“read_place.dat”不是普通文件，不保存阅读位置"));
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
