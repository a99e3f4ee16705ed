#include "history/reader_history.h"

#include "tests/settings/scratch_dir.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <vector>

namespace {

ReadMarkInfo Mark(const std::string& name, const std::string& path, int page, int total,
                  int type = MARK_LOCAL) {
    ReadMarkInfo mark;
    mark.strBookName = name;
    mark.strFilePath = path;
    mark.nReadPage = page;
    mark.nMarkType = type;
    mark.nTotalPages = total;
    return mark;
}

std::string Record(const std::string& name, const std::string& path, int page, int total,
                   int type = MARK_LOCAL) {
    return name + "\n" + path + "\n" + std::to_string(page) + "\n" + std::to_string(total) + "\n" +
           std::to_string(type) + "\n";
}

std::vector<std::string> Names(const std::list<ReadMarkInfo>& list) {
    std::vector<std::string> names;
    for (const ReadMarkInfo& mark : list) {
        names.push_back(mark.strBookName);
    }
    return names;
}

class ReaderHistoryTest : public ::testing::Test {
protected:
    void SetUp() override { setenv("VESKA_DATA_DIR", m_dir.Path().c_str(), 1); }
    void TearDown() override { unsetenv("VESKA_DATA_DIR"); }

    // A store loaded from the given file contents.
    CReaderHistory LoadFile(const std::string& contents) {
        m_dir.Write("read_history.dat", contents);
        CReaderHistory history;
        EXPECT_EQ(history.Load(), 0);
        return history;
    }
    std::string FileText() const { return m_dir.Read("read_history.dat"); }

    ScratchDir m_dir;
};

} // namespace

TEST_F(ReaderHistoryTest, MissingFileIsCreatedEmpty) {
    CReaderHistory history;
    history.m_listLocal.push_back(Mark("stale.txt", "/old/stale.txt", 1, 2));
    EXPECT_EQ(history.Load(), 0);
    EXPECT_EQ(history.m_strDir, m_dir.Path());
    EXPECT_TRUE(history.m_listLocal.empty());
    EXPECT_TRUE(history.m_listNet.empty());
    ASSERT_TRUE(m_dir.Exists("read_history.dat"));
    EXPECT_EQ(FileText(), "");
}

TEST_F(ReaderHistoryTest, RecordIsWrittenAsFiveLines) {
    CReaderHistory history = LoadFile("");
    history.AddReadMark(Mark("novel.txt", "/books/novel.txt", 12, 340));
    EXPECT_EQ(FileText(), "novel.txt\n/books/novel.txt\n12\n340\n1\n");
}

TEST_F(ReaderHistoryTest, NewBooksGoFirstAndTheOldestDropsAfterTwenty) {
    CReaderHistory history = LoadFile("");
    for (int i = 1; i <= 21; ++i) {
        const std::string name = "book" + std::to_string(i) + ".txt";
        history.AddReadMark(Mark(name, "/books/" + name, i, 100));
    }
    ASSERT_EQ(history.m_listLocal.size(), 20u);
    EXPECT_EQ(history.m_listLocal.front().strBookName, "book21.txt");
    EXPECT_EQ(history.m_listLocal.back().strBookName, "book2.txt");

    // Network bookmarks have a list and a limit of their own.
    history.AddReadMark(Mark("remote.txt", "http://x/remote.txt", 3, 9, 2));
    EXPECT_EQ(history.m_listLocal.size(), 20u);
    EXPECT_EQ(Names(history.m_listNet), std::vector<std::string>{"remote.txt"});

    CReaderHistory reloaded;
    reloaded.Load();
    EXPECT_EQ(Names(reloaded.m_listLocal), Names(history.m_listLocal));
    EXPECT_EQ(Names(reloaded.m_listNet), Names(history.m_listNet));
}

TEST_F(ReaderHistoryTest, ReadingOnUpdatesInPlaceAndSameNameSharesOneRecord) {
    CReaderHistory history = LoadFile("");
    history.AddReadMark(Mark("a-book.txt", "/one/a-book.txt", 0, 10));
    history.AddReadMark(Mark("b-book.txt", "/one/b-book.txt", 0, 20));
    history.AddReadMark(Mark("c-book.txt", "/one/c-book.txt", 0, 30));

    history.AddReadMark(Mark("a-book.txt", "/one/a-book.txt", 7, 10));
    // A book of the same name in another folder takes over the record.
    history.AddReadMark(Mark("b-book.txt", "/two/b-book.txt", 4, 25));
    // The name is compared byte by byte: case makes another book.
    history.AddReadMark(Mark("C-book.txt", "/one/C-book.txt", 1, 5));

    EXPECT_EQ(FileText(), Record("C-book.txt", "/one/C-book.txt", 1, 5) +
                              Record("c-book.txt", "/one/c-book.txt", 0, 30) +
                              Record("b-book.txt", "/two/b-book.txt", 4, 25) +
                              Record("a-book.txt", "/one/a-book.txt", 7, 10));
}

