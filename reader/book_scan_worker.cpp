#include "reader/book_scan_worker.h"

#include <QMetaObject>

CBookScanWorker::CBookScanWorker(QObject* parent) : QObject(parent) {}

CBookScanWorker::~CBookScanWorker() {
    Cancel();
}

bool CBookScanWorker::Start(const std::u16string& path, const CCodePageLayout& layout, Job job) {
    Cancel();
    auto scanner = std::make_shared<CBookScanner>();
    if (!scanner->Open(path, layout)) {
        return false;
    }
    scanner->SetCancelFlag(&m_cancel);
    scanner->SetProgress(
        [this](std::uint64_t done, std::uint64_t total) { ReportProgress(done, total); });
    Run([scanner, job = std::move(job)] { job(*scanner); });
    return true;
}

void CBookScanWorker::Run(std::function<void()> job) {
    Cancel();
    m_cancel = false;
    m_running = true;
    m_lastPercent = -1;
    const unsigned generation = ++m_generation;
    m_jobGeneration = generation;
    m_thread = std::thread([this, job = std::move(job), generation] {
        job();
        QMetaObject::invokeMethod(
            this,
            [this, generation] {
                if (generation == m_generation && m_running) {
                    m_running = false;
                    if (m_thread.joinable()) {
                        m_thread.join(); // the job has returned: this is immediate
                    }
                    emit finished();
                }
            },
            Qt::QueuedConnection);
    });
}

void CBookScanWorker::Cancel() {
    m_cancel = true;
    ++m_generation; // posts of the old job are dropped from now on
    if (m_thread.joinable()) {
        m_thread.join();
    }
    m_running = false;
}

void CBookScanWorker::Post(std::function<void()> fn) {
    // The job's own generation, not the current one: a post made after a cancel but before the
    // job noticed it must still be dropped.
    const unsigned generation = m_jobGeneration;
    QMetaObject::invokeMethod(
        this,
        [this, generation, fn = std::move(fn)] {
            if (generation == m_generation) {
                fn();
            }
        },
        Qt::QueuedConnection);
}

void CBookScanWorker::ReportProgress(std::uint64_t done, std::uint64_t total) {
    const int percent = total == 0 ? 100 : static_cast<int>(done * 100 / total);
    if (percent != m_lastPercent) {
        m_lastPercent = percent;
        Post([this, percent] { emit progress(percent); });
    }
}
