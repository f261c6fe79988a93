// The SDK's ONVIF side against the simulator's ONVIF devices on loopback:
// the same records and events as ZELT devices, network settings over the
// device service, refusals for what ONVIF lacks, and hostile discovery traffic.
#include "onvif.h"
#include "simprocess.h"
#include "zelt_sdk.h"

#include <QtTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <atomic>
#include <cstring>
#include <poll.h>
#include <thread>
#include <unistd.h>
#include <map>
#include <mutex>
#include <vector>

namespace {

struct Recorder {
    std::mutex mu;
    std::vector<ZELT_DEVICE_INFO> events;
    std::map<QString, ZELT_DEVICE_INFO> latest; // MAC -> last online/changed record
    void clear()
    {
        std::lock_guard l(mu);
        events.clear();
        latest.clear();
    }
    std::vector<ZELT_DEVICE_INFO> devices(int protocol = -1)
    {
        std::lock_guard l(mu);
        std::vector<ZELT_DEVICE_INFO> out;
        for (auto &[k, v] : latest)
            if (protocol < 0 || v.byProtocol == protocol)
                out.push_back(v);
        return out;
    }
    std::optional<ZELT_DEVICE_INFO> byMac(const QString &mac)
    {
        std::lock_guard l(mu);
        auto it = latest.find(mac);
        if (it == latest.end())
            return std::nullopt;
        return it->second;
    }
    int count(int kind, const QByteArray &serial)
    {
        std::lock_guard l(mu);
        int n = 0;
        for (auto &e : events)
            n += e.iResult == kind && serial == e.szSerialNO;
        return n;
    }
};
Recorder g_rec;

void ZELT_CALLBACK onDevice(const ZELT_DEVICE_INFO *info, void *)
{
    std::lock_guard l(g_rec.mu);
    g_rec.events.push_back(*info);
    const QString mac = QString::fromLatin1(info->szMAC);
    if (info->iResult == ZELT_EVENT_OFFLINE) {
        // An offline event takes away only the record it names.
        auto it = g_rec.latest.find(mac);
        if (it != g_rec.latest.end() && std::strcmp(it->second.szSerialNO, info->szSerialNO) == 0)
            g_rec.latest.erase(it);
    } else
        g_rec.latest[mac] = *info;
}

ZELT_NET_PARAM netParam(const char *ip, const char *mask = "")
{
    ZELT_NET_PARAM p;
    std::memset(&p, 0, sizeof p);
    std::strncpy(p.szIPv4Address, ip, sizeof p.szIPv4Address - 1);
    std::strncpy(p.szIPv4SubnetMask, mask, sizeof p.szIPv4SubnetMask - 1);
    std::strcpy(p.szIPv6Address, "::");
    std::strcpy(p.szIPv6Gateway, "::");
    return p;
}

// A change the user agreed to send to a device that cannot prove who it is.
int consentedModify(const char *mac, const char *password, const ZELT_NET_PARAM &p)
{
    if (ZELT_AllowUncertified(mac) != 1)
        return -1;
    return ZELT_ModifyDeviceNetParam(mac, password, &p);
}

// Sends to the WS-Discovery group on loopback only, from `from` (a loopback address).
void sendDiscovery(const std::string &msg, quint16 port, const char *from = "127.0.0.1")
{
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    in_addr lo{};
    inet_pton(AF_INET, from, &lo);
    sockaddr_in self{};
    self.sin_family = AF_INET;
    self.sin_addr = lo;
    bind(fd, reinterpret_cast<sockaddr *>(&self), sizeof self);
    setsockopt(fd, IPPROTO_IP, IP_MULTICAST_IF, &lo, sizeof lo);
    int ttl = 0;
    setsockopt(fd, IPPROTO_IP, IP_MULTICAST_TTL, &ttl, sizeof ttl);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    inet_pton(AF_INET, zelt::onvif::kDiscoveryGroup, &to.sin_addr);
    sendto(fd, msg.data(), msg.size(), 0, reinterpret_cast<sockaddr *>(&to), sizeof to);
    ::close(fd);
}

// An HTTP service on loopback that plays a device: it keeps every request
// it gets, and answers each with 200 and the device's clock, or never.
class FakeService
{
public:
    explicit FakeService(bool stall) : stall_(stall)
    {
        fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        inet_pton(AF_INET, "127.0.0.1", &a.sin_addr);
        socklen_t len = sizeof a;
        bind(fd_, reinterpret_cast<sockaddr *>(&a), sizeof a);
        listen(fd_, 64);
        getsockname(fd_, reinterpret_cast<sockaddr *>(&a), &len);
        port_ = ntohs(a.sin_port);
        thread_ = std::thread([this] { run(); });
    }
    ~FakeService()
    {
        stop_ = true;
        thread_.join();
        for (int c : held_)
            ::close(c);
        ::close(fd_);
    }
    std::string url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/onvif/device_service"; }
    std::vector<std::string> requests()
    {
        std::lock_guard l(mu_);
        return requests_;
    }

private:
    void run()
    {
        while (!stop_) {
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, 50) <= 0)
                continue;
            int c = accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (c < 0)
                continue;
            std::string req;
            char buf[4096];
            for (pollfd q{c, POLLIN, 0}; poll(&q, 1, 300) > 0;) {
                ssize_t n = ::read(c, buf, sizeof buf);
                if (n <= 0)
                    break;
                req.append(buf, size_t(n));
            }
            {
                std::lock_guard l(mu_);
                requests_.push_back(req);
            }
            if (stall_) {
                held_.push_back(c);
                continue;
            }
            const std::string body =
                "<s:Envelope xmlns:s=\"http://www.w3.org/2003/05/soap-envelope\" "
                "xmlns:tds=\"http://www.onvif.org/ver10/device/wsdl\" xmlns:tt=\"http://www.onvif.org/ver10/schema\">"
                "<s:Body><tds:GetSystemDateAndTimeResponse><tds:SystemDateAndTime><tt:UTCDateTime><tt:Time>"
                "<tt:Hour>1</tt:Hour><tt:Minute>2</tt:Minute><tt:Second>3</tt:Second></tt:Time><tt:Date>"
                "<tt:Year>2026</tt:Year><tt:Month>1</tt:Month><tt:Day>2</tt:Day></tt:Date></tt:UTCDateTime>"
                "</tds:SystemDateAndTime></tds:GetSystemDateAndTimeResponse></s:Body></s:Envelope>";
            const std::string reply = "HTTP/1.1 200 OK\r\nContent-Type: application/soap+xml\r\nContent-Length: "
                                      + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
            [[maybe_unused]] auto n = ::write(c, reply.data(), reply.size());
            ::close(c);
        }
    }
    bool stall_;
    int fd_ = -1;
    quint16 port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
    std::mutex mu_;
    std::vector<std::string> requests_;
    std::vector<int> held_;
};

