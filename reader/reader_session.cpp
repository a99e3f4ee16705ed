#include "reader/reader_session.h"

#include "diag/log.h"
#include "platform/paths.h"
#include "platform/text_line_reader.h"
#include "reader/book_search.h"
#include "reader/chapter_index.h"
#include "settings/book_choice_store.h"
#include "settings/settings_store.h"
#include "text/encoding_choice.h"
#include "text/replace_rule_file.h"
#include "text/text_convert.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {
// Scrolling saves the place this long after it starts, so auto-scroll writes it now and then.
constexpr int kPlaceSaveDelayMs = 2000;
// Posted below the priority of the window's paint request, so it is delivered after the paint.
const QEvent::Type kRecordReadStateEvent = QEvent::Type(QEvent::registerEventType());
constexpr int kAfterPaintPriority = Qt::LowEventPriority - 1;
} // namespace

CReaderSession::CReaderSession(CSettingsStore& settings, QObject* parent)
    : QObject(parent), m_settings(settings),
      m_shownPages([this](int page) { return m_book.PaneTextOfPage(page); }),
      m_pChapters(new CChapterIndex(this)), m_pSearch(new CBookSearch(this)) {
    m_placeTimer.setSingleShot(true);
    m_placeTimer.setInterval(kPlaceSaveDelayMs);
    connect(&m_placeTimer, &QTimer::timeout, this, &CReaderSession::SavePlace);
    connect(m_pChapters, &CChapterIndex::rulesProblem, this, [this](const QString& problem) {
        emit notice(QStringLiteral(u"章节规则有误，已跳过"), problem);
    });
}

// The workers stop and join before the book they read is closed.
CReaderSession::~CReaderSession() {
    m_pChapters->Cancel();
    m_pSearch->Cancel();
    RecordReadState();
    if (m_placeTimer.isActive()) {
        SavePlace();
    }
}

void CReaderSession::LoadRecords() {
    m_history.Load();
    m_places.Load();
    if (m_settings.RefusedErrno() != 0) {
        ReportRefusedFile(ConfigFilePath(m_settings.Dir()), m_settings.RefusedErrno(),
                          QStringLiteral(u"使用默认设置"),
                          QStringLiteral(u"本次使用默认设置，不保存设置"));
    }
    if (m_settings.PrefsRefusedErrno() != 0) {
        ReportRefusedFile(ReadingPrefsPath(m_settings.Dir()), m_settings.PrefsRefusedErrno(),
                          QStringLiteral(u"不保存阅读设置"),
                          QStringLiteral(u"本次使用默认阅读设置，不保存阅读设置"));
    }
    if (m_places.RefusedErrno() != 0) {
        ReportRefusedFile(m_places.FilePath(), m_places.RefusedErrno(),
                          QStringLiteral(u"不保存阅读位置"),
                          QStringLiteral(u"本次没有阅读位置，也不保存阅读位置"));
    }
    if (m_history.m_nRefusedErrno != 0) {
        ReportRefusedFile(m_history.m_strDir + "/read_history.dat", m_history.m_nRefusedErrno,
                          QStringLiteral(u"没有阅读记录"),
                          QStringLiteral(u"本次没有阅读记录，也不保存阅读记录"));
    } else if (!m_history.m_strSetAside.empty()) {
        const std::string fullPath = m_history.m_strDir + "/" + m_history.m_strSetAside;
        const auto wide = [](const std::string& s) {
            return QString::fromStdU16String(AnsiToWide(s.c_str()).str());
        };
        LogMessage message;
        LogAppend(message, "History set aside:");
        LogAppend(message, fullPath.c_str());
        CLog::Instance().Write(LOG_INFO, message);
        emit notice(
            QStringLiteral(u"阅读记录过多，原文件另存为“%1”").arg(wide(m_history.m_strSetAside)),
            QStringLiteral(u"阅读记录有%1条，只保留最近的记录；原文件已另存为“%2”")
                .arg(m_history.m_nFileRecords)
                .arg(wide(fullPath)));
    }
    emit recordsLoaded();
}

