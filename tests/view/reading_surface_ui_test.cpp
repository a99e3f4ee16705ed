// The continuous reading surface as a reader meets it: books whose page edges fall inside
// paragraphs, in GB18030, UTF-8 and UTF-16, read screen by screen with Space; the place after a
// restart with and without typesetting; a hard-wrapped book re-flowed; the font stepped up; the
// chapters stepped through.

#include "tests/app/ui_test_support.h"
#include "tests/text/test_books.h"

#include <QAbstractTextDocumentLayout>
#include <QAccessible>
#include <QAccessibleTextInterface>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QListView>
#include <QMenu>
#include <QScrollBar>
#include <QTextBlock>

#include <set>

namespace {

// A novel of chapters whose paragraphs run from a line to several pages, so that most page edges
// cut a paragraph, some fall at a line break and blank lines come in runs. UTF-8.
std::string LongParagraphNovel(int chapters) {
    static const char* const sentences[] = {
        "山间的雾气慢慢散开，",     "他抬头望见远处的城楼，",   "心里忽然想起多年前的那个夜晚。",
        "街上的行人渐渐多了起来，", "茶馆里传出说书人的声音，", "窗外的雨一直下到天亮。",
        "她把信纸折好放进袖中，",   "马车在石板路上缓缓前行，", "谁也没有注意到角落里的少年。"};
    std::string out;
    int n = 0;
    for (int chapter = 1; chapter <= chapters; ++chapter) {
        out += "第" + std::to_string(chapter) + "章　夜行\n";
        for (int paragraph = 0; paragraph < 5; ++paragraph) {
            out += paragraph % 2 == 0 ? "　　" : "    ";
            const int length = paragraph == 1 ? 140 : 4 + (chapter * 3 + paragraph * 7) % 19;
            for (int i = 0; i < length; ++i) {
                out += sentences[n++ % 9];
            }
            out += paragraph == 3 ? "\n\n\n" : "\n";
        }
    }
    return out;
}

// The book's paragraphs as the pane shows them: indented with two ideographic spaces.
std::set<QString> ShownParagraphs(const std::string& utf8) {
    std::set<QString> paragraphs;
    for (const QString& line : QString::fromStdString(utf8).split(QLatin1Char('\n'))) {
        if (!line.trimmed().isEmpty()) {
            paragraphs.insert(QStringLiteral(u"\u3000\u3000") + line.trimmed());
        }
    }
    return paragraphs;
}

class ReadingSurfaceTest : public ReaderTest {
protected:
    QString WriteBook(const QString& name, const std::string& bytes) {
        const QString path = m_dataDir.filePath(name);
        WriteFile(path, bytes);
        return path;
    }
    std::pair<int, int> PlaceOfLine(int line) const {
        return m_view->PaneBook().PagePlaceOf(m_pane->LineIndex(line));
    }
    int LastWholeLine() const {
        int line = m_pane->GetFirstVisibleLine();
        while (line + 1 < m_pane->GetLineCount()) {
            QTextCursor cursor(m_pane->document());
            cursor.setPosition(m_pane->LineIndex(line + 1));
            if (m_pane->cursorRect(cursor).bottom() > m_pane->viewport()->height()) {
                break;
            }
            ++line;
        }
        return line;
    }
    QString TopLineText() const {
        const int line = m_pane->GetFirstVisibleLine();
        return m_pane->toPlainText().mid(m_pane->LineIndex(line), m_pane->LineLength(line));
    }
    // The text of every paragraph with a line in the window.
    std::vector<QString> ParagraphsOnScreen() const {
        std::vector<QString> shown;
        const int top = m_pane->verticalScrollBar()->value();
        const int bottom = top + m_pane->viewport()->height();
        for (QTextBlock block = m_pane->document()->begin(); block.isValid();
             block = block.next()) {
            const QRectF box = m_pane->document()->documentLayout()->blockBoundingRect(block);
            if (box.bottom() > top && box.top() < bottom && !block.text().isEmpty()) {
                shown.push_back(block.text());
            }
        }
        return shown;
    }
};

class ReadingSurfaceEncodingTest : public ReadingSurfaceTest,
                                   public ::testing::WithParamInterface<const char*> {};

// 45 Spaces through a book, as a screen reader sees the window: every paragraph on screen is a
// whole paragraph of the book, each Space brings the line after the last whole line to the top
// (nothing skipped, nothing repeated, every line whole once), and page edges pass unnoticed but
// for the status bar.
TEST_P(ReadingSurfaceEncodingTest, SpaceReadsWholeParagraphsAcrossPageEdges) {
    const std::string utf8 = LongParagraphNovel(12);
    const std::string bytes = std::string(GetParam()) == "UTF-16LE"
                                  ? "\xFF\xFE" + test_books::Encode(utf8, "UTF-16LE")
                                  : test_books::Encode(utf8, GetParam());
    Open(WriteBook(QStringLiteral("novel.txt"), bytes));
    const std::set<QString> paragraphs = ShownParagraphs(utf8);
    int edges = 0;
    for (int screen = 0; screen < 45; ++screen) {
        for (const QString& paragraph : ParagraphsOnScreen()) {
            EXPECT_TRUE(paragraphs.count(paragraph))
                << screen << " " << paragraph.left(20).toStdString();
        }
        if (LastWholeLine() + 1 >= m_pane->GetLineCount()) {
            break;
        }
        const auto next = PlaceOfLine(LastWholeLine() + 1);
        const int page = Page();
        Key(Qt::Key_Space);
        EXPECT_EQ(PlaceOfLine(m_pane->GetFirstVisibleLine()), next) << screen;
        EXPECT_EQ(m_pane->textCursor().selectedText(), TopLineText()) << screen;
        edges += Page() - page;
    }
    EXPECT_GE(edges, 5);
    // A screen reader reads the same text, and the marked line as the selection.
    QAccessibleInterface* pane = QAccessible::queryAccessibleInterface(m_pane);
    ASSERT_NE(pane, nullptr);
    QAccessibleTextInterface* text = pane->textInterface();
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->characterCount(), m_pane->document()->characterCount() - 1);
    int start = 0;
    int end = 0;
    text->selection(0, &start, &end);
    EXPECT_EQ(text->text(start, end), TopLineText());
    // The book's end: its last paragraph whole on screen, Space goes no further.
    m_view->GotoPage(1000);
    for (int i = 0; i < 20; ++i) {
        Key(Qt::Key_Space);
    }
    const std::vector<QString> last = ParagraphsOnScreen();
    ASSERT_FALSE(last.empty());
    EXPECT_EQ(last.back(),
              *ShownParagraphs(utf8.substr(utf8.rfind('\n', utf8.size() - 4))).begin());
}

