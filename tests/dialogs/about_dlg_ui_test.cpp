#include "dialogs/about_dlg.h"

#include "res/resource.h"
#include "tests/dialogs/dialog_test_support.h"
#include "widgets/color_static.h"
#include "widgets/link_opener.h"

#include <QTest>
#include <QUrl>

namespace {

class AboutDlgTest : public DialogTest {
protected:
    ScopedLinkOpener m_opener{[this](const QUrl& url) { m_opened.push_back(url); }};
    std::vector<QUrl> m_opened;
};

// The links open the joke page, a mail to the address shown and the home page shown; Esc, Enter
// and the close box end the dialog.
TEST_F(AboutDlgTest, EveryTextFitsTheLinksOpenAndTheUsualKeysEndIt) {
    CAboutDlg dlg;
    QString mail, home;
    Run(dlg, [&](CTemplateDialog& window) {
        ExpectTextsFit(window);
        for (CColorStatic* link : {dlg.m_linkJoke, dlg.m_linkMail, dlg.m_linkHome}) {
            QTest::mouseClick(link, Qt::LeftButton);
        }
        mail = dlg.m_linkMail->text();
        home = dlg.m_linkHome->text();
        EXPECT_TRUE(window.isVisible());
    });
    ASSERT_TRUE(mail.startsWith("邮箱：") && home.startsWith("主页："));
    ASSERT_EQ(m_opened.size(), 3u);
    EXPECT_EQ(m_opened[0].toString(QUrl::RemoveScheme | QUrl::RemoveAuthority),
              "/index.php?from=tr");
    EXPECT_EQ(m_opened[1].toString(), "mailto:" + mail.mid(3));
    EXPECT_EQ(m_opened[2], QUrl(home.mid(3)));
    for (const auto& [key, result] :
         {std::pair{Qt::Key_Escape, IDCANCEL}, {Qt::Key_Return, IDOK}}) {
        EXPECT_EQ(Run(dlg, [key](CTemplateDialog& window) { QTest::keyClick(&window, key); }),
                  result);
    }
    EXPECT_EQ(Run(dlg, [](CTemplateDialog& window) { EXPECT_TRUE(window.close()); }), IDCANCEL);
}

} // namespace
