#pragma once

class QWidget;

// On X11 gives a shown top-level window exactly its own title as its name (_NET_WM_NAME and
// WM_NAME), even an empty one: Qt puts the application's name there when a title is empty.
// Does nothing on other platforms or before the window exists.
void SetExactX11WindowTitle(QWidget* window);
