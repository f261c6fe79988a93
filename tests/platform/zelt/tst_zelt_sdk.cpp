// The SDK against the device simulator on loopback.
#include "simprocess.h"
#include "zelt_sdk.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <map>
#include <mutex>
#include <vector>

namespace {

struct Recorder {
    std::mutex mu;
    std::vector<ZELT_DEVICE_INFO> events;
    std::map<QString, ZELT_DEVICE_INFO> latest; // serial -> last online/changed record
    std::mutex gate;                            // held by a test to block the callback
    std::atomic<bool> useGate{false};
    std::atomic<int> calls{0};
    std::atomic<bool> stopInside{false};
    std::atomic<int> stopResult{-1};

    void clear()
    {
        std::lock_guard l(mu);
        events.clear();
        latest.clear();
        calls = 0;
    }
    int count(int kind)
    {
        std::lock_guard l(mu);
        int n = 0;
        for (auto &e : events)
            n += e.iResult == kind;
        return n;
    }
    std::optional<ZELT_DEVICE_INFO> device(const QString &serial)
    {
        std::lock_guard l(mu);
        auto it = latest.find(serial);
        if (it == latest.end())
            return std::nullopt;
        return it->second;
    }
    std::vector<ZELT_DEVICE_INFO> devices()
    {
        std::lock_guard l(mu);
        std::vector<ZELT_DEVICE_INFO> out;
        for (auto &[k, v] : latest)
            out.push_back(v);
        return out;
    }
};
Recorder g_rec;

void ZELT_CALLBACK onDevice(const ZELT_DEVICE_INFO *info, void *user)
{
    QCOMPARE_EQ(user, static_cast<void *>(&g_rec));
    if (g_rec.useGate) {
        std::lock_guard block(g_rec.gate);
    }
    ++g_rec.calls;
    if (g_rec.stopInside.exchange(false))
        g_rec.stopResult = ZELT_Stop();
    std::lock_guard l(g_rec.mu);
    g_rec.events.push_back(*info);
    QString serial = QString::fromLatin1(info->szSerialNO);
    if (info->byTrust == ZELT_TRUST_UNTRUSTED)
        return; // reported for diagnosis only, beside the real one
    if (info->iResult == ZELT_EVENT_OFFLINE)
        g_rec.latest.erase(serial);
    else
        g_rec.latest[serial] = *info;
}

ZELT_NET_PARAM netParam(const char *ip, uint16_t port = 0)
{
    ZELT_NET_PARAM p;
    std::memset(&p, 0, sizeof p);
    std::strncpy(p.szIPv4Address, ip, sizeof p.szIPv4Address - 1);
    std::strcpy(p.szIPv6Address, "::");
    std::strcpy(p.szIPv6Gateway, "::");
    p.wPort = port;
    return p;
}

// Plain UDP on loopback: a sender pinned to lo, and a listener joined to the
// group on one port, as a host on the same segment would have them.
struct Udp {
    int fd = -1;
    explicit Udp(quint16 listenPort = 0)
    {
        fd = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK, 0);
        in_addr lo{};
        inet_pton(AF_INET, "127.0.0.1", &lo);
        setsockopt(fd, IPPROTO_IP, IP_MULTICAST_IF, &lo, sizeof lo);
        int ttl = 0, one = 1;
        setsockopt(fd, IPPROTO_IP, IP_MULTICAST_TTL, &ttl, sizeof ttl);
        if (listenPort) {
            setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
            sockaddr_in a{};
            a.sin_family = AF_INET;
            a.sin_port = htons(listenPort);
            inet_pton(AF_INET, "239.255.47.81", &a.sin_addr);
            bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a);
            ip_mreq m{};
            m.imr_multiaddr = a.sin_addr;
            m.imr_interface = lo;
            setsockopt(fd, IPPROTO_IP, IP_ADD_MEMBERSHIP, &m, sizeof m);
        }
    }
    ~Udp()
    {
        if (fd >= 0)
            ::close(fd);
    }
    void send(const QByteArray &d, quint16 port)
    {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(port);
        inet_pton(AF_INET, "239.255.47.81", &to.sin_addr);
        sendto(fd, d.constData(), size_t(d.size()), 0, reinterpret_cast<sockaddr *>(&to), sizeof to);
    }
    // Every datagram waiting now.
    QList<QByteArray> drain()
    {
        QList<QByteArray> out;
        char buf[2048];
        for (;;) {
            ssize_t n = recv(fd, buf, sizeof buf, 0);
            if (n < 0)
                break;
            out << QByteArray(buf, int(n));
        }
        return out;
    }
};