TEST_F(ReaderHistoryTest, NetworkRecordsLoadApartAndAreWrittenAfterLocalOnes) {
    const std::string netA = Record("net-a.txt", "http://h/net-a.txt", 5, 50, 2);
    const std::string localA = Record("local-a.txt", "/b/local-a.txt", 1, 10);
    const std::string netB = Record("net-b.txt", "http://h/net-b.txt", 6, 60, 0);
    const std::string localB = Record("local-b.txt", "/b/local-b.txt", 2, 20);
    CReaderHistory history = LoadFile(netA + localA + netB + localB);
    EXPECT_EQ(Names(history.m_listLocal), (std::vector<std::string>{"local-a.txt", "local-b.txt"}));
    EXPECT_EQ(Names(history.m_listNet), (std::vector<std::string>{"net-a.txt", "net-b.txt"}));
    EXPECT_EQ(history.m_listNet.back().nMarkType, 0);

    history.Save();
    EXPECT_EQ(FileText(), localA + localB + netA + netB);
}

TEST_F(ReaderHistoryTest, LinesAreTrimmedAndNumbersReadLikeAtoi) {
    CReaderHistory history = LoadFile("  lead.txt \t\n"
                                      "/b/lead.txt\r\n"
                                      "\n" // blank page line reads 0
                                      "12 pages\n"
                                      " +1\n"
                                      "neg.txt\n"
                                      "/b/neg.txt\n"
                                      "-3\n"
                                      "x\n" // no digits: 0 pages
                                      "1"); // the last line may lack its line end
    ASSERT_EQ(history.m_listLocal.size(), 2u);
    const ReadMarkInfo& lead = history.m_listLocal.front();
    EXPECT_EQ(lead.strBookName, "  lead.txt");
    EXPECT_EQ(lead.strFilePath, "/b/lead.txt");
    EXPECT_EQ(lead.nReadPage, 0);
    EXPECT_EQ(lead.nTotalPages, 12);
    EXPECT_EQ(lead.nMarkType, MARK_LOCAL);
    const ReadMarkInfo& neg = history.m_listLocal.back();
    EXPECT_EQ(neg.nReadPage, -3);
    EXPECT_EQ(neg.nTotalPages, 0);

    history.Save();
    EXPECT_EQ(FileText(),
              Record("  lead.txt", "/b/lead.txt", 0, 12) + Record("neg.txt", "/b/neg.txt", -3, 0));
}

TEST_F(ReaderHistoryTest, CrLfFileLoadsLikeLfFile) {
    const std::string lf = Record("one.txt", "/b/one.txt", 3, 30) +
                           Record("two.txt", "/b/t\rwo.txt", 4, 40, 2) + "bad\n";
    std::string crlf;
    for (char c : lf) {
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    }
    CReaderHistory fromLf = LoadFile(lf);
    fromLf.Save();
    const std::string savedFromLf = FileText();
    CReaderHistory fromCrLf = LoadFile(crlf);
    EXPECT_EQ(Names(fromCrLf.m_listLocal), Names(fromLf.m_listLocal));
    EXPECT_EQ(fromCrLf.m_listLocal.front().strFilePath, "/b/one.txt");
    fromCrLf.Save();
    EXPECT_EQ(FileText(), savedFromLf);
    EXPECT_EQ(FileText().find("\r\n"), std::string::npos);
}

TEST_F(ReaderHistoryTest, MalformedRecordStopsLoadingButLaterRecordsSurviveSaves) {
    const std::string good = Record("good.txt", "/b/good.txt", 1, 10);
    const std::string damaged = "abc\n/b/abc\n2\n20\n1\n"; // name too short
    const std::string later = Record("later.txt", "/b/later.txt", 3, 30) +
                              Record("net.txt", "http://h/net.txt", 4, 40, 2);
    CReaderHistory history = LoadFile(good + damaged + later);
    EXPECT_EQ(Names(history.m_listLocal), std::vector<std::string>{"good.txt"});
    EXPECT_TRUE(history.m_listNet.empty());

    history.AddReadMark(Mark("new.txt", "/b/new.txt", 0, 5));
    history.AddReadMark(Mark("good.txt", "/b/good.txt", 2, 10));
    EXPECT_EQ(FileText(), Record("new.txt", "/b/new.txt", 0, 5) +
                              Record("good.txt", "/b/good.txt", 2, 10) + damaged + later);

    // Once the damaged record is mended by hand, everything loads again.
    m_dir.Write("read_history.dat", FileText().replace(FileText().find("abc\n"), 4, "abcd\n"));
    CReaderHistory mended;
    mended.Load();
    EXPECT_EQ(Names(mended.m_listLocal),
              (std::vector<std::string>{"new.txt", "good.txt", "abcd", "later.txt"}));
}

