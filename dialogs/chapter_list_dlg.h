#pragma once

#include "text/book_scanner.h"

#include <QDialog>

#include <vector>

class QLabel;
class QTreeWidget;

// "目录": the book's chapter headings with their pages (counted from 1). Enter or a double-click
// picks one. While the book is still being scanned, the list grows as headings are found.
class CChapterListDlg : public QDialog {
    Q_OBJECT
public:
    // `current`: the chapter to select, -1 for none.
    CChapterListDlg(const std::vector<ScanHit>& chapters, int current, QWidget* parent = nullptr);

    void AddChapters(const std::vector<ScanHit>& chapters);
    // Scan progress in percent; 100 or more: the list is complete.
    void SetProgress(int percent);
    // The picked chapter after the dialog is accepted.
    int Selected() const { return m_nSelected; }
    QTreeWidget* List() const { return m_list; }

protected:
    void accept() override;

private:
    QTreeWidget* m_list;
    QLabel* m_progress;
    int m_nSelected = -1;
};