// A camera's announcement: endpoint reference, model scope, service address.
std::string cameraHello(const std::string &endpoint, const std::string &xaddr)
{
    zelt::onvif::Endpoint cam;
    cam.address = endpoint;
    cam.scopes = {"onvif://www.onvif.org/hardware/ZT-IPC2141"};
    cam.xaddrs = {xaddr};
    return zelt::onvif::helloMessage(cam, 1, 1);
}

} // namespace

class TestZeltOnvif : public QObject
{
    Q_OBJECT

    quint16 wsdPort(const SimProcess &sim) const { return quint16(sim.port + 1000); }
    bool startSdk(const SimProcess &sim)
    {
        qputenv("ZELT_PORT", QByteArray::number(sim.port));
        qputenv("ZELT_WSD_PORT", QByteArray::number(wsdPort(sim)));
        qputenv("ZELT_INQUIRY_PERIOD_MS", "600");
        qputenv("ZELT_WINDOW_MS", "200");
        g_rec.clear();
        return ZELT_Start_V30(onDevice, 0, &g_rec) == 1;
    }
    QStringList simArgs(const SimProcess &sim, const QStringList &extra)
    {
        return QStringList{"--wsd-port", QString::number(wsdPort(sim))} + extra;
    }

private slots:
    void cleanup()
    {
        ZELT_Stop();
        qunsetenv("ZELT_ONVIF_PASSWORD");
        qunsetenv("ZELT_PIN_FILE");
    }

