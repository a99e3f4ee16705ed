#include "history/read_place_store.h"

#include "tests/text/test_books.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>

namespace {

class ReadPlaceStoreTest : public ::testing::Test {
protected:
    ReadPlaceStoreTest() { setenv("VESKA_DATA_DIR", m_dir.Path().c_str(), 1); }
    ~ReadPlaceStoreTest() override { unsetenv("VESKA_DATA_DIR"); }

    CReadPlaceStore Loaded() const {
        CReadPlaceStore store;
        store.Load();
        return store;
    }

    test_books::TempDir m_dir;
};

TEST_F(ReadPlaceStoreTest, PlacesSurviveAReloadMostRecentFirst) {
    CReadPlaceStore store = Loaded();
    EXPECT_TRUE(store.Places().empty());
    EXPECT_EQ(m_dir.Entries(), 0); // nothing written until there is a place

    store.Set({"/books/a b.txt", 3, 120});
    store.Set({"/books/c.txt", 0, 0});
    store.Set({"/books/a b.txt", 4, 7}); // reading on moves the book to the front
    EXPECT_EQ(m_dir.Read("read_place.dat"), "4 7 /books/a b.txt\n0 0 /books/c.txt\n");

    const CReadPlaceStore again = Loaded();
    ASSERT_EQ(again.Places().size(), 2u);
    EXPECT_EQ(again.Places().front().strFilePath, "/books/a b.txt");
    const ReadPlace* place = again.Find("/books/c.txt");
    ASSERT_NE(place, nullptr);
    EXPECT_EQ(place->nPage, 0);
    EXPECT_EQ(again.Find("/books/missing.txt"), nullptr);
}

TEST_F(ReadPlaceStoreTest, DamagedLinesAreDroppedAndTheRestLoads) {
    m_dir.Write("read_place.dat",
                "garbage\n"
                "1 2 /ok/one.txt\n"
                "-1 0 /bad/negative.txt\n"
                "x 0 /bad/letters.txt\n"
                "5 99999999999 /bad/overflow.txt\n"
                "3 4\n"
                "6 7 /ok/two.txt\r\n"
                "8 9 /ok/one.txt\n" // a second line for a book: the first wins
                "1 1 /long/" +
                    std::string(20000, 'x') + "\n" +
                    "2 2 /ok/three.txt\n" // after an overlong line, reading goes on
                    "\x01\x02\xff");
    const CReadPlaceStore store = Loaded();
    ASSERT_EQ(store.Places().size(), 3u);
    EXPECT_EQ(store.Places().front().nOffset, 2);
    EXPECT_EQ(store.Places().back().strFilePath, "/ok/three.txt");
    ASSERT_NE(store.Find("/ok/two.txt"), nullptr); // CR LF line ends read too
    EXPECT_EQ(store.Find("/ok/two.txt")->nPage, 6);

    // A path that would not read back is refused, and nothing is saved for it.
    CReadPlaceStore fresh = Loaded();
    fresh.Set({"/a\nb.txt", 1, 1});
    EXPECT_EQ(fresh.Find("/a\nb.txt"), nullptr);
    EXPECT_EQ(m_dir.Read("read_place.dat").substr(0, 7), "garbage"); // untouched

    EXPECT_EQ(Loaded().RefusedErrno(), 0);
}

// What was not read is never saved over: the places there would be lost.
TEST_F(ReadPlaceStoreTest, ARefusedFileIsLeftAloneForTheRun) {
    const std::string path = m_dir.Write("read_place.dat", "1 2 /ok/one.txt\n");
    std::filesystem::resize_file(path, 300ull << 20); // over the size limit, sparse
    CReadPlaceStore store = Loaded();
    EXPECT_EQ(store.RefusedErrno(), EFBIG);
    EXPECT_EQ(store.FilePath(), path);
    std::filesystem::resize_file(path, 16); // readable again: still not written this run
    store.Set({"/books/new.txt", 1, 1});
    EXPECT_NE(store.Find("/books/new.txt"), nullptr); // the place serves this run
    EXPECT_EQ(m_dir.Read("read_place.dat"), "1 2 /ok/one.txt\n");

    // A FIFO in its place is refused without blocking.
    std::filesystem::remove(path);
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    store = Loaded();
    EXPECT_TRUE(store.Places().empty());
    EXPECT_EQ(store.RefusedErrno(), EINVAL);
    store.Set({"/books/new.txt", 1, 1});
    EXPECT_TRUE(std::filesystem::is_fifo(path));
}

TEST_F(ReadPlaceStoreTest, KeepsTheMostRecentFortyBooks) {
    CReadPlaceStore store = Loaded();
    for (int i = 0; i < 45; ++i) {
        store.Set({"/books/" + std::to_string(i) + ".txt", i, 0});
    }
    const CReadPlaceStore again = Loaded();
    EXPECT_EQ(again.Places().size(), CReadPlaceStore::kMaxPlaces);
    EXPECT_EQ(again.Places().front().strFilePath, "/books/44.txt");
    EXPECT_EQ(again.Find("/books/4.txt"), nullptr);
    EXPECT_NE(again.Find("/books/5.txt"), nullptr);
}

} // namespace
