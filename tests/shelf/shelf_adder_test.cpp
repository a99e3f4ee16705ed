// Adding a real folder tree: nested books in several encodings, files that are no books, links
// that loop or lead nowhere, a second add that adds nothing, batches told only once written.
#include "shelf/book_shelf.h"
#include "shelf/shelf_adder.h"

#include "tests/text/test_books.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <unistd.h>

namespace {

using test_books::Encode;
namespace fs = std::filesystem;

TEST(ShelfAdder, AddsEveryBookOfAFolderTreeOnceAndCountsWhatItSkips) {
    test_books::TempDir data;
    test_books::TempDir root;
    fs::create_directories(root.File("甲/乙/丙"));
    root.Write("甲/青萍剑录.txt",
               Encode("《青萍剑录》\n作者：林语\n" + test_books::kChineseProse, "GB18030"));
    root.Write("甲/乙/丙/雪中行.TXT", "书名：雪中行\n作者：周南\n" + test_books::kChineseProse);
    root.Write("鎮上.txt", Encode("《鎮上新路》\n" + test_books::kTraditionalProse, "BIG5"));
    root.Write("cover.jpg", "\xFF\xD8\xFF\xE0");
    root.Write("notes.md", "# notes\n");
    root.Write("broken.txt", std::string("\0\1\2\3", 4));
    fs::create_symlink(root.Path(), root.File("甲/乙/回到顶"));
    fs::create_symlink(root.File("甲"), root.File("甲/乙/丙/又是甲"));
    fs::create_symlink(root.File("nowhere.txt"), root.File("断了.txt"));
    fs::create_symlink(root.File("甲/青萍剑录.txt"), root.File("捷径.txt"));

    CBookShelf shelf(data.Path());
    ASSERT_TRUE(shelf.Open());
    std::map<CShelfAdder::Event, std::vector<std::string>> told;
    const auto report = [&](CShelfAdder::Event event, const std::string& path) {
        told[event].push_back(path.substr(root.Path().size()));
    };
    {
        CShelfAdder adder(shelf, report);
        EXPECT_TRUE(adder.AddPath(root.Path() + "/"));
        EXPECT_TRUE(adder.AddPath(root.File("甲"))); // inside the folder named before
        EXPECT_TRUE(adder.Finish());
        const CShelfAdder::Counts& counts = adder.Totals();
        EXPECT_EQ(counts.added, 4);
        EXPECT_EQ(counts.known, 0);
        EXPECT_EQ(counts.notBooks, 3);
        EXPECT_EQ(counts.unreadable, 1);
        EXPECT_EQ(counts.linkLoops, 2);
    }
    // A folder's books before its folders, names in order; a link to a book is a book.
    EXPECT_EQ(told[CShelfAdder::Event::Added],
              (std::vector<std::string>{"/捷径.txt", "/鎮上.txt", "/甲/青萍剑录.txt",
                                        "/甲/乙/丙/雪中行.TXT"}));
    EXPECT_EQ(told[CShelfAdder::Event::NotABook],
              (std::vector<std::string>{"/broken.txt", "/cover.jpg", "/notes.md"}));
    EXPECT_EQ(told[CShelfAdder::Event::Unreadable], std::vector<std::string>{"/断了.txt"});
    std::map<std::string, std::pair<QString, QString>> titles;
    for (const ShelfBook& book : shelf.Books()) {
        titles[book.path.substr(root.Path().size())] = {book.title, book.author};
    }
    EXPECT_EQ(titles["/甲/青萍剑录.txt"],
              std::make_pair(QStringLiteral(u"青萍剑录"), QStringLiteral(u"林语")));
    EXPECT_EQ(titles["/甲/乙/丙/雪中行.TXT"],
              std::make_pair(QStringLiteral(u"雪中行"), QStringLiteral(u"周南")));
    EXPECT_EQ(titles["/鎮上.txt"].first, QStringLiteral(u"鎮上新路"));

    // Again, and by a relative name: nothing new.
    told.clear();
    ASSERT_EQ(chdir(root.Path().c_str()), 0);
    CShelfAdder again(shelf, report);
    EXPECT_TRUE(again.AddPath("."));
    EXPECT_TRUE(again.AddPath("甲/../甲/青萍剑录.txt"));
    EXPECT_FALSE(again.AddPath("没有这个"));
    EXPECT_TRUE(again.Finish());
    ASSERT_EQ(chdir("/"), 0);
    EXPECT_EQ(again.Totals().added, 0);
    EXPECT_EQ(again.Totals().known, 5);
    EXPECT_EQ(again.Totals().unreadable, 2);
    EXPECT_EQ(shelf.Books().size(), 4u);
}

TEST(ShelfAdder, ABookIsToldAddedOnlyOnceItsBatchIsWritten) {
    test_books::TempDir data;
    test_books::TempDir root;
    const int books = int(CShelfAdder::kBatchBooks) * 2 + 10;
    for (int i = 0; i < books; ++i) {
        root.Write(
            "第" + std::to_string(1000 + i) + "本.txt",
            Encode("《书" + std::to_string(i) + "》\n" + test_books::kChineseProse, "GB18030"));
    }
    CBookShelf shelf(data.Path());
    ASSERT_TRUE(shelf.Open());
    CBookShelf onlooker(data.Path());
    ASSERT_TRUE(onlooker.Open());
    int told = 0;
    int seenByOthers = 0;
    CShelfAdder adder(shelf, [&](CShelfAdder::Event event, const std::string& path) {
        ASSERT_EQ(event, CShelfAdder::Event::Added);
        // Another connection, as another process, sees it already.
        if (++told % 100 == 1 && onlooker.Paths().count(path) == 1) {
            ++seenByOthers;
        }
    });
    ASSERT_TRUE(adder.AddPath(root.Path()));
    EXPECT_LT(told, books); // the last batch is still open
    ASSERT_TRUE(adder.Finish());
    EXPECT_EQ(told, books);
    EXPECT_EQ(seenByOthers, (books + 99) / 100);
    EXPECT_EQ(onlooker.Books().size(), std::size_t(books));
}

} // namespace
