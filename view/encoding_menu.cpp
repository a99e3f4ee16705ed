#include "view/encoding_menu.h"

#include "text/encoding_choice.h"

CEncodingMenu::CEncodingMenu(StateFn state, QWidget* parent)
    : CChoiceMenu(parent), m_state(std::move(state)) {
    setObjectName(QStringLiteral("encodingMenu"));
    AddChoice(QStringLiteral(u"自动检测"), std::string(CEncodingChoice::kAutomatic));
    addSeparator();
    for (const std::string& name : CEncodingChoice::Names()) {
        AddChoice(QString::fromStdString(name), name);
    }
    connect(this, &QMenu::aboutToShow, this, &CEncodingMenu::Update);
    Update();
}

void CEncodingMenu::Update() {
    const auto [choice, hasBook] = m_state();
    CheckChoice(choice, hasBook);
}
