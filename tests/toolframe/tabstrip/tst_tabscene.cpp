// The tab strip: layout, overflow, pinning, selection, wheel, reordering,
// dragging out and dropping in, driven through scene and view events.
#include "CArrowItem.h"
#include "CGraphicsItem.h"
#include "CTabItem.h"
#include "CTabScene.h"
#include "CTabView.h"
#include "TabDragData.h"
#include "TabStripInput.h"

#include <QAccessible>
#include <QAction>
#include <QFontMetricsF>
#include <QGraphicsSceneDragDropEvent>
#include <QGraphicsSceneMouseEvent>
#include <QGraphicsSceneWheelEvent>
#include <QMenu>
#include <QMimeData>
#include <QSignalSpy>
#include <QtTest>
#include <private/qguiapplication_p.h>
#include <qpa/qplatformaccessibility.h>
#include <qpa/qplatformintegration.h>

#include <memory>

namespace {

const QStringList kTexts = {"Alpha", "Beta", "Gamma", "Delta"};

// Scene whose outgoing drags are recorded instead of run by a window system.
class RecordingScene : public CTabScene
{
public:
    Qt::DropAction result = Qt::IgnoreAction;
    int iDrags = 0;
    QByteArray data;
    QString strText;
    QSize pixmapSize;

protected:
    Qt::DropAction ExecTabDrag(QMimeData *pMime, const QPixmap &pixmap, QObject *) override
    {
        ++iDrags;
        data = pMime->data("TabItemData");
        strText = QString::fromUtf8(pMime->data("TabItemText"));
        pixmapSize = pixmap.size();
        delete pMime;
        return result;
    }
};

qreal ExpectedWidth(const QString &strText)
{
    QFont font("Arial");
    font.setPointSize(9);
    return QFontMetricsF(font).horizontalAdvance(strText) + 80;
}

// A strip with room for "Alpha" and any one of the other three tabs.
qreal TwoTabWidth()
{
    return 32 + ExpectedWidth("Alpha")
           + std::max({ExpectedWidth("Beta"), ExpectedWidth("Gamma"), ExpectedWidth("Delta")}) + 1;
}

// Tabs get the page types 1, 2, 3, ...
void Fill(CTabScene &scene, const QStringList &texts = kTexts)
{
    for (int i = 0; i < texts.size(); ++i)
        scene.InsertTab(-1, QIcon(), texts.at(i), i + 1);
}

QStringList Texts(const CTabScene &scene)
{
    QStringList out;
    for (int i = 0; i < scene.Count(); ++i)
        out << scene.TabText(i);
    return out;
}

int SelectedCount(const CTabScene &scene)
{
    int n = 0;
    for (int i = 0; i < scene.Count(); ++i)
        n += scene.TabItem(i)->IsSelected() ? 1 : 0;
    return n;
}

// Press at `from`, move by `dx` in `steps` equal steps with the left button
// held, then release unless told not to.
void DragMouse(QGraphicsScene &scene, QPointF from, qreal dx, int steps, bool bRelease = true)
{
    SendMouse(scene, QEvent::GraphicsSceneMousePress, from, from, Qt::LeftButton, Qt::LeftButton);
    QPointF pos = from;
    for (int i = 0; i < steps; ++i) {
        const QPointF next = pos + QPointF(dx / steps, 0);
        SendMouse(scene, QEvent::GraphicsSceneMouseMove, next, pos, Qt::NoButton, Qt::LeftButton);
        pos = next;
    }
    if (bRelease)
        SendMouse(scene, QEvent::GraphicsSceneMouseRelease, pos, pos, Qt::LeftButton, Qt::NoButton);
}

void SendWheel(QGraphicsScene &scene, int iDelta)
{
    QGraphicsSceneWheelEvent event(QEvent::GraphicsSceneWheel);
    event.setScenePos(QPointF(30, 20));
    event.setDelta(iDelta);
    event.setOrientation(Qt::Vertical);
    QCoreApplication::sendEvent(&scene, &event);
}

struct DragResult {
    bool bAccepted = false;
    Qt::DropAction action = Qt::IgnoreAction;
};

DragResult SendDrag(QGraphicsScene &scene, QEvent::Type type, const QPointF &pos, const QMimeData *pMime)
{
    QGraphicsSceneDragDropEvent event(type);
    event.setScenePos(pos);
    event.setScreenPos(pos.toPoint());
    event.setMimeData(pMime);
    event.setButtons(Qt::LeftButton);
    event.setPossibleActions(Qt::MoveAction);
    event.setProposedAction(Qt::MoveAction);
    event.setDropAction(Qt::MoveAction);
    QCoreApplication::sendEvent(&scene, &event);
    return {event.isAccepted(), event.dropAction()};
}

// A whole drag from another strip: enter, move and drop at one point.
DragResult DropAt(QGraphicsScene &scene, const QPointF &pos, const QMimeData *pMime)
{
    SendDrag(scene, QEvent::GraphicsSceneDragEnter, pos, pMime);
    SendDrag(scene, QEvent::GraphicsSceneDragMove, pos, pMime);
    return SendDrag(scene, QEvent::GraphicsSceneDrop, pos, pMime);
}

std::unique_ptr<QMimeData> TabMime(int iIndex, int iType, const QString &strText)
{
    return std::unique_ptr<QMimeData>(TabDrag::BuildMimeData(iIndex, iType, strText, QIcon()));
}

QList<int> Ints(const QSignalSpy &spy, int iArg = 0)
{
    QList<int> out;
    for (const QList<QVariant> &args : spy)
        out << args.at(iArg).toInt();
    return out;
}

} // namespace

