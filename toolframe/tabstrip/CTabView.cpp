#include "CTabView.h"

#include <QKeyEvent>
#include <QResizeEvent>

#include "CTabAccessible.h"
#include "CTabScene.h"

CTabView::CTabView(QGraphicsScene *pScene, QWidget *pParent) : QGraphicsView(pScene, pParent)
{
    setAcceptDrops(true);
    setMouseTracking(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setFrameShape(QFrame::NoFrame);
    setFocusPolicy(Qt::TabFocus);
    TabStripAccessibility::Install();
    setAccessibleName(tr("Tabs"));
}

void CTabView::keyPressEvent(QKeyEvent *pEvent)
{
    auto *pStrip = qobject_cast<CTabScene *>(scene());
    if (!pStrip || pEvent->modifiers() & ~Qt::KeypadModifier) {
        QGraphicsView::keyPressEvent(pEvent);
        return;
    }
    switch (pEvent->key()) {
    case Qt::Key_Left: pStrip->StepCurrent(-1); break;
    case Qt::Key_Right: pStrip->StepCurrent(1); break;
    case Qt::Key_Home: pStrip->SetCurrentIndex(0); break;
    case Qt::Key_End: pStrip->SetCurrentIndex(pStrip->Count() - 1); break;
    default: QGraphicsView::keyPressEvent(pEvent); return;
    }
    pEvent->accept();
}

void CTabView::focusInEvent(QFocusEvent *pEvent)
{
    QGraphicsView::focusInEvent(pEvent);
    if (auto *pStrip = qobject_cast<CTabScene *>(scene())) {
        pStrip->update(); // the current tab shows the focus
        TabStripAccessibility::TabCurrent(pStrip, pStrip->TabItem(pStrip->CurrentIndex()));
    }
}

void CTabView::focusOutEvent(QFocusEvent *pEvent)
{
    QGraphicsView::focusOutEvent(pEvent);
    if (scene())
        scene()->update();
}

void CTabView::resizeEvent(QResizeEvent *pEvent)
{
    QGraphicsView::resizeEvent(pEvent);
    if (scene())
        scene()->setSceneRect(0, 0, width(), height());
}
