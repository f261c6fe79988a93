// The hub under concurrency: a page created while the engine's thread
// streams events sees the whole replay before any live event; singletons
// are created exactly once when many threads ask at the same time; pages
// destroyed while events stream are never reached half-destroyed.
#include <atomic>
#include <thread>
#include <vector>

#include <QtTest>

#include "CViewStoregeManager.h"
#include "HostPages.h"
#include "TBXSingleton.h"
#include "TestRecords.h"

namespace {
std::atomic<int> g_constructed{0};
struct CCounted {
    CCounted() { g_constructed.fetch_add(1); }
    int value = 42;
};
} // namespace

class TestHubThreads : public QObject
{
    Q_OBJECT
private slots:
    void singletonIsCreatedOnce()
    {
        std::atomic<bool> go{false};
        std::vector<CCounted *> seen(8, nullptr);
        std::vector<std::thread> threads;
        for (int i = 0; i < 8; ++i)
            threads.emplace_back([&, i] {
                while (!go.load())
                    std::this_thread::yield();
                seen[i] = TBX::CSingleton<CCounted>::Instance();
            });
        go = true;
        for (auto &t : threads)
            t.join();
        QCOMPARE(g_constructed.load(), 1);
        for (CCounted *p : seen) {
            QCOMPARE(p, seen[0]);
            QCOMPARE(p->value, 42);
        }
    }

    void pageCreatedDuringStreamSeesEveryDeviceOnceInOrder()
    {
        CViewStoregeManager *store = CViewStoregeManager::Instance();
        store->SetPageCreator(
            [](int type, QWidget *parent) -> CBaseFrame * { return new CRecordingPage(type, parent); });
        CDeviceHub &hub = store->Hub();

        constexpr int kDevices = 3000;
        std::atomic<int> sent{0};
        std::thread engine([&] {
            for (int i = 0; i < kDevices; ++i) {
                hub.HandleEvent(MakeEvent(1, QByteArray("S") + QByteArray::number(i)));
                sent.store(i + 1);
            }
        });
        while (sent.load() < kDevices / 4)
            std::this_thread::yield();
        auto *page = static_cast<CRecordingPage *>(store->GetPage(2));
        engine.join();

        QCOMPARE(page->m_events.size(), kDevices);
        for (int i = 0; i < kDevices; ++i)
            QCOMPARE(page->m_events.at(i), QStringLiteral("1 S%1 192.168.1.64").arg(i));
    }

    void pageDestroyedWhileEventsStream()
    {
        CViewStoregeManager *store = CViewStoregeManager::Instance();
        CDeviceHub &hub = store->Hub();
        std::atomic<bool> stop{false};
        std::thread engine([&] {
            int i = 0;
            while (!stop.load())
                hub.HandleEvent(MakeEvent(2, QByteArray("S") + QByteArray::number(i++ % 50)));
        });
        for (int round = 0; round < 50; ++round) {
            CBaseFrame *page = store->GetPage(5);
            QVERIFY(page);
            delete page; // the engine thread must never reach it afterwards
        }
        stop = true;
        engine.join();
        QCOMPARE(store->FindPage(5), nullptr);
    }

    // The shell's own control panel: once its part of the object is gone,
    // the engine thread looking up pages must not find it any more.
    void controlPanelDestroyedWhileEventsStream()
    {
        CViewStoregeManager *store = CViewStoregeManager::Instance();
        store->SetPageCreator(&CreateShellPage);
        CDeviceHub &hub = store->Hub();
        std::atomic<bool> stop{false};
        std::thread engine([&] {
            int i = 0;
            while (!stop.load())
                hub.HandleEvent(MakeEvent(1, QByteArray("P") + QByteArray::number(i++ % 50)));
        });
        for (int round = 0; round < 100; ++round) {
            CBaseFrame *panel = store->GetPage(1);
            QVERIFY(panel);
            QCOMPARE(panel->GetTypeId(), 1);
            delete panel;
        }
        stop = true;
        engine.join();
        QCOMPARE(store->FindPage(1), nullptr);
    }
};

QTEST_MAIN(TestHubThreads)
#include "tst_hubthreads.moc"