void CReaderSession::ReportRefusedFile(const std::string& path, int err, const QString& outcome,
                                       const QString& consequence) {
    const QString fullName = QString::fromStdU16String(AnsiToWide(path.c_str()).str());
    const QString name = fullName.mid(fullName.lastIndexOf(QLatin1Char('/')) + 1);
    QString reason;
    const char* logReason = nullptr;
    if (err == EFBIG) {
        reason = QStringLiteral(u"过大（超过%1 MB）").arg(TextLineReader::kMaxDataFileBytes >> 20);
        logReason = "too large";
    } else if (err == EISDIR || err == EINVAL) {
        reason = QStringLiteral(u"不是普通文件");
        logReason = "not a regular file";
    } else {
        reason = QStringLiteral(u"无法读取（%1）").arg(QString::fromLocal8Bit(std::strerror(err)));
        logReason = std::strerror(err);
    }
    const QString detail = QStringLiteral(u"“%1”%2，未读取：%3").arg(fullName, reason, consequence);

    LogMessage message;
    LogAppend(message, "Data file refused:");
    LogAppend(message, path.c_str());
    LogAppend(message, logReason);
    CLog::Instance().Write(LOG_ERROR, message);
    std::fprintf(stderr, "veska: %s\n", detail.toLocal8Bit().constData());
    emit notice(QStringLiteral(u"“%1”%2，%3").arg(name, reason, outcome), detail);
}

bool CReaderSession::HasBook() const {
    return m_book.m_hFile.IsOpen();
}

bool CReaderSession::Recording() const {
    return m_settings.Settings().auto_record == 1 && HasBook();
}

const ReadMarkInfo* CReaderSession::LastReadRecord() const {
    for (const ReadPlace& place : m_places.Places()) {
        for (const ReadMarkInfo& mark : m_history.m_listLocal) {
            if (mark.strFilePath == place.strFilePath) {
                return &mark;
            }
        }
    }
    // No place yet (a history from before places were kept): the newest record.
    return m_history.m_listLocal.empty() ? nullptr : &m_history.m_listLocal.front();
}

const ReadMarkInfo* CReaderSession::FindRecord(const std::string& name,
                                               const std::string& path) const {
    for (const ReadMarkInfo& mark : m_history.m_listLocal) {
        if (mark.strBookName == name && mark.strFilePath == path) {
            return &mark;
        }
    }
    return nullptr;
}

ReadMarkInfo CReaderSession::CurrentMark() const {
    ReadMarkInfo info;
    info.strBookName = WideToAnsi(m_book.m_strName.c_str()).str();
    info.strFilePath = WideToAnsi(m_book.m_strPath.c_str()).str();
    info.nReadPage = m_book.m_nCurPage;
    info.nMarkType = MARK_LOCAL;
    info.nTotalPages = m_book.GetPageCount();
    return info;
}

void CReaderSession::StartChapters() {
    m_pChapters->Start(m_book.m_strPath, m_book.m_layout, GetDataDir());
}

int CReaderSession::Open(const std::u16string& path) {
    // The history keeps full paths, so that a book named relative to some directory is found
    // again from anywhere.
    const std::u16string fullPath =
        path.empty()
            ? path
            : QFileInfo(QString::fromStdU16String(path)).absoluteFilePath().toStdU16String();
    RecordReadState(); // the page the reader leaves, before its book goes
    if (m_placeTimer.isActive()) {
        SavePlace(); // the screen the reader leaves, before its book goes
    }
    // Opening closes the current book even when the new one fails; reopen it then, so that a bad
    // path leaves the book being read as it was.
    const bool hadBook = HasBook();
    const std::u16string previousPath = m_book.m_strPath;
    const std::string previousChoice = m_book.m_strEncodingChoice;
    const int previousPage = m_book.m_nCurPage;
    // The scans read the current book: stop them before it closes.
    m_pChapters->Cancel();
    m_pSearch->Cancel();
    const std::string choice = CEncodingChoice::Canonical(
        CBookChoiceStore(GetDataDir(), CBookChoiceStore::kEncodingFileName).Get(fullPath));
    const int result = m_book.OpenTxt(fullPath, choice);
    if (result != 0) {
        if (hadBook && m_book.OpenTxt(previousPath, previousChoice) == 0) {
            m_book.GotoPage(previousPage);
            StartChapters();
        }
        return result;
    }
    // Back to the recorded page, and to the screen when the place is of that same page.
    m_nOpenedTop = 0;
    const ReadMarkInfo opened = CurrentMark();
    if (const ReadMarkInfo* record = FindRecord(opened.strBookName, opened.strFilePath)) {
        const int page = record->nReadPage;
        if (page != 0) {
            m_book.GotoPage(page);
        }
        const ReadPlace* place = m_places.Find(opened.strFilePath);
        if (place != nullptr && place->nPage == page && m_book.m_nCurPage == page) {
            m_nOpenedTop = place->nOffset;
        }
    }
    m_nTopCharacter = m_nOpenedTop;
    m_strReflow = CBookChoiceStore(GetDataDir(), CBookChoiceStore::kReflowFileName).Get(fullPath);
    m_strScript = CBookChoiceStore(GetDataDir(), CBookChoiceStore::kScriptFileName).Get(fullPath);
    if (!CScriptConverter::FromName(m_strScript)) {
        m_strScript.clear(); // a damaged entry: the default
    }
    ApplyTypesetting();
    StartChapters();
    emit bookOpened();
    return 0;
}

