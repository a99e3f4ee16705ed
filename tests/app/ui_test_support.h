#pragma once

// Shared by the widget tests: one application object per test binary, a fresh data directory
// and a started reader window per test, and Chinese books in the legacy code page.

#include "app/main_frame.h"
#include "app/veska_app.h"
#include "history/reader_history.h"
#include "platform/code_page.h"
#include "res/resource.h"
#include "settings/reader_settings.h"
#include "settings/reading_prefs.h"
#include "view/pane_book.h"
#include "view/txt_rich_edit.h"
#include "view/veska_view.h"
#include "widgets/modal_hook.h"

#include <QAction>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

inline CVeskaApp& TestApp() {
    static int argc = 1;
    static char name[] = "veska_tests";
    static char* argv[] = {name, nullptr};
    static CVeskaApp* app = new CVeskaApp(argc, argv);
    return *app;
}

// GB18030 text of exactly `bytes` bytes: chapters of paragraphs, the first paragraph of each
// chapter long enough to wrap over several display lines. `seed` varies the wording.
inline std::string ChineseBook(std::size_t bytes, int seed = 0) {
    static const char16_t* const phrases[] = {
        u"山间的雾气慢慢散开，",     u"他抬头望见远处的城楼，",   u"心里忽然想起多年前的那个夜晚。",
        u"街上的行人渐渐多了起来，", u"茶馆里传出说书人的声音，", u"窗外的雨一直下到天亮。",
        u"她把信纸折好放进袖中，",   u"马车在石板路上缓缓前行，", u"谁也没有注意到角落里的少年。"};
    const int count = int(std::size(phrases));
    std::string out;
    for (int chapter = 1; out.size() < bytes; ++chapter) {
        std::u16string text = u"第" + QString::number(chapter).toStdU16String() + u"章　初见\n";
        for (int paragraph = 0; paragraph < 6; ++paragraph) {
            text += u"　　";
            const int length = paragraph == 0 ? 24 : 3 + (paragraph * 5 + seed) % 7;
            for (int i = 0; i < length; ++i) {
                text += phrases[(chapter * 7 + paragraph * 3 + i + seed) % count];
            }
            text += u"\n";
        }
        out += EncodeLegacy(text);
    }
    out.resize(bytes);
    // Do not end inside a two-byte character: end with a line break instead.
    std::size_t i = 0;
    while (i < out.size()) {
        i += static_cast<unsigned char>(out[i]) < 0x80 ? 1 : 2;
    }
    if (i > out.size()) {
        out.back() = '\n';
    }
    return out;
}

inline void WriteFile(const QString& path, const std::string& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes.data(), qint64(bytes.size())), qint64(bytes.size()));
}

inline std::string ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
}

// The history file read back the way the program reads it, once the event loop has run (page
// steps write it after the paint).
inline CReaderHistory SavedHistory() {
    QCoreApplication::sendPostedEvents();
    CReaderHistory history;
    history.Load();
    return history;
}

// Whether `bytes` holds `text` in the legacy code page.
inline bool HoldsLegacy(const std::string& bytes, const std::u16string& text) {
    return bytes.find(EncodeLegacy(text)) != std::string::npos;
}

// A fresh data directory, no statistics request and a notification area (unless the test says
// otherwise); the reader itself is not started.
class ReaderEnvironmentTest : public ::testing::Test {
protected:
    void SetUp() override {
        TestApp();
        ASSERT_TRUE(m_dataDir.isValid());
        qputenv("VESKA_DATA_DIR", m_dataDir.path().toLocal8Bit());
        qputenv("VESKA_STATS_URL", "");
        CMainFrame::SetTrayAvailableForTesting(1);
    }
    void TearDown() override {
        TestApp().DestroyMainFrame();
        CMainFrame::SetTrayAvailableForTesting(-1);
        qunsetenv("VESKA_DATA_DIR");
    }

    // The program's start-up with these command-line words.
    static bool Launch(QStringList words = {}) {
        words.prepend(QStringLiteral("veska"));
        return TestApp().InitInstance(words);
    }
    QString DataPath(const char* name) const { return m_dataDir.filePath(QLatin1String(name)); }
    QTemporaryDir m_dataDir;
};

// A started reader (the real start-up path) in that environment.
class ReaderTest : public ReaderEnvironmentTest {
protected:
    void SetUp() override {
        ReaderEnvironmentTest::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        BeforeStart();
        Start();
        m_frame->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(m_frame));
        m_pane->setFocus();
    }

    // Runs before the reader starts (to write a config.cfg, for example).
    virtual void BeforeStart() {}
    void Start() {
        ASSERT_TRUE(Launch());
        m_frame = TestApp().MainFrame();
        m_view = m_frame->GetActiveView();
        m_pane = m_view->m_pTxtEdit;
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_frame));
    }

    // Ends the reader the way quitting does and starts it again on the same data directory.
    void Restart() {
        TestApp().DestroyMainFrame();
        Start();
    }

    // A book in the data directory's "books" folder.
    QString MakeBook(const QString& name, std::size_t bytes, int seed = 0) {
        QDir(m_dataDir.path()).mkpath(QStringLiteral("books"));
        const QString path = m_dataDir.filePath(QStringLiteral("books/") + name);
        WriteFile(path, ChineseBook(bytes, seed));
        return path;
    }
    void Open(const QString& path) { ASSERT_EQ(m_view->OpenBook(path.toStdU16String()), 0); }
    int Page() const { return m_view->Session().Book().m_nCurPage; }
    const std::u16string& BookName() const { return m_view->Session().Book().m_strName; }
    ReadingPrefs SavedPrefs() const { return LoadReadingPrefs(m_dataDir.path().toStdString()); }
    ReaderSettings SavedSettings() const {
        ReaderSettings settings;
        settings.font_height = -100; // marks a value the file did not hold
        LoadReaderSettings(settings, m_dataDir.path().toStdString());
        return settings;
    }

    QString StatusText(int pane) const { return m_frame->StatusPane(pane)->text(); }

    // Key presses and what the reader's event loop does right after each (the paint, then the
    // history and the place).
    void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(m_pane, Qt::Key(key), modifiers);
        QCoreApplication::sendPostedEvents();
    }
    void Keys(std::initializer_list<int> keys) {
        for (int key : keys) {
            Key(key);
        }
    }

    // Drives the automatic scrolling's ticks by hand.
    void Ticks(int count) {
        for (int i = 0; i < count; ++i) {
            m_frame->OnTimer();
        }
    }
    CMainFrame* m_frame = nullptr;
    CVeskaView* m_view = nullptr;
    CTxtRichEdit* m_pane = nullptr;
};
