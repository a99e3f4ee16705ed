#include "app/status_panes.h"

#include "shelf/shelf_book.h"
#include "widgets/elided_label.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QStatusBar>

#include <algorithm>
#include <cmath>

namespace {

// The designed widths of the book, page and page-count panes, and the most the chapter takes.
constexpr int kBookPaneWidths[] = {240, 140, 140};
constexpr int kChapterPaneWidth = 260;

// The added panes are parted from the others as the designed ones are.
QString Separated(const QString& text) {
    return text.isEmpty() ? text : u'|' + text;
}

} // namespace

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
        // The book's name loses its middle, so that the end of a long name still shows.
        auto* pane = new CElidedLabel(i == 0 ? Qt::ElideMiddle : Qt::ElideRight, panes);
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
    m_progress = new CElidedLabel(Qt::ElideRight, panes);
    m_progress->setObjectName(QStringLiteral("progressPane"));
    m_progress->setFixedWidth(
        m_progress->fontMetrics().horizontalAdvance(QStringLiteral("100.0%")) + 12);
    m_progress->hide();
    m_layout->insertWidget(3, m_progress);
    // Beside the progress, once the reader has read long enough for a speed.
    m_timeLeft = new CElidedLabel(Qt::ElideRight, panes);
    m_timeLeft->setObjectName(QStringLiteral("timeLeftPane"));
    m_timeLeft->setFixedWidth(
        m_timeLeft->fontMetrics().horizontalAdvance(QStringLiteral(u"剩余约999小时59分")) + 12);
    m_timeLeft->hide();
    m_layout->insertWidget(4, m_timeLeft);
    m_layout->addStretch(0);
    m_panes[0]->setText(QStringLiteral(u"就绪"));
    // Panes of a fixed size (the height of a framed line of text, the tallest item of the bar):
    // a new page number or percentage repaints its pane, it does not lay the window out again.
    const int height = m_panes[0]->sizeHint().height();
    for (QLabel* pane : m_panes) {
        pane->setFixedHeight(height);
    }
    m_progress->setFixedHeight(height);
    m_timeLeft->setFixedHeight(height);
    bar->addWidget(panes, 1);
    m_chapter = new CElidedLabel(Qt::ElideRight, bar);
    m_chapter->setObjectName(QStringLiteral("chapterPane"));
    m_chapter->setMaximumWidth(kChapterPaneWidth);
    bar->addPermanentWidget(m_chapter);
    m_codePage = new CElidedLabel(Qt::ElideRight, bar);
    m_codePage->setObjectName(QStringLiteral("codePagePane"));
    bar->addPermanentWidget(m_codePage);

    m_lockIndicators = new CLockIndicators(this);
    connect(m_lockIndicators, &CLockIndicators::Changed, this, &CStatusPanes::ShowLockIndicators);
    ShowLockIndicators(m_lockIndicators->Current());

    m_notice = new CElidedLabel(Qt::ElideRight, bar);
    m_notice->setObjectName(QStringLiteral("statusNotice"));
    m_notice->setStyleSheet(QStringLiteral("color: #b00000"));
    m_notice->hide();
    bar->addPermanentWidget(m_notice);
    bar->installEventFilter(this);
}

bool CStatusPanes::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_bar && event->type() == QEvent::Resize) {
        FitPanes();
    }
    return QObject::eventFilter(watched, event);
}

void CStatusPanes::FitPanes() {
    if (!m_bBookShown) {
        return;
    }
    // The panes keep fixed widths (a page turn lays nothing out), narrowed together when the
    // window is too narrow for them, so that none is drawn over another.
    const int designed =
        kBookPaneWidths[0] + kBookPaneWidths[1] + kBookPaneWidths[2] + kChapterPaneWidth;
    // The other fixed panes, the spacing between all of them and the size grip.
    const int others = m_progress->width() + m_panes[3]->width() + m_codePage->sizeHint().width() +
                       (m_notice->isVisible() ? m_notice->sizeHint().width() : 0) +
                       (m_timeLeft->isHidden() ? 0 : m_timeLeft->width()) + 64;
    const double scale = std::clamp(double(m_bar->width() - others) / designed, 0.25, 1.0);
    for (int i = 0; i < 3; ++i) {
        m_panes[i]->setFixedWidth(int(kBookPaneWidths[i] * scale));
    }
    m_chapter->setMaximumWidth(int(kChapterPaneWidth * scale));
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
    m_chapter->setText(Separated(title));
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
    m_codePage->setText(Separated(codePage));
    if (!m_bBookShown) {
        m_bBookShown = true;
        for (int i = 0; i < 3; ++i) {
            m_panes[i]->setFrameStyle(QFrame::NoFrame);
            m_layout->setStretchFactor(m_panes[i], 0);
        }
        m_layout->setStretch(m_layout->count() - 1, 1);
        m_bar->clearMessage();
        FitPanes();
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

void CStatusPanes::ShowTimeLeft(qint64 seconds) {
    const bool shown = seconds >= 0;
    if (shown) {
        // Minutes at least: "不到1分" would change with every line.
        const QString text =
            QStringLiteral(u"剩余约") + ShelfBook::DurationText(std::max<qint64>(seconds, 60));
        if (m_timeLeft->text() != text) {
            m_timeLeft->setText(text);
        }
    }
    if (shown == m_timeLeft->isHidden()) {
        m_timeLeft->setVisible(shown);
        FitPanes();
    }
}

void CStatusPanes::ShowPrompt(const QString& prompt) {
    // Prompts belong to pane 0 only while it is the framework's pane; once it shows the book
    // it keeps showing it.
    if (!m_bBookShown) {
        m_panes[0]->setText(prompt.isEmpty() ? QStringLiteral(u"就绪") : prompt);
    }
}
