// The view that shows a tab scene in the frame's tab container. It keeps
// the scene rectangle equal to its own size.
#pragma once

#include <QGraphicsView>

class CTabView : public QGraphicsView
{
    Q_OBJECT

public:
    explicit CTabView(QGraphicsScene *pScene, QWidget *pParent = nullptr);

protected:
    void resizeEvent(QResizeEvent *pEvent) override;
};