class TestTabScene : public QObject
{
    Q_OBJECT

private slots:
    void layoutPlacesTabsByTextWidth();
    void overflowHidesTabsBehindArrow();
    void menuBringsHiddenTabForward();
    void tooNarrowSceneLaysOutNothing();
    void removingSelectsLeftNeighbour();
    void pinningMovesBehindPinnedTabs();
    void setCurrentIndex();
    void wheelStopsAtTheEnds();
    void clicksSelectAndClose();
    void reorderByDragging();
    void pinnedTabsStayPut();
    void dragOutRemovesTabAndReports();
    void dragOutIgnoresPinnedAndUnpressed();
    void dropFromAnotherStrip();
    void refusedDrops();
    void arrowClickOpensMenuOnce();
    void keysAndScreenReaders();
};

void TestTabScene::layoutPlacesTabsByTextWidth()
{
    CTabScene scene;
    scene.setSceneRect(0, 0, 1000, 42);
    const QStringList texts = {"Control panel", "A", "A much longer tool name"};
    Fill(scene, texts);

    QCOMPARE(scene.Count(), 3);
    QCOMPARE(scene.VisibleCount(), 3);
    qreal fX = 5;
    for (int i = 0; i < 3; ++i) {
        CTabItem *pTab = scene.TabItem(i);
        const qreal fWidth = ExpectedWidth(texts.at(i));
        QCOMPARE(pTab->boundingRect(), QRectF(0, 0, fWidth, 39));
        QCOMPARE(pTab->CloseArea(), QRectF(fWidth - 25, 2, 20, 20));
        QCOMPARE(pTab->pos(), QPointF(fX, 2));
        QVERIFY(pTab->isVisible());
        QCOMPARE(scene.TabData(i), QVariant(i + 1));
        fX += fWidth;
    }
    QVERIFY(!scene.ArrowItem()->isVisible());
    QCOMPARE(scene.VisibleOrder(), QList<int>({0, 1, 2}));
    QCOMPARE(scene.DropZone()->boundingRect(), QRectF(0, 0, 1000, 39));

    // The menu lists every tab with its index.
    QVERIFY(scene.OverflowMenu());
    const QList<QAction *> actions = scene.OverflowMenu()->actions();
    QCOMPARE(actions.size(), 3);
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(actions.at(i)->text(), texts.at(i));
        QCOMPARE(actions.at(i)->data(), QVariant(i));
    }

    // Inserting before a tab shifts the later ones; a bad index appends.
    QCOMPARE(scene.InsertTab(1, QIcon(), "B", 9), 1);
    QCOMPARE(scene.InsertTab(17, QIcon(), "Z", 10), 4);
    QCOMPARE(scene.InsertTab(-2, QIcon(), "Y", 11), 5);
    QCOMPARE(Texts(scene), QStringList({"Control panel", "B", "A", "A much longer tool name", "Z", "Y"}));
    QCOMPARE(scene.TabItem(2)->pos().x(), 5 + ExpectedWidth("Control panel") + ExpectedWidth("B"));
    QCOMPARE(scene.TabData(42), QVariant());
    QCOMPARE(scene.TabText(-1), QString());
}

void TestTabScene::overflowHidesTabsBehindArrow()
{
    CTabScene scene;
    // Room for exactly the first two tabs.
    const qreal fWidth = TwoTabWidth();
    scene.setSceneRect(0, 0, fWidth, 42);
    Fill(scene);

    QCOMPARE(scene.VisibleCount(), 2);
    QVERIFY(scene.TabItem(0)->isVisible());
    QVERIFY(scene.TabItem(1)->isVisible());
    QVERIFY(!scene.TabItem(2)->isVisible());
    QVERIFY(!scene.TabItem(3)->isVisible());
    QVERIFY(scene.ArrowItem()->isVisible());
    QCOMPARE(scene.ArrowItem()->pos(), QPointF(fWidth - 22, 2));
    QCOMPARE(scene.ArrowItem()->boundingRect(), QRectF(0, 0, 17, 39));
    QCOMPARE(scene.OverflowMenu()->actions().size(), 4);
    QCOMPARE(scene.OverflowMenu()->actions().at(3)->text(), QString("Delta"));

    // The current tab can never be a hidden one.
    QCOMPARE(scene.CurrentIndex(), -1);
    scene.SetCurrentIndex(1);
    QCOMPARE(scene.CurrentIndex(), 1);

    // Widening shows everything and drops the arrow.
    scene.setSceneRect(0, 0, 2000, 42);
    QCOMPARE(scene.VisibleCount(), 4);
    QVERIFY(scene.TabItem(3)->isVisible());
    QVERIFY(!scene.ArrowItem()->isVisible());
}

