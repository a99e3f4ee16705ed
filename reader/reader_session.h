#pragma once

#include "history/read_place_store.h"
#include "history/reader_history.h"
#include "text/resource_data.h"
#include "text/script_converter.h"
#include "text/shown_pages.h"
#include "text/typesetter.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>
#include <string>

class CBookSearch;
class CChapterIndex;
class CSettingsStore;

// The book being read and the reader's record of it: opening with rollback, page steps, the
// encoding choice, the history and the place, the progress, the chapter index and the search.
// The windows show what it holds and ask it to move; it never touches a widget.
class CReaderSession : public QObject {
    Q_OBJECT
public:
    explicit CReaderSession(CSettingsStore& settings, QObject* parent = nullptr);
    ~CReaderSession() override;

    // Loads the history and the places, reporting (notice) what could not be read as it was;
    // recordsLoaded follows.
    void LoadRecords();

    // 0 when the book opened; otherwise nothing changes (the book being read is reopened as it
    // was). A book the history holds (same name and path) opens at its recorded page, and
    // OpenedTopCharacter() is its recorded screen; any other book at its first page. The book is
    // recorded at once.
    int Open(const std::u16string& path);
    // The first character on screen where the last Open returned to (0: the page's top).
    int OpenedTopCharacter() const { return m_nOpenedTop; }
    // Page steps; false (nothing read) at either end of the book or without a book.
    bool StepPage(int step);
    // Limited to the book's pages.
    void GoToPage(int page);
    // Reads the book in the encoding `choice` names ("" detects it again) and remembers it for
    // the book; false without a book or for an unknown name.
    bool SetEncodingChoice(const std::string& choice);

    // The page's text as the pane shows it, typeset; the pages read lately are kept.
    const ShownPage& ShownText(int page);
    // The typesetting of every book, from the reading preferences; the open book's re-flow of
    // hard-wrapped lines comes on top.
    void SetTypesetting(const TypesetOptions& options);
    // In effect for the open book.
    const TypesetOptions& Typesetting() const { return m_typeset; }
    // The open book's re-flow: "" decided from its opening pages, "on" or "off"; kept for the
    // book in a file of its own.
    const std::string& ReflowChoice() const { return m_strReflow; }
    void SetReflowChoice(const std::string& choice);
    // The script books are shown in unless one has its own choice (reading.cfg's `script`).
    void SetDefaultScript(CScriptConverter::Script script);
    CScriptConverter::Script DefaultScript() const { return m_defaultScript; }
    // The open book's own script choice (CScriptConverter's names; "" follows the default), kept
    // for the book in a file of its own; an unknown name forgets the choice.
    const std::string& ScriptChoice() const { return m_strScript; }
    void SetScriptChoice(const std::string& name);
    // The script the open book is shown in.
    CScriptConverter::Script ScriptInEffect() const;
    // A text of the book (a chapter title) as the pane shows it: in the script in effect.
    std::u16string ShownTitle(std::u16string_view title) const;

    // Reads the clean-up rules again (the 规则 dialog may have changed them); true when the open
    // book's shown text changes with them.
    bool ReloadCleanUp();

    // The screen's first whole line is now at (page, position in its text); the page becomes
    // the current page when it is another.
    void ScreenMoved(std::pair<int, int> place);
    // The first character on screen, in the current page's text.
    int TopCharacter() const { return m_nTopCharacter; }

    bool HasBook() const;
    const CResourceData& Book() const { return m_book; }
    CChapterIndex& Chapters() { return *m_pChapters; }
    const CChapterIndex& Chapters() const { return *m_pChapters; }
    CBookSearch& Search() { return *m_pSearch; }

    // The history record of the book read last (most recent place first), or null.
    const ReadMarkInfo* LastReadRecord() const;
    // The open book at the current page, as a local bookmark.
    ReadMarkInfo CurrentMark() const;
    CReaderHistory& History() { return m_history; }
    const CReaderHistory& History() const { return m_history; }
    CReadPlaceStore& Places() { return m_places; }
    // Whether the reader's place is recorded: a book is open and recording is on.
    bool Recording() const;

    // After every attempt to change the page: stateChanged now; the history and the place (when
    // recording is on) once the window has painted the new page.
    void PageShown();
    // Writes what PageShown left for after the paint, if it has not been done yet: before
    // anything else reads or replaces the history.
    void RecordReadState();
    // The first character on screen moved: progress now, the place soon.
    void ScreenScrolled(int topCharacter);
    // Records where the reader is now in the places (when recording is on and a book is open),
    // then says so with placeSaved.
    void SavePlace();
    // How far into the book the first character on screen is, in percent of its bytes, for a
    // page text of `characters` characters; -1 without a book.
    double ReadPercent(int characters) const;
    // The characters of the current page as the pane counts them: a line break is one.
    int PaneCharacters() const;

    // Tells the reader (notice), the log and standard error that a data file (path in the
    // legacy code page) was left unread and will not be saved over; `err` is the errno of why,
    // `outcome` in a few words and `consequence` in full what the reader does instead.
    void ReportRefusedFile(const std::string& path, int err, const QString& outcome,
                           const QString& consequence);

signals:
    // A lasting notice for the status bar: a short text and the whole story.
    void notice(const QString& text, const QString& detail);
    // The page or the book changed.
    void stateChanged();
    // The first character on screen moved within the page.
    void progressChanged();
    // LoadRecords has read the history and the places.
    void recordsLoaded();
    // Open has opened a book (the one it was asked for).
    void bookOpened();
    // SavePlace recorded the place of the book being read.
    void placeSaved();

protected:
    bool event(QEvent* event) override;

private:
    const ReadMarkInfo* FindRecord(const std::string& name, const std::string& path) const;
    void StartChapters();

    // The open book's typesetting from the base and its re-flow choice; the shown pages anew.
    void ApplyTypesetting();
    // Keeps the open book's choice in the per-book file `fileName`; the log says when it cannot
    // (`what` the choice is).
    void RememberForBook(const char* fileName, const std::string& choice, const char* what);
    // The open book's clean-up rules from replace_rules.json; none when no rule changes a line.
    std::shared_ptr<const CReplaceRules> CleanUpRules();

    CSettingsStore& m_settings;
    CResourceData m_book;
    TypesetOptions m_typesetBase;
    TypesetOptions m_typeset;
    CShownPages m_shownPages;
    std::string m_strReflow;
    CScriptConverter::Script m_defaultScript = CScriptConverter::Script::kOriginal;
    std::string m_strScript;
    std::shared_ptr<const CReplaceRules> m_pCleanUp;      // none when no rule changes a line
    std::shared_ptr<const CScriptConverter> m_pConverter; // the script in effect; none for 原文
    CScriptConverter::Script m_pConverterScript = CScriptConverter::Script::kOriginal;
    bool m_bScriptNoticeGiven = false; // the conversion failed and the reader was told
    int m_nWrapColumns = 0;            // the open book's hard wrap, 0 when its opening shows none
    int m_nLikeliestColumns = 0;       // the width it would be wrapped at, for a re-flow asked for
    CReaderHistory m_history;
    CReadPlaceStore m_places;
    CChapterIndex* m_pChapters;
    CBookSearch* m_pSearch;
    int m_nOpenedTop = 0;
    int m_nTopCharacter = 0;
    bool m_bRecordPending = false; // PageShown has posted the write of the history and place
    QTimer m_placeTimer;           // saves the place a moment after scrolling, not at every pixel
};
