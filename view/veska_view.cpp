#include "view/veska_view.h"

#include "app/main_frame.h"
#include "app/modal_hook.h"
#include "diag/log.h"
#include "platform/decimal_text.h"
#include "platform/paths.h"
#include "platform/text_line_reader.h"
#include "res/resource.h"
#include "settings/book_encoding_store.h"
#include "text/chapter_cache.h"
#include "text/encoding_choice.h"
#include "text/text_convert.h"
#include "view/book_scan_worker.h"
#include "view/chapter_list_dlg.h"
#include "view/find_bar.h"
#include "view/goto_page_dlg.h"
#include "view/txt_rich_edit.h"

#include <QActionGroup>
#include <QClipboard>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QResizeEvent>
#include <QScrollBar>
#include <QStatusBar>
#include <QTextCursor>
#include <QUrl>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

namespace {

constexpr char16_t kDefaultFace[] = u"微软雅黑";
// Scrolling saves the place this long after it starts, so auto-scroll writes it now and then.
constexpr int kPlaceSaveDelayMs = 2000;

// The face the reading preferences ask for; the reader's own when they name none.
std::u16string FaceOf(const ReadingPrefs& prefs) {
    return prefs.font_face.empty() ? std::u16string(kDefaultFace)
                                   : QString::fromStdString(prefs.font_face).toStdU16String();
}

} // namespace

CVeskaView::CVeskaView(CMainFrame* frame, QWidget* parent)
    : QWidget(parent), m_pMainFrame(frame), m_pChapterWorker(new CBookScanWorker(this)),
      m_pFindWorker(new CBookScanWorker(this)), m_pFindBar(new CFindBar(this)) {
    setObjectName(QStringLiteral("readerView"));
    setAcceptDrops(true);
    connect(m_pChapterWorker, &CBookScanWorker::progress, this, [this](int percent) {
        m_nChapterProgress = percent;
        if (m_pChapterDlg != nullptr) {
            m_pChapterDlg->SetProgress(percent);
        }
    });
    connect(m_pFindWorker, &CBookScanWorker::progress, this, [this](int percent) {
        m_pFindBar->SetStatus(QStringLiteral(u"正在查找… %1%  (Esc 停止)").arg(percent));
    });
    connect(m_pFindBar, &CFindBar::findNext, this, [this] { FindNext(true); });
    connect(m_pFindBar, &CFindBar::findPrevious, this, [this] { FindNext(false); });
    connect(m_pFindBar, &CFindBar::escapePressed, this, &CVeskaView::OnEscape);
    m_optionDlg.m_onReadingChanged = [this] { ApplyReadingPrefs(); };
    m_placeTimer.setSingleShot(true);
    m_placeTimer.setInterval(kPlaceSaveDelayMs);
    connect(&m_placeTimer, &QTimer::timeout, this, &CVeskaView::SavePlace);
}

// The workers stop and join here, before the book they read is closed.
CVeskaView::~CVeskaView() {
    CancelScans();
    RecordReadState();
    if (m_placeTimer.isActive()) {
        SavePlace(); // the pane is still there: children go after this body
    }
}

void CVeskaView::OnInitialUpdate() {
    m_history.Load();
    m_places.Load();

    m_pTxtEdit = new CTxtRichEdit(this, this);
    m_pTxtEdit->setGeometry(rect());
    m_pTxtEdit->show();

    const ReaderSettings settings = m_optionDlg.m_settings;
    const ReadingPrefs& prefs = m_optionDlg.m_prefs;
    m_pTxtEdit->SetPageMargins(prefs.margin_left, prefs.margin_right, prefs.line_chars);
    m_pTxtEdit->SetTextFont(FaceOf(prefs), settings.font_height);
    m_pTxtEdit->SetTextColor(unsigned(settings.font_color));
    m_pTxtEdit->SetBackColor(unsigned(settings.back_color));
    m_pTxtEdit->SetRowDis(settings.font_row_dis);

    m_pMainFrame->ApplyNightPalette(prefs.night != 0);

    m_pTxtEdit->SetPaneText(GetWelcomeText());
    m_pTxtEdit->setFocus(); // the reader keys go to the pane
    // The chapter on screen can change with every scroll inside the page.
    connect(m_pTxtEdit->verticalScrollBar(), &QScrollBar::valueChanged, this,
            &CVeskaView::UpdateChapterStatus);
    // A page step records its state before the pane shows the new page: look again once it does.
    connect(m_pTxtEdit, &QTextEdit::textChanged, this, &CVeskaView::UpdateChapterStatus,
            Qt::QueuedConnection);
    m_pMainFrame->setWindowTitle(
        QString::fromStdU16String(AnsiToWide(settings.title_name.c_str()).str()));
    m_bAutoScrollRunning = 1;
    ReportLoadedFiles();

    // Start where the reader stopped; the welcome text stays when that book no longer opens.
    if (const ReadMarkInfo* last = LastReadRecord()) {
        const std::string path = last->strFilePath;
        OpenBook(AnsiToWide(path.c_str()).str());
    }
}