void TestTabScene::menuBringsHiddenTabForward()
{
    CTabScene scene;
    scene.setSceneRect(0, 0, TwoTabWidth(), 42);
    Fill(scene);
    scene.SetTabPinned(0, true);
    scene.SetCurrentIndex(0);
    scene.ArrowItem()->SetMenuShown(true);

    QSignalSpy moved(&scene, &CTabScene::SignalTabMoved);
    QSignalSpy current(&scene, &CTabScene::SignalCurrentChanged);
    scene.OverflowMenu()->actions().at(3)->trigger(); // "Delta", hidden

    QCOMPARE(moved.size(), 1);
    QCOMPARE(moved.at(0), QList<QVariant>({3, 1}));
    QCOMPARE(Texts(scene), QStringList({"Alpha", "Delta", "Beta", "Gamma"}));
    QCOMPARE(scene.CurrentIndex(), 1);
    QVERIFY(scene.TabItem(1)->IsSelected());
    QCOMPARE(SelectedCount(scene), 1);
    QVERIFY(scene.TabItem(1)->isVisible());
    QVERIFY(!current.isEmpty());
    QCOMPARE(current.last().at(0).toInt(), 1);
    QVERIFY(!scene.ArrowItem()->IsMenuShown());
    // The menu was rebuilt in the new order.
    QCOMPARE(scene.OverflowMenu()->actions().at(1)->text(), QString("Delta"));

    // A visible entry just selects its tab.
    moved.clear();
    scene.OverflowMenu()->actions().at(0)->trigger();
    QCOMPARE(scene.CurrentIndex(), 0);
    QVERIFY(moved.isEmpty());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void TestTabScene::tooNarrowSceneLaysOutNothing()
{
    CTabScene scene;
    scene.setSceneRect(0, 0, 31, 42);
    Fill(scene);
    QCOMPARE(scene.VisibleCount(), -1);
    QVERIFY(!scene.OverflowMenu());
    QCOMPARE(scene.TabItem(1)->pos(), QPointF(0, 0));

    // Selection still works before the first layout.
    QSignalSpy current(&scene, &CTabScene::SignalCurrentChanged);
    scene.SetCurrentIndex(2);
    QCOMPARE(scene.CurrentIndex(), 2);
    QCOMPARE(Ints(current), QList<int>({2}));
    scene.RemoveTab(2);
    QCOMPARE(scene.CurrentIndex(), 1);

    // Exactly 32 leaves no room at all: everything goes behind the arrow.
    scene.setSceneRect(0, 0, 32, 42);
    QCOMPARE(scene.VisibleCount(), 0);
    QVERIFY(scene.ArrowItem()->isVisible());
    QCOMPARE(scene.OverflowMenu()->actions().size(), 3);
}

void TestTabScene::removingSelectsLeftNeighbour()
{
    CTabScene scene;
    scene.setSceneRect(0, 0, 1000, 42);
    Fill(scene);
    scene.SetCurrentIndex(2);

    QSignalSpy current(&scene, &CTabScene::SignalCurrentChanged);
    scene.RemoveTab(2); // the current one
    QCOMPARE(Texts(scene), QStringList({"Alpha", "Beta", "Delta"}));
    QCOMPARE(scene.CurrentIndex(), 1);
    QCOMPARE(scene.CurrentPageType(), 2);
    QCOMPARE(Ints(current), QList<int>({1}));
    QVERIFY(scene.TabItem(1)->IsSelected());
    QCOMPARE(SelectedCount(scene), 1);
    // The gap is closed.
    QCOMPARE(scene.TabItem(2)->pos().x(), 5 + ExpectedWidth("Alpha") + ExpectedWidth("Beta"));

    scene.RemoveTab(2); // right of the current one
    QCOMPARE(scene.CurrentIndex(), 1);
    QCOMPARE(scene.TabText(1), QString("Beta"));

    scene.RemoveTab(0); // left of the current one: the same tab stays current
    QCOMPARE(scene.CurrentIndex(), 0);
    QCOMPARE(scene.TabText(0), QString("Beta"));
    QVERIFY(scene.TabItem(0)->IsSelected());

    scene.InsertTab(-1, QIcon(), "Epsilon", 5);
    scene.SetTabPinned(0, true);
    scene.RemoveTab(0); // the first one: the next becomes current
    QCOMPARE(scene.PinnedCount(), 0);
    QCOMPARE(scene.CurrentIndex(), 0);
    QCOMPARE(scene.TabText(0), QString("Epsilon"));

    scene.RemoveTab(5);
    scene.RemoveTab(-1);
    QCOMPARE(scene.Count(), 1);

    scene.RemoveTab(0);
    QCOMPARE(scene.Count(), 0);
    QCOMPARE(scene.CurrentIndex(), -1);
    QCOMPARE(scene.CurrentPageType(), -1);
    QVERIFY(!scene.DraggedData().isValid());
    // An empty strip ignores the wheel and selection.
    SendWheel(scene, -120);
    scene.SetCurrentIndex(0);
    QCOMPARE(scene.CurrentIndex(), -1);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void TestTabScene::pinningMovesBehindPinnedTabs()
{
    CTabScene scene;
    scene.setSceneRect(0, 0, 1000, 42);
    Fill(scene);
    scene.SetCurrentIndex(2); // "Gamma"

    QSignalSpy moved(&scene, &CTabScene::SignalTabMoved);
    scene.SetTabPinned(0, true);
    QCOMPARE(scene.PinnedCount(), 1);
    QVERIFY(scene.IsTabPinned(0));
    QVERIFY(moved.isEmpty());

    scene.SetTabPinned(0, true); // already pinned: nothing changes
    QCOMPARE(scene.PinnedCount(), 1);

    scene.SetTabPinned(2, true);
    QCOMPARE(moved.size(), 1);
    QCOMPARE(moved.at(0), QList<QVariant>({2, 1}));
    QCOMPARE(Texts(scene), QStringList({"Alpha", "Gamma", "Beta", "Delta"}));
    QCOMPARE(scene.PinnedCount(), 2);
    // The selection stays on the tab that was selected.
    QCOMPARE(scene.CurrentIndex(), 1);
    QCOMPARE(scene.TabText(scene.CurrentIndex()), QString("Gamma"));
    QCOMPARE(scene.TabItem(1)->pos().x(), 5 + ExpectedWidth("Alpha"));

    scene.SetTabPinned(1, false); // unpinning moves nothing
    QCOMPARE(scene.PinnedCount(), 1);
    QVERIFY(!scene.IsTabPinned(1));
    QCOMPARE(moved.size(), 1);
    QCOMPARE(Texts(scene), QStringList({"Alpha", "Gamma", "Beta", "Delta"}));

    scene.SetTabPinned(1, false);
    scene.SetTabPinned(7, true);
    QCOMPARE(scene.PinnedCount(), 1);
}

void TestTabScene::setCurrentIndex()
{
    CTabScene scene;
    scene.setSceneRect(0, 0, TwoTabWidth(), 42);
    Fill(scene);
    scene.SetCurrentIndex(1);

    QSignalSpy current(&scene, &CTabScene::SignalCurrentChanged);
    QSignalSpy moved(&scene, &CTabScene::SignalTabMoved);
    scene.SetCurrentIndex(1);
    scene.SetCurrentIndex(-1);
    scene.SetCurrentIndex(4);
    QVERIFY(current.isEmpty());

    // Hidden, no pinned tabs: it comes to the very front.
    scene.SetCurrentIndex(2);
    QCOMPARE(moved.size(), 1);
    QCOMPARE(moved.at(0), QList<QVariant>({2, 0}));
    QCOMPARE(Texts(scene), QStringList({"Gamma", "Alpha", "Beta", "Delta"}));
    QCOMPARE(scene.CurrentIndex(), 0);
    QCOMPARE(scene.CurrentPageType(), 3);
    QCOMPARE(Ints(current).last(), 0);
}

void TestTabScene::wheelStopsAtTheEnds()
{
    CTabScene scene;
    scene.setSceneRect(0, 0, TwoTabWidth(), 42);
    Fill(scene);
    scene.SetCurrentIndex(0);

    QSignalSpy current(&scene, &CTabScene::SignalCurrentChanged);
    SendWheel(scene, 120); // up on the first tab
    QCOMPARE(scene.CurrentIndex(), 0);
    QVERIFY(current.isEmpty());

    SendWheel(scene, -120);
    QCOMPARE(scene.CurrentIndex(), 1);
    SendWheel(scene, -120); // the last visible tab: the hidden ones are not reached
    QCOMPARE(scene.CurrentIndex(), 1);
    QCOMPARE(Texts(scene), QStringList(kTexts));
    SendWheel(scene, 0); // zero counts as down
    QCOMPARE(scene.CurrentIndex(), 1);
    SendWheel(scene, 120);
    QCOMPARE(scene.CurrentIndex(), 0);
    QCOMPARE(Ints(current), QList<int>({1, 0}));
}

void TestTabScene::clicksSelectAndClose()
{
    CTabScene scene;
    CTabView view(&scene);
    view.resize(600, 42);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QCOMPARE(scene.sceneRect(), QRectF(0, 0, 600, 42));
    QVERIFY(view.acceptDrops());
    QCOMPARE(view.horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    QCOMPARE(view.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    Fill(scene, {"Alpha", "Beta", "Gamma"});
    scene.SetCurrentIndex(0);

    auto toView = [&](const QPointF &scenePos) { return view.mapFromScene(scenePos); };
    QSignalSpy current(&scene, &CTabScene::SignalCurrentChanged);
    QSignalSpy closing(&scene, &CTabScene::SignalTabAboutToClose);

    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, toView(OnTab(scene, 1)));
    QCOMPARE(scene.CurrentIndex(), 1);
    QCOMPARE(Ints(current), QList<int>({1}));
    QCOMPARE(SelectedCount(scene), 1);
    QVERIFY(closing.isEmpty());

    // The close area of an unselected tab: asks to close, selects nothing.
    CTabItem *pGamma = scene.TabItem(2);
    const QPointF closePoint = pGamma->mapToScene(pGamma->CloseArea().center());
    QTest::mouseMove(view.viewport(), toView(OnTab(scene, 2)));
    QTRY_VERIFY(!pGamma->IsCloseHover());
    QTest::mouseMove(view.viewport(), toView(closePoint));
    QTRY_VERIFY(pGamma->IsCloseHover());
    QTest::mouseMove(view.viewport(), toView(OnTab(scene, 2)));
    QTRY_VERIFY(!pGamma->IsCloseHover());

    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, toView(closePoint));
    QCOMPARE(Ints(closing), QList<int>({2}));
    QCOMPARE(scene.Count(), 3); // the frame decides
    QCOMPARE(scene.CurrentIndex(), 1);
    QVERIFY(!pGamma->IsSelected());

    // The frame's answer removes the tab inside its own click.
    connect(&scene, &CTabScene::SignalTabAboutToClose, &scene, &CTabScene::RemoveTab);
    CTabItem *pBeta = scene.TabItem(1);
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, toView(pBeta->mapToScene(pBeta->CloseArea().center())));
    QCOMPARE(Texts(scene), QStringList({"Alpha", "Gamma"}));
    QCOMPARE(scene.CurrentIndex(), 0);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    // Another click after the removal still works.
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, toView(OnTab(scene, 1)));
    QCOMPARE(scene.CurrentIndex(), 1);

    // The view keeps the scene as wide as itself.
    view.resize(300, 42);
    QTRY_COMPARE(scene.sceneRect(), QRectF(0, 0, 300, 42));
}

