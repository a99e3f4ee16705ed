#include "dialogs/about_dlg.h"

#include "res/resource.h"
#include "tests/dialogs/dialog_test_support.h"
#include "widgets/color_static.h"
#include "widgets/link_opener.h"

#include <QMouseEvent>
#include <QTest>
#include <QUrl>

namespace {

using AboutDlgTest = DialogTest;

bool HasPixelNear(const QImage& image, QColor colour) {
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor p = image.pixelColor(x, y);
            if (std::abs(p.red() - colour.red()) + std::abs(p.green() - colour.green()) +
                    std::abs(p.blue() - colour.blue()) <
                60) {
                return true;
            }
        }
    }
    return false;
}

void MoveTo(QWidget* widget, QPoint to) {
    QMouseEvent event(QEvent::MouseMove, QPointF(to), widget->mapToGlobal(QPointF(to)),
                      Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

TEST_F(AboutDlgTest, EveryTextFitsAndTheBlueLinksOpen) {
    std::vector<QUrl> opened;
    ScopedLinkOpener opener([&](const QUrl& url) { opened.push_back(url); });
    CAboutDlg dlg;
    QString mail, home;
    Run(dlg, [&](CTemplateDialog& window) {
        EXPECT_EQ(window.windowTitle(), "关于 Veska");
        ExpectTextsFit(window, "dialog-about.png");
        for (CColorStatic* link : {dlg.m_linkJoke, dlg.m_linkMail, dlg.m_linkHome}) {
            EXPECT_EQ(link->m_crText, 0xFF0000u);
            const QImage image = link->grab().toImage(); // blue text on its white brush
            EXPECT_TRUE(HasPixelNear(image, Qt::blue)) << link->text().toStdString();
            EXPECT_FALSE(HasPixelNear(image, Qt::red));
            QTest::mouseClick(link, Qt::LeftButton);
        }
        mail = dlg.m_linkMail->text();
        home = dlg.m_linkHome->text();
        EXPECT_TRUE(window.isVisible());
    });
    ASSERT_TRUE(mail.startsWith("邮箱：") && home.startsWith("主页："));
    ASSERT_EQ(opened.size(), 3u);
    EXPECT_EQ(opened[0].toString(QUrl::RemoveScheme | QUrl::RemoveAuthority), "/index.php?from=tr");
    EXPECT_EQ(opened[1].toString(), "mailto:" + mail.mid(3));
    EXPECT_EQ(opened[2], QUrl(home.mid(3)));
}

TEST_F(AboutDlgTest, EscEnterAndTheCloseBoxEndIt) {
    CAboutDlg dlg;
    const auto press = [](int key) {
        return [key](CTemplateDialog& window) { QTest::keyClick(&window, Qt::Key(key)); };
    };
    EXPECT_EQ(Run(dlg, press(Qt::Key_Escape)), IDCANCEL);
    EXPECT_EQ(Run(dlg, press(Qt::Key_Return)), IDOK);
    EXPECT_EQ(Run(dlg, [](CTemplateDialog& window) { EXPECT_TRUE(window.close()); }), IDCANCEL);
}

TEST_F(AboutDlgTest, LinkHoverTurnsRedAndCapturesUntilThePointerLeaves) {
    std::vector<QUrl> opened;
    ScopedLinkOpener opener([&](const QUrl& url) { opened.push_back(url); });
    QWidget window;
    auto* link = new CColorStatic(&window);
    link->setGeometry(10, 10, 100, 20);
    link->m_crNormalText = link->m_crText = 0xFF0000;
    window.show();

    MoveTo(link, QPoint(5, 5)); // no link: red, but no hand
    EXPECT_EQ(link->m_crText, 255u);
    EXPECT_NE(link->cursor().shape(), Qt::PointingHandCursor);
    link->m_strLink = u"https://example.org/a?b=c";
    MoveTo(link, QPoint(6, 5));
    EXPECT_EQ(QWidget::mouseGrabber(), link);
    EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);
    // Captured, a press beside the control reaches it but opens nothing.
    QTest::mousePress(link, Qt::LeftButton, {}, QPoint(150, 5));
    EXPECT_TRUE(opened.empty());
    MoveTo(link, QPoint(150, 5)); // seen only thanks to the capture
    EXPECT_EQ(link->m_crText, 0xFF0000u);
    EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
    EXPECT_NE(link->cursor().shape(), Qt::PointingHandCursor);

    link->m_bTrackHover = false;
    MoveTo(link, QPoint(5, 5));
    EXPECT_EQ(link->m_crText, 0xFF0000u);
    EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
    QTest::mouseClick(link, Qt::LeftButton);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], QUrl("https://example.org/a?b=c"));
}

} // namespace
