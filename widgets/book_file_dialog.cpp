#include "widgets/book_file_dialog.h"

#include <QFileSystemModel>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QLocale>
#include <QMimeDatabase>
#include <QScreen>
#include <QTreeView>

namespace {

// Qt names sizes, file types and dates in the locale of the environment ("24 bytes", "Folder",
// "7 Dec" under C.UTF-8); the reader's interface is Chinese, so these columns follow the
// application's locale instead.
class CLocalisedFileColumns : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;

    QVariant data(const QModelIndex& index, int role) const override {
        const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
        if (role != Qt::DisplayRole || files == nullptr || index.column() < kSize) {
            return QIdentityProxyModel::data(index, role);
        }
        const QFileInfo info = files->fileInfo(mapToSource(index));
        if (index.column() == kSize) {
            if (info.isDir()) {
                return QString();
            }
            return info.size() < 1024 ? QStringLiteral(u"%1 字节").arg(info.size())
                                      : QLocale().formattedDataSize(
                                            info.size(), 1, QLocale::DataSizeTraditionalFormat);
        }
        if (index.column() == kModified) {
            return QLocale().toString(info.lastModified(), QStringLiteral("yyyy/M/d HH:mm"));
        }
        if (info.isDir()) {
            return QStringLiteral(u"文件夹");
        }
        return QMimeDatabase().mimeTypeForFile(info, QMimeDatabase::MatchExtension).comment();
    }

private:
    static constexpr int kSize = 1;
    static constexpr int kType = 2;
    static constexpr int kModified = 3;
};

} // namespace

CBookFileDialog::CBookFileDialog(QWidget* parent) : QFileDialog(parent) {
    setOption(QFileDialog::DontUseNativeDialog);
    setAcceptMode(QFileDialog::AcceptOpen);
    setFileMode(QFileDialog::ExistingFile);
    setProxyModel(new CLocalisedFileColumns(this));
    // Qt's default size cut the names and the dates.
    const QSize roomy(900, 600);
    const QScreen* screen = parent != nullptr ? parent->screen() : this->screen();
    resize(roomy.boundedTo(screen->availableGeometry().size()));
    if (auto* details = findChild<QTreeView*>(QStringLiteral("treeView"))) {
        QHeaderView* header = details->header();
        header->setStretchLastSection(false);
        header->setSectionResizeMode(0, QHeaderView::Stretch);
        const int em = fontMetrics().horizontalAdvance(u'中');
        header->resizeSection(1, em * 6);
        header->resizeSection(2, em * 8);
        header->resizeSection(3, em * 10);
    }
}