void TestTabScene::reorderByDragging()
{
    CTabScene scene;
    scene.setSceneRect(0, 0, 1000, 42);
    Fill(scene);
    scene.SetTabPinned(0, true);

    QSignalSpy moved(&scene, &CTabScene::SignalTabMoved);
    QSignalSpy current(&scene, &CTabScene::SignalCurrentChanged);

    // Drag "Beta" right past "Gamma" but not as far as "Delta".
    const qreal fBeta = ExpectedWidth("Beta");
    const int steps = int(std::ceil(fBeta / 10));
    DragMouse(scene, OnTab(scene, 1), steps * 10.0, steps, false);
    QCOMPARE(scene.VisibleOrder(), QList<int>({0, 2, 1, 3}));
    QCOMPARE(scene.TabItem(1)->zValue(), 65535.0);
    QCOMPARE(scene.TabItem(2)->x(), 5 + ExpectedWidth("Alpha")); // slid into Beta's place
    QVERIFY(moved.isEmpty());                                    // nothing final before the release
    SendMouse(scene, QEvent::GraphicsSceneMouseRelease, OnTab(scene, 1), OnTab(scene, 1), Qt::LeftButton, Qt::NoButton);

    QCOMPARE(moved.size(), 1);
    QCOMPARE(moved.at(0), QList<QVariant>({2, 1}));
    QCOMPARE(Texts(scene), QStringList({"Alpha", "Gamma", "Beta", "Delta"}));
    QCOMPARE(scene.CurrentIndex(), 2);
    QCOMPARE(scene.TabText(2), QString("Beta"));
    QCOMPARE(Ints(current).last(), 2);
    QCOMPARE(scene.TabItem(2)->pos(), QPointF(5 + ExpectedWidth("Alpha") + ExpectedWidth("Gamma"), 2));
    QCOMPARE(scene.TabItem(2)->zValue(), 0.0);

    // Drag "Delta" left past "Beta" and "Gamma": one tab moves two places.
    moved.clear();
    const qreal fDistance = ExpectedWidth("Beta") + ExpectedWidth("Gamma");
    const int leftSteps = int(std::ceil(fDistance / 10));
    DragMouse(scene, OnTab(scene, 3), -leftSteps * 10.0, leftSteps);
    QCOMPARE(Texts(scene), QStringList({"Alpha", "Delta", "Gamma", "Beta"}));
    QCOMPARE(moved.size(), 1);
    QCOMPARE(moved.at(0), QList<QVariant>({3, 1}));
    QCOMPARE(scene.CurrentIndex(), 1);

    // A short wiggle changes nothing and puts the tab back in its place.
    moved.clear();
    DragMouse(scene, OnTab(scene, 2), 10, 1);
    QVERIFY(moved.isEmpty());
    QCOMPARE(Texts(scene), QStringList({"Alpha", "Delta", "Gamma", "Beta"}));
    QCOMPARE(scene.TabItem(2)->pos(), QPointF(5 + ExpectedWidth("Alpha") + ExpectedWidth("Delta"), 2));

    // The dragged tab stays inside the strip, short of the arrow's place.
    DragMouse(scene, OnTab(scene, 3), 990 - OnTab(scene, 3).x(), 8, false);
    QCOMPARE(scene.Count(), 4);
    CTabItem *pLast = scene.TabItem(3);
    QVERIFY(pLast->x() + pLast->Width() <= 1000 - 22);
    SendMouse(scene, QEvent::GraphicsSceneMouseRelease, OnTab(scene, 3), OnTab(scene, 3), Qt::LeftButton, Qt::NoButton);
}

