#pragma once

#include "dialogs/shelf_model.h"

#include <QDialog>

class CBookShelf;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSortFilterProxyModel;
class QTreeView;

// "书架": every book on the shelf in a list that sorts by any column and narrows as the reader
// types (title, author or path) or picks a group: 在读, 读完 and 未读 by the record, or one of
// the reader's own. A book opens with Enter or a double-click; one can be put in a group, taken
// off the shelf (the file stays) or shown in its folder. A book whose file is gone is marked and
// can be located again. The reading time of each book and of all is shown.
class CShelfDlg : public QDialog {
    Q_OBJECT
public:
    using enum CShelfModel::Column;
    static constexpr int kSortRole = CShelfModel::kSortRole;
    static constexpr int kPathRole = CShelfModel::kPathRole;

    // `shelf` is open and outlives the dialog.
    explicit CShelfDlg(CBookShelf& shelf, QWidget* parent = nullptr);

    // Reads the shelf again, looking for each book's file.
    void Reload();
    void SetFilter(const QString& text);
    // Shows only the books of a group (its name as the group list shows it; empty for all).
    void SetGroupFilter(const QString& group);
    // The view over the sorted and filtered list.
    QTreeView* List() const { return m_list; }
    // The file system path of the book in a row of the view's model.
    QString PathAt(int row) const;

    // The book at the current row: open it, put it in a group (asked for), take it off the shelf,
    // show its folder, pick its file again (when it is gone).
    void OpenCurrent();
    void GroupCurrent();
    void RemoveCurrent();
    void ShowCurrentFolder();
    void LocateCurrent();

signals:
    // The reader should open this book (wide text, as the reader takes paths).
    void openBook(const QString& path);

private:
    // Reads the shelf again and picks the book of that path, else the first.
    void ReloadPicking(const QByteArray& key);
    // The row of the source model under the view's current index, or -1.
    int CurrentSourceRow() const;
    // The group list: all, the record's three and the reader's own (as the rows hold them).
    void FillGroups();
    void UpdateTotals();
    void UpdateButtons();

    CBookShelf& m_shelf;
    CShelfModel* m_model;
    QSortFilterProxyModel* m_groupProxy; // the group picked
    QSortFilterProxyModel* m_proxy;      // the text typed, and the order
    QLineEdit* m_filter;
    QComboBox* m_groups;
    QTreeView* m_list;
    QLabel* m_totals;
    QPushButton* m_locate = nullptr;
};
