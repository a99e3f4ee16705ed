#pragma once

#include <QMenu>

#include <string>

class QActionGroup;

// A menu of choices, one of them in effect (checked): each item is a name the menu hands on
// when it is picked. The encoding and 简繁 menus are such menus.
class CChoiceMenu : public QMenu {
    Q_OBJECT
public:
    explicit CChoiceMenu(QWidget* parent, const QString& title = QString());

signals:
    void chosen(const std::string& choice);

protected:
    QAction* AddChoice(const QString& text, const std::string& choice);
    // Checks the item of `current`; every item is enabled only when `enabled`.
    void CheckChoice(const std::string& current, bool enabled);

private:
    QActionGroup* m_pGroup;
};
