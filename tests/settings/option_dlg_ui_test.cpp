#include "settings/option_dlg.h"

#include "app/link_opener.h"
#include "app/modal_hook.h"
#include "res/resource.h"
#include "settings/color_static.h"
#include "tests/app/dialog_test_support.h"

#include <QClipboard>
#include <QColorDialog>
#include <QLineEdit>
#include <QTest>
#include <QUrl>

#include <sys/stat.h>

namespace {

class OptionDlgTest : public DialogTest {
protected:
    int Run(COptionDlg& dlg, const std::function<void(CTemplateDialog&)>& act) {
        ScopedModalHook hook([&](QDialog& window) { act(static_cast<CTemplateDialog&>(window)); });
        return dlg.DoModal();
    }
    // Types a size and presses OK; returns the height that was stored.
    int EnterSize(const char* typed) {
        COptionDlg dlg;
        EXPECT_EQ(Run(dlg,
                      [&](CTemplateDialog& window) {
                          auto* edit = window.GetDlgItemAs<QLineEdit>(IDC_FONT_HEIGHT);
                          edit->clear();
                          QTest::keyClicks(edit, typed);
                          QTest::mouseClick(window.GetDlgItem(IDOK), Qt::LeftButton);
                      }),
                  IDOK);
        return dlg.m_settings.font_height;
    }
    ReaderSettings Stored() const {
        ReaderSettings stored;
        stored.font_height = -1;
        LoadReaderSettings(stored, m_dir.path().toStdString());
        return stored;
    }
    // Answers the colour chooser with `colour` (or Cancel when it is invalid).
    static void ChooseColour(CTemplateDialog& window, int button, QColor colour,
                             QColor* offered = nullptr) {
        ScopedModalHook chooser([&](QDialog& dialog) {
            auto& colours = static_cast<QColorDialog&>(dialog);
            if (offered != nullptr) {
                *offered = colours.currentColor();
            }
            if (colour.isValid()) {
                colours.setCurrentColor(colour);
                colours.accept();
            }
        });
        QTest::mouseClick(window.GetDlgItem(button), Qt::LeftButton);
    }
};

TEST_F(OptionDlgTest, SizeIsLimitedToTenToFifty) {
    EXPECT_EQ(EnterSize(""), 10);
    EXPECT_EQ(EnterSize("5"), 10);
    EXPECT_EQ(EnterSize("51"), 50);
    EXPECT_EQ(EnterSize("99999999999999"), 50); // beyond int: no overflow to a small value
    EXPECT_EQ(EnterSize("30"), 30);
    EXPECT_EQ(Stored().font_height, 30);
}

TEST_F(OptionDlgTest, ShowsTheCurrentHeightEvenOutOfRangeAndOkLimitsIt) {
    COptionDlg dlg;
    dlg.m_settings.font_height = 60; // raised by the larger-font command
    Run(dlg, [&](CTemplateDialog& window) {
        EXPECT_EQ(window.GetDlgItemAs<QLineEdit>(IDC_FONT_HEIGHT)->text(), "60");
        window.SendCommand(IDOK);
    });
    EXPECT_EQ(dlg.m_settings.font_height, 50);
    EXPECT_EQ(Stored().font_height, 50);
}

TEST_F(OptionDlgTest, LettersCannotBeTypedButPastedLettersGiveTen) {
    COptionDlg dlg;
    Run(dlg, [&](CTemplateDialog& window) {
        auto* edit = window.GetDlgItemAs<QLineEdit>(IDC_FONT_HEIGHT);
        edit->selectAll();
        QTest::keyClicks(edit, "ab-");
        EXPECT_EQ(edit->text(), "20");
        QApplication::clipboard()->setText("abc25");
        edit->selectAll();
        edit->paste();
        EXPECT_EQ(edit->text(), "abc25");
        window.SendCommand(IDOK);
    });
    EXPECT_EQ(dlg.m_settings.font_height, 10);
}

TEST_F(OptionDlgTest, ChosenColoursAreStoredOnOk) {
    COptionDlg dlg;
    Run(dlg, [&](CTemplateDialog& window) {
        QColor offered;
        ChooseColour(window, IDC_CHOOSE_FONT_COLOR, Qt::red, &offered);
        EXPECT_EQ(offered, QColor(Qt::black)); // not the current colour
        ChooseColour(window, IDC_CHOOSE_BACK_COLOR, Qt::blue);
        EXPECT_EQ(dlg.m_staticFontColor->m_crBack, 255u);
        EXPECT_EQ(dlg.m_settings.font_color, 0);               // only the preview changed so far
        ChooseColour(window, IDC_CHOOSE_BACK_COLOR, QColor()); // chooser cancelled
        EXPECT_EQ(dlg.m_staticBackColor->m_crBack, 16711680u);
        window.SendCommand(IDOK);
    });
    EXPECT_EQ(Stored().font_color, 255);
    EXPECT_EQ(Stored().back_color, 16711680);
    EXPECT_EQ(Stored().font_height, 20);
}

TEST_F(OptionDlgTest, CancelAfterChoosingColoursLeavesFileAndSettingsAlone) {
    const std::string path = DataPath("config.cfg");
    {
        COptionDlg first;
        first.m_settings.font_color = 128;
        first.SaveSettings();
    }
    const std::string before = ReadAll(path);
    struct stat statBefore {};
    ASSERT_EQ(stat(path.c_str(), &statBefore), 0);

    COptionDlg dlg;
    EXPECT_EQ(Run(dlg,
                  [&](CTemplateDialog& window) {
                      ChooseColour(window, IDC_CHOOSE_FONT_COLOR, Qt::green);
                      ChooseColour(window, IDC_CHOOSE_BACK_COLOR, Qt::red);
                      QTest::keyClicks(window.GetDlgItem(IDC_FONT_HEIGHT), "44");
                      QTest::mouseClick(window.GetDlgItem(IDCANCEL), Qt::LeftButton);
                  }),
              IDCANCEL);
    struct stat statAfter {};
    ASSERT_EQ(stat(path.c_str(), &statAfter), 0);
    EXPECT_EQ(ReadAll(path), before);
    EXPECT_EQ(statAfter.st_ino, statBefore.st_ino); // not even rewritten
    EXPECT_EQ(dlg.m_settings.font_color, 128);
    EXPECT_EQ(dlg.m_settings.back_color, 16579563);

    // The next opening shows the saved colours again, not the ones picked before Cancel.
    Run(dlg, [&](CTemplateDialog&) {
        EXPECT_EQ(dlg.m_staticFontColor->m_crBack, 128u);
        EXPECT_EQ(dlg.m_staticBackColor->m_crBack, 16579563u);
        EXPECT_EQ(dlg.m_staticBackColor->grab().toImage().pixelColor(5, 5), QColor(235, 251, 252));
    });
}

TEST_F(OptionDlgTest, OkWithoutChangesStillWritesTheFile) {
    const std::string path = DataPath("config.cfg");
    COptionDlg dlg;
    ASSERT_EQ(ReadAll(path), "");
    EXPECT_EQ(Run(dlg, [](CTemplateDialog& window) { QTest::keyClick(&window, Qt::Key_Return); }),
              IDOK);
    const std::string written = ReadAll(path);
    EXPECT_NE(written.find("font_height=20"), std::string::npos) << written;
    EXPECT_NE(written.find("back_color=16579563"), std::string::npos) << written;
}

TEST_F(OptionDlgTest, LayoutFocusAndTabOrder) {
    COptionDlg dlg;
    Run(dlg, [&](CTemplateDialog& window) {
        EXPECT_EQ(window.windowTitle(), "设置");
        EXPECT_EQ(window.focusWidget(), window.GetDlgItem(IDOK));
        for (int id :
             {IDCANCEL, IDC_FONT_HEIGHT, IDC_CHOOSE_FONT_COLOR, IDC_CHOOSE_BACK_COLOR, IDOK}) {
            QTest::keyClick(window.focusWidget(), Qt::Key_Tab);
            EXPECT_EQ(DialogControlId(window.focusWidget()), id);
        }
        ExpectTextsFit(window);
        MaybeSaveScreenshot(window, "dialog-options.png");
    });
}

TEST_F(OptionDlgTest, PreviewsOpenNothingWhenClicked) {
    std::vector<QUrl> opened;
    ScopedLinkOpener opener([&](const QUrl& url) { opened.push_back(url); });
    COptionDlg dlg;
    Run(dlg, [&](CTemplateDialog& window) {
        QTest::mouseClick(window.GetDlgItem(IDC_FONT_COLOR), Qt::LeftButton);
        QTest::mouseClick(window.GetDlgItem(IDC_BACK_COLOR), Qt::LeftButton);
        EXPECT_TRUE(window.isVisible());
    });
    EXPECT_TRUE(opened.empty());
}

} // namespace
