#include "app/x11_window_title.h"

#include <QGuiApplication>
#include <QWidget>
#include <QtGui/qguiapplication_platform.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

void SetExactX11WindowTitle(QWidget* window) {
    auto* x11 = qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>()
                                   : nullptr;
    Display* display = x11 != nullptr ? x11->display() : nullptr;
    if (display == nullptr || window == nullptr || window->windowHandle() == nullptr) {
        return;
    }
    const Window id = Window(window->winId());
    const QByteArray utf8 = window->windowTitle().toUtf8();
    const auto* bytes = reinterpret_cast<const unsigned char*>(utf8.constData());
    XChangeProperty(display, id, XInternAtom(display, "_NET_WM_NAME", False),
                    XInternAtom(display, "UTF8_STRING", False), 8, PropModeReplace, bytes,
                    int(utf8.size()));
    XChangeProperty(display, id, XA_WM_NAME, XInternAtom(display, "UTF8_STRING", False), 8,
                    PropModeReplace, bytes, int(utf8.size()));
    XFlush(display);
}