// Message type of a datagram (0 if it is none of ours).
int typeOf(const QByteArray &d)
{
    return d.size() >= 16 && d[0] == 'Z' && d[1] == 'T' ? int(uint8_t(d[3])) : 0;
}
// Serial number inside a hello.
QByteArray helloSerial(const QByteArray &d)
{
    const int at = 16 + 21;
    return d.size() > at ? d.mid(at + 1, uint8_t(d[at])) : QByteArray();
}
QByteArray inquiry(quint64 clientId, quint16 windowMs, quint64 msgId)
{
    QByteArray d(36, '\0');
    auto put = [&](int at, quint64 v, int n) {
        for (int i = 0; i < n; ++i)
            d[at + i] = char(v >> (8 * i));
    };
    d[0] = 'Z';
    d[1] = 'T';
    d[2] = 2;
    d[3] = 1;
    put(4, 20, 2);
    put(8, msgId, 8);
    put(16, clientId, 8);
    put(24, 1, 4);
    put(28, windowMs, 2);
    return d;
}
// The statistics line the simulator prints when it ends.
QList<int> simStats(SimProcess &sim)
{
    for (const QByteArray &line : sim.output().split('\n'))
        if (line.contains("requests opened")) {
            QList<int> n;
            for (const QByteArray &w : line.split(' ')) {
                bool ok = false;
                int v = w.toInt(&ok);
                if (ok)
                    n << v;
            }
            return n; // opened, not opened, from cache, answers, held back, inquiries refused, then more
        }
    return {};
}

} // namespace

class TestZeltSdk : public QObject
{
    Q_OBJECT

    bool startSdk(const SimProcess &sim, int periodMs = 500)
    {
        qputenv("ZELT_PORT", QByteArray::number(sim.port));
        qputenv("ZELT_INQUIRY_PERIOD_MS", QByteArray::number(periodMs));
        qputenv("ZELT_WINDOW_MS", "200");
        g_rec.clear();
        return ZELT_Start_V30(onDevice, 0, &g_rec) == 1;
    }
    QString firstSerial(bool inactive, uint8_t needSupport = 0)
    {
        for (auto &d : g_rec.devices())
            if ((d.byActivated != 0) == inactive && (d.bySupport & needSupport) == needSupport && d.byExtendInfo == 1
                && (d.dwDeviceType < 0x9D00 || d.dwDeviceType > 0x9FFF))
                return QString::fromLatin1(d.szSerialNO);
        return {};
    }

private slots:
    void init() { g_rec.useGate = false; }
    void cleanup()
    {
        ZELT_Stop();
        ZELT_SetScanRanges(""); // kept across a restart otherwise
    }

    void callsFailCleanlyWhenNotStarted()
    {
        ZELT_Stop();
        QCOMPARE(ZELT_ActivateDevice("X", "Passw0rd99"), 0);
        QCOMPARE(ZELT_GetLastError(), uint32_t(ZELT_ERR_NOT_STARTED));
        QCOMPARE(ZELT_SendInquiry(), 0);
        QCOMPARE(ZELT_Stop(), 0);
        QCOMPARE(ZELT_Start_V30(onDevice, 1, nullptr), 0);
        QCOMPARE(ZELT_GetLastError(), uint32_t(ZELT_ERR_INVALID_PARAM));
        QCOMPARE(ZELT_ModifyDeviceNetParam(nullptr, "x", nullptr), 0);
        QCOMPARE(ZELT_GetLastError(), uint32_t(ZELT_ERR_INVALID_PARAM));
    }

    void logWritesAFile()
    {
        QTemporaryDir dir;
        QVERIFY(ZELT_SetLogToFile(3, dir.path().toLocal8Bit().constData(), 1));
        SimProcess sim(5);
        QVERIFY(sim.start({"--count", "2"}));
        QVERIFY(startSdk(sim));
        QTRY_COMPARE_WITH_TIMEOUT(g_rec.count(ZELT_EVENT_ONLINE), 2, 5000);
        ZELT_Stop();
        ZELT_SetLogToFile(0, nullptr, 0);
        QFile log(dir.filePath("zelt-sdk.log"));
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QByteArray text = log.readAll();
        QVERIFY(text.contains("started"));
        QVERIFY(text.contains("event 1"));
    }

