#include "reader/chapter_index.h"

#include "diag/log.h"
#include "reader/book_scan_worker.h"
#include "settings/book_choice_store.h"
#include "text/chapter_cache.h"
#include "text/chapter_finder.h"
#include "text/chapter_rule_file.h"
#include "text/replace_rule_file.h"

#include <memory>
#include <optional>

CChapterIndex::CChapterIndex(QObject* parent)
    : QObject(parent), m_pWorker(new CBookScanWorker(this)) {
    connect(m_pWorker, &CBookScanWorker::progress, this, [this](int percent) {
        m_nProgress = percent;
        emit progress(percent);
    });
}

// Before the list goes: a save may still be reading it.
CChapterIndex::~CChapterIndex() {
    Cancel();
}

void CChapterIndex::Cancel() {
    m_pWorker->Cancel();
}

void CChapterIndex::Start(const std::u16string& path, const CCodePageLayout& layout,
                          const std::string& dataDir) {
    Cancel();
    m_chapters.clear();
    m_bComplete = false;
    m_nProgress = 0;
    CChapterRules rules = CChapterRules::BuiltIn();
    std::vector<std::string> problems = CChapterRuleFile::LoadInto(dataDir, rules);
    CReplaceRules allCleanUp;
    for (std::string& problem : CReplaceRuleFile::LoadInto(dataDir, allCleanUp)) {
        problems.push_back(std::move(problem));
    }
    for (const std::string& problem : problems) {
        // Named once, not at every book opened.
        if (m_told.insert(problem).second) {
            CLog::Instance().Write(LOG_ERROR, problem.c_str());
            emit rulesProblem(QString::fromStdString(problem));
        }
    }
    allCleanUp.SetProblemFn(
        [](const std::string& problem) { CLog::Instance().Write(LOG_ERROR, problem.c_str()); });
    CReplaceRules cleanUp = allCleanUp.ForBook(path);
    if (path != m_path) {
        m_chosenOnce.clear();
    }
    m_path = path;
    m_layout = layout;
    m_dataDir = dataDir;
    m_ruleNames.clear();
    for (std::size_t i = 0; i < rules.size() && i < CChapterRules::kMaxRules; ++i) {
        if (rules[i].IsValid()) {
            m_ruleNames.push_back(rules[i].Name());
        }
    }
    // The reader's choice for the book, while a rule of that name is there.
    m_chosen = m_chosenOnce.empty()
                   ? CBookChoiceStore(dataDir, CBookChoiceStore::kChapterRuleFileName).Get(path)
                   : m_chosenOnce;
    int forced = -1;
    for (std::size_t i = 0; i < rules.size() && i < CChapterRules::kMaxRules && !m_chosen.empty();
         ++i) {
        if (rules[i].IsValid() && rules[i].Name() == m_chosen) {
            forced = int(i);
            rules[i].SetEnabled(true);
            break;
        }
    }
    if (forced < 0) {
        m_chosen.clear();
    }
    // Titles are shown cleaned up: a list kept for other clean-up rules is another list, and so
    // is one of a rule the reader chose.
    std::string rulesId =
        cleanUp.Changes() ? rules.Identity() + "-" + cleanUp.Identity() : rules.Identity();
    if (forced >= 0) {
        rulesId += "-rule" + std::to_string(forced);
    }
    if (auto cached = CChapterCache(dataDir, rulesId).Load(path, layout)) {
        m_chapters = std::move(*cached);
        m_bComplete = true;
        return;
    }
    // The state of the file before the scan reads it: a change during the scan makes the saved
    // list stale rather than wrong.
    const std::optional<CChapterCache::Stamp> stamp = CChapterCache::StampOf(path);
    CBookScanWorker* worker = m_pWorker;
    worker->Start(path, layout, [=, this](CBookScanner& scanner) {
        scanner.SetCleanUp(cleanUp);
        std::optional<CChapterList> found = CChapterFinder::Find(scanner, rules, forced);
        if (!found) {
            return;
        }
        // The list comes over whole: which rule it follows is known once the whole book is read.
        auto list = std::make_shared<CChapterList>(std::move(*found));
        worker->Post([this, list] { Add(std::move(*list)); });
        // Posted after the list, so the list is whole when this runs.
        worker->Post([=, this] {
            if (!stamp) {
                Complete();
                return;
            }
            worker->Run([=, this] {
                CChapterCache(dataDir, rulesId).Save(path, layout, *stamp, m_chapters);
                worker->Post([this] { Complete(); });
            });
        });
    });
}

void CChapterIndex::Restart() {
    if (!m_path.empty()) {
        const std::u16string path = m_path;
        const CCodePageLayout layout = m_layout;
        const std::string dataDir = m_dataDir;
        Start(path, layout, dataDir);
    }
}

bool CChapterIndex::ChooseRule(const std::string& name) {
    const bool kept =
        CBookChoiceStore(m_dataDir, CBookChoiceStore::kChapterRuleFileName).Set(m_path, name);
    m_chosenOnce = kept ? std::string() : name;
    Restart();
    return kept;
}

void CChapterIndex::Add(CChapterList&& list) {
    const std::size_t count = list.size();
    m_chapters = std::move(list);
    emit chaptersAdded(int(count));
}

void CChapterIndex::Complete() {
    m_bComplete = true;
    m_nProgress = 100;
    emit progress(100);
}
