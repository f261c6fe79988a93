// The hub in front of the real engine: the refresh service really asks the
// network, and a hub destroyed while the engine streams device events is
// left by the engine cleanly (no callback reaches it afterwards).
#include <QtTest>

#include <QNetworkDatagram>
#include <QNetworkInterface>
#include <QUdpSocket>

#include <atomic>
#include <chrono>
#include <thread>

#include "CDeviceHub.h"
#include "CViewStoregeManager.h"
#include "simprocess.h"

namespace {
struct Counter {
    std::atomic<int> events{0};
};
void countEvent(const ZELT_DEVICE_EVENT *, void *ctx)
{
    auto *c = static_cast<Counter *>(ctx);
    c->events.fetch_add(1);
    // A slow receiver, as a tool's panel can be, keeps the stream going
    // while the hub is destroyed.
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
}

bool isInquiry(const QByteArray &d)
{
    return d.size() >= 16 && d.at(0) == 'Z' && d.at(1) == 'T' && d.at(3) == 1;
}
} // namespace

class TestHubEngine : public QObject
{
    Q_OBJECT
private slots:
    void refreshSendsAnInquiry()
    {
        const quint16 port = SimProcess::portFor(3);
        qputenv("ZELT_PORT", QByteArray::number(port));
        qputenv("ZELT_INQUIRY_PERIOD_MS", "600000"); // no periodic inquiry during the test

        // Without a running engine there is nobody to send it.
        QVERIFY(!CViewStoregeManager::RefreshService());

        // A socket where a device would listen.
        QUdpSocket device;
        QVERIFY(device.bind(QHostAddress::AnyIPv4, port, QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint));
        QVERIFY(device.joinMulticastGroup(QHostAddress(QStringLiteral("239.255.47.81")),
                                          QNetworkInterface::interfaceFromName(QStringLiteral("lo"))));
        CDeviceHub hub;
        QVERIFY(hub.Start());

        // Let the start-up inquiries pass: quiet for 1.5 s.
        QElapsedTimer quiet;
        quiet.start();
        QElapsedTimer total;
        total.start();
        int startup = 0;
        while (quiet.elapsed() < 1500 && total.elapsed() < 15000) {
            if (device.waitForReadyRead(100)) {
                while (device.hasPendingDatagrams()) {
                    startup += isInquiry(device.receiveDatagram().data()) ? 1 : 0;
                    quiet.restart();
                }
            }
        }
        QVERIFY(startup >= 1);
        QVERIFY2(quiet.elapsed() >= 1500, "the engine never stopped inquiring");

        QVERIFY(CViewStoregeManager::RefreshService());
        bool asked = false;
        QElapsedTimer wait;
        wait.start();
        while (!asked && wait.elapsed() < 1000) {
            if (device.waitForReadyRead(100))
                while (device.hasPendingDatagrams())
                    asked = asked || isInquiry(device.receiveDatagram().data());
        }
        QVERIFY2(asked, "no inquiry went out after the refresh");
        hub.Stop();
        QVERIFY(!CViewStoregeManager::RefreshService());
        qunsetenv("ZELT_INQUIRY_PERIOD_MS");
    }

    void hubDestroyedWhileTheEngineStreams()
    {
        SimProcess sim(4);
        QVERIFY(sim.start({"--quiet", "--count", "400", "--churn", "0.01"}));
        qputenv("ZELT_PORT", QByteArray::number(sim.port));
        Counter counter;
        auto *hub = new CDeviceHub;
        hub->Register(countEvent, &counter);
        QVERIFY(hub->Start());
        QTRY_VERIFY_WITH_TIMEOUT(counter.events.load() >= 20, 10000);
        delete hub;
        const int atDestruction = counter.events.load();
        // The engine was stopped before the hub went, so nothing can call
        // into it any more.
        QVERIFY(ZELT_SendInquiry() != 1);
        QVERIFY2(atDestruction < 400, "the stream was over before the hub went: nothing tested");
        QTest::qWait(500);
        QCOMPARE(counter.events.load(), atDestruction);
    }
};

QTEST_GUILESS_MAIN(TestHubEngine)
#include "tst_hubengine.moc"
