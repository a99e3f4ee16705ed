#include "view/script_menu.h"

#include "text/script_converter.h"

namespace {

QString ScriptTitle(const std::string& name) {
    using Script = CScriptConverter::Script;
    switch (CScriptConverter::FromName(name).value_or(Script::kOriginal)) {
    case Script::kSimplified:
        return QStringLiteral(u"简体");
    case Script::kTraditional:
        return QStringLiteral(u"繁體");
    case Script::kTaiwan:
        return QStringLiteral(u"繁體（台灣）");
    case Script::kHongKong:
        return QStringLiteral(u"繁體（香港）");
    case Script::kOriginal:
        break;
    }
    return QStringLiteral(u"原文");
}

} // namespace

CScriptMenu::CScriptMenu(StateFn state, QWidget* parent)
    : CChoiceMenu(parent, QStringLiteral(u"简繁(&J)")), m_state(std::move(state)) {
    setObjectName(QStringLiteral("scriptMenu"));
    m_pFollow = AddChoice(QString(), "");
    addSeparator();
    using Script = CScriptConverter::Script;
    for (Script script : {Script::kOriginal, Script::kSimplified, Script::kTraditional,
                          Script::kTaiwan, Script::kHongKong}) {
        const std::string name = CScriptConverter::NameOf(script);
        AddChoice(ScriptTitle(name), name);
    }
    addSeparator();
    m_pMakeDefault = addAction(QString());
    connect(m_pMakeDefault, &QAction::triggered, this, &CScriptMenu::defaultChosen);
    connect(this, &QMenu::aboutToShow, this, &CScriptMenu::Update);
    Update();
}

void CScriptMenu::Update() {
    const State state = m_state();
    m_pFollow->setText(QStringLiteral(u"跟随默认（%1）").arg(ScriptTitle(state.fallback)));
    m_pMakeDefault->setText(
        QStringLiteral(u"设为所有书的默认：%1(&D)").arg(ScriptTitle(state.current)));
    m_pMakeDefault->setEnabled(state.hasBook && state.current != state.fallback);
    CheckChoice(state.choice, state.hasBook);
}
