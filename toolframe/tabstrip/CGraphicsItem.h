// The drop zone behind the tabs: takes tabs dropped beside the last one.
#pragma once

#include <QGraphicsObject>

class CGraphicsItem : public QGraphicsObject
{
    Q_OBJECT

public:
    explicit CGraphicsItem(QGraphicsItem *pParent = nullptr);

    QRectF boundingRect() const override;
    void paint(QPainter *pPainter, const QStyleOptionGraphicsItem *pOption, QWidget *pWidget) override;

    void SetWidth(qreal fWidth);

signals:
    void SignalDragEnter();
    void SignalDrop(int iDragItemIndex);
    // Lets the scene take back the mark it put on the last tab.
    void SignalDragLeave();

protected:
    void dragEnterEvent(QGraphicsSceneDragDropEvent *pEvent) override;
    void dragMoveEvent(QGraphicsSceneDragDropEvent *pEvent) override;
    void dragLeaveEvent(QGraphicsSceneDragDropEvent *pEvent) override;
    void dropEvent(QGraphicsSceneDragDropEvent *pEvent) override;

private:
    qreal m_fWidth = 0;
};