    void onvifDevicesJoinTheTableAndAreConfigured()
    {
        SimProcess sim(0);
        QVERIFY(sim.start(simArgs(sim, {"--count", "6", "--onvif", "2", "--onvif-only"})));
        QVERIFY(startSdk(sim));
        QTRY_COMPARE_WITH_TIMEOUT(int(g_rec.devices().size()), 6, 5000);
        const auto onvifDevs = g_rec.devices(ZELT_PROTOCOL_ONVIF);
        QCOMPARE(int(onvifDevs.size()), 2);
        QCOMPARE(int(g_rec.devices(ZELT_PROTOCOL_ZELT).size()), 4);
        // What discovery alone gives: the endpoint's UUID for the serial
        // number, the MAC of its time-based UUID, address and port from XAddrs.
        auto dev = *g_rec.byMac("02-5a-01-00-00-00");
        QCOMPARE(int(dev.byProtocol), ZELT_PROTOCOL_ONVIF);
        QCOMPARE(int(dev.byTrust), ZELT_TRUST_UNCERTIFIED);
        QCOMPARE(int(std::strlen(dev.szSerialNO)), 36);
        QCOMPARE(QByteArray(dev.szIPv4Address), QByteArray("127.0.0.1"));
        QVERIFY(dev.dwPort > 0 && dev.wHttpPort == dev.dwPort);
        QCOMPARE(QByteArray(dev.szDevDesc), QByteArray("ZT-IPC2141"));
        QCOMPARE(int(dev.byExtendInfo), 0);
        QCOMPARE(int(dev.byActivated), 0);
        const QByteArray uuidSerial = dev.szSerialNO;

        // ONVIF has no activation, security codes or key files: refused at once, nothing sent.
        QElapsedTimer t;
        t.start();
        QCOMPARE(ZELT_ActivateDevice(uuidSerial, "Passw0rd99"), 0);
        QCOMPARE(ZELT_GetLastError(), uint32_t(ZELT_ERR_NOT_IN_PROTOCOL));
        QCOMPARE(ZELT_ResetDefaultPasswd(uuidSerial, "code"), 0);
        QCOMPARE(ZELT_GetLastError(), uint32_t(ZELT_ERR_NOT_IN_PROTOCOL));
        ZELT_RESET_PARAM rp;
        std::memset(&rp, 0, sizeof rp);
        std::strcpy(rp.szSecurityCode, "code");
        QCOMPARE(ZELT_ResetPasswd(uuidSerial, &rp), 0);
        QCOMPARE(ZELT_GetLastError(), uint32_t(ZELT_ERR_NOT_IN_PROTOCOL));
        ZELT_DEVICE_KEY key;
        QCOMPARE(ZELT_GetDeviceConfig(uuidSerial, ZELT_CFG_DEVICE_KEY, nullptr, 0, &key, sizeof key), 0);
        QCOMPARE(ZELT_GetLastError(), uint32_t(ZELT_ERR_NOT_IN_PROTOCOL));
        QVERIFY2(t.elapsed() < 500, "no waiting for an answer that cannot come");

        // Network settings by MAC, as for a ZELT device, but only once the
        // user agreed: the device cannot prove who it is. Consent holds for
        // one command.
        ZELT_NET_PARAM p = netParam("10.1.0.77", "255.255.0.0");
        QCOMPARE(ZELT_ModifyDeviceNetParam(dev.szMAC, "Admin12345", &p), 0);
        QCOMPARE(ZELT_GetLastError(), uint32_t(ZELT_ERR_NOT_CONSENTED));
        QCOMPARE(consentedModify(dev.szMAC, "Wrong12345", p), 0);
        QCOMPARE(ZELT_GetLastError(), uint32_t(ZELT_ERR_WRONG_PASSWORD));
        QCOMPARE(ZELT_ModifyDeviceNetParam(dev.szMAC, "Admin12345", &p), 0);
        QCOMPARE(ZELT_GetLastError(), uint32_t(ZELT_ERR_NOT_CONSENTED));
        // IPv6 only where the device's interface has an IPv6 part (the second device's has none).
        ZELT_NET_PARAM v6 = netParam("");
        std::strcpy(v6.szIPv6Address, "fd00::5");
        v6.byIPv6MaskLen = 64;
        QCOMPARE(consentedModify("02-5a-01-00-00-01", "Admin12345", v6), 0);
        QCOMPARE(ZELT_GetLastError(), uint32_t(ZELT_ERR_NOT_SUPPORTED));
        ZELT_NET_PARAM linkLocal = v6;
        std::strcpy(linkLocal.szIPv6Address, "fe80::5");
        QCOMPARE(consentedModify(dev.szMAC, "Admin12345", linkLocal), 0);
        QCOMPARE(ZELT_GetLastError(), uint32_t(ZELT_ERR_BAD_PARAMETERS));
        ZELT_NET_PARAM bad = netParam("10.1.0.255", "255.255.255.0");
        QCOMPARE(consentedModify(dev.szMAC, "Admin12345", bad), 0);
        QCOMPARE(ZELT_GetLastError(), uint32_t(ZELT_ERR_BAD_PARAMETERS));
        QCOMPARE(QByteArray(g_rec.byMac("02-5a-01-00-00-00")->szIPv4Address), QByteArray("127.0.0.1"));
        QCOMPARE(consentedModify(dev.szMAC, "Admin12345", p), 1);
        // The password is known now: the device service fills the record in,
        // with its real serial number (the UUID's record goes, kind 3).
        QTRY_COMPARE_WITH_TIMEOUT(QByteArray(g_rec.byMac("02-5a-01-00-00-00")->szIPv4Address), QByteArray("10.1.0.77"),
                                  5000);
        dev = *g_rec.byMac("02-5a-01-00-00-00");
        QCOMPARE(QByteArray(dev.szSerialNO), QByteArray("ZT-IPC2141-000100000001"));
        QCOMPARE(QByteArray(dev.szIPv4SubnetMask), QByteArray("255.255.0.0"));
        QCOMPARE(int(dev.byExtendInfo), 1);
        QCOMPARE(int(dev.byDhcpEnabled), 0);
        QVERIFY(QByteArray(dev.szDeviceSoftwareVersion).startsWith("V5."));
        QCOMPARE(g_rec.count(ZELT_EVENT_OFFLINE, uuidSerial), 1);
        QCOMPARE(int(g_rec.devices().size()), 6);
        QVERIFY(dev.bySupport & ZELT_SUPPORT_MODIFY_IPV6);

        // Its IPv6 address and gateway, through the IPv6 part of the interface.
        std::strcpy(v6.szIPv6Gateway, "fd00::1");
        QCOMPARE(consentedModify(dev.szMAC, "Admin12345", v6), 1);
        QTRY_COMPARE_WITH_TIMEOUT(QByteArray(g_rec.byMac("02-5a-01-00-00-00")->szIPv6Address), QByteArray("fd00::5"),
                                  5000);
        QCOMPARE(QByteArray(g_rec.byMac("02-5a-01-00-00-00")->szIPv6Gateway), QByteArray("fd00::1"));
        QCOMPARE(QByteArray(g_rec.byMac("02-5a-01-00-00-00")->szIPv4Gateway), QByteArray("10.1.0.1")); // kept

        // DHCP on, then off again with the address kept.
        ZELT_NET_PARAM dhcp = netParam("");
        dhcp.byDhcpEnable = 1;
        QCOMPARE(consentedModify(dev.szMAC, "Admin12345", dhcp), 1);
        QTRY_COMPARE_WITH_TIMEOUT(int(g_rec.byMac("02-5a-01-00-00-00")->byDhcpEnabled), 1, 5000);
        ZELT_NET_PARAM off = netParam("10.1.0.78");
        std::strcpy(off.szIPv4Gateway, "10.1.0.1");
        QCOMPARE(consentedModify(dev.szMAC, "Admin12345", off), 1);
        QTRY_COMPARE_WITH_TIMEOUT(QByteArray(g_rec.byMac("02-5a-01-00-00-00")->szIPv4Address), QByteArray("10.1.0.78"),
                                  5000);
        QCOMPARE(int(g_rec.byMac("02-5a-01-00-00-00")->byDhcpEnabled), 0);
        QCOMPARE(QByteArray(g_rec.byMac("02-5a-01-00-00-00")->szIPv4Gateway), QByteArray("10.1.0.1"));

        // The simulator goes: its devices say goodbye over both protocols.
        sim.terminate();
        QTRY_COMPARE_WITH_TIMEOUT(int(g_rec.devices().size()), 0, 3000);
    }

