#include "reader/book_search.h"

#include "platform/paths.h"
#include "reader/book_scan_worker.h"
#include "text/replace_rule_file.h"

CBookSearch::CBookSearch(QObject* parent) : QObject(parent), m_pWorker(new CBookScanWorker(this)) {
    connect(m_pWorker, &CBookScanWorker::progress, this, &CBookSearch::progress);
}

// The worker (a child) joins its thread when it goes.
CBookSearch::~CBookSearch() = default;

bool CBookSearch::Start(const std::u16string& path, const CCodePageLayout& layout,
                        Request request) {
    // Read at each search: the file is small, and the rules may have changed since the last.
    CReplaceRules rules;
    CReplaceRuleFile::LoadInto(m_dataDir.empty() ? GetDataDir() : m_dataDir, rules);
    CBookScanWorker* worker = m_pWorker;
    return worker->Start(
        path, layout,
        [this, worker, request, cleanUp = rules.ForBook(path)](CBookScanner& scanner) {
            scanner.SetCleanUp(cleanUp);
            const std::optional<Result> result = Run(scanner, request);
            if (result) {
                worker->Post(
                    [this, result, forward = request.forward] { emit found(*result, forward); });
            }
        });
}

void CBookSearch::Cancel() {
    m_pWorker->Cancel();
}

bool CBookSearch::IsRunning() const {
    return m_pWorker->IsRunning();
}

std::optional<CBookSearch::Result> CBookSearch::Run(CBookScanner& scanner, const Request& request) {
    const std::u16string& text = request.text;
    const int page = request.page;
    const std::uint64_t pageStart = scanner.Book().PageStartOffset(page);
    const std::uint64_t pageEnd = scanner.Book().PageStartOffset(page + 1);
    const std::optional<ScanHit>& last = request.last;
    const auto beforeScreen = [&](const ScanHit& hit) {
        return hit.page == page &&
               scanner.Book().TextPositionOf(page, hit.offset) < request.screenTop;
    };
    Result result;
    const auto first = [&](const ScanHit& hit) {
        result.found = hit;
        return false;
    };
    if (request.forward) {
        const std::uint64_t from = last ? last->offset + last->length : pageStart;
        if (!scanner.Find(text, from, scanner.Size(), false, [&](const ScanHit& hit) {
                return !last && beforeScreen(hit) ? true : first(hit);
            })) {
            return std::nullopt;
        }
        if (!result.found) {
            result.wrapped = true;
            if (!scanner.Find(text, 0, scanner.Size(), false, first)) {
                return std::nullopt;
            }
        }
        return result;
    }
    if (last) {
        result.found = scanner.FindLast(text, last->offset);
    } else {
        // Occurrences above the screen on this page come first.
        if (!scanner.Find(text, pageStart, pageEnd, false, [&](const ScanHit& hit) {
                if (beforeScreen(hit)) {
                    result.found = hit;
                }
                return true;
            })) {
            return std::nullopt;
        }
        if (!result.found) {
            result.found = scanner.FindLast(text, pageStart);
        }
    }
    if (!result.found) {
        result.wrapped = true;
        result.found = scanner.FindLast(text, scanner.Size());
    }
    return result;
}
