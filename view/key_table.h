#pragma once

#include <QKeySequence>

#include <vector>

class QKeyEvent;

// Every key of the reader window and the command (res/resource.h id) it runs.
struct KeyBinding {
    QKeySequence keys;
    int command;
    // Window-wide keys work wherever the focus is (the find field too); the others are keys of
    // the text pane, so that letters still type into the find field.
    bool windowWide;
};

// The whole table, in one place.
const std::vector<KeyBinding>& KeyTable();
// The pane command a key press runs, 0 for none. Shift and the keypad make no difference; a key
// held with Ctrl, Alt or Meta runs only a command bound to that combination.
int PaneCommandOf(const QKeyEvent& event);
