#include "view/veska_view.h"

#include "dialogs/chapter_list_dlg.h"
#include "dialogs/goto_page_dlg.h"
#include "dialogs/option_dlg.h"
#include "dialogs/read_mark_dlg.h"
#include "dialogs/rules_dlg.h"
#include "platform/decimal_text.h"
#include "platform/paths.h"
#include "reader/chapter_index.h"
#include "reader/reader_session.h"
#include "res/resource.h"
#include "text/text_convert.h"
#include "view/encoding_menu.h"
#include "view/find_bar.h"
#include "view/key_table.h"
#include "view/pane_book.h"
#include "view/script_menu.h"
#include "view/txt_rich_edit.h"
#include "widgets/book_file_dialog.h"
#include "widgets/modal_hook.h"

#include <QClipboard>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QResizeEvent>
#include <QScrollBar>
#include <QTextCursor>
#include <QUrl>

#include <algorithm>

namespace {

constexpr char16_t kDefaultFace[] = u"微软雅黑";

// The face the reading preferences ask for; the reader's own when they name none.
std::u16string FaceOf(const ReadingPrefs& prefs) {
    return prefs.font_face.empty() ? std::u16string(kDefaultFace)
                                   : QString::fromStdString(prefs.font_face).toStdU16String();
}

} // namespace

CVeskaView::CVeskaView(QWidget* parent)
    : QWidget(parent), m_settings(GetDataDir()),
      m_pSession(std::make_unique<CReaderSession>(m_settings)), m_pFindBar(new CFindBar(this)) {
    setObjectName(QStringLiteral("readerView"));
    setAcceptDrops(true);
    CReaderSession* session = m_pSession.get();
    connect(session, &CReaderSession::notice, this, &CVeskaView::notice);
    connect(session, &CReaderSession::stateChanged, this, &CVeskaView::stateChanged);
    connect(session, &CReaderSession::progressChanged, this, &CVeskaView::progressChanged);
    CChapterIndex* chapters = &session->Chapters();
    connect(chapters, &CChapterIndex::progress, this, [this](int percent) {
        if (m_pChapterDlg != nullptr) {
            m_pChapterDlg->SetProgress(percent);
        }
    });
    connect(chapters, &CChapterIndex::chaptersAdded, this, [this] {
        if (m_pChapterDlg != nullptr) {
            m_pChapterDlg->ChaptersAdded();
        }
        UpdateChapterStatus();
    });
    CBookSearch* search = &session->Search();
    connect(search, &CBookSearch::progress, this, [this](int percent) {
        m_pFindBar->SetStatus(QStringLiteral(u"正在查找… %1%  (Esc 停止)").arg(percent));
    });
    connect(search, &CBookSearch::found, this, &CVeskaView::ShowFound);
    connect(m_pFindBar, &CFindBar::findNext, this, [this] { FindNext(true); });
    connect(m_pFindBar, &CFindBar::findPrevious, this, [this] { FindNext(false); });
    connect(m_pFindBar, &CFindBar::escapePressed, this, &CVeskaView::OnEscape);
}

// The session's workers stop and the records are written while the pane is still there.
CVeskaView::~CVeskaView() {
    m_pSession.reset();
}

