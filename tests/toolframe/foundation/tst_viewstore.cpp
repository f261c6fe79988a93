// The view store: page factory under the hub mutex, replay before live
// events, forwarding by page type, page removal. The device services are
// tried on a simulated device in tst_hubengine.
#include <QtTest>

#include "CViewStoregeManager.h"
#include "HostPages.h"
#include "TestRecords.h"

class TestViewStore : public QObject
{
    Q_OBJECT
    int m_created = 0;
    bool m_lockHeldDuringCreation = false;

private slots:
    void initTestCase()
    {
        CViewStoregeManager *store = CViewStoregeManager::Instance();
        store->SetPageCreator([this](int type, QWidget *parent) -> CBaseFrame * {
            if (type < 1 || type > 12)
                return nullptr;
            ++m_created;
            // tryLock from another thread tells whether the factory holds the mutex.
            bool free = true;
            QThread *t = QThread::create([&free] {
                free = CViewStoregeManager::Instance()->Hub().Mutex().tryLock();
                if (free)
                    CViewStoregeManager::Instance()->Hub().Mutex().unlock();
            });
            t->start();
            t->wait();
            delete t;
            m_lockHeldDuringCreation = !free;
            return new CRecordingPage(type, parent);
        });
    }

    void pageIsCreatedOnceUnderTheHubMutex()
    {
        CViewStoregeManager *store = CViewStoregeManager::Instance();
        QCOMPARE(store->FindPage(3), nullptr);
        CBaseFrame *page = store->GetPage(3);
        QVERIFY(page);
        QVERIFY(m_lockHeldDuringCreation);
        const int created = m_created;
        QCOMPARE(store->GetPage(3), page);
        QCOMPARE(store->FindPage(3), page);
        QCOMPARE(m_created, created);
    }

    // The shell's own factory (the store's default) has no page for types
    // outside the catalogue's pages, and the store then lists none.
    void shellFactoryRefusesOtherTypes_data()
    {
        QTest::addColumn<int>("type");
        QTest::newRow("0") << 0;
        QTest::newRow("13, no page class") << 13;
        QTest::newRow("14, no page class") << 14;
        QTest::newRow("negative") << -1;
        QTest::newRow("beyond the catalogue") << 99;
    }
    void shellFactoryRefusesOtherTypes()
    {
        QFETCH(int, type);
        QCOMPARE(CreateShellPage(type, nullptr), nullptr);
        QCOMPARE(CViewStoregeManager::Instance()->FindPage(type), nullptr);
    }

    void newPageGetsTheCacheBeforeLiveEvents()
    {
        CViewStoregeManager *store = CViewStoregeManager::Instance();
        CDeviceHub &hub = store->Hub();
        hub.HandleEvent(MakeEvent(1, "A", "10.0.0.1"));
        hub.HandleEvent(MakeEvent(1, "B", "10.0.0.2"));
        hub.HandleEvent(MakeEvent(4, "C", "10.0.0.3"));
        hub.HandleEvent(MakeEvent(1, "A", "10.0.0.11"));
        hub.HandleEvent(MakeEvent(3, "B"));

        auto *zelt = static_cast<CRecordingPage *>(store->GetPage(2));
        QCOMPARE(zelt->m_events, QStringList({"1 A 10.0.0.11", "4 C 10.0.0.3"}));
        hub.HandleEvent(MakeEvent(2, "C", "10.0.0.33"));
        QCOMPARE(zelt->m_events.last(), QStringLiteral("2 C 10.0.0.33"));
        QCOMPARE(zelt->m_events.size(), 3);
    }

    // Two devices with one serial number: a tool opened after one of them
    // left still gets the other.
    void lateToolGetsTheDeviceThatStayed()
    {
        CViewStoregeManager *store = CViewStoregeManager::Instance();
        CDeviceHub &hub = store->Hub();
        hub.HandleEvent(MakeEvent(1, "TWIN", "10.0.1.1", "44-19-b6-00-00-01"));
        hub.HandleEvent(MakeEvent(1, "TWIN", "10.0.1.2", "44-19-b6-00-00-02"));
        hub.HandleEvent(MakeEvent(3, "TWIN", "10.0.1.1", "44-19-b6-00-00-01"));
        auto *link = static_cast<CRecordingPage *>(store->GetPage(5));
        QVERIFY(link->m_events.contains(QStringLiteral("1 TWIN 10.0.1.2")));
        QVERIFY(!link->m_events.contains(QStringLiteral("1 TWIN 10.0.1.1")));
    }

    void eventsReachOnlyOpenPagesOfRegisteredTypes()
    {
        CViewStoregeManager *store = CViewStoregeManager::Instance();
        auto *zelt = static_cast<CRecordingPage *>(store->GetPage(2));
        auto *camc = static_cast<CRecordingPage *>(store->GetPage(3)); // not registered
        auto *task = static_cast<CRecordingPage *>(store->GetPage(9)); // registered, no replay
        QVERIFY(task->m_events.isEmpty());
        zelt->m_events.clear();
        store->Hub().HandleEvent(MakeEvent(1, "D"));
        QCOMPARE(zelt->m_events, QStringList({"1 D 192.168.1.64"}));
        QCOMPARE(task->m_events, QStringList({"1 D 192.168.1.64"}));
        QVERIFY(camc->m_events.isEmpty());
    }

    void destroyedPageLeavesTheStore()
    {
        CViewStoregeManager *store = CViewStoregeManager::Instance();
        auto *stor = static_cast<CRecordingPage *>(store->GetPage(4));
        QVERIFY(!stor->m_events.isEmpty()); // replayed
        delete stor;
        QCOMPARE(store->FindPage(4), nullptr);
        store->Hub().HandleEvent(MakeEvent(1, "E")); // must not touch the deleted page
        auto *again = static_cast<CRecordingPage *>(store->GetPage(4));
        QVERIFY(again->m_events.contains(QStringLiteral("1 E 192.168.1.64")));
    }
};

QTEST_MAIN(TestViewStore)
#include "tst_viewstore.moc"