INSTANTIATE_TEST_SUITE_P(Books, ReadingSurfaceEncodingTest,
                         ::testing::Values("GB18030", "UTF-8", "UTF-16LE"));

// The place is the first line on screen: after a restart the same line is first, whether the
// text is typeset (indents made two spaces, blank lines collapsed) or shown as in the file.
TEST_F(ReadingSurfaceTest, ThePlaceKeepsTheFirstLineWithTypesettingOnOrOff) {
    const QString path = WriteBook(QStringLiteral("place.txt"),
                                   test_books::Encode(LongParagraphNovel(8), "GB18030"));
    Open(path);
    Keys({Qt::Key_Right, Qt::Key_Right, Qt::Key_Space, Qt::Key_Space, Qt::Key_Space});
    const QString first = TopLineText().trimmed();
    const auto place = PlaceOfLine(m_pane->GetFirstVisibleLine());
    Restart();
    EXPECT_EQ(TopLineText().trimmed(), first);
    ReadingPrefs plain = m_view->Prefs();
    plain.indent = 0;
    plain.blank_lines = 0;
    plain.justify = 0;
    m_view->Store().SetPrefs(plain);
    m_view->ApplyReadingPrefs();
    EXPECT_EQ(TopLineText().trimmed(), first);
    Restart();
    EXPECT_EQ(m_view->Prefs().indent, 0);
    EXPECT_EQ(TopLineText().trimmed(), first);
    EXPECT_EQ(PlaceOfLine(m_pane->GetFirstVisibleLine()).first, place.first);
}

