#pragma once

#include <QtGlobal>

#include <memory>

class QApplication;
class QPixmap;
class QPoint;
class QRect;
class QSize;
class QSizeF;

// Windows' display scaling. Most laptops run at 125 % or 150 %: Windows then
// reports 120 or 144 logical dots per inch. Left to itself, Qt grows every
// font given in points by that much while fixed geometries and pixel sizes
// stay, so texts overrun the boxes made for them. Instead the whole window
// scales as one piece, by the factor Windows gives (1.25, not rounded to 1),
// with its pictures drawn at the screen's resolution. Call once, before the
// application object exists.
void followWindowsDisplayScaling();

// The scale of a window `windowSize` pixels of its own large on a screen
// whose work area (the screen less the task bar) is `workArea` pixels large
// and which Windows scales by `windowsScale`: Windows' own where the window
// fits, else the largest whole percent at which it fits, never below 100 %.
qreal fittingScale(const QSize& windowSize, const QSizeF& workArea, qreal windowsScale);

// The application object, following Windows' display scaling, except that
// the screen the window opens on (the primary one) is scaled by
// fittingScale, so that a window of `windowSize` never reaches under the
// task bar or beyond the screen. A scale that Qt's own variables set by hand
// is kept as it is.
std::unique_ptr<QApplication> openScaledApplication(int& argc, char** argv, const QSize& windowSize);

// Where a window of `size` opens in a screen's work area (the screen less the
// task bar): centred, and where it is as large as the area or larger, from
// the area's top-left corner, so that its title bar is never out of reach.
QPoint openingPosition(const QRect& workArea, const QSize& size);

// A picture shown `size` pixels of the window large, drawn at the screen's
// `ratio` of pixels to the window's: scaled down from a larger source, it
// stays sharp at 125 % and 150 % instead of being stretched.
QPixmap sharpPicture(const QPixmap& source, const QSize& size, qreal ratio);
