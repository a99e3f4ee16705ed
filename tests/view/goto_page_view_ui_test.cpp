// The go-to-page command of the reader view, through the real dialog.

#include "app/dialog_template.h"
#include "app/modal_hook.h"
#include "history/reader_history.h"
#include "tests/app/ui_test_support.h"

#include <QLineEdit>

namespace {

class GoToPageCommandTest : public ReaderTest {
protected:
    // Runs the command, types `typed` over the selected page number and presses OK (or Cancel).
    void GoTo(const char* typed, bool ok = true) {
        ScopedModalHook hook([&](QDialog& window) {
            auto& dialog = static_cast<CTemplateDialog&>(window);
            m_shownPage = dialog.GetDlgItemAs<QLineEdit>(IDC_PAGE)->text();
            m_shownTotal = dialog.GetDlgItemAs<QLabel>(IDC_TOTAL_PAGE)->text();
            QLineEdit* edit = dialog.GetDlgItemAs<QLineEdit>(IDC_PAGE);
            if (*typed == '\0') {
                QTest::keyClick(edit, Qt::Key_Delete);
            } else {
                QTest::keyClicks(edit, typed);
            }
            dialog.SendCommand(ok ? IDOK : IDCANCEL);
        });
        m_view->OnGotoPage();
    }
    int Page() const { return m_view->m_resourceData.m_nCurPage; }

    QString m_shownPage;
    QString m_shownTotal;
};

TEST_F(GoToPageCommandTest, ClampsTheTypedPageToTheBook) {
    Open(MakeBook(QStringLiteral("five.txt"), 5 * 4092));
    GoTo("4");
    EXPECT_EQ(m_shownPage, "1");
    EXPECT_EQ(m_shownTotal, "5页");
    EXPECT_EQ(Page(), 3);
    EXPECT_EQ(StatusText(1), QStringLiteral(u"|正在阅读:  第4页"));
    GoTo("99");
    EXPECT_EQ(m_shownPage, "4");
    EXPECT_EQ(Page(), 4);
    GoTo("0");
    EXPECT_EQ(Page(), 0);
    GoTo("3");
    GoTo("");
    EXPECT_EQ(Page(), 0);
    GoTo("2", false);
    EXPECT_EQ(Page(), 0);
}

TEST_F(GoToPageCommandTest, TheCurrentPageIsShownAgainAndRecordedAgain) {
    Open(MakeBook(QStringLiteral("same.txt"), 3 * 4092));
    GoTo("2");
    const QString text = m_pane->toPlainText();
    ASSERT_TRUE(QFile::remove(DataPath("read_history.dat")));
    GoTo("2");
    EXPECT_EQ(Page(), 1);
    EXPECT_EQ(m_pane->toPlainText(), text);
    CReaderHistory history;
    history.Load();
    ASSERT_EQ(history.m_listLocal.size(), 1u);
    EXPECT_EQ(history.m_listLocal.front().nReadPage, 1);
}

TEST_F(GoToPageCommandTest, WithoutABookTheDialogShowsZeroPages) {
    const QString welcome = m_pane->toPlainText();
    GoTo("7", false);
    EXPECT_EQ(m_shownTotal, "0页");
    EXPECT_EQ(m_pane->toPlainText(), welcome);
}

} // namespace