void CVeskaView::ReportLoadedFiles() {
    if (m_optionDlg.m_nRefusedErrno != 0) {
        ReportRefusedFile(ConfigFilePath(m_optionDlg.m_strConfigDir), m_optionDlg.m_nRefusedErrno,
                          QStringLiteral(u"使用默认设置"),
                          QStringLiteral(u"本次使用默认设置，不保存设置"));
    }
    const CReaderHistory& history = m_history;
    if (history.m_nRefusedErrno != 0) {
        ReportRefusedFile(history.m_strDir + "/read_history.dat", history.m_nRefusedErrno,
                          QStringLiteral(u"没有阅读记录"),
                          QStringLiteral(u"本次没有阅读记录，也不保存阅读记录"));
    } else if (!history.m_strSetAside.empty()) {
        const QString setAside =
            QString::fromStdU16String(AnsiToWide(history.m_strSetAside.c_str()).str());
        const QString notice = QStringLiteral(u"阅读记录过多，原文件另存为“%1”").arg(setAside);
        const QString detail =
            QStringLiteral(u"阅读记录有%1条，只保留最近的记录；原文件已另存为“%2”")
                .arg(history.m_nFileRecords)
                .arg(QString::fromStdU16String(
                    AnsiToWide((history.m_strDir + "/" + history.m_strSetAside).c_str()).str()));
        LogMessage message;
        LogAppend(message, "History set aside:");
        LogAppend(message, (history.m_strDir + "/" + history.m_strSetAside).c_str());
        CLog::Instance().Write(LOG_INFO, message);
        m_pMainFrame->ShowNotice(notice, detail);
    }
}

void CVeskaView::ReportRefusedFile(const std::string& path, int err, const QString& outcome,
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
    m_pMainFrame->ShowNotice(QStringLiteral(u"“%1”%2，%3").arg(name, reason, outcome), detail);
}

