// The two files the reading history is kept in: read_history.dat and read_place.dat.

#include "history/read_place_store.h"
#include "history/reader_history.h"

#include "tests/text/test_books.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <vector>

namespace {

using Names = std::vector<std::string>;

ReadMarkInfo Mark(const std::string& name, const std::string& path, int page, int total,
                  int type = MARK_LOCAL) {
    return {name, path, page, type, total};
}

// A record as the file holds it: five lines.
std::string Record(const ReadMarkInfo& m) {
    return m.strBookName + "\n" + m.strFilePath + "\n" + std::to_string(m.nReadPage) + "\n" +
           std::to_string(m.nTotalPages) + "\n" + std::to_string(m.nMarkType) + "\n";
}

std::string Record(const std::string& name, const std::string& path, int page, int total,
                   int type = MARK_LOCAL) {
    return Record(Mark(name, path, page, total, type));
}

Names NamesOf(const std::list<ReadMarkInfo>& list) {
    Names names;
    for (const ReadMarkInfo& mark : list) {
        names.push_back(mark.strBookName);
    }
    return names;
}

// A fresh data directory.
class DataDirTest : public ::testing::Test {
protected:
    DataDirTest() { setenv("VESKA_DATA_DIR", m_dir.Path().c_str(), 1); }
    ~DataDirTest() override { unsetenv("VESKA_DATA_DIR"); }
    test_books::TempDir m_dir;
};

class ReaderHistoryTest : public DataDirTest {
protected:
    CReaderHistory LoadFile(const std::string& contents) {
        m_dir.Write("read_history.dat", contents);
        CReaderHistory history;
        EXPECT_EQ(history.Load(), 0);
        return history;
    }
    std::string FileText() const { return m_dir.Read("read_history.dat"); }
};

class ReadPlaceStoreTest : public DataDirTest {
protected:
    CReadPlaceStore Loaded() const {
        CReadPlaceStore store;
        store.Load();
        return store;
    }
};

} // namespace

// A record is five lines; new books go first and the oldest drops after twenty.
TEST_F(ReaderHistoryTest, NewBooksGoFirstAndTheOldestDropsAfterTwenty) {
    CReaderHistory history = LoadFile("");
    history.AddReadMark(Mark("novel.txt", "/books/novel.txt", 12, 340));
    EXPECT_EQ(FileText(), "novel.txt\n/books/novel.txt\n12\n340\n1\n");
    for (int i = 1; i <= 21; ++i) {
        const std::string name = "book" + std::to_string(i) + ".txt";
        history.AddReadMark(Mark(name, "/books/" + name, i, 100));
    }
    history.AddReadMark(Mark("remote.txt", "http://x/remote.txt", 3, 9, 2)); // a list of its own
    ASSERT_EQ(history.m_listLocal.size(), 20u);
    EXPECT_EQ(history.m_listLocal.front().strBookName, "book21.txt");
    EXPECT_EQ(history.m_listLocal.back().strBookName, "book2.txt");

    CReaderHistory reloaded;
    reloaded.Load();
    EXPECT_EQ(NamesOf(reloaded.m_listLocal), NamesOf(history.m_listLocal));
    EXPECT_EQ(NamesOf(reloaded.m_listNet), Names{"remote.txt"});
}

