#include "dialogs/shelf_dlg.h"

#include "platform/paths.h"
#include "shelf/book_shelf.h"
#include "widgets/book_file_dialog.h"
#include "widgets/dialog_template.h"
#include "widgets/modal_hook.h"

#include <QComboBox>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QTreeView>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>
#include <sys/stat.h>
#include <utility>
#include <vector>

namespace {

QString GroupMark(const QString& name) {
    return QChar(CShelfModel::kGroupMark) + name + QChar(CShelfModel::kGroupMark);
}

} // namespace

CShelfDlg::CShelfDlg(CBookShelf& shelf, QWidget* parent)
    : QDialog(parent), m_shelf(shelf), m_model(new CShelfModel(this)),
      m_groupProxy(new QSortFilterProxyModel(this)), m_proxy(new QSortFilterProxyModel(this)),
      m_filter(new QLineEdit(this)), m_groups(new QComboBox(this)), m_list(new QTreeView(this)),
      m_totals(new QLabel(this)) {
    setWindowTitle(QStringLiteral(u"书架"));
    setFont(CommonDialogFont());
    m_model->SetMissingColor(palette().color(QPalette::Disabled, QPalette::Text));
    m_groupProxy->setFilterRole(CShelfModel::kGroupsRole);
    m_groupProxy->setFilterKeyColumn(kTitle);
    m_groupProxy->setSourceModel(m_model);
    m_proxy->setSourceModel(m_groupProxy);
    m_proxy->setSortRole(kSortRole);
    m_proxy->setFilterRole(CShelfModel::kFilterRole);
    m_proxy->setFilterKeyColumn(kTitle);
    m_proxy->setFilterCaseSensitivity(Qt::CaseInsensitive);
    m_filter->setPlaceholderText(QStringLiteral(u"按书名、作者或路径筛选"));
    m_filter->setClearButtonEnabled(true);
    connect(m_filter, &QLineEdit::textChanged, this, &CShelfDlg::SetFilter);
    m_groups->setToolTip(QStringLiteral(u"只看一组书"));
    connect(m_groups, &QComboBox::currentIndexChanged, this,
            [this] { SetGroupFilter(m_groups->currentData().toString()); });
    m_list->setModel(m_proxy);
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true); // ten thousand rows lay out at once
    m_list->setSortingEnabled(true);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    connect(m_list, &QTreeView::activated, this, &CShelfDlg::OpenCurrent);
    // "重新定位…" only for a book whose file is gone.
    connect(m_list->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &CShelfDlg::UpdateButtons);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* open =
        buttons->addButton(QStringLiteral(u"打开(&O)"), QDialogButtonBox::ActionRole);
    QPushButton* group =
        buttons->addButton(QStringLiteral(u"分组(&G)…"), QDialogButtonBox::ActionRole);
    m_locate = buttons->addButton(QStringLiteral(u"重新定位(&L)…"), QDialogButtonBox::ActionRole);
    QPushButton* remove =
        buttons->addButton(QStringLiteral(u"从书架移除(&R)"), QDialogButtonBox::ActionRole);
    QPushButton* folder =
        buttons->addButton(QStringLiteral(u"打开所在文件夹(&F)"), QDialogButtonBox::ActionRole);
    buttons->addButton(QStringLiteral(u"关闭"), QDialogButtonBox::RejectRole);
    connect(open, &QPushButton::clicked, this, &CShelfDlg::OpenCurrent);
    connect(group, &QPushButton::clicked, this, &CShelfDlg::GroupCurrent);
    connect(m_locate, &QPushButton::clicked, this, &CShelfDlg::LocateCurrent);
    connect(remove, &QPushButton::clicked, this, &CShelfDlg::RemoveCurrent);
    connect(folder, &QPushButton::clicked, this, &CShelfDlg::ShowCurrentFolder);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* top = new QHBoxLayout;
    top->addWidget(m_filter, 1);
    top->addWidget(m_groups);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_list);
    layout->addWidget(m_totals);
    layout->addWidget(buttons);
    resize(960, 520);
    Reload();
    m_list->sortByColumn(kLastRead, Qt::DescendingOrder);
}