const ReadMarkInfo* CVeskaView::LastReadRecord() const {
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

const ReadMarkInfo* CVeskaView::FindRecord(const std::string& name, const std::string& path) const {
    for (const ReadMarkInfo& mark : m_history.m_listLocal) {
        if (mark.strBookName == name && mark.strFilePath == path) {
            return &mark;
        }
    }
    return nullptr;
}

bool CVeskaView::OnCommand(int id) {
    switch (id) {
    case ID_FILE_OPEN:
        OnFileOpen();
        return true;
    case ID_OPTION_MENU:
        OnOption();
        return true;
    case ID_FONT_BIGGER:
        OnFontBigger();
        return true;
    case ID_FONT_SMALLER:
        OnFontSmaller();
        return true;
    case ID_ROW_DIS_BIGGER:
        OnRowDisBigger();
        return true;
    case ID_ROW_DIS_SMALLER:
        OnRowDisSmaller();
        return true;
    case ID_NEXT_PAGE:
        OnNextPage();
        return true;
    case ID_PREV_PAGE:
        OnPrevPage();
        return true;
    case ID_NEXT_SCREEN:
        OnNextScreen();
        return true;
    case ID_PREV_SCREEN:
        OnPrevScreen();
        return true;
    case ID_GOTO_PAGE:
        OnGotoPage();
        return true;
    case ID_AUTO_SCROLL:
        OnAutoScroll();
        return true;
    case ID_CHAPTER_LIST:
        OnChapterList();
        return true;
    case ID_PREV_CHAPTER:
        OnPrevChapter();
        return true;
    case ID_NEXT_CHAPTER:
        OnNextChapter();
        return true;
    case ID_FIND:
        OnFind();
        return true;
    case ID_FIND_NEXT:
        FindNext(true);
        return true;
    case ID_FIND_PREV:
        FindNext(false);
        return true;
    case ID_EDIT_COPY_COMMAND:
        OnEditCopy();
        return true;
    default:
        return false;
    }
}

const std::u16string& CVeskaView::GetWelcomeText() {
    static const std::u16string text = [] {
        const std::u16string rule(54, u'-');
        std::u16string s;
        s += rule + u"\n";
        s += u"Veska---Veska\n";
        s += std::u16string(27, u' ') + u"版本v1.0.0" + u"\n";
        s += rule + u"\n";
        s += u"功能：\n";
        s += u"1.快速打开TXT大文件；\n";
        s += u"2.自动生成标签，阅读更舒服\n";
        s += u"3.自动分页，自动跳转\n";
        s += u"4.支持直接拖拽TXT文件到窗口，即可打开；\n";
        s += u"5.完全自定义设置字体，行距，颜色等参数，并自动保存最后的设置方案和上次的进度；\n";
        s += u"6.支持9个书签的增加，删除，和5个最近文件夹的记录；\n";
        s += u"7.提示信息：文章汉字数，日期等。\n";
        s += std::u16string(73, u'-') + u"\n";
        s += u"欢迎反馈意见，以便更好的完善软件\n";
        return s;
    }();
    return text;
}

void CVeskaView::OnFileOpen() {
    QFileDialog dialog(this);
    // Qt's own dialog matches the filter without regard to case, so "*.txt" also lists
    // NOVEL.TXT; a native dialog could not be answered by tests.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilter(QStringLiteral(u"txt文件 (*.txt)"));
    // Books of one novel series sit together: start in the folder of the book read last.
    std::u16string lastPath = m_resourceData.m_strPath;
    if (!HasBook()) {
        const ReadMarkInfo* last = LastReadRecord();
        lastPath = last != nullptr ? AnsiToWide(last->strFilePath.c_str()).str() : u"";
    }
    const QString folder = QFileInfo(QString::fromStdU16String(lastPath)).absolutePath();
    if (!lastPath.empty() && QFileInfo(folder).isDir()) {
        dialog.setDirectory(folder);
    }
    if (RunModal(dialog) != QDialog::Accepted) {
        return;
    }
    const QStringList files = dialog.selectedFiles();
    if (!files.isEmpty() && !files.first().isEmpty()) {
        OpenBook(files.first().toStdU16String());
    }
}

int CVeskaView::OpenBook(const std::u16string& path) {
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
    const std::u16string previousPath = m_resourceData.m_strPath;
    const std::string previousChoice = m_resourceData.m_strEncodingChoice;
    const int previousPage = m_resourceData.m_nCurPage;
    // The scans read the current book: stop them before it closes.
    CancelScans();
    const std::string choice =
        CEncodingChoice::Canonical(CBookEncodingStore(GetDataDir()).Get(fullPath));
    const int result = m_resourceData.OpenTxt(fullPath, choice);
    if (result != 0) {
        if (hadBook && m_resourceData.OpenTxt(previousPath, previousChoice) == 0) {
            m_resourceData.GotoPage(previousPage);
            StartChapterScan();
        }
        return result;
    }
    // Back to the recorded page, and to the screen when the place is of that same page.
    int offset = 0;
    const ReadMarkInfo opened = m_resourceData.GetReadMarkInfo();
    if (const ReadMarkInfo* record = FindRecord(opened.strBookName, opened.strFilePath)) {
        const int page = record->nReadPage;
        if (page != 0) {
            m_resourceData.GotoPage(page);
        }
        const ReadPlace* place = m_places.Find(opened.strFilePath);
        if (place != nullptr && place->nPage == page && m_resourceData.m_nCurPage == page) {
            offset = place->nOffset;
        }
    }
    if (m_pTxtEdit != nullptr) {
        m_pTxtEdit->SetPaneText(m_resourceData.m_strText);
        if (offset > 0) {
            m_pTxtEdit->ScrollToCharacter(offset);
        }
    }
    StartChapterScan();
    UpdateReadState();
    RecordReadState(); // a book just opened is in the history at once
    return 0;
}

void CVeskaView::GotoPage(int index) {
    if (!HasBook()) {
        // Nothing to show: keep the welcome text, refresh the status as any page step does.
        UpdateReadState();
        return;
    }
    m_resourceData.GotoPage(index);
    if (m_pTxtEdit != nullptr) {
        m_pTxtEdit->SetPaneText(m_resourceData.m_strText);
    }
    UpdateReadState();
}

QMenu* CVeskaView::EncodingMenu() {
    if (m_pEncodingMenu != nullptr) {
        return m_pEncodingMenu;
    }
    m_pEncodingMenu = new QMenu(this);
    m_pEncodingMenu->setObjectName(QStringLiteral("encodingMenu"));
    auto* group = new QActionGroup(m_pEncodingMenu);
    const auto addChoice = [this, group](const QString& text, const std::string& choice) {
        QAction* action = m_pEncodingMenu->addAction(text);
        action->setCheckable(true);
        action->setData(QString::fromStdString(choice));
        group->addAction(action);
        connect(action, &QAction::triggered, this, [this, choice] { OnEncodingChoice(choice); });
    };
    addChoice(QStringLiteral(u"自动检测"), std::string(CEncodingChoice::kAutomatic));
    m_pEncodingMenu->addSeparator();
    for (const std::string& name : CEncodingChoice::Names()) {
        addChoice(QString::fromStdString(name), name);
    }
    connect(m_pEncodingMenu, &QMenu::aboutToShow, this, &CVeskaView::UpdateEncodingMenu);
    UpdateEncodingMenu();
    return m_pEncodingMenu;
}

void CVeskaView::UpdateEncodingMenu() {
    const QString current = QString::fromStdString(m_resourceData.m_strEncodingChoice);
    for (QAction* action : m_pEncodingMenu->actions()) {
        if (!action->isSeparator()) {
            action->setEnabled(HasBook());
            action->setChecked(HasBook() && action->data().toString() == current);
        }
    }
}

void CVeskaView::OnEncodingChoice(const std::string& choice) {
    if (!HasBook() || m_resourceData.SetEncodingChoice(choice) != 0) {
        return;
    }
    if (!CBookEncodingStore(GetDataDir()).Set(m_resourceData.m_strPath, choice)) {
        LogMessage message;
        LogAppend(message, "cannot remember the encoding of the book");
        CLog::Instance().Write(LOG_ERROR, message);
    }
    if (m_pTxtEdit != nullptr) {
        m_pTxtEdit->ReplacePaneTextInPlace(m_resourceData.m_strText);
    }
    if (m_pEncodingMenu != nullptr) {
        UpdateEncodingMenu();
    }
    m_pMainFrame->UpdateStatusBar();
    // Headings and phrases are other characters in another encoding: list the chapters anew.
    CancelScans();
    StartChapterScan();
    UpdateChapterStatus();
}

bool CVeskaView::HasBook() const {
    return m_resourceData.m_hFile.IsOpen();
}

namespace {
// Posted below the priority of the window's paint request, so it is delivered after the paint.
const QEvent::Type kRecordReadStateEvent = QEvent::Type(QEvent::registerEventType());
constexpr int kAfterPaintPriority = Qt::LowEventPriority - 1;
} // namespace

void CVeskaView::UpdateReadState() {
    m_pMainFrame->UpdateStatusBar();
    UpdateChapterStatus();
    // Writing two files is slower than the page turn itself: the reader sees the page first.
    // Turns that come faster than the paints share one write.
    if (m_optionDlg.m_settings.auto_record == 1 && HasBook() && !m_bRecordPending) {
        m_bRecordPending = true;
        QCoreApplication::postEvent(this, new QEvent(kRecordReadStateEvent), kAfterPaintPriority);
    }
}

void CVeskaView::RecordReadState() {
    if (!m_bRecordPending) {
        return;
    }
    m_bRecordPending = false;
    // A record without a book could not be read back from the history file.
    if (m_optionDlg.m_settings.auto_record == 1 && HasBook()) {
        m_history.AddReadMark(m_resourceData.GetReadMarkInfo());
        SavePlace();
    }
}

bool CVeskaView::event(QEvent* event) {
    if (event->type() == kRecordReadStateEvent) {
        RecordReadState();
        return true;
    }
    return QWidget::event(event);
}

void CVeskaView::OnPaneScrolled() {
    m_pMainFrame->UpdateProgress();
    if (m_optionDlg.m_settings.auto_record == 1 && HasBook() && !m_placeTimer.isActive()) {
        m_placeTimer.start();
    }
}

void CVeskaView::SavePlace() {
    m_placeTimer.stop();
    if (m_optionDlg.m_settings.auto_record != 1 || !HasBook() || m_pTxtEdit == nullptr) {
        return;
    }
    m_places.Set({m_resourceData.GetReadMarkInfo().strFilePath, m_resourceData.m_nCurPage,
                  m_pTxtEdit->TopCharacter()});
}

double CVeskaView::ReadPercent() const {
    const std::uint64_t size = m_resourceData.m_nFileSize;
    if (!HasBook() || size == 0 || m_pTxtEdit == nullptr) {
        return -1;
    }
    // The page's nominal bytes, shared out evenly over its characters: exact at the page's
    // start, and off by less than a page's cut inside it.
    const std::uint64_t pageSize = std::uint64_t(m_resourceData.m_nPageSize);
    const std::uint64_t start = std::uint64_t(m_resourceData.m_nCurPage) * pageSize;
    const std::uint64_t end = std::min(start + pageSize, size);
    const int characters = m_pTxtEdit->document()->characterCount() - 1;
    const double within =
        characters > 0 ? double(m_pTxtEdit->TopCharacter()) / double(characters) : 0.0;
    const double byte = double(std::min(start, size)) + within * double(end - std::min(start, end));
    return std::clamp(byte * 100.0 / double(size), 0.0, 100.0);
}

void CVeskaView::OnEditCopy() {
    if (m_pTxtEdit == nullptr) {
        return;
    }
    const QString text = m_pTxtEdit->SelectedText();
    if (!text.isEmpty()) {
        QGuiApplication::clipboard()->setText(text);
    }
}

void CVeskaView::ToggleAutoScrollPause() {
    if (m_optionDlg.m_settings.auto_click == 1) {
        m_bAutoScrollRunning = m_bAutoScrollRunning ? 0 : 1;
    }
}

void CVeskaView::OnFontBigger() {
    ReaderSettings& settings = m_optionDlg.m_settings;
    settings.font_height = StepSetting(settings.font_height, 1, kFontHeightRange);
    m_pTxtEdit->SetTextFont(m_pTxtEdit->FaceName(), settings.font_height);
    m_optionDlg.SaveSettings();
}

void CVeskaView::OnFontSmaller() {
    ReaderSettings& settings = m_optionDlg.m_settings;
    settings.font_height = StepSetting(settings.font_height, -1, kFontHeightRange);
    m_pTxtEdit->SetTextFont(m_pTxtEdit->FaceName(), settings.font_height);
    m_optionDlg.SaveSettings();
}

void CVeskaView::OnRowDisBigger() {
    ReaderSettings& settings = m_optionDlg.m_settings;
    settings.font_row_dis = StepSetting(settings.font_row_dis, 1, kRowDisRange);
    m_pTxtEdit->SetRowDis(settings.font_row_dis);
    m_optionDlg.SaveSettings();
}

void CVeskaView::OnRowDisSmaller() {
    ReaderSettings& settings = m_optionDlg.m_settings;
    settings.font_row_dis = StepSetting(settings.font_row_dis, -1, kRowDisRange);
    m_pTxtEdit->SetRowDis(settings.font_row_dis);
    m_optionDlg.SaveSettings();
}

void CVeskaView::OnNextPage() {
    m_pTxtEdit->OnKeyDown(VK_RIGHT, 0, 0);
}

void CVeskaView::OnPrevPage() {
    m_pTxtEdit->OnKeyDown(VK_LEFT, 0, 0);
}

void CVeskaView::OnNextScreen() {
    m_pTxtEdit->OnKeyDown(VK_SPACE, 0, 0);
}

void CVeskaView::OnPrevScreen() {
    m_pTxtEdit->PrevScreen();
}

void CVeskaView::OnGotoPage() {
    const int total = m_resourceData.GetPageCount();
    CGoToPageDlg dialog(m_resourceData.m_nCurPage + 1, total, this);
    if (dialog.DoModal() != 1) {
        return;
    }
    int page = DecimalTextToInt(dialog.m_strPage);
    if (page < 1) {
        page = 1;
    } else if (page > total) {
        page = total;
    }
    GotoPage(std::max(0, page - 1));
}

void CVeskaView::OnAutoScroll() {
    ReaderSettings& settings = m_optionDlg.m_settings;
    settings.auto_read = settings.auto_read != 1 ? 1 : 0;
    m_bAutoScrollRunning = 1;
    m_optionDlg.SaveSettings();
    m_pMainFrame->UpdateCommandUI();
}

bool CVeskaView::OnUpdateAutoScroll() const {
    return m_optionDlg.m_settings.auto_read != 0;
}

void CVeskaView::OnOption() {
    if (m_optionDlg.DoModal(this) != 1) {
        return;
    }
    const ReaderSettings& settings = m_optionDlg.m_settings;
    m_pTxtEdit->SetTextFont(m_pTxtEdit->FaceName(), settings.font_height);
    m_pTxtEdit->SetTextColor(unsigned(settings.font_color));
    m_pTxtEdit->SetBackColor(unsigned(settings.back_color));
    m_pTxtEdit->viewport()->update();
    m_pMainFrame->UpdateCommandUI();
}

void CVeskaView::ApplyReadingPrefs() {
    if (m_pTxtEdit == nullptr) {
        return;
    }
    const ReadingPrefs& prefs = m_optionDlg.m_prefs;
    const ReaderSettings& settings = m_optionDlg.m_settings;
    const int top = m_pTxtEdit->TopCharacter();
    const std::u16string face = FaceOf(prefs);
    if (face != m_pTxtEdit->FaceName()) {
        m_pTxtEdit->SetTextFont(face, settings.font_height);
    }
    m_pTxtEdit->SetPageMargins(prefs.margin_left, prefs.margin_right, prefs.line_chars);
    m_pTxtEdit->SetTextColor(unsigned(settings.font_color));
    m_pTxtEdit->SetBackColor(unsigned(settings.back_color));
    m_pMainFrame->ApplyNightPalette(prefs.night != 0);
    m_pTxtEdit->ScrollToCharacter(top);
}

void CVeskaView::OnDropFiles(const QStringList& paths) {
    QString last;
    for (const QString& path : paths) {
        last = path;
    }
    if (!last.isEmpty()) {
        OpenBook(last.toStdU16String());
    }
}

void CVeskaView::OnKeyDown(unsigned nChar, unsigned nRepCnt, unsigned nFlags) {
    if (nChar == VK_ESCAPE) {
        OnEscape();
        return;
    }
    if (m_pTxtEdit != nullptr) {
        m_pTxtEdit->OnKeyDown(nChar, nRepCnt, nFlags);
    }
}

void CVeskaView::OnSize() {
    // The find bar, when open, takes its height at the bottom.
    const int barHeight = m_pFindBar->isVisible() ? m_pFindBar->sizeHint().height() : 0;
    m_pFindBar->setGeometry(0, height() - barHeight, width(), barHeight);
    if (m_pTxtEdit != nullptr) {
        m_pTxtEdit->setGeometry(0, 0, width(), height() - barHeight);
    }
}

void CVeskaView::keyPressEvent(QKeyEvent* event) {
    const unsigned key = CTxtRichEdit::VirtualKeyOf(event->key());
    if (key == 0) {
        QWidget::keyPressEvent(event);
        return;
    }
    OnKeyDown(key, unsigned(std::max(1, event->count())), 0);
    event->accept();
}

void CVeskaView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    OnSize();
}

