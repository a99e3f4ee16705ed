#pragma once

#include "view/choice_menu.h"

#include <functional>
#include <string>

// The 简繁 menu of the toolbar button and the text pane: the open book's script ("跟随默认", then
// 原文, 简体, 繁體, 繁體（台灣）, 繁體（香港）) and an item that makes the script in effect the
// default of every book without a choice of its own.
class CScriptMenu : public CChoiceMenu {
    Q_OBJECT
public:
    struct State {
        std::string choice;   // the book's own choice, "" for the default
        std::string current;  // the script shown, a CScriptConverter name
        std::string fallback; // the default's name
        bool hasBook = false;
    };
    using StateFn = std::function<State()>;
    CScriptMenu(StateFn state, QWidget* parent);

    // Checks the book's choice and names the default.
    void Update();

signals:
    void defaultChosen();

private:
    StateFn m_state;
    QAction* m_pFollow = nullptr;
    QAction* m_pMakeDefault = nullptr;
};
