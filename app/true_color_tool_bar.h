#pragma once

#include <QToolBar>

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
    bool SetImageListFromBitmap(int imageWidth, unsigned message, int bitmapId);
};