TEST_F(ReaderHistoryTest, RecordsThatWouldNotReadBackAreNotLoaded) {
    const std::string after = Record("after.txt", "/b/after.txt", 1, 1);
    const std::pair<std::string, std::string> cases[] = {
        // A name of blanks would keep its LF and split the record when written back.
        {"    \n/b/blank-name\n1\n1\n1\n", after},
        {"long.txt\n/b/x\n1\n1\n1\n", after},                                     // path too short
        {"over.txt\n/b/over.txt\n" + std::string(9000, '7') + "\n1\n1\n", after}, // 2 pieces
        {"cut.txt\n/b/cut.txt\n1\n1\n", ""}, // the file ends inside a record
        {"\n", ""},                          // a blank line at the end
    };
    const std::string first = Record("first.txt", "/b/first.txt", 0, 1);
    for (const auto& [bad, rest] : cases) {
        CReaderHistory history = LoadFile(first + bad + rest);
        EXPECT_EQ(Names(history.m_listLocal), std::vector<std::string>{"first.txt"}) << bad;
        history.Save();
        EXPECT_EQ(FileText(), first + bad + rest) << bad;
    }
}

TEST_F(ReaderHistoryTest, RecordsThatCouldNotBeReadBackAreRefused) {
    CReaderHistory history = LoadFile("");
    history.AddReadMark(Mark("kept.txt", "/b/kept.txt", 1, 2));
    const std::string before = FileText();

    const ReadMarkInfo refused[] = {
        ReadMarkInfo{},                  // page command with no book open
        Mark("abc", "/b/abc", 1, 2),     // name of 3 bytes
        Mark("name.txt", "/b/ab", 1, 2), // path of 5 bytes
        Mark("line\nbreak.txt", "/b/line\nbreak.txt", 1, 2),
        Mark("cr\r.txt", "/b/cr\r.txt", 1, 2),
        Mark("kept.txt", "/b/with\nbreak", 1, 2),  // would even overwrite a good record
        Mark("trail.txt ", "/b/trail.txt ", 1, 2), // trailing blanks are trimmed on load
        Mark(std::string("nul\0.txt", 8), "/b/nul.txt", 1, 2),
        Mark(std::string(8191, 'n'), "/b/" + std::string(8191, 'n'), 1, 2),
        Mark("net\n.txt", "http://h/net.txt", 1, 2, 2),
    };
    for (const ReadMarkInfo& mark : refused) {
        history.AddReadMark(mark);
    }
    EXPECT_EQ(Names(history.m_listLocal), std::vector<std::string>{"kept.txt"});
    EXPECT_EQ(history.m_listLocal.front().strFilePath, "/b/kept.txt");
    EXPECT_TRUE(history.m_listNet.empty());
    EXPECT_EQ(FileText(), before);

    // The longest storable line still fits the read buffer.
    history.AddReadMark(Mark(std::string(8190, 'n'), "/b/" + std::string(8187, 'n'), 1, 2));
    CReaderHistory reloaded;
    reloaded.Load();
    EXPECT_EQ(reloaded.m_listLocal.size(), 2u);
}

TEST_F(ReaderHistoryTest, FailedSaveKeepsTheFileAndTheListsWork) {
    CReaderHistory history = LoadFile(Record("one.txt", "/b/one.txt", 1, 10));
    history.m_strDir = m_dir.Path() + "/vanished";
    history.AddReadMark(Mark("two.txt", "/b/two.txt", 2, 20));
    EXPECT_EQ(Names(history.m_listLocal), (std::vector<std::string>{"two.txt", "one.txt"}));
    EXPECT_EQ(FileText(), Record("one.txt", "/b/one.txt", 1, 10));
    EXPECT_EQ(m_dir.EntryCount(), 1u);

    // An unloaded store has no place for its file and writes nowhere.
    CReaderHistory unloaded;
    unloaded.AddReadMark(Mark("three.txt", "/b/three.txt", 3, 30));
    EXPECT_EQ(unloaded.m_listLocal.size(), 1u);
}
