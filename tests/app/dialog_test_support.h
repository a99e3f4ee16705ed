#pragma once

// Shared by the dialog tests: the application object, a private data directory per test, and
// checks that every text of a dialog fits its control.

#include "app/dialog_template.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "veska_dialog_test";
        static char* argv[] = {name, nullptr};
        m_app = new QApplication(argc, argv);
    }
    void TearDown() override {
        delete m_app;
        m_app = nullptr;
    }

private:
    QApplication* m_app = nullptr;
};

inline ::testing::Environment* const kQtEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

// Each test gets an empty VESKA_DATA_DIR.
class DialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        setenv("VESKA_DATA_DIR", m_dir.path().toUtf8().constData(), 1);
    }
    void TearDown() override { unsetenv("VESKA_DATA_DIR"); }

    std::string DataPath(const char* name) const { return m_dir.path().toStdString() + "/" + name; }
    static std::string ReadAll(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    QTemporaryDir m_dir;
};

// Every static, button and group box title of the dialog shows its whole text.
inline void ExpectTextsFit(const QWidget& dialog) {
    for (const QLabel* label : dialog.findChildren<QLabel*>()) {
        if (label->text().isEmpty() || !label->isVisibleTo(&dialog)) {
            continue;
        }
        const QFontMetrics metrics(label->font());
        const QRect area = label->contentsRect();
        EXPECT_LE(metrics.horizontalAdvance(label->text()), area.width())
            << label->text().toStdString();
        EXPECT_LE(metrics.height(), area.height()) << label->text().toStdString();
    }
    for (const QPushButton* button : dialog.findChildren<QPushButton*>()) {
        if (!button->isVisibleTo(&dialog)) {
            continue;
        }
        const QFontMetrics metrics(button->font());
        // The style draws a bevel and margins of a few pixels on each side.
        EXPECT_LE(metrics.horizontalAdvance(button->text()) + 8, button->width())
            << button->text().toStdString();
        EXPECT_LE(metrics.height() + 4, button->height()) << button->text().toStdString();
    }
    for (const QGroupBox* box : dialog.findChildren<QGroupBox*>()) {
        if (!box->isVisibleTo(&dialog)) {
            continue;
        }
        const QFontMetrics metrics(box->font());
        EXPECT_LE(metrics.horizontalAdvance(box->title()) + 16, box->width())
            << box->title().toStdString();
    }
}

// Controls of one dialog must not overlap one another, except controls inside group boxes.
inline void ExpectNoOverlap(const QWidget& dialog) {
    QList<QWidget*> controls;
    for (QWidget* child : dialog.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child->isVisibleTo(&dialog) && !qobject_cast<QGroupBox*>(child) && !child->isWindow()) {
            controls.push_back(child);
        }
    }
    for (int i = 0; i < controls.size(); ++i) {
        for (int j = i + 1; j < controls.size(); ++j) {
            EXPECT_FALSE(controls[i]->geometry().intersects(controls[j]->geometry()))
                << controls[i]->metaObject()->className() << " "
                << controls[i]->objectName().toStdString() << " and "
                << controls[j]->metaObject()->className() << " "
                << controls[j]->objectName().toStdString();
        }
    }
}

// With VESKA_SCREENSHOT_DIR set, saves a picture of the dialog there (for the documentation).
inline void MaybeSaveScreenshot(QWidget& dialog, const char* fileName) {
    const char* dir = std::getenv("VESKA_SCREENSHOT_DIR");
    if (dir != nullptr && *dir != '\0') {
        EXPECT_TRUE(dialog.grab().save(QString::fromUtf8(dir) + "/" + fileName));
    }
}