    void discoversTheFleetAndRunsCommands()
    {
        SimProcess sim(0);
        QVERIFY(sim.start({"--lockout-seconds", "2"}));
        QVERIFY(startSdk(sim));
        QCOMPARE(ZELT_Start_V30(onDevice, 0, &g_rec), 0);
        QCOMPARE(ZELT_GetLastError(), uint32_t(ZELT_ERR_ALREADY_STARTED));
        QTRY_COMPARE_WITH_TIMEOUT(int(g_rec.devices().size()), 24, 5000);

        // The default fleet shows every case the panel distinguishes.
        int inactive = 0, locked = 0, noExt = 0, http0 = 0, v6 = 0, dhcp = 0, newPw = 0, reset = 0;
        for (auto &d : g_rec.devices()) {
            inactive += d.byActivated != 0;
            locked += d.dwDeviceType >= 0x9D00 && d.dwDeviceType <= 0x9FFF;
            noExt += d.byExtendInfo == 0;
            http0 += d.wHttpPort == 0;
            v6 += (d.bySupport & ZELT_SUPPORT_IPV6) != 0;
            dhcp += (d.bySupport & ZELT_SUPPORT_DHCP) != 0;
            newPw += (d.bySupport & ZELT_SUPPORT_NEW_PASSWORD) != 0;
            reset += (d.bySupport & ZELT_SUPPORT_RESET_PASSWORD) != 0;
        }
        QVERIFY(inactive > 0 && locked > 0 && v6 > 0 && dhcp > 0 && newPw > 0 && reset > 0);
        QCOMPARE(noExt, 1);
        QCOMPARE(http0, 1);

        // Activation: weak password refused, then done; the table follows (kind 2).
        const QByteArray fresh = firstSerial(true).toLatin1();
        QVERIFY(!fresh.isEmpty());
        QCOMPARE(ZELT_ActivateDevice(fresh, "abcdefgh"), 0);
        QCOMPARE(ZELT_GetLastError(), uint32_t(ZELT_ERR_WEAK_PASSWORD));
        ZELT_NET_PARAM p = netParam("192.168.50.7", 8123);
        auto *dev = new ZELT_DEVICE_INFO(*g_rec.device(QString::fromLatin1(fresh)));
        QCOMPARE(ZELT_ModifyDeviceNetParam(dev->szMAC, "Passw0rd99", &p), 0);
        QCOMPARE(ZELT_GetLastError(), uint32_t(ZELT_ERR_NOT_ACTIVATED));
        QVERIFY(ZELT_ActivateDevice(fresh, "Passw0rd99") != 0);
        QTRY_COMPARE_WITH_TIMEOUT(int(g_rec.device(QString::fromLatin1(fresh))->byActivated), 0, 3000);

        // Network parameters by MAC address; the change comes back as kind 2.
        QCOMPARE(ZELT_ModifyDeviceNetParam(dev->szMAC, "Wrong1234", &p), 0);
        QCOMPARE(ZELT_GetLastError(), uint32_t(ZELT_ERR_WRONG_PASSWORD));
        QCOMPARE(ZELT_ModifyDeviceNetParam(dev->szMAC, "Passw0rd99", &p), 1);
        QTRY_COMPARE_WITH_TIMEOUT(QByteArray(g_rec.device(QString::fromLatin1(fresh))->szIPv4Address),
                                  QByteArray("192.168.50.7"), 3000);
        QCOMPARE(g_rec.device(QString::fromLatin1(fresh))->dwPort, 8123u);
        ZELT_NET_PARAM bad = netParam("192.168.50.300");
        QCOMPARE(ZELT_ModifyDeviceNetParam(dev->szMAC, "Passw0rd99", &bad), 0);
        QCOMPARE(ZELT_GetLastError(), uint32_t(ZELT_ERR_INVALID_PARAM));
        delete dev;

        // Restore with the security code: inactive again, shown through kind 2.
        const QString code = sim.securityCode(QString::fromLatin1(fresh));
        QVERIFY(!code.isEmpty());
        QCOMPARE(ZELT_ResetDefaultPasswd(fresh, "not-the-code"), 0);
        QCOMPARE(ZELT_GetLastError(), uint32_t(ZELT_ERR_BAD_SECURITY_CODE));
        QCOMPARE(ZELT_ResetDefaultPasswd(fresh, code.toLatin1()), 1);
        QTRY_COMPARE_WITH_TIMEOUT(int(g_rec.device(QString::fromLatin1(fresh))->byActivated), 1, 3000);

        // Key export, maker's signature, reset with the signed file.
        const QByteArray target = firstSerial(false, ZELT_SUPPORT_RESET_PASSWORD).toLatin1();
        QVERIFY(!target.isEmpty());
        ZELT_DEVICE_KEY key;
        std::memset(&key, 0, sizeof key);
        QCOMPARE(ZELT_GetDeviceConfig(target, ZELT_CFG_DEVICE_KEY, nullptr, 0, &key, 100), 0);
        QCOMPARE(ZELT_GetLastError(), uint32_t(ZELT_ERR_BUFFER_TOO_SMALL));
        QVERIFY(ZELT_GetDeviceConfig(target, ZELT_CFG_DEVICE_KEY, nullptr, 0, &key, sizeof key) != 0);
        QVERIFY(key.dwLength > 0 && key.dwLength <= 256);
        const QString exported = sim.dir.filePath("DeviceKey.xml"), signedPath = sim.dir.filePath("Signed.xml");
        {
            QFile f(exported);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(reinterpret_cast<const char *>(key.byKey), key.dwLength);
        }
        ZELT_RESET_PARAM rp;
        std::memset(&rp, 0, sizeof rp);
        std::strcpy(rp.szKeyFilePath, exported.toLocal8Bit().constData());
        std::memcpy(rp.szNewPassword, "NewPass1234567890", 16); // all 16 bytes used, no NUL
        QCOMPARE(ZELT_ResetPasswd(target, &rp), 0);
        QCOMPARE(ZELT_GetLastError(), uint32_t(ZELT_ERR_BAD_KEY_FILE));
        QCOMPARE(sim.sign(exported, signedPath), 0);
        std::strcpy(rp.szKeyFilePath, signedPath.toLocal8Bit().constData());
        QCOMPARE(ZELT_ResetPasswd(target, &rp), 1);
        ZELT_NET_PARAM keep = netParam("");
        auto t = *g_rec.device(QString::fromLatin1(target));
        QCOMPARE(ZELT_ModifyDeviceNetParam(t.szMAC, "NewPass123456789", &keep), 1);

        // Five wrong passwords lock; the sixth fails fast even when right.
        for (int i = 0; i < 5; ++i) {
            QCOMPARE(ZELT_ModifyDeviceNetParam(t.szMAC, "Wrong12345", &keep), 0);
            QCOMPARE(ZELT_GetLastError(), uint32_t(ZELT_ERR_WRONG_PASSWORD));
        }
        QElapsedTimer fast;
        fast.start();
        QCOMPARE(ZELT_ModifyDeviceNetParam(t.szMAC, "NewPass123456789", &keep), 0);
        QCOMPARE(ZELT_GetLastError(), uint32_t(ZELT_ERR_LOCKED));
        QVERIFY2(fast.elapsed() < 1000, "a locked device answers at once");
        QTest::qWait(2200);
        QCOMPARE(ZELT_ModifyDeviceNetParam(t.szMAC, "NewPass123456789", &keep), 1);

        // Unknown devices are reported as such.
        QCOMPARE(ZELT_ActivateDevice("NO-SUCH-SERIAL", "Passw0rd99"), 0);
        QCOMPARE(ZELT_GetLastError(), uint32_t(ZELT_ERR_NO_DEVICE));
    }

