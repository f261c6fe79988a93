// The SDK against the device simulator on loopback.
#include "simprocess.h"
#include "zelt_sdk.h"

#include <QtTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <atomic>
#include <cstring>
#include <map>
#include <mutex>
#include <vector>

namespace {

struct Recorder {
    std::mutex mu;
    std::vector<ZELT_DEVICE_INFO> events;
    std::map<QString, ZELT_DEVICE_INFO> latest;  // serial -> last online/changed record
    std::mutex gate;                              // held by a test to block the callback
    std::atomic<bool> useGate{false};
    std::atomic<int> calls{0};
    std::atomic<bool> stopInside{false};
    std::atomic<int> stopResult{-1};

    void clear() {
        std::lock_guard l(mu);
        events.clear();
        latest.clear();
        calls = 0;
    }
    int count(int kind) {
        std::lock_guard l(mu);
        int n = 0;
        for (auto &e : events) n += e.iResult == kind;
        return n;
    }
    std::optional<ZELT_DEVICE_INFO> device(const QString &serial) {
        std::lock_guard l(mu);
        auto it = latest.find(serial);
        if (it == latest.end()) return std::nullopt;
        return it->second;
    }
    std::vector<ZELT_DEVICE_INFO> devices() {
        std::lock_guard l(mu);
        std::vector<ZELT_DEVICE_INFO> out;
        for (auto &[k, v] : latest) out.push_back(v);
        return out;
    }
};
Recorder g_rec;

void ZELT_CALLBACK onDevice(const ZELT_DEVICE_INFO *info, void *user) {
    QCOMPARE_EQ(user, static_cast<void *>(&g_rec));
    if (g_rec.useGate) {
        std::lock_guard block(g_rec.gate);
    }
    ++g_rec.calls;
    if (g_rec.stopInside.exchange(false)) g_rec.stopResult = ZELT_Stop();
    std::lock_guard l(g_rec.mu);
    g_rec.events.push_back(*info);
    QString serial = QString::fromLatin1(info->szSerialNO);
    if (info->iResult == ZELT_EVENT_OFFLINE) g_rec.latest.erase(serial);
    else g_rec.latest[serial] = *info;
}

ZELT_NET_PARAM netParam(const char *ip, uint16_t port = 0) {
    ZELT_NET_PARAM p;
    std::memset(&p, 0, sizeof p);
    std::strncpy(p.szIPv4Address, ip, sizeof p.szIPv4Address - 1);
    std::strcpy(p.szIPv6Address, "::");
    std::strcpy(p.szIPv6Gateway, "::");
    p.wPort = port;
    return p;
}

}  // namespace

class TestZeltSdk : public QObject {
    Q_OBJECT

    bool startSdk(const SimProcess &sim, int periodMs = 500) {
        qputenv("ZELT_PORT", QByteArray::number(sim.port));
        qputenv("ZELT_INQUIRY_PERIOD_MS", QByteArray::number(periodMs));
        qputenv("ZELT_WINDOW_MS", "200");
        g_rec.clear();
        return ZELT_Start_V30(onDevice, 0, &g_rec) == 1;
    }
    QString firstSerial(bool inactive, uint8_t needSupport = 0) {
        for (auto &d : g_rec.devices())
            if ((d.byActivated != 0) == inactive && (d.bySupport & needSupport) == needSupport && d.byExtendInfo == 1 &&
                (d.dwDeviceType < 0x9D00 || d.dwDeviceType > 0x9FFF))
                return QString::fromLatin1(d.szSerialNO);
        return {};
    }

private slots:
    void init() { g_rec.useGate = false; }
    void cleanup() { ZELT_Stop(); }

