// The reader on a private Xvfb: the window names the window manager and other programs read.

#include "tests/app/ui_test_support.h"

#include <QtGui/qguiapplication_platform.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <csignal>
#include <fcntl.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace {

// Starts Xvfb on a free display and points DISPLAY at it; the server ends with this process.
bool StartXServer() {
    int fds[2];
    const pid_t pid = pipe(fds) == 0 ? fork() : -1;
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

class X11DesktopTest : public ReaderEnvironmentTest {
protected:
    void SetUp() override {
        static const bool haveServer =
            !QCoreApplication::instance() && StartXServer() && qputenv("QT_QPA_PLATFORM", "xcb");
        if (!haveServer) {
            GTEST_SKIP() << "Xvfb is not installed";
        }
        ReaderEnvironmentTest::SetUp();
        ASSERT_TRUE(Launch());
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_frame = TestApp().MainFrame()));
        m_x = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->display();
    }
    CMainFrame* m_frame = nullptr;
    Display* m_x = nullptr;
};

// _NET_WM_NAME as the X server holds it (read the way xprop reads it) is the title with nothing
// added to it, even when that is empty.
TEST_F(X11DesktopTest, TheWindowNameIsExactlyTheTitleSet) {
    const auto name = [this] {
        XSync(m_x, False);
        XTextProperty property{};
        EXPECT_NE(XGetTextProperty(m_x, Window(m_frame->winId()), &property,
                                   XInternAtom(m_x, "_NET_WM_NAME", False)),
                  0);
        const QString text = QString::fromUtf8(reinterpret_cast<const char*>(property.value),
                                               qsizetype(property.nitems));
        XFree(property.value);
        return text;
    };
    for (const QString& title : {QStringLiteral(u"我的书房"), QString()}) {
        m_frame->setWindowTitle(title); // as title_name sets it
        EXPECT_EQ(name(), title);
    }
}

} // namespace
