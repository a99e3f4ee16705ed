#include "app/true_color_tool_bar.h"

#include "res/dib_bitmap.h"
#include "res/picture_resources.h"
#include "widgets/night_picture.h"

#include <QAction>
#include <QActionEvent>
#include <QApplication>
#include <QIcon>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionToolBar>

namespace {

constexpr std::array<unsigned, 3> kMessages = {TB_SETIMAGELIST, TB_SETHOTIMAGELIST,
                                               TB_SETDISABLEDIMAGELIST};
constexpr std::array<QIcon::Mode, 3> kModes = {QIcon::Normal, QIcon::Active, QIcon::Disabled};

int StateOfMessage(unsigned message) {
    for (std::size_t i = 0; i < kMessages.size(); ++i) {
        if (kMessages[i] == message) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

// The strip cut from the left into images `imageWidth` wide and as high as the strip; every
// pixel of `transparent` becomes transparent. A remainder narrower than one image is dropped.
QList<QPixmap> SliceStrip(const QImage& strip, int imageWidth, QRgb transparent) {
    QList<QPixmap> images;
    const int count = strip.width() / imageWidth;
    for (int n = 0; n < count; ++n) {
        QImage image = strip.copy(n * imageWidth, 0, imageWidth, strip.height())
                           .convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < image.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                if (qRgb(qRed(line[x]), qGreen(line[x]), qBlue(line[x])) == transparent) {
                    line[x] = qRgba(0, 0, 0, 0);
                }
            }
        }
        images.append(QPixmap::fromImage(image));
    }
    return images;
}

} // namespace

CTrueColorToolBar::CTrueColorToolBar(QWidget* parent) : QToolBar(parent) {}

bool CTrueColorToolBar::SetImageListFromBitmap(int imageWidth, unsigned message, int bitmapId) {
    const int state = StateOfMessage(message);
    if (state < 0 || imageWidth <= 0) {
        return false;
    }
    CDibBitmap bitmap;
    if (!bitmap.Load(LoadBitmapResource(bitmapId))) {
        return false;
    }
    // The transparent colour is whatever the first three bytes of the pixel data say, read as
    // blue, green, red: the bottom-left pixel of a 24-bit strip, and white for the 8-bit strip
    // whose first pixels are palette index 255.
    const QByteArray& pixels = bitmap.Pixels();
    if (pixels.size() < 3) {
        return false;
    }
    const auto byteAt = [&pixels](int i) {
        return static_cast<int>(static_cast<uchar>(pixels[i]));
    };
    const QRgb transparent = qRgb(byteAt(2), byteAt(1), byteAt(0));

    QList<QPixmap> images = SliceStrip(bitmap.Image(), imageWidth, transparent);
    if (images.isEmpty()) {
        return false;
    }
    m_imageLists[static_cast<std::size_t>(state)] = std::move(images);
    if (message == TB_SETIMAGELIST) {
        setIconSize(QSize(imageWidth, bitmap.Height()));
    }
    ApplyImages();
    return true;
}

bool CTrueColorToolBar::SetImageListsFromBitmap(int imageWidth, int bitmapId) {
    return SetImageListFromBitmap(imageWidth, TB_SETIMAGELIST, bitmapId) &&
           SetImageListFromBitmap(imageWidth, TB_SETHOTIMAGELIST, bitmapId) &&
           SetImageListFromBitmap(imageWidth, TB_SETDISABLEDIMAGELIST, bitmapId);
}

const QList<QPixmap>& CTrueColorToolBar::ImageList(unsigned message) const {
    static const QList<QPixmap> none;
    const int state = StateOfMessage(message);
    return state < 0 ? none : m_imageLists[static_cast<std::size_t>(state)];
}

void CTrueColorToolBar::RefreshForPalette() {
    ApplyImages();
}

QPixmap CTrueColorToolBar::ForPalette(const QPixmap& picture) {
    // Drawn for the light bar; on the night bar their white fringes and dark strokes would show.
    if (QApplication::palette().color(QPalette::Window).lightness() >= 128) {
        return picture;
    }
    return QPixmap::fromImage(NightPicture(picture.toImage()));
}

void CTrueColorToolBar::ApplyImages() {
    if (m_imageLists[0].isEmpty() && m_imageLists[1].isEmpty() && m_imageLists[2].isEmpty()) {
        return; // no list set yet: leave whatever icons the actions came with
    }
    m_applying = true;
    qsizetype button = 0;
    for (QAction* action : actions()) {
        if (action->isSeparator()) {
            continue;
        }
        QIcon icon;
        for (std::size_t state = 0; state < m_imageLists.size(); ++state) {
            if (button < m_imageLists[state].size()) {
                icon.addPixmap(ForPalette(m_imageLists[state][button]), kModes[state]);
            }
        }
        // A button past the end of the strips shows nothing, unless it brings a picture of its
        // own (kOwnPictureProperty).
        if (icon.isNull()) {
            const QIcon own = action->property(kOwnPictureProperty).value<QIcon>();
            icon = own.isNull() ? own : QIcon(ForPalette(own.pixmap(iconSize())));
        }
        action->setIcon(icon);
        ++button;
    }
    m_applying = false;
}

void CTrueColorToolBar::actionEvent(QActionEvent* event) {
    QToolBar::actionEvent(event);
    // Images go by position, so a button added or removed after they were set moves the images
    // of the buttons after it.
    if (!m_applying &&
        (event->type() == QEvent::ActionAdded || event->type() == QEvent::ActionRemoved)) {
        ApplyImages();
    }
}

void CTrueColorToolBar::paintEvent(QPaintEvent* event) {
    // Loaded on every paint rather than kept: the picture is small and the bar repaints rarely.
    CDibBitmap background;
    if (!background.Load(LoadBitmapResource(kBackgroundBitmap))) {
        QToolBar::paintEvent(event); // the platform's own look rather than nothing
        return;
    }
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(rect(), background.Image());
    // The program's palette: a style sheet on the bar would keep its own copy.
    const QColor window = QApplication::palette().color(QPalette::Window);
    if (window.lightness() < 128) {
        // A dark palette (night mode): the picture shows through a shade of the window colour.
        QColor shade = window;
        shade.setAlpha(215);
        painter.fillRect(rect(), shade);
    }

    // The gripper still belongs to the bar.
    QStyleOptionToolBar option;
    initStyleOption(&option);
    option.rect = style()->subElementRect(QStyle::SE_ToolBarHandle, &option, this);
    if (option.rect.isValid()) {
        style()->drawPrimitive(QStyle::PE_IndicatorToolBarHandle, &option, &painter, this);
    }
}
