#pragma once

#include <QFont>
#include <QString>

// The reading font: `faceName` (a Windows face the book's reader names, which Linux rarely has,
// backed by the installed CJK face fontconfig picks for Simplified Chinese), thin, whose cell
// height (ascent + descent) is `height` pixels.
QFont ReaderFont(const QString& faceName, int height);