    void clockOfASkewedDeviceIsSet()
    {
        SimProcess sim(8);
        const QString state = sim.dir.filePath("state.json");
        QVERIFY(sim.start({"--count", "4", "--clock-skew", "-7200", "--state", state}));
        QVERIFY(startSdk(sim));
        QTRY_COMPARE_WITH_TIMEOUT(int(g_rec.devices().size()), 4, 5000);
        const QString serial = firstSerial(false);
        QVERIFY(!serial.isEmpty());
        const ZELT_DEVICE_INFO dev = *g_rec.device(serial);
        QCOMPARE(int(dev.byClockKnown), 0); // the hello tells no wall clock

        // The device's clock as it keeps it (its state file), an offset to this host's.
        auto deviceOffsetMs = [&] {
            QFile f(state);
            if (!f.open(QIODevice::ReadOnly))
                return qint64(-1);
            for (const auto &v : QJsonDocument::fromJson(f.readAll()).object()["devices"].toArray())
                if (v.toObject()["serial"].toString() == serial)
                    return qint64(v.toObject()["clock_offset_ms"].toDouble());
            return qint64(-1);
        };
        QCOMPARE(deviceOffsetMs(), qint64(-7200000));
        QCOMPARE(ZELT_SyncDeviceTime(dev.szMAC, "Wrong12345"), 0);
        QCOMPARE(ZELT_GetLastError(), uint32_t(ZELT_ERR_WRONG_PASSWORD));
        QCOMPARE(deviceOffsetMs(), qint64(-7200000));
        QCOMPARE(ZELT_SyncDeviceTime(dev.szMAC, "Admin12345"), 1);
        QTRY_VERIFY_WITH_TIMEOUT(std::abs(deviceOffsetMs()) < 1000, 2000); // saved after the answer went
        // The device's answer put its clock into the record (kind 2), and a
        // later hello does not take it away.
        QTRY_COMPARE_WITH_TIMEOUT(int(g_rec.device(serial)->byClockKnown), 1, 2000);
        QVERIFY(std::abs(g_rec.device(serial)->iClockOffset) <= 1);
        ZELT_SendInquiry();
        QTest::qWait(700);
        QCOMPARE(int(g_rec.device(serial)->byClockKnown), 1);
    }

    void blockedCallbackDoesNotStallCommands()
    {
        SimProcess sim(1);
        QVERIFY(sim.start({"--count", "4"}));
        std::unique_lock hold(g_rec.gate);
        g_rec.useGate = true;
        QVERIFY(startSdk(sim));
        // The first callback is now blocked; the device is still reached.
        QTest::qWait(600);
        QCOMPARE(g_rec.calls.load(), 0);
        ZELT_DEVICE_KEY key;
        QVERIFY(ZELT_GetDeviceConfig("ZT-IPC2141-000100000001", ZELT_CFG_DEVICE_KEY, nullptr, 0, &key, sizeof key)
                != 0);
        hold.unlock();
        QTRY_COMPARE_WITH_TIMEOUT(g_rec.count(ZELT_EVENT_ONLINE), 4, 5000);
    }

    void eventsOfABusyDeviceFoldWhileTheCallbackIsBlocked()
    {
        // Ten devices changing or leaving about 20 times a second in all.
        SimProcess sim(12);
        QVERIFY(sim.start({"--count", "10", "--churn", "0.05"}));
        std::unique_lock hold(g_rec.gate);
        g_rec.useGate = true;
        QVERIFY(startSdk(sim, 300));
        QTest::qWait(3000); // some 60 changes queue up behind the blocked callback
        sim.kill();
        hold.unlock();
        QTest::qWait(500);
        g_rec.useGate = false;
        // At most two waiting events a device (gone, and back again) and the one
        // that was blocked: the queue never holds a device's whole history.
        const int delivered = g_rec.calls.load();
        qInfo("%d events delivered after the callback was blocked for 3 s", delivered);
        QVERIFY2(delivered <= 2 * 10 + 1, qPrintable(QString::number(delivered)));
        QVERIFY(delivered >= 1);
        // What was delivered still ends in a consistent table: each device once.
        std::map<QString, int> state;
        {
            std::lock_guard l(g_rec.mu);
            for (auto &e : g_rec.events) {
                const QString serial = QString::fromLatin1(e.szSerialNO);
                if (e.iResult == ZELT_EVENT_ONLINE)
                    QCOMPARE(state[serial]++, 0);
                else if (e.iResult == ZELT_EVENT_OFFLINE)
                    QCOMPARE(state[serial]--, 1);
                else
                    QCOMPARE(state[serial], 1);
            }
        }
    }

