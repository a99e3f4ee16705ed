#include "dialogs/goto_page_dlg.h"

#include "res/resource.h"
#include "tests/dialogs/dialog_test_support.h"

#include <QLineEdit>
#include <QTest>

namespace {

using GoToPageDlgTest = DialogTest;

// It opens with the page selected and takes only digits (refused keys leave even the selection
// alone); Enter is OK. OK with nothing hands back nothing; Cancel and Esc leave the page alone.
TEST_F(GoToPageDlgTest, OpensWithThePageSelectedTakesOnlyDigitsAndOnlyOkHandsItBack) {
    CGoToPageDlg dlg(5, 300);
    EXPECT_EQ(Run(dlg,
                  [&](CTemplateDialog& window) {
                      auto* edit = window.GetDlgItemAs<QLineEdit>(IDC_PAGE);
                      EXPECT_EQ(edit->selectedText(), "5");
                      EXPECT_EQ(window.focusWidget(), edit);
                      EXPECT_EQ(window.GetDlgItemAs<QLabel>(IDC_TOTAL_PAGE)->text(), "300页");
                      ExpectTextsFit(window);
                      QTest::keyClicks(edit, "a-x");
                      EXPECT_EQ(edit->text(), "5");
                      QTest::keyClicks(edit, "-4b2 ");
                      EXPECT_EQ(edit->text(), "42");
                      QTest::keyClick(edit, Qt::Key_Return);
                  }),
              IDOK);
    EXPECT_EQ(dlg.m_strPage, u"42");
    EXPECT_EQ(CGoToPageDlg(1, 0).m_strTotalPage, u"0页");

    // The field emptied, something typed, and the way it ends (0: Esc).
    for (const auto& [typed, end, result, page] : {std::tuple{"", IDOK, IDOK, u""},
                                                   {"99", IDCANCEL, IDCANCEL, u"3"},
                                                   {"99", 0, IDCANCEL, u"3"}}) {
        CGoToPageDlg other(3, 300);
        EXPECT_EQ(Run(other,
                      [&](CTemplateDialog& window) {
                          QTest::keyClick(window.GetDlgItem(IDC_PAGE), Qt::Key_Delete);
                          QTest::keyClicks(window.GetDlgItem(IDC_PAGE), typed);
                          if (end != 0) {
                              QTest::mouseClick(window.GetDlgItem(end), Qt::LeftButton);
                          } else {
                              QTest::keyClick(window.GetDlgItem(IDC_PAGE), Qt::Key_Escape);
                          }
                          EXPECT_FALSE(window.isVisible());
                      }),
                  result);
        EXPECT_EQ(other.m_strPage, page);
    }
}

} // namespace
