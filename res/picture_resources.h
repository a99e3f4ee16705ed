#pragma once

#include <QByteArray>
#include <QIcon>
#include <QString>

// The pictures compiled into the program (res/veska.qrc), found by their resource ids.

// The resource path of bitmap `bitmapId` (":/bitmap/<id>.bmp"); the file exists only for the ids
// of res/resource.h that name bitmaps.
QString BitmapResourcePath(int bitmapId);

// The bytes of bitmap `bitmapId`'s .bmp file; empty when there is no such bitmap.
QByteArray LoadBitmapResource(int bitmapId);

// Icon `iconId` (IDR_MAINFRAME: the program, IDI_TRAY: the tray, IDI_ENCODING: the
// encoding button) in all its sizes; a null icon for
// any other id.
QIcon LoadIconResource(int iconId);

// A toolbar picture of its own (a 24-bit bitmap whose white is transparent), as an icon; a null
// icon when there is no such bitmap.
QIcon LoadBitmapIcon(int bitmapId);
