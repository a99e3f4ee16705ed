#pragma once

#include <QAbstractNativeEventFilter>
#include <QObject>

typedef struct _XDisplay Display;

// The keyboard's lock indicators (Caps Lock, Num Lock, Scroll Lock) as the X server's keyboard
// extension (XKB) reports them, re-read whenever the server says they changed. Only X11 tells a
// program this: on Wayland and on the offscreen platform Available() is false and the state
// stays all off, so the status bar leaves the indicator panes blank there.
class CLockIndicators : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT
public:
    struct State {
        bool caps = false;
        bool num = false;
        bool scroll = false;
        bool operator==(const State&) const = default;
    };

    explicit CLockIndicators(QObject* parent = nullptr);
    ~CLockIndicators() override;

    bool Available() const { return m_display != nullptr; }
    State Current() const { return m_state; }
    // Reads the state from the server; emits Changed when it differs from the last one.
    void Refresh();

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

signals:
    void Changed(CLockIndicators::State state);

private:
    Display* m_display = nullptr;
    int m_xkbEventBase = -1;
    // The bit of each indicator in the server's indicator state (0: the keyboard has none).
    unsigned m_capsBit = 0;
    unsigned m_numBit = 0;
    unsigned m_scrollBit = 0;
    State m_state;
};
