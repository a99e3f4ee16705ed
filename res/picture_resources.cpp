#include "res/picture_resources.h"

#include "res/dib_bitmap.h"
#include "res/resource.h"

#include <QBitmap>
#include <QFile>
#include <QPixmap>

#include <vector>

// The pictures live in a static library; naming its initialiser pulls them into every program
// that asks for one, whatever the linker would otherwise drop. (Q_INIT_RESOURCE cannot stand in
// a namespace.)
static void EnsurePicturesRegistered() {
    static const bool registered = [] {
        Q_INIT_RESOURCE(veska);
        return true;
    }();
    (void)registered;
}

QString BitmapResourcePath(int bitmapId) {
    EnsurePicturesRegistered();
    return QStringLiteral(":/bitmap/%1.bmp").arg(bitmapId);
}

QByteArray LoadBitmapResource(int bitmapId) {
    QFile file(BitmapResourcePath(bitmapId));
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return file.readAll();
}

QIcon LoadIconResource(int iconId) {
    EnsurePicturesRegistered();
    const char* name = iconId == IDR_MAINFRAME  ? "veska"
                       : iconId == IDI_TRAY     ? "veska-tray"
                       : iconId == IDI_ENCODING ? "encoding"
                                                : nullptr;
    if (name == nullptr) {
        return {};
    }
    static const std::vector<int> kProgramSizes = {16, 22, 24, 32, 48, 64, 128, 256};
    static const std::vector<int> kButtonSizes = {16, 32};
    QIcon icon;
    for (const int size : iconId == IDI_ENCODING ? kButtonSizes : kProgramSizes) {
        icon.addFile(QStringLiteral(":/icon/%1/%2.png").arg(QLatin1String(name)).arg(size),
                     QSize(size, size));
    }
    return icon;
}

QIcon LoadBitmapIcon(int bitmapId) {
    CDibBitmap bitmap;
    if (!bitmap.Load(LoadBitmapResource(bitmapId))) {
        return {};
    }
    QPixmap pixmap = QPixmap::fromImage(bitmap.Image());
    pixmap.setMask(pixmap.createMaskFromColor(QColor(Qt::white)));
    return QIcon(pixmap);
}
