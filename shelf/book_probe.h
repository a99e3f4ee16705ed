#pragma once

#include <QString>

#include <cstdint>
#include <string>
#include <string_view>

// What the opening of a book tells the shelf.
struct BookFacts {
    QString title;
    QString author;   // empty when the book does not name one
    QString encoding; // as the status bar names it: "GB18030", "UTF-8", ...
    std::uint64_t size = 0;
};

// Reads the opening of a text file (never more than kSampleBytes) for the shelf: whether it is a
// book, its encoding, title and author.
class CBookProbe {
public:
    // Enough for any title page; far less than the 64 KB a shelf may read of a book.
    static constexpr std::size_t kSampleBytes = 16 * 1024;

    enum class Outcome { Book, NotABook, Unreadable };

    // `fsPath` in file system bytes. A book is a regular file whose opening reads as text.
    static Outcome Probe(const std::string& fsPath, BookFacts& facts);

    // Title and author from the opening text: a line that starts with 《书名》, or the labels
    // 书名： and 作者： near the top; else the same rules on the file name, and then the file
    // name without its ".txt".
    static void TitleAndAuthor(std::u16string_view opening, std::u16string_view fileName,
                               BookFacts& facts);

    // Text has no zero byte, unless it is UTF-16 with its byte-order mark.
    static bool LooksLikeText(std::string_view sample);
    // Whether a file name found in a folder names a book: it ends in ".txt", in any case.
    static bool HasBookSuffix(std::string_view name);
};
