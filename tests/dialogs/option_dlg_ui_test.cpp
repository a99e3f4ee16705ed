#include "dialogs/option_dlg.h"

#include "dialogs/reading_dlg.h"
#include "res/resource.h"
#include "settings/settings_store.h"
#include "tests/dialogs/dialog_test_support.h"
#include "widgets/color_static.h"
#include "widgets/link_opener.h"

#include <QClipboard>
#include <QColorDialog>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
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

TEST_F(OptionDlgTest, SizeIsLimitedToTenToFifty) {
    EXPECT_EQ(Size(""), 10);
    EXPECT_EQ(Size("5"), 10);
    EXPECT_EQ(Size("51"), 50);
    EXPECT_EQ(Size("99999999999"), 50); // beyond int: no wrap-around to a small value
    EXPECT_EQ(Size("ab30"), 30);        // letters cannot be typed
    EXPECT_EQ(Size("ab30", true), 10);  // but they can be pasted
}

TEST_F(OptionDlgTest, OpensOnOkShowingTheHeightAsItIsAndTabsInTemplateOrder) {
    ReaderSettings settings;
    settings.font_height = 60; // raised by the larger-font command
    COptionDlg dlg(settings, ReadingPrefs{});
    Run(dlg, [&](CTemplateDialog& window) {
        EXPECT_EQ(window.GetDlgItemAs<QLineEdit>(IDC_FONT_HEIGHT)->text(), "60");
        EXPECT_EQ(window.focusWidget(), window.GetDlgItem(IDOK));
        for (int id : {IDCANCEL, IDC_FONT_HEIGHT, IDC_CHOOSE_FONT_COLOR, IDC_CHOOSE_BACK_COLOR,
                       IDC_READING}) {
            QTest::keyClick(window.focusWidget(), Qt::Key_Tab);
            EXPECT_EQ(DialogControlId(window.focusWidget()), id);
        }
        ExpectTextsFit(window);
        QTest::keyClick(&window, Qt::Key_Return);
    });
    EXPECT_EQ(dlg.m_settings.font_height, 50);
}

TEST_F(OptionDlgTest, ColoursGoToThePreviewsAndOnlyOkHandsThemBack) {
    ReaderSettings settings;
    settings.font_color = 128;
    COptionDlg dlg(settings, ReadingPrefs{});
    std::vector<QUrl> opened;
    ScopedLinkOpener opener([&](const QUrl& url) { opened.push_back(url); });
    EXPECT_EQ(Run(dlg,
                  [&](CTemplateDialog& window) {
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
        EXPECT_EQ(dlg.m_staticBackColor->grab().toImage().pixelColor(5, 5), QColor(235, 251, 252));
        Choose(window, IDC_CHOOSE_BACK_COLOR, Qt::blue);
        window.SendCommand(IDOK);
    });
    EXPECT_EQ(dlg.m_settings.font_color, 128);
    EXPECT_EQ(dlg.m_settings.back_color, 16711680);
}

TEST_F(OptionDlgTest, ReadingPageShowsTheValuesAndHandsOnEveryChange) {
    ReadingPrefs prefs;
    prefs.margin_left = 24;
    prefs.scroll_speed = 7;
    ReaderSettings settings;
    settings.font_color = 0x0000FF;
    COptionDlg dlg(settings, prefs);
    int shown = 0;
    ReaderSettings handedSettings;
    ReadingPrefs handedPrefs;
    dlg.m_onReadingChanged = [&](const ReaderSettings& s, const ReadingPrefs& p) {
        ++shown;
        handedSettings = s;
        handedPrefs = p;
    };
    ScopedModalHook hook([&](QDialog& window) {
        if (auto* page = qobject_cast<CReadingDlg*>(&window)) {
            EXPECT_EQ(page->m_spinMarginLeft->value(), 24);
            EXPECT_EQ(page->m_spinScrollSpeed->value(), 7);
            EXPECT_EQ(page->m_spinLineChars->text(), "不限");
            EXPECT_TRUE(page->m_btnDay->isChecked());
            ExpectTextsFit(*page);
            page->m_spinLineChars->setValue(36);
            EXPECT_EQ(shown, 1);
            QTest::mouseClick(page->m_btnNight, Qt::LeftButton);
            EXPECT_EQ(shown, 2);
            QTest::mouseClick(page->m_btnNight, Qt::LeftButton); // already night: nothing
            EXPECT_EQ(shown, 2);
            page->accept();
            return;
        }
        auto& options = static_cast<CTemplateDialog&>(window);
        QTest::mouseClick(options.GetDlgItem(IDC_READING), Qt::LeftButton);
        // The previews follow the night colours, so OK keeps them.
        EXPECT_EQ(dlg.m_staticBackColor->m_crBack, unsigned(CSettingsStore::kNightBackColor));
        options.SendCommand(IDOK);
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(handedPrefs.line_chars, 36);
    EXPECT_EQ(handedPrefs.night, 1);
    EXPECT_EQ(handedPrefs.day_font_color, 0x0000FF);
    EXPECT_EQ(handedSettings.font_color, CSettingsStore::kNightFontColor);
    EXPECT_EQ(dlg.m_settings.font_color, CSettingsStore::kNightFontColor);
    dlg.SetNightMode(false);
    EXPECT_EQ(handedSettings.font_color, 0x0000FF);
    EXPECT_EQ(handedSettings.back_color, ReaderSettings{}.back_color);
}

} // namespace