    void clockOfASkewedDeviceIsSetWithConsent()
    {
        // Tokens only: the device judges their creation time by its own clock,
        // an hour ahead of ours.
        SimProcess sim(8);
        QVERIFY(sim.start(simArgs(
            sim, {"--count", "2", "--onvif", "1", "--onvif-only", "--onvif-auth", "wsse", "--clock-skew", "3600"})));
        QVERIFY(startSdk(sim));
        QTRY_COMPARE_WITH_TIMEOUT(int(g_rec.devices(ZELT_PROTOCOL_ONVIF).size()), 1, 5000);
        const QByteArray mac = g_rec.devices(ZELT_PROTOCOL_ONVIF).front().szMAC;
        QCOMPARE(int(g_rec.byMac(mac)->byClockKnown), 0);

        // Nothing goes to a device that cannot prove who it is without consent.
        QCOMPARE(ZELT_SyncDeviceTime(mac, "Admin12345"), 0);
        QCOMPARE(ZELT_GetLastError(), uint32_t(ZELT_ERR_NOT_CONSENTED));
        QCOMPARE(int(g_rec.byMac(mac)->byClockKnown), 0);
        // Refused with a wrong password; its clock, read on the way, is in the record.
        QCOMPARE(ZELT_AllowUncertified(mac), 1);
        QCOMPARE(ZELT_SyncDeviceTime(mac, "Wrong12345"), 0);
        QCOMPARE(ZELT_GetLastError(), uint32_t(ZELT_ERR_WRONG_PASSWORD));
        QTRY_COMPARE_WITH_TIMEOUT(int(g_rec.byMac(mac)->byClockKnown), 1, 2000);
        QVERIFY(std::abs(g_rec.byMac(mac)->iClockOffset - 3600) <= 1);
        // Done: the device's own clock (read again) agrees with ours now.
        QCOMPARE(ZELT_AllowUncertified(mac), 1);
        QVERIFY2(ZELT_SyncDeviceTime(mac, "Admin12345") == 1, qPrintable(QString::number(ZELT_GetLastError())));
        QTRY_VERIFY_WITH_TIMEOUT(std::abs(g_rec.byMac(mac)->iClockOffset) <= 1, 2000);
        QCOMPARE(int(g_rec.byMac(mac)->byClockKnown), 1);
    }

