#include "CTabView.h"

#include <QResizeEvent>

CTabView::CTabView(QGraphicsScene *pScene, QWidget *pParent) : QGraphicsView(pScene, pParent)
{
    setAcceptDrops(true);
    setMouseTracking(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setFrameShape(QFrame::NoFrame);
}

void CTabView::resizeEvent(QResizeEvent *pEvent)
{
    QGraphicsView::resizeEvent(pEvent);
    if (scene())
        scene()->setSceneRect(0, 0, width(), height());
}
