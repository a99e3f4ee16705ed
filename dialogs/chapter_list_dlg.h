#pragma once

#include "text/chapter_list.h"

#include <QDialog>

#include <functional>
#include <string>

class QComboBox;
class QLabel;
class QListView;
class QTimer;
class CChapterListModel;
class CChapterIndex;

// "目录": the book's chapter headings with their pages (counted from 1) on the right. Enter or a
// double-click picks one. While the book is still being scanned, the list grows as headings are
// found. The dialog shows the list it is given without a copy, as a model whose rows are made
// only when painted, so a book of a million headings opens it at once.
class CChapterListDlg : public QDialog {
    Q_OBJECT
public:
    // `chapters` belongs to the caller and outlives the dialog; it may only grow meanwhile.
    // `current`: the chapter to select, -1 for none.
    CChapterListDlg(const CChapterList& chapters, int current, QWidget* parent = nullptr);

    // Headings were added at the end of the list. While they pour in, the rows follow a few times
    // a second: each change lays out the whole list anew.
    void ChaptersAdded();
    // Scan progress in percent; 100 or more: the list is complete.
    void SetProgress(int percent);
    // The picked chapter after the dialog is accepted.
    int Selected() const { return m_nSelected; }
    // How a title is shown (in the script the book is read in); as listed without it.
    void SetTitleShown(std::function<QString(const std::u16string&)> shown);
    // Column 0 of its model holds the titles, column 1 the pages as shown.
    QListView* List() const { return m_list; }
    // Offers the chapter rules of the index whose list the dialog shows: picking one keeps it for
    // the book and shows the list it makes; "自动" lets the book pick again.
    void SetIndex(CChapterIndex* index);

protected:
    void accept() override;
    void showEvent(QShowEvent* event) override;

private:
    void ShowNewRows();
    void ChooseRule(int row);
    // 规则: edits the rules, then shows the list they make.
    void EditRules();
    void ShowNewList();

    const CChapterList& m_chapters;
    CChapterListModel* m_model;
    QListView* m_list;
    QLabel* m_progress;
    QLabel* m_madeNote; // says the reader made the chapters of a book without headings
    QTimer* m_growTimer;
    QWidget* m_rulesRow;
    QComboBox* m_rules;
    CChapterIndex* m_index = nullptr;
    int m_nSelected = -1;
};