void CVeskaView::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) {
        event->acceptProposedAction();
    }
}

void CVeskaView::dragMoveEvent(QDragMoveEvent* event) {
    if (event->mimeData()->hasUrls()) {
        event->acceptProposedAction();
    }
}

void CVeskaView::dropEvent(QDropEvent* event) {
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls()) {
        paths << url.toLocalFile();
    }
    OnDropFiles(paths);
    event->acceptProposedAction();
}

// ---- chapters -----------------------------------------------------------------------------------

void CVeskaView::CancelScans() {
    m_pChapterWorker->Cancel();
    m_pFindWorker->Cancel();
}

void CVeskaView::StartChapterScan() {
    m_chapters.clear();
    m_bChaptersComplete = false;
    m_nChapterProgress = 0;
    m_lastFound.reset();
    const std::u16string path = m_resourceData.m_strPath;
    const CCodePageLayout layout = m_resourceData.m_layout;
    const std::string dataDir = GetDataDir();
    if (auto cached = CChapterCache(dataDir).Load(path, layout)) {
        m_chapters = std::move(*cached);
        m_bChaptersComplete = true;
        m_nChapterProgress = 100;
        return;
    }
    // The state of the file before the scan reads it: a change during the scan makes the saved
    // list stale rather than wrong.
    const std::optional<CChapterCache::Stamp> stamp = CChapterCache::StampOf(path);
    CBookScanWorker* worker = m_pChapterWorker;
    worker->Start(path, layout,
                  [this, worker, path, layout, dataDir, stamp](CBookScanner& scanner) {
                      using Clock = std::chrono::steady_clock;
                      std::vector<ScanHit> all;
                      std::vector<ScanHit> batch;
                      auto lastPost = Clock::now();
                      const auto post = [&] {
                          worker->Post([this, batch = std::move(batch)]() mutable {
                              AddChapters(std::move(batch));
                          });
                          batch.clear();
                          lastPost = Clock::now();
                      };
                      const bool done = scanner.ScanChapters([&](const ScanHit& hit) {
                          all.push_back(hit);
                          batch.push_back(hit);
                          // The list fills as the scan goes, in steps the window can take in.
                          if (batch.size() >= 512 ||
                              Clock::now() - lastPost > std::chrono::milliseconds(100)) {
                              post();
                          }
                          return true;
                      });
                      if (!done) {
                          return;
                      }
                      post();
                      if (stamp) {
                          CChapterCache(dataDir).Save(path, layout, *stamp, all);
                      }
                      worker->Post([this] {
                          m_bChaptersComplete = true;
                          m_nChapterProgress = 100;
                          if (m_pChapterDlg != nullptr) {
                              m_pChapterDlg->SetProgress(100);
                          }
                      });
                  });
}

