#pragma once

#include <QDialog>
#include <QPixmap>
#include <QRect>
#include <QString>

#include <functional>
#include <vector>

class QFont;

// What a control of a dialog template is.
enum class DialogControlKind { PushButton, GroupBox, Static, Edit, ListView, Image };

// Style bits of a template control.
enum DialogControlStyle : unsigned {
    DCS_DEFAULT = 1u << 0,      // the default push button (Enter presses it)
    DCS_HIDDEN = 1u << 1,       // created but never shown
    DCS_BORDER = 1u << 2,       // a thin frame around a static
    DCS_NUMBER = 1u << 3,       // an edit into which only the digits 0-9 can be typed
    DCS_CENTER_IMAGE = 1u << 4, // an image centred in its box
};

// No id: a static or group box that nothing refers to.
constexpr int IDC_STATIC = -1;

// One control: kind, id, text, position and size in dialog units, style bits.
struct DialogControl {
    DialogControlKind kind;
    int id;
    QString text;
    int x, y, cx, cy;
    unsigned style = 0;
};

// A dialog template: its caption (none for a popup without a title bar), its font and its size
// in dialog units, and its controls in creation order, which is also the tab order.
struct DialogTemplate {
    int id;
    QString caption;
    bool hasCaption;
    QString fontFace;
    int pointSize;
    int cx, cy;
    std::vector<DialogControl> controls;
};

// The font a template names. Faces that are not installed (the classic Chinese system faces) fall
// back to an installed Chinese face before fontconfig's general fallback, so that Latin and
// Chinese text share one set of metrics.
QFont DialogFont(const QString& face, int pointSize);
// The one face of the dialogs and bars made without a template (the reading page, the chapter
// list, the find bar, message boxes): the settings dialog's, so that every dialog reads alike.
QFont CommonDialogFont();

// The control with this id inside a dialog (or any widget tree); nullptr when there is none.
QWidget* FindDialogControl(const QWidget* dialog, int id);
// The id a control was created with; IDC_STATIC when it has none.
int DialogControlId(const QWidget* control);

// A dialog window built from a template. Controls carry their ids (FindDialogControl) and sit
// where the template puts them, converted from dialog units with the dialog font's metrics.
// Push buttons, Enter and Esc arrive as commands (IDOK, IDCANCEL or the button's id) at the
// command handler; without one, IDOK accepts and IDCANCEL rejects.
class CTemplateDialog : public QDialog {
    Q_OBJECT
public:
    // Makes the control for a template entry, or returns nullptr for the standard control.
    using ControlFactory = std::function<QWidget*(const DialogControl&, QWidget* parent)>;
    using CommandHandler = std::function<void(int id)>;

    CTemplateDialog(const DialogTemplate& dialogTemplate, QWidget* parent,
                    const ControlFactory& factory = {});

    QWidget* GetDlgItem(int id) const { return FindDialogControl(this, id); }
    template <typename T> T* GetDlgItemAs(int id) const { return qobject_cast<T*>(GetDlgItem(id)); }

    void SetCommandHandler(CommandHandler handler) { m_onCommand = std::move(handler); }
    // Sends a command as a click on a button of that id would.
    void SendCommand(int id);
    // Gives the focus to the first control that Tab reaches, as a dialog does when its
    // initialisation leaves the focus to the system.
    void FocusFirstTabStop();

    // A rectangle in dialog units converted to pixels of this dialog.
    QRect MapDialogRect(const QRect& dialogUnits) const;
    int BaseUnitX() const { return m_baseUnitX; }
    int BaseUnitY() const { return m_baseUnitY; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QWidget* CreateControl(const DialogControl& control, const ControlFactory& factory);

    bool m_hasCaption;
    int m_baseUnitX = 1; // average character width in pixels
    int m_baseUnitY = 1; // character height in pixels
    std::vector<QWidget*> m_tabOrder;
    CommandHandler m_onCommand;
};
