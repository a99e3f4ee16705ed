#include "dialogs/read_mark_dlg.h"

#include "platform/paths.h"
#include "res/resource.h"
#include "text/text_convert.h"
#include "widgets/dialog_template.h"
#include "widgets/modal_hook.h"

#include <QCursor>
#include <QHeaderView>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>

#include <sys/stat.h>

namespace {

const DialogTemplate& ReadMarkTemplate() {
    using K = DialogControlKind;
    static const DialogTemplate dialogTemplate{
        IDD_READ_MARK,
        QStringLiteral("书签"),
        true,
        QStringLiteral("新宋体"),
        10,
        195,
        276,
        {
            {K::Static, IDC_STATIC, QStringLiteral("双击打开书签"), 54, 6, 54, 10},
            {K::GroupBox, IDC_STATIC, QStringLiteral("本地书签"), 7, 23, 182, 245},
            {K::ListView, IDC_LOCAL_LIST, QString(), 14, 34, 170, 207},
            {K::GroupBox, IDC_STATIC, QStringLiteral("网络书签"), 7, 247, 44, 20, DCS_HIDDEN},
            {K::ListView, IDC_NET_LIST, QString(), 0, 247, 46, 28, DCS_HIDDEN},
            {K::PushButton, IDC_CLEAR_LOCAL, QStringLiteral("清空书签"), 61, 250, 40, 16},
            {K::PushButton, IDC_CLEAR_NET, QStringLiteral("清空书签"), 6, 249, 40, 16, DCS_HIDDEN},
            {K::PushButton, IDC_MARK_OK, QStringLiteral("确定"), 104, 250, 40, 16},
        }};
    return dialogTemplate;
}

// Column titles and widths in pixels, shared by both lists.
struct Column {
    const char16_t* title;
    int width;
};
constexpr Column kColumns[] = {{u"书名", 130}, {u"阅读页数", 80}, {u"总页数", 80}};

void SetUpReportList(QTableWidget* list) {
    // Full-row selection and grid lines.
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setShowGrid(true);
    list->setColumnCount(static_cast<int>(std::size(kColumns)));
    for (int i = 0; i < static_cast<int>(std::size(kColumns)); ++i) {
        auto* header = new QTableWidgetItem(QString::fromUtf16(kColumns[i].title));
        header->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        list->setHorizontalHeaderItem(i, header);
        list->setColumnWidth(i, kColumns[i].width);
    }
}

// A question with the buttons "是" and "否"; "否" is the default, so Enter loses nothing.
QTableWidgetItem* Cell(const QString& text) {
    auto* item = new QTableWidgetItem(text);
    item->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    return item;
}

} // namespace

bool CReadMarkDlg::AskYesNo(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Question, QStringLiteral("书签"), text,
                    QMessageBox::Yes | QMessageBox::No, parent);
    box.setFont(CommonDialogFont());
    box.button(QMessageBox::Yes)->setText(QStringLiteral("是"));
    box.button(QMessageBox::No)->setText(QStringLiteral("否"));
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return RunModal(box) == QMessageBox::Yes;
}

CReadMarkDlg::CReadMarkDlg(const MarkList& localMarks, const MarkList& netMarks, QWidget* parent)
    : m_localMarks(localMarks), m_netMarks(netMarks), m_pParent(parent) {}

CReadMarkDlg::~CReadMarkDlg() = default;

int CReadMarkDlg::DoModal() {
    CTemplateDialog dialog(ReadMarkTemplate(), m_pParent);
    m_pDialog = &dialog;
    m_ctlLocalList = dialog.GetDlgItemAs<QTableWidget>(IDC_LOCAL_LIST);
    m_ctlNetList = dialog.GetDlgItemAs<QTableWidget>(IDC_NET_LIST);
    dialog.SetCommandHandler([this](int id) {
        switch (id) {
        case IDOK:
        case IDC_MARK_OK:
            OnOK();
            break;
        case IDCANCEL:
            m_pDialog->reject();
            break;
        case IDC_CLEAR_LOCAL:
            OnBnClickedClear();
            break;
        default: // the hidden network clear button does nothing
            break;
        }
    });
    QObject::connect(m_ctlLocalList, &QTableWidget::cellDoubleClicked, &dialog,
                     [this](int row, int) { OnDblclkLocalList(row); });
    QObject::connect(
        m_ctlLocalList, &QWidget::customContextMenuRequested, &dialog,
        [this](const QPoint& pos) { OnRclickLocalList(m_ctlLocalList->indexAt(pos).row()); });
    QObject::connect(m_ctlNetList, &QTableWidget::cellDoubleClicked, &dialog,
                     [this](int row, int) { OnDblclkNetList(row); });
    if (OnInitDialog()) {
        dialog.FocusFirstTabStop();
    }
    const int result = RunModal(dialog);
    m_pDialog = nullptr;
    m_ctlLocalList = nullptr;
    m_ctlNetList = nullptr;
    m_pPopupMenu = nullptr;
    m_menuMark = nullptr; // a child of the window, gone with it
    return result == QDialog::Accepted ? IDOK : IDCANCEL;
}

