// The reader view's go-to-page command with the real dialog.

#include "widgets/dialog_template.h"
#include "widgets/modal_hook.h"
#include "history/reader_history.h"
#include "tests/app/ui_test_support.h"

#include <QLineEdit>

namespace {

class GoToPageCommandTest : public ReaderTest {
protected:
    // Runs the command, types over the selected page number and presses OK; returns the page.
    int GoTo(const char* typed) {
        ScopedModalHook hook([&](QDialog& window) {
            auto& dialog = static_cast<CTemplateDialog&>(window);
            m_shownTotal = dialog.GetDlgItemAs<QLabel>(IDC_TOTAL_PAGE)->text();
            QLineEdit* edit = dialog.GetDlgItemAs<QLineEdit>(IDC_PAGE);
            QTest::keyClick(edit, Qt::Key_Delete);
            QTest::keyClicks(edit, typed);
            dialog.SendCommand(IDOK);
        });
        m_view->OnGotoPage();
        QCoreApplication::sendPostedEvents(); // the paint, then the history
        return m_view->Session().Book().m_nCurPage + 1;
    }

    QString m_shownTotal;
};

TEST_F(GoToPageCommandTest, ClampsToTheBookAndRecordsEvenTheSamePage) {
    const QString welcome = m_pane->toPlainText();
    GoTo("7");
    EXPECT_EQ(m_shownTotal, "0页");
    EXPECT_EQ(m_pane->toPlainText(), welcome);

    Open(MakeBook(QStringLiteral("five.txt"), 5 * 4092));
    EXPECT_EQ(GoTo("4"), 4);
    EXPECT_EQ(m_shownTotal, "5页");
    EXPECT_EQ(GoTo("99"), 5);
    EXPECT_EQ(GoTo("0"), 1);
    EXPECT_EQ(GoTo("3"), 3);
    EXPECT_EQ(GoTo(""), 1);

    GoTo("2");
    ASSERT_TRUE(QFile::remove(DataPath("read_history.dat")));
    EXPECT_EQ(GoTo("2"), 2);
    CReaderHistory history;
    history.Load();
    ASSERT_EQ(history.m_listLocal.size(), 1u);
    EXPECT_EQ(history.m_listLocal.front().nReadPage, 1);
}

} // namespace