void CVeskaView::OnInitialUpdate() {
    m_pSession->LoadRecords();

    m_pTxtEdit = new CTxtRichEdit(this);
    m_pTxtEdit->setGeometry(rect());
    m_pTxtEdit->show();

    const ReaderSettings& settings = Settings();
    const ReadingPrefs& prefs = Prefs();
    m_pTxtEdit->SetPageMargins(prefs.margin_left, prefs.margin_right, prefs.line_chars);
    m_pTxtEdit->SetTextFont(FaceOf(prefs), settings.font_height);
    m_pTxtEdit->SetTextColor(unsigned(settings.font_color));
    m_pTxtEdit->SetBackColor(unsigned(settings.back_color));
    m_pTxtEdit->SetRowDis(settings.font_row_dis);
    ApplyTypesetting();
    emit nightChanged(prefs.night != 0);

    m_pTxtEdit->SetPaneText(GetWelcomeText());
    m_pTxtEdit->setFocus(); // the reader keys go to the pane
    m_pPaneBook = std::make_unique<CPaneBook>(*m_pTxtEdit, *m_pSession);
    connect(m_pTxtEdit, &CTxtRichEdit::scrolled, this, &CVeskaView::OnPaneScrolled);
    connect(m_pTxtEdit, &CTxtRichEdit::command, this, [this](int id) {
        if (!OnCommand(id)) {
            emit commandRequested(id);
        }
    });
    connect(m_pTxtEdit, &CTxtRichEdit::pauseToggled, this, &CVeskaView::ToggleAutoScrollPause);
    connect(m_pTxtEdit, &CTxtRichEdit::contextMenuAt, this,
            [this](const QPoint& at) { ContextMenu()->popup(at); });
    // The chapter on screen can change with every scroll inside the page.
    connect(m_pTxtEdit->verticalScrollBar(), &QScrollBar::valueChanged, this,
            &CVeskaView::UpdateChapterStatus);
    // A page step records its state before the pane shows the new page: look again once it does.
    connect(m_pTxtEdit, &QTextEdit::textChanged, this, &CVeskaView::UpdateChapterStatus,
            Qt::QueuedConnection);
    window()->setWindowTitle(
        QString::fromStdU16String(AnsiToWide(settings.title_name.c_str()).str()));
    m_bAutoScrollRunning = 1;

    // Start where the reader stopped; the welcome text stays when that book no longer opens.
    if (const ReadMarkInfo* last = m_pSession->LastReadRecord()) {
        const std::string path = last->strFilePath;
        OpenBook(AnsiToWide(path.c_str()).str());
    }
}

bool CVeskaView::OnCommand(int id) {
    switch (id) {
    case ID_FILE_OPEN:
        OnFileOpen();
        return true;
    case ID_OPTION_MENU:
        OnOption();
        return true;
    case ID_OPEN_READ_MARK:
        OnOpenReadMark();
        return true;
    case ID_FONT_BIGGER:
    case ID_FONT_SMALLER:
        StepFont(id == ID_FONT_BIGGER ? 1 : -1);
        return true;
    case ID_ROW_DIS_BIGGER:
    case ID_ROW_DIS_SMALLER:
        StepRowDis(id == ID_ROW_DIS_BIGGER ? 1 : -1);
        return true;
    case ID_NEXT_PAGE:
    case ID_PREV_PAGE:
        StepPage(id == ID_NEXT_PAGE ? 1 : -1);
        return true;
    case ID_NEXT_SCREEN:
        m_pTxtEdit->NextScreen();
        return true;
    case ID_PREV_SCREEN:
        m_pTxtEdit->PrevScreen();
        return true;
    case ID_NEXT_LINE:
        m_pTxtEdit->NextLine();
        return true;
    case ID_PREV_LINE:
        m_pTxtEdit->PrevLine();
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
    case ID_ESCAPE:
        OnEscape();
        return true;
    default:
        return false;
    }
}

