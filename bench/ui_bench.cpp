// Start-up to the first shown window, and a page step (Right arrow to the new page laid out and
// its first line selected; then also painted, with the processor time that took), on the
// offscreen platform.
//
//   build/bench/ui_bench
//
// Before the benchmarks it prints the cold start: the application object, the frame and its
// view, up to the window being exposed, as the first start of a process does it.

#include "app/main_frame.h"
#include "app/veska_app.h"
#include "bench/chinese_novel.h"
#include "view/txt_rich_edit.h"
#include "view/veska_view.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// Processor time of the calling thread: steadier than wall time on a busy machine.
double ThreadCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

void WaitUntilShown(CMainFrame* frame) {
    if (!QTest::qWaitForWindowExposed(frame)) {
        std::fprintf(stderr, "the window was not shown\n");
        std::abort();
    }
}

void BM_StartUpToShownWindow(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir dir;
        qputenv("VESKA_DATA_DIR", dir.path().toLocal8Bit());
        state.ResumeTiming();

        if (!CVeskaApp::Instance()->InitInstance(QStringList{QStringLiteral("veska")})) {
            state.SkipWithError("start-up failed");
            break;
        }
        WaitUntilShown(CVeskaApp::Instance()->MainFrame());

        state.PauseTiming();
        CVeskaApp::Instance()->DestroyMainFrame();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_StartUpToShownWindow)->Unit(benchmark::kMillisecond)->Iterations(30);

// A started reader with a long novel open, its data in a folder of its own.
struct OpenReader {
    QTemporaryDir dir;
    CMainFrame* frame = nullptr;
    CVeskaView* view = nullptr;
    CTxtRichEdit* pane = nullptr;
    int lastPage = 0;

    bool Start(int pages) {
        qputenv("VESKA_DATA_DIR", dir.path().toLocal8Bit());
        const QString bookPath = dir.filePath(QStringLiteral(u"长篇.txt"));
        QFile book(bookPath);
        const std::string bytes = ChineseNovel(std::size_t(pages) * 4092);
        if (!book.open(QIODevice::WriteOnly) ||
            book.write(bytes.data(), qint64(bytes.size())) != qint64(bytes.size())) {
            return false;
        }
        book.close();
        CVeskaApp::Instance()->InitInstance(QStringList{QStringLiteral("veska")});
        frame = CVeskaApp::Instance()->MainFrame();
        WaitUntilShown(frame);
        view = frame->GetActiveView();
        pane = view->m_pTxtEdit;
        view->OpenBook(bookPath.toStdU16String());
        lastPage = view->Session().Book().GetPageCount() - 1;
        QCoreApplication::processEvents();
        return true;
    }
    ~OpenReader() { CVeskaApp::Instance()->DestroyMainFrame(); }
};

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

double Percentile90(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() * 9 / 10];
}

// Arg 1: the book shown in Taiwan's characters (s2twp, phrase by phrase), each new page
// converted as it comes in.
void BM_PageStep(benchmark::State& state) {
    OpenReader reader;
    if (!reader.Start(400)) {
        state.SkipWithError("cannot write the book");
        return;
    }
    if (state.range(0) == 1) {
        reader.view->OnScriptChoice("tw");
        QCoreApplication::processEvents();
    }
    std::vector<double> steps, painted, paintedCpu;
    for (auto _ : state) {
        if (reader.view->Session().Book().m_nCurPage >= reader.lastPage) {
            state.PauseTiming();
            reader.view->GotoPage(0);
            QCoreApplication::sendPostedEvents();
            state.ResumeTiming();
        }
        const auto start = Clock::now();
        const double startCpu = ThreadCpuMs();
        QTest::keyClick(reader.pane, Qt::Key_Right);
        steps.push_back(Milliseconds(Clock::now() - start));
        // The paint the key asked for, into the offscreen window.
        QCoreApplication::sendPostedEvents();
        painted.push_back(Milliseconds(Clock::now() - start));
        paintedCpu.push_back(ThreadCpuMs() - startCpu);
    }
    state.counters["median_ms"] = Median(steps);
    state.counters["p90_ms"] = Percentile90(steps);
    state.counters["painted_median_ms"] = Median(painted);
    state.counters["painted_cpu_median_ms"] = Median(paintedCpu);
    state.counters["page_bytes"] = 4092;
}
BENCHMARK(BM_PageStep)->Unit(benchmark::kMillisecond)->Iterations(300)->Arg(0)->Arg(1);

