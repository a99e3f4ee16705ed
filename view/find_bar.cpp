#include "view/find_bar.h"

#include "widgets/dialog_template.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

CFindBar::CFindBar(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("findBar"));
    setAutoFillBackground(true);
    setFont(CommonDialogFont());
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->setSpacing(4);
    auto* label = new QLabel(QStringLiteral(u"查找(&F)："), this);
    layout->addWidget(label);
    m_edit = new QLineEdit(this);
    m_edit->setObjectName(QStringLiteral("findEdit"));
    label->setBuddy(m_edit);
    // Room for a phrase of some twenty characters.
    const int em = m_edit->fontMetrics().horizontalAdvance(u'中');
    m_edit->setMinimumWidth(em * 16);
    m_edit->setMaximumWidth(em * 28);
    layout->addWidget(m_edit);
    const auto addButton = [&](const QString& name, const QString& text, const QString& tip,
                               bool raised) {
        auto* button = new QToolButton(this);
        button->setObjectName(name);
        button->setText(text);
        button->setToolTip(tip);
        button->setAccessibleName(tip);
        button->setAutoRaise(!raised);
        layout->addWidget(button);
        return button;
    };
    // Framed, so that they read as buttons beside the status text.
    connect(addButton(QStringLiteral("findNextButton"), QStringLiteral(u"下一个(&N)"),
                      QStringLiteral(u"查找下一个(F3)"), true),
            &QToolButton::clicked, this, &CFindBar::findNext);
    connect(addButton(QStringLiteral("findPreviousButton"), QStringLiteral(u"上一个(&P)"),
                      QStringLiteral(u"查找上一个(Shift+F3)"), true),
            &QToolButton::clicked, this, &CFindBar::findPrevious);
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("findStatus"));
    layout->addWidget(m_status, 1);
    connect(addButton(QStringLiteral("findCloseButton"), QStringLiteral(u"×"),
                      QStringLiteral(u"关闭(Esc)"), false),
            &QToolButton::clicked, this, &CFindBar::escapePressed);
    connect(m_edit, &QLineEdit::returnPressed, this, &CFindBar::findNext);
    hide();
}

QString CFindBar::Text() const {
    return m_edit->text();
}

void CFindBar::Open() {
    show();
    m_edit->setFocus(Qt::ShortcutFocusReason);
    m_edit->selectAll();
}

void CFindBar::SetStatus(const QString& text) {
    m_status->setText(text);
}

QString CFindBar::Status() const {
    return m_status->text();
}

void CFindBar::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        emit escapePressed();
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}