    void logIsPrivateAndFollowsNoLink()
    {
        QTemporaryDir dir;
        const QString victim = dir.filePath("victim"), log = dir.filePath("zelt-sdk.log");
        {
            QFile v(victim);
            QVERIFY(v.open(QIODevice::WriteOnly));
            v.write("keep");
        }
        QVERIFY(QFile::link(victim, log));
        QCOMPARE(ZELT_SetLogToFile(2, dir.path().toLocal8Bit().constData(), 1), 0);
        QFile v(victim);
        QVERIFY(v.open(QIODevice::ReadOnly));
        QCOMPARE(v.readAll(), QByteArray("keep"));
        QVERIFY(QFile::remove(log));
        QVERIFY(ZELT_SetLogToFile(2, dir.path().toLocal8Bit().constData(), 0));
        ZELT_SetLogToFile(0, nullptr, 0);
        QCOMPARE(QFile(log).permissions()
                     & (QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup | QFile::WriteOther),
                 QFile::Permissions());
    }

    void noCallbackAfterStop()
    {
        SimProcess sim(2);
        QVERIFY(sim.start({"--count", "30", "--churn", "0.02"}));
        QVERIFY(startSdk(sim, 200));
        QTRY_VERIFY_WITH_TIMEOUT(g_rec.calls.load() >= 30, 5000);
        QCOMPARE(ZELT_Stop(), 1);
        const int after = g_rec.calls.load();
        QTest::qWait(800); // churn keeps the devices talking
        QCOMPARE(g_rec.calls.load(), after);
        QCOMPARE(ZELT_Stop(), 0);
        QCOMPARE(ZELT_GetLastError(), uint32_t(ZELT_ERR_NOT_STARTED));
    }

    void hostileDatagramsAreDropped()
    {
        SimProcess sim(5);
        QVERIFY(sim.start({"--count", "3"}));
        QVERIFY(startSdk(sim));
        QTRY_COMPARE_WITH_TIMEOUT(g_rec.count(ZELT_EVENT_ONLINE), 3, 5000);
        // Garbage to both the clients' and the devices' port, on loopback only.
        int fd = socket(AF_INET, SOCK_DGRAM, 0);
        QVERIFY(fd >= 0);
        in_addr lo{};
        inet_pton(AF_INET, "127.0.0.1", &lo);
        QCOMPARE(setsockopt(fd, IPPROTO_IP, IP_MULTICAST_IF, &lo, sizeof lo), 0);
        int ttl = 0;
        setsockopt(fd, IPPROTO_IP, IP_MULTICAST_TTL, &ttl, sizeof ttl);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        inet_pton(AF_INET, "239.255.47.81", &to.sin_addr);
        QRandomGenerator rng(7);
        for (int i = 0; i < 2000; ++i) {
            QByteArray junk(int(rng.bounded(i % 2 ? 16 : 1, 1500)), Qt::Uninitialized);
            for (auto &c : junk)
                c = char(rng.bounded(256));
            if (i % 2) { // a valid header in front makes the body parser work
                junk[0] = 'Z';
                junk[1] = 'T';
                junk[2] = 2;
                junk[3] = char(1 + i % 5);
                junk[4] = char((junk.size() - 16) & 0xff);
                junk[5] = char((junk.size() - 16) >> 8);
            }
            to.sin_port = htons(quint16(sim.port + i % 2));
            sendto(fd, junk.constData(), size_t(junk.size()), 0, reinterpret_cast<sockaddr *>(&to), sizeof to);
        }
        ::close(fd);
        // Both sides still work: a new inquiry is answered, a command goes through.
        QVERIFY(sim.running());
        QCOMPARE(ZELT_SendInquiry(), 1);
        ZELT_DEVICE_KEY key;
        QVERIFY(ZELT_GetDeviceConfig("ZT-IPC2141-000100000001", ZELT_CFG_DEVICE_KEY, nullptr, 0, &key, sizeof key)
                != 0);
        QCOMPARE(int(g_rec.devices().size()), 3);
    }

    void impostorFleetOpensNothing()
    {
        // Same seed, so the same serial numbers and MACs; its own maker key
        // (nobody trusts it), its own password.
        SimProcess real(8), impostor(8);
        QVERIFY(real.start({"--count", "6"}));
        QVERIFY(impostor.start({"--count", "6", "--password", "Impost0r99", "--verbose"}, false));
        qputenv("ZELT_REPORT_UNTRUSTED", "1");
        QVERIFY(startSdk(real));
        qunsetenv("ZELT_REPORT_UNTRUSTED");
        QTRY_VERIFY_WITH_TIMEOUT(g_rec.count(ZELT_EVENT_ONLINE) >= 12, 5000);
        int verified = 0, untrusted = 0;
        {
            std::lock_guard l(g_rec.mu);
            for (auto &e : g_rec.events)
                (e.byTrust == ZELT_TRUST_VERIFIED ? verified : untrusted) += e.iResult == ZELT_EVENT_ONLINE;
        }
        QCOMPARE(verified, 6);
        QCOMPARE(untrusted, 6); // reported, flagged, because this client asked for it

        int done = 0;
        for (int round = 0; round < 3; ++round)
            for (const char *serial :
                 {"ZT-IPC2141-000100000001", "ZT-IPC2347-000100000002"}) { // active in the default fleet
                const auto d = g_rec.device(QString::fromLatin1(serial));
                QVERIFY(d && d->byTrust == ZELT_TRUST_VERIFIED);
                ZELT_NET_PARAM p = netParam(
                    QByteArray("10.1.0." + QByteArray::number(100 + round * 10 + done)).constData());
                QVERIFY2(ZELT_ModifyDeviceNetParam(d->szMAC, "Admin12345", &p) == 1,
                         qPrintable(QString::number(ZELT_GetLastError())));
                ZELT_DEVICE_KEY key;
                QVERIFY(ZELT_GetDeviceConfig(serial, ZELT_CFG_DEVICE_KEY, nullptr, 0, &key, sizeof key) != 0);
                done += 2;
            }
        QCOMPARE(done, 12);
        ZELT_Stop();
        // From the impostor's side: every request reached it, none opened.
        impostor.terminate();
        real.terminate();
        const QList<int> imp = simStats(impostor), ok = simStats(real);
        QVERIFY(imp.size() >= 2 && ok.size() >= 2);
        QCOMPARE(imp[0], 0);
        QVERIFY2(imp[1] >= 12, qPrintable(QString("impostor saw %1 requests").arg(imp[1])));
        QCOMPARE(ok[0], 12);
    }

