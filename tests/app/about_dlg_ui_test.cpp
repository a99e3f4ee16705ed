#include "app/about_dlg.h"

#include "app/link_opener.h"
#include "app/modal_hook.h"
#include "res/resource.h"
#include "settings/color_static.h"
#include "tests/app/dialog_test_support.h"

#include <QCloseEvent>
#include <QImage>
#include <QTest>
#include <QUrl>

namespace {

class AboutDlgTest : public DialogTest {
protected:
    int Run(CAboutDlg& dlg, const std::function<void(CTemplateDialog&)>& act) {
        ScopedModalHook hook([&](QDialog& window) { act(static_cast<CTemplateDialog&>(window)); });
        return dlg.DoModal();
    }
};

QStringList LabelTexts(const QWidget& window) {
    QStringList texts;
    for (const QLabel* label : window.findChildren<QLabel*>()) {
        texts << label->text();
    }
    return texts;
}

// How many pixels of the picture are close to the colour.
int CountNear(const QImage& image, QColor colour) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (std::abs(pixel.red() - colour.red()) < 40 &&
                std::abs(pixel.green() - colour.green()) < 40 &&
                std::abs(pixel.blue() - colour.blue()) < 40) {
                ++count;
            }
        }
    }
    return count;
}

TEST_F(AboutDlgTest, ShowsNameVersionFeedbackAndEveryInstruction) {
    CAboutDlg dlg;
    Run(dlg, [&](CTemplateDialog& window) {
        EXPECT_EQ(window.windowTitle(), "关于 Veska");
        const QStringList texts = LabelTexts(window);
        for (const char* expected :
             {"Veska 1.0 版", "有任何反馈，请发邮件", "也可以在主页上留言", "上一页: ->",
              "下一页: <-", "上一屏: ↑", "下一屏:↓ ", "增大字体:B", "减小字体:S", "增大行距:R",
              "减小行距:T", "跳转页面:G", "自动滚屏:A", "打开书签:H", "选择书籍:Ctrl+O",
              "开心一下"}) {
            EXPECT_TRUE(texts.contains(QString::fromUtf8(expected))) << expected;
        }
        QStringList boxes;
        for (const QGroupBox* box : window.findChildren<QGroupBox*>()) {
            boxes << box->title();
        }
        boxes.sort();
        EXPECT_EQ(boxes, QStringList({"Veska", "操作说明"}));
        EXPECT_TRUE(window.findChildren<QPushButton*>().isEmpty());
        // The icon and the picture are shown, whatever their source.
        int pictures = 0;
        for (const QLabel* label : window.findChildren<QLabel*>()) {
            pictures += label->pixmap().isNull() ? 0 : 1;
        }
        EXPECT_EQ(pictures, 2);
        ExpectTextsFit(window);
        ExpectNoOverlap(window);
        MaybeSaveScreenshot(window, "dialog-about.png");
    });
}

TEST_F(AboutDlgTest, LinksAreBlueAndOpenTheirTargets) {
    std::vector<QUrl> opened;
    ScopedLinkOpener opener([&](const QUrl& url) { opened.push_back(url); });
    CAboutDlg dlg;
    QString mailText, homeText;
    Run(dlg, [&](CTemplateDialog& window) {
        for (CColorStatic* link : {dlg.m_linkJoke, dlg.m_linkMail, dlg.m_linkHome}) {
            ASSERT_NE(link, nullptr);
            EXPECT_EQ(link->m_crNormalText, 0xFF0000u);
            EXPECT_EQ(link->m_crText, 0xFF0000u);
            // Painted: blue text on the link's own white background.
            const QImage image = link->grab().toImage();
            EXPECT_GT(CountNear(image, Qt::blue), 0) << link->text().toStdString();
            EXPECT_GT(CountNear(image, Qt::white), image.width() * image.height() / 2);
            EXPECT_EQ(CountNear(image, Qt::red), 0);
        }
        EXPECT_EQ(dlg.m_linkJoke, window.GetDlgItem(IDC_LINK_JOKE));
        EXPECT_EQ(dlg.m_linkJoke->text(), "开心一下");
        mailText = dlg.m_linkMail->text();
        homeText = dlg.m_linkHome->text();
        QTest::mouseClick(dlg.m_linkJoke, Qt::LeftButton);
        QTest::mouseClick(dlg.m_linkMail, Qt::LeftButton);
        QTest::mouseClick(dlg.m_linkHome, Qt::LeftButton);
        EXPECT_TRUE(window.isVisible()); // clicking a link keeps the box open
    });
    ASSERT_TRUE(mailText.startsWith("邮箱："));
    ASSERT_TRUE(homeText.startsWith("主页："));
    ASSERT_EQ(opened.size(), 3u);
    EXPECT_EQ(opened[0].path(), "/index.php");
    EXPECT_EQ(opened[0].query(), "from=tr");
    EXPECT_EQ(opened[1].scheme(), "mailto");
    EXPECT_EQ(opened[1].path(), mailText.mid(3));
    EXPECT_EQ(opened[2], QUrl(homeText.mid(3)));
}

TEST_F(AboutDlgTest, EscEnterAndTheCloseBoxEndIt) {
    CAboutDlg dlg;
    EXPECT_EQ(Run(dlg,
                  [](CTemplateDialog& window) {
                      QTest::keyClick(&window, Qt::Key_Escape);
                      EXPECT_FALSE(window.isVisible());
                  }),
              IDCANCEL);
    EXPECT_EQ(Run(dlg,
                  [](CTemplateDialog& window) {
                      QTest::keyClick(&window, Qt::Key_Return);
                      EXPECT_FALSE(window.isVisible());
                  }),
              IDOK);
    EXPECT_EQ(Run(dlg,
                  [](CTemplateDialog& window) {
                      EXPECT_TRUE(window.close());
                      EXPECT_FALSE(window.isVisible());
                  }),
              IDCANCEL);
    EXPECT_EQ(dlg.m_linkJoke, nullptr); // no pointers into a window that is gone
}

} // namespace
