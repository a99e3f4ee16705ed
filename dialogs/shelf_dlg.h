#pragma once

#include <QDialog>

class CBookShelf;
class QLineEdit;
class QSortFilterProxyModel;
class QStandardItemModel;
class QTreeView;

// "书架": every book on the shelf in a list that sorts by any column and narrows as the reader
// types (title, author or path). A book opens with Enter or a double-click; one can be taken
// off the shelf (the file stays) or shown in its folder. A book whose file is gone is marked.
class CShelfDlg : public QDialog {
    Q_OBJECT
public:
    enum Column { kTitle, kAuthor, kProgress, kLastRead, kAdded, kSize, kColumns };
    // What the columns sort by, and the text the filter looks in.
    static constexpr int kSortRole = Qt::UserRole + 1;
    static constexpr int kPathRole = Qt::UserRole + 2;
    static constexpr int kFilterRole = Qt::UserRole + 3;
    static constexpr int kKeyRole = Qt::UserRole + 4; // the path's bytes, as the shelf keeps it

    // `shelf` is open and outlives the dialog.
    explicit CShelfDlg(CBookShelf& shelf, QWidget* parent = nullptr);

    // Reads the shelf again, looking for each book's file.
    void Reload();
    void SetFilter(const QString& text);
    // The view over the sorted and filtered list.
    QTreeView* List() const { return m_list; }
    // The file system path of the book in a row of the view's model.
    QString PathAt(int row) const;

    // The book at the current row: open it, take it off the shelf, show its folder.
    void OpenCurrent();
    void RemoveCurrent();
    void ShowCurrentFolder();

signals:
    // The reader should open this book (wide text, as the reader takes paths).
    void openBook(const QString& path);

private:
    CBookShelf& m_shelf;
    QStandardItemModel* m_model;
    QSortFilterProxyModel* m_proxy;
    QLineEdit* m_filter;
    QTreeView* m_list;
};
