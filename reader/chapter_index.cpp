#include "reader/chapter_index.h"

#include "reader/book_scan_worker.h"
#include "text/chapter_cache.h"

#include <chrono>
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
    if (auto cached = CChapterCache(dataDir).Load(path, layout)) {
        m_chapters = std::move(*cached);
        m_bComplete = true;
        return;
    }
    // The state of the file before the scan reads it: a change during the scan makes the saved
    // list stale rather than wrong.
    const std::optional<CChapterCache::Stamp> stamp = CChapterCache::StampOf(path);
    CBookScanWorker* worker = m_pWorker;
    worker->Start(path, layout,
                  [this, worker, path, layout, dataDir, stamp](CBookScanner& scanner) {
                      using Clock = std::chrono::steady_clock;
                      CChapterList batch;
                      auto lastPost = Clock::now();
                      const auto post = [&] {
                          worker->Post([this, batch = std::move(batch)] { Add(batch); });
                          batch = CChapterList();
                          lastPost = Clock::now();
                      };
                      const bool done = scanner.ScanChapters([&](const ScanHit& hit) {
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
                      // Posted after the last batch, so the list is whole when this runs.
                      worker->Post([this, worker, path, layout, dataDir, stamp] {
                          if (!stamp) {
                              Complete();
                              return;
                          }
                          worker->Run([this, worker, path, layout, dataDir, stamp] {
                              CChapterCache(dataDir).Save(path, layout, *stamp, m_chapters);
                              worker->Post([this] { Complete(); });
                          });
                      });
                  });
}

void CChapterIndex::Add(const CChapterList& batch) {
    m_chapters.Append(batch);
    emit chaptersAdded(int(batch.size()));
}

void CChapterIndex::Complete() {
    m_bComplete = true;
    m_nProgress = 100;
    emit progress(100);
}
