// The About and the options dialogs on their own (the others are tested through the reader's
// commands).

#include "dialogs/about_dlg.h"
#include "dialogs/option_dlg.h"
#include "res/resource.h"
#include "tests/dialogs/dialog_test_support.h"
#include "widgets/color_static.h"
#include "widgets/link_opener.h"

#include <QClipboard>
#include <QColorDialog>
#include <QLineEdit>
#include <QTest>
#include <QUrl>

namespace {

class OptionDlgTest : public DialogTest {
protected:
    // Puts `text` into the size field (typed or pasted), presses OK; returns the stored height.
    int Size(const char* text, bool paste = false) {
        COptionDlg dlg(ReaderSettings{}, ReadingPrefs{});
        Run(dlg, [&](CTemplateDialog& window) {
            auto* edit = window.GetDlgItemAs<QLineEdit>(IDC_FONT_HEIGHT);
            edit->selectAll();
            if (paste) {
                QApplication::clipboard()->setText(text);
                edit->paste();
            } else {
                QTest::keyClick(edit, Qt::Key_Delete);
                QTest::keyClicks(edit, text);
            }
            QTest::mouseClick(window.GetDlgItem(IDOK), Qt::LeftButton);
        });
        return dlg.m_settings.font_height;
    }
    // Clicks a "选择颜色" button and answers the chooser with `colour` (invalid: Cancel).
    static QColor Choose(CTemplateDialog& window, int button, QColor colour) {
        QColor offered;
        ScopedModalHook chooser([&](QDialog& dialog) {
            auto& colours = static_cast<QColorDialog&>(dialog);
            offered = colours.currentColor();
            if (colour.isValid()) {
                colours.setCurrentColor(colour);
                colours.accept();
            }
        });
        QTest::mouseClick(window.GetDlgItem(button), Qt::LeftButton);
        return offered;
    }
};

// What is typed or pasted into the size field is brought into 10 to 50.
TEST_F(OptionDlgTest, SizeIsLimitedToTenToFifty) {
    EXPECT_EQ(Size(""), 10);
    EXPECT_EQ(Size("5"), 10);
    EXPECT_EQ(Size("51"), 50);
    EXPECT_EQ(Size("99999999999"), 50); // beyond int: no wrap-around to a small value
    EXPECT_EQ(Size("ab30"), 30);        // letters cannot be typed
    EXPECT_EQ(Size("ab30", true), 10);  // but they can be pasted
}

// A colour chosen shows in its preview (which opens nothing when clicked); Cancel drops the
// choices, OK hands them back.
TEST_F(OptionDlgTest, ColoursGoToThePreviewsAndOnlyOkHandsThemBack) {
    ReaderSettings settings;
    settings.font_color = 128;
    COptionDlg dlg(settings, ReadingPrefs{});
    std::vector<QUrl> opened;
    ScopedLinkOpener opener([&](const QUrl& url) { opened.push_back(url); });
    EXPECT_EQ(Run(dlg,
                  [&](CTemplateDialog& window) {
                      ExpectTextsFit(window);
                      EXPECT_EQ(Choose(window, IDC_CHOOSE_FONT_COLOR, Qt::red), Qt::black);
                      Choose(window, IDC_CHOOSE_BACK_COLOR, Qt::green);
                      Choose(window, IDC_CHOOSE_BACK_COLOR, QColor()); // chooser cancelled
                      EXPECT_EQ(dlg.m_staticFontColor->m_crBack, 255u);
                      EXPECT_EQ(dlg.m_staticBackColor->m_crBack, 0x00FF00u);
                      QTest::mouseClick(dlg.m_staticFontColor, Qt::LeftButton);
                      QTest::mouseClick(window.GetDlgItem(IDCANCEL), Qt::LeftButton);
                  }),
              IDCANCEL);
    EXPECT_TRUE(opened.empty()); // a preview has no link
    EXPECT_EQ(dlg.m_settings.font_color, 128);
    Run(dlg, [&](CTemplateDialog& window) {
        EXPECT_EQ(dlg.m_staticFontColor->m_crBack, 128u); // the colours handed in again
        Choose(window, IDC_CHOOSE_BACK_COLOR, Qt::blue);
        window.SendCommand(IDOK);
    });
    EXPECT_EQ(dlg.m_settings.font_color, 128);
    EXPECT_EQ(dlg.m_settings.back_color, 16711680);
}

class AboutDlgTest : public DialogTest {
protected:
    ScopedLinkOpener m_opener{[this](const QUrl& url) { m_opened.push_back(url); }};
    std::vector<QUrl> m_opened;
};

// The links open the joke page, a mail to the address shown and the home page shown; the key help
// is whole; Esc, Enter and the close box end the dialog.
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
        // The key help names the keys added to the designed ones too.
        QString help;
        for (const QLabel* label : window.findChildren<QLabel*>()) {
            help += label->text() + u'\n';
        }
        for (const char* key : {"Page Up", "F11", "Ctrl+F", "F3", ":M", "Ctrl+↑/↓", ":L"}) {
            EXPECT_TRUE(help.contains(QString::fromUtf8(key))) << key;
        }
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
