#pragma once

#include "text/book_scanner.h"

#include <QObject>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>

// Runs one whole-book job (chapter scan, search) at a time on a thread of its own, so the window
// never waits for the book. Results come back to the window thread through Post, and are dropped
// once the job has been cancelled or replaced. Cancelling (also on destruction) stops the job
// within one block and joins the thread.
class CBookScanWorker : public QObject {
    Q_OBJECT
public:
    using Job = std::function<void(CBookScanner& scanner)>;

    explicit CBookScanWorker(QObject* parent = nullptr);
    ~CBookScanWorker() override;

    // Cancels any running job, then runs `job` with a scanner opened on the book. false when
    // the book cannot be opened (nothing runs then).
    bool Start(const std::u16string& path, const CCodePageLayout& layout, Job job);
    // Cancels any running job, then runs `job`, which needs no book (a save), on the thread.
    void Run(std::function<void()> job);
    void Cancel();
    bool IsRunning() const { return m_running; }

    // From the job: runs `fn` on the window thread, unless the job was cancelled meanwhile.
    void Post(std::function<void()> fn);
    // From the job: reports progress in percent to the window thread (only when it changes).
    void ReportProgress(std::uint64_t done, std::uint64_t total);

signals:
    void progress(int percent);
    // The job has ended, not cancelled.
    void finished();

private:
    std::thread m_thread;
    std::atomic<bool> m_cancel{false};
    std::atomic<unsigned> m_generation{0}; // which job's posts still count
    unsigned m_jobGeneration = 0;          // the running job's own: set before its thread starts
    bool m_running = false;
    int m_lastPercent = -1; // the job's thread only
};