// Books added to a history loaded from a file: its lists then, and the file they are saved to and
// load again from. Reading on updates a record in place; network records load apart and are
// written after the local ones; lines are trimmed at the end and numbers read like atoi; from a
// malformed record on nothing loads, but those bytes are kept; a record that could not be read
// back is refused.
TEST_F(ReaderHistoryTest, AddedBooksTheirListsAndTheirFile) {
    const ReadMarkInfo added = Mark("new.txt", "/b/new.txt", 0, 5);
    const std::string netA = Record("net-a.txt", "http://h/net-a.txt", 5, 50, 2);
    const std::string netB = Record("net-b.txt", "http://h/net-b.txt", 6, 60, 0);
    const std::string localA = Record("local-a.txt", "/b/local-a.txt", 1, 10);
    const std::string localB = Record("local-b.txt", "/b/local-b.txt", 2, 20);
    const std::string kept = Record("kept.txt", "/b/kept.txt", 1, 2);
    struct Case {
        std::string before;
        std::vector<ReadMarkInfo> added;
        Names local;
        Names net;
        std::string after;
    };
    std::vector<Case> cases = {
        {"",
         {Mark("a-book.txt", "/one/a-book.txt", 0, 10),
          Mark("b-book.txt", "/one/b-book.txt", 0, 10),
          Mark("c-book.txt", "/one/c-book.txt", 0, 10),
          Mark("a-book.txt", "/one/a-book.txt", 7, 10),
          Mark("b-book.txt", "/two/b-book.txt", 4, 25), // same name, other folder
          Mark("C-book.txt", "/one/C-book.txt", 1, 5)}, // case makes another book
         {"C-book.txt", "c-book.txt", "b-book.txt", "a-book.txt"},
         {},
         Record("C-book.txt", "/one/C-book.txt", 1, 5) +
             Record("c-book.txt", "/one/c-book.txt", 0, 10) +
             Record("b-book.txt", "/two/b-book.txt", 4, 25) +
             Record("a-book.txt", "/one/a-book.txt", 7, 10)},
        {kept,
         {ReadMarkInfo{}, // a page command while no book is open
          Mark("abc", "/b/abc", 1, 2), Mark("name.txt", "/b/ab", 1, 2),
          Mark("kept.txt", "/b/with\nbreak", 1, 2), // would even overwrite a good record
          Mark("cr\r.txt", "/b/cr\r.txt", 1, 2),
          Mark("trail.txt ", "/b/trail.txt ", 1, 2), // trailing blanks are trimmed on loading
          Mark(std::string("nul\0.txt", 8), "/b/nul.txt", 1, 2),
          Mark(std::string(8191, 'n'), "/b/n.txt", 1, 2), // a line the read buffer would split
          Mark("net\n.txt", "http://h/net.txt", 1, 2, 2)},
         {"kept.txt"},
         {},
         kept},
        {"",
         {Mark(std::string(8190, 'n'), "/b/n.txt", 1, 2)},
         {std::string(8190, 'n')},
         {},
         Record(std::string(8190, 'n'), "/b/n.txt", 1, 2)}, // the longest line that fits
        {test_books::CrLf(netA + localA + netB + localB),   // CR LF in, LF out
         {added},
         {"new.txt", "local-a.txt", "local-b.txt"},
         {"net-a.txt", "net-b.txt"},
         Record(added) + localA + localB + netA + netB},
        {"  lead.txt \t\n/b/lead.txt\r\n\n12 pages\n+1\n" // a blank page line reads 0
         "neg.txt\n/b/n\rg.txt\n-3\nx\n1",                // no line end at the end
         {added},
         {"new.txt", "  lead.txt", "neg.txt"},
         {},
         Record(added) + Record("  lead.txt", "/b/lead.txt", 0, 12) +
             Record("neg.txt", "/b/n\rg.txt", -3, 0)},
    };
    const std::string later = localB + netA;
    for (const std::string& bad : {
             "abc\n/b/abc\n2\n20\n1\n" + later,   // name of 3 bytes
             "    \n/b/blank\n1\n1\n1\n" + later, // a name of blanks keeps its LF
             "over.txt\n/b/over.txt\n" + std::string(9000, '7') + "\n1\n1\n" + later, // two pieces
             std::string("cut.txt\n/b/cut.txt\n1\n1\n"), // the file ends inside a record
         }) {
        cases.push_back(
            {localA + bad, {added}, {"new.txt", "local-a.txt"}, {}, Record(added) + localA + bad});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.before.substr(0, 80));
        CReaderHistory history = LoadFile(c.before);
        for (const ReadMarkInfo& mark : c.added) {
            history.AddReadMark(mark);
        }
        CReaderHistory reloaded;
        reloaded.Load();
        for (const CReaderHistory* h : {&history, &reloaded}) {
            EXPECT_EQ(NamesOf(h->m_listLocal), c.local);
            EXPECT_EQ(NamesOf(h->m_listNet), c.net);
        }
        EXPECT_EQ(FileText(), c.after);
    }
}

