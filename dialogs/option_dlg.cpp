#include "dialogs/option_dlg.h"

#include "dialogs/reading_dlg.h"
#include "platform/decimal_text.h"
#include "res/resource.h"
#include "settings/settings_store.h"
#include "widgets/color_static.h"
#include "widgets/dialog_template.h"
#include "widgets/modal_hook.h"

#include <QColorDialog>
#include <QLineEdit>

#include <climits>

namespace {

constexpr int kMinFontHeight = 10;
constexpr int kMaxFontHeight = 50;

const DialogTemplate& OptionTemplate() {
    using K = DialogControlKind;
    static const DialogTemplate dialogTemplate{
        IDD_OPTION,
        QStringLiteral("设置"),
        true,
        QStringLiteral("新宋体"),
        10,
        195,
        145,
        {
            {K::PushButton, IDOK, QStringLiteral("确定"), 54, 118, 27, 17, DCS_DEFAULT},
            {K::PushButton, IDCANCEL, QStringLiteral("取消"), 94, 118, 27, 17},
            {K::Static, IDC_STATIC, QStringLiteral("文字大小："), 17, 36, 47, 15},
            {K::Edit, IDC_FONT_HEIGHT, QString(), 67, 35, 36, 12, DCS_NUMBER},
            {K::Static, IDC_STATIC, QStringLiteral("文字颜色："), 17, 55, 50, 15},
            {K::Static, IDC_STATIC, QStringLiteral("背景颜色："), 17, 73, 47, 15},
            {K::GroupBox, IDC_STATIC, QStringLiteral("属性设置"), 6, 15, 183, 91},
            {K::Static, IDC_STATIC, QStringLiteral("【10，50】"), 114, 38, 45, 9},
            {K::PushButton, IDC_CHOOSE_FONT_COLOR, QStringLiteral("选择颜色"), 117, 53, 48, 12},
            {K::PushButton, IDC_CHOOSE_BACK_COLOR, QStringLiteral("选择颜色"), 117, 71, 48, 12},
            {K::Static, IDC_FONT_COLOR, QString(), 66, 55, 38, 9, DCS_BORDER},
            {K::Static, IDC_BACK_COLOR, QString(), 66, 73, 39, 9, DCS_BORDER},
            {K::PushButton, IDC_READING, QStringLiteral(u"阅读…"), 140, 118, 40, 17},
            {K::PushButton, IDC_RULES, QStringLiteral(u"规则…"), 10, 118, 36, 17},
        }};
    return dialogTemplate;
}

} // namespace

COptionDlg::COptionDlg(const ReaderSettings& settings, const ReadingPrefs& prefs)
    : m_settings(settings), m_prefs(prefs) {}

COptionDlg::~COptionDlg() = default;

void COptionDlg::ReadingChanged() {
    if (m_onReadingChanged) {
        m_onReadingChanged(m_settings, m_prefs);
    }
}

void COptionDlg::SetNightMode(bool night) {
    if ((m_prefs.night != 0) == night) {
        return;
    }
    CSettingsStore::SwitchNight(m_settings, m_prefs, night);
    // The dialog's previews follow, so that its OK does not put the other colours back.
    if (m_staticFontColor != nullptr) {
        m_staticFontColor->SetBackColor(static_cast<std::uint32_t>(m_settings.font_color));
        m_staticBackColor->SetBackColor(static_cast<std::uint32_t>(m_settings.back_color));
    }
    ReadingChanged();
}

int COptionDlg::DoModal(QWidget* parent) {
    const auto factory = [](const DialogControl& control, QWidget* owner) -> QWidget* {
        if (control.id == IDC_FONT_COLOR || control.id == IDC_BACK_COLOR) {
            return new CColorStatic(owner);
        }
        return nullptr;
    };
    CTemplateDialog dialog(OptionTemplate(), parent, factory);
    m_pDialog = &dialog;
    m_editFontHeight = dialog.GetDlgItemAs<QLineEdit>(IDC_FONT_HEIGHT);
    m_staticFontColor = dialog.GetDlgItemAs<CColorStatic>(IDC_FONT_COLOR);
    m_staticBackColor = dialog.GetDlgItemAs<CColorStatic>(IDC_BACK_COLOR);
    dialog.SetCommandHandler([this](int id) {
        switch (id) {
        case IDOK:
            OnOK();
            break;
        case IDCANCEL:
            OnCancel();
            break;
        case IDC_CHOOSE_FONT_COLOR:
            OnBnClickedChooseFontColor();
            break;
        case IDC_CHOOSE_BACK_COLOR:
            OnBnClickedChooseBackColor();
            break;
        case IDC_READING:
            OnBnClickedReading();
            break;
        case IDC_RULES:
            if (m_onRules) {
                m_onRules(m_pDialog);
            }
            break;
        default:
            break;
        }
    });
    if (OnInitDialog()) {
        dialog.FocusFirstTabStop();
    }
    const int result = RunModal(dialog);
    m_pDialog = nullptr;
    m_editFontHeight = nullptr;
    m_staticFontColor = nullptr;
    m_staticBackColor = nullptr;
    return result == QDialog::Accepted ? IDOK : IDCANCEL;
}

bool COptionDlg::OnInitDialog() {
    m_staticBackColor->SetBackColor(static_cast<std::uint32_t>(m_settings.back_color));
    m_staticFontColor->SetBackColor(static_cast<std::uint32_t>(m_settings.font_color));
    m_editFontHeight->setText(QString::number(m_settings.font_height));
    return true;
}

void COptionDlg::OnBnClickedChooseFontColor() {
    ChooseColor(m_staticFontColor);
}

void COptionDlg::OnBnClickedChooseBackColor() {
    ChooseColor(m_staticBackColor);
}

void COptionDlg::ChooseColor(CColorStatic* preview) {
    // Opens on black, not on the preview's colour, and without an owner window.
    QColorDialog chooser(CColorStatic::ToQColor(0));
    if (RunModal(chooser) == QDialog::Accepted) {
        preview->SetBackColor(CColorStatic::FromQColor(chooser.selectedColor()));
    }
}

void COptionDlg::OnOK() {
    m_settings.back_color = static_cast<int>(m_staticBackColor->m_crBack);
    m_settings.font_color = static_cast<int>(m_staticFontColor->m_crBack);
    const int height = DecimalTextToInt(m_editFontHeight->text().toStdU16String());
    m_settings.font_height = std::clamp(height, kMinFontHeight, kMaxFontHeight);
    m_pDialog->accept();
}

void COptionDlg::OnBnClickedReading() {
    CReadingDlg dialog(*this, m_pDialog);
    dialog.DoModal();
}

void COptionDlg::OnCancel() {
    m_pDialog->reject();
}
