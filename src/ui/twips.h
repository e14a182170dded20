#pragma once

#include <QRect>

// Window metrics are designed in twips: 1440 to the inch, 15 to one
// device-independent pixel at 96 dots to the inch.
inline constexpr double kTwipsPerPixel = 15.0;

int twipsToPixels(double twips);
double pixelsToTwips(int pixels);
QRect twipsRect(double left, double top, double width, double height);
