#include "app/lock_indicators.h"

#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>

#include <X11/XKBlib.h>
#include <xcb/xcb.h>

namespace {

// The indicator's bit in XkbGetIndicatorState's mask, found by its name so that keyboards that
// number their indicators differently still work.
unsigned IndicatorBit(Display* display, const char* name) {
    const Atom atom = XInternAtom(display, name, True);
    int index = -1;
    if (atom == None || !XkbGetNamedIndicator(display, atom, &index, nullptr, nullptr, nullptr) ||
        index < 0 || index >= XkbNumIndicators) {
        return 0;
    }
    return 1u << unsigned(index);
}

} // namespace

CLockIndicators::CLockIndicators(QObject* parent) : QObject(parent) {
    auto* x11 = qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>()
                                   : nullptr;
    Display* display = x11 != nullptr ? x11->display() : nullptr;
    if (display == nullptr) {
        return;
    }
    int opcode = 0;
    int eventBase = 0;
    int errorBase = 0;
    int major = XkbMajorVersion;
    int minor = XkbMinorVersion;
    if (!XkbQueryExtension(display, &opcode, &eventBase, &errorBase, &major, &minor)) {
        return;
    }
    m_capsBit = IndicatorBit(display, "Caps Lock");
    m_numBit = IndicatorBit(display, "Num Lock");
    m_scrollBit = IndicatorBit(display, "Scroll Lock");
    // Adds indicator changes to the events Qt's connection already receives from the extension;
    // the other selections stay as Qt made them.
    XkbSelectEvents(display, XkbUseCoreKbd, XkbIndicatorStateNotifyMask,
                    XkbIndicatorStateNotifyMask);
    XFlush(display);
    m_display = display;
    m_xkbEventBase = eventBase;
    QCoreApplication::instance()->installNativeEventFilter(this);
    Refresh();
}

CLockIndicators::~CLockIndicators() {
    if (m_display != nullptr && QCoreApplication::instance() != nullptr) {
        QCoreApplication::instance()->removeNativeEventFilter(this);
    }
}

void CLockIndicators::Refresh() {
    if (m_display == nullptr) {
        return;
    }
    unsigned bits = 0;
    if (XkbGetIndicatorState(m_display, XkbUseCoreKbd, &bits) != Success) {
        return;
    }
    const State state{(bits & m_capsBit) != 0, (bits & m_numBit) != 0, (bits & m_scrollBit) != 0};
    if (state != m_state) {
        m_state = state;
        emit Changed(state);
    }
}

bool CLockIndicators::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t") {
        return false;
    }
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    // Every event of the keyboard extension has one event code; its second byte says which.
    if ((event->response_type & 0x7f) == m_xkbEventBase && event->pad0 == XkbIndicatorStateNotify) {
        Refresh();
    }
    return false; // Qt still sees the event
}