// A book hard-wrapped at 35 characters opens with its paragraphs whole and indented once; the
// re-flow turned off for the book shows the lines as in the file, and stays off after a restart.
TEST_F(ReadingSurfaceTest, AHardWrappedBookOpensReflowedAndTheChoiceStaysWithIt) {
    std::string utf8;
    std::vector<QString> paragraphs;
    const std::string sentence = "风从窗外吹进来，带着一股淡淡的桂花香。他抬起头看着远处的山峦。";
    for (int p = 0; p < 40; ++p) {
        QString paragraph = QStringLiteral(u"\u3000\u3000");
        for (int i = 0; i < 2 + p % 4; ++i) {
            paragraph += QString::fromStdString(sentence);
        }
        paragraphs.push_back(paragraph);
        for (QString rest = paragraph; !rest.isEmpty(); rest.remove(0, 35)) {
            utf8 += rest.left(35).toStdString() + "\r\n";
        }
    }
    const QString path =
        WriteBook(QStringLiteral("wrapped.txt"), test_books::Encode(utf8, "GB18030"));
    Open(path);
    const std::vector<QString> shown = ParagraphsOnScreen();
    ASSERT_GE(shown.size(), 3u);
    for (std::size_t i = 0; i < shown.size(); ++i) {
        EXPECT_EQ(shown[i], paragraphs[i]);
    }
    m_view->SetReflowChoice("off");
    EXPECT_EQ(ParagraphsOnScreen().front(), paragraphs.front().left(35));
    Restart();
    EXPECT_EQ(ParagraphsOnScreen().front(), paragraphs.front().left(35));
    m_view->SetReflowChoice("");
    EXPECT_EQ(ParagraphsOnScreen().front(), paragraphs.front());
}

// Same settings, same layout: the font stepped up eight times and the reader restarted give the
// same line pitch and the same first line. Eight Ctrl+↓ then put each heading on the first line,
// named by the chapter pane.
TEST_F(ReadingSurfaceTest, TheSameSettingsLayOutAlikeAndChaptersComeToTheTop) {
    Open(WriteBook(QStringLiteral("steps.txt"),
                   test_books::Encode(LongParagraphNovel(12), "GB18030")));
    QTRY_VERIFY(m_view->ChaptersComplete());
    Keys({Qt::Key_Right, Qt::Key_Space});
    for (int i = 0; i < 8; ++i) {
        Key(Qt::Key_B);
    }
    const auto pitch = [this] {
        const int line = m_pane->GetFirstVisibleLine();
        QTextCursor a(m_pane->document());
        a.setPosition(m_pane->LineIndex(line));
        QTextCursor b(m_pane->document());
        b.setPosition(m_pane->LineIndex(line + 1));
        return m_pane->cursorRect(b).top() - m_pane->cursorRect(a).top();
    };
    const int stepped = pitch();
    const QString first = TopLineText();
    EXPECT_EQ(stepped, m_pane->LineDistancePixels());
    Restart();
    EXPECT_EQ(pitch(), stepped);
    EXPECT_EQ(TopLineText(), first);
    QTRY_VERIFY(m_view->ChaptersComplete());
    m_view->GotoPage(0);
    for (int i = 0; i < 8; ++i) {
        QTest::keyClick(m_pane, Qt::Key_Down, Qt::ControlModifier);
        const QString heading = QStringLiteral(u"第%1章　夜行").arg(i + 2);
        EXPECT_EQ(TopLineText().trimmed(), heading) << i;
        EXPECT_EQ(m_frame->ChapterPane()->text(), QStringLiteral("|") + heading) << i;
    }
}

