#pragma once

// The dark palette for the whole program (toolbars, status bar, dialogs), or the usual one back.
// The palette belongs to the application: the usual one is kept while the night one is in use.
class CNightPalette {
public:
    static void Apply(bool night);
};
