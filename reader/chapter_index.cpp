#include "reader/chapter_index.h"

#include "diag/log.h"
#include "reader/book_scan_worker.h"
#include "text/chapter_cache.h"
#include "text/chapter_finder.h"
#include "text/chapter_rule_file.h"

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
    for (const std::string& problem : CChapterRuleFile::LoadInto(dataDir, rules)) {
        // Named once, not at every book opened.
        if (m_told.insert(problem).second) {
            CLog::Instance().Write(LOG_ERROR, problem.c_str());
            emit rulesProblem(QString::fromStdString(problem));
        }
    }
    const std::string rulesId = rules.Identity();
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
        std::optional<CChapterList> found = CChapterFinder::Find(scanner, rules);
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
