// The reader on a real X server (a private Xvfb) through Qt's xcb platform: what the offscreen
// platform cannot show, the window names other programs read and the keyboard's lock state.

#include "tests/app/ui_test_support.h"

#include <QApplication>
#include <QtGui/qguiapplication_platform.h>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <csignal>
#include <fcntl.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace {

// Starts Xvfb on a free display and points DISPLAY at it; the server ends with this process.
bool StartXServer() {
    int fds[2];
    if (pipe(fds) != 0) {
        return false;
    }
    const pid_t pid = fork();
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        dup2(fds[1], STDOUT_FILENO); // where it writes the display number
        dup2(open("/dev/null", O_WRONLY), STDERR_FILENO);
        execlp("Xvfb", "Xvfb", "-displayfd", "1", "-screen", "0", "1280x1024x24", "-nolisten",
               "tcp", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    char number[16] = {};
    const bool started = pid > 0 && read(fds[0], number, sizeof number - 1) > 0;
    close(fds[0]);
    return started && setenv("DISPLAY", (":" + std::to_string(atoi(number))).c_str(), 1) == 0;
}

Display* XDisplay() {
    return qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->display();
}

// A window's _NET_WM_NAME as the X server holds it, read the way xprop reads it.
std::string NetWmName(QWidget* window) {
    Display* display = XDisplay();
    XSync(display, False);
    XTextProperty name{};
    if (XGetTextProperty(display, Window(window->winId()), &name,
                         XInternAtom(display, "_NET_WM_NAME", False)) == 0) {
        return "<none>";
    }
    std::string text(reinterpret_cast<const char*>(name.value), name.value ? name.nitems : 0);
    XFree(name.value);
    return text;
}

// Presses and lets go of each key in turn.
void Press(std::initializer_list<KeySym> keys) {
    Display* display = XDisplay();
    for (const KeySym key : keys) {
        XTestFakeKeyEvent(display, XKeysymToKeycode(display, key), True, 0);
        XTestFakeKeyEvent(display, XKeysymToKeycode(display, key), False, 0);
    }
    XSync(display, False);
}

// Scroll Lock only locks something, and so only lights its indicator, once a modifier carries
// it: Xvfb's keymap, like many desktops', gives it none. This binds it the way users do
// (`xmodmap -e 'add mod3 = Scroll_Lock'`).
void GiveScrollLockAModifier() {
    Display* display = XDisplay();
    XModifierKeymap* map = XGetModifierMapping(display);
    map = XInsertModifiermapEntry(map, XKeysymToKeycode(display, XK_Scroll_Lock), Mod3MapIndex);
    XSetModifierMapping(display, map);
    XFreeModifiermap(map);
    XSync(display, False);
}

bool g_haveServer = false;

class X11DesktopTest : public ReaderEnvironmentTest {
protected:
    static void SetUpTestSuite() {
        if (QCoreApplication::instance() == nullptr) {
            g_haveServer = StartXServer();
            qputenv("QT_QPA_PLATFORM", "xcb");
        }
    }
    void SetUp() override {
        if (!g_haveServer) {
            GTEST_SKIP() << "Xvfb is not installed";
        }
        ReaderEnvironmentTest::SetUp();
        ASSERT_EQ(QGuiApplication::platformName(), "xcb");
    }
    void Start() {
        ReaderSettings settings;
        settings.title_name = EncodeLegacy(u"我的书房");
        SaveReaderSettings(settings, m_dataDir.path().toStdString());
        ASSERT_TRUE(Launch());
        m_frame = TestApp().MainFrame();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_frame));
    }
    QString Pane(int index) const { return m_frame->StatusPane(index)->text(); }
    CMainFrame* m_frame = nullptr;
};

TEST_F(X11DesktopTest, WindowNamesAreExactlyTheTitlesTheWindowsSet) {
    Start();
    EXPECT_EQ(NetWmName(m_frame), "我的书房");
    std::string dialogName;
    {
        ScopedModalHook hook([&](QDialog& dialog) {
            EXPECT_TRUE(QTest::qWaitForWindowExposed(&dialog));
            dialogName = NetWmName(&dialog);
            dialog.close();
        });
        m_frame->OnOption();
    }
    EXPECT_EQ(dialogName, "设置");
    m_frame->setWindowTitle(QString()); // an empty title_name
    EXPECT_EQ(NetWmName(m_frame), "");
}

TEST_F(X11DesktopTest, LockPanesFollowTheKeyboardAndScrollLockOutlivesThePageNumbers) {
    Start();
    ASSERT_TRUE(m_frame->LockIndicators()->Available());
    GiveScrollLockAModifier();
    const struct {
        KeySym key;
        int pane;
        const char* text;
    } locks[] = {{XK_Caps_Lock, 1, "CAP"}, {XK_Num_Lock, 2, "NUM"}, {XK_Scroll_Lock, 3, "SCRL"}};
    for (const auto& lock : locks) {
        ASSERT_EQ(Pane(lock.pane), "") << lock.text;
        Press({lock.key});
        EXPECT_TRUE(QTest::qWaitFor([&] { return Pane(lock.pane) == lock.text; }, 3000))
            << lock.text << " shows \"" << Pane(lock.pane).toStdString() << '"';
    }
    for (const auto& lock : locks) {
        Press({lock.key});
        EXPECT_TRUE(QTest::qWaitFor([&] { return Pane(lock.pane).isEmpty(); }, 3000)) << lock.text;
    }

    // Once a page is shown, panes 1 and 2 hold its numbers whatever the locks do.
    m_frame->UpdateStatusBar();
    const QString page = Pane(1), count = Pane(2);
    Press({XK_Caps_Lock, XK_Num_Lock, XK_Scroll_Lock});
    EXPECT_TRUE(QTest::qWaitFor([&] { return Pane(3) == "SCRL"; }, 3000));
    EXPECT_EQ(Pane(1), page);
    EXPECT_EQ(Pane(2), count);
    Press({XK_Caps_Lock, XK_Num_Lock, XK_Scroll_Lock}); // the keyboard as it was
}

} // namespace