void CVeskaView::AddChapters(std::vector<ScanHit> chapters) {
    if (m_pChapterDlg != nullptr) {
        m_pChapterDlg->AddChapters(chapters);
    }
    m_chapters.insert(m_chapters.end(), std::make_move_iterator(chapters.begin()),
                      std::make_move_iterator(chapters.end()));
    UpdateChapterStatus();
}

int CVeskaView::TextPositionOf(std::uint64_t offset) const {
    return int(m_resourceData.TextPositionOf(m_resourceData.m_nCurPage, offset));
}

int CVeskaView::CurrentChapter() const {
    if (!HasBook() || m_pTxtEdit == nullptr || m_chapters.empty()) {
        return -1;
    }
    const int page = m_resourceData.m_nCurPage;
    auto after = std::upper_bound(m_chapters.begin(), m_chapters.end(), page,
                                  [](int p, const ScanHit& hit) { return p < hit.page; });
    int index = int(after - m_chapters.begin()) - 1;
    // Headings on this page count once the screen or the reading line has reached them (at the
    // end of a page the heading may not scroll up to the top).
    const int line = std::max(m_pTxtEdit->GetFirstVisibleLine(), m_pTxtEdit->CurrentLine());
    const int nextLine = m_pTxtEdit->LineIndex(line + 1);
    while (index >= 0 && m_chapters[std::size_t(index)].page == page && nextLine >= 0 &&
           TextPositionOf(m_chapters[std::size_t(index)].offset) >= nextLine) {
        --index;
    }
    return index;
}

