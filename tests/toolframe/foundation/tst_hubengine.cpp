// The hub in front of the real engine: the refresh service really asks the
// network, a hub destroyed while the engine streams device events is left
// by the engine cleanly (no callback reaches it afterwards), and the modify
// service changes a simulated device.
#include <QtTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

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

// A socket where a device would listen: the group on the loopback
// interface. Plain sockets: Qt's would consult the system proxy settings on
// a thread of their own.
class DeviceSocket
{
public:
    explicit DeviceSocket(quint16 port)
    {
        m_fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        const int on = 1;
        ::setsockopt(m_fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(port);
        addr.sin_addr.s_addr = htonl(INADDR_ANY);
        ip_mreq group{};
        group.imr_multiaddr.s_addr = inet_addr("239.255.47.81");
        group.imr_interface.s_addr = htonl(INADDR_LOOPBACK);
        m_ok = m_fd >= 0 && ::bind(m_fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) == 0
               && ::setsockopt(m_fd, IPPROTO_IP, IP_ADD_MEMBERSHIP, &group, sizeof group) == 0;
    }
    ~DeviceSocket()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool ok() const { return m_ok; }
    // Waits up to ms for a datagram; 1 for an inquiry, 0 for another, -1 for none.
    int receive(int ms)
    {
        pollfd p{m_fd, POLLIN, 0};
        if (::poll(&p, 1, ms) != 1)
            return -1;
        unsigned char buf[1500];
        const ssize_t n = ::recv(m_fd, buf, sizeof buf, 0);
        return n >= 16 && buf[0] == 'Z' && buf[1] == 'T' && buf[3] == 1 ? 1 : 0;
    }

private:
    int m_fd = -1;
    bool m_ok = false;
};
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

        DeviceSocket device(port);
        QVERIFY(device.ok());
        CDeviceHub hub;
        QVERIFY(hub.Start());

        // Let the start-up inquiries pass: quiet for 1.5 s.
        QElapsedTimer quiet;
        quiet.start();
        QElapsedTimer total;
        total.start();
        int startup = 0;
        while (quiet.elapsed() < 1500 && total.elapsed() < 15000) {
            const int got = device.receive(100);
            if (got >= 0) {
                startup += got;
                quiet.restart();
            }
        }
        QVERIFY(startup >= 1);
        QVERIFY2(quiet.elapsed() >= 1500, "the engine never stopped inquiring");

        QVERIFY(CViewStoregeManager::RefreshService());
        bool asked = false;
        QElapsedTimer wait;
        wait.start();
        while (!asked && wait.elapsed() < 1000)
            asked = device.receive(100) == 1;
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

    // The network-parameter service the shell hands to tools reaches a real
    // device through the store's engine, each value in its place.
    void modifyServiceChangesADevice()
    {
        SimProcess sim(5);
        QVERIFY(sim.start({"--quiet", "--count", "6"}));
        qputenv("ZELT_PORT", QByteArray::number(sim.port));
        // Without a store there is no engine to ask.
        QVERIFY(!CViewStoregeManager::ModifyNetParamService("00-00-00-00-00-00", "10.0.0.1", "255.0.0.0", "pw", "8000",
                                                            "80", "10.0.0.254", nullptr, nullptr, 0, 0));
        CViewStoregeManager *store = CViewStoregeManager::Instance(); // starts the engine
        auto activeDevice = [store] {
            for (const ZELT_DEVICE_EVENT &ev : store->Hub().CacheSnapshot())
                // Active, not locked, and reporting its gateway (extended record).
                if (ev.byActivated == 0 && ev.byExtendInfo != 0
                    && !(ev.dwDeviceType >= 0x9D00 && ev.dwDeviceType <= 0x9FFF))
                    return ev;
            return ZELT_DEVICE_EVENT{};
        };
        QTRY_VERIFY_WITH_TIMEOUT(activeDevice().szMAC[0] != 0, 10000);
        const ZELT_DEVICE_EVENT device = activeDevice();
        const QByteArray mac = ZeltRecords::bytes(device.szMAC);
        const QString serial = ZeltRecords::text(device.szSerialNO);

        QVERIFY(!CViewStoregeManager::ModifyNetParamService(mac.constData(), "10.9.8.7", "255.255.0.0", "Wrong1234",
                                                            "8100", "81", "10.9.0.1", nullptr, nullptr, 0, 0));
        QVERIFY(CViewStoregeManager::ModifyNetParamService(mac.constData(), "10.9.8.7", "255.255.0.0", "Admin12345",
                                                           "8100", "81", "10.9.0.1", nullptr, nullptr, 0, 0));
        auto changed = [&] {
            for (const ZELT_DEVICE_EVENT &ev : store->Hub().CacheSnapshot())
                if (ZeltRecords::text(ev.szSerialNO) == serial)
                    return ev;
            return ZELT_DEVICE_EVENT{};
        };
        QTRY_COMPARE_WITH_TIMEOUT(ZeltRecords::text(changed().szIPv4Address), QStringLiteral("10.9.8.7"), 5000);
        const ZELT_DEVICE_EVENT after = changed();
        QCOMPARE(ZeltRecords::text(after.szIPv4SubnetMask), QStringLiteral("255.255.0.0"));
        QCOMPARE(ZeltRecords::text(after.szIPv4Gateway), QStringLiteral("10.9.0.1"));
        QCOMPARE(after.dwPort, 8100u);
        QCOMPARE(int(after.wHttpPort), 81);
    }
};

QTEST_GUILESS_MAIN(TestHubEngine)
#include "tst_hubengine.moc"