    void callsFailCleanlyWhenNotStarted() {
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

    void logWritesAFile() {
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

    void discoversTheFleetAndRunsCommands() {
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
        QTRY_COMPARE_WITH_TIMEOUT(QByteArray(g_rec.device(QString::fromLatin1(fresh))->szIPv4Address), QByteArray("192.168.50.7"), 3000);
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
        std::memcpy(rp.szNewPassword, "NewPass1234567890", 16);  // all 16 bytes used, no NUL
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

    void blockedCallbackDoesNotStallCommands() {
        SimProcess sim(1);
        QVERIFY(sim.start({"--count", "4"}));
        std::unique_lock hold(g_rec.gate);
        g_rec.useGate = true;
        QVERIFY(startSdk(sim));
        // The first callback is now blocked; the device is still reached.
        QTest::qWait(600);
        QCOMPARE(g_rec.calls.load(), 0);
        ZELT_DEVICE_KEY key;
        QVERIFY(ZELT_GetDeviceConfig("ZT-IPC2141-000100000001", ZELT_CFG_DEVICE_KEY, nullptr, 0, &key, sizeof key) != 0);
        hold.unlock();
        QTRY_COMPARE_WITH_TIMEOUT(g_rec.count(ZELT_EVENT_ONLINE), 4, 5000);
    }

    void noCallbackAfterStop() {
        SimProcess sim(2);
        QVERIFY(sim.start({"--count", "30", "--churn", "0.02"}));
        QVERIFY(startSdk(sim, 200));
        QTRY_VERIFY_WITH_TIMEOUT(g_rec.calls.load() >= 30, 5000);
        QCOMPARE(ZELT_Stop(), 1);
        const int after = g_rec.calls.load();
        QTest::qWait(800);  // churn keeps the devices talking
        QCOMPARE(g_rec.calls.load(), after);
        QCOMPARE(ZELT_Stop(), 0);
        QCOMPARE(ZELT_GetLastError(), uint32_t(ZELT_ERR_NOT_STARTED));
    }

    void hostileDatagramsAreDropped() {
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
            for (auto &c : junk) c = char(rng.bounded(256));
            if (i % 2) {  // a valid header in front makes the body parser work
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
        QVERIFY(ZELT_GetDeviceConfig("ZT-IPC2141-000100000001", ZELT_CFG_DEVICE_KEY, nullptr, 0, &key, sizeof key) != 0);
        QCOMPARE(int(g_rec.devices().size()), 3);
    }

    void stopFromInsideTheCallback() {
        SimProcess sim(6);
        QVERIFY(sim.start({"--count", "8"}));
        g_rec.stopInside = true;
        QVERIFY(startSdk(sim));
        QTRY_COMPARE_WITH_TIMEOUT(g_rec.stopResult.load(), 1, 5000);
        QTest::qWait(700);
        QCOMPARE(g_rec.calls.load(), 1);  // the callback that stopped was the last
        QCOMPARE(ZELT_SendInquiry(), 0);
        g_rec.stopResult = -1;
    }

    void churnChangesLeavesAndReturns() {
        SimProcess sim(7);
        QVERIFY(sim.start({"--count", "10", "--churn", "0.05"}));
        QVERIFY(startSdk(sim, 300));
        QTRY_VERIFY_WITH_TIMEOUT(g_rec.count(ZELT_EVENT_CHANGED) >= 3 && g_rec.count(ZELT_EVENT_OFFLINE) >= 2 &&
                                     g_rec.count(ZELT_EVENT_ONLINE) > 10,
                                 10000);
    }

    void goodbyeAndSilenceEndInKind3() {
        SimProcess sim(3);
        QVERIFY(sim.start({"--count", "6"}));
        QVERIFY(startSdk(sim, 300));
        QTRY_COMPARE_WITH_TIMEOUT(int(g_rec.devices().size()), 6, 5000);
        sim.terminate();  // says goodbye
        QTRY_COMPARE_WITH_TIMEOUT(g_rec.count(ZELT_EVENT_OFFLINE), 6, 1000);

        SimProcess again(3);
        QVERIFY(again.start({"--count", "6", "--seed", "9"}));
        QTRY_COMPARE_WITH_TIMEOUT(int(g_rec.devices().size()), 6, 5000);
        again.kill();  // no goodbye at all: silence for three periods
        QElapsedTimer t;
        t.start();
        QTRY_COMPARE_WITH_TIMEOUT(g_rec.count(ZELT_EVENT_OFFLINE), 12, 5000);
        QVERIFY2(t.elapsed() >= 600, "not before two periods of silence");
    }

    void lossAndDuplicationStillExactlyOnce() {
        SimProcess sim(4);
        QVERIFY(sim.start({"--loss", "0.2", "--dup", "0.2", "--verbose"}));
        qputenv("ZELT_TIMEOUT_MS", "6000");
        QVERIFY(startSdk(sim, 400));
        qunsetenv("ZELT_TIMEOUT_MS");
        QTRY_COMPARE_WITH_TIMEOUT(int(g_rec.devices().size()), 24, 15000);
        int done = 0;
        for (auto &d : g_rec.devices()) {
            if (d.byActivated || d.dwDeviceType >= 0x9D00) continue;
            ZELT_NET_PARAM p = netParam(QByteArray("192.168.60." + QByteArray::number(10 + done)).constData());
            const int rc = ZELT_ModifyDeviceNetParam(d.szMAC, "Admin12345", &p);
            QVERIFY2(rc == 1, qPrintable(QString("error %1").arg(ZELT_GetLastError())));
            if (++done == 8) break;
        }
        QCOMPARE(done, 8);
        ZELT_Stop();
        sim.terminate();
        // Each request was applied exactly once, however often it arrived.
        const QList<QByteArray> lines = sim.errors().split('\n');
        std::map<QByteArray, int> applied;
        for (const auto &line : lines)
            if (line.startsWith("request ") && line.endsWith(" changed")) ++applied[line.split(' ')[1]];
        int fromCache = 0;
        for (const auto &line : lines) fromCache += line.contains("answered from cache");
        qInfo("%d retransmitted or duplicated requests answered from the cache", fromCache);
        QCOMPARE(int(applied.size()), 8);
        for (auto &[id, n] : applied) QCOMPARE(n, 1);
    }
};

QTEST_GUILESS_MAIN(TestZeltSdk)
#include "tst_zelt_sdk.moc"