bool CReadMarkDlg::OnInitDialog() {
    m_menuMark = new QMenu(m_pDialog);
    QMenu* markMenu = m_menuMark->addMenu(QStringLiteral("修改书签"));
    QObject::connect(markMenu->addAction(QStringLiteral("打开")), &QAction::triggered, m_pDialog,
                     [this] { OnMarkOpen(); });
    QObject::connect(markMenu->addAction(QStringLiteral("删除")), &QAction::triggered, m_pDialog,
                     [this] { OnMarkDelete(); });
    markMenu->actions().at(0)->setData(ID_MARK_OPEN);
    markMenu->actions().at(1)->setData(ID_MARK_DELETE);

    SetUpReportList(m_ctlLocalList);
    SetUpReportList(m_ctlNetList);
    FillList(m_ctlLocalList, m_localMarks, m_localRows);
    FillList(m_ctlNetList, m_netMarks, m_netRows);
    return true;
}

void CReadMarkDlg::FillList(QTableWidget* list, MarkList& marks,
                            std::vector<MarkList::iterator>& rows) {
    rows.clear();
    list->setRowCount(0);
    for (auto it = marks.begin(); it != marks.end(); ++it) {
        const int row = list->rowCount();
        list->insertRow(row);
        list->setItem(row, 0,
                      Cell(QString::fromStdU16String(AnsiToWide(it->strBookName.c_str()).str())));
        list->setItem(row, 1, Cell(QString::number(it->nReadPage + 1)));
        list->setItem(row, 2, Cell(QString::number(it->nTotalPages)));
        rows.push_back(it);
    }
}

bool CReadMarkDlg::IsLocalRow(int row) const {
    return row >= 0 && static_cast<std::size_t>(row) < m_localMarks.size();
}

void CReadMarkDlg::OnBnClickedClear() {
    // Every saved place goes with the list: ask first.
    if (m_localMarks.empty() ||
        !AskYesNo(m_pDialog, QStringLiteral("要清空全部本地书签吗？各书的阅读进度将一并删除。"))) {
        return;
    }
    m_ctlLocalList->setRowCount(0);
    m_localMarks.clear();
    m_localRows.clear();
}

int CReadMarkDlg::OnDblclkLocalList(int nItem) {
    if (IsLocalRow(nItem)) {
        m_nSelItem = nItem;
        OpenMark(nItem);
    }
    return 0;
}

int CReadMarkDlg::OnDblclkNetList(int) {
    return 0;
}

int CReadMarkDlg::OnRclickLocalList(int nItem) {
    m_nSelItem = nItem;
    if (IsLocalRow(nItem)) {
        m_pPopupMenu = m_menuMark->actions().at(0)->menu();
        m_pDialog->activateWindow();
        m_pDialog->raise();
        // Not exec(): the commands arrive through the actions as the menu closes.
        m_pPopupMenu->popup(QCursor::pos());
    }
    return 0;
}

void CReadMarkDlg::OnMarkOpen() {
    OpenMark(m_nSelItem);
}

void CReadMarkDlg::OnMarkDelete() {
    if (!IsLocalRow(m_nSelItem)) {
        return;
    }
    const auto row = m_localRows.begin() + m_nSelItem;
    m_localMarks.erase(*row);
    m_localRows.erase(row);
    m_ctlLocalList->removeRow(m_nSelItem);
}

void CReadMarkDlg::OpenMark(int row) {
    if (!IsLocalRow(row)) {
        return;
    }
    const ReadMarkInfo& mark = *m_localRows[static_cast<std::size_t>(row)];
    const QString path = QString::fromStdU16String(AnsiToWide(mark.strFilePath.c_str()).str());
    struct stat info {};
    if (::stat(FsPathOfFile(path.toStdU16String()).c_str(), &info) != 0) {
        // Say why nothing opens, and offer to forget a bookmark that leads nowhere.
        if (AskYesNo(m_pDialog, QStringLiteral("这本书的文件已不在原处：\n%1").arg(path) +
                                    QStringLiteral("\n\n要删除这个书签吗？"))) {
            m_nSelItem = row;
            OnMarkDelete();
        }
        return;
    }
    m_chosen = mark;
    OnOK();
}

void CReadMarkDlg::OnOK() {
    m_pDialog->accept();
}
