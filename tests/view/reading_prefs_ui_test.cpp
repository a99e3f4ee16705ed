// The reading page: each preference changes what the reader draws at once, is saved at once and
// comes back after a restart; a damaged preferences file starts with the defaults.

#include "app/true_color_tool_bar.h"
#include "dialogs/reading_dlg.h"
#include "dialogs/rules_dlg.h"
#include "tests/app/ui_test_support.h"
#include "tests/dialogs/dialog_test_support.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QFontInfo>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QStatusBar>
#include <QStyle>

namespace {

using namespace std::string_literals;

class ReadingPrefsTest : public ReaderTest {
protected:
    // Opens "设置", then its "阅读…" button; `act` works on the reading page. The settings dialog
    // is cancelled afterwards: what the page changed stands all the same.
    void Reading(const std::function<void(CReadingDlg&)>& act) {
        ScopedModalHook hook([&](QDialog& dialog) {
            if (auto* reading = qobject_cast<CReadingDlg*>(&dialog)) {
                ExpectTextsFit(*reading);
                act(*reading);
                QTest::mouseClick(reading->findChild<QPushButton*>("closeButton"), Qt::LeftButton);
                return;
            }
            auto& options = static_cast<CTemplateDialog&>(dialog);
            QTest::mouseClick(options.GetDlgItem(IDC_READING), Qt::LeftButton);
            options.SendCommand(IDCANCEL);
        });
        m_frame->Action(ID_OPTION)->trigger();
        QCoreApplication::processEvents(); // a palette change reaches the widgets as events
    }

    // The leftmost and rightmost columns inside the pane's frame holding dark (text) pixels.
    std::pair<int, int> InkColumns() const {
        const QImage image = m_pane->grab().toImage();
        const QRect area = m_pane->contentsRect(); // inside the pane's frame line
        const int end = std::min(area.right(), m_pane->viewport()->geometry().right());
        int left = image.width();
        int right = -1;
        for (int y = area.top(); y <= area.bottom(); ++y) {
            for (int x = area.left(); x <= end; ++x) {
                if (image.pixelColor(x, y).lightness() < 110) {
                    left = std::min(left, x);
                    right = std::max(right, x);
                }
            }
        }
        return {left, right};
    }
};

TEST_F(ReadingPrefsTest, MarginsAndTheLineCapPlaceTheTextKeepTheScreenAndSurviveARestart) {
    Open(MakeBook(QStringLiteral("margins.txt"), 4092));
    const int frame = m_pane->frameWidth();
    EXPECT_NEAR(InkColumns().first, frame + CTxtRichEdit::kDefaultMargin, 3); // today's look

    // The reading place is a line well down the page; it stays at the top through every change,
    // a wider window and a font step included.
    m_pane->verticalScrollBar()->setValue(m_pane->verticalScrollBar()->maximum() / 2);
    const int top = m_pane->TopCharacter();
    ASSERT_GT(top, 0);
    Reading([&](CReadingDlg& page) {
        page.m_spinMarginLeft->selectAll();
        QTest::keyClicks(page.m_spinMarginLeft, "60");
        EXPECT_EQ(SavedPrefs().margin_left, 60); // saved with each change, before the page closes
        EXPECT_EQ(m_pane->TopCharacter(), top);
        page.m_spinMarginRight->setValue(0);
    });
    EXPECT_NEAR(InkColumns().first, frame + 60, 3);
    EXPECT_EQ(m_pane->TopCharacter(), top);
    const auto expectCap = [this] {
        for (int line = 0; line < m_pane->GetLineCount(); ++line) {
            ASSERT_LE(m_pane->LineLength(line), 20) << line;
        }
    };
    Reading([](CReadingDlg& page) { page.m_spinLineChars->setValue(20); });
    const int frameTop = m_pane->TopCharacter();
    expectCap();
    // Centred: as much room on each side of the column, whatever the margins asked for.
    const auto [left, right] = InkColumns();
    const int advance = QFontMetrics(m_pane->font()).horizontalAdvance(QChar(0x4E2D));
    const int room = m_pane->contentsRect().width() -
                     m_pane->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, m_pane);
    EXPECT_NEAR(left - frame, room - (right - frame), advance);
    EXPECT_GE(right - left, 19 * advance);

