// The panel's device controller without a widget: intake from plain
// threads as the hub's thread delivers it, the records and rows it keeps,
// and look-ups by DeviceKey whatever the rows show.

#include <QtTest>

#include <atomic>
#include <thread>
#include <vector>

#include "CZeltDeviceController.h"
#include "CZeltDeviceStore.h"
#include "QtZeltItemModel.h"
#include "ZeltTestSupport.h"
#include "zelt_sdk.h"

using ZeltTest::MakeEvent;
using Col = QtZeltItemModel::Column;

namespace {
DeviceKey Key(int i)
{
    return {QStringLiteral("ZC-%1").arg(100000 + i),
            QString::asprintf("02-00-00-%02x-%02x-%02x", (i >> 16) & 0xff, (i >> 8) & 0xff, i & 0xff)};
}
int Number(const ZELT_DEVICE_INFO_MY &d)
{
    return ZeltRecords::text(d.szSerialNO).mid(3).toInt() - 100000;
}
} // namespace

class ZeltDevicesTest : public QObject
{
    Q_OBJECT

private slots:
    // Four threads deliver online, changed and offline events at once; the
    // controller's signals come under its lock (the receivers below count
    // in a plain int, which ThreadSanitizer checks), its records keep each
    // thread's order, and once the events are applied the rows are exactly
    // the devices still online.
    void intakeFromSeveralThreads()
    {
        CZeltDeviceController devices;
        std::atomic<int> online{0}, updates{0}, offline{0};
        int insideLock = 0;
        connect(
            &devices, &CZeltDeviceController::DeviceOnline, this,
            [&](const ZELT_DEVICE_INFO_MY &) {
                ++online;
                ++insideLock;
            },
            Qt::DirectConnection);
        connect(
            &devices, &CZeltDeviceController::DeviceUpdated, this,
            [&](const ZELT_DEVICE_INFO_MY &) {
                ++updates;
                ++insideLock;
            },
            Qt::DirectConnection);
        connect(
            &devices, &CZeltDeviceController::DeviceOffline, this,
            [&](const DeviceKey &) {
                ++offline;
                ++insideLock;
            },
            Qt::DirectConnection);

        constexpr int kThreads = 4;
        constexpr int kPerThread = 300;
        std::vector<std::thread> threads;
        std::atomic<int> finished{0};
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&devices, &finished, t] {
                for (int k = 0; k < kPerThread; ++k) {
                    const int i = t * kPerThread + k;
                    devices.Intake(MakeEvent(ZELT_EVENT_ONLINE, i));
                    if (k % 3 == 0)
                        devices.Intake(MakeEvent(ZELT_EVENT_CHANGED, i));
                    if (k % 5 == 0)
                        devices.Intake(MakeEvent(ZELT_EVENT_OFFLINE, i));
                    devices.Intake(MakeEvent(7, i)); // unknown kind: nothing
                }
                ++finished;
            });
        }
        // This thread applies the events and reads the records meanwhile;
        // under ThreadSanitizer every hand-off is checked.
        while (finished.load() < kThreads) {
            devices.Snapshot();
            QCoreApplication::processEvents();
        }
        for (std::thread &th : threads)
            th.join();

        QCOMPARE(online.load(), kThreads * kPerThread);
        QCOMPARE(updates.load(), kThreads * ((kPerThread + 2) / 3));
        QCOMPARE(offline.load(), kThreads * ((kPerThread + 4) / 5));
        QCOMPARE(insideLock, online + updates + offline);
        // The intake only appends; each thread's records keep its order.
        const QList<ZELT_DEVICE_INFO_MY> records = devices.Snapshot();
        QVERIFY(records.size() <= kThreads * kPerThread);
        std::vector<int> last(kThreads, -1);
        for (const ZELT_DEVICE_INFO_MY &d : records) {
            const int n = Number(d);
            QVERIFY(n > last[size_t(n / kPerThread)]);
            last[size_t(n / kPerThread)] = n;
        }
        // Applied on this thread: the devices that stayed, each in one row
        // that carries its key and shows its own record (read from the
        // store while departures were removing records before it), with
        // one record each.
        QTRY_COMPARE(devices.Model()->rowCount(), kThreads * kPerThread - offline.load());
        devices.Flush();
        QCOMPARE(devices.Snapshot().size(), devices.Model()->rowCount());
        for (int r = 0; r < devices.Model()->rowCount(); ++r) {
            const DeviceKey key = devices.Model()->KeyOfRow(r);
            QCOMPARE(key.Serial(), devices.Model()->TextAt(r, Col::ColSerial));
            const int n = key.Serial().mid(3).toInt() - 100000;
            QCOMPARE(devices.Model()->TextAt(r, Col::ColIPv4), QString::asprintf("10.0.%d.%d", n >> 8, n & 0xff));
            QVERIFY2((Number(devices.TargetOf(key)->record) % kPerThread) % 5 != 0, qPrintable(key.Serial()));
        }
    }

    // A row is known by the key it carries, not by what it shows: a serial
    // cell changed under it, a sort, and removals above it leave every
    // look-up with its own device.
    void lookUpsGoByKey()
    {
        CZeltDeviceController devices;
        for (int i : {3, 1, 2})
            devices.Intake(MakeEvent(ZELT_EVENT_ONLINE, i));
        devices.Flush();
        QtZeltItemModel *model = devices.Model();
        QCOMPARE(model->rowCount(), 3);
        model->item(0, Col::ColSerial)->setText("ZC-100001"); // row 0 shows device 1's serial
        const auto first = devices.TargetOf(model->index(0, Col::ColIPv4));
        QVERIFY(first);
        QCOMPARE(first->key, Key(3));
        QCOMPARE(first->id, QString("001 "));
        QCOMPARE(ZeltRecords::text(first->record.szIPv4Address), QString("10.0.0.3"));

        model->sort(Col::ColIPv4, Qt::DescendingOrder); // 3, 2, 1
        QCOMPARE(model->KeyOfRow(2), Key(1));
        const QList<CZeltDeviceController::Target> targets = devices.TargetsOf(
            {model->index(2, 0), model->index(0, 0)});
        QCOMPARE(targets.size(), 2);
        QCOMPARE(targets.at(0).key, Key(1));
        QCOMPARE(targets.at(1).key, Key(3));

        devices.ApplyNetworkChange(Key(1), {"10.9.9.9", 8100, "255.0.0.0", "10.0.0.254"});
        QCOMPARE(model->TextAt(2, Col::ColIPv4), QString("10.9.9.9"));
        QCOMPARE(ZeltRecords::text(devices.TargetOf(Key(1))->record.szIPv4Address), QString("10.9.9.9"));
        devices.Intake(MakeEvent(ZELT_EVENT_OFFLINE, 3));
        devices.Flush();
        QCOMPARE(model->rowCount(), 2);
        QCOMPARE(devices.TargetOf(Key(1))->id, QString("002 "));
        QVERIFY(!devices.TargetOf(Key(3)));
        QCOMPARE(devices.TargetsOf({model->index(1, 0)}).value(0).key, Key(1));
    }

    void storeIndexFindsTheFirstRecordWithinTheLimit()
    {
        CZeltDeviceStore store;
        for (int i : {1, 2, 3, 2, 4}) {
            ZELT_DEVICE_INFO_MY d = ZeltRecords::buildDeviceInfo(MakeEvent(ZELT_EVENT_ONLINE, i));
            store.Append(d);
        }
        QCOMPARE(store.Size(), 5);
        QCOMPARE(store.IndexOf(Key(2)), 1); // the first of the two
        QCOMPARE(store.IndexOf(Key(4)), 4);
        QCOMPARE(store.IndexOf(Key(4), 4), -1);                       // beyond the limit
        QCOMPARE(store.IndexOf({Key(2).Serial(), Key(3).Mac()}), -1); // both must match
        QVERIFY(!store.Find(Key(9)));

        // Every record of a gone device among the first limit ones goes;
        // the rest keep their order and the index follows.
        store.Remove({Key(2), Key(1)}, 3);
        QCOMPARE(store.Size(), 3);
        QCOMPARE(DeviceKey::Of(store.At(0)), Key(3));
        QCOMPARE(DeviceKey::Of(store.At(1)), Key(2)); // beyond the limit: kept
        QCOMPARE(DeviceKey::Of(store.At(2)), Key(4));
        QCOMPARE(store.IndexOf(Key(2)), 1);
        QCOMPARE(store.IndexOf(Key(4)), 2);
        QCOMPARE(store.IndexOf(Key(1)), -1);
    }

    void arrivalCheck()
    {
        CZeltDeviceController devices;
        int heard = 0;
        connect(&devices, &CZeltDeviceController::DeviceOnline, this, [&](const ZELT_DEVICE_INFO_MY &) { ++heard; });
        // Every measured text field 64 characters or longer: dropped. (The
        // event kind itself ends the field at 224, so that one is given a
        // kind whose bytes carry no terminator.)
        ZELT_DEVICE_EVENT junk;
        std::memset(&junk, 'A', sizeof junk);
        junk.iEventKind = 0x41414141;
        QVERIFY(!CZeltDeviceController::PassesArrivalCheck(junk));
        devices.Intake(junk);
        // One field short enough is enough.
        junk.szMAC[10] = '\0';
        QVERIFY(CZeltDeviceController::PassesArrivalCheck(junk));
        devices.Intake(MakeEvent(ZELT_EVENT_ONLINE2, 5));
        QCOMPARE(heard, 1);
        QCOMPARE(devices.Snapshot().size(), 1);
    }
};

QTEST_MAIN(ZeltDevicesTest)
#include "tst_zelt_devices.moc"
