#include "dialogs/shelf_dlg.h"

#include "platform/paths.h"
#include "shelf/book_shelf.h"
#include "widgets/dialog_template.h"

#include <QDateTime>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QHeaderView>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <QTreeView>
#include <QUrl>
#include <QVBoxLayout>

#include <ctime>
#include <sys/stat.h>
#include <utility>
#include <vector>

namespace {

QStandardItem* Cell(const QString& text, const QVariant& sortKey) {
    auto* item = new QStandardItem(text);
    item->setData(sortKey, CShelfDlg::kSortRole);
    item->setEditable(false);
    return item;
}

// The C library's local time: QDateTime's is many times slower, and ten thousand rows have two
// times each.
QString TimeText(std::int64_t seconds) {
    const std::time_t time = std::time_t(seconds);
    std::tm local{};
    char text[32];
    if (seconds == 0 || localtime_r(&time, &local) == nullptr ||
        std::strftime(text, sizeof(text), "%Y-%m-%d %H:%M", &local) == 0) {
        return QString();
    }
    return QString::fromLatin1(text);
}

} // namespace

CShelfDlg::CShelfDlg(CBookShelf& shelf, QWidget* parent)
    : QDialog(parent), m_shelf(shelf), m_model(new QStandardItemModel(0, kColumns, this)),
      m_proxy(new QSortFilterProxyModel(this)), m_filter(new QLineEdit(this)),
      m_list(new QTreeView(this)) {
    setWindowTitle(QStringLiteral(u"书架"));
    setFont(CommonDialogFont());
    m_model->setHorizontalHeaderLabels({QStringLiteral(u"书名"), QStringLiteral(u"作者"),
                                        QStringLiteral(u"进度"), QStringLiteral(u"上次阅读"),
                                        QStringLiteral(u"加入"), QStringLiteral(u"大小")});
    m_proxy->setSourceModel(m_model);
    m_proxy->setSortRole(kSortRole);
    m_proxy->setFilterRole(kFilterRole);
    m_proxy->setFilterKeyColumn(kTitle);
    m_proxy->setFilterCaseSensitivity(Qt::CaseInsensitive);
    m_filter->setPlaceholderText(QStringLiteral(u"按书名、作者或路径筛选"));
    m_filter->setClearButtonEnabled(true);
    connect(m_filter, &QLineEdit::textChanged, this, &CShelfDlg::SetFilter);
    m_list->setModel(m_proxy);
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true); // ten thousand rows lay out at once
    m_list->setSortingEnabled(true);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    connect(m_list, &QTreeView::activated, this, &CShelfDlg::OpenCurrent);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* open =
        buttons->addButton(QStringLiteral(u"打开(&O)"), QDialogButtonBox::ActionRole);
    QPushButton* remove =
        buttons->addButton(QStringLiteral(u"从书架移除(&R)"), QDialogButtonBox::ActionRole);
    QPushButton* folder =
        buttons->addButton(QStringLiteral(u"打开所在文件夹(&F)"), QDialogButtonBox::ActionRole);
    buttons->addButton(QStringLiteral(u"关闭"), QDialogButtonBox::RejectRole);
    connect(open, &QPushButton::clicked, this, &CShelfDlg::OpenCurrent);
    connect(remove, &QPushButton::clicked, this, &CShelfDlg::RemoveCurrent);
    connect(folder, &QPushButton::clicked, this, &CShelfDlg::ShowCurrentFolder);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_filter);
    layout->addWidget(m_list);
    layout->addWidget(buttons);
    resize(760, 480);
    Reload();
    m_list->sortByColumn(kLastRead, Qt::DescendingOrder);
}

