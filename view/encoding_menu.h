#pragma once

#include "view/choice_menu.h"

#include <functional>
#include <string>

// The encoding menu of the toolbar button and the text pane: "自动检测", then each encoding
// CEncodingChoice names. Before it shows, it asks which choice is in effect (checked) and
// whether there is a book at all (the items are disabled without one).
class CEncodingMenu : public CChoiceMenu {
    Q_OBJECT
public:
    // The choice in effect ("" for detected), and whether a book is open.
    using StateFn = std::function<std::pair<std::string, bool>()>;
    CEncodingMenu(StateFn state, QWidget* parent);

    // Checks the item of the choice in effect.
    void Update();

private:
    StateFn m_state;
};