    void aDeviceSpeakingBothIsListedOnce()
    {
        SimProcess sim(1);
        QVERIFY(sim.start(simArgs(sim, {"--count", "5", "--onvif"})));
        qputenv("ZELT_ONVIF_PASSWORD", "Admin12345"); // details read at discovery
        QVERIFY(startSdk(sim));
        QTRY_COMPARE_WITH_TIMEOUT(int(g_rec.devices().size()), 5, 5000);
        QTest::qWait(1500); // the ONVIF answers and their details are in by now
        QCOMPARE(int(g_rec.devices().size()), 5);
        QCOMPARE(int(g_rec.devices(ZELT_PROTOCOL_ONVIF).size()), 0);
        std::lock_guard l(g_rec.mu);
        for (auto &e : g_rec.events)
            QCOMPARE(int(e.byProtocol), ZELT_PROTOCOL_ZELT);
    }

    void httpDigestIsTheFallback()
    {
        SimProcess sim(2);
        QVERIFY(sim.start(simArgs(sim, {"--count", "2", "--onvif", "1", "--onvif-only", "--onvif-auth", "digest"})));
        QVERIFY(startSdk(sim));
        QTRY_COMPARE_WITH_TIMEOUT(int(g_rec.devices(ZELT_PROTOCOL_ONVIF).size()), 1, 5000);
        const auto dev = g_rec.devices(ZELT_PROTOCOL_ONVIF).front();
        ZELT_NET_PARAM p = netParam("10.1.0.55");
        QCOMPARE(consentedModify(dev.szMAC, "Wrong12345", p), 0);
        QCOMPARE(ZELT_GetLastError(), uint32_t(ZELT_ERR_WRONG_PASSWORD));
        QCOMPARE(consentedModify(dev.szMAC, "Admin12345", p), 1);
        QTRY_COMPARE_WITH_TIMEOUT(QByteArray(g_rec.byMac(QString::fromLatin1(dev.szMAC))->szIPv4Address),
                                  QByteArray("10.1.0.55"), 5000);
    }

