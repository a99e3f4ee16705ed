#pragma once

#include "text/book_scanner.h"

#include <QObject>

#include <cstddef>
#include <optional>
#include <string>

class CBookScanWorker;

// The wrap-around search of the open book (find bar, F3, Shift+F3) on a worker thread: one
// search at a time, cancelled by a new one or by Cancel; the result comes back as `found`.
class CBookSearch : public QObject {
    Q_OBJECT
public:
    // Where a search starts: the page on screen and what of it the reader has seen.
    struct Request {
        std::u16string text;
        bool forward = true;
        // The occurrence found last while it is on the page on screen: the search goes on from
        // it. Without it, forward starts at the top of the screen, backward just above it.
        std::optional<ScanHit> last;
        int page = 0;
        std::size_t screenTop = 0; // character index of the first line on screen in the page
    };
    struct Result {
        std::optional<ScanHit> found;
        bool wrapped = false; // went past the end (start) and on from the other end
    };

    explicit CBookSearch(QObject* parent = nullptr);
    ~CBookSearch() override;

    // Where the clean-up rules are read from (GetDataDir() unless set).
    void SetDataDir(std::string dataDir) { m_dataDir = std::move(dataDir); }

    // Cancels a running search, then searches the book at `path` read in `layout`, passing over
    // what the clean-up rules of the data directory take out of the text. false when the book
    // cannot be read.
    bool Start(const std::u16string& path, const CCodePageLayout& layout, Request request);
    void Cancel();
    bool IsRunning() const;

    // The search itself, on the calling thread; nothing when cancelled through the scanner.
    static std::optional<Result> Run(CBookScanner& scanner, const Request& request);

signals:
    void progress(int percent);
    void found(const CBookSearch::Result& result, bool forward);

private:
    CBookScanWorker* m_pWorker;
    std::string m_dataDir;
};
