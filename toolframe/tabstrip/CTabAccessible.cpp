#include "CTabAccessible.h"

#include <QAccessible>
#include <QAccessibleObject>
#include <QAccessibleWidget>
#include <QGraphicsView>
#include <QWidget>
#include <QWindow>

#include "CTabItem.h"
#include "CTabScene.h"
#include "CTabView.h"

namespace {

QGraphicsView *ViewOf(const CTabScene *pStrip)
{
    if (!pStrip)
        return nullptr;
    const QList<QGraphicsView *> views = pStrip->views();
    return views.isEmpty() ? nullptr : views.constFirst();
}

class CTabAccessible : public QAccessibleObject, public QAccessibleActionInterface
{
public:
    explicit CTabAccessible(CTabItem *pTab) : QAccessibleObject(pTab) {}

    CTabItem *Tab() const { return static_cast<CTabItem *>(object()); }
    CTabScene *Strip() const { return Tab() ? qobject_cast<CTabScene *>(Tab()->scene()) : nullptr; }
    QGraphicsView *View() const { return ViewOf(Strip()); }
    int Index() const
    {
        const CTabScene *pStrip = Strip();
        for (int i = 0; pStrip && i < pStrip->Count(); ++i)
            if (pStrip->TabItem(i) == Tab())
                return i;
        return -1;
    }

    // A tab taken off its strip (dragged out, closed) is gone for good.
    bool isValid() const override { return QAccessibleObject::isValid() && View() && Index() >= 0; }
    QWindow *window() const override
    {
        const QGraphicsView *pView = View();
        return pView ? pView->window()->windowHandle() : nullptr;
    }
    QAccessibleInterface *parent() const override
    {
        QGraphicsView *pView = View();
        return pView ? QAccessible::queryAccessibleInterface(pView) : nullptr;
    }
    QAccessibleInterface *child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    QAccessible::Role role() const override { return QAccessible::PageTab; }
    QString text(QAccessible::Text t) const override
    {
        return t == QAccessible::Name && Tab() ? Tab()->Text() : QString();
    }
    QRect rect() const override
    {
        const QGraphicsView *pView = View();
        if (!pView || !Tab())
            return QRect();
        const QRect local = pView->mapFromScene(Tab()->sceneBoundingRect()).boundingRect();
        return QRect(pView->viewport()->mapToGlobal(local.topLeft()), local.size());
    }
    QAccessible::State state() const override
    {
        QAccessible::State s;
        const QGraphicsView *pView = View();
        if (!Tab() || !pView)
            return s;
        s.focusable = true;
        s.selectable = true;
        s.selected = Tab()->IsSelected();
        s.focused = s.selected && pView->hasFocus();
        // Behind the overflow arrow: listed, but not on screen.
        s.invisible = !Tab()->isVisible() || !pView->isVisible();
        s.offscreen = s.invisible;
        return s;
    }
    void *interface_cast(QAccessible::InterfaceType t) override
    {
        return t == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface *>(this) : nullptr;
    }

    QStringList actionNames() const override { return {pressAction(), setFocusAction()}; }
    void doAction(const QString &strAction) override
    {
        CTabScene *pStrip = Strip();
        const int iIndex = Index();
        if (!pStrip || iIndex < 0)
            return;
        if (strAction == pressAction() || strAction == setFocusAction())
            pStrip->SetCurrentIndex(iIndex);
        if (strAction == setFocusAction())
            if (QGraphicsView *pView = View())
                pView->setFocus(Qt::OtherFocusReason);
    }
    QStringList keyBindingsForAction(const QString &) const override { return {}; }
};

class CTabStripAccessible : public QAccessibleWidget
{
public:
    explicit CTabStripAccessible(CTabView *pView) : QAccessibleWidget(pView, QAccessible::PageTabList) {}

    CTabScene *Strip() const { return qobject_cast<CTabScene *>(static_cast<QGraphicsView *>(widget())->scene()); }

    // The tabs only: the view's viewport and scroll bars are no part of it.
    int childCount() const override { return Strip() ? Strip()->Count() : 0; }
    QAccessibleInterface *child(int iIndex) const override
    {
        CTabItem *pTab = Strip() ? Strip()->TabItem(iIndex) : nullptr;
        return pTab ? QAccessible::queryAccessibleInterface(pTab) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface *pChild) const override
    {
        const CTabScene *pStrip = Strip();
        for (int i = 0; pChild && pStrip && i < pStrip->Count(); ++i)
            if (pStrip->TabItem(i) == pChild->object())
                return i;
        return -1;
    }
    QAccessibleInterface *focusChild() const override
    {
        return widget()->hasFocus() && Strip() ? child(Strip()->CurrentIndex()) : nullptr;
    }
    QAccessibleInterface *childAt(int x, int y) const override
    {
        const auto *pView = static_cast<QGraphicsView *>(widget());
        const QPointF scenePos = pView->mapToScene(pView->viewport()->mapFromGlobal(QPoint(x, y)));
        for (int i = 0; Strip() && i < Strip()->Count(); ++i) {
            CTabItem *pTab = Strip()->TabItem(i);
            if (pTab->isVisible() && pTab->sceneBoundingRect().contains(scenePos))
                return QAccessible::queryAccessibleInterface(pTab);
        }
        return nullptr;
    }
};

QAccessibleInterface *Factory(const QString &, QObject *pObject)
{
    if (auto *pView = qobject_cast<CTabView *>(pObject))
        return new CTabStripAccessible(pView);
    if (auto *pTab = qobject_cast<CTabItem *>(pObject))
        return new CTabAccessible(pTab);
    return nullptr;
}

void Send(QObject *pObject, QAccessible::Event type)
{
    QAccessibleEvent event(pObject, type);
    QAccessible::updateAccessibility(&event);
}

} // namespace

namespace TabStripAccessibility {

void Install()
{
    static const bool installed = [] {
        QAccessible::installFactory(&Factory);
        return true;
    }();
    Q_UNUSED(installed);
}

void TabCreated(CTabItem *pTab)
{
    if (ViewOf(qobject_cast<CTabScene *>(pTab->scene())))
        Send(pTab, QAccessible::ObjectCreated);
}

void TabRemoved(CTabItem *pTab)
{
    if (ViewOf(qobject_cast<CTabScene *>(pTab->scene())))
        Send(pTab, QAccessible::ObjectDestroyed);
}

void TabCurrent(CTabScene *pStrip, CTabItem *pTab)
{
    const QGraphicsView *pView = ViewOf(pStrip);
    if (!pView || !pTab)
        return;
    Send(pTab, QAccessible::Selection);
    if (pView->hasFocus())
        Send(pTab, QAccessible::Focus);
}

} // namespace TabStripAccessibility