    // A wider window keeps the cap and the centring.
    m_frame->resize(m_frame->width() + 300, m_frame->height());
    QCoreApplication::processEvents();
    EXPECT_EQ(m_pane->TopCharacter(), frameTop);
    EXPECT_NEAR(InkColumns().first, left + 150, 2);
    Key(Qt::Key_B); // and so does a font step
    EXPECT_EQ(m_pane->LineFromChar(frameTop), m_pane->GetFirstVisibleLine());
    Restart();
    EXPECT_EQ(SavedPrefs().line_chars, 20);
    Open(MakeBook(QStringLiteral("margins.txt"), 4092));
    expectCap();
    Reading([](CReadingDlg& page) { page.m_spinLineChars->setValue(0); });
    EXPECT_NEAR(InkColumns().first, frame + 60, 3);
}

TEST_F(ReadingPrefsTest, TheFontFamilyIsTheOneChosenChineseFacesListedFirst) {
    const QString serif = QStringLiteral("Noto Serif CJK SC");
    Reading([&](CReadingDlg& page) {
        QComboBox* faces = page.m_comboFace;
        EXPECT_EQ(faces->currentIndex(), 0); // the reader's own face by default
        ASSERT_GT(faces->count(), 1);
        EXPECT_TRUE(QFontDatabase::writingSystems(faces->itemData(1).toString())
                        .contains(QFontDatabase::SimplifiedChinese));
        const int index = faces->findData(serif);
        ASSERT_GE(index, 0);
        faces->setCurrentIndex(index);
    });
    EXPECT_EQ(QFontInfo(m_pane->font()).family(), serif);
    const int height = m_view->Settings().font_height;
    EXPECT_NEAR(QFontMetrics(m_pane->font()).height(), height, 1);
    Key(Qt::Key_B); // the size keys keep the face
    EXPECT_EQ(QFontInfo(m_pane->font()).family(), serif);
    Restart();
    EXPECT_EQ(QFontInfo(m_pane->font()).family(), serif);
    Reading([&](CReadingDlg& page) {
        EXPECT_EQ(page.m_comboFace->currentData().toString(), serif);
        page.m_comboFace->setCurrentIndex(0);
    });
    EXPECT_EQ(m_pane->FaceName(), u"微软雅黑");
}

TEST_F(ReadingPrefsTest, NightDarkensTheWholeWindowAndDayGivesTheColoursBack) {
    const auto lightness = [this](QWidget* part) {
        const QImage image = part->grab().toImage();
        return image.pixelColor(image.width() - 3, image.height() / 2).lightness();
    };
    Open(MakeBook(QStringLiteral("night.txt"), 4092));
    ASSERT_TRUE(m_pane->verticalScrollBar()->isVisible());
    ReaderSettings settings = m_view->Settings();
    settings.font_color = 0x112233;
    m_view->Store().SetSettings(settings);
    EXPECT_GT(lightness(m_frame->statusBar()), 150);
    // The toolbar's labels follow (its style sheet kept the day's dark text on the night bar).
    const auto label = [this] {
        QWidget* button = m_frame->MainToolBar()->widgetForAction(m_frame->Action(ID_FILE_OPEN));
        return button->palette().color(QPalette::ButtonText).lightness();
    };
    EXPECT_LT(label(), 80);
    Reading([](CReadingDlg& page) { QTest::mouseClick(page.m_btnNight, Qt::LeftButton); });
    for (QWidget* part : std::initializer_list<QWidget*>{
             m_frame->statusBar(), m_frame->MainToolBar(), m_frame->ReaderToolBar(), m_pane,
             m_pane->verticalScrollBar()}) { // its groove
        EXPECT_LT(lightness(part), 80);
    }
    EXPECT_GT(label(), 150);
    EXPECT_EQ(SavedSettings().back_color, CSettingsStore::kNightBackColor);
    Restart(); // night comes back, dialogs included
    EXPECT_LT(lightness(m_frame->statusBar()), 80);
    // A text colour picked at night stays night's; day keeps its own.
    settings = m_view->Settings();
    settings.font_color = 0x445566;
    m_view->Store().SetSettings(settings);
    Reading([&](CReadingDlg& page) {
        EXPECT_LT(page.palette().color(QPalette::Window).lightness(), 80);
        EXPECT_TRUE(page.m_btnNight->isChecked());
        QTest::mouseClick(page.m_btnDay, Qt::LeftButton);
        EXPECT_TRUE(page.m_btnDay->isChecked());
    });
    EXPECT_GT(lightness(m_frame->statusBar()), 150);
    EXPECT_LT(label(), 80);
    EXPECT_EQ(SavedSettings().font_color, 0x112233);
    EXPECT_EQ(SavedSettings().back_color, ReaderSettings{}.back_color);
    EXPECT_EQ(m_pane->palette().color(QPalette::Text), QColor(0x33, 0x22, 0x11));
    Reading([](CReadingDlg& page) { QTest::mouseClick(page.m_btnNight, Qt::LeftButton); });
    EXPECT_EQ(SavedSettings().font_color, 0x445566);
}