    // A host on the segment announces a listed camera's MAC with a service
    // of its own and waits for credentials: it gets none, however the
    // announcement is made, and the genuine device is left alone.
    void impostorsGetNothing()
    {
        SimProcess sim(4);
        QVERIFY(sim.start(simArgs(sim, {"--count", "3", "--onvif", "2", "--onvif-only"})));
        QVERIFY(startSdk(sim));
        QTRY_COMPARE_WITH_TIMEOUT(int(g_rec.devices(ZELT_PROTOCOL_ONVIF).size()), 2, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(int(g_rec.devices(ZELT_PROTOCOL_ZELT).size()), 1, 5000);
        const QString victim = "02-5a-01-00-00-00";
        FakeService fake(false);
        const quint16 port = wsdPort(sim);

        // Its MAC in the endpoint reference: both entries are ambiguous,
        // shown so, and refused even with the user's consent.
        // (It keeps announcing, as an impostor would: a slow run must not
        // see it expire between the check and the command.)
        const std::string impostor = cameraHello("urn:uuid:00000000-0000-1000-8000-025a01000000", fake.url());
        sendDiscovery(impostor, port);
        QTRY_COMPARE_WITH_TIMEOUT(int(g_rec.byMac(victim)->byTrust), ZELT_TRUST_AMBIGUOUS, 3000);
        ZELT_NET_PARAM p = netParam("10.1.0.66", "255.255.255.0");
        sendDiscovery(impostor, port);
        QCOMPARE(consentedModify(victim.toLatin1(), "Admin12345", p), 0);
        QCOMPARE(ZELT_GetLastError(), uint32_t(ZELT_ERR_AMBIGUOUS_DEVICE));

        // Announced from another address than its service's, or as a match
        // to a probe it was never sent: listed at most, never commanded.
        const std::string elsewhere = cameraHello("urn:uuid:00000000-0000-1000-8000-025a0f0f0f0f", fake.url());
        sendDiscovery(elsewhere, port, "127.0.0.2");
        QTRY_VERIFY_WITH_TIMEOUT(g_rec.byMac("02-5a-0f-0f-0f-0f").has_value(), 3000);
        sendDiscovery(elsewhere, port, "127.0.0.2");
        QCOMPARE(consentedModify("02-5a-0f-0f-0f-0f", "Admin12345", p), 0);
        QCOMPARE(ZELT_GetLastError(), uint32_t(ZELT_ERR_UNTRUSTED_DEVICE));
        zelt::onvif::Endpoint m;
        m.address = "urn:uuid:00000000-0000-1000-8000-025a0e0e0e0e";
        m.types = {std::string("{") + zelt::onvif::ns::tds + "}Device"};
        m.xaddrs = {fake.url()};
        sendDiscovery(zelt::onvif::probeMatchesMessage("urn:uuid:" + zelt::onvif::newUuid(), m, 1, 1), port);
        QTest::qWait(1000);
        QVERIFY(!g_rec.byMac("02-5a-0e-0e-0e-0e"));

        // Nothing reached the impostor's service: no token, no Digest answer,
        // not even a request.
        QCOMPARE(int(fake.requests().size()), 0);
        QCOMPARE(QByteArray(g_rec.byMac(victim)->szIPv4Address), QByteArray("127.0.0.1"));

        // Once the impostor has been silent for three periods, the genuine
        // device is itself again and takes the change.
        QTRY_COMPARE_WITH_TIMEOUT(int(g_rec.byMac(victim)->byTrust), ZELT_TRUST_UNCERTIFIED, 5000);
        QCOMPARE(consentedModify(victim.toLatin1(), "Admin12345", p), 1);
        QTRY_COMPARE_WITH_TIMEOUT(QByteArray(g_rec.byMac(victim)->szIPv4Address), QByteArray("10.1.0.66"), 5000);

        // A ZELT device's MAC announced over ONVIF: while the ZELT device is
        // there its commands go over ZELT; once it is gone, they go nowhere.
        const auto zeltDev = g_rec.devices(ZELT_PROTOCOL_ZELT).front();
        const std::string node = QString::fromLatin1(zeltDev.szMAC).remove('-').toStdString();
        const std::string twin = cameraHello("urn:uuid:00000000-0000-1000-8000-" + node, fake.url());
        sendDiscovery(twin, port);
        sim.terminate();
        QTRY_VERIFY_WITH_TIMEOUT(!g_rec.byMac(QString::fromLatin1(zeltDev.szMAC))
                                     || g_rec.byMac(QString::fromLatin1(zeltDev.szMAC))->byProtocol
                                            == ZELT_PROTOCOL_ONVIF,
                                 3000);
        sendDiscovery(twin, port);
        QTRY_COMPARE_WITH_TIMEOUT(int(g_rec.byMac(QString::fromLatin1(zeltDev.szMAC))->byTrust), ZELT_TRUST_AMBIGUOUS,
                                  3000);
        QCOMPARE(consentedModify(zeltDev.szMAC, "Admin12345", p), 0);
        QCOMPARE(ZELT_GetLastError(), uint32_t(ZELT_ERR_AMBIGUOUS_DEVICE));
        QCOMPARE(int(fake.requests().size()), 0);
    }

    // Announcements in their thousands from one host: its share of the
    // table is bounded, and ZELT commands are answered as usual meanwhile.
    void aFloodIsBounded()
    {
        SimProcess sim(5);
        QVERIFY(sim.start(simArgs(sim, {"--count", "2"})));
        qputenv("ZELT_ONVIF_PER_SENDER", "500");
        QVERIFY(startSdk(sim));
        qunsetenv("ZELT_ONVIF_PER_SENDER");
        QTRY_COMPARE_WITH_TIMEOUT(int(g_rec.devices(ZELT_PROTOCOL_ZELT).size()), 2, 5000);
        const auto zeltDev = g_rec.devices(ZELT_PROTOCOL_ZELT).front();
        std::atomic<bool> done{false};
        std::thread flood([&] {
            for (int i = 0; i < 20000 && !done; ++i)
                sendDiscovery(cameraHello("urn:uuid:" + zelt::onvif::newUuid(), "http://127.0.0.1:9/x"), wsdPort(sim));
        });
        QTest::qWait(300);
        ZELT_NET_PARAM p = netParam("", "");
        p.wPort = quint16(zeltDev.dwPort);
        QElapsedTimer t;
        t.start();
        const int rc = ZELT_ModifyDeviceNetParam(zeltDev.szMAC, "Admin12345", &p);
        const qint64 took = t.elapsed();
        done = true;
        flood.join();
        QVERIFY2(rc == 1, QByteArray::number(ZELT_GetLastError()));
        QVERIFY2(took < 1000, QByteArray::number(took));
        // The flood arrived (as fast as a slow build parses it), and the
        // sender's share stopped at its bound.
        QTRY_VERIFY_WITH_TIMEOUT(g_rec.devices(ZELT_PROTOCOL_ONVIF).size() >= 100, 15000);
        QTest::qWait(1000);
        QVERIFY(g_rec.devices(ZELT_PROTOCOL_ONVIF).size() <= 500);
    }

    // A service that never answers holds neither a command nor the stop.
    void stopDoesNotWaitForTheNetwork()
    {
        SimProcess sim(6);
        QVERIFY(sim.start(simArgs(sim, {"--count", "1"})));
        QVERIFY(startSdk(sim));
        FakeService slow(true);
        sendDiscovery(cameraHello("urn:uuid:00000000-0000-1000-8000-025a0d0d0d0d", slow.url()), wsdPort(sim));
        QTRY_VERIFY_WITH_TIMEOUT(g_rec.byMac("02-5a-0d-0d-0d-0d").has_value(), 3000);
        QElapsedTimer t;
        t.start();
        qint64 commandEnded = -1;
        std::thread cmd([&] {
            ZELT_NET_PARAM p = netParam("10.1.0.5");
            consentedModify("02-5a-0d-0d-0d-0d", "Admin12345", p);
            commandEnded = t.elapsed();
        });
        QTRY_VERIFY_WITH_TIMEOUT(!slow.requests().empty(), 2000);
        QElapsedTimer s;
        s.start();
        ZELT_Stop();
        QVERIFY2(s.elapsed() < 1000, QByteArray::number(s.elapsed()));
        cmd.join();
        QVERIFY2(commandEnded >= 0 && commandEnded - (t.elapsed() - s.elapsed()) < 1000,
                 QByteArray::number(commandEnded));
        // The one request it got was the clock: no credentials.
        for (auto &r : slow.requests())
            QVERIFY(r.find("UsernameToken") == std::string::npos && r.find("Authorization") == std::string::npos);
    }

    // Over HTTPS the certificate of first use is pinned: the next run shows
    // the device as pinned and sends it the password without asking; a new
    // certificate stops commands until the user takes it.
    void httpsCertificatesArePinned()
    {
        QTemporaryDir state;
        const QString pins = state.filePath("pins/onvif-pins");
        qputenv("ZELT_PIN_FILE", pins.toLocal8Bit());
        const QStringList args{"--count",      "2",           "--onvif", "1",
                               "--onvif-only", "--onvif-tls", "--state", state.filePath("fleet.json")};
        const QString mac = "02-5a-01-00-00-00";
        ZELT_NET_PARAM p = netParam("10.1.0.44", "255.255.255.0");
        {
            SimProcess sim(7);
            QVERIFY(sim.start(simArgs(sim, args)));
            QVERIFY(startSdk(sim));
            QTRY_VERIFY_WITH_TIMEOUT(g_rec.byMac(mac).has_value(), 5000);
            QCOMPARE(int(g_rec.byMac(mac)->byTrust), ZELT_TRUST_UNCERTIFIED); // first contact: nothing seen before
            QCOMPARE(ZELT_ModifyDeviceNetParam(mac.toLatin1(), "Admin12345", &p), 0);
            QCOMPARE(ZELT_GetLastError(), uint32_t(ZELT_ERR_NOT_CONSENTED));
            QCOMPARE(consentedModify(mac.toLatin1(), "Admin12345", p), 1);
            QFileInfo f(pins);
            QVERIFY(f.exists());
            QCOMPARE(int(f.permissions() & (QFile::ReadGroup | QFile::ReadOther | QFile::WriteOther)), 0);
            ZELT_Stop();
            sim.terminate();
        }
        {
            SimProcess sim(7);
            QVERIFY(sim.start(simArgs(sim, args)));
            QVERIFY(startSdk(sim));
            QTRY_COMPARE_WITH_TIMEOUT(int(g_rec.byMac(mac)->byTrust), ZELT_TRUST_PINNED, 5000);
            p = netParam("10.1.0.45", "255.255.255.0");
            QCOMPARE(ZELT_ModifyDeviceNetParam(mac.toLatin1(), "Admin12345", &p), 1);
            ZELT_Stop();
            sim.terminate();
        }
        {
            SimProcess sim(7);
            QVERIFY(sim.start(simArgs(sim, args + QStringList{"--onvif-tls-renew", "1"})));
            QVERIFY(startSdk(sim));
            QTRY_VERIFY_WITH_TIMEOUT(g_rec.byMac(mac).has_value(), 5000);
            QTest::qWait(1000); // the handshake that finds the new certificate
            QCOMPARE(int(g_rec.byMac(mac)->byTrust), ZELT_TRUST_UNCERTIFIED);
            QCOMPARE(consentedModify(mac.toLatin1(), "Admin12345", p), 0);
            QCOMPARE(ZELT_GetLastError(), uint32_t(ZELT_ERR_CERT_CHANGED));
            QCOMPARE(ZELT_AcceptNewCertificate(mac.toLatin1()), 1);
            p = netParam("10.1.0.46", "255.255.255.0");
            QCOMPARE(consentedModify(mac.toLatin1(), "Admin12345", p), 1);
            QTRY_COMPARE_WITH_TIMEOUT(QByteArray(g_rec.byMac(mac)->szIPv4Address), QByteArray("10.1.0.46"), 5000);
        }
        qunsetenv("ZELT_PIN_FILE");
    }

    void foreignSubnetsStrangersAndJunk()
    {
        SimProcess sim(3);
        QVERIFY(sim.start(simArgs(sim, {"--count", "1"})));
        QVERIFY(startSdk(sim));
        QTRY_COMPARE_WITH_TIMEOUT(int(g_rec.devices().size()), 1, 5000);
        const quint16 port = wsdPort(sim);
        // Junk of every size, a truncated hello, a DTD: dropped.
        QRandomGenerator rng(3);
        zelt::onvif::Endpoint cam;
        cam.address = "urn:uuid:" + zelt::onvif::newUuid();
        cam.scopes = {"onvif://www.onvif.org/hardware/Far-Cam"};
        cam.xaddrs = {"http://192.0.2.10/onvif/device_service"}; // in no local subnet
        const std::string hello = zelt::onvif::helloMessage(cam, 1, 1);
        for (int i = 0; i < 300; ++i) {
            std::string junk(size_t(rng.bounded(1, 2000)), '\0');
            for (auto &c : junk)
                c = char(rng.bounded(256));
            if (i % 3 == 0)
                junk = hello.substr(0, size_t(rng.bounded(int(hello.size()))));
            sendDiscovery(junk, port);
        }
        sendDiscovery(
            "<?xml version='1.0'?><!DOCTYPE e [<!ENTITY a 'x'>]>" + hello.substr(hello.find("<soap:Envelope")), port);
        // Another WS-Discovery responder, no camera: not listed.
        zelt::onvif::Endpoint pc = cam;
        pc.address = "urn:uuid:" + zelt::onvif::newUuid();
        std::string other = zelt::onvif::helloMessage(pc, 1, 1);
        const std::string types = "<wsd:Types>dn:NetworkVideoTransmitter tds:Device</wsd:Types>";
        other.replace(
            other.find(types), types.size(),
            "<wsd:Types xmlns:wsdp=\"http://schemas.xmlsoap.org/ws/2006/02/devprof\">wsdp:Device</wsd:Types>");
        sendDiscovery(other, port);
        QTest::qWait(500);
        QCOMPARE(int(g_rec.devices().size()), 1);
        // A camera in a foreign subnet: listed, but refused over ONVIF without a timeout.
        sendDiscovery(hello, port);
        QTRY_COMPARE_WITH_TIMEOUT(int(g_rec.devices(ZELT_PROTOCOL_ONVIF).size()), 1, 3000);
        const auto far = g_rec.devices(ZELT_PROTOCOL_ONVIF).front();
        QCOMPARE(QByteArray(far.szIPv4Address), QByteArray("192.0.2.10"));
        QCOMPARE(QByteArray(far.szDevDesc), QByteArray("Far-Cam"));
        QVERIFY(far.szMAC[1] == '2' || far.szMAC[1] == '6' || far.szMAC[1] == 'a'
                || far.szMAC[1] == 'e'); // locally administered
        ZELT_NET_PARAM p = netParam("192.0.2.11");
        QElapsedTimer t;
        t.start();
        QCOMPARE(consentedModify(far.szMAC, "Admin12345", p), 0);
        QCOMPARE(ZELT_GetLastError(), uint32_t(ZELT_ERR_NOT_REACHABLE));
        QVERIFY(t.elapsed() < 500);
        // Its goodbye takes it away; the ZELT device stays.
        sendDiscovery(zelt::onvif::byeMessage(cam, 1, 2), port);
        QTRY_COMPARE_WITH_TIMEOUT(int(g_rec.devices(ZELT_PROTOCOL_ONVIF).size()), 0, 3000);
        QCOMPARE(int(g_rec.devices().size()), 1);
        ZELT_DEVICE_KEY key;
        QVERIFY(ZELT_GetDeviceConfig("ZT-IPC2141-000100000001", ZELT_CFG_DEVICE_KEY, nullptr, 0, &key, sizeof key)
                != 0);
    }
};

QTEST_GUILESS_MAIN(TestZeltOnvif)
#include "tst_zelt_onvif.moc"
