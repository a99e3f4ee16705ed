// "规则" driven by keys over real rules files and a real book: a clean-up rule and a chapter
// rule written, tried on the book before saving, turned off, moved, imported and exported; the
// files written keep what the dialog does not know of them.
#include "dialogs/rules_dlg.h"
#include "platform/code_page.h"
#include "tests/dialogs/dialog_test_support.h"
#include "tests/text/test_books.h"
#include "text/chapter_rules.h"
#include "text/json_value.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

namespace {

using RulesDlgTest = DialogTest;

class RulesDlgBook : public RulesDlgTest {
protected:
    void SetUp() override {
        RulesDlgTest::SetUp();
        std::string text;
        for (const char* heading : {"☆、初到小城", "☆、老槐树", "☆、远行"}) {
            text += std::string(heading) + "\n本书由书友整理 www.example.com\n" +
                    test_books::kChineseProse;
        }
        m_book = m_dir.Write("小城.txt", test_books::Encode(text, "GB18030"));
        m_dir.Write("replace_rules.json",
                    R"([{"id": 42, "name": "旧规则", "pattern": "甲", "replacement": "乙",)"
                    R"( "isRegex": false, "order": 3, "scopeTitle": true}])");
    }
    CRulesDlg* Open() {
        m_dlg = std::make_unique<CRulesDlg>(m_dir.Path(), DecodeUtf8(m_book),
                                            CCodePageLayout(ENCODING_ANSI, "GB18030"));
        m_dlg->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(m_dlg.get()));
        m_dlg->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(m_dlg.get()));
        // Focus comes to the first control a moment after the window is active.
        QElapsedTimer waited;
        waited.start();
        while (QApplication::focusWidget() == nullptr && waited.elapsed() < 5000) {
            QTest::qWait(10);
        }
        EXPECT_NE(QApplication::focusWidget(), nullptr);
        return m_dlg.get();
    }
    template <typename T> T* Find(const char* name) {
        return m_dlg->findChild<T*>(QString::fromLatin1(name));
    }
    // A button's mnemonic clicks it a moment later, as a click by hand shows.
    void Alt(Qt::Key key) {
        // A file dialog just closed gives the window back a moment later.
        if (!m_dlg->isActiveWindow()) {
            m_dlg->activateWindow();
            EXPECT_TRUE(QTest::qWaitForWindowActive(m_dlg.get()));
        }
        // A page of the tabs that goes may take the focus with it: the window gets the key.
        QWidget* focus = QApplication::focusWidget();
        QTest::keyClick(focus != nullptr ? focus : m_dlg.get(), key, Qt::AltModifier);
        QTest::qWait(150);
    }
    // Key presses that type each character, as an input method hands Chinese over.
    void Type(const QString& text) {
        for (const QChar c : text) {
            QTest::sendKeyEvent(QTest::Click, QApplication::focusWidget(), Qt::Key_unknown,
                                QString(c), Qt::NoModifier);
        }
    }
    // Waits for the try to end; its rows.
    QStringList Tried() {
        QElapsedTimer waited;
        waited.start();
        while (Find<QLabel>("trialNote")->text().startsWith(u"正在") && waited.elapsed() < 20000) {
            QTest::qWait(10);
        }
        QStringList rows;
        for (int i = 0; i < m_dlg->Trial()->count(); ++i) {
            rows << m_dlg->Trial()->item(i)->text();
        }
        return rows;
    }
    std::optional<CJsonValue> Saved(const std::string& name) {
        return CJsonValue::Parse(m_dir.Read(name));
    }

    test_books::TempDir m_dir;
    std::string m_book;
    std::unique_ptr<CRulesDlg> m_dlg;
};