TEST_F(ReaderHistoryTest, FailedSaveKeepsTheFileAndTheListsWork) {
    CReaderHistory history = LoadFile(Record("one.txt", "/b/one.txt", 1, 10));
    history.m_strDir = m_dir.Path() + "/vanished";
    history.AddReadMark(Mark("two.txt", "/b/two.txt", 2, 20));
    EXPECT_EQ(NamesOf(history.m_listLocal), (Names{"two.txt", "one.txt"}));
    EXPECT_EQ(FileText(), Record("one.txt", "/b/one.txt", 1, 10));
    EXPECT_EQ(m_dir.Entries(), 1);
}

// A FIFO in its place is never opened (it would block) nor saved over.
TEST_F(ReaderHistoryTest, AFifoIsLeftAloneAndNeverSavedOver) {
    const std::string file = m_dir.File("read_history.dat");
    ASSERT_EQ(mkfifo(file.c_str(), 0600), 0);
    CReaderHistory history;
    history.Load();
    EXPECT_EQ(history.m_nRefusedErrno, EINVAL);
    history.AddReadMark(Mark("new.txt", "/b/new.txt", 0, 5));
    EXPECT_TRUE(std::filesystem::is_fifo(file));
}

// Only a hand-made or damaged file holds more than use keeps (20 records a list, a short damaged
// end): the lists keep what use would have kept, and the whole file stays under a second name.
TEST_F(ReaderHistoryTest, LongFileKeepsTheNewestTwentyAndTheWholeFileAside) {
    std::string file;
    for (int i = 0; i < 1000; ++i) {
        const std::string name = "n" + std::to_string(i) + ".txt";
        file += Record(name, "/p/" + name, i, 2);
    }
    const std::string net = Record("net-a.txt", "http://h/net-a.txt", 5, 50, 2);
    const std::string tail = "bad\n/b/bad\n1\n1\n1\n";
    file += net + tail;
    CReaderHistory history = LoadFile(file);
    EXPECT_EQ(history.m_nRefusedErrno, 0);
    EXPECT_EQ(history.m_nFileRecords, 1001u);
    ASSERT_EQ(history.m_listLocal.size(), 20u);
    EXPECT_EQ(history.m_listLocal.back().strBookName, "n19.txt");
    EXPECT_EQ(NamesOf(history.m_listNet), Names{"net-a.txt"});
    EXPECT_EQ(history.m_strSetAside, "read_history.dat.full");
    EXPECT_TRUE(std::filesystem::equivalent(m_dir.File("read_history.dat"),
                                            m_dir.File("read_history.dat.full")));

    // A second start before any save finds the file already set aside.
    CReaderHistory again;
    again.Load();
    EXPECT_EQ(again.m_strSetAside, "read_history.dat.full");
    EXPECT_EQ(m_dir.Entries(), 2);

    history.AddReadMark(Mark("n3.txt", "/p/n3.txt", 4, 2));
    std::string kept;
    for (const ReadMarkInfo& mark : history.m_listLocal) {
        kept += Record(mark);
    }
    EXPECT_EQ(FileText(), kept + net + tail);
    EXPECT_EQ(m_dir.Read("read_history.dat.full"), file);

    // A damaged end longer than a history could hold is not carried along either.
    const std::string longTail = "bad\n" + std::string(100000, 'x') + "\n";
    CReaderHistory damaged = LoadFile(net + longTail);
    EXPECT_EQ(damaged.m_strSetAside, "read_history.dat.full.2");
    damaged.Save();
    EXPECT_EQ(FileText(), net);
    EXPECT_EQ(m_dir.Read("read_history.dat.full.2"), net + longTail);
}

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