    void aScanFindsAndCommandsWhereMulticastDoesNotReach()
    {
        // The simulator's group is not the SDK's: only the scan of 127.0.0.1 reaches it.
        SimProcess sim(14);
        QVERIFY(sim.start({"--count", "3"}));
        QCOMPARE(ZELT_SetScanRanges("127.0.0.0/15"), 0);
        QCOMPARE(ZELT_GetLastError(), uint32_t(ZELT_ERR_RANGE_TOO_LARGE));
        QCOMPARE(ZELT_SetScanRanges("127.0.0.1, camera.local"), 0);
        QCOMPARE(ZELT_GetLastError(), uint32_t(ZELT_ERR_INVALID_PARAM));
        QVERIFY(ZELT_SetScanRanges("127.0.0.1"));
        qputenv("ZELT_GROUP", "239.255.47.82");
        const bool started = startSdk(sim);
        qunsetenv("ZELT_GROUP");
        QVERIFY(started);
        QCOMPARE(ZELT_SetScanRanges("10.0.0.0/8"), 0); // refused: the scan going on is not touched
        QTRY_COMPARE_WITH_TIMEOUT(int(g_rec.devices().size()), 3, 5000);
        // Commanded where it answered from; its announcement of the change
        // goes to a group we do not hear, the next pass brings it.
        ZELT_NET_PARAM p = netParam("10.1.0.77");
        QVERIFY2(ZELT_ModifyDeviceNetParam("02-5a-01-00-00-01", "Admin12345", &p) == 1,
                 qPrintable(QString::number(ZELT_GetLastError())));
        QTRY_COMPARE_WITH_TIMEOUT(QByteArray(g_rec.device("ZT-IPC2347-000100000002")->szIPv4Address),
                                  QByteArray("10.1.0.77"), 5000);
        // Without the range, nothing it sends is taken: the devices go silent.
        QVERIFY(ZELT_SetScanRanges(""));
        QTRY_COMPARE_WITH_TIMEOUT(int(g_rec.devices().size()), 0, 6000);
        ZELT_Stop();
        sim.terminate();
        QVERIFY2(sim.output().contains(", 1 requests\n"), sim.output().constData());
        QCOMPARE(simStats(sim).value(0), 1);
    }

    void aDeviceHeardOnlyUntrustedIsRefused()
    {
        SimProcess stranger(13);
        QVERIFY(stranger.start({"--count", "2"}, false));
        QVERIFY(startSdk(stranger));
        QTest::qWait(800);
        QCOMPARE(int(g_rec.devices().size()), 0); // not listed
        ZELT_DEVICE_KEY key;
        QCOMPARE(ZELT_GetDeviceConfig("ZT-IPC2141-000100000001", ZELT_CFG_DEVICE_KEY, nullptr, 0, &key, sizeof key), 0);
        QCOMPARE(ZELT_GetLastError(), uint32_t(ZELT_ERR_UNTRUSTED_DEVICE));
        ZELT_Stop();
        stranger.terminate();
        const QList<int> stats = simStats(stranger);
        QVERIFY(stats.size() >= 2);
        QCOMPARE(stats[0] + stats[1], 0); // nothing was sent to it
    }

