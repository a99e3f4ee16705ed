#include "dialogs/goto_page_dlg.h"

#include "res/resource.h"
#include "widgets/dialog_template.h"
#include "widgets/modal_hook.h"

#include <QLabel>
#include <QLineEdit>

#include <string>

namespace {

std::u16string Digits(int n) {
    const std::string s = std::to_string(n);
    return std::u16string(s.begin(), s.end());
}

const DialogTemplate& GoToPageTemplate() {
    using K = DialogControlKind;
    static const DialogTemplate dialogTemplate{
        IDD_GOTO_PAGE,
        QString(),
        false,
        QStringLiteral("新宋体"),
        10,
        134,
        69,
        {
            {K::PushButton, IDOK, QStringLiteral("确定"), 13, 50, 50, 14, DCS_DEFAULT},
            {K::PushButton, IDCANCEL, QStringLiteral("取消"), 66, 50, 50, 14},
            {K::GroupBox, IDC_STATIC, QStringLiteral("跳转页面"), 3, 4, 127, 43},
            {K::Edit, IDC_PAGE, QString(), 67, 14, 40, 14, DCS_NUMBER},
            {K::Static, IDC_STATIC, QStringLiteral("跳转到："), 23, 17, 33, 8},
            {K::Static, IDC_STATIC, QStringLiteral("总页数："), 23, 34, 33, 8},
            {K::Static, IDC_TOTAL_PAGE, QStringLiteral("300页"), 69, 33, 42, 11},
        }};
    return dialogTemplate;
}

} // namespace

CGoToPageDlg::CGoToPageDlg(int currentPage, int totalPages, QWidget* parent)
    : m_strPage(Digits(currentPage)), m_strTotalPage(Digits(totalPages) + u"页"),
      m_pParent(parent) {}

CGoToPageDlg::~CGoToPageDlg() = default;

int CGoToPageDlg::DoModal() {
    CTemplateDialog dialog(GoToPageTemplate(), m_pParent);
    m_pDialog = &dialog;
    dialog.SetCommandHandler([this](int id) {
        if (id == IDOK) {
            OnOK();
        } else if (id == IDCANCEL) {
            m_pDialog->reject();
        }
    });
    if (OnInitDialog()) {
        dialog.FocusFirstTabStop();
    }
    const int result = RunModal(dialog);
    m_pDialog = nullptr;
    return result == QDialog::Accepted ? IDOK : IDCANCEL;
}

bool CGoToPageDlg::OnInitDialog() {
    auto* edit = m_pDialog->GetDlgItemAs<QLineEdit>(IDC_PAGE);
    edit->setText(QString::fromStdU16String(m_strPage));
    m_pDialog->GetDlgItemAs<QLabel>(IDC_TOTAL_PAGE)
        ->setText(QString::fromStdU16String(m_strTotalPage));
    edit->setFocus(Qt::OtherFocusReason);
    edit->selectAll(); // also puts the caret at the end, in view
    return false;
}

void CGoToPageDlg::OnOK() {
    m_strPage = m_pDialog->GetDlgItemAs<QLineEdit>(IDC_PAGE)->text().toStdU16String();
    m_pDialog->accept();
}
