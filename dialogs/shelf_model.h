#pragma once

#include "shelf/shelf_book.h"

#include <QAbstractTableModel>
#include <QColor>
#include <QStringList>

#include <vector>

// The rows of the 书架 window: the shelf's books as read, each cell's text made when a view
// asks for it. Ten thousand books take a few megabytes here, where an item per cell took ten
// times that.
class CShelfModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column {
        kTitle,
        kAuthor,
        kGroup,
        kProgress,
        kReadingTime,
        kLastRead,
        kAdded,
        kSize,
        kColumns
    };
    // What the columns sort by (raw numbers, the title and author as written).
    static constexpr int kSortRole = Qt::UserRole + 1;
    // Of any column of a row: the book's file system path (wide text), the path's bytes as the
    // shelf keeps it, the text the filter looks in (title, author, path), the groups the book
    // is in (each between kGroupMark), whether its file is gone, its reading time in seconds,
    // and the reader's own group (empty for none).
    static constexpr int kPathRole = Qt::UserRole + 2;
    static constexpr int kKeyRole = Qt::UserRole + 3;
    static constexpr int kFilterRole = Qt::UserRole + 4;
    static constexpr int kGroupsRole = Qt::UserRole + 5;
    static constexpr int kMissingRole = Qt::UserRole + 6;
    static constexpr int kReadingTimeRole = Qt::UserRole + 7;
    static constexpr int kOwnGroupRole = Qt::UserRole + 8;
    // Stands before and after each group in kGroupsRole: no group's name holds it, so one name
    // never matches inside another.
    static constexpr char16_t kGroupMark = u'\x1F';

    // The name of the group the record puts a book in: 在读, 读完 or 未读.
    static QString StateName(ShelfBook::State state);

    explicit CShelfModel(QObject* parent = nullptr);

    // The rows are these books now (their `missing` as found just now).
    void SetBooks(std::vector<ShelfBook> books);
    void RemoveBook(int row);
    const ShelfBook& Book(int row) const { return m_books[std::size_t(row)]; }
    // The reading time of every book, in seconds.
    std::int64_t TotalReadingSeconds() const;
    // The reader's own groups, sorted.
    QStringList OwnGroups() const;
    // The colour of the texts of a book whose file is gone.
    void SetMissingColor(const QColor& color) { m_missingColor = color; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    QString Text(const ShelfBook& book, int column) const;
    QVariant SortKey(const ShelfBook& book, int column) const;

    std::vector<ShelfBook> m_books;
    std::vector<QString> m_filterTexts; // kFilterRole of each row, asked for at every key
    QColor m_missingColor;
};
