#include "widgets/book_file_dialog.h"

#include <QAbstractProxyModel>
#include <QApplication>
#include <QFile>
#include <QFileSystemModel>
#include <QLocale>
#include <QRegularExpression>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

QApplication& App() {
    static int argc = 1;
    static char name[] = "widgets_tests";
    static char* argv[] = {name, nullptr};
    static QApplication app(argc, argv);
    return app;
}

// The reader's locale is Chinese whatever the environment's (the tests run under C): sizes, types
// and dates in the dialog's columns follow it, and the dialog is roomy enough for them.
TEST(BookFileDialogTest, ColumnsFollowTheReadersLocaleAndTheDialogIsRoomy) {
    App();
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::pair<const char*, int> files[] = {{"短.txt", 24}, {"长.txt", 3000}};
    for (const auto& [name, size] : files) {
        QFile file(dir.filePath(QString::fromUtf8(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(size, 'x'));
    }
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral(u"武侠")));

    CBookFileDialog dialog(nullptr);
    dialog.setDirectory(dir.path());
    QAbstractProxyModel* view = dialog.proxyModel();
    ASSERT_NE(view, nullptr);
    auto* source = qobject_cast<QFileSystemModel*>(view->sourceModel());
    ASSERT_NE(source, nullptr);
    const QModelIndex root = view->mapFromSource(source->index(dir.path()));
    QTRY_COMPARE(view->rowCount(root), 3);
    const auto shown = [&](const QString& name, int column) {
        const QModelIndex row = view->mapFromSource(source->index(dir.filePath(name)));
        return view->index(row.row(), column, root).data().toString();
    };
    EXPECT_EQ(shown(QStringLiteral(u"短.txt"), 1), QStringLiteral(u"24 字节"));
    EXPECT_EQ(shown(QStringLiteral(u"长.txt"), 1), QStringLiteral("2.9 kB"));
    EXPECT_EQ(shown(QStringLiteral(u"武侠"), 2), QStringLiteral(u"文件夹"));
    EXPECT_GT(shown(QStringLiteral(u"短.txt"), 2).at(0).unicode(), 0x2E80) << "a Chinese type";
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d{4}/\\d{1,2}/\\d{1,2} \\d\\d:\\d\\d$"))
                    .match(shown(QStringLiteral(u"短.txt"), 3))
                    .hasMatch());

    const QSize screen = dialog.screen()->availableGeometry().size();
    EXPECT_EQ(dialog.size(), QSize(900, 600).boundedTo(screen));
}

} // namespace