void CVeskaView::UpdateChapterStatus() {
    const int current = CurrentChapter();
    m_pMainFrame->SetChapterStatus(
        current >= 0 ? QString::fromStdU16String(m_chapters[std::size_t(current)].text)
                     : QString());
}

void CVeskaView::GotoChapter(int index) {
    if (index < 0 || std::size_t(index) >= m_chapters.size() || m_pTxtEdit == nullptr) {
        return;
    }
    const ScanHit& chapter = m_chapters[std::size_t(index)];
    GotoPage(chapter.page);
    // The heading's display line first on screen, marked as the reading line.
    const int line = m_pTxtEdit->LineFromChar(TextPositionOf(chapter.offset));
    m_pTxtEdit->SelectLine(line);
    QTextCursor cursor(m_pTxtEdit->document());
    cursor.setPosition(m_pTxtEdit->LineIndex(line));
    QScrollBar* bar = m_pTxtEdit->verticalScrollBar();
    bar->setValue(bar->value() + m_pTxtEdit->cursorRect(cursor).top());
    UpdateChapterStatus();
}

void CVeskaView::OnChapterList() {
    if (!HasBook()) {
        return;
    }
    CChapterListDlg dialog(m_chapters, CurrentChapter(), this);
    dialog.SetProgress(m_bChaptersComplete ? 100 : m_nChapterProgress);
    m_pChapterDlg = &dialog;
    const int result = RunModal(dialog);
    m_pChapterDlg = nullptr;
    if (result == QDialog::Accepted) {
        GotoChapter(dialog.Selected());
    }
}