void CShelfDlg::Reload() {
    // The book picked stays picked when the shelf is read again.
    const QByteArray currentKey =
        m_list->currentIndex().siblingAtColumn(kTitle).data(kKeyRole).toByteArray();
    // Filled apart from the view: ten thousand rows inserted one by one through the sorting
    // proxy would take a second.
    m_proxy->setSourceModel(nullptr);
    m_model->removeRows(0, m_model->rowCount());
    const QLocale locale; // the reader's, Chinese whatever the environment's
    const std::vector<ShelfBook> books = m_shelf.Books();
    std::vector<std::pair<const std::string*, bool>> changed; // files gone or found again
    for (const ShelfBook& book : books) {
        struct stat info {};
        const bool missing = ::stat(book.path.c_str(), &info) != 0;
        if (missing != book.missing) {
            changed.emplace_back(&book.path, missing);
        }
        const QString path = QString::fromStdU16String(WidePathFromFs(book.path));
        QList<QStandardItem*> row{
            Cell(missing ? QStringLiteral(u"%1（文件不存在）").arg(book.title) : book.title,
                 book.title),
            Cell(book.author, book.author),
            Cell(QString::asprintf("%.1f%%", book.progress), book.progress),
            Cell(TimeText(book.lastRead), qint64(book.lastRead)),
            Cell(TimeText(book.added), qint64(book.added)),
            Cell(locale.formattedDataSize(qint64(book.size), 1, QLocale::DataSizeTraditionalFormat),
                 qint64(book.size))};
        row[kTitle]->setData(path, kPathRole);
        row[kTitle]->setData(QByteArray::fromStdString(book.path), kKeyRole);
        row[kTitle]->setData(
            book.title + QLatin1Char('\n') + book.author + QLatin1Char('\n') + path, kFilterRole);
        row[kTitle]->setToolTip(path);
        if (missing) {
            for (QStandardItem* cell : row) {
                cell->setForeground(palette().color(QPalette::Disabled, QPalette::Text));
            }
        }
        m_model->appendRow(row);
    }
    // In one transaction: a moved library changes every row.
    if (!changed.empty() && m_shelf.BeginBatch()) {
        for (const auto& [path, missing] : changed) {
            m_shelf.SetMissing(*path, missing);
        }
        m_shelf.CommitBatch();
    }
    m_proxy->setSourceModel(m_model);
    // A new source gives the view new columns: the title takes what the others leave, which are
    // wide enough for a date and time, a size and a percentage.
    QHeaderView* header = m_list->header();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(kTitle, QHeaderView::Stretch);
    const int em = m_list->fontMetrics().horizontalAdvance(u'中');
    const int widths[kColumns] = {0, em * 7, em * 5, em * 10, em * 10, em * 6};
    for (int column = kAuthor; column < kColumns; ++column) {
        header->resizeSection(column, widths[column]);
    }
    QModelIndex current = m_proxy->rowCount() > 0 ? m_proxy->index(0, 0) : QModelIndex();
    if (!currentKey.isEmpty()) {
        const QModelIndexList same =
            m_proxy->match(m_proxy->index(0, kTitle), kKeyRole, currentKey, 1, Qt::MatchExactly);
        if (!same.isEmpty()) {
            current = same.first();
        }
    }
    if (current.isValid()) {
        m_list->setCurrentIndex(current);
    }
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

QString CShelfDlg::PathAt(int row) const {
    return m_proxy->index(row, kTitle).data(kPathRole).toString();
}

void CShelfDlg::OpenCurrent() {
    const QModelIndex current = m_list->currentIndex();
    if (current.isValid()) {
        emit openBook(PathAt(current.row()));
    }
}

void CShelfDlg::RemoveCurrent() {
    const QModelIndex current = m_list->currentIndex();
    if (!current.isValid()) {
        return;
    }
    const QModelIndex source = m_proxy->mapToSource(current);
    const QByteArray key = m_proxy->index(current.row(), kTitle).data(kKeyRole).toByteArray();
    if (m_shelf.Remove(key.toStdString())) {
        m_model->removeRow(source.row());
    }
}

void CShelfDlg::ShowCurrentFolder() {
    const QModelIndex current = m_list->currentIndex();
    if (current.isValid()) {
        QDesktopServices::openUrl(
            QUrl::fromLocalFile(QFileInfo(PathAt(current.row())).absolutePath()));
    }
}
