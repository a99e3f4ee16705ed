// The chapter list of a book with a million headings, in the reader window (offscreen): the size
// of the list kept in the data directory, the time and peak memory of the first open (the scan),
// of the second open (the kept list), and of "目录" (M) until it is painted.
//
//   chapter_list_bench [BOOK]    (default: /tmp/veska-bench-million.txt, made when missing)
//
// The book is GB18030, CR LF, 1 000 000 chapters of one heading line and one short paragraph
// each (about 190 MB). Peak memory is the resident high-water mark of the process, reset before
// each step.
#include "app/main_frame.h"
#include "app/veska_app.h"
#include "platform/code_page.h"
#include "view/veska_view.h"
#include "widgets/modal_hook.h"

#include <QDialog>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kChapters = 1000000;

double Ms(Clock::time_point since) {
    return std::chrono::duration<double, std::milli>(Clock::now() - since).count();
}

std::u16string NumberText(int n) {
    std::u16string text;
    for (char c : std::to_string(n)) {
        text += char16_t(c);
    }
    return text;
}

void MakeBook(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) == 0 && st.st_size > 0) {
        return;
    }
    std::fprintf(stderr, "writing %s ...\n", path.c_str());
    // Titles of 16 to 22 characters after the number, as long-titled web novels have them.
    static const char16_t* const kTitles[] = {
        u" 故人重逢在江南烟雨里的小城门下", u" 山雨欲来风满楼，少年独自登上城墙",
        u" 夜渡寒江的人从不回头看岸上的灯火", u" 旧城往事与新的开始总在同一个清晨",
        u" 风起之时，他终于明白了师父那句话的意思"};
    const std::string body = EncodeLegacy(
        u"　　马车在石板路上缓缓前行，车轮碾过积水，溅起细碎的水花。她把信纸折好放进袖中。\r\n");
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    std::string text;
    for (int chapter = 1; chapter <= kChapters; ++chapter) {
        text += EncodeLegacy(u"第" + NumberText(chapter) + u"章" + kTitles[chapter % 5] + u"\r\n");
        text += body;
        if (text.size() > (1 << 20)) {
            out << text;
            text.clear();
        }
    }
    out << text;
}

long StatusKb(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field, 0) == 0) {
            return std::atol(line.c_str() + std::strlen(field));
        }
    }
    return 0;
}

// From here on VmHWM counts anew.
void ResetPeak() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

double Mb(long kb) {
    return double(kb) / 1024.0;
}

bool WaitForChapters(CVeskaView* view) {
    const auto start = Clock::now();
    while (!view->ChaptersComplete()) {
        if (Ms(start) > 20 * 60 * 1000.0) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    return true;
}

std::uintmax_t ListBytes(const QString& dataDir) {
    std::uintmax_t bytes = 0;
    std::error_code error;
    for (const auto& entry :
         std::filesystem::directory_iterator(dataDir.toStdString() + "/chapters", error)) {
        bytes += entry.file_size();
    }
    return bytes;
}

} // namespace

int main(int argc, char** argv) {
    const std::string book = argc > 1 ? argv[1] : "/tmp/veska-bench-million.txt";
    MakeBook(book);
    std::system(("cat '" + book + "' > /dev/null").c_str()); // into the page cache
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("VESKA_STATS_URL", "");
    QTemporaryDir dataDir;
    qputenv("VESKA_DATA_DIR", dataDir.path().toLocal8Bit());
    const std::string other = dataDir.filePath(QStringLiteral("other.txt")).toStdString();
    std::ofstream(other) << "x\n";

    static int appArgc = 1;
    static char name[] = "veska";
    static char* appArgv[] = {name, nullptr};
    CVeskaApp app(appArgc, appArgv);
    app.InitInstance(QStringList{QStringLiteral("veska")});
    if (!QTest::qWaitForWindowExposed(app.MainFrame())) {
        std::fprintf(stderr, "the window was not shown\n");
        return 1;
    }
    CVeskaView* view = app.MainFrame()->GetActiveView();
    const std::u16string bookPath = DecodeUtf8(book);
    std::printf("book: %s, %.0f MB\n", book.c_str(),
                double(std::filesystem::file_size(book)) / 1e6);
    std::printf("window shown, no book: %.1f MB resident\n", Mb(StatusKb("VmRSS:")));

    ResetPeak();
    auto start = Clock::now();
    view->OpenBook(bookPath);
    if (!WaitForChapters(view)) {
        std::fprintf(stderr, "the chapter list did not complete\n");
        return 1;
    }
    std::printf("first open: %zu headings listed in %.2f s; peak %.1f MB, then %.1f MB resident; "
                "list kept: %.1f MB\n",
                view->Chapters().size(), Ms(start) / 1000, Mb(StatusKb("VmHWM:")),
                Mb(StatusKb("VmRSS:")), double(ListBytes(dataDir.path())) / 1e6);

    view->OpenBook(DecodeUtf8(other));
    ResetPeak();
    start = Clock::now();
    view->OpenBook(bookPath);
    const double openMs = Ms(start);
    const bool kept = view->ChaptersComplete();
    if (!WaitForChapters(view)) {
        return 1;
    }
    std::printf("second open: %s, %.1f ms to open, %.2f s to the whole list; peak %.1f MB, then "
                "%.1f MB resident\n",
                kept ? "list loaded back" : "RESCANNED", openMs, Ms(start) / 1000,
                Mb(StatusKb("VmHWM:")), Mb(StatusKb("VmRSS:")));

    // "目录" near the middle of the book, from the command to its first paint.
    view->GotoChapter(kChapters / 2);
    QCoreApplication::processEvents();
    ResetPeak();
    double shownMs = 0;
    long openKb = 0;
    {
        ScopedModalHook hook([&](QDialog& dialog) {
            if (QTest::qWaitForWindowExposed(&dialog)) {
                QCoreApplication::processEvents();
                shownMs = Ms(start);
            }
            openKb = StatusKb("VmRSS:");
        });
        start = Clock::now();
        view->OnChapterList();
    }
    std::printf("目录: painted after %.1f ms; %.1f MB resident while open (peak %.1f MB), %.1f MB "
                "after it closed\n",
                shownMs, Mb(openKb), Mb(StatusKb("VmHWM:")), Mb(StatusKb("VmRSS:")));
    app.DestroyMainFrame();
    return kept && shownMs > 0 && shownMs < 300 ? 0 : 1;
}
