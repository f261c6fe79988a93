// The view that shows a tab scene in the frame's tab container. It keeps
// the scene rectangle equal to its own size and takes the keyboard focus
// (Tab), so the strip can be worked without a mouse.
#pragma once

#include <QGraphicsView>

class CTabView : public QGraphicsView
{
    Q_OBJECT

public:
    explicit CTabView(QGraphicsScene *pScene, QWidget *pParent = nullptr);

protected:
    void resizeEvent(QResizeEvent *pEvent) override;
    // With the keyboard focus, Left and Right (Home, End) choose the tab.
    void keyPressEvent(QKeyEvent *pEvent) override;
    void focusInEvent(QFocusEvent *pEvent) override;
    void focusOutEvent(QFocusEvent *pEvent) override;
};
