#pragma once

#include <QImage>

// A picture drawn for a light background, made fit for a dark one: the white around it (the
// corners of a picture on white) becomes transparent, the light fringe its edges were smoothed
// into is taken out of their colour, and very dark strokes, which vanish on a dark background,
// are lightened.
QImage NightPicture(const QImage& picture);
