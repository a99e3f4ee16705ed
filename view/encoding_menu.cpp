#include "view/encoding_menu.h"

#include "text/encoding_choice.h"

#include <QActionGroup>

CEncodingMenu::CEncodingMenu(StateFn state, QWidget* parent)
    : QMenu(parent), m_state(std::move(state)) {
    setObjectName(QStringLiteral("encodingMenu"));
    auto* group = new QActionGroup(this);
    const auto addChoice = [this, group](const QString& text, const std::string& choice) {
        QAction* action = addAction(text);
        action->setCheckable(true);
        action->setData(QString::fromStdString(choice));
        group->addAction(action);
        connect(action, &QAction::triggered, this, [this, choice] { emit chosen(choice); });
    };
    addChoice(QStringLiteral(u"自动检测"), std::string(CEncodingChoice::kAutomatic));
    addSeparator();
    for (const std::string& name : CEncodingChoice::Names()) {
        addChoice(QString::fromStdString(name), name);
    }
    connect(this, &QMenu::aboutToShow, this, &CEncodingMenu::Update);
    Update();
}

void CEncodingMenu::Update() {
    const auto [choice, hasBook] = m_state();
    const QString current = QString::fromStdString(choice);
    for (QAction* action : actions()) {
        if (!action->isSeparator()) {
            action->setEnabled(hasBook);
            action->setChecked(hasBook && action->data().toString() == current);
        }
    }
}
