#include "view/goto_page_dlg.h"

#include "app/modal_hook.h"
#include "res/resource.h"
#include "tests/app/dialog_test_support.h"

#include <QLabel>
#include <QLineEdit>
#include <QTest>

namespace {

class GoToPageDlgTest : public DialogTest {
protected:
    // Runs the dialog; `act` works on the open window.
    int Run(CGoToPageDlg& dlg, const std::function<void(CTemplateDialog&)>& act) {
        ScopedModalHook hook([&](QDialog& window) { act(static_cast<CTemplateDialog&>(window)); });
        return dlg.DoModal();
    }
};

TEST_F(GoToPageDlgTest, OpensWithTheCurrentPageSelectedAndThePageCount) {
    CGoToPageDlg dlg(5, 300);
    Run(dlg, [&](CTemplateDialog& window) {
        auto* edit = window.GetDlgItemAs<QLineEdit>(IDC_PAGE);
        EXPECT_EQ(edit->text(), "5");
        EXPECT_EQ(edit->selectedText(), "5");
        EXPECT_EQ(window.focusWidget(), edit);
        EXPECT_EQ(window.GetDlgItemAs<QLabel>(IDC_TOTAL_PAGE)->text(), "300页");
        EXPECT_TRUE(window.windowFlags() & Qt::FramelessWindowHint);
        ExpectTextsFit(window);
        ExpectNoOverlap(window);
        MaybeSaveScreenshot(window, "dialog-goto.png");
    });
}

TEST_F(GoToPageDlgTest, NoBookShowsZeroPages) {
    CGoToPageDlg dlg(1, 0);
    EXPECT_EQ(dlg.m_strTotalPage, u"0页");
    Run(dlg, [&](CTemplateDialog& window) {
        EXPECT_EQ(window.GetDlgItemAs<QLabel>(IDC_TOTAL_PAGE)->text(), "0页");
    });
}

TEST_F(GoToPageDlgTest, TypingReplacesThePageAndOkReturnsIt) {
    CGoToPageDlg dlg(5, 300);
    const int result = Run(dlg, [&](CTemplateDialog& window) {
        QTest::keyClicks(window.GetDlgItem(IDC_PAGE), "123");
        QTest::mouseClick(window.GetDlgItem(IDOK), Qt::LeftButton);
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(dlg.m_strPage, u"123");
}

TEST_F(GoToPageDlgTest, LettersAndMinusCannotBeTyped) {
    CGoToPageDlg dlg(5, 300);
    const int result = Run(dlg, [&](CTemplateDialog& window) {
        auto* edit = window.GetDlgItemAs<QLineEdit>(IDC_PAGE);
        QTest::keyClicks(edit, "a-x");
        EXPECT_EQ(edit->text(), "5"); // refused keys leave even the selection alone
        QTest::keyClicks(edit, "-4b2 ");
        EXPECT_EQ(edit->text(), "42");
        QTest::keyClick(edit, Qt::Key_Backspace);
        EXPECT_EQ(edit->text(), "4");
        QTest::keyClick(edit, Qt::Key_Return); // Enter is the default button
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(dlg.m_strPage, u"4");
}

TEST_F(GoToPageDlgTest, EmptyFieldIsReturnedEmpty) {
    CGoToPageDlg dlg(5, 300);
    const int result = Run(dlg, [&](CTemplateDialog& window) {
        QTest::keyClick(window.GetDlgItem(IDC_PAGE), Qt::Key_Delete);
        window.SendCommand(IDOK);
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(dlg.m_strPage, u"");
}

TEST_F(GoToPageDlgTest, CancelAndEscLeaveThePageAlone) {
    CGoToPageDlg dlg(7, 300);
    EXPECT_EQ(Run(dlg,
                  [&](CTemplateDialog& window) {
                      QTest::keyClicks(window.GetDlgItem(IDC_PAGE), "99");
                      QTest::mouseClick(window.GetDlgItem(IDCANCEL), Qt::LeftButton);
                  }),
              IDCANCEL);
    EXPECT_EQ(dlg.m_strPage, u"7");
    EXPECT_EQ(Run(dlg,
                  [&](CTemplateDialog& window) {
                      QTest::keyClicks(window.GetDlgItem(IDC_PAGE), "99");
                      QTest::keyClick(window.GetDlgItem(IDC_PAGE), Qt::Key_Escape);
                      EXPECT_FALSE(window.isVisible());
                  }),
              IDCANCEL);
    EXPECT_EQ(dlg.m_strPage, u"7");
}

} // namespace