    void twoCertifiedIdentitiesForOneDeviceAreRefused()
    {
        // Both fleets certified by trusted makers, with the same serial numbers
        // and MACs but their own identity keys: nobody can tell which is real.
        SimProcess one(9), two(9);
        QVERIFY(one.start({"--count", "3"}));
        QVERIFY(two.start({"--count", "3", "--password", "Other12345"}));
        QVERIFY(startSdk(one));
        auto allAmbiguous = [] {
            auto all = g_rec.devices();
            return all.size() == 3
                   && std::all_of(all.begin(), all.end(), [](auto &d) { return d.byTrust == ZELT_TRUST_AMBIGUOUS; });
        };
        QTRY_VERIFY_WITH_TIMEOUT(allAmbiguous(), 5000);
        const auto d = *g_rec.device("ZT-IPC2141-000100000001");
        ZELT_NET_PARAM p = netParam("10.1.0.99");
        QCOMPARE(ZELT_ModifyDeviceNetParam(d.szMAC, "Admin12345", &p), 0);
        QCOMPARE(ZELT_GetLastError(), uint32_t(ZELT_ERR_AMBIGUOUS_DEVICE));
        QCOMPARE(ZELT_ActivateDevice("ZT-NVR7608-000100000003", "Passw0rd99"), 0);
        QCOMPARE(ZELT_GetLastError(), uint32_t(ZELT_ERR_AMBIGUOUS_DEVICE));
        // The second goes away: after its silence the device is unambiguous again.
        two.kill();
        QTRY_VERIFY_WITH_TIMEOUT(([] {
                                     auto now = g_rec.device("ZT-IPC2141-000100000001");
                                     return now && now->byTrust == ZELT_TRUST_VERIFIED;
                                 }()),
                                 8000);
        QVERIFY2(ZELT_ModifyDeviceNetParam(d.szMAC, "Admin12345", &p) == 1,
                 qPrintable(QString::number(ZELT_GetLastError())));
        ZELT_Stop();
        one.terminate();
        const QList<int> stats = simStats(one);
        QVERIFY(stats.size() >= 1);
        QCOMPARE(stats[0], 1); // nothing was sent while two claimed it
    }

    void helloOfAnEarlierBootIsIgnored()
    {
        SimProcess sim(10);
        const QString state = sim.dir.filePath("state.json");
        QVERIFY(sim.start({"--count", "2", "--state", state}));
        Udp listener(quint16(sim.port + 1));
        QVERIFY(startSdk(sim));
        QTRY_COMPARE_WITH_TIMEOUT(int(g_rec.devices().size()), 2, 5000);
        const QByteArray serial = "ZT-IPC2141-000100000001";
        // An attacker keeps a signed hello of this boot...
        QByteArray old;
        QTRY_VERIFY_WITH_TIMEOUT(([&] {
                                     for (const QByteArray &d : listener.drain())
                                         if (typeOf(d) == 2 && helloSerial(d) == serial)
                                             old = d;
                                     return !old.isEmpty();
                                 }()),
                                 5000);
        // ...the device moves and restarts (its boot counter grows)...
        const auto d = *g_rec.device(QString::fromLatin1(serial));
        ZELT_NET_PARAM p = netParam("10.1.0.88");
        QCOMPARE(ZELT_ModifyDeviceNetParam(d.szMAC, "Admin12345", &p), 1);
        sim.terminate();
        QTRY_COMPARE_WITH_TIMEOUT(int(g_rec.devices().size()), 0, 3000);
        SimProcess again(10);
        QVERIFY(again.start({"--count", "2", "--state", state, "--maker-key", sim.makerKey()}));
        QTRY_COMPARE_WITH_TIMEOUT(QByteArray(g_rec.device(QString::fromLatin1(serial))->szIPv4Address),
                                  QByteArray("10.1.0.88"), 5000);
        // ...and the old hello, sent again with a new message id, changes nothing.
        QTRY_COMPARE_WITH_TIMEOUT(int(g_rec.devices().size()), 2, 5000);
        auto eventsOf = [&] {
            std::lock_guard l(g_rec.mu);
            return std::count_if(g_rec.events.begin(), g_rec.events.end(),
                                 [&](auto &e) { return QByteArray(e.szSerialNO) == serial; });
        };
        const auto before = eventsOf();
        for (int i = 0; i < 3; ++i) {
            QByteArray replay = old;
            for (int k = 8; k < 16; ++k)
                replay[k] = char(0x40 + i + k);
            listener.send(replay, quint16(sim.port + 1));
        }
        QTest::qWait(600);
        QCOMPARE(QByteArray(g_rec.device(QString::fromLatin1(serial))->szIPv4Address), QByteArray("10.1.0.88"));
        QCOMPARE(eventsOf(), before);
        ZELT_DEVICE_KEY key;
        QVERIFY(ZELT_GetDeviceConfig(serial, ZELT_CFG_DEVICE_KEY, nullptr, 0, &key, sizeof key)
                != 0); // sealed to the new boot
    }

    void inquiryFloodIsRateLimited()
    {
        SimProcess sim(11);
        QVERIFY(sim.start({"--count", "4"}));
        Udp listener(quint16(sim.port + 1)), flood;
        // Windows under 100 ms are refused outright.
        for (int i = 0; i < 50; ++i)
            flood.send(inquiry(1000 + quint64(i), 50, 7000 + quint64(i)), sim.port);
        QTest::qWait(400);
        listener.drain();
        // 10,000 inquiries from one host, each from a new client, over two
        // seconds at least (longer where the sender is slowed down).
        QElapsedTimer t;
        t.start();
        int sent = 0, hellos = 0;
        while (sent < 10000 || t.elapsed() < 2000) {
            for (int k = 0; k < 50; ++k, ++sent)
                flood.send(inquiry(quint64(sent) * 7919 + 1, 200, 1000000 + quint64(sent)), sim.port);
            QTest::qWait(10);
            for (const QByteArray &d : listener.drain())
                hellos += typeOf(d) == 2;
        }
        QTest::qWait(400);
        for (const QByteArray &d : listener.drain())
            hellos += typeOf(d) == 2;
        const double seconds = t.elapsed() / 1000.0;
        qInfo("%d inquiries in %.1f s; %d answers from 4 devices", sent, seconds, hellos);
        // Each device: a burst of 10, then 5 a second.
        QVERIFY2(hellos <= 4 * int(10 + 5 * seconds + 1), qPrintable(QString::number(hellos)));
        QVERIFY(hellos >= 4);
        // The fleet is still there for a client that asks normally.
        QTest::qWait(1200);
        QVERIFY(startSdk(sim));
        QTRY_COMPARE_WITH_TIMEOUT(int(g_rec.devices().size()), 4, 5000);
        ZELT_Stop();
        sim.terminate();
        const QList<int> stats = simStats(sim);
        QVERIFY(stats.size() >= 6);
        QVERIFY2(stats[5] >= 50, "the short windows were refused");
    }

