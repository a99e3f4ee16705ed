#include "view/key_table.h"

#include "res/resource.h"

#include <QKeyEvent>

const std::vector<KeyBinding>& KeyTable() {
    static const std::vector<KeyBinding> table = {
        // The text pane.
        {QKeySequence(Qt::Key_Right), ID_NEXT_PAGE, false},
        {QKeySequence(Qt::Key_Left), ID_PREV_PAGE, false},
        {QKeySequence(Qt::Key_Space), ID_NEXT_SCREEN, false},
        {QKeySequence(Qt::Key_PageDown), ID_NEXT_SCREEN, false},
        {QKeySequence(Qt::Key_PageUp), ID_PREV_SCREEN, false},
        {QKeySequence(Qt::Key_Down), ID_NEXT_LINE, false},
        {QKeySequence(Qt::Key_Up), ID_PREV_LINE, false},
        {QKeySequence(Qt::Key_Escape), ID_ESCAPE, false},
        {QKeySequence(Qt::Key_A), ID_AUTO_SCROLL, false},
        {QKeySequence(Qt::Key_B), ID_FONT_BIGGER, false},
        {QKeySequence(Qt::Key_S), ID_FONT_SMALLER, false},
        {QKeySequence(Qt::Key_R), ID_ROW_DIS_BIGGER, false},
        {QKeySequence(Qt::Key_T), ID_ROW_DIS_SMALLER, false},
        {QKeySequence(Qt::Key_F), ID_FIND, false},
        {QKeySequence(Qt::Key_G), ID_GOTO_PAGE, false},
        {QKeySequence(Qt::Key_H), ID_OPEN_READ_MARK, false},
        {QKeySequence(Qt::Key_M), ID_CHAPTER_LIST, false},
        {QKeySequence(Qt::Key_L), ID_SHELF, false},
        {QKeySequence(Qt::Key_O), ID_FILE_OPEN, false},
        // The whole window.
        {QKeySequence(Qt::CTRL | Qt::Key_N), ID_OPEN_READ_MARK, true},
        {QKeySequence(Qt::CTRL | Qt::Key_O), ID_FILE_OPEN, true},
        {QKeySequence(Qt::CTRL | Qt::Key_S), ID_NET_LIBRARY, true},
        {QKeySequence(Qt::CTRL | Qt::Key_X), ID_OPTION, true},
        {QKeySequence(Qt::CTRL | Qt::Key_C), ID_EDIT_COPY_COMMAND, true},
        {QKeySequence(Qt::CTRL | Qt::Key_M), ID_CHAPTER_LIST, true},
        {QKeySequence(Qt::CTRL | Qt::Key_Up), ID_PREV_CHAPTER, true},
        {QKeySequence(Qt::CTRL | Qt::Key_Down), ID_NEXT_CHAPTER, true},
        {QKeySequence(Qt::CTRL | Qt::Key_F), ID_FIND, true},
        {QKeySequence(Qt::Key_F3), ID_FIND_NEXT, true},
        {QKeySequence(Qt::SHIFT | Qt::Key_F3), ID_FIND_PREV, true},
        {QKeySequence(Qt::Key_F11), ID_FULL_SCREEN, true},
    };
    return table;
}

int PaneCommandOf(const QKeyEvent& event) {
    constexpr Qt::KeyboardModifiers kChord =
        Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;
    const Qt::KeyboardModifiers chord = event.modifiers() & kChord;
    for (const KeyBinding& binding : KeyTable()) {
        if (binding.windowWide) {
            continue;
        }
        const QKeyCombination combination = binding.keys[0];
        if (combination.key() == Qt::Key(event.key()) &&
            (combination.keyboardModifiers() & kChord) == chord) {
            return binding.command;
        }
    }
    return 0;
}
