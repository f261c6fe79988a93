// One tab of the strip: icon, text and a close button, drawn from the tab
// images. It reports clicks and drops to its scene, which owns the order.
#pragma once

#include <QFont>
#include <QGraphicsObject>
#include <QIcon>
#include <QString>

class CTabItem : public QGraphicsObject
{
    Q_OBJECT

public:
    // Key under which a tab keeps its page type (QGraphicsItem::data).
    static constexpr int kDataKey = 32;
    static constexpr qreal kHeight = 39;

    explicit CTabItem(const QIcon &icon, const QString &strText, QGraphicsItem *pParent = nullptr);

    QRectF boundingRect() const override;
    void paint(QPainter *pPainter, const QStyleOptionGraphicsItem *pOption, QWidget *pWidget) override;

    // Arial 9 pt, not bold: the font tab widths are measured in.
    static QFont TabFont();
    // Width of a tab showing this text: text width plus 80.
    static qreal WidthForText(const QString &strText);

    QString Text() const { return m_strText; }
    QIcon Icon() const { return m_icon; }
    qreal Width() const { return m_fWidth; }
    QRectF CloseArea() const { return m_rectClose; }

    bool IsSelected() const { return m_bSelected; }
    void SetSelected(bool bSelected);
    bool IsDragOver() const { return m_bDragOver; }
    void SetDragOver(bool bDragOver);
    bool IsPutFront() const { return m_bPutFront; }
    void SetPutFront(bool bPutFront);
    bool IsCloseHover() const { return m_bCloseHover; }
    bool IsPinned() const { return m_bPinned; }
    void SetPinned(bool bPinned) { m_bPinned = bPinned; }

signals:
    void SignalItemSelected();
    void SignalCloseTabItem();
    void SignalDragDropItem(int iDragItemIndex, bool bPutFront);

protected:
    void mousePressEvent(QGraphicsSceneMouseEvent *pEvent) override;
    void hoverEnterEvent(QGraphicsSceneHoverEvent *pEvent) override;
    void hoverMoveEvent(QGraphicsSceneHoverEvent *pEvent) override;
    void hoverLeaveEvent(QGraphicsSceneHoverEvent *pEvent) override;
    void dragEnterEvent(QGraphicsSceneDragDropEvent *pEvent) override;
    void dragMoveEvent(QGraphicsSceneDragDropEvent *pEvent) override;
    void dragLeaveEvent(QGraphicsSceneDragDropEvent *pEvent) override;
    void dropEvent(QGraphicsSceneDragDropEvent *pEvent) override;

private:
    void SetCloseHover(bool bHover);
    // The drop marker reaches beyond the tab's own rectangle.
    QRectF MarkerRect() const;
    void UpdateMarker();

    QString m_strText;
    QIcon m_icon;
    qreal m_fWidth = 80;
    QRectF m_rectClose;
    bool m_bSelected = false;
    bool m_bDragOver = false;
    bool m_bPutFront = false;
    bool m_bCloseHover = false;
    bool m_bPinned = false;
};