void TestTabScene::pinnedTabsStayPut()
{
    CTabScene scene;
    scene.setSceneRect(0, 0, 1000, 42);
    Fill(scene);
    scene.SetTabPinned(0, true);
    QSignalSpy moved(&scene, &CTabScene::SignalTabMoved);

    // The pinned tab itself does not move.
    DragMouse(scene, OnTab(scene, 0), 200, 20, false);
    QCOMPARE(scene.TabItem(0)->pos(), QPointF(5, 2));
    SendMouse(scene, QEvent::GraphicsSceneMouseRelease, OnTab(scene, 0), OnTab(scene, 0), Qt::LeftButton, Qt::NoButton);
    QVERIFY(moved.isEmpty());
    QCOMPARE(Texts(scene), QStringList(kTexts));

    // Nothing gets in front of it.
    DragMouse(scene, OnTab(scene, 1), -100, 10);
    QVERIFY(moved.isEmpty());
    QCOMPARE(Texts(scene), QStringList(kTexts));
    QCOMPARE(scene.TabItem(1)->pos(), QPointF(5 + ExpectedWidth("Alpha"), 2));

    // Moving without a press on a tab reorders nothing.
    const QPointF empty(990, 20);
    SendMouse(scene, QEvent::GraphicsSceneMousePress, empty, empty, Qt::LeftButton, Qt::LeftButton);
    SendMouse(scene, QEvent::GraphicsSceneMouseMove, empty - QPointF(300, 0), empty, Qt::NoButton, Qt::LeftButton);
    SendMouse(scene, QEvent::GraphicsSceneMouseRelease, empty, empty, Qt::LeftButton, Qt::NoButton);
    QVERIFY(moved.isEmpty());
}

