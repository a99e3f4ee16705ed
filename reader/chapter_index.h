#pragma once

#include "text/chapter_list.h"
#include "text/code_page_layout.h"

#include <QObject>

#include <set>
#include <string>
#include <vector>

class CBookScanWorker;

// The chapter list of the open book: from the cache in the data directory, or from a scan on a
// worker thread with every chapter rule, which hands the list over once the scan has picked the
// rule that fits the book. Then the same thread saves the list, reading the one copy the window
// thread holds, which nothing changes until the next Start or Cancel (both wait for the save);
// the list counts as complete once it is saved.
class CChapterIndex : public QObject {
    Q_OBJECT
public:
    explicit CChapterIndex(QObject* parent = nullptr);
    // Waits for a running scan or save to stop.
    ~CChapterIndex() override;

    // Forgets the list and makes the one of the book at `path` read in `layout` with the built-in
    // chapter rules and those of `dataDir`, keeping it in `dataDir`'s cache. The rule the reader
    // chose for the book in 目录 (kept in `dataDir`) is taken when it is still there.
    void Start(const std::u16string& path, const CCodePageLayout& layout,
               const std::string& dataDir);
    void Cancel();
    // Makes the list of the book of the last Start again, with the rules as they are now.
    void Restart();

    // The book of the last Start.
    const std::u16string& BookPath() const { return m_path; }
    const CCodePageLayout& Layout() const { return m_layout; }
    const std::string& DataDir() const { return m_dataDir; }
    // The names of the chapter rules the list is made with (the valid ones), in their order.
    const std::vector<std::string>& RuleNames() const { return m_ruleNames; }
    // The rule chosen for the book; "" when the reader lets the book pick.
    const std::string& ChosenRule() const { return m_chosen; }
    // Keeps `name` as the book's rule ("" to let the book pick again) and makes its list anew.
    // false when the choice cannot be kept (it is then taken for this time only).
    bool ChooseRule(const std::string& name);

    const CChapterList& Chapters() const { return m_chapters; }
    bool IsComplete() const { return m_bComplete; }
    int Progress() const { return m_bComplete ? 100 : m_nProgress; }
    // The last chapter whose heading is on a page before `page`, or on `page` itself when
    // `onPage` says the reader has reached it (given the heading's file offset); -1 for none.
    template <typename ReachedFn> int ChapterAt(int page, ReachedFn reached) const;

signals:
    // The list has come: `count` chapters, all of Chapters().
    void chaptersAdded(int count);
    void progress(int percent);
    // What is wrong with the chapter rules file of the data directory, each thing once.
    void rulesProblem(const QString& problem);

private:
    void Add(CChapterList&& list);
    void Complete();

    CBookScanWorker* m_pWorker;
    CChapterList m_chapters;
    std::set<std::string> m_told; // the rules file's problems already named
    std::u16string m_path;
    CCodePageLayout m_layout{ENCODING_UTF8, ""};
    std::string m_dataDir;
    std::vector<std::string> m_ruleNames;
    std::string m_chosen;
    std::string m_chosenOnce; // a choice that could not be kept, for the next Start
    bool m_bComplete = false;
    int m_nProgress = 0;
};

template <typename ReachedFn> int CChapterIndex::ChapterAt(int page, ReachedFn reached) const {
    int index = -1;
    // Binary search for the last heading on a page up to `page`.
    std::size_t lo = 0;
    std::size_t hi = m_chapters.size();
    while (lo < hi) {
        const std::size_t mid = (lo + hi) / 2;
        if (m_chapters.Page(mid) <= page) {
            lo = mid + 1;
        } else {
            hi = mid;
        }
    }
    index = int(lo) - 1;
    while (index >= 0 && m_chapters.Page(std::size_t(index)) == page &&
           !reached(m_chapters.Offset(std::size_t(index)))) {
        --index;
    }
    return index;
}
