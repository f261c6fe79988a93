// Page frames and the frame registry: tabs dragged out of a strip into a
// window of their own, dropped on another frame's strip, reordered, and the
// frames that close when their last tab leaves. The strips get synthetic
// scene events; the offscreen platform ends every drag at once as dropped
// outside every strip.
#include <QtTest>

#include <QGraphicsSceneDragDropEvent>
#include <QGraphicsSceneMouseEvent>
#include <QMimeData>
#include <QPointer>
#include <QStackedWidget>

#include <memory>

#include "CBaseDragFrame.h"
#include "CBaseFrame.h"
#include "CTBX.h"
#include "CTabItem.h"
#include "CTabScene.h"
#include "CViewStoregeManager.h"
#include "../tabstrip/TabStripInput.h"
#include "CWindowTitle.h"
#include "ClientConfigManager.h"
#include "ClientWriterProperty.h"
#include "ConfigXml.h"
#include "TabDragData.h"
#include "fake_tool.h"

namespace {
QByteArray libPath(const char *file)
{
    return (ClientConfigManager::ProgramDir() + QLatin1Char('/') + QLatin1String(file)).toLocal8Bit();
}

int countStarting(const QStringList &calls, const QString &prefix)
{
    int n = 0;
    for (const QString &c : calls)
        n += c.startsWith(prefix);
    return n;
}

QList<int> tabTypes(const CTabScene *scene)
{
    QList<int> out;
    for (int i = 0; i < scene->Count(); ++i)
        out << scene->TabData(i).toInt();
    return out;
}

int recordCount(int id)
{
    int n = 0;
    for (const ClientWriterProperty &r : ClientWriterProperty::Records())
        n += r.m_iFrameId == id;
    return n;
}

// The first record of a frame id; a default record (id -1) when there is none.
ClientWriterProperty record(int id)
{
    for (const ClientWriterProperty &r : ClientWriterProperty::Records())
        if (r.m_iFrameId == id)
            return r;
    return {};
}

QList<int> registered(int id)
{
    return record(id).m_listTypes;
}

// ----------------------------------------------------------- strip events

// Presses on a tab and moves above the strip: the tab leaves, and as the
// drag finds no strip, it ends dropped outside. False when the press did
// not select the tab.
bool dragTabOut(CTabScene *scene, int index)
{
    const QPointF start = OnTab(*scene, index);
    SendMouse(*scene, QEvent::GraphicsSceneMousePress, start, start, Qt::LeftButton, Qt::LeftButton);
    if (scene->CurrentIndex() != index)
        return false;
    const QPointF above(start.x(), -30);
    SendMouse(*scene, QEvent::GraphicsSceneMouseMove, above, start, Qt::NoButton, Qt::LeftButton);
    SendMouse(*scene, QEvent::GraphicsSceneMouseRelease, above, above, Qt::LeftButton, Qt::NoButton);
    return true;
}

// Press on a tab, move sideways in small steps within the strip, release.
void dragTabAlong(CTabScene *scene, int index, qreal dx)
{
    const QPointF start = OnTab(*scene, index);
    SendMouse(*scene, QEvent::GraphicsSceneMousePress, start, start, Qt::LeftButton, Qt::LeftButton);
    const int steps = 20;
    QPointF pos = start;
    for (int i = 0; i < steps; ++i) {
        const QPointF next = pos + QPointF(dx / steps, 0);
        SendMouse(*scene, QEvent::GraphicsSceneMouseMove, next, pos, Qt::NoButton, Qt::LeftButton);
        pos = next;
    }
    SendMouse(*scene, QEvent::GraphicsSceneMouseRelease, pos, pos, Qt::LeftButton, Qt::NoButton);
}

bool sendDrag(QGraphicsScene *scene, QEvent::Type type, const QPointF &pos, const QMimeData *mime)
{
    QGraphicsSceneDragDropEvent event(type);
    event.setScenePos(pos);
    event.setScreenPos(pos.toPoint());
    event.setMimeData(mime);
    event.setButtons(Qt::LeftButton);
    event.setPossibleActions(Qt::MoveAction);
    event.setProposedAction(Qt::MoveAction);
    event.setDropAction(Qt::MoveAction);
    QCoreApplication::sendEvent(scene, &event);
    return event.isAccepted();
}

// A tab of another strip dropped at a point: enter, move, drop. True when taken.
bool dropAt(QGraphicsScene *scene, const QPointF &pos, const QMimeData *mime)
{
    sendDrag(scene, QEvent::GraphicsSceneDragEnter, pos, mime);
    sendDrag(scene, QEvent::GraphicsSceneDragMove, pos, mime);
    return sendDrag(scene, QEvent::GraphicsSceneDrop, pos, mime);
}

// The empty strip behind the last shown tab.
QPointF besideLastTab(const CTabScene *scene)
{
    if (scene->Count() == 0)
        return QPointF(100, 20);
    const CTabItem *last = scene->TabItem(scene->VisibleOrder().last());
    return last->mapToScene(QPointF(last->Width() + 40, 20));
}

// What a tab carries when dragged, taken before it goes.
struct TabPayload {
    int index = -1;
    int type = -1;
    QString text;
    QIcon icon;
    std::unique_ptr<QMimeData> mime() const
    {
        return std::unique_ptr<QMimeData>(TabDrag::BuildMimeData(index, type, text, icon));
    }
};

TabPayload payloadOf(const CTabScene *scene, int index)
{
    return {index, scene->TabData(index).toInt(), scene->TabText(index), scene->TabIcon(index)};
}

// While another strip takes the drag, the source never hears that it ended
// outside every strip. The offscreen platform drops every drag nowhere, so
// that report is cut off for as long as this lives.
class TakenByAnotherStrip
{
public:
    explicit TakenByAnotherStrip(CBaseDragFrame *source) : m_source(source)
    {
        QObject::disconnect(source->TabScene(), &CTabScene::SignalDragOutTabBar, source,
                            &CBaseDragFrame::OnDragOutTabBar);
    }
    ~TakenByAnotherStrip()
    {
        if (m_source)
            QObject::connect(m_source->TabScene(), &CTabScene::SignalDragOutTabBar, m_source.data(),
                             &CBaseDragFrame::OnDragOutTabBar);
    }

private:
    QPointer<CBaseDragFrame> m_source;
};
} // namespace

