#pragma once

#include "history/read_mark_info.h"

#include <list>

class CVeskaView;
class QWidget;

// The bookmark dialog ("书签"): edits copies of the history's two lists.
class CReadMarkDlg {
public:
    CReadMarkDlg(const std::list<ReadMarkInfo>& localMarks, const std::list<ReadMarkInfo>& netMarks,
                 CVeskaView* view, QWidget* parent);
    virtual ~CReadMarkDlg();

    int DoModal();

    std::list<ReadMarkInfo> m_localMarks;
    std::list<ReadMarkInfo> m_netMarks;
    int m_nSelItem = -1;
    CVeskaView* m_pView;
    QWidget* m_pParent;
};