void CVeskaView::OnPrevChapter() {
    const int current = CurrentChapter();
    if (current > 0) {
        GotoChapter(current - 1);
    }
}

void CVeskaView::OnNextChapter() {
    GotoChapter(CurrentChapter() + 1);
}

// ---- search -------------------------------------------------------------------------------------

void CVeskaView::OnFind() {
    m_pFindBar->Open();
    OnSize();
}

bool CVeskaView::IsFindRunning() const {
    return m_pFindWorker->IsRunning();
}

void CVeskaView::OnEscape() {
    if (IsFindRunning()) {
        m_pFindWorker->Cancel();
        m_pFindBar->SetStatus(QStringLiteral(u"已停止查找"));
        return;
    }
    if (m_pFindBar->isVisible()) {
        m_pFindBar->hide();
        OnSize();
        if (m_pTxtEdit != nullptr) {
            m_pTxtEdit->setFocus();
        }
        return;
    }
    m_pMainFrame->OnEscape(); // full screen first, then the window
}

void CVeskaView::FindNext(bool forward) {
    const std::u16string text = m_pFindBar->Text().toStdU16String();
    if (!m_pFindBar->isVisible() || text.empty()) {
        OnFind();
        if (text.empty()) {
            return;
        }
    }
    if (!HasBook() || m_pTxtEdit == nullptr) {
        return;
    }
    // Go on from the occurrence found last while it is still on this page; otherwise start
    // from the top of the screen.
    const int page = m_resourceData.m_nCurPage;
    std::optional<ScanHit> last;
    if (m_lastFound && m_strLastFind == text && m_lastFound->page == page) {
        last = m_lastFound;
    }
    m_strLastFind = text;
    const std::uint64_t pageStart = m_resourceData.PageStartOffset(page);
    const std::uint64_t pageEnd = m_resourceData.PageStartOffset(page + 1);
    const std::size_t screenTop =
        std::size_t(std::max(0, m_pTxtEdit->LineIndex(m_pTxtEdit->GetFirstVisibleLine())));
    m_pFindBar->SetStatus(QStringLiteral(u"正在查找…"));
    CBookScanWorker* worker = m_pFindWorker;
    worker->Start(
        m_resourceData.m_strPath, m_resourceData.m_layout,
        [this, worker, text, forward, last, page, pageStart, pageEnd,
         screenTop](CBookScanner& scanner) {
            const auto beforeScreen = [&](const ScanHit& hit) {
                return hit.page == page &&
                       scanner.Book().TextPositionOf(page, hit.offset) < screenTop;
            };
            std::optional<ScanHit> found;
            bool wrapped = false;
            const auto first = [&](const ScanHit& hit) {
                found = hit;
                return false;
            };
            if (forward) {
                const std::uint64_t from = last ? last->offset + last->length : pageStart;
                if (!scanner.Find(text, from, scanner.Size(), false, [&](const ScanHit& hit) {
                        return !last && beforeScreen(hit) ? true : first(hit);
                    })) {
                    return;
                }
                if (!found) {
                    wrapped = true;
                    if (!scanner.Find(text, 0, scanner.Size(), false, first)) {
                        return;
                    }
                }
            } else {
                if (last) {
                    found = scanner.FindLast(text, last->offset);
                } else {
                    // Occurrences above the screen on this page come first.
                    if (!scanner.Find(text, pageStart, pageEnd, false, [&](const ScanHit& hit) {
                            if (beforeScreen(hit)) {
                                found = hit;
                            }
                            return true;
                        })) {
                        return;
                    }
                    if (!found) {
                        found = scanner.FindLast(text, pageStart);
                    }
                }
                if (!found) {
                    wrapped = true;
                    found = scanner.FindLast(text, scanner.Size());
                }
            }
            worker->Post([this, found, wrapped, forward] { ShowFound(found, wrapped, forward); });
        });
}

