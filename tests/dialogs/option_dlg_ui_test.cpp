#include "dialogs/option_dlg.h"

#include "widgets/link_opener.h"
#include "res/resource.h"
#include "widgets/color_static.h"
#include "dialogs/reading_dlg.h"
#include "tests/dialogs/dialog_test_support.h"

#include <QClipboard>
#include <QColorDialog>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QUrl>

#include <sys/stat.h>

namespace {

class OptionDlgTest : public DialogTest {
protected:
    // Puts `text` into the size field (typed or pasted), presses OK; returns the stored height.
    int Size(const char* text, bool paste = false) {
        COptionDlg dlg;
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
        ReaderSettings stored;
        LoadReaderSettings(stored, m_dir.path().toStdString());
        EXPECT_EQ(stored.font_height, dlg.m_settings.font_height);
        return stored.font_height;
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
    QString ConfigPath() const { return m_dir.filePath("config.cfg"); }
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
    COptionDlg dlg;
    dlg.m_settings.font_height = 60; // raised by the larger-font command
    Run(dlg, [&](CTemplateDialog& window) {
        EXPECT_EQ(window.windowTitle(), "设置");
        EXPECT_EQ(window.GetDlgItemAs<QLineEdit>(IDC_FONT_HEIGHT)->text(), "60");
        EXPECT_EQ(window.focusWidget(), window.GetDlgItem(IDOK));
        for (int id : {IDCANCEL, IDC_FONT_HEIGHT, IDC_CHOOSE_FONT_COLOR, IDC_CHOOSE_BACK_COLOR,
                       IDC_READING}) {
            QTest::keyClick(window.focusWidget(), Qt::Key_Tab);
            EXPECT_EQ(DialogControlId(window.focusWidget()), id);
        }
        ExpectTextsFit(window, "dialog-options.png");
        QTest::keyClick(&window, Qt::Key_Return);
    });
    EXPECT_EQ(dlg.m_settings.font_height, 50);
    EXPECT_TRUE(QFile::exists(ConfigPath())); // OK without changes still writes the file
}

TEST_F(OptionDlgTest, ColoursGoToThePreviewsAndOnlyOkStoresThem) {
    COptionDlg dlg;
    dlg.m_settings.font_color = 128;
    dlg.SaveSettings();
    struct stat before {};
    ASSERT_EQ(stat(ConfigPath().toUtf8().constData(), &before), 0);
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
    struct stat after {};
    ASSERT_EQ(stat(ConfigPath().toUtf8().constData(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino); // not rewritten
    EXPECT_EQ(dlg.m_settings.font_color, 128);

    Run(dlg, [&](CTemplateDialog& window) {
        EXPECT_EQ(dlg.m_staticFontColor->m_crBack, 128u); // the saved colours again
        EXPECT_EQ(dlg.m_staticBackColor->grab().toImage().pixelColor(5, 5), QColor(235, 251, 252));
        Choose(window, IDC_CHOOSE_BACK_COLOR, Qt::blue);
        window.SendCommand(IDOK);
    });
    ReaderSettings stored;
    LoadReaderSettings(stored, m_dir.path().toStdString());
    EXPECT_EQ(stored.font_color, 128);
    EXPECT_EQ(stored.back_color, 16711680);
}

TEST_F(OptionDlgTest, ReadingPageShowsTheSavedValuesAndHandsOnEveryChange) {
    ReadingPrefs saved;
    saved.margin_left = 24;
    saved.scroll_speed = 7;
    ASSERT_TRUE(SaveReadingPrefs(saved, m_dir.path().toStdString()));
    COptionDlg dlg;
    dlg.m_settings.font_color = 0x0000FF;
    int shown = 0;
    dlg.m_onReadingChanged = [&] { ++shown; };
    ScopedModalHook hook([&](QDialog& window) {
        if (auto* page = qobject_cast<CReadingDlg*>(&window)) {
            EXPECT_EQ(page->windowTitle(), "阅读");
            EXPECT_EQ(page->m_spinMarginLeft->value(), 24);
            EXPECT_EQ(page->m_spinScrollSpeed->value(), 7);
            EXPECT_EQ(page->m_spinLineChars->text(), "不限");
            EXPECT_TRUE(page->m_btnDay->isChecked());
            ExpectTextsFit(*page, "dialog-reading.png");
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
        EXPECT_EQ(dlg.m_staticBackColor->m_crBack, unsigned(COptionDlg::kNightBackColor));
        options.SendCommand(IDOK);
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    const ReadingPrefs stored = LoadReadingPrefs(m_dir.path().toStdString());
    EXPECT_EQ(stored.line_chars, 36);
    EXPECT_EQ(stored.night, 1);
    EXPECT_EQ(stored.day_font_color, 0x0000FF);
    ReaderSettings settings;
    LoadReaderSettings(settings, m_dir.path().toStdString());
    EXPECT_EQ(settings.font_color, COptionDlg::kNightFontColor);

    dlg.SetNightMode(false);
    LoadReaderSettings(settings, m_dir.path().toStdString());
    EXPECT_EQ(settings.font_color, 0x0000FF);
    EXPECT_EQ(settings.back_color, ReaderSettings{}.back_color);
}

} // namespace
