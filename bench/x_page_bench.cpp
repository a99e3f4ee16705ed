// A page turn as the reader sees it: the real `veska` on an X server, keys sent with XTest, each
// timed from the key event to the first change of the text area's pixels.
//
//   build/bench/x_page_bench [--turns N] [--book-mb M] [--veska PATH] [--script N]
//
// Without DISPLAY it starts its own Xvfb (1280x1024, 24-bit) and stops it at the end. It writes a
// GB18030 novel of M MB (default 10) into a temporary folder that is also the reader's data
// folder, starts the reader, opens the book through the open-file dialog (key O, the path typed,
// Enter), then times N (default 60) turns each of Right, Left and Space. Should a Space change
// nothing (the end of the book), an untimed Right follows and the run goes on. `--script N` shows
// the book in another script (reading.cfg's `script`: 1 Simplified, 2 Traditional, 3 Taiwan's,
// 4 Hong Kong's), each page converted as it comes in.
//
// The text area is sampled in the middle of the window (a quarter of the width in from each side,
// 30% to 80% of the height), where a full page always has text and neither the toolbars nor the
// status bar reach: a change there is the new text on screen, not a status line.
//
// Printed: start-up (process start to the window mapped, and to its first painted text), median,
// 90th percentile and extremes per key, and the reader's peak resident memory.

#include "bench/chinese_novel.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// Thrown to end the run; unwinding stops the reader and the X server this run started.
struct Failure {
    std::string why;
};

[[noreturn]] void Fail(const std::string& why) {
    throw Failure{why};
}

// A child process that is stopped (SIGTERM, then SIGKILL) when this object goes.
class Child {
public:
    Child() = default;
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    ~Child() { Stop(); }

    // Starts argv[0] with `env` added to the environment; `keepFd` stays open in the child.
    void Start(const std::vector<std::string>& argv,
               const std::vector<std::pair<std::string, std::string>>& env, int keepFd = -1) {
        m_pid = fork();
        if (m_pid < 0) {
            Fail("fork failed");
        }
        if (m_pid == 0) {
            for (const auto& [name, value] : env) {
                setenv(name.c_str(), value.c_str(), 1);
            }
            const int null = open("/dev/null", O_RDWR);
            dup2(null, 0);
            dup2(null, 1);
            if (getenv("X_PAGE_BENCH_VERBOSE") == nullptr) {
                dup2(null, 2);
            }
            for (int fd = 3; fd < 1024; ++fd) {
                if (fd != keepFd) {
                    close(fd);
                }
            }
            std::vector<char*> args;
            for (const std::string& a : argv) {
                args.push_back(const_cast<char*>(a.c_str()));
            }
            args.push_back(nullptr);
            execvp(args[0], args.data());
            _exit(127);
        }
    }

    pid_t Pid() const { return m_pid; }
    bool Running() const { return m_pid > 0 && waitpid(m_pid, nullptr, WNOHANG) == 0; }

    void Stop() {
        if (m_pid <= 0) {
            return;
        }
        kill(m_pid, SIGTERM);
        for (int i = 0; i < 100 && waitpid(m_pid, nullptr, WNOHANG) == 0; ++i) {
            std::this_thread::sleep_for(20ms);
        }
        if (waitpid(m_pid, nullptr, WNOHANG) == 0) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
        m_pid = -1;
    }

private:
    pid_t m_pid = -1;
};

// Starts Xvfb on a display number it picks itself (-displayfd), so that several runs and other
// X servers on the machine never collide; returns the display name.
std::string StartXvfb(Child& xvfb) {
    int fds[2];
    if (pipe(fds) != 0) {
        Fail("pipe failed");
    }
    xvfb.Start({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", "1280x1024x24",
                "-nolisten", "tcp"},
               {}, fds[1]);
    close(fds[1]);
    std::string number;
    pollfd p{fds[0], POLLIN, 0};
    const auto deadline = Clock::now() + 10s;
    while (Clock::now() < deadline && number.find('\n') == std::string::npos) {
        if (poll(&p, 1, 100) > 0) {
            char buffer[16];
            const ssize_t n = read(fds[0], buffer, sizeof buffer);
            if (n <= 0) {
                break;
            }
            number.append(buffer, std::size_t(n));
        }
    }
    close(fds[0]);
    if (number.find('\n') == std::string::npos) {
        Fail("Xvfb did not start (is the xvfb package installed?)");
    }
    return ":" + number.substr(0, number.find('\n'));
}

