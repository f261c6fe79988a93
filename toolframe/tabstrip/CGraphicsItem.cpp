#include "CGraphicsItem.h"

#include "CTabScene.h"
#include "TabDragData.h"

#include <QGraphicsSceneDragDropEvent>
#include <QMimeData>

namespace {
// What the strip holding the item takes; loose items take any tab.
bool StripAccepts(const QGraphicsItem *pItem, const QMimeData *pMime)
{
    const auto *pStrip = qobject_cast<const CTabScene *>(pItem->scene());
    return pStrip ? pStrip->AcceptsDrop(pMime) : TabDrag::IsAcceptable(pMime);
}
// The strip's left margin takes no drops.
constexpr qreal kDeadZone = 20;
} // namespace

CGraphicsItem::CGraphicsItem(QGraphicsItem *pParent) : QGraphicsObject(pParent)
{
    setAcceptDrops(true);
}

QRectF CGraphicsItem::boundingRect() const
{
    return QRectF(0, 0, m_fWidth, 39);
}

void CGraphicsItem::paint(QPainter *, const QStyleOptionGraphicsItem *, QWidget *) {}

void CGraphicsItem::SetWidth(qreal fWidth)
{
    if (fWidth == m_fWidth)
        return;
    prepareGeometryChange();
    m_fWidth = fWidth;
}

void CGraphicsItem::dragEnterEvent(QGraphicsSceneDragDropEvent *pEvent)
{
    if (pEvent->pos().x() < kDeadZone || !StripAccepts(this, pEvent->mimeData())) {
        pEvent->ignore();
        return;
    }
    pEvent->setDropAction(Qt::MoveAction);
    pEvent->accept();
}

void CGraphicsItem::dragMoveEvent(QGraphicsSceneDragDropEvent *pEvent)
{
    if (pEvent->pos().x() < kDeadZone || !StripAccepts(this, pEvent->mimeData())) {
        pEvent->ignore();
        return;
    }
    emit SignalDragEnter();
    pEvent->setDropAction(Qt::MoveAction);
    pEvent->accept();
}

void CGraphicsItem::dragLeaveEvent(QGraphicsSceneDragDropEvent *)
{
    emit SignalDragLeave();
}

void CGraphicsItem::dropEvent(QGraphicsSceneDragDropEvent *pEvent)
{
    if (pEvent->pos().x() < kDeadZone || !StripAccepts(this, pEvent->mimeData())) {
        pEvent->ignore();
        return;
    }
    pEvent->setDropAction(Qt::MoveAction);
    pEvent->accept();
    int iIndex = -1;
    TabDrag::DecodeData(pEvent->mimeData()->data(QString::fromLatin1(TabDrag::kDataFormat)), &iIndex, nullptr);
    emit SignalDrop(iIndex);
}
