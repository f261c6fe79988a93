#include "CTabItem.h"

#include "CTabScene.h"
#include "TabDragData.h"

#include <QFontMetricsF>
#include <QGraphicsScene>
#include <QGraphicsSceneDragDropEvent>
#include <QGraphicsSceneHoverEvent>
#include <QGraphicsSceneMouseEvent>
#include <QMimeData>
#include <QPainter>
#include <QPixmap>

namespace {
// What the strip holding the item takes; loose items take any tab.
bool StripAccepts(const QGraphicsItem *pItem, const QMimeData *pMime)
{
    const auto *pStrip = qobject_cast<const CTabScene *>(pItem->scene());
    return pStrip ? pStrip->AcceptsDrop(pMime) : TabDrag::IsAcceptable(pMime);
}
const char kSelectImage[] = ":/images/Tab/TabSelect.png";
const char kUnselectImage[] = ":/images/Tab/TabUnselect.png";
const char kCloseImage[] = ":/images/Tab/TabClose.png";
const char kCloseHoverImage[] = ":/images/Tab/TabCloseHover.png";
} // namespace

CTabItem::CTabItem(const QIcon &icon, const QString &strText, QGraphicsItem *pParent)
    : QGraphicsObject(pParent)
    , m_strText(strText)
    , m_icon(icon)
    , m_fWidth(WidthForText(strText))
{
    m_rectClose = QRectF(m_fWidth - 25, 2, 20, 20);
    setAcceptDrops(true);
    setAcceptHoverEvents(true);
}

QFont CTabItem::TabFont()
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSize(9);
    font.setBold(false);
    return font;
}

qreal CTabItem::WidthForText(const QString &strText)
{
    return QFontMetricsF(TabFont()).horizontalAdvance(strText) + 80;
}

QRectF CTabItem::boundingRect() const
{
    return QRectF(0, 0, m_fWidth, kHeight);
}

QRectF CTabItem::MarkerRect() const
{
    const qreal fEdge = m_bPutFront ? 0 : m_fWidth;
    return QRectF(fEdge - 1.5, -6, 3, 45);
}

void CTabItem::paint(QPainter *pPainter, const QStyleOptionGraphicsItem *, QWidget *)
{
    pPainter->save();
    pPainter->setPen(Qt::NoPen);

    const QPixmap background(QString::fromLatin1(m_bSelected ? kSelectImage : kUnselectImage));
    if (!background.isNull()) {
        pPainter->setBrush(QBrush(background));
        pPainter->drawRect(boundingRect().adjusted(1.5, 0, -1.5, 0));
    }

    if (m_bDragOver)
        pPainter->fillRect(MarkerRect(), QColor(0, 0, 255));

    if (!m_icon.isNull())
        m_icon.paint(pPainter, QRect(5, 2, 32, 32));

    pPainter->setFont(TabFont());
    pPainter->setPen(Qt::white);
    pPainter->drawText(QPointF(45, 25), m_strText);

    // The strip has the keyboard focus: its current tab says so.
    if (m_bSelected && scene() && scene()->hasFocus()) {
        pPainter->setPen(QPen(Qt::white, 1, Qt::DotLine));
        pPainter->setBrush(Qt::NoBrush);
        pPainter->drawRect(boundingRect().adjusted(4.5, 3.5, -30.5, -4.5));
    }

    const QRectF closeTarget(m_fWidth - 25, 2, 20, 20);
    if (m_bSelected) {
        const QPixmap close(QString::fromLatin1(kCloseImage));
        if (!close.isNull())
            pPainter->drawPixmap(closeTarget, close.scaled(20, 20, Qt::IgnoreAspectRatio, Qt::SmoothTransformation),
                                 QRectF(0, 0, 20, 20));
    }
    if (m_bCloseHover) {
        const QPixmap hover(QString::fromLatin1(kCloseHoverImage));
        if (!hover.isNull())
            pPainter->drawPixmap(closeTarget, hover.scaled(20, 20, Qt::IgnoreAspectRatio, Qt::SmoothTransformation),
                                 QRectF(0, 0, 20, 20));
    }
    pPainter->restore();
}

void CTabItem::SetSelected(bool bSelected)
{
    if (m_bSelected == bSelected)
        return;
    m_bSelected = bSelected;
    update();
}

void CTabItem::UpdateMarker()
{
    update();
    if (scene())
        scene()->update(mapRectToScene(MarkerRect()));
}

void CTabItem::SetDragOver(bool bDragOver)
{
    if (m_bDragOver == bDragOver)
        return;
    m_bDragOver = bDragOver;
    UpdateMarker();
}

void CTabItem::SetPutFront(bool bPutFront)
{
    if (m_bPutFront == bPutFront)
        return;
    // Clear the marker where it was before it moves to the other edge.
    UpdateMarker();
    m_bPutFront = bPutFront;
    UpdateMarker();
}

void CTabItem::SetCloseHover(bool bHover)
{
    if (m_bCloseHover == bHover)
        return;
    m_bCloseHover = bHover;
    update();
}

void CTabItem::mousePressEvent(QGraphicsSceneMouseEvent *pEvent)
{
    pEvent->accept();
    if (m_rectClose.contains(pEvent->pos())) {
        // The receiver may remove this tab: nothing touches it afterwards.
        emit SignalCloseTabItem();
        return;
    }
    SetSelected(true);
    update();
    emit SignalItemSelected();
}

void CTabItem::hoverEnterEvent(QGraphicsSceneHoverEvent *pEvent)
{
    SetCloseHover(m_rectClose.contains(pEvent->pos()));
}

void CTabItem::hoverMoveEvent(QGraphicsSceneHoverEvent *pEvent)
{
    SetCloseHover(m_rectClose.contains(pEvent->pos()));
}

void CTabItem::hoverLeaveEvent(QGraphicsSceneHoverEvent *)
{
    SetCloseHover(false);
}

void CTabItem::dragEnterEvent(QGraphicsSceneDragDropEvent *pEvent)
{
    if (!StripAccepts(this, pEvent->mimeData())) {
        pEvent->ignore();
        return;
    }
    SetDragOver(true);
    pEvent->setDropAction(Qt::MoveAction);
    pEvent->accept();
}

void CTabItem::dragMoveEvent(QGraphicsSceneDragDropEvent *pEvent)
{
    if (!StripAccepts(this, pEvent->mimeData())) {
        pEvent->ignore();
        return;
    }
    // Another item's leave may have cleared the mark after this tab's enter.
    SetDragOver(true);
    SetPutFront(!m_bPinned && pEvent->pos().x() < m_fWidth / 2);
    pEvent->setDropAction(Qt::MoveAction);
    pEvent->accept();
}

void CTabItem::dragLeaveEvent(QGraphicsSceneDragDropEvent *)
{
    SetDragOver(false);
}

void CTabItem::dropEvent(QGraphicsSceneDragDropEvent *pEvent)
{
    SetDragOver(false);
    if (!StripAccepts(this, pEvent->mimeData())) {
        pEvent->ignore();
        return;
    }
    pEvent->setDropAction(Qt::MoveAction);
    pEvent->accept();
    int iIndex = -1;
    TabDrag::DecodeData(pEvent->mimeData()->data(QString::fromLatin1(TabDrag::kDataFormat)), &iIndex, nullptr);
    emit SignalDragDropItem(iIndex, m_bPutFront);
}