class TestFrames : public QObject
{
    Q_OBJECT
    CTBX *m_pMain = nullptr;

    CBaseDragFrame *frame() const { return m_pMain->MainFrame(); }
    CTabScene *scene() const { return frame()->TabScene(); }
    CViewStoregeManager *store() const { return CViewStoregeManager::Instance(); }

    // Windows made by dragging tabs out: frames re-parented to the main window.
    QList<CBaseDragFrame *> detachedFrames() const
    {
        QList<CBaseDragFrame *> out;
        for (CBaseDragFrame *f : m_pMain->findChildren<CBaseDragFrame *>(QString(), Qt::FindDirectChildrenOnly))
            if (f->isVisible())
                out << f;
        return out;
    }

    // Every frame's registry record lists its strip's tabs in tab order.
    void verifyRegistryFollowsStrips()
    {
        for (const ClientWriterProperty &r : ClientWriterProperty::Records()) {
            if (!r.m_pFrame || !r.m_pFrame->isVisible())
                continue; // a frame on its way out
            QCOMPARE(r.m_listTypes, tabTypes(r.m_pFrame->TabScene()));
            QCOMPARE(recordCount(r.m_iFrameId), 1);
        }
    }

    // The main window back to the control panel alone, no other windows
    // (also after a failed test, so the next one starts clean).
    void backToThePanel()
    {
        QList<QPointer<CBaseDragFrame>> windows;
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *f = qobject_cast<CBaseDragFrame *>(w); f && f->isVisible())
                windows << f;
        for (const QPointer<CBaseDragFrame> &f : std::as_const(windows))
            if (f)
                f->close();
        for (const QPointer<CBaseDragFrame> &f : std::as_const(windows))
            QTRY_VERIFY(f.isNull());
        if (tabTypes(scene()).value(0) != 1)
            store()->ShowPage(1);
        // Never down to one visible tab: that would ask to close the application.
        while (scene()->Count() > 1 && scene()->VisibleCount() > 1)
            frame()->OnTabClosed(scene()->Count() - 1);
        QCOMPARE(tabTypes(scene()), QList<int>({1}));
        QVERIFY(scene()->IsTabPinned(0));
    }

