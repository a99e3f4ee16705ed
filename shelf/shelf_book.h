#pragma once

#include <QString>

#include <cstdint>
#include <string>

// Where the reader is in a book, as the shelf records it.
struct ReadingState {
    double progress = 0;          // percent, as the status bar shows it
    QString chapter;              // the chapter on screen; empty before the first heading
    int chapters = -1;            // the book's headings once all are known, else -1
    bool atEnd = false;           // the last page is on screen
    std::int64_t readSeconds = 0; // reading time since the last record
};

// One row of the shelf.
struct ShelfBook {
    std::string path; // absolute, in file system bytes
    QString title;
    QString author;
    QString encoding;
    QString chapter;
    std::uint64_t size = 0;
    int chapters = -1;         // -1 while unknown
    double progress = 0;       // percent
    std::int64_t lastRead = 0; // seconds since the epoch; 0 when never read
    std::int64_t added = 0;
    std::int64_t readingSeconds = 0;
    bool finished = false;
    bool missing = false;
};
