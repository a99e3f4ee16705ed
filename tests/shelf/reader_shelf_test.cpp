// The reader's own record on the shelf: a book read is there with its progress and today's date
// while the reader still runs (as after a kill), and a damaged shelf is named once and rebuilt
// from the reading history; reading time counts only while the window is in use, and the time
// left in a book follows the reader's speed.
#include "app/shelf_recorder.h"
#include "reader/reader_session.h"
#include "settings/settings_store.h"
#include "shelf/book_shelf.h"

#include "tests/text/test_books.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

using test_books::Encode;
using test_books::Wide;

class ReaderShelfTest : public ::testing::Test {
protected:
    void SetUp() override { setenv("VESKA_DATA_DIR", dir.Path().c_str(), 1); }
    void TearDown() override { unsetenv("VESKA_DATA_DIR"); }
    test_books::TempDir dir;
};

TEST_F(ReaderShelfTest, PagesReadAreOnTheShelfAtOnceAndADamagedShelfIsRebuilt) {
    const std::string text =
        Encode("《青萍剑录》\n作者：林语\n\n" + test_books::RepeatedProse(20 * 4092), "GB18030");
    const std::string path = dir.Write("qp.txt", text);
    CSettingsStore settings(dir.Path());
    int pages = 0;
    {
        CReaderSession session(settings);
        CShelfRecorder recorder(session);
        session.LoadRecords();
        ASSERT_NE(recorder.Shelf(), nullptr);
        ASSERT_EQ(session.Open(Wide(path)), 0);
        pages = session.Book().GetPageCount();
        for (int turn = 0; turn < 3; ++turn) {
            if (turn == 2) {
                QTest::qWait(1100); // a second's reading of the page shown
            }
            ASSERT_TRUE(session.StepPage(+1));
            session.PageShown();
            QCoreApplication::processEvents();
        }
        // Another process reads the shelf while the reader runs on: nothing waits for its end.
        CBookShelf other(dir.Path());
        ASSERT_TRUE(other.Open());
        const std::vector<ShelfBook> books = other.Books();
        ASSERT_EQ(books.size(), 1u);
        EXPECT_EQ(books[0].path, path);
        EXPECT_EQ(books[0].title, QStringLiteral(u"青萍剑录"));
        EXPECT_EQ(books[0].author, QStringLiteral(u"林语"));
        EXPECT_EQ(books[0].encoding, QStringLiteral("GB18030"));
        EXPECT_EQ(books[0].size, text.size());
        EXPECT_NEAR(books[0].progress, 3.0 * 4092 * 100 / double(text.size()), 0.05);
        EXPECT_EQ(QDateTime::fromSecsSinceEpoch(books[0].lastRead).date(), QDate::currentDate());
        EXPECT_FALSE(books[0].finished);
        EXPECT_GE(books[0].readingSeconds, 1);
        EXPECT_LT(books[0].readingSeconds, 10);
    }

    dir.Write(CBookShelf::kFileName, test_books::RepeatedProse(4096));
    CReaderSession again(settings);
    CShelfRecorder againRecorder(again);
    QSignalSpy notices(&again, &CReaderSession::notice);
    QSignalSpy shelfNotices(&againRecorder, &CShelfRecorder::notice);
    again.LoadRecords();
    EXPECT_EQ(notices.size(), 0);
    ASSERT_EQ(shelfNotices.size(), 1);
    EXPECT_TRUE(shelfNotices[0][0].toString().startsWith(QStringLiteral(u"书架已损坏")))
        << shelfNotices[0][0].toString().toStdString();
    ASSERT_NE(againRecorder.Shelf(), nullptr);
    const std::vector<ShelfBook> rebuilt = againRecorder.Shelf()->Books();
    ASSERT_EQ(rebuilt.size(), 1u);
    EXPECT_EQ(rebuilt[0].title, QStringLiteral(u"青萍剑录"));
    EXPECT_NEAR(rebuilt[0].progress, 300.0 / pages, 0.01);
    EXPECT_EQ(rebuilt[0].lastRead, 0); // the history does not say when
}

TEST_F(ReaderShelfTest, TimeAwayFromTheWindowIsNotReadingAndTheTimeLeftFollowsTheSpeed) {
    {
        // Read before: 50 000 bytes in 100 s, 500 bytes a second; a glance of 10 s says nothing.
        CBookShelf before(dir.Path());
        ASSERT_TRUE(before.Open());
        before.Add("/书/旧.txt", {QStringLiteral(u"旧"), QString(), "UTF-8", 100000}, 1);
        before.RecordReading("/书/旧.txt", {50.0, QString(), -1, false, 100}, 2);
        before.Add("/书/瞥.txt", {QStringLiteral(u"瞥"), QString(), "UTF-8", 100000}, 1);
        before.RecordReading("/书/瞥.txt", {90.0, QString(), -1, false, 10}, 2);
    }
    const std::string text = test_books::RepeatedProse(10 * 4092);
    const std::string path = dir.Write("book.txt", text);
    CSettingsStore settings(dir.Path());
    CReaderSession session(settings);
    CShelfRecorder recorder(session);
    EXPECT_EQ(recorder.SecondsLeft(), -1); // no book
    session.LoadRecords();
    ASSERT_EQ(session.Open(Wide(path)), 0);
    EXPECT_NEAR(double(recorder.SecondsLeft()), double(text.size()) / 500, 1);
    const auto turn = [&] {
        ASSERT_TRUE(session.StepPage(+1));
        session.PageShown();
        QCoreApplication::processEvents();
    };
    const auto readingSeconds = [&] {
        for (const ShelfBook& book : recorder.Shelf()->Books()) {
            if (book.path == path) {
                return book.readingSeconds;
            }
        }
        return std::int64_t(-1);
    };
    recorder.SetWindowActive(false);
    turn();
    QTest::qWait(1100);
    turn();
    EXPECT_EQ(readingSeconds(), 0);
    recorder.SetWindowActive(true);
    turn();
    QTest::qWait(1100);
    turn();
    EXPECT_GE(readingSeconds(), 1);
    // Two pages read in about a second: faster than before, so less is left than at that speed.
    const double left = double(text.size()) * (1 - session.ReadPercent(0) / 100);
    EXPECT_LT(double(recorder.SecondsLeft()), left / 500);
    EXPECT_GT(recorder.SecondsLeft(), 0);
}

} // namespace
