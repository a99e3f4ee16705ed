// Chapter list (all built-in rules, one picked, the book read by two threads) and phrase search
// over a 500 MB GB18030 novel, next to `LC_ALL=C grep -c -F` on the same file in the same run; the
// search across scripts next to one for the phrase as typed; the chapter list with a
// regular-expression rule of the reader's own too, and the search with a clean-up rule; the memory
// a scan adds; page steps while a scan runs.
//
//   chapter_scan_bench [BOOK]    (default: /tmp/veska-bench-novel.txt, made when missing)
//
// The book is generated once (chapters of about 10 KB, CR LF, a heading per chapter in the
// styles the rule knows, the search phrase once per chapter) and read once before timing, so
// every run reads from the page cache. Each timing is the best of three.
#include "platform/code_page.h"
#include "text/book_scanner.h"
#include "text/chapter_finder.h"
#include "text/replace_rules.h"
#include "text/resource_data.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::uint64_t kBookBytes = 500ull * 1000 * 1000;
const char16_t kPhrase[] = u"老槐树下";
// A phrase whose every character differs between the scripts (頭髮): no byte is common to all
// its spellings, so the search cannot skip ahead with memmem.
const char16_t kSpelledApart[] = u"头发";

std::u16string NumberText(int n) {
    std::u16string text;
    for (char c : std::to_string(n)) {
        text += char16_t(c);
    }
    return text;
}

std::string Paragraphs() {
    const std::u16string prose =
        u"　　清晨的小城还没有完全醒来，街角的早点铺已经冒出了白色的热气。老陈把蒸笼一层层摞好，"
        u"抬头看了看灰蒙蒙的天色，说今天大概会下雨。隔壁卖菜的大婶笑着回答，下雨也好。\r\n"
        u"　　林晓背着书包从巷子里跑出来，手里还攥着半个没吃完的馒头。她的母亲在窗口喊她慢一点，"
        u"她只回头挥了挥手，就消失在拐角处。第一章里说过，学校离家不远，走路十五分钟。\r\n";
    return EncodeLegacy(prose);
}

void MakeBook(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) == 0 && std::uint64_t(st.st_size) >= kBookBytes) {
        return;
    }
    std::fprintf(stderr, "writing %s ...\n", path.c_str());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    const std::string body = Paragraphs();
    const std::string phrase = EncodeLegacy(std::u16string(u"　　晚上坐在") + kPhrase +
                                            u"乘凉的人，常常一聊就是大半夜。\r\n");
    static const char16_t* const kStyles[] = {u"第%d章 故人重逢", u"　　第%d回　风起",
                                              u"Chapter %d", u"番外 %d"};
    std::uint64_t written = 0;
    for (int chapter = 1; written < kBookBytes; ++chapter) {
        std::u16string heading = kStyles[chapter % 4];
        const std::size_t at = heading.find(u"%d");
        heading.replace(at, 2, NumberText(chapter));
        std::string text = EncodeLegacy(heading + u"\r\n");
        for (int i = 0; i < 20; ++i) {
            text += body;
            if (i == 10) {
                text += phrase;
            }
        }
        out.write(text.data(), std::streamsize(text.size()));
        written += text.size();
    }
}

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

template <typename F> double Best(F&& run) {
    double best = 1e9;
    for (int i = 0; i < 3; ++i) {
        const auto start = Clock::now();
        run();
        best = std::min(best, Seconds(Clock::now() - start));
    }
    return best;
}

double GrepSeconds(const std::string& bytes, const std::string& path, long& count) {
    // The pattern goes through a file, so its GB18030 bytes need no quoting.
    const std::string patternFile = path + ".pattern";
    std::ofstream(patternFile, std::ios::binary) << bytes << "\n";
    const std::string command = "LC_ALL=C grep -c -F -f '" + patternFile + "' '" + path + "'";
    return Best([&] {
        FILE* pipe = popen(command.c_str(), "r");
        if (pipe == nullptr || std::fscanf(pipe, "%ld", &count) != 1) {
            count = -1;
        }
        if (pipe != nullptr) {
            pclose(pipe);
        }
    });
}

long RssKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::atol(line.c_str() + 6);
        }
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::string path = argc > 1 ? argv[1] : "/tmp/veska-bench-novel.txt";
    MakeBook(path);
    std::system(("cat '" + path + "' > /dev/null").c_str()); // into the page cache

    CResourceData reader;
    if (reader.OpenTxt(DecodeUtf8(path)) != 0) {
        std::fprintf(stderr, "cannot open %s\n", path.c_str());
        return 1;
    }
    CBookScanner scanner;
    scanner.Open(reader.m_strPath, reader.m_layout);

    long grepHeadings = 0;
    long grepPhrase = 0;
    const double grepChapters = GrepSeconds(EncodeLegacy(u"第"), path, grepHeadings);
    const double grepFind = GrepSeconds(EncodeLegacy(kPhrase), path, grepPhrase);
    std::size_t chapters = 0;
    std::size_t found = 0;
    // As the reader makes it: every built-in rule tried at once, the one that fits picked.
    const CChapterRules rules = CChapterRules::BuiltIn();
    const double scanChapters = Best([&] {
        const std::optional<CChapterList> list = CChapterFinder::Find(scanner, rules);
        chapters = list ? list->size() : 0;
    });
    const auto timeFind = [&](std::size_t& count, const char16_t* phrase = kPhrase) {
        return Best([&] {
            count = 0;
            scanner.Find(phrase, 0, scanner.Size(), false, [&](const ScanHit&) {
                ++count;
                return true;
            });
        });
    };
    // The reader's search looks for the phrase in every script; the plain one for it as typed.
    const double scanFind = timeFind(found);
    scanner.SetAcrossScripts(false);
    std::size_t plainFound = 0;
    const double plainFind = timeFind(plainFound);
    std::size_t apartFound = 0;
    const double plainApart = timeFind(apartFound, kSpelledApart);
    scanner.SetAcrossScripts(true);
    const double scanApart = timeFind(apartFound, kSpelledApart);

    // A rule of the reader's own: a regular expression, which may match lines beginning with
    // anything, so every line short enough is decoded and tried.
    CChapterRules withOwn = CChapterRules::BuiltIn();
    withOwn.Add(CChapterRule::FromPattern("自定义", "第[0-9零一二三四五六七八九十百千万]+章.*"));
    std::size_t ownChapters = 0;
    const double scanOwn = Best([&] {
        const std::optional<CChapterList> list = CChapterFinder::Find(scanner, withOwn);
        ownChapters = list ? list->size() : 0;
    });
    scanner.SetChapterRules(rules);
    // The search with a clean-up rule: each occurrence's line is cleaned up to see it stays.
    CReplaceRules cleanUp;
    CReplaceRule::Fields ad;
    ad.name = "广告";
    ad.pattern = "本书由.*?整理.*";
    cleanUp.Add(CReplaceRule(ad));
    scanner.SetCleanUp(cleanUp);
    std::size_t cleanFound = 0;
    const double cleanFind = timeFind(cleanFound);
    scanner.SetCleanUp(CReplaceRules());

    // Memory a scan adds (the chapter list included), sampled every millisecond.
    std::atomic<bool> scanning{true};
    const long idleKb = RssKb();
    long peakKb = idleKb;
    std::thread sampler([&] {
        while (scanning) {
            peakKb = std::max(peakKb, RssKb());
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    std::vector<ScanHit> list;
    scanner.ScanChapters([&](const ScanHit& hit) {
        list.push_back(hit);
        return true;
    });
    scanning = false;
    sampler.join();

    // Page steps on the window's book object while a scan runs on another thread.
    std::atomic<bool> busy{true};
    std::thread background([&] {
        CBookScanner other;
        other.Open(reader.m_strPath, reader.m_layout);
        while (busy) {
            CChapterFinder::Find(other, rules); // a big book: on two threads, a half each
        }
    });
    std::vector<double> steps;
    reader.GotoPage(reader.GetPageCount() / 3);
    for (int i = 0; i < 2000; ++i) {
        const auto start = Clock::now();
        reader.NextPage();
        steps.push_back(Seconds(Clock::now() - start) * 1000);
    }
    busy = false;
    background.join();
    std::sort(steps.begin(), steps.end());

    std::printf("book: %s, %.0f MB GB18030, %d pages\n", path.c_str(), scanner.Size() / 1e6,
                reader.GetPageCount());
    std::printf("%-34s %9s %9s %7s\n", "", "seconds", "grep -c", "ratio");
    std::printf("%-34s %9.3f %9.3f %7.2f   (%zu headings; grep: %ld lines with 第)\n",
                "chapter list", scanChapters, grepChapters, scanChapters / grepChapters, chapters,
                grepHeadings);
    std::printf("%-34s %9.3f %9.3f %7.2f   (%zu occurrences; grep: %ld lines)\n", "find 老槐树下",
                scanFind, grepFind, scanFind / grepFind, found, grepPhrase);
    std::printf("%-34s %9.3f %9s %7.2f   (%zu occurrences; ratio: across scripts / plain)\n",
                "find 老槐树下 as typed only", plainFind, "", scanFind / plainFind, plainFound);
    std::printf("%-34s %9.3f %9s %7.2f   (%zu occurrences; ratio: across scripts / as typed "
                "%.3f s)\n",
                "find 头发", scanApart, "", scanApart / plainApart, apartFound, plainApart);
    std::printf("%-34s %9.3f %9.3f %7.2f   (%zu headings)\n", "chapter list, a regex rule too",
                scanOwn, grepChapters, scanOwn / grepChapters, ownChapters);
    std::printf("%-34s %9.3f %9.3f %7.2f   (%zu occurrences)\n", "find 老槐树下, a clean-up rule",
                cleanFind, grepFind, cleanFind / grepFind, cleanFound);
    std::printf("memory during a chapter scan: +%.1f MB over %.1f MB\n", (peakKb - idleKb) / 1024.0,
                idleKb / 1024.0);
    std::printf("page step during a scan: median %.3f ms, 99%% %.3f ms, max %.3f ms (%zu steps)\n",
                steps[steps.size() / 2], steps[steps.size() * 99 / 100], steps.back(),
                steps.size());
    const bool ok = scanChapters <= 3 * grepChapters && scanFind <= 3 * grepFind &&
                    scanFind <= 2 * plainFind && scanApart <= 2 * plainApart &&
                    scanOwn <= 5 * grepChapters && cleanFind <= 3 * grepFind &&
                    peakKb - idleKb <= 16 * 1024 && steps.back() < 5;
    std::printf("%s\n", ok ? "within the targets" : "OUTSIDE THE TARGETS");
    return ok ? 0 : 1;
}