// Steps that move the text by pixels: one tick of automatic scrolling, or one wheel notch, each
// with everything the event loop does after it (the paint, the pages brought in and let go).
// The slowest step and the slowest step that crossed a page edge are printed beside the median.
template <typename StepFn> void PixelSteps(benchmark::State& state, StepFn step) {
    OpenReader reader;
    if (!reader.Start(400)) {
        state.SkipWithError("cannot write the book");
        return;
    }
    std::vector<double> cpu;
    double slowest = 0;
    double slowestAtEdge = 0;
    int edges = 0;
    for (auto _ : state) {
        const int page = reader.view->Session().Book().m_nCurPage;
        const double startCpu = ThreadCpuMs();
        step(*reader.pane);
        QCoreApplication::processEvents();
        const double used = ThreadCpuMs() - startCpu;
        cpu.push_back(used);
        slowest = std::max(slowest, used);
        if (reader.view->Session().Book().m_nCurPage != page) {
            ++edges;
            slowestAtEdge = std::max(slowestAtEdge, used);
        }
    }
    state.counters["cpu_median_ms"] = Median(cpu);
    state.counters["cpu_p90_ms"] = Percentile90(cpu);
    state.counters["cpu_max_ms"] = slowest;
    state.counters["cpu_max_at_edge_ms"] = slowestAtEdge;
    state.counters["page_edges"] = edges;
}

void BM_AutoScrollTick(benchmark::State& state) {
    PixelSteps(state, [](CTxtRichEdit& pane) { pane.AutoScrollStep(); });
}
BENCHMARK(BM_AutoScrollTick)->Unit(benchmark::kMillisecond)->Iterations(6000);

void BM_WheelNotch(benchmark::State& state) {
    PixelSteps(state, [](CTxtRichEdit& pane) {
        const QPointF at(50, 50);
        QWheelEvent event(at, pane.viewport()->mapToGlobal(at), QPoint(), QPoint(0, -120),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(pane.viewport(), &event);
    });
}
BENCHMARK(BM_WheelNotch)->Unit(benchmark::kMillisecond)->Iterations(600);

// Opening a book until its first screen is painted: the book of VESKA_BENCH_BOOK, else the
// 500 MB novel chapter_scan_bench leaves in /tmp, else a 40 MB one written here. Opening reads
// a few pages whatever the size.
void BM_OpenBook(benchmark::State& state) {
    OpenReader reader;
    if (!reader.Start(10)) {
        state.SkipWithError("cannot write the book");
        return;
    }
    QString path = qEnvironmentVariable("VESKA_BENCH_BOOK");
    if (path.isEmpty() && QFile::exists(QStringLiteral("/tmp/veska-bench-novel.txt"))) {
        path = QStringLiteral("/tmp/veska-bench-novel.txt");
    }
    if (path.isEmpty()) {
        path = reader.dir.filePath(QStringLiteral(u"大部头.txt"));
        QFile book(path);
        const std::string bytes = ChineseNovel(std::size_t(40) << 20);
        if (!book.open(QIODevice::WriteOnly) ||
            book.write(bytes.data(), qint64(bytes.size())) != qint64(bytes.size())) {
            state.SkipWithError("cannot write the book");
            return;
        }
    }
    const std::u16string small = reader.view->Session().Book().m_strPath;
    std::vector<double> wall;
    for (auto _ : state) {
        const auto start = Clock::now();
        reader.view->OpenBook(path.toStdU16String());
        QCoreApplication::sendPostedEvents();
        wall.push_back(Milliseconds(Clock::now() - start));
        state.PauseTiming();
        reader.view->OpenBook(small);
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
    state.counters["median_ms"] = Median(wall);
    state.counters["max_ms"] = *std::max_element(wall.begin(), wall.end());
    state.counters["book_mb"] = double(QFileInfo(path).size()) / 1e6;
}
BENCHMARK(BM_OpenBook)->Unit(benchmark::kMillisecond)->Iterations(20);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("VESKA_STATS_URL", "");
    QTemporaryDir coldDir;
    qputenv("VESKA_DATA_DIR", coldDir.path().toLocal8Bit());

    const auto start = Clock::now();
    static int appArgc = 1;
    static char name[] = "veska";
    static char* appArgv[] = {name, nullptr};
    CVeskaApp app(appArgc, appArgv);
    app.InitInstance(QStringList{QStringLiteral("veska")});
    WaitUntilShown(app.MainFrame());
    std::printf("cold start-up to the first shown window: %.1f ms\n",
                Milliseconds(Clock::now() - start));
    app.DestroyMainFrame();

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