std::optional<long> WindowPid(Display* dpy, Window w) {
    const Atom atom = XInternAtom(dpy, "_NET_WM_PID", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::optional<long> pid;
    if (XGetWindowProperty(dpy, w, atom, 0, 1, False, XA_CARDINAL, &type, &format, &count, &after,
                           &data) == Success &&
        data != nullptr && count == 1 && format == 32) {
        pid = *reinterpret_cast<long*>(data);
    }
    if (data != nullptr) {
        XFree(data);
    }
    return pid;
}

// Waits for the next top-level window of process `pid` to be mapped (root's SubstructureNotify
// must be selected before the window can appear).
std::optional<Window> WaitForMappedWindow(Display* dpy, pid_t pid, Clock::duration timeout,
                                          Window except = None) {
    const auto deadline = Clock::now() + timeout;
    pollfd p{ConnectionNumber(dpy), POLLIN, 0};
    while (Clock::now() < deadline) {
        while (XPending(dpy) > 0) {
            XEvent event;
            XNextEvent(dpy, &event);
            if (event.type == MapNotify && event.xmap.window != except &&
                WindowPid(dpy, event.xmap.window) == pid) {
                return event.xmap.window;
            }
        }
        poll(&p, 1, 5);
    }
    return std::nullopt;
}

bool WaitForUnmap(Display* dpy, Window window, Clock::duration timeout) {
    const auto deadline = Clock::now() + timeout;
    pollfd p{ConnectionNumber(dpy), POLLIN, 0};
    while (Clock::now() < deadline) {
        while (XPending(dpy) > 0) {
            XEvent event;
            XNextEvent(dpy, &event);
            if ((event.type == UnmapNotify && event.xunmap.window == window) ||
                (event.type == DestroyNotify && event.xdestroywindow.window == window)) {
                return true;
            }
        }
        poll(&p, 1, 5);
    }
    return false;
}

// A rectangle of the screen read through shared memory, compared with an earlier reading.
class ScreenSampler {
public:
    ScreenSampler(Display* dpy, int x, int y, int width, int height) : m_dpy(dpy), m_x(x), m_y(y) {
        if (!XShmQueryExtension(dpy)) {
            Fail("the X server has no MIT-SHM extension");
        }
        const int screen = DefaultScreen(dpy);
        m_image =
            XShmCreateImage(dpy, DefaultVisual(dpy, screen), unsigned(DefaultDepth(dpy, screen)),
                            ZPixmap, nullptr, &m_shm, unsigned(width), unsigned(height));
        m_shm.shmid = shmget(IPC_PRIVATE, std::size_t(m_image->bytes_per_line * m_image->height),
                             IPC_CREAT | 0600);
        m_shm.shmaddr = m_image->data = static_cast<char*>(shmat(m_shm.shmid, nullptr, 0));
        m_shm.readOnly = False;
        XShmAttach(dpy, &m_shm);
        XSync(dpy, False);
        shmctl(m_shm.shmid, IPC_RMID, nullptr); // freed once both sides detach
    }
    ~ScreenSampler() {
        XShmDetach(m_dpy, &m_shm);
        XDestroyImage(m_image);
        shmdt(m_shm.shmaddr);
    }

    // Reads the rectangle; true when it differs from the last Keep().
    bool Changed() {
        XShmGetImage(m_dpy, DefaultRootWindow(m_dpy), m_image, m_x, m_y, AllPlanes);
        return m_kept.empty() || std::memcmp(m_kept.data(), m_image->data, m_kept.size()) != 0;
    }
    void Keep() {
        XShmGetImage(m_dpy, DefaultRootWindow(m_dpy), m_image, m_x, m_y, AllPlanes);
        m_kept.assign(m_image->data,
                      m_image->data + std::size_t(m_image->bytes_per_line * m_image->height));
    }
    // Whether the last reading holds more than one colour.
    bool HasContent() const {
        const auto* pixels = reinterpret_cast<const std::uint32_t*>(m_image->data);
        const std::size_t n = std::size_t(m_image->bytes_per_line / 4 * m_image->height);
        return std::any_of(pixels, pixels + n, [&](std::uint32_t p) {
            return (p & 0xFFFFFF) != (pixels[0] & 0xFFFFFF);
        });
    }

private:
    Display* m_dpy;
    int m_x, m_y;
    XImage* m_image = nullptr;
    XShmSegmentInfo m_shm{};
    std::vector<char> m_kept;
};

// Waits until the rectangle has not changed for `quiet` (at most `limit`), then keeps it.
void Settle(ScreenSampler& sampler, Clock::duration quiet = 80ms, Clock::duration limit = 3s) {
    sampler.Keep();
    const auto end = Clock::now() + limit;
    auto calmSince = Clock::now();
    while (Clock::now() < end && Clock::now() - calmSince < quiet) {
        std::this_thread::sleep_for(2ms);
        if (sampler.Changed()) {
            sampler.Keep();
            calmSince = Clock::now();
        }
    }
}

void Key(Display* dpy, KeySym sym, bool shift = false, bool control = false) {
    const KeyCode code = XKeysymToKeycode(dpy, sym);
    if (code == 0) {
        Fail("no key for keysym " + std::to_string(sym));
    }
    std::vector<KeyCode> held;
    if (shift) {
        held.push_back(XKeysymToKeycode(dpy, XK_Shift_L));
    }
    if (control) {
        held.push_back(XKeysymToKeycode(dpy, XK_Control_L));
    }
    for (const KeyCode modifier : held) {
        XTestFakeKeyEvent(dpy, modifier, True, CurrentTime);
    }
    XTestFakeKeyEvent(dpy, code, True, CurrentTime);
    XTestFakeKeyEvent(dpy, code, False, CurrentTime);
    for (const KeyCode modifier : held) {
        XTestFakeKeyEvent(dpy, modifier, False, CurrentTime);
    }
    XFlush(dpy);
}

// Types printable ASCII text on the X server's own keyboard map.
void Type(Display* dpy, const std::string& text) {
    for (const char c : text) {
        const KeySym sym = KeySym(static_cast<unsigned char>(c));
        const KeyCode code = XKeysymToKeycode(dpy, sym);
        int perCode = 0;
        KeySym* syms = XGetKeyboardMapping(dpy, code, 1, &perCode);
        const bool shifted = perCode > 0 && syms[0] != sym;
        XFree(syms);
        Key(dpy, sym, shifted);
        XSync(dpy, False);
        std::this_thread::sleep_for(3ms);
    }
}

// Processor time the process has used so far, user and system, in milliseconds.
double CpuMs(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string all((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    // Fields after the command name, which may hold spaces, start after its closing bracket.
    std::istringstream fields(all.substr(all.rfind(')') + 2));
    std::string field;
    unsigned long long user = 0, system = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14) {
            user = std::stoull(field);
        } else if (i == 15) {
            system = std::stoull(field);
        }
    }
    return double(user + system) * 1000.0 / double(sysconf(_SC_CLK_TCK));
}

struct Stats {
    std::vector<double> ms;
    int misses = 0;     // keys after which nothing changed within the time-out
    double cpuMs = 0.0; // the reader's processor time over all of this key's turns

    void Print(const char* name) const {
        std::vector<double> s = ms;
        std::sort(s.begin(), s.end());
        if (s.empty()) {
            std::printf("%-6s no turn changed the screen (%d keys without a change)\n", name,
                        misses);
            return;
        }
        std::printf("%-6s %3zu turns  median %6.2f ms  p90 %6.2f ms  min %6.2f ms  max %7.2f ms",
                    name, s.size(), s[s.size() / 2], s[std::min(s.size() - 1, s.size() * 9 / 10)],
                    s.front(), s.back());
        if (!s.empty()) {
            std::printf("  reader CPU %5.2f ms/turn", cpuMs / double(s.size()));
        }
        if (misses > 0) {
            std::printf("  (%d keys without a change)", misses);
        }
        std::printf("\n");
    }
};

// Sends the key and waits for the first changed pixel; nullopt when nothing changed in time.
std::optional<double> TimedKey(Display* dpy, ScreenSampler& sampler, KeySym sym,
                               Clock::duration timeout) {
    Settle(sampler);
    const auto start = Clock::now();
    Key(dpy, sym);
    while (Clock::now() - start < timeout) {
        if (sampler.Changed()) {
            return Ms(Clock::now() - start);
        }
        // Leave the X server and the reader the processor between readings.
        std::this_thread::sleep_for(100us);
    }
    return std::nullopt;
}

void Progress(const char* what) {
    std::fprintf(stderr, "x_page_bench: %s\n", what);
}

long PeakResidentKb(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) {
            return std::atol(line.c_str() + 6);
        }
    }
    return -1;
}

} // namespace

