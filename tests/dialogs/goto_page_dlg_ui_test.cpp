#include "dialogs/goto_page_dlg.h"

#include "res/resource.h"
#include "tests/dialogs/dialog_test_support.h"

#include <QLineEdit>
#include <QTest>

namespace {

using GoToPageDlgTest = DialogTest;

TEST_F(GoToPageDlgTest, OpensWithThePageSelectedAndTakesOnlyDigits) {
    CGoToPageDlg dlg(5, 300);
    const int result = Run(dlg, [&](CTemplateDialog& window) {
        auto* edit = window.GetDlgItemAs<QLineEdit>(IDC_PAGE);
        EXPECT_EQ(edit->selectedText(), "5");
        EXPECT_EQ(window.focusWidget(), edit);
        EXPECT_EQ(window.GetDlgItemAs<QLabel>(IDC_TOTAL_PAGE)->text(), "300页");
        ExpectTextsFit(window, "dialog-goto.png");
        QTest::keyClicks(edit, "a-x");
        EXPECT_EQ(edit->text(), "5"); // refused keys leave even the selection alone
        QTest::keyClicks(edit, "-4b2 ");
        EXPECT_EQ(edit->text(), "42");
        QTest::keyClick(edit, Qt::Key_Return); // the default button
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(dlg.m_strPage, u"42");

    EXPECT_EQ(Run(dlg,
                  [](CTemplateDialog& window) {
                      QTest::keyClick(window.GetDlgItem(IDC_PAGE), Qt::Key_Delete);
                      QTest::mouseClick(window.GetDlgItem(IDOK), Qt::LeftButton);
                  }),
              IDOK);
    EXPECT_EQ(dlg.m_strPage, u"");
    EXPECT_EQ(CGoToPageDlg(1, 0).m_strTotalPage, u"0页");
}

TEST_F(GoToPageDlgTest, CancelAndEscLeaveThePageAlone) {
    CGoToPageDlg dlg(7, 300);
    for (int key : {0, int(Qt::Key_Escape)}) {
        EXPECT_EQ(Run(dlg,
                      [&](CTemplateDialog& window) {
                          QTest::keyClicks(window.GetDlgItem(IDC_PAGE), "99");
                          if (key == 0) {
                              QTest::mouseClick(window.GetDlgItem(IDCANCEL), Qt::LeftButton);
                          } else {
                              QTest::keyClick(window.GetDlgItem(IDC_PAGE), Qt::Key(key));
                          }
                          EXPECT_FALSE(window.isVisible());
                      }),
                  IDCANCEL);
        EXPECT_EQ(dlg.m_strPage, u"7");
    }
}

} // namespace
