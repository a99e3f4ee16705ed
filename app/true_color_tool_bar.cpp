#include "app/true_color_tool_bar.h"

CTrueColorToolBar::CTrueColorToolBar(QWidget* parent) : QToolBar(parent) {}

bool CTrueColorToolBar::SetImageListFromBitmap(int, unsigned, int) {
    return false;
}
