#include "CArrowItem.h"

#include <QGraphicsSceneMouseEvent>
#include <QPainter>
#include <QPixmap>

CArrowItem::CArrowItem(QGraphicsItem *pParent) : QGraphicsObject(pParent)
{
    setAcceptHoverEvents(true);
}

QRectF CArrowItem::boundingRect() const
{
    return QRectF(0, 0, 17, 39);
}

void CArrowItem::paint(QPainter *pPainter, const QStyleOptionGraphicsItem *, QWidget *)
{
    pPainter->save();
    pPainter->setPen(Qt::NoPen);
    const QPixmap background(m_bHover ? QStringLiteral(":/images/Tab/TabSelect.png")
                                      : QStringLiteral(":/images/Tab/TabUnselect.png"));
    if (!background.isNull()) {
        pPainter->setBrush(QBrush(background));
        pPainter->drawRect(boundingRect());
    }
    const QPixmap detail(QStringLiteral(":/images/Tab/DetailBtn.png"));
    if (!detail.isNull())
        pPainter->drawPixmap(QPointF(2, 15), detail.scaled(13, 13, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    pPainter->restore();
}

void CArrowItem::mousePressEvent(QGraphicsSceneMouseEvent *pEvent)
{
    if (m_bMenuJustHidden && m_bMenuShown && (!m_clockHidden.isValid() || m_clockHidden.elapsed() > kClosingClickMs)) {
        // The menu went away earlier (Escape, a click elsewhere, or a
        // closing click this platform kept to itself): this click is a new
        // one and must open the menu.
        m_bMenuJustHidden = false;
        m_bMenuShown = false;
    }
    m_bPressed = true;
    pEvent->accept();
}

void CArrowItem::mouseReleaseEvent(QGraphicsSceneMouseEvent *)
{
    if (m_bMenuJustHidden && m_bMenuShown) {
        // This click closed the open menu; it must not open it again.
        m_bMenuJustHidden = false;
        m_bMenuShown = false;
        m_bPressed = false;
        return;
    }
    if (!m_bMenuShown && m_bPressed) {
        m_bMenuJustHidden = false;
        emit SignalArrowClicked();
        m_bMenuShown = true;
    }
    m_bPressed = false;
}

void CArrowItem::OnMenuHide()
{
    m_bMenuJustHidden = true;
    m_clockHidden.start();
    m_bHover = false;
    update();
}

void CArrowItem::hoverEnterEvent(QGraphicsSceneHoverEvent *)
{
    m_bHover = true;
    update();
}

void CArrowItem::hoverLeaveEvent(QGraphicsSceneHoverEvent *)
{
    m_bHover = false;
    update();
}
