// The shelf at ten thousand books, on the offscreen platform:
//   - `veska --add` of a folder tree of 10 000 books (the real program, once, from a cold shelf);
//   - the 书架 window from nothing to shown, with its first order, and a sort by another column;
//   - one key typed into the filter, until the list has narrowed;
//   - the memory the shelf takes on top of the reader: the real reader with a book open, then
//     with its 书架 window open on the ten thousand books.
//
//   build/bench/shelf_bench [--books N]
//
// It makes its books under a temporary folder: about 4 KB each, in 7 × 13 nested folders.

#include "app/main_frame.h"
#include "app/shelf_recorder.h"
#include "app/veska_app.h"
#include "dialogs/shelf_dlg.h"
#include "res/resource.h"
#include "shelf/book_shelf.h"
#include "widgets/modal_hook.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>

namespace {

int g_books = 10000;
QTemporaryDir* g_dir = nullptr;

QString DataDir() {
    return g_dir->filePath(QStringLiteral("data"));
}

// Resident memory of this process, in KB.
long ResidentKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::atol(line.c_str() + 6);
        }
    }
    return -1;
}

void MakeLibrary(const QString& root) {
    const std::string prose =
        "清晨的小城还没有完全醒来，街角的早点铺已经冒出了白色的热气。老陈把蒸笼一层层摞好。\n";
    for (int i = 0; i < g_books; ++i) {
        const QString folder = QStringLiteral(u"%1/卷%2/部%3").arg(root).arg(i % 7).arg(i % 13);
        QDir().mkpath(folder);
        std::ofstream out(
            QFile::encodeName(folder + QStringLiteral(u"/第%1本.txt").arg(i)).toStdString());
        out << "书名：书" << i << "\n作者：笔名" << i << "\n\n";
        for (int k = 0; k < 32; ++k) {
            out << prose;
        }
    }
}

// The real program's add, timed from its start to its end.
void AddWithTheProgram(const QString& library) {
    QProcess add;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("VESKA_DATA_DIR"), DataDir());
    environment.insert(QStringLiteral("VESKA_LOG"), QString());
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    add.setProcessEnvironment(environment);
    QElapsedTimer timer;
    timer.start();
    add.start(QStringLiteral(VESKA_BINARY_DIR "/app/veska"), {QStringLiteral("--add"), library});
    if (!add.waitForFinished(600000) || add.exitCode() != 0) {
        std::fprintf(stderr, "veska --add failed\n");
        std::exit(1);
    }
    const double seconds = double(timer.elapsed()) / 1000;
    const QList<QByteArray> lines = add.readAllStandardOutput().trimmed().split('\n');
    std::printf("veska --add of %d books: %.2f s (%s)\n", g_books, seconds,
                lines.last().constData());
}

// The running reader's shelf.
CBookShelf& Shelf() {
    CBookShelf* shelf = CVeskaApp::Instance()->MainFrame()->ShelfRecorder()->Shelf();
    if (shelf == nullptr) {
        std::fprintf(stderr, "no shelf\n");
        std::exit(1);
    }
    return *shelf;
}

void BM_WindowOpenAndSort(benchmark::State& state) {
    for (auto _ : state) {
        CShelfDlg dlg(Shelf(), CVeskaApp::Instance()->MainFrame());
        dlg.show();
        if (!QTest::qWaitForWindowExposed(&dlg)) {
            state.SkipWithError("not shown");
            break;
        }
        dlg.List()->sortByColumn(CShelfDlg::kTitle, Qt::AscendingOrder);
        QCoreApplication::processEvents();
        state.PauseTiming();
        dlg.close();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_WindowOpenAndSort)->Unit(benchmark::kMillisecond)->Iterations(5);

// A title typed key by key ("书1234"), each key until the list has narrowed, then cleared.
void BM_FilterPerKey(benchmark::State& state) {
    CShelfDlg dlg(Shelf(), CVeskaApp::Instance()->MainFrame());
    dlg.show();
    if (!QTest::qWaitForWindowExposed(&dlg)) {
        state.SkipWithError("not shown");
        return;
    }
    auto* filter = dlg.findChild<QLineEdit*>();
    const QString typed = QStringLiteral(u"书1234");
    int key = 0;
    for (auto _ : state) {
        // keyClicks takes ASCII only.
        QTest::sendKeyEvent(QTest::Click, filter, Qt::Key_unknown, typed.mid(key, 1),
                            Qt::NoModifier);
        QCoreApplication::processEvents();
        if (++key == typed.size()) {
            state.PauseTiming();
            filter->clear();
            QCoreApplication::processEvents();
            key = 0;
            state.ResumeTiming();
        }
    }
}
BENCHMARK(BM_FilterPerKey)->Unit(benchmark::kMillisecond)->Iterations(60);

void StartReaderAndPrintMemory(const QString& book) {
    if (!CVeskaApp::Instance()->InitInstance({QStringLiteral("veska"), book})) {
        std::fprintf(stderr, "the reader did not start\n");
        std::exit(1);
    }
    CMainFrame* frame = CVeskaApp::Instance()->MainFrame();
    (void)QTest::qWaitForWindowExposed(frame);
    QTest::qWait(200);
    const long reader = ResidentKb();
    long open = -1;
    {
        ScopedModalHook measure([&](QDialog& window) {
            (void)QTest::qWaitForWindowExposed(&window);
            QTest::qWait(200);
            open = ResidentKb();
            window.reject();
        });
        frame->OnCommand(ID_SHELF);
    }
    QTest::qWait(200);
    std::printf("the reader with a book open: %.1f MB resident; with its 书架 window open on %d "
                "books: %.1f MB more (%.1f MB more once closed)\n",
                double(reader) / 1024, g_books, double(open - reader) / 1024,
                double(ResidentKb() - reader) / 1024);
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("VESKA_STATS_URL", "");
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--books") == 0) {
            g_books = std::atoi(argv[i + 1]);
        }
    }
    QTemporaryDir dir;
    g_dir = &dir;
    qputenv("VESKA_DATA_DIR", QFile::encodeName(DataDir()));
    CVeskaApp app(argc, argv);
    const QString library = dir.filePath(QStringLiteral(u"书库"));
    MakeLibrary(library);
    AddWithTheProgram(library);
    StartReaderAndPrintMemory(library + QStringLiteral(u"/卷0/部0/第0本.txt"));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    app.DestroyMainFrame();
    return 0;
}
