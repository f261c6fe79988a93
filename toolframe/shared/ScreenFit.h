// Window sizes against the screen: the size guard counts device pixels,
// so a screen scaled to 150 % or 200 % passes as long as it has the pixels;
// window sizes are logical and cut down to the screen's available area.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

class QScreen;
class QWidget;

namespace ScreenFit {

// The windows' own size, in logical pixels.
inline constexpr QSize kWindowSize(1024, 768);

// Whether the screen has at least kWindowSize device pixels.
bool LargeEnough(const QScreen *pScreen);
// The screen of a widget, or the primary one.
const QScreen *ScreenOf(const QWidget *pWidget);
// The available area of that screen.
QRect Available(const QWidget *pWidget);
// A size cut down to fit the area.
QSize Fitted(const QSize &want, const QRect &area);
// The top left that centres a window of that size in the area.
QPoint Centred(const QSize &size, const QRect &area);

} // namespace ScreenFit
