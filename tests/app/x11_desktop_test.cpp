// The reader on a real X server (a private Xvfb) through Qt's xcb platform: what the offscreen
// platform cannot show, the window names other programs read and the keyboard's lock state.

#include "tests/app/ui_test_support.h"

#include "dialogs/option_dlg.h"

#include <QApplication>
#include <QtGui/qguiapplication_platform.h>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
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
        close(fds[0]);
        const std::string fd = std::to_string(fds[1]);
        const int devNull = open("/dev/null", O_WRONLY);
        dup2(devNull, STDERR_FILENO);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24",
               "-nolisten", "tcp", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    if (pid < 0) {
        close(fds[0]);
        return false;
    }
    std::string display;
    char c;
    while (read(fds[0], &c, 1) == 1 && c != '\n') {
        display += c;
    }
    close(fds[0]);
    if (display.empty()) {
        return false;
    }
    setenv("DISPLAY", (":" + display).c_str(), 1);
    return true;
}

Display* XDisplay() {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 != nullptr ? x11->display() : nullptr;
}

// A window's _NET_WM_NAME as the X server holds it, read the way xprop reads it.
std::string NetWmName(QWidget* window) {
    Display* display = XDisplay();
    XSync(display, False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, Window(window->winId()),
                           XInternAtom(display, "_NET_WM_NAME", False), 0, 1024, False,
                           AnyPropertyType, &type, &format, &count, &after, &data) != Success) {
        return "<unreadable>";
    }
    std::string name = data != nullptr ? std::string(reinterpret_cast<char*>(data), count) : "";
    if (type == None) {
        name = "<none>";
    }
    XFree(data);
    return name;
}

void PressKey(KeySym key) {
    Display* display = XDisplay();
    const KeyCode code = XKeysymToKeycode(display, key);
    XTestFakeKeyEvent(display, code, True, 0);
    XTestFakeKeyEvent(display, code, False, 0);
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

    void Start(const char16_t* title) {
        ReaderSettings settings;
        settings.title_name = EncodeLegacy(title);
        SaveReaderSettings(settings, m_dataDir.path().toStdString());
        ASSERT_TRUE(TestApp().InitInstance(QStringList{QStringLiteral("veska")}));
        m_frame = TestApp().MainFrame();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_frame));
    }

    QString Pane(int index) const { return m_frame->StatusPane(index)->text(); }

    CMainFrame* m_frame = nullptr;
};

TEST_F(X11DesktopTest, WindowNamesAreExactlyTheTitlesTheWindowsSet) {
    Start(u"我的书房");
    EXPECT_EQ(NetWmName(m_frame), "我的书房");

    std::string dialogName;
    QTimer::singleShot(0, [&] {
        QWidget* dialog = QApplication::activeModalWidget();
        if (dialog != nullptr && QTest::qWaitForWindowExposed(dialog)) {
            dialogName = NetWmName(dialog);
        }
        if (dialog != nullptr) {
            dialog->close();
        }
    });
    m_frame->OnOption();
    EXPECT_EQ(dialogName, "设置");

    m_frame->setWindowTitle(QString()); // an empty title_name
    EXPECT_EQ(NetWmName(m_frame), "");
}

TEST_F(X11DesktopTest, LockPanesFollowTheKeyboardAndScrollLockOutlivesThePageNumbers) {
    Start(u"Veska");
    ASSERT_TRUE(m_frame->LockIndicators()->Available());
    GiveScrollLockAModifier();
    const struct {
        KeySym key;
        int pane;
        const char* text;
    } locks[] = {{XK_Caps_Lock, 1, "CAP"}, {XK_Num_Lock, 2, "NUM"}, {XK_Scroll_Lock, 3, "SCRL"}};
    for (const auto& lock : locks) {
        ASSERT_EQ(Pane(lock.pane), "") << lock.text;
        PressKey(lock.key);
        EXPECT_TRUE(QTest::qWaitFor([&] { return Pane(lock.pane) == lock.text; }, 3000))
            << lock.text << " shows \"" << Pane(lock.pane).toStdString() << '"';
    }
    for (const auto& lock : locks) {
        PressKey(lock.key);
        EXPECT_TRUE(QTest::qWaitFor([&] { return Pane(lock.pane).isEmpty(); }, 3000)) << lock.text;
    }

    // Once a page is shown, panes 1 and 2 hold its numbers whatever the locks do.
    m_frame->UpdateStatusBar();
    const QString page = Pane(1);
    const QString count = Pane(2);
    for (const auto& lock : locks) {
        PressKey(lock.key);
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return Pane(3) == "SCRL"; }, 3000));
    EXPECT_EQ(Pane(1), page);
    EXPECT_EQ(Pane(2), count);
    for (const auto& lock : locks) {
        PressKey(lock.key); // leave the keyboard as it was
    }
}

} // namespace
