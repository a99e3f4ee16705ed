#include "app/status_panes.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QStatusBar>

#include <cmath>

CStatusPanes::CStatusPanes(QStatusBar* bar) : QObject(bar), m_bar(bar) {

    bar->setObjectName(QStringLiteral("statusBar"));
    auto* panes = new QWidget(bar);
    m_layout = new QHBoxLayout(panes);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(2);
    // Pane 0 shows the idle text and the prompts; panes 1 to 3 the lock-key indicators, where
    // the platform tells their state (X11; elsewhere they stay blank).
    const char* const indicators[] = {"", "CAP", "NUM", "SCRL"};
    for (int i = 0; i < 4; ++i) {
        auto* pane = new QLabel(panes);
        pane->setObjectName(QStringLiteral("statusPane%1").arg(i));
        pane->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        if (i > 0) {
            pane->setFixedWidth(
                pane->fontMetrics().horizontalAdvance(QLatin1String(indicators[i])) + 12);
        }
        m_panes[i] = pane;
        m_layout->addWidget(pane, i == 0 ? 1 : 0);
    }
    // Beside the page count; empty (and hidden) until a book is open.
    m_progress = new QLabel(panes);
    m_progress->setObjectName(QStringLiteral("progressPane"));
    m_progress->setFixedWidth(
        m_progress->fontMetrics().horizontalAdvance(QStringLiteral("100.0%")) + 12);
    m_progress->hide();
    m_layout->insertWidget(3, m_progress);
    m_layout->addStretch(0);
    m_panes[0]->setText(QStringLiteral(u"就绪"));
    // Panes of a fixed size (the height of a framed line of text, the tallest item of the bar):
    // a new page number or percentage repaints its pane, it does not lay the window out again.
    const int height = m_panes[0]->sizeHint().height();
    for (QLabel* pane : m_panes) {
        pane->setFixedHeight(height);
    }
    m_progress->setFixedHeight(height);
    bar->addWidget(panes, 1);
    m_chapter = new QLabel(bar);
    m_chapter->setObjectName(QStringLiteral("chapterPane"));
    m_chapter->setMaximumWidth(260);
    bar->addPermanentWidget(m_chapter);
    m_codePage = new QLabel(bar);
    m_codePage->setObjectName(QStringLiteral("codePagePane"));
    bar->addPermanentWidget(m_codePage);

    m_lockIndicators = new CLockIndicators(this);
    connect(m_lockIndicators, &CLockIndicators::Changed, this, &CStatusPanes::ShowLockIndicators);
    ShowLockIndicators(m_lockIndicators->Current());

    m_notice = new QLabel(bar);
    m_notice->setObjectName(QStringLiteral("statusNotice"));
    m_notice->setStyleSheet(QStringLiteral("color: #b00000"));
    m_notice->hide();
    bar->addPermanentWidget(m_notice);
}

void CStatusPanes::ShowNotice(const QString& text, const QString& detail) {
    const auto joined = [](const QString& shown, const QString& more, const QString& separator) {
        return shown.isEmpty() ? more : shown + separator + more;
    };
    m_notice->setText(joined(m_notice->text(), text, QStringLiteral(u"；")));
    m_notice->setToolTip(joined(m_notice->toolTip(), detail, QStringLiteral("\n")));
    m_notice->show();
}

void CStatusPanes::ShowChapter(const QString& title) {
    m_chapter->setText(title);
    m_chapter->setToolTip(title);
}

void CStatusPanes::ShowLockIndicators(CLockIndicators::State state) {
    const bool on[] = {state.caps, state.num, state.scroll};
    const char* const texts[] = {"CAP", "NUM", "SCRL"};
    for (int i = 0; i < 3; ++i) {
        // Panes 1 and 2 show the page numbers once a page has been shown.
        if (i == 2 || !m_bBookShown) {
            m_panes[i + 1]->setText(on[i] ? QLatin1String(texts[i]) : QString());
        }
    }
}

void CStatusPanes::ShowBook(const QString& name, int page, int pages, const QString& codePage) {
    m_panes[0]->setText(QStringLiteral(u"|阅读书籍:  ") + name);
    m_panes[1]->setText(QStringLiteral(u"|正在阅读:  第%1页").arg(page + 1));
    m_panes[2]->setText(QStringLiteral(u"|共%1页").arg(pages));
    m_codePage->setText(codePage);
    if (!m_bBookShown) {
        m_bBookShown = true;
        const int widths[] = {240, 140, 140};
        for (int i = 0; i < 3; ++i) {
            m_panes[i]->setFrameStyle(QFrame::NoFrame);
            m_panes[i]->setFixedWidth(widths[i]);
            m_layout->setStretchFactor(m_panes[i], 0);
        }
        m_layout->setStretch(m_layout->count() - 1, 1);
        m_bar->clearMessage();
    }
}

void CStatusPanes::ShowProgress(double percent) {
    if (percent < 0) {
        m_progress->hide();
        return;
    }
    // Cut, not rounded, to one decimal: 100.0% only at the very end.
    const QString text = QString::number(std::floor(percent * 10.0) / 10.0, 'f', 1) + u'%';
    if (m_progress->text() != text) {
        m_progress->setText(text);
    }
    m_progress->show();
}

void CStatusPanes::ShowPrompt(const QString& prompt) {
    // Prompts belong to pane 0 only while it is the framework's pane; once it shows the book
    // it keeps showing it.
    if (!m_bBookShown) {
        m_panes[0]->setText(prompt.isEmpty() ? QStringLiteral(u"就绪") : prompt);
    }
}