// A Big5 book read in Simplified characters: chosen in the pane's right-click menu, the pane, the
// chapter pane, 目录 and a copy show Simplified text; the choice and the place (the same first
// line) survive a restart, and 原文 gives the book back as written.
TEST_F(ReadingSurfaceTest, TheScriptChosenConvertsWhatIsShownAndStaysWithTheBook) {
    std::string utf8;
    const char* const numbers[] = {"一", "二", "三", "四", "五", "六"};
    for (const char* number : numbers) {
        utf8 += std::string("第") + number + "章 山雨欲來\n";
        for (int i = 0; i < 4; ++i) {
            utf8 += test_books::kTraditionalProse;
        }
    }
    const QString path = WriteBook(QStringLiteral(u"繁體.txt"), test_books::Encode(utf8, "BIG5"));
    Open(path);
    QTRY_VERIFY(m_view->ChaptersComplete());
    Keys({Qt::Key_Right, Qt::Key_Space});
    const QString before = TopLineText();
    EXPECT_TRUE(m_pane->toPlainText().contains(QStringLiteral(u"鎮上修了一條新路")));

    QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(20, 20),
                            m_pane->viewport()->mapToGlobal(QPoint(20, 20)));
    QApplication::sendEvent(m_pane->viewport(), &click);
    QMenu* context = m_view->ContextMenu();
    ASSERT_TRUE(context->isVisible());
    QMenu* scripts = m_view->ScriptMenu();
    EXPECT_TRUE(context->actions().contains(scripts->menuAction()));
    context->hide();
    scripts->popup(m_pane->mapToGlobal(QPoint(20, 20)));
    for (QAction* action : scripts->actions()) {
        if (action->data().toString() == QStringLiteral("s")) {
            action->trigger();
        }
    }
    EXPECT_TRUE(m_pane->toPlainText().contains(QStringLiteral(u"镇上修了一条新路")));
    EXPECT_FALSE(m_pane->toPlainText().contains(QStringLiteral(u"鎮上")));
    const QString converted = TopLineText();
    EXPECT_EQ(converted.size(), before.size());
    Key(Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), m_pane->textCursor().selectedText());
    QTest::keyClick(m_pane, Qt::Key_Down, Qt::ControlModifier);
    EXPECT_TRUE(m_frame->ChapterPane()->text().endsWith(QStringLiteral(u"章 山雨欲来")));
    {
        ScopedModalHook hook([](QDialog& dialog) {
            auto* list = dialog.findChild<QListView*>(QStringLiteral("chapterList"));
            EXPECT_EQ(list->model()->index(0, 0).data().toString(),
                      QStringLiteral(u"第一章 山雨欲来"));
            dialog.reject();
        });
        Key(Qt::Key_M);
    }
    const QString first = TopLineText();
    Restart();
    EXPECT_EQ(TopLineText(), first);
    EXPECT_EQ(m_view->Session().ScriptChoice(), "s");
    m_view->OnScriptChoice("original");
    EXPECT_TRUE(m_pane->toPlainText().contains(QStringLiteral(u"鎮上修了一條新路")));
    EXPECT_EQ(TopLineText().size(), first.size());
}

// Clean-up rules change what the pane shows: an ad line they empty is gone, with no empty
// paragraph in its place, the rest of its line stays, and reading on and the place work as before.
TEST_F(ReadingSurfaceTest, CleanUpRulesRemoveAdLinesFromThePane) {
    WriteFile(DataPath("replace_rules.json"),
              R"([{"id":1,"name":"去广告","pattern":"本书由\\S*整理\\S*","replacement":"",)"
              R"("scope":"","isEnabled":true,"isRegex":true,"order":1}])");
    std::string utf8;
    const std::string novel = LongParagraphNovel(6);
    int line = 0;
    for (std::size_t start = 0; start < novel.size();) {
        const std::size_t end = novel.find('\n', start);
        utf8 += novel.substr(start, end - start + 1);
        if (++line % 3 == 0) {
            utf8 += "本书由书友网整理www.example.com\n";
        }
        start = end + 1;
    }
    utf8 += "尾声本书由书友网整理\n";
    const QString path = WriteBook(QStringLiteral("ads.txt"), test_books::Encode(utf8, "GB18030"));
    Open(path);
    const std::set<QString> paragraphs = ShownParagraphs(novel);
    for (int screen = 0; screen < 12; ++screen) {
        for (const QString& paragraph : ParagraphsOnScreen()) {
            EXPECT_TRUE(paragraphs.count(paragraph)) << paragraph.left(20).toStdString();
        }
        EXPECT_FALSE(m_pane->toPlainText().contains(QStringLiteral(u"本书由")));
        const auto next = PlaceOfLine(LastWholeLine() + 1);
        Key(Qt::Key_Space);
        EXPECT_EQ(PlaceOfLine(m_pane->GetFirstVisibleLine()), next) << screen;
    }
    const QString first = TopLineText();
    Restart();
    EXPECT_EQ(TopLineText(), first);
    m_view->GotoPage(1000);
    for (int i = 0; i < 10; ++i) {
        Key(Qt::Key_Space);
    }
    EXPECT_EQ(ParagraphsOnScreen().back(), QStringLiteral(u"\u3000\u3000尾声"));
}

} // namespace