bool CReaderSession::StepPage(int step) {
    if (!HasBook()) {
        return false;
    }
    const bool moved = (step > 0 ? m_book.NextPage() : m_book.PrevPage()) == 0;
    if (moved) {
        m_nTopCharacter = 0;
    }
    return moved;
}

void CReaderSession::GoToPage(int page) {
    if (HasBook()) {
        m_book.GotoPage(page);
        m_nTopCharacter = 0;
    }
}

bool CReaderSession::SetEncodingChoice(const std::string& choice) {
    if (!HasBook() || m_book.SetEncodingChoice(choice) != 0) {
        return false;
    }
    RememberForBook(CBookChoiceStore::kEncodingFileName, choice, "encoding");
    ApplyTypesetting();
    // Headings and phrases are other characters in another encoding: list the chapters anew.
    m_pSearch->Cancel();
    StartChapters();
    return true;
}

void CReaderSession::RememberForBook(const char* fileName, const std::string& choice,
                                     const char* what) {
    if (!CBookChoiceStore(GetDataDir(), fileName).Set(m_book.m_strPath, choice)) {
        LogMessage message;
        LogAppend(message, ("cannot remember the " + std::string(what) + " of the book").c_str());
        CLog::Instance().Write(LOG_ERROR, message);
    }
}

void CReaderSession::ApplyTypesetting() {
    const CScriptConverter::Script script = ScriptInEffect();
    if (script == CScriptConverter::Script::kOriginal) {
        m_pConverter.reset();
    } else if (!m_pConverter || m_pConverterScript != script) {
        // Loading the dictionaries takes a while: once per script chosen.
        m_pConverter = std::make_shared<const CScriptConverter>(script);
        m_pConverterScript = script;
        m_bScriptNoticeGiven = false;
    }
    m_typeset = m_typesetBase;
    if (!HasBook()) {
        m_pCleanUp.reset();
        m_shownPages.Reset(m_typeset, nullptr, m_pConverter);
        return;
    }
    m_pCleanUp = CleanUpRules();
    // Hard wrapping shows in the opening pages; three pages hold enough lines to tell.
    std::u16string opening;
    for (int page = 0; page < 3; ++page) {
        opening += m_book.PaneTextOfPage(page);
    }
    m_nWrapColumns = CTypesetter::DetectWrapColumns(opening);
    m_nLikeliestColumns = CTypesetter::DetectWrapColumns(opening, true);
    m_typeset.reflowColumns = m_strReflow == "off"  ? 0
                              : m_strReflow == "on" ? m_nLikeliestColumns
                                                    : m_nWrapColumns;
    m_shownPages.Reset(m_typeset, m_pCleanUp, m_pConverter);
}

std::shared_ptr<const CReplaceRules> CReaderSession::CleanUpRules() {
    // The file's own problems are told by the chapter index, which reads it too.
    CReplaceRules all;
    CReplaceRuleFile::LoadInto(GetDataDir(), all);
    CReplaceRules rules = all.ForBook(m_book.m_strPath);
    if (!rules.Changes()) {
        return nullptr;
    }
    // Told from the threads that make pages ahead too: the notice goes to the session's own.
    rules.SetProblemFn([this](const std::string& problem) {
        const QString detail = QString::fromStdString(problem);
        QMetaObject::invokeMethod(
            this, [this, detail] { emit notice(QStringLiteral(u"净化规则有误，已跳过"), detail); },
            Qt::QueuedConnection);
    });
    return std::make_shared<const CReplaceRules>(std::move(rules));
}

bool CReaderSession::ReloadCleanUp() {
    if (!HasBook()) {
        return false;
    }
    const std::shared_ptr<const CReplaceRules> rules = CleanUpRules();
    const std::string now = rules ? rules->Identity() : std::string();
    if (now == (m_pCleanUp ? m_pCleanUp->Identity() : std::string())) {
        return false;
    }
    ApplyTypesetting();
    return true;
}

void CReaderSession::SetTypesetting(const TypesetOptions& options) {
    m_typesetBase = options;
    ApplyTypesetting();
}

