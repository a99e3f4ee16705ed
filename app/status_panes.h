#pragma once

#include "app/lock_indicators.h"

#include <QObject>
#include <QString>

class QHBoxLayout;
class QLabel;
class QStatusBar;

// The status bar's panes: the prompt pane (later the book), the page and the page count (before
// the first page the lock indicators), the progress, the chapter on screen, the encoding and the
// notices. Every pane has a fixed size: a new page number repaints its pane and lays nothing out.
// A text longer than its pane is cut with "…" and shows whole in the tooltip.
class CStatusPanes : public QObject {
    Q_OBJECT
public:
    explicit CStatusPanes(QStatusBar* bar);

    // The book's name, its page (counted from 0) and page count, and its encoding ("" for none).
    void ShowBook(const QString& name, int page, int pages, const QString& codePage);
    // How far into the book the first line on screen is, in percent; negative hides it.
    void ShowProgress(double percent);
    // The time the rest of the book takes at the reader's speed; negative hides it.
    void ShowTimeLeft(qint64 seconds);
    // A lasting notice (something the reader must know about this run): a short text, and the
    // whole story in its tooltip.
    void ShowNotice(const QString& text, const QString& detail);
    void ShowChapter(const QString& title);
    // A prompt (or the idle text) in pane 0 while it is still the prompt pane.
    void ShowPrompt(const QString& prompt);

    QLabel* Pane(int index) const { return m_panes[index]; }
    QLabel* CodePage() const { return m_codePage; }
    QLabel* Notice() const { return m_notice; }
    QLabel* Chapter() const { return m_chapter; }
    QLabel* Progress() const { return m_progress; }
    QLabel* TimeLeft() const { return m_timeLeft; }
    CLockIndicators* LockIndicators() const { return m_lockIndicators; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Narrows the fixed panes together when the bar is too narrow for their designed widths.
    void FitPanes();
    // CAP, NUM and SCRL in panes 1 to 3 while those locks are on; panes 1 and 2 only until they
    // show the page numbers.
    void ShowLockIndicators(CLockIndicators::State state);

    QStatusBar* m_bar;
    QLabel* m_panes[4] = {};
    QLabel* m_codePage = nullptr;
    QLabel* m_notice = nullptr; // hidden until there is a notice
    QLabel* m_chapter = nullptr;
    QLabel* m_progress = nullptr;
    QLabel* m_timeLeft = nullptr; // hidden until the reader's speed is known
    QHBoxLayout* m_layout = nullptr;
    bool m_bBookShown = false;
    CLockIndicators* m_lockIndicators = nullptr;
};