void TestTabScene::dragOutRemovesTabAndReports()
{
    RecordingScene scene;
    scene.setSceneRect(0, 0, 1000, 42);
    Fill(scene, {"Alpha", "Beta", "Gamma"});
    scene.SetTabPinned(0, true);

    QSignalSpy leave(&scene, &CTabScene::SignalDragLeaveTabBar);
    QSignalSpy out(&scene, &CTabScene::SignalDragOutTabBar);
    QStringList events;
    QList<int> countsAtLeave;
    QList<QVariant> dataAtLeave;
    bool bGivePicture = true;
    connect(&scene, &CTabScene::SignalDragLeaveTabBar, &scene, [&] {
        events << "leave";
        // What the frame does: the tab is already gone; it reads the dragged
        // page type and hands over a picture of the page.
        countsAtLeave << scene.Count();
        dataAtLeave << scene.DraggedData();
        if (bGivePicture)
            scene.SetDragPixmap(QPixmap(60, 40));
    });
    connect(&scene, &CTabScene::SignalDragOutTabBar, &scene, [&] { events << "out"; });

    const QPointF start = OnTab(scene, 1);
    SendMouse(scene, QEvent::GraphicsSceneMousePress, start, start, Qt::LeftButton, Qt::LeftButton);
    const QPointF above(start.x(), -30);
    SendMouse(scene, QEvent::GraphicsSceneMouseMove, above, start, Qt::NoButton, Qt::LeftButton);

    QCOMPARE(scene.iDrags, 1);
    QCOMPARE(scene.data, TabDrag::EncodeData(1, 2));
    QCOMPARE(scene.strText, QString("Beta"));
    QCOMPARE(scene.pixmapSize, QSize(60, 40));
    QCOMPARE(events, QStringList({"leave", "out"}));
    QCOMPARE(countsAtLeave, QList<int>({2}));
    QCOMPARE(dataAtLeave, QList<QVariant>({2}));
    QCOMPARE(Texts(scene), QStringList({"Alpha", "Gamma"}));
    QCOMPARE(scene.CurrentIndex(), 0);
    QCOMPARE(scene.DraggedData(), QVariant(2));

    // One drag per press.
    SendMouse(scene, QEvent::GraphicsSceneMouseMove, above - QPointF(0, 10), above, Qt::NoButton, Qt::LeftButton);
    QCOMPARE(scene.iDrags, 1);
    SendMouse(scene, QEvent::GraphicsSceneMouseRelease, above, above, Qt::LeftButton, Qt::NoButton);

    // Taken by another strip: no window is asked for, and the picture is
    // not reused for the next drag.
    scene.result = Qt::MoveAction;
    bGivePicture = false;
    const QPointF gamma = OnTab(scene, 1);
    SendMouse(scene, QEvent::GraphicsSceneMousePress, gamma, gamma, Qt::LeftButton, Qt::LeftButton);
    SendMouse(scene, QEvent::GraphicsSceneMouseMove, QPointF(gamma.x(), 80), gamma, Qt::NoButton, Qt::LeftButton);
    QCOMPARE(scene.iDrags, 2);
    QCOMPARE(scene.data, TabDrag::EncodeData(1, 3));
    QCOMPARE(out.size(), 1);
    QCOMPARE(leave.size(), 2);
    QCOMPARE(scene.Count(), 1);
    QCOMPARE(scene.DraggedData(), QVariant(3));
    QCOMPARE(countsAtLeave, QList<int>({2, 1}));
    QVERIFY(scene.pixmapSize != QSize(60, 40));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void TestTabScene::dragOutIgnoresPinnedAndUnpressed()
{
    RecordingScene scene;
    scene.setSceneRect(0, 0, 1000, 42);
    Fill(scene, {"Alpha", "Beta"});
    scene.SetTabPinned(0, true);
    QSignalSpy leave(&scene, &CTabScene::SignalDragLeaveTabBar);

    // Pinned: pressed, dragged out, nothing happens.
    const QPointF alpha = OnTab(scene, 0);
    SendMouse(scene, QEvent::GraphicsSceneMousePress, alpha, alpha, Qt::LeftButton, Qt::LeftButton);
    QCOMPARE(scene.CurrentIndex(), 0);
    SendMouse(scene, QEvent::GraphicsSceneMouseMove, QPointF(alpha.x(), -40), alpha, Qt::NoButton, Qt::LeftButton);
    SendMouse(scene, QEvent::GraphicsSceneMouseRelease, alpha, alpha, Qt::LeftButton, Qt::NoButton);
    QCOMPARE(scene.iDrags, 0);
    QCOMPARE(scene.Count(), 2);

    // Not pressed on a tab: a move outside the strip starts nothing.
    scene.SetCurrentIndex(1);
    SendMouse(scene, QEvent::GraphicsSceneMouseMove, QPointF(50, -40), QPointF(50, 20), Qt::NoButton, Qt::LeftButton);
    QCOMPARE(scene.iDrags, 0);

    // A press on the close button starts no drag either.
    CTabItem *pBeta = scene.TabItem(1);
    const QPointF close = pBeta->mapToScene(pBeta->CloseArea().center());
    SendMouse(scene, QEvent::GraphicsSceneMousePress, close, close, Qt::LeftButton, Qt::LeftButton);
    SendMouse(scene, QEvent::GraphicsSceneMouseMove, QPointF(close.x(), -40), close, Qt::NoButton, Qt::LeftButton);
    SendMouse(scene, QEvent::GraphicsSceneMouseRelease, close, close, Qt::LeftButton, Qt::NoButton);
    QCOMPARE(scene.iDrags, 0);
    QCOMPARE(leave.size(), 0);
    QCOMPARE(scene.Count(), 2);
}

void TestTabScene::dropFromAnotherStrip()
{
    CTabScene scene;
    scene.setSceneRect(0, 0, 1000, 42);
    Fill(scene, {"Alpha", "Beta", "Gamma"});
    scene.SetTabPinned(0, true);
    scene.SetCurrentIndex(0);
    QSignalSpy added(&scene, &CTabScene::SignalTabDragAdded);

    // Right half of "Beta": behind it.
    auto pSeven = TabMime(4, 7, "Seven");
    CTabItem *pBeta = scene.TabItem(1);
    const QPointF betaRight = pBeta->mapToScene(QPointF(pBeta->Width() - 30, 30));
    QVERIFY(SendDrag(scene, QEvent::GraphicsSceneDragEnter, betaRight, pSeven.get()).bAccepted);
    QVERIFY(SendDrag(scene, QEvent::GraphicsSceneDragMove, betaRight, pSeven.get()).bAccepted);
    QVERIFY(pBeta->IsDragOver());
    QVERIFY(!pBeta->IsPutFront());
    const DragResult dropped = SendDrag(scene, QEvent::GraphicsSceneDrop, betaRight, pSeven.get());
    QVERIFY(dropped.bAccepted);
    QCOMPARE(dropped.action, Qt::MoveAction);
    QVERIFY(!pBeta->IsDragOver());
    QCOMPARE(Texts(scene), QStringList({"Alpha", "Beta", "Seven", "Gamma"}));
    QCOMPARE(scene.TabData(2), QVariant(7));
    QCOMPARE(Ints(added), QList<int>({2}));
    QCOMPARE(scene.CurrentIndex(), 2);
    QVERIFY(scene.TabItem(2)->IsSelected());

    // Left half of "Beta": in front of it.
    auto pEight = TabMime(0, 8, "Eight");
    QVERIFY(DropAt(scene, pBeta->mapToScene(QPointF(10, 30)), pEight.get()).bAccepted);
    QCOMPARE(Texts(scene), QStringList({"Alpha", "Eight", "Beta", "Seven", "Gamma"}));
    QCOMPARE(Ints(added).last(), 1);

    // Left half of the pinned tab: still behind it.
    auto pNine = TabMime(0, 9, "Nine");
    QVERIFY(DropAt(scene, scene.TabItem(0)->mapToScene(QPointF(10, 30)), pNine.get()).bAccepted);
    QCOMPARE(Texts(scene), QStringList({"Alpha", "Nine", "Eight", "Beta", "Seven", "Gamma"}));
    QVERIFY(!scene.TabItem(0)->IsPutFront());
    QCOMPARE(scene.CurrentIndex(), 1);

    // The empty strip beside the last tab: at the end, with a mark on the
    // last tab while it hovers there.
    auto pTen = TabMime(0, 10, "Ten");
    const QPointF beside(960, 20);
    SendDrag(scene, QEvent::GraphicsSceneDragEnter, beside, pTen.get());
    QVERIFY(SendDrag(scene, QEvent::GraphicsSceneDragMove, beside, pTen.get()).bAccepted);
    QVERIFY(scene.TabItem(5)->IsDragOver());
    QVERIFY(!scene.TabItem(5)->IsPutFront());
    QVERIFY(SendDrag(scene, QEvent::GraphicsSceneDrop, beside, pTen.get()).bAccepted);
    QVERIFY(!scene.TabItem(5)->IsDragOver());
    QCOMPARE(scene.TabText(6), QString("Ten"));
    QCOMPARE(Ints(added).last(), 6);
    QCOMPARE(scene.CurrentIndex(), 6);

    // A drag that leaves takes its mark with it.
    auto pEleven = TabMime(0, 11, "Eleven");
    SendDrag(scene, QEvent::GraphicsSceneDragEnter, beside, pEleven.get());
    SendDrag(scene, QEvent::GraphicsSceneDragMove, beside, pEleven.get());
    QVERIFY(scene.TabItem(6)->IsDragOver());
    SendDrag(scene, QEvent::GraphicsSceneDragLeave, beside, pEleven.get());
    QVERIFY(!scene.TabItem(6)->IsDragOver());
    QCOMPARE(scene.Count(), 7);
}

void TestTabScene::refusedDrops()
{
    CTabScene scene;
    scene.setSceneRect(0, 0, 1000, 42);
    Fill(scene, {"Alpha", "Beta"});
    QSignalSpy added(&scene, &CTabScene::SignalTabDragAdded);
    const QPointF onBeta = OnTab(scene, 1);

    // A tab like one already here.
    auto pDuplicate = TabMime(3, 5, "Beta");
    const DragResult duplicate = DropAt(scene, onBeta, pDuplicate.get());
    QVERIFY(!duplicate.bAccepted);
    QVERIFY(!DropAt(scene, QPointF(900, 20), pDuplicate.get()).bAccepted);

    // Short and garbled payloads.
    const QList<QByteArray> badPayloads = {QByteArray(), QByteArray::fromHex("020000"),
                                           QByteArray::fromHex("02000000050000"), TabDrag::EncodeData(1, 0),
                                           TabDrag::EncodeData(1, -7)};
    for (const QByteArray &payload : badPayloads) {
        QMimeData mime;
        mime.setData("TabItemData", payload);
        mime.setData("TabItemText", "Broken");
        QVERIFY2(!SendDrag(scene, QEvent::GraphicsSceneDragEnter, onBeta, &mime).bAccepted,
                 payload.toHex().constData());
        SendDrag(scene, QEvent::GraphicsSceneDragMove, onBeta, &mime);
        QVERIFY(!scene.TabItem(1)->IsDragOver());
        QVERIFY(!SendDrag(scene, QEvent::GraphicsSceneDrop, onBeta, &mime).bAccepted);
        QVERIFY(!DropAt(scene, QPointF(900, 20), &mime).bAccepted);
    }

    // Something that is no tab at all.
    QMimeData text;
    text.setText("hello");
    QVERIFY(!DropAt(scene, onBeta, &text).bAccepted);

    // The left margin of the strip takes nothing.
    auto pGood = TabMime(0, 6, "Six");
    QVERIFY(!DropAt(scene, QPointF(2, 20), pGood.get()).bAccepted);

    // A good drop after a refused one still lands once, and a stale drag
    // cannot add it a second time.
    QVERIFY(DropAt(scene, onBeta, pGood.get()).bAccepted);
    QVERIFY(!SendDrag(scene, QEvent::GraphicsSceneDrop, onBeta, pGood.get()).bAccepted);

    QCOMPARE(Texts(scene), QStringList({"Alpha", "Six", "Beta"}));
    QCOMPARE(Ints(added), QList<int>({1}));
}

void TestTabScene::arrowClickOpensMenuOnce()
{
    CTabScene scene;
    CTabView view(&scene);
    view.resize(int(std::ceil(TwoTabWidth())), 42);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    Fill(scene);
    QVERIFY(scene.ArrowItem()->isVisible());

    QSignalSpy clicked(scene.ArrowItem(), &CArrowItem::SignalArrowClicked);
    QSignalSpy menuHide(&scene, &CTabScene::SignalMenuHide);
    const QPointF arrow = scene.ArrowItem()->mapToScene(QPointF(8, 20));
    auto click = [&] {
        SendMouse(scene, QEvent::GraphicsSceneMousePress, arrow, arrow, Qt::LeftButton, Qt::LeftButton);
        SendMouse(scene, QEvent::GraphicsSceneMouseRelease, arrow, arrow, Qt::LeftButton, Qt::NoButton);
    };

    click();
    QCOMPARE(clicked.size(), 1);
    QVERIFY(scene.ArrowItem()->IsMenuShown());
    QTRY_VERIFY(scene.OverflowMenu()->isVisible());
    const QPoint expected = view.viewport()->mapToGlobal(
        view.mapFromScene(scene.ArrowItem()->scenePos() + QPointF(2, 41)));
    QCOMPARE(scene.OverflowMenu()->pos(), expected);

    // The click that closes the menu does not open it again.
    scene.OverflowMenu()->hide();
    QCOMPARE(menuHide.size(), 1);
    QVERIFY(scene.ArrowItem()->IsMenuJustHidden());
    click();
    QCOMPARE(clicked.size(), 1);
    QVERIFY(!scene.ArrowItem()->IsMenuShown());
    QVERIFY(!scene.OverflowMenu()->isVisible());

    click();
    QCOMPARE(clicked.size(), 2);
    QTRY_VERIFY(scene.OverflowMenu()->isVisible());
    // Picking an entry closes the menu; the next click opens it again.
    scene.OverflowMenu()->actions().at(3)->trigger();
    scene.OverflowMenu()->hide();
    QCOMPARE(scene.TabText(0), QString("Delta"));
    click();
    QCOMPARE(clicked.size(), 3);
    QTRY_VERIFY(scene.OverflowMenu()->isVisible());

    // A menu that went away earlier (Escape, a click elsewhere, or a closing
    // click the platform did not pass on) does not swallow the next click.
    scene.OverflowMenu()->hide();
    QTest::qWait(CArrowItem::kClosingClickMs + 100);
    click();
    QCOMPARE(clicked.size(), 4);
    QTRY_VERIFY(scene.OverflowMenu()->isVisible());
    scene.OverflowMenu()->hide();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

namespace {
QList<QPair<QObject *, QAccessible::Event>> g_events;
void RecordEvent(QAccessibleEvent *pEvent)
{
    g_events << qMakePair(pEvent->object(), pEvent->type());
}
} // namespace

// The strip without a mouse: the view takes the focus, its arrows choose
// the tab, and screen readers see a page tab list of named page tabs whose
// current one is selected (and focused with the strip).
void TestTabScene::keysAndScreenReaders()
{
    QPlatformAccessibility *pPlatform = QGuiApplicationPrivate::platformIntegration()->accessibility();
    if (!pPlatform)
        QSKIP("This platform has no accessibility");
    pPlatform->setActive(true);
    QAccessible::installUpdateHandler(&RecordEvent);
    const auto uninstall = qScopeGuard([pPlatform] {
        QAccessible::installUpdateHandler(nullptr);
        pPlatform->setActive(false);
    });

    CTabScene scene;
    CTabView view(&scene);
    view.resize(int(std::ceil(TwoTabWidth())), 42);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    Fill(scene);
    scene.SetCurrentIndex(1);
    QCOMPARE(view.focusPolicy(), Qt::TabFocus);

    QAccessibleInterface *pList = QAccessible::queryAccessibleInterface(&view);
    QVERIFY(pList);
    QCOMPARE(pList->role(), QAccessible::PageTabList);
    QVERIFY(!pList->text(QAccessible::Name).isEmpty());
    QCOMPARE(pList->childCount(), 4);
    for (int i = 0; i < 4; ++i) {
        QAccessibleInterface *pTab = pList->child(i);
        QVERIFY(pTab);
        QCOMPARE(pTab->role(), QAccessible::PageTab);
        QCOMPARE(pTab->text(QAccessible::Name), Texts(scene).at(i));
        QCOMPARE(pList->indexOfChild(pTab), i);
        QCOMPARE(pTab->parent(), pList);
        QCOMPARE(bool(pTab->state().selected), i == 1);
        QCOMPARE(bool(pTab->state().focused), i == 1 && view.hasFocus());
        // Tabs behind the overflow arrow are there, but not on screen.
        QCOMPARE(bool(pTab->state().invisible), !scene.TabItem(i)->isVisible());
    }
    QVERIFY(pList->child(0)->rect().width() > 0);
    QCOMPARE(pList->childAt(pList->child(0)->rect().center().x(), pList->child(0)->rect().center().y()),
             pList->child(0));

    // Focus on the strip: the current tab is focused; arrows move it on.
    view.activateWindow();
    QApplication::setActiveWindow(&view);
    view.setFocus(Qt::TabFocusReason);
    QTRY_VERIFY(view.hasFocus());
    QVERIFY(pList->child(1)->state().focused);
    QCOMPARE(pList->focusChild(), pList->child(1));
    g_events.clear();
    QTest::keyClick(&view, Qt::Key_Left);
    QCOMPARE(scene.CurrentIndex(), 0);
    QVERIFY(g_events.contains(qMakePair(static_cast<QObject *>(scene.TabItem(0)), QAccessible::Focus)));
    QVERIFY(pList->child(0)->state().selected && pList->child(0)->state().focused);
    QTest::keyClick(&view, Qt::Key_Left); // wraps to the last tab, which comes forward
    QCOMPARE(scene.TabText(scene.CurrentIndex()), QString("Delta"));
    QTest::keyClick(&view, Qt::Key_Home);
    QCOMPARE(scene.CurrentIndex(), 0);

    // Pressed by a screen reader, a tab becomes current.
    pList->child(1)->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QCOMPARE(scene.CurrentIndex(), 1);

    // A removed tab leaves the list, said so.
    g_events.clear();
    CTabItem *pGone = scene.TabItem(3);
    scene.RemoveTab(3);
    QCOMPARE(pList->childCount(), 3);
    QVERIFY(g_events.contains(qMakePair(static_cast<QObject *>(pGone), QAccessible::ObjectDestroyed)));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

QTEST_MAIN(TestTabScene)
#include "tst_tabscene.moc"