void CShelfDlg::Reload() {
    // The book picked stays picked when the shelf is read again.
    ReloadPicking(m_list->currentIndex().data(CShelfModel::kKeyRole).toByteArray());
}

void CShelfDlg::ReloadPicking(const QByteArray& currentKey) {
    std::vector<ShelfBook> books = m_shelf.Books();
    std::vector<const ShelfBook*> changed; // files gone or found again
    for (ShelfBook& book : books) {
        struct stat info {};
        const bool missing = ::stat(book.path.c_str(), &info) != 0;
        if (missing != book.missing) {
            book.missing = missing;
            changed.push_back(&book);
        }
    }
    // In one transaction: a moved library changes every row.
    if (!changed.empty() && m_shelf.BeginBatch()) {
        for (const ShelfBook* book : changed) {
            m_shelf.SetMissing(book->path, book->missing);
        }
        m_shelf.CommitBatch();
    }
    m_model->SetBooks(std::move(books));
    FillGroups();
    UpdateTotals();
    // The title takes what the other columns leave, which are wide enough for a date and time,
    // a size and a percentage.
    QHeaderView* header = m_list->header();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(kTitle, QHeaderView::Stretch);
    const int em = m_list->fontMetrics().horizontalAdvance(u'中');
    const int widths[kColumns] = {0, em * 7, em * 6, em * 5, em * 6, em * 10, em * 10, em * 6};
    for (int column = kAuthor; column < kColumns; ++column) {
        header->resizeSection(column, widths[column]);
    }
    QModelIndex current = m_proxy->rowCount() > 0 ? m_proxy->index(0, 0) : QModelIndex();
    if (!currentKey.isEmpty()) {
        const QModelIndexList same = m_proxy->match(
            m_proxy->index(0, kTitle), CShelfModel::kKeyRole, currentKey, 1, Qt::MatchExactly);
        if (!same.isEmpty()) {
            current = same.first();
        }
    }
    if (current.isValid()) {
        m_list->setCurrentIndex(current);
    }
    UpdateButtons();
}

void CShelfDlg::FillGroups() {
    const QString picked = m_groups->currentData().toString();
    const QStringList own = m_model->OwnGroups();
    const QSignalBlocker quiet(m_groups);
    m_groups->clear();
    m_groups->addItem(QStringLiteral(u"全部"), QString());
    for (const char16_t* state : {u"在读", u"读完", u"未读"}) {
        m_groups->addItem(QString::fromUtf16(state), QString::fromUtf16(state));
    }
    if (!own.isEmpty()) {
        m_groups->insertSeparator(m_groups->count());
    }
    for (const QString& group : own) {
        m_groups->addItem(group, group);
    }
    // A group that has lost its last book shows all.
    const int index = picked.isEmpty() ? 0 : m_groups->findData(picked);
    m_groups->setCurrentIndex(std::max(0, index));
    SetGroupFilter(m_groups->currentData().toString());
}

void CShelfDlg::UpdateTotals() {
    const QString time = ShelfBook::DurationText(m_model->TotalReadingSeconds());
    m_totals->setText(QStringLiteral(u"共%1本书，阅读时间共%2")
                          .arg(m_model->rowCount())
                          .arg(time.isEmpty() ? QStringLiteral(u"0分") : time));
}

void CShelfDlg::UpdateButtons() {
    const QModelIndex current = m_list->currentIndex();
    m_locate->setEnabled(current.isValid() && current.data(CShelfModel::kMissingRole).toBool());
}

void CShelfDlg::SetFilter(const QString& text) {
    if (m_filter->text() != text) {
        m_filter->setText(text); // comes back here through textChanged
        return;
    }
    m_proxy->setFilterFixedString(text);
    if (!m_list->currentIndex().isValid() && m_proxy->rowCount() > 0) {
        m_list->setCurrentIndex(m_proxy->index(0, 0));
    }
}

