#include "view/choice_menu.h"

#include <QActionGroup>

CChoiceMenu::CChoiceMenu(QWidget* parent, const QString& title)
    : QMenu(title, parent), m_pGroup(new QActionGroup(this)) {}

QAction* CChoiceMenu::AddChoice(const QString& text, const std::string& choice) {
    QAction* action = addAction(text);
    action->setCheckable(true);
    action->setData(QString::fromStdString(choice));
    m_pGroup->addAction(action);
    connect(action, &QAction::triggered, this, [this, choice] { emit chosen(choice); });
    return action;
}

void CChoiceMenu::CheckChoice(const std::string& current, bool enabled) {
    const QString name = QString::fromStdString(current);
    for (QAction* action : actions()) {
        if (action->isCheckable()) {
            action->setEnabled(enabled);
            action->setChecked(enabled && action->data().toString() == name);
        }
    }
}
