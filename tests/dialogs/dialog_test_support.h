#pragma once

// Shared by the dialog tests: the application object, an empty data directory per test, a way
// to act on a dialog while it runs, and a check that every text of a dialog fits its control
// (which the tests through the reader window use too).

#include "widgets/dialog_template.h"
#include "widgets/modal_hook.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

class DialogTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "veska_dialog_test";
        static char* argv[] = {name, nullptr};
        static QApplication* app = new QApplication(argc, argv);
        (void)app;
    }
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        setenv("VESKA_DATA_DIR", m_dir.path().toUtf8().constData(), 1);
    }
    void TearDown() override { unsetenv("VESKA_DATA_DIR"); }

    // Runs a dialog's DoModal; `act` works on the open window.
    template <typename Dialog>
    static int Run(Dialog& dlg, const std::function<void(CTemplateDialog&)>& act) {
        ScopedModalHook hook([&](QDialog& window) { act(static_cast<CTemplateDialog&>(window)); });
        return dlg.DoModal();
    }
    QTemporaryDir m_dir;
};

// Every visible static, button and group box title shows its whole text on one line (a button's
// bevel and a box's frame take a few pixels on each side).
inline void ExpectTextsFit(QWidget& dialog) {
    for (const QLabel* label : dialog.findChildren<QLabel*>()) {
        if (!label->text().isEmpty() && label->isVisibleTo(&dialog)) {
            QString shown = label->text(); // a mnemonic's '&' is not drawn
            shown.remove(QRegularExpression(QStringLiteral("&(?!&)")));
            EXPECT_LE(label->fontMetrics().horizontalAdvance(shown), label->contentsRect().width())
                << label->text().toStdString();
            EXPECT_LE(label->fontMetrics().height(), label->contentsRect().height());
        }
    }
    for (const QPushButton* button : dialog.findChildren<QPushButton*>()) {
        if (button->isVisibleTo(&dialog)) {
            EXPECT_LE(button->fontMetrics().horizontalAdvance(button->text()) + 8, button->width());
            EXPECT_LE(button->fontMetrics().height() + 4, button->height());
        }
    }
    for (const QGroupBox* box : dialog.findChildren<QGroupBox*>()) {
        if (box->isVisibleTo(&dialog)) {
            EXPECT_LE(box->fontMetrics().horizontalAdvance(box->title()) + 16, box->width());
        }
    }
}
