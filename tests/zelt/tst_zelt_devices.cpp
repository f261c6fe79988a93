// The panel's device store on its own: intake from plain threads as the
// hub's thread delivers it, the index by serial number and MAC address, and
// removal that keeps arrival order.

#include <QtTest>

#include <atomic>
#include <thread>
#include <vector>

#include "CZeltDeviceStore.h"
#include "ZeltTestSupport.h"
#include "zelt_sdk.h"

using ZeltTest::MakeEvent;

namespace {
QString Serial(int i)
{
    return QStringLiteral("ZC-%1").arg(100000 + i);
}
QString Mac(int i)
{
    return QString::asprintf("02-00-00-%02x-%02x-%02x", (i >> 16) & 0xff, (i >> 8) & 0xff, i & 0xff);
}
} // namespace

class ZeltStoreTest : public QObject
{
    Q_OBJECT

private slots:
    // Four threads deliver online, changed and offline events at once; the
    // listener hears every one under the lock, and the list holds exactly
    // the online records, each thread's in its own order.
    void intakeFromSeveralThreads()
    {
        CZeltDeviceStore store;
        std::atomic<int> online{0}, updates{0}, offline{0};
        int insideLock = 0; // written only while the store's lock is held
        CZeltDeviceStore::Listener listener;
        listener.online = [&](const ZELT_DEVICE_INFO_MY &) {
            ++online;
            ++insideLock;
        };
        listener.update = [&](const ZELT_DEVICE_INFO_MY &) {
            ++updates;
            ++insideLock;
        };
        listener.offline = [&](const QString &, const QString &) {
            ++offline;
            ++insideLock;
        };
        store.SetListener(listener);

        constexpr int kThreads = 4;
        constexpr int kPerThread = 300;
        std::vector<std::thread> threads;
        std::atomic<int> finished{0};
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&store, &finished, t] {
                for (int k = 0; k < kPerThread; ++k) {
                    const int i = t * kPerThread + k;
                    store.Intake(MakeEvent(ZELT_EVENT_ONLINE, i));
                    if (k % 3 == 0)
                        store.Intake(MakeEvent(ZELT_EVENT_CHANGED, i));
                    if (k % 5 == 0)
                        store.Intake(MakeEvent(ZELT_EVENT_OFFLINE, i));
                    store.Intake(MakeEvent(7, i)); // unknown kind: nothing
                }
                ++finished;
            });
        }
        // Readers on this thread meanwhile, under the lock. A mismatch is
        // noted and compared once the threads are joined: a failed check
        // must not leave them running.
        QString mismatch;
        int passes = 0;
        for (; finished.load() < kThreads && mismatch.isEmpty(); ++passes) {
            CZeltDeviceStore::Locker lock(store);
            for (int i = 0; i < store.Size(); ++i) {
                const ZELT_DEVICE_INFO_MY &d = store.At(i);
                const int found = store.IndexOf(ZeltRecords::text(d.szSerialNO), ZeltRecords::text(d.szMAC));
                if (found != i) {
                    mismatch = QStringLiteral("record %1 indexed at %2").arg(i).arg(found);
                    break;
                }
            }
        }
        for (std::thread &th : threads)
            th.join();
        QCOMPARE(mismatch, QString());
        QVERIFY(passes > 0);

        QCOMPARE(online.load(), kThreads * kPerThread);
        QCOMPARE(updates.load(), kThreads * ((kPerThread + 2) / 3));
        QCOMPARE(offline.load(), kThreads * ((kPerThread + 4) / 5));
        CZeltDeviceStore::Locker lock(store);
        QCOMPARE(insideLock, online + updates + offline);
        // The intake only appends; updates and removals are the table's.
        QCOMPARE(store.Size(), kThreads * kPerThread);
        std::vector<int> last(kThreads, -1);
        for (int i = 0; i < store.Size(); ++i) {
            const int n = ZeltRecords::text(store.At(i).szSerialNO).mid(3).toInt() - 100000;
            QVERIFY(n > last[size_t(n / kPerThread)]);
            last[size_t(n / kPerThread)] = n;
        }
    }

    void indexFindsTheFirstRecordWithinTheLimit()
    {
        CZeltDeviceStore store;
        for (int i : {1, 2, 3, 2, 4})
            store.Intake(MakeEvent(ZELT_EVENT_ONLINE, i));
        CZeltDeviceStore::Locker lock(store);
        QCOMPARE(store.Size(), 5);
        QCOMPARE(store.IndexOf(Serial(2), Mac(2)), 1); // the first of the two
        QCOMPARE(store.IndexOf(Serial(4), Mac(4)), 4);
        QCOMPARE(store.IndexOf(Serial(4), Mac(4), 4), -1); // beyond the limit
        QCOMPARE(store.IndexOf(Serial(2), Mac(3)), -1);    // both must match
        QCOMPARE(store.IndexOf(Serial(9), Mac(9)), -1);

        // Every record of a gone device among the first limit ones goes;
        // the rest keep their order and the index follows.
        store.Remove({{Serial(2), Mac(2)}, {Serial(1), Mac(1)}}, 3);
        QCOMPARE(store.Size(), 3);
        QCOMPARE(ZeltRecords::text(store.At(0).szSerialNO), Serial(3));
        QCOMPARE(ZeltRecords::text(store.At(1).szSerialNO), Serial(2)); // beyond the limit: kept
        QCOMPARE(ZeltRecords::text(store.At(2).szSerialNO), Serial(4));
        QCOMPARE(store.IndexOf(Serial(2), Mac(2)), 1);
        QCOMPARE(store.IndexOf(Serial(4), Mac(4)), 2);
        QCOMPARE(store.IndexOf(Serial(1), Mac(1)), -1);

        ZELT_DEVICE_INFO_MY changed = store.At(2);
        ZeltTest::Put(changed.szIPv4Address, "10.9.9.9");
        store.Replace(2, changed);
        QCOMPARE(ZeltRecords::text(store.At(2).szIPv4Address), QString("10.9.9.9"));
        QCOMPARE(store.Snapshot().size(), 3);
    }

    void arrivalCheck()
    {
        CZeltDeviceStore store;
        int heard = 0;
        CZeltDeviceStore::Listener listener;
        listener.online = [&](const ZELT_DEVICE_INFO_MY &) { ++heard; };
        store.SetListener(listener);
        // Every measured text field 64 characters or longer: dropped. (The
        // event kind itself ends the field at 224, so that one is given a
        // kind whose bytes carry no terminator.)
        ZELT_DEVICE_EVENT junk;
        std::memset(&junk, 'A', sizeof junk);
        junk.iEventKind = 0x41414141;
        QVERIFY(!CZeltDeviceStore::PassesArrivalCheck(junk));
        // One field short enough is enough.
        junk.szMAC[10] = '\0';
        QVERIFY(CZeltDeviceStore::PassesArrivalCheck(junk));
        ZELT_DEVICE_EVENT sound = MakeEvent(ZELT_EVENT_ONLINE2, 5);
        QVERIFY(CZeltDeviceStore::PassesArrivalCheck(sound));
        store.Intake(sound);
        QCOMPARE(heard, 1);
        CZeltDeviceStore::Locker lock(store);
        QCOMPARE(store.Size(), 1);
    }
};

QTEST_GUILESS_MAIN(ZeltStoreTest)
#include "tst_zelt_store.moc"