TEST_F(RulesDlgBook, ACleanUpRuleIsWrittenTriedAndSaved) {
    Open();
    Alt(Qt::Key_P); // 净化规则
    ASSERT_EQ(Find<QTabWidget>("")->currentIndex(), 1);
    Alt(Qt::Key_N);
    ASSERT_EQ(QApplication::focusWidget(), Find<QLineEdit>("ruleName"));
    Type(QStringLiteral(u"广告"));
    Alt(Qt::Key_F);
    Type(QStringLiteral(u"^本书由.*"));
    EXPECT_TRUE(Find<QCheckBox>("ruleIsRegex")->isChecked());
    Alt(Qt::Key_T);
    const QStringList tried = Tried();
    ASSERT_EQ(tried.size(), 3);
    EXPECT_EQ(tried[0], QStringLiteral(u"本书由书友整理 www.example.com　→　（整行删去）"));
    EXPECT_EQ(Find<QLabel>("trialNote")->text(), QStringLiteral(u"改动 3 行"));
    // Nothing is written before 保存.
    EXPECT_EQ(Saved("replace_rules.json")->Items().size(), 1u);

    // The new rule goes first, the old one is turned off with Space.
    Alt(Qt::Key_U);
    auto* list = Find<QListWidget>("cleanUpRules");
    EXPECT_EQ(list->currentRow(), 0);
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Down);
    QTest::keyClick(list, Qt::Key_Space);
    Alt(Qt::Key_S);
    EXPECT_EQ(m_dlg->result(), QDialog::Accepted);
    const std::optional<CJsonValue> saved = Saved("replace_rules.json");
    ASSERT_TRUE(saved && saved->Items().size() == 2u);
    EXPECT_EQ(saved->Items()[0].Find("name")->Text(), "广告");
    EXPECT_EQ(saved->Items()[0].Find("pattern")->Text(), "^本书由.*");
    const CJsonValue& old = saved->Items()[1];
    EXPECT_EQ(old.Find("id")->Text(), "42");
    EXPECT_FALSE(old.Find("isEnabled")->Bool());
    EXPECT_TRUE(old.Find("scopeTitle")->Bool());
    EXPECT_LT(std::stoll(saved->Items()[0].Find("order")->Text()),
              std::stoll(old.Find("order")->Text()));
}

TEST_F(RulesDlgBook, AChapterRuleShowsItsHeadingsAndABadOneSaysWhy) {
    Open();
    Alt(Qt::Key_N);
    Type(QStringLiteral(u"星号"));
    Alt(Qt::Key_F);
    Type(QStringLiteral(u"^☆(、"));
    EXPECT_FALSE(Find<QLabel>("ruleError")->text().isEmpty());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backspace);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backspace);
    Type(QStringLiteral(u"、"));
    EXPECT_TRUE(Find<QLabel>("ruleError")->text().isEmpty());
    Alt(Qt::Key_T);
    EXPECT_EQ(Tried(), (QStringList{QStringLiteral(u"第 1 页　☆、初到小城"),
                                    QStringLiteral(u"第 1 页　☆、老槐树"),
                                    QStringLiteral(u"第 1 页　☆、远行")}));
    // A built-in rule can be tried, not changed.
    auto* list = Find<QListWidget>("chapterRules");
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Home);
    EXPECT_TRUE(Find<QLineEdit>("rulePattern")->isReadOnly());
    Alt(Qt::Key_D);
    EXPECT_EQ(list->count(), int(CChapterRules::BuiltIn().size()) + 1);
    QTest::keyClick(m_dlg.get(), Qt::Key_Escape);
    EXPECT_EQ(m_dlg->result(), QDialog::Rejected);
    EXPECT_EQ(m_dir.Read("chapter_rules.json"), "");
}

TEST_F(RulesDlgBook, RulesAreImportedByNameAndExported) {
    Open();
    m_dir.Write("shared.json", R"([{"name": "旧规则", "pattern": "丙", "replacement": "丁"},
                                   {"name": "新来的", "pattern": "戊", "replacement": ""}])");
    // The file dialogs answered with a file picked.
    const auto answer = [&](const char* name) {
        return ScopedModalHook([this, name](QDialog& files) {
            ASSERT_EQ(files.objectName(), QStringLiteral("rulesFileDlg"));
            static_cast<QFileDialog&>(files).selectFile(QString::fromStdString(m_dir.File(name)));
            files.accept();
        });
    };
    Alt(Qt::Key_P);
    {
        const ScopedModalHook hook = answer("shared.json");
        Alt(Qt::Key_I);
    }
    auto* list = Find<QListWidget>("cleanUpRules");
    ASSERT_EQ(list->count(), 2);
    list->setCurrentRow(0);
    EXPECT_EQ(Find<QLineEdit>("rulePattern")->text(), QStringLiteral(u"丙"));
    {
        const ScopedModalHook hook = answer("out.json");
        Alt(Qt::Key_E);
    }
    const std::optional<CJsonValue> exported = Saved("out.json");
    ASSERT_TRUE(exported && exported->Items().size() == 2u);
    EXPECT_EQ(exported->Items()[0].Find("id")->Text(), "42"); // the merged rule kept its place
    EXPECT_EQ(exported->Items()[1].Find("name")->Text(), "新来的");
}

} // namespace
