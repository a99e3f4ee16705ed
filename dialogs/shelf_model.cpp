#include "dialogs/shelf_model.h"

#include "platform/paths.h"

#include <QLocale>

#include <algorithm>
#include <ctime>
#include <set>
#include <utility>

namespace {

// The C library's local time: QDateTime's is many times slower, and a sort by date asks for none
// of these, but a screen of rows asks for two each.
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

QString WidePath(const std::string& path) {
    return QString::fromStdU16String(WidePathFromFs(path));
}

QString Marked(const QString& group) {
    return QChar(CShelfModel::kGroupMark) + group + QChar(CShelfModel::kGroupMark);
}

} // namespace

QString CShelfModel::StateName(ShelfBook::State state) {
    switch (state) {
    case ShelfBook::State::Reading:
        return QStringLiteral(u"在读");
    case ShelfBook::State::Finished:
        return QStringLiteral(u"读完");
    case ShelfBook::State::Unread:
        break;
    }
    return QStringLiteral(u"未读");
}

CShelfModel::CShelfModel(QObject* parent) : QAbstractTableModel(parent) {}

void CShelfModel::SetBooks(std::vector<ShelfBook> books) {
    beginResetModel();
    m_books = std::move(books);
    m_filterTexts.clear();
    m_filterTexts.reserve(m_books.size());
    for (const ShelfBook& book : m_books) {
        m_filterTexts.push_back(book.title + QLatin1Char('\n') + book.author + QLatin1Char('\n') +
                                WidePath(book.path));
    }
    endResetModel();
}

void CShelfModel::RemoveBook(int row) {
    if (row < 0 || row >= rowCount()) {
        return;
    }
    beginRemoveRows({}, row, row);
    m_books.erase(m_books.begin() + row);
    m_filterTexts.erase(m_filterTexts.begin() + row);
    endRemoveRows();
}

std::int64_t CShelfModel::TotalReadingSeconds() const {
    std::int64_t seconds = 0;
    for (const ShelfBook& book : m_books) {
        seconds += book.readingSeconds;
    }
    return seconds;
}

QStringList CShelfModel::OwnGroups() const {
    std::set<QString> groups;
    for (const ShelfBook& book : m_books) {
        if (!book.group.isEmpty()) {
            groups.insert(book.group);
        }
    }
    return QStringList(groups.begin(), groups.end());
}

int CShelfModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_books.size());
}

int CShelfModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumns;
}

QString CShelfModel::Text(const ShelfBook& book, int column) const {
    static const QLocale locale; // the reader's, Chinese whatever the environment's
    switch (column) {
    case kTitle:
        return book.missing ? QStringLiteral(u"%1（文件不存在）").arg(book.title) : book.title;
    case kAuthor:
        return book.author;
    case kGroup: {
        const QString state = StateName(book.ReadingStateGroup());
        return book.group.isEmpty() ? state : state + QStringLiteral(u" · ") + book.group;
    }
    case kProgress:
        return QString::asprintf("%.1f%%", book.progress);
    case kReadingTime:
        return ShelfBook::DurationText(book.readingSeconds);
    case kLastRead:
        return TimeText(book.lastRead);
    case kAdded:
        return TimeText(book.added);
    case kSize:
        return locale.formattedDataSize(qint64(book.size), 1, QLocale::DataSizeTraditionalFormat);
    default:
        return QString();
    }
}

QVariant CShelfModel::SortKey(const ShelfBook& book, int column) const {
    switch (column) {
    case kTitle:
        return book.title;
    case kAuthor:
        return book.author;
    case kGroup:
        return Text(book, column);
    case kProgress:
        return book.progress;
    case kReadingTime:
        return qint64(book.readingSeconds);
    case kLastRead:
        return qint64(book.lastRead);
    case kAdded:
        return qint64(book.added);
    case kSize:
        return qint64(book.size);
    default:
        return {};
    }
}

QVariant CShelfModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) {
        return {};
    }
    const ShelfBook& book = m_books[std::size_t(index.row())];
    switch (role) {
    case Qt::DisplayRole:
        return Text(book, index.column());
    case Qt::ToolTipRole:
        return index.column() == kTitle ? QVariant(WidePath(book.path)) : QVariant();
    case Qt::ForegroundRole:
        return book.missing && m_missingColor.isValid() ? QVariant(m_missingColor) : QVariant();
    case kSortRole:
        return SortKey(book, index.column());
    case kPathRole:
        return WidePath(book.path);
    case kKeyRole:
        return QByteArray::fromStdString(book.path);
    case kFilterRole:
        return m_filterTexts[std::size_t(index.row())];
    case kGroupsRole:
        return Marked(StateName(book.ReadingStateGroup())) +
               (book.group.isEmpty() ? QString() : Marked(book.group));
    case kMissingRole:
        return book.missing;
    case kReadingTimeRole:
        return qint64(book.readingSeconds);
    case kOwnGroupRole:
        return book.group;
    default:
        return {};
    }
}

QVariant CShelfModel::headerData(int section, Qt::Orientation orientation, int role) const {
    static const char16_t* const kHeaders[kColumns] = {u"书名",     u"作者",     u"分组", u"进度",
                                                       u"阅读时间", u"上次阅读", u"加入", u"大小"};
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= kColumns) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    return QString::fromUtf16(kHeaders[section]);
}