void CShelfDlg::SetGroupFilter(const QString& group) {
    const int index = group.isEmpty() ? 0 : m_groups->findData(group);
    if (index >= 0 && m_groups->currentIndex() != index) {
        m_groups->setCurrentIndex(index); // comes back here
        return;
    }
    m_groupProxy->setFilterFixedString(group.isEmpty() ? QString() : GroupMark(group));
    if (!m_list->currentIndex().isValid() && m_proxy->rowCount() > 0) {
        m_list->setCurrentIndex(m_proxy->index(0, 0));
    }
}

QString CShelfDlg::PathAt(int row) const {
    return m_proxy->index(row, kTitle).data(CShelfModel::kPathRole).toString();
}

int CShelfDlg::CurrentSourceRow() const {
    const QModelIndex current = m_list->currentIndex();
    if (!current.isValid()) {
        return -1;
    }
    return m_groupProxy->mapToSource(m_proxy->mapToSource(current)).row();
}

void CShelfDlg::OpenCurrent() {
    const QModelIndex current = m_list->currentIndex();
    if (current.isValid()) {
        emit openBook(PathAt(current.row()));
    }
}

void CShelfDlg::GroupCurrent() {
    const int row = CurrentSourceRow();
    if (row < 0) {
        return;
    }
    const ShelfBook& book = m_model->Book(row);
    QInputDialog ask(this);
    ask.setWindowTitle(QStringLiteral(u"分组"));
    ask.setLabelText(QStringLiteral(u"“%1”放入分组（留空则不分组）：").arg(book.title));
    ask.setComboBoxEditable(true);
    ask.setComboBoxItems(m_model->OwnGroups());
    ask.setTextValue(book.group);
    if (RunModal(ask) == QDialog::Accepted && m_shelf.SetGroup(book.path, ask.textValue())) {
        Reload();
    }
}

void CShelfDlg::RemoveCurrent() {
    const int row = CurrentSourceRow();
    if (row >= 0 && m_shelf.Remove(m_model->Book(row).path)) {
        m_model->RemoveBook(row);
        UpdateTotals();
    }
}

void CShelfDlg::ShowCurrentFolder() {
    const QModelIndex current = m_list->currentIndex();
    if (current.isValid()) {
        QDesktopServices::openUrl(
            QUrl::fromLocalFile(QFileInfo(PathAt(current.row())).absolutePath()));
    }
}

void CShelfDlg::LocateCurrent() {
    const int row = CurrentSourceRow();
    if (row < 0 || !m_model->Book(row).missing) {
        return;
    }
    const std::string oldKey = m_model->Book(row).path;
    CBookFileDialog dialog(this);
    dialog.setWindowTitle(QStringLiteral(u"重新定位"));
    dialog.setNameFilter(QStringLiteral(u"txt文件 (*.txt)"));
    // A moved book is often near where it was.
    QDir folder = QFileInfo(QString::fromStdU16String(WidePathFromFs(oldKey))).absoluteDir();
    while (!folder.exists() && folder.cdUp()) {
    }
    dialog.setDirectory(folder);
    if (RunModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return;
    }
    const std::string newKey =
        CBookShelf::KeyOf(FsPathFromWide(dialog.selectedFiles().first().toStdU16String()));
    if (!m_shelf.Relocate(oldKey, newKey)) {
        QMessageBox box(QMessageBox::Warning, QStringLiteral(u"书架"),
                        QStringLiteral(u"“%1”已在书架上，没有重新定位。")
                            .arg(QString::fromStdU16String(WidePathFromFs(newKey))),
                        QMessageBox::Ok, this);
        box.setFont(CommonDialogFont());
        RunModal(box);
        return;
    }
    ReloadPicking(QByteArray::fromStdString(newKey));
}