private slots:
    void initTestCase()
    {
        QFile cfg(ClientConfigManager::ProgramDir() + QStringLiteral("/Config.xml"));
        QVERIFY(cfg.open(QIODevice::WriteOnly | QIODevice::Truncate));
        cfg.write(ConfigXml::Encode({"3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13", "14"}));
        cfg.close();

        m_pMain = new CTBX(nullptr, Qt::Window | Qt::FramelessWindowHint);
        m_pMain->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_pMain));
        QVERIFY(scene()->sceneRect().width() > 1000); // the strip is laid out
    }

    void init() { backToThePanel(); }

    void cleanupTestCase()
    {
        backToThePanel();
        delete m_pMain;
        QCOMPARE(recordCount(0), 0);
    }

    void registryOperations()
    {
        // Ids and types no frame of the window uses.
        const int a = 9001, b = 9002;
        QWidget windowA, windowB, windowC;
        // Frames that are never shown; the records below only point at them.
        CBaseDragFrame frameA(nullptr, true), frameB(nullptr, true), frameC(nullptr, true);
        CBaseDragFrame *fakeA = &frameA, *fakeB = &frameB, *fakeC = &frameC;
        const qsizetype before = ClientWriterProperty::Records().size();
        // A failed check must not leave records naming frames that are gone.
        const auto forget = qScopeGuard([&] {
            for (int i = 0; i < 3; ++i) {
                ClientWriterProperty::Unregister(a);
                ClientWriterProperty::Unregister(b);
            }
        });

        ClientWriterProperty::Register(a, fakeA, &windowA);
        ClientWriterProperty::Register(b, fakeB, &windowB);
        QCOMPARE(ClientWriterProperty::Records().size(), before + 2);
        QCOMPARE(ClientWriterProperty::Records().last().m_iFrameId, b); // creation order
        QCOMPARE(record(a).m_pWindow, &windowA);
        QCOMPARE(record(a).m_iCurrentType, -1);
        QVERIFY(record(a).m_listTypes.isEmpty());
        QCOMPARE(ClientWriterProperty::FrameById(a), fakeA);
        QCOMPARE(ClientWriterProperty::FrameById(b), fakeB);
        QCOMPARE(ClientWriterProperty::FrameById(9999), nullptr);

        // Inserting: at an index, at the end when beyond it.
        ClientWriterProperty::Insert(a, 0, 101);
        ClientWriterProperty::Insert(a, 0, 102);
        ClientWriterProperty::Insert(a, 7, 103);
        ClientWriterProperty::Insert(a, 1, 104);
        QCOMPARE(registered(a), QList<int>({102, 104, 101, 103}));
        QCOMPARE(ClientWriterProperty::FrameHolding(104), a);
        QCOMPARE(ClientWriterProperty::FrameHolding(105), -1);

        // A type moves between frames: it leaves the one that held it.
        ClientWriterProperty::Insert(b, 0, 104);
        QCOMPARE(registered(a), QList<int>({102, 101, 103}));
        QCOMPARE(registered(b), QList<int>({104}));
        QCOMPARE(ClientWriterProperty::FrameHolding(104), b);
        // Within one frame it is taken out before it goes in: no twin.
        ClientWriterProperty::Insert(a, 3, 102);
        QCOMPARE(registered(a), QList<int>({101, 103, 102}));
        // A frame id without a record: the type leaves its frame, lands nowhere.
        ClientWriterProperty::Insert(9999, 0, 103);
        QCOMPARE(registered(a), QList<int>({101, 102}));
        QCOMPARE(ClientWriterProperty::FrameHolding(103), -1);

        // Moving within a frame; indices outside its list change nothing.
        ClientWriterProperty::Insert(a, 9, 103);
        ClientWriterProperty::Move(a, 0, 2);
        QCOMPARE(registered(a), QList<int>({102, 103, 101}));
        ClientWriterProperty::Move(a, 2, 0);
        QCOMPARE(registered(a), QList<int>({101, 102, 103}));
        ClientWriterProperty::Move(a, 0, 3);
        ClientWriterProperty::Move(a, -1, 1);
        ClientWriterProperty::Move(a, 3, 0);
        ClientWriterProperty::Move(9999, 0, 1);
        QCOMPARE(registered(a), QList<int>({101, 102, 103}));

        // Removing touches that frame only.
        ClientWriterProperty::Remove(b, 101);
        QCOMPARE(registered(a), QList<int>({101, 102, 103}));
        ClientWriterProperty::Remove(a, 102);
        QCOMPARE(registered(a), QList<int>({101, 103}));
        QCOMPARE(ClientWriterProperty::FrameHolding(102), -1);

        // The current type is set on the frame asked for only.
        ClientWriterProperty::SetCurrent(a, 103);
        QCOMPARE(record(a).m_iCurrentType, 103);
        QCOMPARE(record(b).m_iCurrentType, -1);

        // Two records with one id: the current type goes to both, lookups,
        // inserts and unregistering take the first.
        ClientWriterProperty::Register(a, fakeC, &windowC);
        QCOMPARE(recordCount(a), 2);
        QCOMPARE(ClientWriterProperty::FrameById(a), fakeA);
        ClientWriterProperty::SetCurrent(a, 101);
        for (const ClientWriterProperty &r : ClientWriterProperty::Records())
            if (r.m_iFrameId == a)
                QCOMPARE(r.m_iCurrentType, 101);
        ClientWriterProperty::Insert(a, 0, 106);
        QCOMPARE(registered(a), QList<int>({106, 101, 103}));
        ClientWriterProperty::Unregister(a);
        QCOMPARE(recordCount(a), 1);
        QCOMPARE(ClientWriterProperty::FrameById(a), fakeC);
        QVERIFY(registered(a).isEmpty());
        QCOMPARE(ClientWriterProperty::FrameHolding(106), -1);

        ClientWriterProperty::Unregister(a);
        ClientWriterProperty::Unregister(b);
        ClientWriterProperty::Unregister(b); // nothing left to remove
        QCOMPARE(ClientWriterProperty::Records().size(), before);
        QCOMPARE(ClientWriterProperty::FrameById(a), nullptr);
        QCOMPARE(ClientWriterProperty::FrameHolding(104), -1);
        QCOMPARE(ClientWriterProperty::FrameById(0), frame());
    }

    void dragOutOpensADetachedFrame()
    {
        store()->ShowPage(3);
        store()->ShowPage(4);
        store()->ShowPage(6);
        QCOMPARE(tabTypes(scene()), QList<int>({1, 6, 4, 3}));
        CBaseFrame *page = store()->FindPage(4);
        QVERIFY(page);
        page->setProperty("state", 17);
        const int opens = countStarting(FakeToolCalls(libPath("libStoragePlanner.so")), "open");
        const int recordsBefore = ClientWriterProperty::Records().size();

        // The moment the tab has left: the main frame has let go of the
        // page, and no window is there yet.
        QList<int> typesAtLeave, registeredAtLeave;
        bool shownAtLeave = true;
        qsizetype windowsAtLeave = -1;
        QObject watcher;
        connect(scene(), &CTabScene::SignalDragLeaveTabBar, &watcher, [&] {
            typesAtLeave = tabTypes(scene());
            registeredAtLeave = registered(0);
            shownAtLeave = page->IsShown();
            windowsAtLeave = detachedFrames().size();
        });

        QVERIFY(dragTabOut(scene(), 2));

        QCOMPARE(typesAtLeave, QList<int>({1, 6, 3}));
        QCOMPARE(registeredAtLeave, QList<int>({1, 6, 3}));
        QVERIFY(!shownAtLeave);
        QCOMPARE(windowsAtLeave, 0);

        // The main window shows its left neighbour.
        QCOMPARE(tabTypes(scene()), QList<int>({1, 6, 3}));
        QCOMPARE(scene()->CurrentPageType(), 6);
        QCOMPARE(frame()->StackedWidget()->currentWidget(), store()->FindPage(6));
        QCOMPARE(record(0).m_iCurrentType, 6);

        const QList<CBaseDragFrame *> windows = detachedFrames();
        QCOMPARE(windows.size(), 1);
        CBaseDragFrame *detached = windows.first();
        QVERIFY(detached->isWindow());
        QCOMPARE(detached->parentWidget(), m_pMain);
        QCOMPARE(detached->windowType(), Qt::Dialog);
        QVERIFY(detached->windowFlags().testFlag(Qt::FramelessWindowHint));
        QVERIFY(detached->testAttribute(Qt::WA_DeleteOnClose));
        QVERIFY(detached->IsTabBarHidden());
        QFrame *strip = detached->findChild<QFrame *>(QStringLiteral("pTopFrame"));
        QVERIFY(strip);
        QVERIFY(strip->isHidden());
        QVERIFY(!detached->Title()->MenuBar());
        QWidget *minimise = detached->Title()->findChild<QWidget *>(QStringLiteral("m_pMinimizeBtn"));
        QVERIFY(minimise);
        QVERIFY(minimise->isHidden());
        QVERIFY(!frame()->Title()->findChild<QWidget *>(QStringLiteral("m_pMinimizeBtn"))->isHidden());
        QCOMPARE(detached->size(), QSize(1024, 768));
        const QRect avail = QGuiApplication::primaryScreen()->availableGeometry();
        QCOMPARE(detached->pos(), QPoint((avail.width() - 1024) / 2, (avail.height() - 768) / 2));

        // The same page, moved, not made again.
        QCOMPARE(tabTypes(detached->TabScene()), QList<int>({4}));
        QCOMPARE(store()->FindPage(4), page);
        QCOMPARE(detached->StackedWidget()->currentWidget(), page);
        QVERIFY(detached->isAncestorOf(page));
        QVERIFY(page->isVisible());
        QVERIFY(page->IsShown());
        QCOMPARE(page->property("state").toInt(), 17);
        const QStringList calls = FakeToolCalls(libPath("libStoragePlanner.so"));
        QCOMPARE(calls.last(), QStringLiteral("size 1"));
        QCOMPARE(countStarting(calls, "open"), opens);

        // Registered as a frame of its own, holding the page.
        const int id = detached->GetFrameId();
        QVERIFY(id > 0);
        QCOMPARE(ClientWriterProperty::Records().size(), recordsBefore + 1);
        QCOMPARE(ClientWriterProperty::Records().last().m_iFrameId, id);
        QCOMPARE(record(id).m_pFrame, detached);
        QCOMPARE(record(id).m_pWindow, static_cast<QWidget *>(detached));
        QCOMPARE(record(id).m_iCurrentType, 4);
        QCOMPARE(registered(id), QList<int>({4}));
        QCOMPARE(ClientWriterProperty::FrameHolding(4), id);
        QCOMPARE(ClientWriterProperty::FrameById(id), detached);
        verifyRegistryFollowsStrips();

        // A second drag out gets a window and a frame id of its own.
        QVERIFY(dragTabOut(scene(), 1));
        QCOMPARE(detachedFrames().size(), 2);
        CBaseDragFrame *second = detachedFrames().at(1) == detached ? detachedFrames().at(0) : detachedFrames().at(1);
        QVERIFY(second->GetFrameId() > id);
        QCOMPARE(registered(second->GetFrameId()), QList<int>({6}));
        QCOMPARE(FakeToolCalls(libPath("libSharpnessAid.so")).last(), QStringLiteral("size 1"));
        QCOMPARE(tabTypes(scene()), QList<int>({1, 3}));
        verifyRegistryFollowsStrips();

        // A pinned tab does not leave.
        QVERIFY(dragTabOut(scene(), 0));
        QCOMPARE(tabTypes(scene()), QList<int>({1, 3}));
        QCOMPARE(detachedFrames().size(), 2);
    }

    void detachedFrameClosesWhenItsLastTabLeaves()
    {
        store()->ShowPage(3);
        store()->ShowPage(4);
        QVERIFY(dragTabOut(scene(), 1));
        QCOMPARE(detachedFrames().size(), 1);
        QPointer<CBaseDragFrame> first(detachedFrames().first());
        const int firstId = first->GetFrameId();
        CBaseFrame *page = store()->FindPage(4);
        QCOMPARE(first->StackedWidget()->currentWidget(), page);

        // Its only tab leaves for nowhere: it closes, and another window
        // takes the page.
        QVERIFY(dragTabOut(first->TabScene(), 0));
        QTRY_VERIFY(first.isNull());
        QCOMPARE(recordCount(firstId), 0);
        QCOMPARE(detachedFrames().size(), 1);
        QPointer<CBaseDragFrame> second(detachedFrames().first());
        QVERIFY(second->GetFrameId() != firstId);
        QCOMPARE(store()->FindPage(4), page);
        QCOMPARE(second->StackedWidget()->currentWidget(), page);
        QVERIFY(page->IsShown());
        QCOMPARE(ClientWriterProperty::FrameHolding(4), second->GetFrameId());
        verifyRegistryFollowsStrips();

        // Its only tab leaves for the main strip: it closes, the page moves.
        const int secondId = second->GetFrameId();
        const TabPayload payload = payloadOf(second->TabScene(), 0);
        {
            TakenByAnotherStrip taken(second);
            QVERIFY(dragTabOut(second->TabScene(), 0));
            QVERIFY(!page->IsShown());
            QVERIFY(!page->parentWidget()); // the page outlives its window
            QCOMPARE(ClientWriterProperty::FrameHolding(4), -1);
            QVERIFY(dropAt(scene(), besideLastTab(scene()), payload.mime().get()));
        }
        QTRY_VERIFY(second.isNull());
        QCOMPARE(recordCount(secondId), 0);
        QVERIFY(detachedFrames().isEmpty());
        QCOMPARE(store()->FindPage(4), page);
        QCOMPARE(tabTypes(scene()), QList<int>({1, 3, 4}));
        QCOMPARE(scene()->CurrentPageType(), 4);
        QCOMPARE(frame()->StackedWidget()->currentWidget(), page);
        QVERIFY(page->IsShown());
        QVERIFY(page->isVisible());
        QCOMPARE(record(0).m_iCurrentType, 4);
        QCOMPARE(ClientWriterProperty::FrameHolding(4), 0);
        verifyRegistryFollowsStrips();

        // Its only tab closed: it closes, and nothing returns to the main window.
        QVERIFY(dragTabOut(scene(), 2));
        QPointer<CBaseDragFrame> third(detachedFrames().value(0));
        QVERIFY(third);
        const int thirdId = third->GetFrameId();
        third->OnTabClosed(0);
        QTRY_VERIFY(third.isNull());
        QCOMPARE(recordCount(thirdId), 0);
        QCOMPARE(store()->FindPage(4), page);
        QVERIFY(!page->IsShown());
        QVERIFY(!page->parentWidget());
        QCOMPARE(tabTypes(scene()), QList<int>({1, 3}));
        QCOMPARE(ClientWriterProperty::FrameHolding(4), -1);

        // Opened again, it comes back as a tab of the main window.
        store()->ShowPage(4);
        QCOMPARE(tabTypes(scene()), QList<int>({1, 4, 3}));
        QCOMPARE(frame()->StackedWidget()->currentWidget(), page);
        verifyRegistryFollowsStrips();
    }

    void dropInMovesThePageBetweenFrames()
    {
        store()->ShowPage(3);
        store()->ShowPage(6);
        QCOMPARE(tabTypes(scene()), QList<int>({1, 6, 3}));
        CBaseFrame *six = store()->FindPage(6);
        CBaseFrame *three = store()->FindPage(3);

        // A second frame whose strip shows, so tabs can be dropped on it.
        QPointer<CBaseDragFrame> other(new CBaseDragFrame(nullptr, false));
        other->show();
        QVERIFY(QTest::qWaitForWindowExposed(other));
        QTRY_VERIFY(other->TabScene()->sceneRect().width() > 1000);
        const int otherId = other->GetFrameId();
        CTabScene *otherScene = other->TabScene();
        QSignalSpy added(otherScene, &CTabScene::SignalTabDragAdded);

        // 6 onto the empty strip.
        const TabPayload sixPayload = payloadOf(scene(), 1);
        {
            const TabPayload &payload = sixPayload;
            TakenByAnotherStrip taken(frame());
            QVERIFY(dragTabOut(scene(), 1));
            QVERIFY(dropAt(otherScene, besideLastTab(otherScene), payload.mime().get()));
        }
        QVERIFY(detachedFrames().isEmpty());
        QCOMPARE(tabTypes(scene()), QList<int>({1, 3}));
        QCOMPARE(tabTypes(otherScene), QList<int>({6}));
        QCOMPARE(otherScene->TabText(0), sixPayload.text);
        QCOMPARE(other->StackedWidget()->currentWidget(), six);
        QVERIFY(other->isAncestorOf(six));
        QVERIFY(six->IsShown());
        QCOMPARE(registered(otherId), QList<int>({6}));
        QCOMPARE(record(otherId).m_iCurrentType, 6);
        QCOMPARE(ClientWriterProperty::FrameHolding(6), otherId);
        QCOMPARE(scene()->CurrentPageType(), 1); // its left neighbour
        QCOMPARE(record(0).m_iCurrentType, 1);
        verifyRegistryFollowsStrips();

        // 3 in front of 6.
        {
            const TabPayload payload = payloadOf(scene(), 1);
            TakenByAnotherStrip taken(frame());
            QVERIFY(dragTabOut(scene(), 1));
            QVERIFY(dropAt(otherScene, OnTab(*otherScene, 0, 10), payload.mime().get()));
        }
        QCOMPARE(tabTypes(scene()), QList<int>({1}));
        QVERIFY(scene()->IsTabPinned(0));
        QCOMPARE(tabTypes(otherScene), QList<int>({3, 6}));
        QCOMPARE(otherScene->CurrentPageType(), 3);
        QCOMPARE(other->StackedWidget()->currentWidget(), three);
        QVERIFY(three->IsShown());
        QVERIFY(six->IsShown()); // still has its tab, behind
        QCOMPARE(registered(otherId), QList<int>({3, 6}));
        QCOMPARE(record(otherId).m_iCurrentType, 3);
        QCOMPARE(ClientWriterProperty::FrameHolding(3), otherId);
        QCOMPARE(added.size(), 2);
        verifyRegistryFollowsStrips();

        // A tab like one the strip has is refused and changes nothing.
        const TabPayload twin = payloadOf(otherScene, 1);
        QVERIFY(!dropAt(otherScene, besideLastTab(otherScene), twin.mime().get()));
        QVERIFY(!dropAt(otherScene, OnTab(*otherScene, 0), twin.mime().get()));
        QCOMPARE(added.size(), 2);
        QCOMPARE(tabTypes(otherScene), QList<int>({3, 6}));
        QCOMPARE(registered(otherId), QList<int>({3, 6}));
        QCOMPARE(other->StackedWidget()->currentWidget(), three);

        // An index without a tab adds nothing to the registry.
        other->OnDragEnterTabBar(5);
        QCOMPARE(registered(otherId), QList<int>({3, 6}));

        // Both back to the main window; the frame closes with its last tab.
        {
            TakenByAnotherStrip taken(other);
            const TabPayload payload = payloadOf(otherScene, 0);
            QVERIFY(dragTabOut(otherScene, 0));
            QVERIFY(dropAt(scene(), besideLastTab(scene()), payload.mime().get()));
        }
        QVERIFY(other);
        QCOMPARE(tabTypes(otherScene), QList<int>({6}));
        QCOMPARE(other->StackedWidget()->currentWidget(), six);
        QCOMPARE(tabTypes(scene()), QList<int>({1, 3}));
        QCOMPARE(frame()->StackedWidget()->currentWidget(), three);
        verifyRegistryFollowsStrips();
        {
            TakenByAnotherStrip taken(other);
            const TabPayload payload = payloadOf(otherScene, 0);
            QVERIFY(dragTabOut(otherScene, 0));
            QVERIFY(dropAt(scene(), OnTab(*scene(), 1, 10), payload.mime().get()));
        }
        QTRY_VERIFY(other.isNull());
        QCOMPARE(recordCount(otherId), 0);
        QCOMPARE(tabTypes(scene()), QList<int>({1, 6, 3}));
        QCOMPARE(store()->FindPage(6), six);
        QCOMPARE(store()->FindPage(3), three);
        QCOMPARE(frame()->StackedWidget()->currentWidget(), six);
        QVERIFY(six->IsShown() && three->IsShown());
        QCOMPARE(registered(0), QList<int>({1, 6, 3}));
        QCOMPARE(record(0).m_iCurrentType, 6);
        verifyRegistryFollowsStrips();
    }

    // Tab data from another program: a strip takes only a page of this
    // process that no strip shows, as a tab dragged out of a strip is.
    void foreignDropsAreRefused()
    {
        store()->ShowPage(3);
        QPointer<CBaseDragFrame> other(new CBaseDragFrame(nullptr, false));
        const auto closeOther = qScopeGuard([&] { delete other.data(); });
        other->show();
        QVERIFY(QTest::qWaitForWindowExposed(other));
        QTRY_VERIFY(other->TabScene()->sceneRect().width() > 1000);
        CTabScene *otherScene = other->TabScene();
        QSignalSpy addedOther(otherScene, &CTabScene::SignalTabDragAdded);
        QSignalSpy addedMain(scene(), &CTabScene::SignalTabDragAdded);
        QVERIFY(!store()->FindPage(7)); // a tool never opened

        // 13 and 14 have no page class, 99 is no page type, 7 has no page
        // yet, and 3 is shown in the main window.
        for (int type : {13, 14, 99, 7, 3}) {
            const std::unique_ptr<QMimeData> mime(
                TabDrag::BuildMimeData(0, type, QStringLiteral("Forged %1").arg(type), QIcon()));
            QVERIFY2(!dropAt(otherScene, besideLastTab(otherScene), mime.get()), qPrintable(QString::number(type)));
            QVERIFY2(!dropAt(scene(), besideLastTab(scene()), mime.get()), qPrintable(QString::number(type)));
            QVERIFY(!dropAt(scene(), OnTab(*scene(), 1, 10), mime.get()));
        }
        QCOMPARE(addedOther.size(), 0);
        QCOMPARE(addedMain.size(), 0);
        QVERIFY(tabTypes(otherScene).isEmpty());
        QCOMPARE(tabTypes(scene()), QList<int>({1, 3}));
        QCOMPARE(ClientWriterProperty::FrameHolding(3), 0);
        QVERIFY(!store()->FindPage(7));
        verifyRegistryFollowsStrips();
    }

    void mainStripWithoutThePanel()
    {
        // The panel closed: the last tool tab is pinned in its place.
        store()->ShowPage(6);
        QCOMPARE(tabTypes(scene()), QList<int>({1, 6}));
        frame()->OnTabClosed(0);
        QCOMPARE(tabTypes(scene()), QList<int>({6}));
        QVERIFY(scene()->IsTabPinned(0));
        store()->ShowPage(4);
        QCOMPARE(tabTypes(scene()), QList<int>({4, 6}));
        QVERIFY(!scene()->IsTabPinned(0) && !scene()->IsTabPinned(1));

        // 4 leaves: 6 is alone and pinned again.
        QVERIFY(dragTabOut(scene(), 0));
        QCOMPARE(tabTypes(scene()), QList<int>({6}));
        QVERIFY(scene()->IsTabPinned(0));
        QCOMPARE(registered(0), QList<int>({6}));
        QCOMPARE(detachedFrames().size(), 1);
        CBaseDragFrame *detached = detachedFrames().first();

        // 4 comes back behind it, and 6 may be dragged again.
        {
            TakenByAnotherStrip taken(detached);
            const TabPayload payload = payloadOf(detached->TabScene(), 0);
            QVERIFY(dragTabOut(detached->TabScene(), 0));
            QVERIFY(dropAt(scene(), OnTab(*scene(), 0, 10), payload.mime().get()));
        }
        QCOMPARE(tabTypes(scene()), QList<int>({6, 4}));
        QVERIFY(!scene()->IsTabPinned(0));
        QCOMPARE(registered(0), QList<int>({6, 4}));
        QCOMPARE(frame()->StackedWidget()->currentWidget(), store()->FindPage(4));
        QTRY_VERIFY(detachedFrames().isEmpty());
        verifyRegistryFollowsStrips();

        QVERIFY(dragTabOut(scene(), 0));
        QCOMPARE(tabTypes(scene()), QList<int>({4}));
        QCOMPARE(ClientWriterProperty::FrameHolding(6), detachedFrames().value(0)->GetFrameId());

        // The panel returns in front and pinned.
        store()->ShowPage(1);
        QCOMPARE(tabTypes(scene()), QList<int>({1, 4}));
        QVERIFY(scene()->IsTabPinned(0));
        QVERIFY(!scene()->IsTabPinned(1));
        verifyRegistryFollowsStrips();
    }

    void tabMovesKeepTheRegistryInOrder()
    {
        for (int type : {3, 4, 6, 7, 8, 9, 10, 11, 12})
            store()->ShowPage(type);
        QCOMPARE(scene()->Count(), 10);
        QVERIFY(scene()->VisibleCount() < scene()->Count()); // some tabs behind the arrow
        verifyRegistryFollowsStrips();

        // Dragged along the strip past its right neighbour.
        const QList<int> before = tabTypes(scene());
        dragTabAlong(scene(), 1, scene()->TabItem(2)->Width() + 10);
        QVERIFY(tabTypes(scene()) != before);
        QCOMPARE(tabTypes(scene()).at(2), before.at(1));
        QCOMPARE(registered(0), tabTypes(scene()));
        QCOMPARE(scene()->CurrentPageType(), before.at(1));
        QCOMPARE(frame()->StackedWidget()->currentWidget(), store()->FindPage(before.at(1)));

        // And back past two.
        const QList<int> middle = tabTypes(scene());
        dragTabAlong(scene(), 3, -(scene()->TabItem(2)->Width() + scene()->TabItem(1)->Width() + 10));
        QCOMPARE(tabTypes(scene()).at(1), middle.at(3));
        QCOMPARE(registered(0), tabTypes(scene()));

        // A tab behind the arrow, opened again, comes to the front.
        const int hiddenType = tabTypes(scene()).last();
        store()->ShowPage(hiddenType);
        QCOMPARE(tabTypes(scene()).at(1), hiddenType);
        QCOMPARE(registered(0), tabTypes(scene()));
        QCOMPARE(record(0).m_iCurrentType, hiddenType);

        // The slot itself moves the registry's entry; out of range it does nothing.
        const QList<int> now = tabTypes(scene());
        frame()->OnTabMoved(1, 3);
        QCOMPARE(registered(0), QList<int>({now.at(0), now.at(2), now.at(3), now.at(1)}) + now.mid(4));
        frame()->OnTabMoved(3, 1);
        QCOMPARE(registered(0), now);
        frame()->OnTabMoved(0, now.size());
        frame()->OnTabMoved(-1, 2);
        QCOMPARE(registered(0), now);

        // Without a dragged tab, leaving and dragging out do nothing.
        auto *fresh = new CBaseDragFrame(frame(), true);
        QPointer<CBaseDragFrame> guard(fresh);
        const int freshId = fresh->GetFrameId();
        const qsizetype records = ClientWriterProperty::Records().size();
        fresh->OnDragLeaveTabBar();
        fresh->OnDragOutTabBar();
        QCOMPARE(ClientWriterProperty::Records().size(), records);
        QVERIFY(registered(freshId).isEmpty());
        QVERIFY(guard);
        QCOMPARE(m_pMain->findChildren<CBaseDragFrame *>().size(), 2); // main frame and this one
        delete fresh;
        QCOMPARE(recordCount(freshId), 0);
    }
};

QTEST_MAIN(TestFrames)
#include "tst_frames.moc"
