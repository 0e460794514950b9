#pragma once
// Screen geometry is stated in twips (1/1440 inch); widgets are placed in pixels.

#include <QRect>
#include <QWidget>
#include <cmath>

namespace tq {

/// Twips to pixels at the widget's logical horizontal resolution (15 twips a pixel at 96 dpi).
inline int twipsToPixels(double twips, const QWidget* widget) {
    const int dpi = widget ? widget->logicalDpiX() : 96;
    return static_cast<int>(std::lround(twips * dpi / 1440.0));
}

/// Pixels to twips at the widget's logical horizontal resolution.
inline double pixelsToTwips(int pixels, const QWidget* widget) {
    const int dpi = widget ? widget->logicalDpiX() : 96;
    return pixels * 1440.0 / dpi;
}

/// A rectangle given in twips (left, top, width, height), in pixels.
inline QRect twipsRect(double left, double top, double width, double height,
                       const QWidget* widget) {
    return QRect(twipsToPixels(left, widget), twipsToPixels(top, widget),
                 twipsToPixels(width, widget), twipsToPixels(height, widget));
}

}  // namespace tq
