#pragma once

#include <QList>
#include <QPixmap>
#include <QToolBar>

#include <array>

// Which image list SetImageListFromBitmap sets.
constexpr unsigned TB_SETIMAGELIST = 1072;         // normal buttons
constexpr unsigned TB_SETHOTIMAGELIST = 1076;      // the button under the mouse
constexpr unsigned TB_SETDISABLEDIMAGELIST = 1078; // disabled buttons

// A toolbar whose button images come from bitmap strips with a transparent colour, painted over
// a stretched background bitmap.
class CTrueColorToolBar : public QToolBar {
    Q_OBJECT
public:
    explicit CTrueColorToolBar(QWidget* parent = nullptr);

    // Slices bitmap `bitmapId` into images `imageWidth` wide and gives them to the buttons for the
    // state that `message` names (TB_SETIMAGELIST, TB_SETHOTIMAGELIST, TB_SETDISABLEDIMAGELIST).
    // false when the bitmap cannot be used; the images then stay as they were.
    virtual bool SetImageListFromBitmap(int imageWidth, unsigned message, int bitmapId);

    // The three lists from one strip, in the order normal, hot, disabled, stopping at the first
    // that fails. true when all three were set.
    bool SetImageListsFromBitmap(int imageWidth, int bitmapId);

    // Gives the buttons their images again in the program's palette now: in a dark palette they
    // are made fit for the dark bar.
    void RefreshForPalette();
    // The picture as the buttons show it in the program's palette now.
    static QPixmap ForPalette(const QPixmap& picture);

    // The images of one list, by position; empty until that list is set.
    const QList<QPixmap>& ImageList(unsigned message) const;

    // The picture painted behind the buttons.
    static constexpr int kBackgroundBitmap = 141;
    // An action property holding a QIcon: the picture of a button that lies past the end of the
    // strips (a button added later than the strip was drawn).
    static constexpr const char* kOwnPictureProperty = "ownPicture";

protected:
    void actionEvent(QActionEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    // Gives image n of every list to the n-th button (separators do not count).
    void ApplyImages();

    // Indexed by state: normal, hot, disabled.
    std::array<QList<QPixmap>, 3> m_imageLists;
    bool m_applying = false;
};
