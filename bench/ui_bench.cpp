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
#include <QTemporaryDir>
#include <QTest>

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

void BM_PageStep(benchmark::State& state) {
    QTemporaryDir dir;
    qputenv("VESKA_DATA_DIR", dir.path().toLocal8Bit());
    const QString bookPath = dir.filePath(QStringLiteral(u"长篇.txt"));
    {
        QFile book(bookPath);
        const std::string bytes = ChineseNovel(400 * 4092);
        if (!book.open(QIODevice::WriteOnly) ||
            book.write(bytes.data(), qint64(bytes.size())) != qint64(bytes.size())) {
            state.SkipWithError("cannot write the book");
            return;
        }
    }
    CVeskaApp* app = CVeskaApp::Instance();
    app->InitInstance(QStringList{QStringLiteral("veska")});
    CMainFrame* frame = app->MainFrame();
    WaitUntilShown(frame);
    CVeskaView* view = frame->GetActiveView();
    CTxtRichEdit* pane = view->m_pTxtEdit;
    view->OpenBook(bookPath.toStdU16String());
    const int last = view->Session().Book().GetPageCount() - 1;

    QCoreApplication::sendPostedEvents();
    std::vector<double> steps, painted, paintedCpu;
    for (auto _ : state) {
        if (view->Session().Book().m_nCurPage >= last) {
            state.PauseTiming();
            view->GotoPage(0);
            QCoreApplication::sendPostedEvents();
            state.ResumeTiming();
        }
        const auto start = Clock::now();
        const double startCpu = ThreadCpuMs();
        QTest::keyClick(pane, Qt::Key_Right);
        steps.push_back(Milliseconds(Clock::now() - start));
        // The paint the key asked for, into the offscreen window.
        QCoreApplication::sendPostedEvents();
        painted.push_back(Milliseconds(Clock::now() - start));
        paintedCpu.push_back(ThreadCpuMs() - startCpu);
    }
    const auto median = [](std::vector<double>& v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    if (!steps.empty()) {
        state.counters["median_ms"] = median(steps);
        state.counters["p90_ms"] = steps[steps.size() * 9 / 10];
        state.counters["painted_median_ms"] = median(painted);
        state.counters["painted_cpu_median_ms"] = median(paintedCpu);
    }
    state.counters["page_bytes"] = 4092;
    app->DestroyMainFrame();
}
BENCHMARK(BM_PageStep)->Unit(benchmark::kMillisecond)->Iterations(300);

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
