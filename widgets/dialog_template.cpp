#include "widgets/dialog_template.h"

#include "res/resource.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHeaderView>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QStyleOptionFrame>
#include <QTableWidget>

namespace {

const char* const kControlIdProperty = "veskaControlId";

// Only the digits 0-9 can be typed. Pasting is not filtered: whoever reads the field reads it
// leniently.
class DigitsOnlyFilter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (!IsDigitsOrControl(key->text())) {
                return true;
            }
        } else if (event->type() == QEvent::InputMethod) {
            const auto* input = static_cast<QInputMethodEvent*>(event);
            if (!IsDigitsOrControl(input->commitString())) {
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    // Control characters (Backspace, Ctrl+V...) pass: they edit rather than type.
    static bool IsDigitsOrControl(const QString& text) {
        for (const QChar ch : text) {
            if (ch.unicode() >= 0x20 && ch.unicode() != 0x7F && (ch < u'0' || ch > u'9')) {
                return false;
            }
        }
        return true;
    }
};

// Group boxes only frame other controls: they never take the mouse from them.
QGroupBox* MakeGroupBox(const QString& text, QWidget* parent) {
    auto* box = new QGroupBox(text, parent);
    box->setAttribute(Qt::WA_TransparentForMouseEvents);
    box->setFocusPolicy(Qt::NoFocus);
    return box;
}

// A list view in report style; its owner adds the columns.
QTableWidget* MakeReportList(QWidget* parent) {
    auto* list = new QTableWidget(parent);
    list->setColumnCount(0);
    list->verticalHeader()->hide();
    list->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    list->horizontalHeader()->setHighlightSections(false);
    list->horizontalHeader()->setStretchLastSection(false);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setSelectionBehavior(QAbstractItemView::SelectItems);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setShowGrid(false);
    list->setWordWrap(false);
    list->setTabKeyNavigation(false);
    list->setContextMenuPolicy(Qt::CustomContextMenu);
    const int rowHeight = list->fontMetrics().height() + 4;
    list->verticalHeader()->setMinimumSectionSize(rowHeight);
    list->verticalHeader()->setDefaultSectionSize(rowHeight);
    return list;
}

bool TakesTabFocus(const QWidget* widget) {
    return (widget->focusPolicy() & Qt::TabFocus) != 0;
}

} // namespace

QFont DialogFont(const QString& face, int pointSize) {
    QFont font(face);
    font.setPointSize(pointSize);
    font.setWeight(QFont::Normal);
    if (!QFontDatabase::hasFamily(face)) {
        // The Song faces of the templates are serif faces; Noto's CJK faces stand in for them.
        font.setFamilies({face, QStringLiteral("Noto Serif CJK SC"),
                          QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Source Han Serif SC"),
                          QStringLiteral("WenQuanYi Zen Hei")});
    }
    return font;
}

QFont CommonDialogFont() {
    return DialogFont(QStringLiteral(u"新宋体"), 10);
}

QWidget* FindDialogControl(const QWidget* dialog, int id) {
    if (dialog == nullptr || id == IDC_STATIC) {
        return nullptr;
    }
    const auto children = dialog->findChildren<QWidget*>();
    for (QWidget* child : children) {
        if (DialogControlId(child) == id) {
            return child;
        }
    }
    return nullptr;
}

int DialogControlId(const QWidget* control) {
    const QVariant id = control->property(kControlIdProperty);
    return id.isValid() ? id.toInt() : IDC_STATIC;
}

CTemplateDialog::CTemplateDialog(const DialogTemplate& dialogTemplate, QWidget* parent,
                                 const ControlFactory& factory)
    : QDialog(parent), m_hasCaption(dialogTemplate.hasCaption) {
    setObjectName(QStringLiteral("dialog%1").arg(dialogTemplate.id));
    Qt::WindowFlags flags = Qt::Dialog;
    if (m_hasCaption) {
        flags |= Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    } else {
        flags |= Qt::FramelessWindowHint;
    }
    setWindowFlags(flags);
    setWindowTitle(dialogTemplate.caption);
    setFont(DialogFont(dialogTemplate.fontFace, dialogTemplate.pointSize));

    // Dialog base units: the average width of the Latin letters and the character height.
    const QFontMetrics metrics(font());
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    m_baseUnitX = std::max(1, (letters + 26) / 52);
    m_baseUnitY = std::max(1, metrics.height());

    const QRect client = MapDialogRect(QRect(0, 0, dialogTemplate.cx, dialogTemplate.cy));
    setFixedSize(client.size());

    for (const DialogControl& control : dialogTemplate.controls) {
        QWidget* widget = CreateControl(control, factory);
        if (TakesTabFocus(widget) && !(control.style & DCS_HIDDEN)) {
            m_tabOrder.push_back(widget);
        }
    }
    for (std::size_t i = 1; i < m_tabOrder.size(); ++i) {
        setTabOrder(m_tabOrder[i - 1], m_tabOrder[i]);
    }
}

