#include "app/shelf_recorder.h"

#include "platform/paths.h"
#include "reader/chapter_index.h"
#include "reader/reader_session.h"
#include "shelf/book_probe.h"
#include "shelf/book_shelf.h"
#include "text/text_convert.h"

#include <QDateTime>

#include <algorithm>
#include <cstdio>
#include <string_view>
#include <utility>

CShelfRecorder::CShelfRecorder(CReaderSession& session, QObject* parent)
    : QObject(parent), m_session(session) {
    connect(&session, &CReaderSession::recordsLoaded, this, &CShelfRecorder::OpenShelf);
    connect(&session, &CReaderSession::bookOpened, this, &CShelfRecorder::RecordOpened);
    connect(&session, &CReaderSession::placeSaved, this, &CShelfRecorder::RecordReading);
    connect(&session, &CReaderSession::stateChanged, this, &CShelfRecorder::CountReadingTime);
    connect(&session, &CReaderSession::progressChanged, this, &CShelfRecorder::CountReadingTime);
}

CShelfRecorder::~CShelfRecorder() = default;

CBookShelf* CShelfRecorder::Shelf() {
    return m_pShelf && m_pShelf->IsOpen() ? m_pShelf.get() : nullptr;
}

void CShelfRecorder::SetWindowActive(bool active) {
    if (active == m_bWindowActive) {
        return;
    }
    m_bWindowActive = active;
    // Time away from the window is not reading: the clock starts again at the next move.
    m_moveClock.invalidate();
}

void CShelfRecorder::OpenShelf() {
    if (m_pShelf) {
        return;
    }
    m_pShelf = std::make_unique<CBookShelf>(FsPathFromAnsi(GetDataDir()));
    const QString file = QString::fromStdU16String(WidePathFromFs(m_pShelf->FilePath()));
    if (!m_pShelf->Open()) {
        std::fprintf(stderr, "veska: the shelf %s cannot be opened: %s\n",
                     m_pShelf->FilePath().c_str(), m_pShelf->Error().toLocal8Bit().constData());
        emit notice(
            QStringLiteral(u"书架无法打开"),
            QStringLiteral(u"书架“%1”无法打开（%2），本次不记录书架").arg(file, m_pShelf->Error()));
        return;
    }
    if (!m_pShelf->SetAsideName().empty()) {
        const QString aside = QString::fromStdU16String(WidePathFromFs(m_pShelf->SetAsideName()));
        emit notice(QStringLiteral(u"书架已损坏，原文件另存为“%1”").arg(aside),
                    QStringLiteral(u"书架“%1”已损坏，原文件已另存为“%2”；书架按阅读记录重建")
                        .arg(file, aside));
    }
    const CBookShelf::ReadingTotals totals = m_pShelf->Totals(kMinSpeedSeconds);
    m_dReadBytes += totals.bytes;
    m_nSpeedMs += totals.seconds * 1000;
    if (!m_pShelf->Created()) {
        return;
    }
    // A new shelf starts with the books of the history, where they were read to.
    for (const ReadMarkInfo& mark : m_session.History().m_listLocal) {
        const std::string key = CBookShelf::KeyOf(FsPathFromAnsi(mark.strFilePath));
        BookFacts facts;
        if (CBookProbe::Probe(key, facts) != CBookProbe::Outcome::Book) {
            CBookProbe::TitleAndAuthor({}, AnsiToWide(mark.strBookName.c_str()).str(), facts);
        }
        ReadingState state;
        if (mark.nTotalPages > 0) {
            state.progress = std::clamp(100.0 * mark.nReadPage / mark.nTotalPages, 0.0, 100.0);
        }
        m_pShelf->RecordOpened(key, facts, QDateTime::currentSecsSinceEpoch(), false);
        m_pShelf->RecordReading(key, state, 0);
    }
}

void CShelfRecorder::RecordOpened() {
    // Another book's clock starts at its first move.
    m_moveClock.invalidate();
    m_nReadingMs = 0;
    m_dLastPosition = -1;
    const CResourceData& book = m_session.Book();
    m_strKey = CBookShelf::KeyOf(FsPathOfFile(book.m_strPath));
    if (Shelf() == nullptr) {
        return;
    }
    BookFacts facts;
    if (CBookProbe::Probe(m_strKey, facts) != CBookProbe::Outcome::Book) {
        CBookProbe::TitleAndAuthor({}, book.m_strName, facts);
    }
    facts.size = book.m_nFileSize;
    facts.encoding = QString::fromStdString(book.CodePageDisplayName());
    m_pShelf->RecordOpened(m_strKey, facts, QDateTime::currentSecsSinceEpoch(),
                           m_session.Recording());
}

void CShelfRecorder::RecordReading() {
    if (Shelf() == nullptr || !m_session.HasBook()) {
        return;
    }
    const CResourceData& book = m_session.Book();
    const CChapterIndex& chapters = m_session.Chapters();
    ReadingState state;
    state.progress = std::max(0.0, m_session.ReadPercent(m_session.PaneCharacters()));
    const int page = book.m_nCurPage;
    const std::size_t top = std::size_t(std::max(0, m_session.TopCharacter()));
    const int chapter = chapters.ChapterAt(
        page, [&](std::uint64_t offset) { return book.TextPositionOf(page, offset) <= top; });
    if (chapter >= 0) {
        const std::string_view title = chapters.Chapters().TitleUtf8(std::size_t(chapter));
        state.chapter = QString::fromUtf8(title.data(), qsizetype(title.size()));
    }
    if (chapters.IsComplete()) {
        state.chapters = int(chapters.Chapters().size());
    }
    state.atEnd = page + 1 >= book.GetPageCount();
    state.readSeconds = m_nReadingMs / 1000;
    if (m_pShelf->RecordReading(m_strKey, state, QDateTime::currentSecsSinceEpoch())) {
        m_nReadingMs -= state.readSeconds * 1000; // the part of a second waits for the next
    }
}

double CShelfRecorder::BytePosition() const {
    const double percent = m_session.ReadPercent(m_session.PaneCharacters());
    return percent < 0 ? -1 : percent * double(m_session.Book().m_nFileSize) / 100.0;
}

void CShelfRecorder::CountReadingTime() {
    if (!m_bWindowActive) {
        return;
    }
    const double position = BytePosition();
    const double lastPosition = std::exchange(m_dLastPosition, position);
    if (!m_moveClock.isValid()) {
        m_moveClock.start();
        return;
    }
    const qint64 gap = m_moveClock.restart();
    if (gap > kIdleMs) {
        return;
    }
    m_nReadingMs += gap;
    m_nSpeedMs += gap;
    if (lastPosition >= 0 && position > lastPosition) {
        m_dReadBytes += std::min(position - lastPosition, kMaxBytesPerMove);
    }
}

qint64 CShelfRecorder::SecondsLeft() const {
    const double position = BytePosition();
    if (position < 0 || m_nSpeedMs < kMinSpeedSeconds * 1000 || m_dReadBytes <= 0) {
        return -1;
    }
    const double bytesPerSecond = m_dReadBytes * 1000.0 / double(m_nSpeedMs);
    const double left = std::max(0.0, double(m_session.Book().m_nFileSize) - position);
    return qint64(left / bytesPerSecond);
}