// The reading page sets the text: indents off shows a book's unindented lines as they are,
// blank lines removed leave none, and both are kept in reading.cfg. The settings' "规则…" opens
// the rules, where a built-in chapter rule turned off and saved stays off.
TEST_F(ReadingPrefsTest, TheReadingPageSetsTheTextAndTheSettingsOpenTheRules) {
    Open(MakeBook(QStringLiteral(u"排版.txt"), 3 * 4092));
    EXPECT_TRUE(m_pane->toPlainText().startsWith(QStringLiteral(u"\u3000\u3000第1章")));
    Reading([](CReadingDlg& page) {
        page.m_checkIndent->click();
        page.m_comboBlankLines->setCurrentIndex(2);
    });
    EXPECT_TRUE(m_pane->toPlainText().startsWith(QStringLiteral(u"第1章")));
    EXPECT_EQ(SavedPrefs().indent, 0);
    EXPECT_EQ(SavedPrefs().blank_lines, 2);

    QString turnedOff;
    ScopedModalHook hook([&](QDialog& dialog) {
        if (auto* rules = qobject_cast<CRulesDlg*>(&dialog)) {
            auto* list = rules->findChild<QListWidget*>(QStringLiteral("chapterRules"));
            for (int row = 0; row < list->count(); ++row) {
                if (list->item(row)->text().contains(QStringLiteral(u"【"))) {
                    turnedOff = list->item(row)->text();
                    list->item(row)->setCheckState(Qt::Unchecked);
                }
            }
            static_cast<QDialog*>(rules)->accept(); // 保存
            return;
        }
        auto& options = static_cast<CTemplateDialog&>(dialog);
        QTest::mouseClick(options.GetDlgItem(IDC_RULES), Qt::LeftButton);
        options.SendCommand(IDCANCEL);
    });
    m_frame->Action(ID_OPTION)->trigger();
    ASSERT_FALSE(turnedOff.isEmpty());
    const std::string off = ReadFile(DataPath("chapter_rules_off.txt"));
    EXPECT_TRUE(turnedOff.startsWith(QString::fromStdString(off).trimmed())) << off;
}

TEST_F(ReadingPrefsTest, ScrollSpeedScalesTheAutomaticScrolling) {
    Open(MakeBook(QStringLiteral("speed.txt"), 3 * 4092));
    m_frame->Timer()->setInterval(24 * 3600 * 1000); // ticks are driven by hand
    Key(Qt::Key_A);
    QScrollBar* bar = m_pane->verticalScrollBar();
    // The default is today's pixel a tick.
    for (const auto& [speed, pixels] : {std::pair{0, 8}, {10, 20}, {1, 2}}) {
        if (speed != 0) {
            Reading([speed](CReadingDlg& page) { page.m_spinScrollSpeed->setValue(speed); });
        }
        const int before = bar->value();
        Ticks(8);
        EXPECT_EQ(bar->value() - before, pixels) << speed;
    }
    EXPECT_EQ(SavedPrefs().scroll_speed, 1);
}

class DamagedPrefsTest : public ReadingPrefsTest {
protected:
    void BeforeStart() override {
        m_config = "auto_click=1\nauto_read=0\nauto_record=1\nback_color=16579563\n"
                   "font_color=0\nfont_height=24\nfont_row_dis=5\ntitle_name=Veska\n";
        WriteFile(DataPath("config.cfg"), m_config);
        WriteFile(DataPath("reading.cfg"),
                  "margin_left=\xff\xfe\nmargin_right=-3\nline_chars=-1\0night=1\nscroll_speed=11\n"
                  "window_height=0\nwindow_width=640\nfont_face=Noto\tSans\n"s +
                      std::string(3000, '\x01'));
    }
    std::string m_config;
};

// Values that are not whole numbers in their range, and bytes that are no lines, give the
// defaults.
TEST_F(DamagedPrefsTest, StartsWithTheDefaultsAndKeepsConfigCfg) {
    EXPECT_EQ(m_view->Prefs(), ReadingPrefs{});
    EXPECT_NEAR(InkColumns().first, m_pane->frameWidth() + CTxtRichEdit::kDefaultMargin, 3);
    EXPECT_EQ(m_view->Settings().font_height, 24);
    Reading([](CReadingDlg& page) { page.m_spinMarginLeft->setValue(30); });
    EXPECT_EQ(SavedPrefs().margin_left, 30); // rebuilt
    EXPECT_EQ(ReadFile(DataPath("config.cfg")), m_config);
}

} // namespace
