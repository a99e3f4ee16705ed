#include "dialogs/about_dlg.h"

#include "res/resource.h"
#include "tests/dialogs/dialog_test_support.h"
#include "widgets/color_static.h"
#include "widgets/link_opener.h"

#include <QMouseEvent>
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

// Hovering turns a link red and captures the pointer until it leaves (no hand without a link);
// captured, a press beside the control reaches it but opens nothing.
TEST_F(AboutDlgTest, LinkHoverTurnsRedAndCapturesUntilThePointerLeaves) {
    QWidget window;
    auto* link = new CColorStatic(&window);
    link->setGeometry(10, 10, 100, 20);
    link->m_crNormalText = link->m_crText = 0xFF0000;
    window.show();
    const auto moveTo = [link](int x) {
        QMouseEvent event(QEvent::MouseMove, QPointF(x, 5), link->mapToGlobal(QPointF(x, 5)),
                          Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(link, &event);
    };
    moveTo(5);
    EXPECT_EQ(link->m_crText, 255u);
    EXPECT_NE(link->cursor().shape(), Qt::PointingHandCursor);
    link->m_strLink = u"https://example.org/a?b=c";
    moveTo(6);
    EXPECT_EQ(QWidget::mouseGrabber(), link);
    EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);
    QTest::mousePress(link, Qt::LeftButton, {}, QPoint(150, 5));
    EXPECT_TRUE(m_opened.empty());
    moveTo(150); // seen only thanks to the capture
    EXPECT_EQ(link->m_crText, 0xFF0000u);
    EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
    EXPECT_NE(link->cursor().shape(), Qt::PointingHandCursor);
}

} // namespace