int Run(int argc, char** argv) {
    int turns = 60;
    long bookMb = 10;
    int script = 0; // reading.cfg's `script`: 0 the book as written, 3 Taiwan's characters
    std::filesystem::path veska =
        std::filesystem::canonical("/proc/self/exe").parent_path().parent_path() / "app" / "veska";
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--turns" && i + 1 < argc) {
            turns = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--book-mb" && i + 1 < argc) {
            bookMb = std::max(1L, std::atol(argv[++i]));
        } else if (arg == "--veska" && i + 1 < argc) {
            veska = argv[++i];
        } else if (arg == "--script" && i + 1 < argc) {
            script = std::clamp(std::atoi(argv[++i]), 0, 4);
        } else {
            std::fprintf(stderr,
                         "usage: %s [--turns N] [--book-mb M] [--veska PATH] [--script N]\n",
                         argv[0]);
            return 2;
        }
    }
    if (!std::filesystem::exists(veska)) {
        Fail("no reader at " + veska.string() + " (build it, or give --veska PATH)");
    }

    Child xvfb;
    std::string display = getenv("DISPLAY") != nullptr ? getenv("DISPLAY") : "";
    if (display.empty()) {
        display = StartXvfb(xvfb);
    }
    Display* dpy = XOpenDisplay(display.c_str());
    if (dpy == nullptr) {
        Fail("cannot open display " + display);
    }
    int event = 0, error = 0, major = 0, minor = 0;
    if (!XTestQueryExtension(dpy, &event, &error, &major, &minor)) {
        Fail("the X server has no XTEST extension");
    }

    // The book and the reader's data folder. The path is plain ASCII so that it can be typed.
    char folderTemplate[] = "/tmp/veska-xbench-XXXXXX";
    if (mkdtemp(folderTemplate) == nullptr) {
        Fail("cannot make a temporary folder");
    }
    const std::filesystem::path folder = folderTemplate;
    const std::string bookPath = (folder / "novel.txt").string();
    {
        // One megabyte of prose, repeated: pages still differ from their neighbours.
        const std::string block = ChineseNovel(std::size_t(1) << 20);
        std::ofstream book(bookPath, std::ios::binary);
        for (std::size_t written = 0; written < std::size_t(bookMb) << 20;
             written += block.size()) {
            book.write(block.data(), std::streamsize(block.size()));
        }
        if (!book.flush()) {
            Fail("cannot write " + bookPath);
        }
    }
    if (script != 0) {
        // Every book shown in that script: each page converted as it comes in.
        std::ofstream prefs(folder / "reading.cfg");
        prefs << "script=" << script << "\n";
        if (!prefs.flush()) {
            Fail("cannot write reading.cfg");
        }
    }

    XSelectInput(dpy, DefaultRootWindow(dpy), SubstructureNotifyMask);
    XSync(dpy, False);
    Child reader;
    const auto launched = Clock::now();
    reader.Start({veska.string()}, {{"DISPLAY", display},
                                    {"VESKA_DATA_DIR", folder.string()},
                                    {"VESKA_STATS_URL", ""},
                                    {"QT_QPA_PLATFORM", "xcb"}});
    const std::optional<Window> window = WaitForMappedWindow(dpy, reader.Pid(), 20s);
    if (!window) {
        Fail("the reader's window did not appear");
    }
    const double mappedMs = Ms(Clock::now() - launched);

    int wx = 0, wy = 0;
    Window child = None;
    XWindowAttributes attributes;
    XGetWindowAttributes(dpy, *window, &attributes);
    XTranslateCoordinates(dpy, *window, DefaultRootWindow(dpy), 0, 0, &wx, &wy, &child);
    const int width = attributes.width, height = attributes.height;
    auto samplerOwner = std::make_unique<ScreenSampler>(dpy, wx + width / 4, wy + height * 3 / 10,
                                                        width / 2, height / 2);
    ScreenSampler& sampler = *samplerOwner;
    while (!(sampler.Changed() && sampler.HasContent())) {
        if (Clock::now() - launched > 20s) {
            Fail("the reader's window shows no text");
        }
        std::this_thread::sleep_for(1ms);
    }
    const double paintedMs = Ms(Clock::now() - launched);
    Progress("window shown");

    // Open the book: O, the path, Enter in the file dialog.
    XTestFakeMotionEvent(dpy, -1, wx + width / 2, wy + height / 2, CurrentTime);
    XSetInputFocus(dpy, *window, RevertToParent, CurrentTime);
    Settle(sampler);
    Key(dpy, XK_o);
    const std::optional<Window> dialog = WaitForMappedWindow(dpy, reader.Pid(), 10s, *window);
    if (!dialog) {
        Fail("the open-file dialog did not appear");
    }
    // Type only once the dialog has the keyboard, or the first letters go to the reader.
    for (const auto asked = Clock::now(); Clock::now() - asked < 10s;) {
        Window focus = None;
        int revert = 0;
        XGetInputFocus(dpy, &focus, &revert);
        if (focus == *dialog) {
            break;
        }
        std::this_thread::sleep_for(5ms);
    }
    std::this_thread::sleep_for(300ms);
    // Under load a typed letter can go missing, and the first Enter may only close the name
    // completion's list: type the path again until the dialog goes.
    bool closed = false;
    for (int i = 0; i < 5 && !closed; ++i) {
        Type(dpy, bookPath);
        Key(dpy, XK_Return);
        closed = WaitForUnmap(dpy, *dialog, 2s);
        if (!closed) {
            Key(dpy, XK_Return);
            closed = WaitForUnmap(dpy, *dialog, 2s);
        }
        if (!closed) {
            Key(dpy, XK_a, false, true);
            Key(dpy, XK_BackSpace);
        }
    }
    if (!closed) {
        Fail("the open-file dialog did not close");
    }
    // The welcome text was kept before the dialog opened: the book's first page replaces it.
    const auto opening = Clock::now();
    while (!sampler.Changed()) {
        if (Clock::now() - opening > 10s) {
            Fail("the book did not open");
        }
        std::this_thread::sleep_for(1ms);
    }
    XSetInputFocus(dpy, *window, RevertToParent, CurrentTime);
    Settle(sampler, 300ms);
    Progress("book open");

    Stats right, left, space;
    double cpu = CpuMs(reader.Pid());
    const auto cpuSince = [&] {
        const double before = cpu;
        cpu = CpuMs(reader.Pid());
        return cpu - before;
    };
    const auto timeTurns = [&](KeySym key, Stats& stats) {
        for (int i = 0; i < turns; ++i) {
            if (const auto ms = TimedKey(dpy, sampler, key, 2s)) {
                stats.ms.push_back(*ms);
            } else {
                ++stats.misses;
            }
        }
        stats.cpuMs = cpuSince();
    };
    timeTurns(XK_Right, right);
    Progress("Right done");
    timeTurns(XK_Left, left);
    // Space stops changing only at the end of the book: then an untimed Right goes on.
    for (int tries = 0; int(space.ms.size()) < turns && tries < turns * 4; ++tries) {
        cpuSince();
        if (const auto ms = TimedKey(dpy, sampler, XK_space, 300ms)) {
            space.ms.push_back(*ms);
            space.cpuMs += cpuSince();
        } else {
            Key(dpy, XK_Right);
        }
    }
    if (!reader.Running()) {
        Fail("the reader ended during the run");
    }

    std::printf("reader on %s, window %dx%d, %ld MB GB18030 book, %d turns per key\n",
                display.c_str(), width, height, bookMb, turns);
    std::printf("start-up: window mapped %.0f ms, first text painted %.0f ms\n", mappedMs,
                paintedMs);
    std::printf("key to first changed pixel of the text area:\n");
    right.Print("Right");
    left.Print("Left");
    space.Print("Space");
    std::printf("reader's peak resident memory: %.1f MB\n", PeakResidentKb(reader.Pid()) / 1024.0);

    std::fflush(stdout);
    reader.Stop();
    samplerOwner.reset();
    XCloseDisplay(dpy);
    xvfb.Stop();
    std::filesystem::remove_all(folder);
    return 0;
}

int main(int argc, char** argv) {
    try {
        return Run(argc, argv);
    } catch (const Failure& failure) {
        std::fprintf(stderr, "x_page_bench: %s\n", failure.why.c_str());
        return 1;
    }
}