    void stopFromInsideTheCallback()
    {
        SimProcess sim(6);
        QVERIFY(sim.start({"--count", "8"}));
        g_rec.stopInside = true;
        QVERIFY(startSdk(sim));
        QTRY_COMPARE_WITH_TIMEOUT(g_rec.stopResult.load(), 1, 5000);
        QTest::qWait(700);
        QCOMPARE(g_rec.calls.load(), 1); // the callback that stopped was the last
        QCOMPARE(ZELT_SendInquiry(), 0);
        g_rec.stopResult = -1;
    }

    void churnChangesLeavesAndReturns()
    {
        SimProcess sim(7);
        QVERIFY(sim.start({"--count", "10", "--churn", "0.05"}));
        QVERIFY(startSdk(sim, 300));
        QTRY_VERIFY_WITH_TIMEOUT(g_rec.count(ZELT_EVENT_CHANGED) >= 3 && g_rec.count(ZELT_EVENT_OFFLINE) >= 2
                                     && g_rec.count(ZELT_EVENT_ONLINE) > 10,
                                 10000);
    }

    void goodbyeAndSilenceEndInKind3()
    {
        SimProcess sim(3);
        QVERIFY(sim.start({"--count", "6"}));
        QVERIFY(startSdk(sim, 300));
        QTRY_COMPARE_WITH_TIMEOUT(int(g_rec.devices().size()), 6, 5000);
        sim.terminate(); // says goodbye
        QTRY_COMPARE_WITH_TIMEOUT(g_rec.count(ZELT_EVENT_OFFLINE), 6, 1000);

        SimProcess again(3);
        QVERIFY(again.start({"--count", "1", "--seed", "9"}));
        QTRY_COMPARE_WITH_TIMEOUT(int(g_rec.devices().size()), 1, 5000);
        // Killed right after it answered, so its silence starts now: no goodbye
        // at all, and it is gone after three periods (plus the window), not two.
        Udp listener(quint16(again.port + 1));
        listener.drain();
        bool answered = false;
        QTRY_VERIFY_WITH_TIMEOUT(answered || ([&] {
                                     for (const QByteArray &d : listener.drain())
                                         answered = answered || typeOf(d) == 2;
                                     return answered;
                                 }()),
                                 3000);
        again.kill();
        QElapsedTimer t;
        t.start();
        QTRY_COMPARE_WITH_TIMEOUT(g_rec.count(ZELT_EVENT_OFFLINE), 7, 5000);
        // Three periods of 300 ms and a window of 200 ms, less the moments
        // between the answer and the kill: two periods would end before 800 ms.
        QVERIFY2(t.elapsed() >= 950, qPrintable(QString("gone after %1 ms").arg(t.elapsed())));
    }

    void lossAndDuplicationStillExactlyOnce()
    {
        SimProcess sim(4);
        QVERIFY(sim.start({"--loss", "0.2", "--dup", "0.2", "--verbose"}));
        qputenv("ZELT_TIMEOUT_MS", "6000");
        QVERIFY(startSdk(sim, 400));
        qunsetenv("ZELT_TIMEOUT_MS");
        QTRY_COMPARE_WITH_TIMEOUT(int(g_rec.devices().size()), 24, 15000);
        int done = 0;
        for (auto &d : g_rec.devices()) {
            if (d.byActivated || d.dwDeviceType >= 0x9D00)
                continue;
            ZELT_NET_PARAM p = netParam(QByteArray("192.168.60." + QByteArray::number(10 + done)).constData());
            const int rc = ZELT_ModifyDeviceNetParam(d.szMAC, "Admin12345", &p);
            QVERIFY2(rc == 1, qPrintable(QString("error %1").arg(ZELT_GetLastError())));
            if (++done == 8)
                break;
        }
        QCOMPARE(done, 8);
        ZELT_Stop();
        sim.terminate();
        // Each request was applied exactly once, however often it arrived.
        const QList<QByteArray> lines = sim.errors().split('\n');
        std::map<QByteArray, int> applied;
        for (const auto &line : lines)
            if (line.startsWith("request ") && line.endsWith(" changed"))
                ++applied[line.split(' ')[1]];
        int fromCache = 0;
        for (const auto &line : lines)
            fromCache += line.contains("answered from cache");
        qInfo("%d retransmitted or duplicated requests answered from the cache", fromCache);
        QCOMPARE(int(applied.size()), 8);
        for (auto &[id, n] : applied)
            QCOMPARE(n, 1);
    }
};

QTEST_GUILESS_MAIN(TestZeltSdk)
#include "tst_zelt_sdk.moc"
