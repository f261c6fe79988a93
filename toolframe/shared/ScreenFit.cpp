#include "ScreenFit.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace ScreenFit {

bool LargeEnough(const QScreen *pScreen)
{
    if (!pScreen)
        return false;
    const QSize device = (QSizeF(pScreen->size()) * pScreen->devicePixelRatio()).toSize();
    return device.width() >= kWindowSize.width() && device.height() >= kWindowSize.height();
}

const QScreen *ScreenOf(const QWidget *pWidget)
{
    const QScreen *s = pWidget ? pWidget->screen() : nullptr;
    return s ? s : QGuiApplication::primaryScreen();
}

QRect Available(const QWidget *pWidget)
{
    const QScreen *s = ScreenOf(pWidget);
    return s ? s->availableGeometry() : QRect(QPoint(0, 0), kWindowSize);
}

QSize Fitted(const QSize &want, const QRect &area)
{
    return want.boundedTo(area.size());
}

QPoint Centred(const QSize &size, const QRect &area)
{
    return area.topLeft() + QPoint((area.width() - size.width()) / 2, (area.height() - size.height()) / 2);
}

} // namespace ScreenFit
