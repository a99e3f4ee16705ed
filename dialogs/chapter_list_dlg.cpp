#include "dialogs/chapter_list_dlg.h"

#include "widgets/dialog_template.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QLabel>
#include <QListView>
#include <QPainter>
#include <QShowEvent>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QVBoxLayout>

namespace {

constexpr int kGrowMs = 250;

} // namespace

// The list as the view sees it: a row per heading that has been shown so far, the title in
// column 0 and the page in column 1. Nothing is stored per row.
class CChapterListModel : public QAbstractTableModel {
public:
    CChapterListModel(const CChapterList& chapters, QObject* parent)
        : QAbstractTableModel(parent), m_chapters(chapters), m_rows(int(chapters.size())) {}

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : m_rows;
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : 2;
    }
    QVariant data(const QModelIndex& index, int role) const override {
        const std::size_t row = std::size_t(index.row());
        if (!index.isValid() || row >= m_chapters.size() ||
            (role != Qt::DisplayRole && role != Qt::AccessibleTextRole)) {
            return {};
        }
        const QString page = QString::number(m_chapters.Page(row) + 1);
        if (index.column() == 1) {
            return page;
        }
        const QString title = m_shown ? m_shown(m_chapters.Title(row))
                                      : QString::fromStdU16String(m_chapters.Title(row));
        // Read out with its page, which the row shows apart from the title.
        return role == Qt::DisplayRole ? title : QStringLiteral(u"%1，第 %2 页").arg(title, page);
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
            return {};
        }
        return section == 0 ? QStringLiteral(u"章节") : QStringLiteral(u"页码");
    }
    // Rows for the headings added to the list since the last call; false when there were none.
    bool Grow() {
        const int rows = int(m_chapters.size());
        if (rows <= m_rows) {
            return false;
        }
        beginInsertRows({}, m_rows, rows - 1);
        m_rows = rows;
        endInsertRows();
        return true;
    }

    std::function<QString(const std::u16string&)> m_shown;

private:
    const CChapterList& m_chapters;
    int m_rows;
};

namespace {

// A row: the title on the left, cut short with "…" where it would reach the page, and the page on
// the right, over the style's own background, selection and focus.
class CChapterDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        const QString title = opt.text;
        const QString page = index.siblingAtColumn(1).data().toString();
        opt.text.clear();
        const QWidget* widget = opt.widget;
        QStyle* style = widget != nullptr ? widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
        const QRect text = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, widget)
                               .adjusted(kMargin, 0, -kMargin, 0);
        const int pageWidth = opt.fontMetrics.horizontalAdvance(page);
        const QRect titleRect =
            text.adjusted(0, 0, -(pageWidth + 2 * opt.fontMetrics.averageCharWidth()), 0);
        const QPalette::ColorGroup group = !(opt.state & QStyle::State_Enabled) ? QPalette::Disabled
                                           : (opt.state & QStyle::State_Active)
                                               ? QPalette::Normal
                                               : QPalette::Inactive;
        painter->save();
        painter->setFont(opt.font);
        painter->setPen(opt.palette.color(group, (opt.state & QStyle::State_Selected)
                                                     ? QPalette::HighlightedText
                                                     : QPalette::Text));
        painter->drawText(titleRect, Qt::AlignLeft | Qt::AlignVCenter,
                          opt.fontMetrics.elidedText(title, Qt::ElideRight, titleRect.width()));
        painter->drawText(text, Qt::AlignRight | Qt::AlignVCenter, page);
        painter->restore();
    }

private:
    static constexpr int kMargin = 2;
};

} // namespace

CChapterListDlg::CChapterListDlg(const CChapterList& chapters, int current, QWidget* parent)
    : QDialog(parent), m_chapters(chapters), m_model(new CChapterListModel(chapters, this)),
      m_growTimer(new QTimer(this)) {
    setObjectName(QStringLiteral("chapterListDlg"));
    setWindowTitle(QStringLiteral(u"目录"));
    setFont(CommonDialogFont());
    resize(420, 520);
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(QStringLiteral(u"章节(&C)："), this);
    layout->addWidget(label);
    m_list = new QListView(this);
    label->setBuddy(m_list);
    m_list->setObjectName(QStringLiteral("chapterList"));
    m_list->setAccessibleName(QStringLiteral(u"章节"));
    // Rows of one height are laid out by arithmetic, never measured one by one.
    m_list->setUniformItemSizes(true);
    m_list->setItemDelegate(new CChapterDelegate(m_list));
    m_list->setModel(m_model);
    layout->addWidget(m_list);
    m_progress = new QLabel(this);
    m_progress->setObjectName(QStringLiteral("chapterProgress"));
    layout->addWidget(m_progress);
    m_progress->hide();
    m_madeNote = new QLabel(
        QStringLiteral(u"本书没有章节标题：以上章节由阅读器按段落划分，约一万字一章"), this);
    m_madeNote->setObjectName(QStringLiteral("chapterMadeNote"));
    m_madeNote->setWordWrap(true);
    layout->addWidget(m_madeNote);
    m_madeNote->setVisible(chapters.MadeByReader() && !chapters.empty());
    m_growTimer->setSingleShot(true);
    m_growTimer->setInterval(kGrowMs);
    connect(m_growTimer, &QTimer::timeout, this, &CChapterListDlg::ShowNewRows);
    connect(m_list, &QAbstractItemView::activated, this, [this] { accept(); });

    if (current >= 0 && current < m_model->rowCount()) {
        m_list->setCurrentIndex(m_model->index(current, 0));
    } else if (m_model->rowCount() > 0) {
        m_list->setCurrentIndex(m_model->index(0, 0));
    }
    m_list->setFocus();
}

void CChapterListDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Only now does the list know its height, and so where the middle is.
    if (!event->spontaneous()) {
        m_list->scrollTo(m_list->currentIndex(), QAbstractItemView::PositionAtCenter);
    }
}

void CChapterListDlg::ChaptersAdded() {
    // The first headings show at once, to have something to pick.
    if (m_model->rowCount() == 0) {
        ShowNewRows();
    } else if (!m_growTimer->isActive()) {
        m_growTimer->start();
    }
}

void CChapterListDlg::ShowNewRows() {
    m_madeNote->setVisible(m_chapters.MadeByReader() && !m_chapters.empty());
    const bool first = m_model->rowCount() == 0;
    if (m_model->Grow() && first && !m_list->currentIndex().isValid()) {
        m_list->setCurrentIndex(m_model->index(0, 0));
    }
}

void CChapterListDlg::SetProgress(int percent) {
    m_progress->setVisible(percent < 100);
    m_progress->setText(QStringLiteral(u"正在生成目录… %1%").arg(percent));
    if (percent >= 100) {
        m_growTimer->stop();
        ShowNewRows();
    }
}

void CChapterListDlg::accept() {
    const QModelIndex index = m_list->currentIndex();
    m_nSelected = index.isValid() ? index.row() : -1;
    QDialog::accept();
}

void CChapterListDlg::SetTitleShown(std::function<QString(const std::u16string&)> shown) {
    m_model->m_shown = std::move(shown);
}
