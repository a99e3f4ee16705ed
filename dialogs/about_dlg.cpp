#include "dialogs/about_dlg.h"

#include "res/picture_resources.h"
#include "res/resource.h"
#include "widgets/color_static.h"
#include "widgets/dialog_template.h"
#include "widgets/modal_hook.h"
#include "widgets/night_picture.h"

#include <QIcon>
#include <QLabel>
#include <QPalette>
#include <QPixmap>

#include <string>

namespace {

constexpr std::uint32_t kLinkColour = 0xFF0000; // blue, as a COLORREF

// Controls without an id of their own that the box fills in at start.
constexpr int kIconControl = -100;
constexpr int kPictureControl = -101;

const DialogTemplate& AboutTemplate() {
    using K = DialogControlKind;
    static const DialogTemplate dialogTemplate{
        IDD_ABOUTBOX,
        QStringLiteral("关于 Veska"),
        true,
        QStringLiteral("宋体"),
        9,
        361,
        223,
        {
            {K::GroupBox, IDC_STATIC, QStringLiteral("Veska"), 11, 7, 338, 100},
            {K::Image, kIconControl, QString(), 22, 22, 21, 20, DCS_CENTER_IMAGE},
            {K::Static, IDC_STATIC, QStringLiteral("Veska 1.0 版"), 48, 28, 60, 10},
            {K::Image, kPictureControl, QString(), 108, 15, 100, 88, DCS_CENTER_IMAGE},
            {K::Static, IDC_STATIC, QStringLiteral("有任何反馈，请发邮件"), 214, 26, 130, 10},
            {K::Static, IDC_LINK_MAIL, QString(), 214, 40, 130, 10},
            {K::Static, IDC_STATIC, QStringLiteral("也可以在主页上留言"), 214, 60, 130, 10},
            {K::Static, IDC_LINK_HOME, QString(), 214, 74, 130, 10},
            {K::GroupBox, IDC_STATIC, QStringLiteral("操作说明"), 10, 108, 339, 106},
            // The keys the text pane really takes: the arrows step pages and lines, the space
            // bar and Page Up the screen; then the chapters, the search and full screen.
            {K::Static, IDC_STATIC, QStringLiteral("上一页: <-"), 24, 122, 80, 10},
            {K::Static, IDC_STATIC, QStringLiteral("下一页: ->"), 24, 136, 80, 10},
            {K::Static, IDC_STATIC, QStringLiteral("下一屏: 空格"), 24, 150, 80, 10},
            {K::Static, IDC_STATIC, QStringLiteral("上/下一行: ↑/↓"), 24, 164, 80, 10},
            {K::Static, IDC_STATIC, QStringLiteral("增大字体:B"), 110, 122, 80, 10},
            {K::Static, IDC_STATIC, QStringLiteral("减小字体:S"), 110, 136, 80, 10},
            {K::Static, IDC_STATIC, QStringLiteral("增大行距:R"), 110, 150, 80, 10},
            {K::Static, IDC_STATIC, QStringLiteral("减小行距:T"), 110, 164, 80, 10},
            {K::Static, IDC_STATIC, QStringLiteral("跳转页面:G"), 196, 122, 80, 10},
            {K::Static, IDC_STATIC, QStringLiteral("自动滚屏:A"), 196, 136, 80, 10},
            {K::Static, IDC_STATIC, QStringLiteral("打开书签:H"), 196, 150, 80, 10},
            {K::Static, IDC_STATIC, QStringLiteral("选择书籍:Ctrl+O"), 196, 164, 80, 10},
            {K::Static, IDC_STATIC, QStringLiteral("上一屏: Page Up"), 24, 178, 80, 10},
            {K::Static, IDC_STATIC, QStringLiteral("全屏: F11"), 24, 192, 80, 10},
            {K::Static, IDC_STATIC, QStringLiteral("查找:F, Ctrl+F"), 110, 178, 80, 10},
            {K::Static, IDC_STATIC, QStringLiteral("查找下一个:F3"), 110, 192, 80, 10},
            {K::Static, IDC_STATIC, QStringLiteral("目录:M"), 196, 178, 80, 10},
            {K::Static, IDC_STATIC, QStringLiteral("上/下一章:Ctrl+↑/↓"), 196, 192, 90, 10},
            {K::Static, IDC_STATIC, QStringLiteral("书架:L"), 290, 122, 50, 10},
            {K::Static, IDC_LINK_JOKE, QString(), 300, 192, 42, 10},
        }};
    return dialogTemplate;
}

std::u16string Wide(const char* utf8) {
    return QString::fromUtf8(utf8).toStdU16String();
}

} // namespace

CAboutDlg::CAboutDlg(QWidget* parent) : m_pParent(parent) {}

CAboutDlg::~CAboutDlg() = default;

int CAboutDlg::DoModal() {
    const auto factory = [](const DialogControl& control, QWidget* owner) -> QWidget* {
        if (control.id == IDC_LINK_JOKE || control.id == IDC_LINK_MAIL ||
            control.id == IDC_LINK_HOME) {
            return new CColorStatic(owner);
        }
        return nullptr;
    };
    CTemplateDialog dialog(AboutTemplate(), m_pParent, factory);
    m_pDialog = &dialog;
    m_linkJoke = dialog.GetDlgItemAs<CColorStatic>(IDC_LINK_JOKE);
    m_linkMail = dialog.GetDlgItemAs<CColorStatic>(IDC_LINK_MAIL);
    m_linkHome = dialog.GetDlgItemAs<CColorStatic>(IDC_LINK_HOME);
    if (OnInitDialog()) {
        dialog.FocusFirstTabStop();
    }
    const int result = RunModal(dialog);
    m_pDialog = nullptr;
    m_linkJoke = m_linkMail = m_linkHome = nullptr;
    return result == QDialog::Accepted ? IDOK : IDCANCEL;
}

bool CAboutDlg::OnInitDialog() {
    m_pDialog->GetDlgItemAs<QLabel>(kIconControl)
        ->setPixmap(LoadIconResource(IDR_MAINFRAME).pixmap(32, 32));
    // In the night the white behind the links and around the picture would glare.
    const QPalette& palette = m_pDialog->palette();
    const bool night = palette.color(QPalette::Window).lightness() < 128;
    const QImage picture(BitmapResourcePath(IDB_ABOUT));
    m_pDialog->GetDlgItemAs<QLabel>(kPictureControl)
        ->setPixmap(QPixmap::fromImage(night ? NightPicture(picture) : picture));
    const QColor link = palette.color(QPalette::Link);
    const std::uint32_t linkColour =
        night ? std::uint32_t(link.red() | link.green() << 8 | link.blue() << 16) : kLinkColour;

    struct Link {
        CColorStatic* control;
        std::u16string text;
        std::u16string target;
    };
    const Link links[] = {
        {m_linkJoke, u"开心一下", Wide(VESKA_JOKE_URL)},
        {m_linkMail, u"邮箱：" + Wide(VESKA_MAIL_ADDRESS), u"mailto:" + Wide(VESKA_MAIL_ADDRESS)},
        {m_linkHome, u"主页：" + Wide(VESKA_HOME_URL), Wide(VESKA_HOME_URL)},
    };
    for (const Link& link : links) {
        link.control->m_crNormalText = linkColour;
        link.control->m_crText = linkColour;
        if (night) {
            link.control->m_brBack = palette.color(QPalette::Window);
        }
        link.control->setText(QString::fromStdU16String(link.text));
        link.control->m_strLink = link.target;
    }
    return true;
}
