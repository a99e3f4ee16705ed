#include "dialogs/chapter_list_dlg.h"

#include "dialogs/rules_dlg.h"
#include "reader/chapter_index.h"
#include "widgets/dialog_template.h"
#include "widgets/modal_hook.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QPainter>
#include <QPushButton>
#include <QShowEvent>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QVBoxLayout>

namespace {

constexpr int kGrowMs = 250;
// The model's role that says a row is a chapter of a volume listed above it.
constexpr int kInVolumeRole = Qt::UserRole + 1;

} // namespace

// The list as the view sees it: a row per heading that has been shown so far, the title in
// column 0 and the page in column 1. Nothing is stored per row.
class CChapterListModel : public QAbstractTableModel {
public:
    CChapterListModel(const CChapterList& chapters, QObject* parent)
        : QAbstractTableModel(parent), m_chapters(chapters), m_rows(int(chapters.size())) {
        FindFirstVolume();
    }

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : m_rows;
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : 2;
    }
    QVariant data(const QModelIndex& index, int role) const override {
        const std::size_t row = std::size_t(index.row());
        if (!index.isValid() || row >= m_chapters.size()) {
            return {};
        }
        if (role == Qt::FontRole && index.column() == 0 && m_chapters.IsVolume(row)) {
            QFont bold = QApplication::font();
            bold.setBold(true);
            return bold;
        }
        if (role == kInVolumeRole) {
            return m_firstVolume < row && !m_chapters.IsVolume(row);
        }
        if (role != Qt::DisplayRole && role != Qt::AccessibleTextRole) {
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
        FindFirstVolume();
        endInsertRows();
        return true;
    }
    // The list was made anew (another rule): rows for all of it.
    void Reset() {
        beginResetModel();
        m_rows = int(m_chapters.size());
        m_firstVolume = kNone;
        m_checked = 0;
        FindFirstVolume();
        endResetModel();
    }

    std::function<QString(const std::u16string&)> m_shown;

private:
    static constexpr std::size_t kNone = std::size_t(-1);
    // A book of volumes opens with one, after a preface or a few: the rows after that are
    // looked at no further, so a list of a million headings without volumes opens at once.
    static constexpr std::size_t kVolumeLookRows = 1000;
    // Chapters after the first volume are shown as its or a later one's.
    void FindFirstVolume() {
        const std::size_t rows = std::min(std::size_t(m_rows), kVolumeLookRows);
        for (; m_firstVolume == kNone && m_checked < rows; ++m_checked) {
            if (m_chapters.IsVolume(m_checked)) {
                m_firstVolume = m_checked;
            }
        }
    }

    const CChapterList& m_chapters;
    int m_rows;
    std::size_t m_firstVolume = kNone;
    std::size_t m_checked = 0; // rows looked at for the first volume
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
        // A volume's chapters stand in by a full-width character under its bold title.
        const int indent =
            index.data(kInVolumeRole).toBool() ? opt.fontMetrics.horizontalAdvance(u'\u3000') : 0;
        const QRect titleRect =
            text.adjusted(indent, 0, -(pageWidth + 2 * opt.fontMetrics.averageCharWidth()), 0);
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
    // Which rule finds the headings, for a book the automatic pick gets wrong (see SetIndex).
    m_rulesRow = new QWidget(this);
    auto* rulesLayout = new QHBoxLayout(m_rulesRow);
    rulesLayout->setContentsMargins(0, 0, 0, 0);
    auto* rulesLabel = new QLabel(QStringLiteral(u"章节规则(&R)："), m_rulesRow);
    m_rules = new QComboBox(m_rulesRow);
    m_rules->setObjectName(QStringLiteral("chapterRule"));
    rulesLabel->setBuddy(m_rules);
    rulesLayout->addWidget(rulesLabel);
    rulesLayout->addWidget(m_rules, 1);
    auto* editRules = new QPushButton(QStringLiteral(u"规则(&E)…"), m_rulesRow);
    editRules->setObjectName(QStringLiteral("editRules"));
    editRules->setAutoDefault(false);
    connect(editRules, &QPushButton::clicked, this, &CChapterListDlg::EditRules);
    rulesLayout->addWidget(editRules);
    layout->addWidget(m_rulesRow);
    m_rulesRow->hide();
    connect(m_rules, &QComboBox::activated, this, &CChapterListDlg::ChooseRule);
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
    if (std::size_t(m_model->rowCount()) > m_chapters.size()) {
        m_model->Reset(); // a list of another rule came in whole
    }
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

void CChapterListDlg::SetIndex(CChapterIndex* index) {
    m_index = index;
    // A list made anew after a rule is picked comes in like one being scanned.
    connect(index, &CChapterIndex::chaptersAdded, this, &CChapterListDlg::ChaptersAdded,
            Qt::UniqueConnection);
    connect(index, &CChapterIndex::progress, this, &CChapterListDlg::SetProgress,
            Qt::UniqueConnection);
    m_rules->clear();
    m_rules->addItem(QStringLiteral(u"自动（按本书选出）"), QString());
    for (const std::string& name : index->RuleNames()) {
        m_rules->addItem(QString::fromStdString(name), QString::fromStdString(name));
    }
    const int chosen = m_rules->findData(QString::fromStdString(index->ChosenRule()));
    m_rules->setCurrentIndex(chosen < 0 ? 0 : chosen);
    m_rulesRow->show();
}

void CChapterListDlg::ChooseRule(int row) {
    const std::string name = m_rules->itemData(row).toString().toStdString();
    if (m_index == nullptr || name == m_index->ChosenRule()) {
        return;
    }
    m_index->ChooseRule(name);
    ShowNewList();
}

void CChapterListDlg::EditRules() {
    if (m_index == nullptr) {
        return;
    }
    CRulesDlg rules(m_index->DataDir(), m_index->BookPath(), m_index->Layout(), this);
    if (RunModal(rules) != QDialog::Accepted) {
        return;
    }
    m_index->Restart();
    SetIndex(m_index); // the rules' names may have changed
    ShowNewList();
}

void CChapterListDlg::ShowNewList() {
    // The list is made anew, from the kept one at once or by a scan whose rows come in.
    m_growTimer->stop();
    m_model->Reset();
    m_madeNote->setVisible(m_chapters.MadeByReader() && !m_chapters.empty());
    if (m_model->rowCount() > 0) {
        m_list->setCurrentIndex(m_model->index(0, 0));
    }
    SetProgress(m_index->Progress());
}