void CReaderSession::SetReflowChoice(const std::string& choice) {
    if (!HasBook()) {
        return;
    }
    m_strReflow = choice == "on" || choice == "off" ? choice : "";
    RememberForBook(CBookChoiceStore::kReflowFileName, m_strReflow, "re-flow");
    ApplyTypesetting();
}

void CReaderSession::SetDefaultScript(CScriptConverter::Script script) {
    if (script != m_defaultScript) {
        m_defaultScript = script;
        ApplyTypesetting();
    }
}

CScriptConverter::Script CReaderSession::ScriptInEffect() const {
    return CScriptConverter::FromName(m_strScript).value_or(m_defaultScript);
}

void CReaderSession::SetScriptChoice(const std::string& name) {
    if (!HasBook()) {
        return;
    }
    m_strScript = CScriptConverter::FromName(name) ? name : "";
    RememberForBook(CBookChoiceStore::kScriptFileName, m_strScript, "script");
    ApplyTypesetting();
}

std::u16string CReaderSession::ShownTitle(std::u16string_view title) const {
    if (!m_pConverter) {
        return std::u16string(title);
    }
    return m_pConverter->Convert(title);
}

const ShownPage& CReaderSession::ShownText(int page) {
    std::string error;
    const ShownPage& shown = m_shownPages.Page(page, error);
    // Shown as written; the reader hears of it once, not at every page.
    if (!error.empty() && !m_bScriptNoticeGiven) {
        m_bScriptNoticeGiven = true;
        LogMessage message;
        LogAppend(message, "script conversion failed:");
        LogAppend(message, error.c_str());
        CLog::Instance().Write(LOG_ERROR, message);
        emit notice(QStringLiteral(u"繁简转换不可用，显示原文"),
                    QStringLiteral(u"繁简转换不可用（%1），书按原文显示。")
                        .arg(QString::fromStdString(error)));
    }
    return shown;
}

void CReaderSession::ScreenMoved(std::pair<int, int> place) {
    const auto [page, pagePosition] = place;
    if (!HasBook()) {
        return;
    }
    if (page != m_book.m_nCurPage) {
        m_book.GotoPage(page);
        m_nTopCharacter = pagePosition;
        PageShown();
        return;
    }
    if (pagePosition != m_nTopCharacter) {
        ScreenScrolled(pagePosition);
    }
}

void CReaderSession::PageShown() {
    emit stateChanged();
    // Writing two files is slower than the page turn itself: the reader sees the page first.
    // Turns that come faster than the paints share one write.
    if (Recording() && !m_bRecordPending) {
        m_bRecordPending = true;
        QCoreApplication::postEvent(this, new QEvent(kRecordReadStateEvent), kAfterPaintPriority);
    }
}

void CReaderSession::RecordReadState() {
    if (!m_bRecordPending) {
        return;
    }
    m_bRecordPending = false;
    // A record without a book could not be read back from the history file.
    if (Recording()) {
        m_history.AddReadMark(CurrentMark());
        SavePlace();
    }
}

bool CReaderSession::event(QEvent* event) {
    if (event->type() == kRecordReadStateEvent) {
        RecordReadState();
        return true;
    }
    return QObject::event(event);
}

void CReaderSession::ScreenScrolled(int topCharacter) {
    m_nTopCharacter = topCharacter;
    emit progressChanged();
    if (Recording() && !m_placeTimer.isActive()) {
        m_placeTimer.start();
    }
}

void CReaderSession::SavePlace() {
    m_placeTimer.stop();
    if (!Recording()) {
        return;
    }
    m_places.Set({CurrentMark().strFilePath, m_book.m_nCurPage, m_nTopCharacter});
    emit placeSaved();
}

double CReaderSession::ReadPercent(int characters) const {
    const std::uint64_t size = m_book.m_nFileSize;
    if (!HasBook() || size == 0) {
        return -1;
    }
    // The page's nominal bytes, shared out evenly over its characters: exact at the page's
    // start, and off by less than a page's cut inside it.
    const std::uint64_t pageSize = std::uint64_t(m_book.m_nPageSize);
    const std::uint64_t start = std::uint64_t(m_book.m_nCurPage) * pageSize;
    const std::uint64_t end = std::min(start + pageSize, size);
    const double within = characters > 0 ? double(m_nTopCharacter) / double(characters) : 0.0;
    const double byte = double(std::min(start, size)) + within * double(end - std::min(start, end));
    return std::clamp(byte * 100.0 / double(size), 0.0, 100.0);
}

int CReaderSession::PaneCharacters() const {
    const std::u16string& text = m_book.m_strText;
    int characters = int(text.size());
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] == u'\r' && text[i + 1] == u'\n') {
            --characters;
        }
    }
    return characters;
}