void CVeskaView::OnFileOpen() {
    CBookFileDialog dialog(this);
    dialog.setNameFilter(QStringLiteral(u"txt文件 (*.txt)"));
    // Books of one novel series sit together: start in the folder of the book read last.
    std::u16string lastPath = m_pSession->Book().m_strPath;
    if (!HasBook()) {
        const ReadMarkInfo* last = m_pSession->LastReadRecord();
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
    m_lastFound.reset();
    const int result = m_pSession->Open(path);
    if (result != 0) {
        return result;
    }
    m_pPaneBook->ShowPlace(m_pSession->Book().m_nCurPage, m_pSession->OpenedTopCharacter(), true);
    UpdateReadState();
    RecordReadState(); // a book just opened is in the history at once
    return 0;
}

void CVeskaView::OnPaneScrolled(int topCharacter) {
    // Pages that show nothing (blanks only) place nothing.
    if (!HasBook() || m_pPaneBook->Empty()) {
        return;
    }
    m_pSession->ScreenMoved(m_pPaneBook->TopPlaceOf(topCharacter));
}

void CVeskaView::StepPage(int step) {
    if (HasBook() && m_pSession->StepPage(step)) {
        m_pPaneBook->ShowPlace(m_pSession->Book().m_nCurPage, 0);
        m_pTxtEdit->SelectLine(m_pTxtEdit->GetFirstVisibleLine());
    }
    UpdateReadState();
}

void CVeskaView::GotoPage(int index) {
    // Without a book the welcome text stays; the status is refreshed as any page step does.
    if (HasBook()) {
        m_pSession->GoToPage(index);
        m_pPaneBook->ShowPlace(m_pSession->Book().m_nCurPage, 0);
    }
    UpdateReadState();
}

QMenu* CVeskaView::ScriptMenu() {
    if (m_pScriptMenu == nullptr) {
        m_pScriptMenu = new CScriptMenu(
            [this] {
                CScriptMenu::State state;
                state.choice = m_pSession->ScriptChoice();
                state.current = CScriptConverter::NameOf(m_pSession->ScriptInEffect());
                state.fallback = CScriptConverter::NameOf(CScriptConverter::Script(
                    std::clamp(Prefs().script, 0, ReadingPrefs::kMaxScript)));
                state.hasBook = HasBook();
                return state;
            },
            this);
        connect(m_pScriptMenu, &CScriptMenu::chosen, this, &CVeskaView::OnScriptChoice);
        connect(m_pScriptMenu, &CScriptMenu::defaultChosen, this, [this] {
            ReadingPrefs prefs = Prefs();
            prefs.script = int(m_pSession->ScriptInEffect());
            m_settings.SetPrefs(prefs);
            m_pSession->SetDefaultScript(m_pSession->ScriptInEffect());
        });
    }
    return m_pScriptMenu;
}

QMenu* CVeskaView::ContextMenu() {
    if (m_pContextMenu == nullptr) {
        m_pContextMenu = new QMenu(this);
        m_pContextMenu->setObjectName(QStringLiteral("paneMenu"));
        auto* encoding = static_cast<CEncodingMenu*>(EncodingMenu());
        m_pContextMenu->addActions(encoding->actions());
        m_pContextMenu->addSeparator();
        m_pContextMenu->addMenu(ScriptMenu());
        connect(m_pContextMenu, &QMenu::aboutToShow, encoding, &CEncodingMenu::Update);
    }
    return m_pContextMenu;
}

void CVeskaView::OnScriptChoice(const std::string& choice) {
    const int page = m_pSession->Book().m_nCurPage;
    const int top = m_pSession->TopCharacter();
    m_pSession->SetScriptChoice(choice);
    m_pPaneBook->ShowPlace(page, top, true);
    UpdateChapterStatus();
}

QMenu* CVeskaView::EncodingMenu() {
    if (m_pEncodingMenu == nullptr) {
        m_pEncodingMenu = new CEncodingMenu(
            [this] { return std::make_pair(m_pSession->Book().m_strEncodingChoice, HasBook()); },
            this);
        connect(m_pEncodingMenu, &CEncodingMenu::chosen, this, &CVeskaView::OnEncodingChoice);
    }
    return m_pEncodingMenu;
}

void CVeskaView::OnEncodingChoice(const std::string& choice) {
    const int page = m_pSession->Book().m_nCurPage;
    const int top = m_pSession->TopCharacter();
    if (!m_pSession->SetEncodingChoice(choice)) {
        return;
    }
    m_lastFound.reset();
    m_pPaneBook->ShowPlace(page, top, true);
    if (m_pEncodingMenu != nullptr) {
        m_pEncodingMenu->Update();
    }
    emit stateChanged();
    UpdateChapterStatus();
}

bool CVeskaView::HasBook() const {
    return m_pSession->HasBook();
}

void CVeskaView::UpdateReadState() {
    m_pSession->PageShown();
    UpdateChapterStatus();
}

void CVeskaView::RecordReadState() {
    m_pSession->RecordReadState();
}

double CVeskaView::ReadPercent() const {
    if (m_pTxtEdit == nullptr) {
        return -1;
    }
    return m_pSession->ReadPercent(m_pSession->PaneCharacters());
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
    if (Settings().auto_click == 1) {
        m_bAutoScrollRunning = m_bAutoScrollRunning ? 0 : 1;
        emit autoScrollChanged();
    }
}

bool CVeskaView::IsAutoScrolling() const {
    const ReaderSettings& settings = Settings();
    return m_pTxtEdit != nullptr && settings.auto_read != 0 &&
           (settings.auto_click != 1 || m_bAutoScrollRunning);
}

void CVeskaView::SetSettings(const ReaderSettings& settings) {
    m_settings.SetSettings(settings);
}

void CVeskaView::StepFont(int step) {
    ReaderSettings settings = Settings();
    settings.font_height = StepSetting(settings.font_height, step, kFontHeightRange);
    m_pTxtEdit->SetTextFont(m_pTxtEdit->FaceName(), settings.font_height);
    SetSettings(settings);
}

void CVeskaView::StepRowDis(int step) {
    ReaderSettings settings = Settings();
    settings.font_row_dis = StepSetting(settings.font_row_dis, step, kRowDisRange);
    m_pTxtEdit->SetRowDis(settings.font_row_dis);
    SetSettings(settings);
}

void CVeskaView::OnGotoPage() {
    const int total = m_pSession->Book().GetPageCount();
    CGoToPageDlg dialog(m_pSession->Book().m_nCurPage + 1, total, this);
    if (dialog.DoModal() != IDOK) {
        return;
    }
    const int page = std::clamp(DecimalTextToInt(dialog.m_strPage), 1, std::max(1, total));
    GotoPage(page - 1);
}

void CVeskaView::OnAutoScroll() {
    ReaderSettings settings = Settings();
    settings.auto_read = settings.auto_read != 1 ? 1 : 0;
    m_bAutoScrollRunning = 1;
    SetSettings(settings);
    emit autoScrollChanged();
}

bool CVeskaView::OnUpdateAutoScroll() const {
    return Settings().auto_read != 0;
}

void CVeskaView::OnOption() {
    COptionDlg dialog(Settings(), Prefs());
    // The reading page shows and keeps its changes at once, whatever the dialog ends with.
    dialog.m_onReadingChanged = [this](const ReaderSettings& settings, const ReadingPrefs& prefs) {
        ReaderSettings kept = Settings();
        if (kept.font_color != settings.font_color || kept.back_color != settings.back_color) {
            kept.font_color = settings.font_color;
            kept.back_color = settings.back_color;
            SetSettings(kept);
        }
        m_settings.SetPrefs(prefs);
        ApplyReadingPrefs();
    };
    dialog.m_bHasBook = HasBook();
    dialog.m_strReflow = m_pSession->ReflowChoice();
    dialog.m_onReflowChanged = [this](const std::string& choice) { SetReflowChoice(choice); };
    dialog.m_onRules = [this](QWidget* over) { OnRules(over); };
    if (dialog.DoModal(this) != IDOK) {
        return;
    }
    SetSettings(dialog.m_settings);
    const ReaderSettings& settings = Settings();
    m_pTxtEdit->SetTextFont(m_pTxtEdit->FaceName(), settings.font_height);
    m_pTxtEdit->SetTextColor(unsigned(settings.font_color));
    m_pTxtEdit->SetBackColor(unsigned(settings.back_color));
    m_pTxtEdit->viewport()->update();
    emit autoScrollChanged();
}

void CVeskaView::OnRules(QWidget* over) {
    CRulesDlg rules(GetDataDir(), HasBook() ? m_pSession->Book().m_strPath : std::u16string(),
                    m_pSession->Book().m_layout, over != nullptr ? over : this);
    if (RunModal(rules) != QDialog::Accepted || !HasBook()) {
        return;
    }
    // New rules: the chapters listed anew, the text shown anew on the same line.
    m_pSession->Chapters().Restart();
    const int page = m_pSession->Book().m_nCurPage;
    const int top = m_pSession->TopCharacter();
    if (m_pSession->ReloadCleanUp()) {
        m_pPaneBook->ShowPlace(page, top, true);
    }
    UpdateChapterStatus();
}

void CVeskaView::OnOpenReadMark() {
    // The dialog edits a copy of the history: it must hold the last page.
    RecordReadState();
    CReaderHistory& history = m_pSession->History();
    CReadMarkDlg dialog(history.m_listLocal, history.m_listNet, this);
    dialog.DoModal();
    history.m_listLocal = dialog.m_localMarks;
    history.m_listNet = dialog.m_netMarks;
    history.Save();
    if (!dialog.Chosen()) {
        return;
    }
    // Opening a recorded book returns to its page and screen.
    const QString path =
        QString::fromStdU16String(AnsiToWide(dialog.Chosen()->strFilePath.c_str()).str());
    if (OpenBook(path.toStdU16String()) != 0 &&
        CReadMarkDlg::AskYesNo(this, QStringLiteral("无法打开这本书：\n%1").arg(path) +
                                         QStringLiteral("\n\n要删除这个书签吗？"))) {
        history.m_listLocal.remove_if([&](const ReadMarkInfo& mark) {
            return mark.strFilePath == dialog.Chosen()->strFilePath;
        });
        history.Save();
    }
}

void CVeskaView::ApplyReadingPrefs() {
    if (m_pTxtEdit == nullptr) {
        return;
    }
    const ReadingPrefs& prefs = Prefs();
    const ReaderSettings& settings = Settings();
    const int top = m_pTxtEdit->TopCharacter();
    const int page = m_pSession->Book().m_nCurPage;
    const int pageTop = m_pSession->TopCharacter();
    const std::u16string face = FaceOf(prefs);
    if (face != m_pTxtEdit->FaceName()) {
        m_pTxtEdit->SetTextFont(face, settings.font_height);
    }
    m_pTxtEdit->SetPageMargins(prefs.margin_left, prefs.margin_right, prefs.line_chars);
    m_pTxtEdit->SetTextColor(unsigned(settings.font_color));
    m_pTxtEdit->SetBackColor(unsigned(settings.back_color));
    emit nightChanged(prefs.night != 0);
    if (ApplyTypesetting()) {
        m_pPaneBook->ShowPlace(page, pageTop, true); // the same first line, set anew
    } else {
        m_pTxtEdit->ScrollToCharacter(top);
    }
}

bool CVeskaView::ApplyTypesetting() {
    const ReadingPrefs& prefs = Prefs();
    TypesetOptions options;
    options.indent =
        prefs.indent != 0 ? TypesetOptions::Indent::TwoSpaces : TypesetOptions::Indent::AsInFile;
    options.blankLines = TypesetOptions::BlankLines(std::clamp(prefs.blank_lines, 0, 2));
    const int spacing =
        options.blankLines == TypesetOptions::BlankLines::Remove ? prefs.paragraph_spacing : 0;
    m_pTxtEdit->SetParagraphLook(prefs.justify != 0, spacing);
    const auto script =
        CScriptConverter::Script(std::clamp(prefs.script, 0, ReadingPrefs::kMaxScript));
    TypesetOptions current = m_pSession->Typesetting();
    current.reflowColumns = 0;
    if (current == options && m_pSession->DefaultScript() == script && m_bTypesetApplied) {
        return false;
    }
    m_bTypesetApplied = true;
    m_pSession->SetDefaultScript(script);
    m_pSession->SetTypesetting(options);
    return HasBook();
}

void CVeskaView::SetReflowChoice(const std::string& choice) {
    const int page = m_pSession->Book().m_nCurPage;
    const int top = m_pSession->TopCharacter();
    m_pSession->SetReflowChoice(choice);
    m_pPaneBook->ShowPlace(page, top, true);
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

void CVeskaView::OnSize() {
    // The find bar, when open, takes its height at the bottom.
    const int barHeight = m_pFindBar->isVisible() ? m_pFindBar->sizeHint().height() : 0;
    m_pFindBar->setGeometry(0, height() - barHeight, width(), barHeight);
    if (m_pTxtEdit != nullptr) {
        m_pTxtEdit->setGeometry(0, 0, width(), height() - barHeight);
    }
}

void CVeskaView::keyPressEvent(QKeyEvent* event) {
    // Keys that reach the view rather than the pane (the pane not yet made, or without focus).
    if (m_pTxtEdit != nullptr && PaneCommandOf(*event) != 0) {
        QCoreApplication::sendEvent(m_pTxtEdit, event);
        return;
    }
    if (event->key() == Qt::Key_Escape) {
        OnEscape();
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
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
        // toLocalFile() reads the name as UTF-8; a GBK name must reach the file as its bytes.
        const QByteArray bytes =
            QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
        paths << (url.isLocalFile() ? QString::fromStdU16String(WidePathFromFs(bytes.toStdString()))
                                    : url.toLocalFile());
    }
    OnDropFiles(paths);
    event->acceptProposedAction();
}

// ---- chapters -----------------------------------------------------------------------------------

const CChapterList& CVeskaView::Chapters() const {
    return m_pSession->Chapters().Chapters();
}

bool CVeskaView::ChaptersComplete() const {
    return m_pSession->Chapters().IsComplete();
}

int CVeskaView::CurrentChapter() const {
    if (!HasBook() || m_pTxtEdit == nullptr || m_pPaneBook->Empty()) {
        return -1;
    }
    const auto chapterOfLine = [&](int line) {
        const int nextLine = m_pTxtEdit->LineIndex(line + 1);
        const int page = m_pPaneBook->PagePlaceOf(m_pTxtEdit->LineIndex(line)).first;
        return m_pSession->Chapters().ChapterAt(page, [&](std::uint64_t offset) {
            if (nextLine < 0) {
                return true;
            }
            const int chapterPage = m_pSession->Book().PageOfOffset(offset);
            const int position = m_pPaneBook->PanePositionOfOffset(chapterPage, offset);
            return position < 0 ? chapterPage < m_pPaneBook->FirstPage() : position < nextLine;
        });
    };
    // The chapter of the first whole line on screen: the same screen names the same chapter
    // however the reader got there.
    return chapterOfLine(m_pTxtEdit->GetFirstVisibleLine());
}

void CVeskaView::UpdateChapterStatus() {
    const int current = CurrentChapter();
    emit chapterChanged(current >= 0 ? QString::fromStdU16String(m_pSession->ShownTitle(
                                           Chapters().Title(std::size_t(current))))
                                     : QString());
}

void CVeskaView::GotoChapter(int index) {
    if (index < 0 || std::size_t(index) >= Chapters().size() || m_pTxtEdit == nullptr) {
        return;
    }
    const std::uint64_t offset = Chapters().Offset(std::size_t(index));
    const int page = Chapters().Page(std::size_t(index));
    m_pSession->GoToPage(page);
    // The heading's display line first on screen, marked as the reading line.
    m_pPaneBook->ShowPlace(page, int(m_pSession->Book().TextPositionOf(page, offset)));
    m_pTxtEdit->SelectLine(m_pTxtEdit->GetFirstVisibleLine());
    UpdateReadState();
}

void CVeskaView::OnChapterList() {
    if (!HasBook()) {
        return;
    }
    CChapterListDlg dialog(Chapters(), CurrentChapter(), this);
    dialog.SetTitleShown([this](const std::u16string& title) {
        return QString::fromStdU16String(m_pSession->ShownTitle(title));
    });
    dialog.SetIndex(&m_pSession->Chapters());
    dialog.SetProgress(m_pSession->Chapters().Progress());
    m_pChapterDlg = &dialog;
    const int result = RunModal(dialog);
    m_pChapterDlg = nullptr;
    // The 规则 dialog of the list may have changed the clean-up rules: the same line, set anew.
    const int page = m_pSession->Book().m_nCurPage;
    const int top = m_pSession->TopCharacter();
    if (m_pSession->ReloadCleanUp()) {
        m_pPaneBook->ShowPlace(page, top, true);
    }
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
    return m_pSession->Search().IsRunning();
}

void CVeskaView::OnEscape() {
    if (IsFindRunning()) {
        m_pSession->Search().Cancel();
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
    emit escapeUnhandled(); // full screen first, then the window
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
    CBookSearch::Request request;
    request.text = text;
    request.forward = forward;
    request.page = m_pSession->Book().m_nCurPage;
    // Go on from the occurrence found last while it is still on this page; otherwise start
    // from the top of the screen.
    if (m_lastFound && m_strLastFind == text && m_lastFound->page == request.page) {
        request.last = m_lastFound;
    }
    request.screenTop = std::size_t(std::max(0, m_pSession->TopCharacter()));
    m_strLastFind = text;
    m_pFindBar->SetStatus(QStringLiteral(u"正在查找…"));
    m_pSession->Search().Start(m_pSession->Book().m_strPath, m_pSession->Book().m_layout,
                               std::move(request));
}

void CVeskaView::ShowFound(const CBookSearch::Result& result, bool forward) {
    if (!result.found) {
        m_pFindBar->SetStatus(
            QStringLiteral(u"找不到“%1”").arg(QString::fromStdU16String(m_strLastFind)));
        return;
    }
    const ScanHit found = *result.found;
    m_lastFound = found;
    const QString wrapNote = forward ? QStringLiteral(u"已到达书末，从书首继续查找")
                                     : QStringLiteral(u"已到达书首，从书末继续查找");
    // The wrap-around belongs to the search: said in the find bar, the status bar stays as it is.
    m_pFindBar->SetStatus(result.wrapped ? wrapNote : QString());
    const int position = int(m_pSession->Book().TextPositionOf(found.page, found.offset));
    if (m_pPaneBook->PanePositionOf(found.page, position) < 0) {
        m_pSession->GoToPage(found.page);
        m_pPaneBook->ShowPlace(found.page, position);
        UpdateReadState();
    }
    // The occurrence selected and scrolled into view; the keyboard stays in the find field. A
    // phrase running past its page's end goes on in the next page's text.
    const int start = m_pPaneBook->PanePositionOf(found.page, position);
    const int pageLength = int(m_pSession->Book().PaneTextOfPage(found.page).size());
    const int endPosition = position + int(m_strLastFind.size());
    int end = endPosition <= pageLength
                  ? m_pPaneBook->PanePositionOf(found.page, endPosition)
                  : m_pPaneBook->PanePositionOf(found.page + 1, endPosition - pageLength);
    if (end < start) {
        end = start + int(m_strLastFind.size());
    }
    QTextCursor cursor(m_pTxtEdit->document());
    cursor.setPosition(start);
    cursor.setPosition(std::min(end, m_pTxtEdit->document()->characterCount() - 1),
                       QTextCursor::KeepAnchor);
    m_pTxtEdit->setTextCursor(cursor);
    m_pTxtEdit->ensureCursorVisible();
    UpdateChapterStatus();
}
