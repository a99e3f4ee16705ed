#include "dialogs/chapter_list_dlg.h"

#include <QHeaderView>
#include <QLabel>
#include <QTreeWidget>
#include <QVBoxLayout>

CChapterListDlg::CChapterListDlg(const std::vector<ScanHit>& chapters, int current, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("chapterListDlg"));
    setWindowTitle(QStringLiteral(u"目录"));
    resize(420, 520);
    auto* layout = new QVBoxLayout(this);
    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("chapterList"));
    m_list->setColumnCount(2);
    m_list->setHeaderLabels({QStringLiteral(u"章节"), QStringLiteral(u"页码")});
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true); // lists of tens of thousands of headings stay quick
    m_list->setAllColumnsShowFocus(true);
    m_list->header()->setStretchLastSection(false);
    m_list->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_list->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    layout->addWidget(m_list);
    m_progress = new QLabel(this);
    m_progress->setObjectName(QStringLiteral("chapterProgress"));
    layout->addWidget(m_progress);
    m_progress->hide();
    connect(m_list, &QTreeWidget::itemActivated, this, [this] { accept(); });

    AddChapters(chapters);
    if (current >= 0 && current < m_list->topLevelItemCount()) {
        QTreeWidgetItem* item = m_list->topLevelItem(current);
        m_list->setCurrentItem(item);
        m_list->scrollToItem(item, QAbstractItemView::PositionAtCenter);
    }
    m_list->setFocus();
}

void CChapterListDlg::AddChapters(const std::vector<ScanHit>& chapters) {
    QList<QTreeWidgetItem*> items;
    items.reserve(qsizetype(chapters.size()));
    for (const ScanHit& chapter : chapters) {
        auto* item = new QTreeWidgetItem(
            {QString::fromStdU16String(chapter.text), QString::number(chapter.page + 1)});
        item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
        items.append(item);
    }
    const bool first = m_list->topLevelItemCount() == 0;
    m_list->addTopLevelItems(items);
    if (first && !items.isEmpty() && m_list->currentItem() == nullptr) {
        m_list->setCurrentItem(items.first());
    }
}

void CChapterListDlg::SetProgress(int percent) {
    m_progress->setVisible(percent < 100);
    m_progress->setText(QStringLiteral(u"正在生成目录… %1%").arg(percent));
}

void CChapterListDlg::accept() {
    QTreeWidgetItem* item = m_list->currentItem();
    m_nSelected = item != nullptr ? m_list->indexOfTopLevelItem(item) : -1;
    QDialog::accept();
}
