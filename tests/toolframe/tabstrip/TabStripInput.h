// Mouse input for a tab strip's scene, shared by the strip's and the page
// frame's tests.
#pragma once

#include <QCoreApplication>
#include <QGraphicsScene>
#include <QGraphicsSceneMouseEvent>

#include "CTabItem.h"
#include "CTabScene.h"

// A point on a tab away from its close button.
inline QPointF OnTab(const CTabScene &scene, int iIndex, qreal fX = 20)
{
    return scene.TabItem(iIndex)->mapToScene(QPointF(fX, 20));
}

inline void SendMouse(QGraphicsScene &scene, QEvent::Type type, const QPointF &pos, const QPointF &last,
                      Qt::MouseButton button, Qt::MouseButtons buttons)
{
    QGraphicsSceneMouseEvent event(type);
    event.setScenePos(pos);
    event.setLastScenePos(last);
    event.setScreenPos(pos.toPoint());
    event.setLastScreenPos(last.toPoint());
    event.setButtonDownScenePos(Qt::LeftButton, pos);
    event.setButton(button);
    event.setButtons(buttons);
    QCoreApplication::sendEvent(&scene, &event);
}
