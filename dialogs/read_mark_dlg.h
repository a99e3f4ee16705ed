#pragma once

#include "history/read_mark_info.h"

#include <list>
#include <optional>
#include <vector>

class CTemplateDialog;
class QMenu;
class QString;
class QTableWidget;
class QWidget;

// The bookmark dialog ("书签"): edits copies of the history's two lists and names the bookmark
// chosen to open (Chosen). Row i of a list control, entry i of its rows array and the record
// that entry points to belong together.
class CReadMarkDlg {
public:
    using MarkList = std::list<ReadMarkInfo>;

    CReadMarkDlg(const MarkList& localMarks, const MarkList& netMarks, QWidget* parent);
    virtual ~CReadMarkDlg();
    // The rows arrays point into this object's own lists.
    CReadMarkDlg(const CReadMarkDlg&) = delete;
    CReadMarkDlg& operator=(const CReadMarkDlg&) = delete;

    int DoModal();
    // A 是/否 question about bookmarks (否 is the default); true for 是.
    static bool AskYesNo(QWidget* parent, const QString& text);

    // Columns, rows and the popup menu. true: the system places the focus.
    bool OnInitDialog();
    // "清空书签": asks (是/否), then removes every local bookmark.
    void OnBnClickedClear();
    // A double-click on row nItem (-1: no row) chooses that bookmark and closes the dialog; a
    // bookmark whose file has gone is reported instead, with the offer to remove it. Returns 0.
    int OnDblclkLocalList(int nItem);
    int OnDblclkNetList(int nItem);
    // A right click on row nItem (-1: below the last row) remembers it and, on a row, pops up
    // "修改书签" at the cursor. Returns the result, 0.
    int OnRclickLocalList(int nItem);
    // "打开" and "删除" of the popup menu, for the remembered row.
    void OnMarkOpen();
    void OnMarkDelete();
    // "确定" and Enter.
    void OnOK();

    CTemplateDialog* m_pDialog = nullptr;   // the window while DoModal runs
    QTableWidget* m_ctlLocalList = nullptr; // control 1007
    MarkList m_localMarks;
    std::vector<MarkList::iterator> m_localRows;
    MarkList m_netMarks;
    std::vector<MarkList::iterator> m_netRows;
    QTableWidget* m_ctlNetList = nullptr; // control 1008, never shown
    QMenu* m_pPopupMenu = nullptr;        // the submenu shown by the last right click
    QMenu* m_menuMark = nullptr;          // bookmark menu, lives with the window
    int m_nSelItem = -1;
    QWidget* m_pParent;
    // The bookmark to open once the dialog has closed.
    const std::optional<ReadMarkInfo>& Chosen() const { return m_chosen; }

private:
    bool IsLocalRow(int row) const;
    void OpenMark(int row);
    std::optional<ReadMarkInfo> m_chosen;
    static void FillList(QTableWidget* list, MarkList& marks,
                         std::vector<MarkList::iterator>& rows);
};
