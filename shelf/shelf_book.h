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
    QString group; // the reader's own; empty for none
    std::uint64_t size = 0;
    int chapters = -1;         // -1 while unknown
    double progress = 0;       // percent
    std::int64_t lastRead = 0; // seconds since the epoch; 0 when never read
    std::int64_t added = 0;
    std::int64_t readingSeconds = 0;
    bool finished = false;
    bool missing = false;

    // The group the record puts the book in, whatever the reader's own: 读完 once its end was
    // reached, 在读 once read at all, else 未读.
    enum class State { Reading, Finished, Unread };
    State ReadingStateGroup() const {
        if (finished) {
            return State::Finished;
        }
        return lastRead != 0 || progress > 0 ? State::Reading : State::Unread;
    }

    // A reading time as the reader is shown it ("3小时05分", "12分"); empty for none.
    static QString DurationText(std::int64_t seconds) {
        const std::int64_t minutes = seconds / 60;
        if (minutes <= 0) {
            return seconds > 0 ? QStringLiteral(u"不到1分") : QString();
        }
        if (minutes < 60) {
            return QStringLiteral(u"%1分").arg(minutes);
        }
        return QStringLiteral(u"%1小时%2分")
            .arg(minutes / 60)
            .arg(minutes % 60, 2, 10, QLatin1Char('0'));
    }
};
