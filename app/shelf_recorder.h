#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <memory>
#include <string>

class CBookShelf;
class CReaderSession;

// The reader's own record on the shelf, kept apart from the session so that the reader layer
// needs no database: the book opened gets its row; each place the session records brings the
// row's progress, chapter, last reading and reading time up to date.
class CShelfRecorder : public QObject {
    Q_OBJECT
public:
    // Text that has not moved for this long means the reader was away: that time is not reading.
    static constexpr qint64 kIdleMs = 5 * 60 * 1000;
    // Reading shorter than this, in all, says nothing yet of the reader's speed; a book read
    // shorter than this on the shelf is left out of it.
    static constexpr qint64 kMinSpeedSeconds = 60;
    // A move of the text counts at most this many bytes as read: a jump is not reading.
    static constexpr double kMaxBytesPerMove = 2 * 4092;

    // Follows `session`, which outlives it or is destroyed first; the shelf is opened once the
    // session has loaded its records (a shelf begun anew gets the history's books).
    explicit CShelfRecorder(CReaderSession& session, QObject* parent = nullptr);
    ~CShelfRecorder() override;

    // The shelf, once open; null before or when it cannot be opened.
    CBookShelf* Shelf();
    // Time counts only while the reader's window is the active one.
    void SetWindowActive(bool active);
    // The time the rest of the open book takes at the reader's speed: the bytes read over the
    // reading time, of the books on the shelf and of the moves of this run. -1 without a book or
    // before there is a speed to go by.
    qint64 SecondsLeft() const;

signals:
    // A lasting notice for the status bar: a short text and the whole story.
    void notice(const QString& text, const QString& detail);

private:
    void OpenShelf();
    void RecordOpened();
    void RecordReading();
    // The text moved: the time since it last moved is reading time, unless the reader was away;
    // the bytes it moved on by, read in that time.
    void CountReadingTime();
    // Where the first character on screen is in the open book, in bytes.
    double BytePosition() const;

    CReaderSession& m_session;
    std::unique_ptr<CBookShelf> m_pShelf;
    std::string m_strKey;      // the open book's path on the shelf
    QElapsedTimer m_moveClock; // since the text last moved
    qint64 m_nReadingMs = 0;   // reading time not yet on the shelf
    // The speed: from the shelf when it opened, and counted since.
    double m_dReadBytes = 0;
    qint64 m_nSpeedMs = 0;
    double m_dLastPosition = -1; // of the last move counted
    bool m_bWindowActive = true;
};
