#pragma once

#include <QRect>

class QWidget;
struct ReadingPrefs;

// Where the main window goes and what of its place is remembered (in the reading preferences).
class CWindowPlacement {
public:
    // The saved place when enough of its top edge (where the title bar is) lies on a screen to
    // take hold of it; the saved size centred on the primary screen otherwise; an empty rect when
    // nothing was saved. `onScreen` tells which of the first two it is.
    static QRect Restored(const ReadingPrefs& prefs, bool& onScreen);
    // Notes the window's place in `prefs` (a maximised window keeps the place it goes back to).
    // false when nothing changed.
    static bool Record(const QWidget& window, ReadingPrefs& prefs);
};