QWidget* CTemplateDialog::CreateControl(const DialogControl& control,
                                        const ControlFactory& factory) {
    QWidget* widget = factory ? factory(control, this) : nullptr;
    if (widget == nullptr) {
        switch (control.kind) {
        case DialogControlKind::PushButton: {
            auto* button = new QPushButton(control.text, this);
            button->setDefault((control.style & DCS_DEFAULT) != 0);
            button->setAutoDefault(false);
            button->setFocusPolicy(Qt::StrongFocus);
            const int id = control.id;
            connect(button, &QPushButton::clicked, this, [this, id] { SendCommand(id); });
            widget = button;
            break;
        }
        case DialogControlKind::GroupBox:
            widget = MakeGroupBox(control.text, this);
            break;
        case DialogControlKind::Static:
        case DialogControlKind::Image: {
            auto* label = new QLabel(control.text, this);
            label->setAlignment((control.style & DCS_CENTER_IMAGE) ? Qt::AlignCenter
                                                                   : Qt::AlignLeft | Qt::AlignTop);
            label->setWordWrap(control.kind == DialogControlKind::Static);
            label->setTextFormat(Qt::PlainText);
            widget = label;
            break;
        }
        case DialogControlKind::Edit: {
            auto* edit = new QLineEdit(control.text, this);
            if (control.style & DCS_NUMBER) {
                edit->installEventFilter(new DigitsOnlyFilter(edit));
            }
            widget = edit;
            break;
        }
        case DialogControlKind::ListView:
            widget = MakeReportList(this);
            break;
        }
    } else if (widget->parentWidget() != this) {
        widget->setParent(this);
    }
    if (auto* frame = qobject_cast<QLabel*>(widget); frame && (control.style & DCS_BORDER)) {
        frame->setFrameStyle(QFrame::Box | QFrame::Plain);
        frame->setLineWidth(1);
    }
    if (control.id != IDC_STATIC) {
        widget->setProperty(kControlIdProperty, control.id);
        widget->setObjectName(QStringLiteral("control%1").arg(control.id));
    }
    widget->setGeometry(MapDialogRect(QRect(control.x, control.y, control.cx, control.cy)));
    if (control.style & DCS_HIDDEN) {
        widget->setVisible(false);
    }
    if (control.kind == DialogControlKind::GroupBox) {
        widget->lower();
    }
    return widget;
}

QRect CTemplateDialog::MapDialogRect(const QRect& dialogUnits) const {
    // Each edge is converted on its own, rounding to the nearest pixel.
    auto mapX = [this](int x) { return (x * m_baseUnitX + 2) / 4; };
    auto mapY = [this](int y) { return (y * m_baseUnitY + 4) / 8; };
    const int left = mapX(dialogUnits.x());
    const int top = mapY(dialogUnits.y());
    const int right = mapX(dialogUnits.x() + dialogUnits.width());
    const int bottom = mapY(dialogUnits.y() + dialogUnits.height());
    return QRect(left, top, right - left, bottom - top);
}

void CTemplateDialog::SendCommand(int id) {
    if (m_onCommand) {
        m_onCommand(id);
    } else if (id == IDOK) {
        accept();
    } else if (id == IDCANCEL) {
        reject();
    }
}

void CTemplateDialog::FocusFirstTabStop() {
    for (QWidget* widget : m_tabOrder) {
        if (widget->isEnabled()) {
            widget->setFocus(Qt::TabFocusReason);
            return;
        }
    }
}

void CTemplateDialog::keyPressEvent(QKeyEvent* event) {
    if (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier) {
        switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter: {
            // Enter presses the default button; without one it is the dialog's OK.
            const auto buttons = findChildren<QPushButton*>();
            for (QPushButton* button : buttons) {
                if (button->isDefault() && button->isVisible()) {
                    if (button->isEnabled()) {
                        button->click();
                    }
                    return;
                }
            }
            SendCommand(IDOK);
            return;
        }
        case Qt::Key_Escape:
            SendCommand(IDCANCEL);
            return;
        default:
            break;
        }
    }
    QDialog::keyPressEvent(event);
}

void CTemplateDialog::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    if (!m_hasCaption) {
        // A popup without a title bar still needs an edge against whatever lies behind it.
        QPainter painter(this);
        QStyleOptionFrame option;
        option.initFrom(this);
        option.lineWidth = 1;
        option.midLineWidth = 0;
        option.state |= QStyle::State_Raised;
        style()->drawPrimitive(QStyle::PE_Frame, &option, &painter, this);
    }
}