void CVeskaView::ShowFound(const std::optional<ScanHit>& found, bool wrapped, bool forward) {
    if (!found) {
        m_pFindBar->SetStatus(
            QStringLiteral(u"找不到“%1”").arg(QString::fromStdU16String(m_strLastFind)));
        return;
    }
    m_lastFound = found;
    const QString wrapNote = forward ? QStringLiteral(u"已到达书末，从书首继续查找")
                                     : QStringLiteral(u"已到达书首，从书末继续查找");
    m_pFindBar->SetStatus(wrapped ? wrapNote : QString());
    if (wrapped) {
        m_pMainFrame->statusBar()->showMessage(wrapNote, 5000);
    }
    if (found->page != m_resourceData.m_nCurPage) {
        GotoPage(found->page);
    }
    // The occurrence selected and scrolled into view; the keyboard stays in the find field.
    const int start = TextPositionOf(found->offset);
    QTextCursor cursor(m_pTxtEdit->document());
    cursor.setPosition(start);
    cursor.setPosition(
        std::min(start + int(m_strLastFind.size()), m_pTxtEdit->document()->characterCount() - 1),
        QTextCursor::KeepAnchor);
    m_pTxtEdit->setTextCursor(cursor);
    m_pTxtEdit->ensureCursorVisible();
    UpdateChapterStatus();
}
