// The overflow arrow at the right end of the strip; a click asks the scene
// to pop up the menu of all tabs.
#pragma once

#include <QElapsedTimer>
#include <QGraphicsObject>

class CTabScene;

class CArrowItem : public QGraphicsObject
{
    Q_OBJECT
    friend class CTabScene;

public:
    // A press this soon after the menu hid is the click that closed it
    // (passed on to the strip by platforms that replay that click).
    static constexpr qint64 kClosingClickMs = 150;

    explicit CArrowItem(QGraphicsItem *pParent = nullptr);

    QRectF boundingRect() const override;
    void paint(QPainter *pPainter, const QStyleOptionGraphicsItem *pOption, QWidget *pWidget) override;

    bool IsPressed() const { return m_bPressed; }
    bool IsHover() const { return m_bHover; }
    bool IsMenuShown() const { return m_bMenuShown; }
    bool IsMenuJustHidden() const { return m_bMenuJustHidden; }
    void SetMenuShown(bool bShown) { m_bMenuShown = bShown; }

signals:
    void SignalArrowClicked();

private slots:
    void OnMenuHide();

protected:
    void mousePressEvent(QGraphicsSceneMouseEvent *pEvent) override;
    void mouseReleaseEvent(QGraphicsSceneMouseEvent *pEvent) override;
    void hoverEnterEvent(QGraphicsSceneHoverEvent *pEvent) override;
    void hoverLeaveEvent(QGraphicsSceneHoverEvent *pEvent) override;

private:
    bool m_bPressed = false;
    bool m_bHover = false;
    bool m_bMenuShown = false;
    bool m_bMenuJustHidden = false;
    // When the menu last hid: only a press right after it can be the click
    // that closed the menu.
    QElapsedTimer m_clockHidden;
};
