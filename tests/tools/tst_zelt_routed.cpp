// Devices beyond the local segment, in network namespaces this test
// creates. The client host has two local segments, one IPv4 and one IPv6
// only, and a link to a router that forwards unicast but no multicast to
// three subnets: IPv4 devices, IPv6-only devices (ZELT and ONVIF), and a
// host that answers in the scanned ranges without a trusted identity (an
// impostor simulator and a fake WS-Discovery responder). The IPv6-only
// segment has an ONVIF device too. Skipped when namespaces cannot be made.
#include "../platform/zelt/simprocess.h"
#include "onvif.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <QtTest>

#include <arpa/inet.h>
#include <poll.h>
#include <net/if.h>
#include <sched.h>
#include <sys/socket.h>

#include <atomic>
#include <thread>

namespace {

// A host that answers WS-Discovery probes with video devices of its own
// making. Over IPv4 it answers probes sent to its address, with one device
// whose service is said to live at another host's address and one at its
// own; over IPv6 it answers the group's probes on a link with one at its own
// address. Its HTTP port counts connections.
class FakeResponder
{
public:
    ~FakeResponder() { stop(); }
    // otherHost empty: IPv6, multicast on the link `ifName`.
    bool start(const QString &netns, const QString &address, quint16 wsdPort, const QString &otherHost,
               const QString &ifName = {})
    {
        std::atomic<int> ready{0};
        thread_ = std::thread([=, this, &ready] {
            // setns moves this thread alone: its sockets live in that namespace.
            const int nsfd = ::open(("/run/netns/" + netns).toLocal8Bit().constData(), O_RDONLY | O_CLOEXEC);
            if (nsfd < 0 || setns(nsfd, CLONE_NEWNET) != 0) {
                ready = -1;
                return;
            }
            ::close(nsfd);
            const bool v6 = otherHost.isEmpty();
            const int family = v6 ? AF_INET6 : AF_INET;
            auto sockaddrOf = [&](const QString &host, quint16 port, sockaddr_storage &ss) {
                std::memset(&ss, 0, sizeof ss);
                if (v6) {
                    auto *a = reinterpret_cast<sockaddr_in6 *>(&ss);
                    a->sin6_family = AF_INET6;
                    a->sin6_port = htons(port);
                    inet_pton(AF_INET6, host.toLatin1().constData(), &a->sin6_addr);
                    return socklen_t(sizeof *a);
                }
                auto *a = reinterpret_cast<sockaddr_in *>(&ss);
                a->sin_family = AF_INET;
                a->sin_port = htons(port);
                inet_pton(AF_INET, host.toLatin1().constData(), &a->sin_addr);
                return socklen_t(sizeof *a);
            };
            // IPv6: the group's probes come in on a socket bound to the port,
            // the answers leave from the own address.
            const int udp = socket(family, SOCK_DGRAM | SOCK_CLOEXEC, 0);
            const int reply = v6 ? socket(family, SOCK_DGRAM | SOCK_CLOEXEC, 0) : udp;
            const int tcp = socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0);
            sockaddr_storage ss;
            socklen_t len = sockaddrOf(v6 ? "::" : address, wsdPort, ss);
            const int one = 1; // the port is shared with the simulator's ONVIF devices there
            setsockopt(udp, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
            bool ok = bind(udp, reinterpret_cast<sockaddr *>(&ss), len) == 0;
            if (v6) {
                ipv6_mreq m{};
                inet_pton(AF_INET6, "ff02::c", &m.ipv6mr_multiaddr);
                m.ipv6mr_interface = if_nametoindex(ifName.toLatin1().constData());
                len = sockaddrOf(address, 0, ss);
                ok = ok && setsockopt(udp, IPPROTO_IPV6, IPV6_JOIN_GROUP, &m, sizeof m) == 0
                     && bind(reply, reinterpret_cast<sockaddr *>(&ss), len) == 0;
            }
            len = sockaddrOf(address, 8080, ss);
            ok = ok && bind(tcp, reinterpret_cast<sockaddr *>(&ss), len) == 0 && listen(tcp, 8) == 0;
            ready = ok ? 1 : -1;
            using zelt::onvif::Endpoint;
            std::vector<Endpoint> endpoints(v6 ? 1 : 2);
            const std::string host = v6 ? "[" + address.toStdString() + "]" : address.toStdString();
            endpoints[0].address = "urn:uuid:5a5a0002-0000-1000-8000-02aabbcc000" + std::string(v6 ? "6" : "2");
            endpoints[0].xaddrs = {"http://" + host + ":8080/onvif/device_service"};
            if (!v6) {
                endpoints[1].address = "urn:uuid:5a5a0001-0000-1000-8000-02aabbcc0001";
                endpoints[1].xaddrs = {"http://" + otherHost.toStdString() + ":80/onvif/device_service"};
            }
            uint32_t number = 0;
            while (!stop_ && ok) {
                pollfd fds[2] = {{udp, POLLIN, 0}, {tcp, POLLIN, 0}};
                if (poll(fds, 2, 50) <= 0)
                    continue;
                if (fds[1].revents & POLLIN) {
                    const int c = accept4(tcp, nullptr, nullptr, SOCK_CLOEXEC);
                    if (c >= 0) {
                        ++connections_;
                        ::close(c);
                    }
                }
                if (fds[0].revents & POLLIN) {
                    char buf[8192];
                    sockaddr_storage from{};
                    socklen_t fromLen = sizeof from;
                    const ssize_t n = recvfrom(udp, buf, sizeof buf, 0, reinterpret_cast<sockaddr *>(&from), &fromLen);
                    auto m = n > 0 ? zelt::onvif::parseDiscovery(buf, size_t(n)) : std::nullopt;
                    if (!m || m->kind != zelt::onvif::DiscoveryMessage::Probe)
                        continue;
                    ++probes_;
                    for (Endpoint &e : endpoints) {
                        e.metadataVersion = 1;
                        const std::string out = zelt::onvif::probeMatchesMessage(m->messageId, e, 1, ++number);
                        sendto(reply, out.data(), out.size(), 0, reinterpret_cast<sockaddr *>(&from), fromLen);
                    }
                }
            }
            ::close(udp);
            if (reply != udp)
                ::close(reply);
            ::close(tcp);
        });
        while (ready == 0)
            QTest::qWait(10);
        return ready == 1;
    }
    void stop()
    {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
    }
    int connections() const { return connections_; }
    int probes() const { return probes_; }

private:
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<int> connections_{0}, probes_{0};
};

} // namespace

class TestZeltRouted : public QObject
{
    Q_OBJECT
    QString ip_;
    QString tag_ = QString::number(QCoreApplication::applicationPid() % 100000);
    QTemporaryDir dir_;
    QStringList namespaces_;
    std::map<QString, pid_t> sims_;
    quint16 port_ = SimProcess::portFor(4);
    const QString ranges_ = "10.80.4.0/24,10.80.5.0/24,fd80:6::/120";
    FakeResponder fake_, fake6_;

    QString ns(const char *name) const { return QString("zr%1%2").arg(name, tag_); }
    QString dev(const char *name) const { return QString("zr%1%2").arg(tag_, name); } // interface names
    bool ipRun(const QStringList &args) { return runProgram(ip_, args, dir_.path()) == 0; }
    QStringList inNs(const QString &n, const QStringList &cmd) const
    {
        return QStringList{"netns", "exec", n, "env", "-u", "ZELT_INTERFACES"} + cmd;
    }
    bool sysctl(const QString &n, const QString &setting, const QString &value)
    {
        const QString path = "/proc/sys/" + QString(setting).replace('.', '/');
        return runProgram(ip_, {"netns", "exec", n, "sh", "-c", "echo " + value + " > " + path}, dir_.path()) == 0;
    }
    // zeltctl on the client host; with scan, the ranges behind the router too.
    int ctl(const QStringList &args, QByteArray *out = nullptr, bool scan = true)
    {
        // Time enough for a device found by the scan's last addresses.
        QStringList cmd{SimProcess::binDir() + "/zeltctl", "--port", QString::number(port_), "--timeout", "8"};
        if (scan)
            cmd << "--scan" << ranges_;
        pid_t pid = spawnProgram(ip_, inNs(ns("c"), cmd + args), dir_.filePath("ctl.out"), dir_.filePath("ctl.err"));
        int status = 0;
        if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
            return -1;
        if (out) {
            QFile f(dir_.filePath("ctl.out"));
            f.open(QIODevice::ReadOnly);
            *out = f.readAll();
        }
        if (WEXITSTATUS(status) != 0) { // what it said, for a failure that was not expected
            QFile f(dir_.filePath("ctl.err"));
            f.open(QIODevice::ReadOnly);
            qInfo().noquote() << args.join(' ') << "->" << WEXITSTATUS(status) << f.readAll().trimmed();
        }
        return WEXITSTATUS(status);
    }
    QJsonArray list(const QStringList &extra, bool scan = true)
    {
        QByteArray out;
        ctl(QStringList{"list", "--json"} + extra, &out, scan);
        return QJsonDocument::fromJson(out).array();
    }
    static QJsonObject find(const QJsonArray &all, const QString &key, const QString &value)
    {
        for (const auto &v : all)
            if (v.toObject()[key].toString() == value)
                return v.toObject();
        return {};
    }
    bool link(const QString &a, const QString &b, const QString &ifA, const QString &ifB)
    {
        return ipRun({"link", "add", ifA, "type", "veth", "peer", "name", ifB})
               && ipRun({"link", "set", ifA, "netns", a}) && ipRun({"link", "set", ifB, "netns", b})
               && ipRun({"-n", a, "link", "set", ifA, "up"}) && ipRun({"-n", b, "link", "set", ifB, "up"});
    }
    bool addr(const QString &n, const QString &address, const QString &ifName)
    {
        QStringList args{"-n", n, "addr", "add", address, "dev", ifName};
        if (address.contains(':'))
            args << "nodad"; // usable at once
        return ipRun(args);
    }
    bool writeFile(const QString &name, const QByteArray &data)
    {
        QFile f(dir_.filePath(name));
        return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
    }
    bool startSim(const QString &name, const QString &n, const QString &card, const QStringList &extra,
                  const QString &makerKey = "maker.key")
    {
        const QString ready = dir_.filePath("ready-" + name);
        pid_t pid = spawnProgram(ip_,
                                 inNs(n, QStringList{SimProcess::binDir() + "/zelt-devsim", "--interfaces", card,
                                                     "--port", QString::number(port_), "--quiet", "--exit-with-parent",
                                                     "--ready-file", ready, "--maker-key", dir_.filePath(makerKey)}
                                             + extra),
                                 dir_.filePath(name + ".out"), dir_.filePath(name + ".err"));
        if (pid < 0)
            return false;
        sims_[name] = pid;
        QElapsedTimer t;
        t.start();
        while (!QFile::exists(ready) && t.elapsed() < 10000)
            QTest::qWait(20);
        return QFile::exists(ready);
    }
    // Ends a simulator; its closing figures.
    QByteArray stopSim(const QString &name)
    {
        auto it = sims_.find(name);
        if (it == sims_.end())
            return {};
        ::kill(it->second, SIGTERM);
        waitpid(it->second, nullptr, 0);
        sims_.erase(it);
        QFile f(dir_.filePath(name + ".out"));
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }

private slots:
    void initTestCase()
    {
        ip_ = QStandardPaths::findExecutable("ip", {"/usr/sbin", "/sbin", "/usr/bin", "/bin"});
        if (geteuid() != 0 || ip_.isEmpty())
            QSKIP("needs root and ip(8) to create network namespaces");
        QVERIFY(SimProcess::trustMaker(dir_.filePath("maker.key")));
        for (const char *n : {"c", "r", "l4", "l6", "d4", "d6", "di"}) {
            if (!ipRun({"netns", "add", ns(n)}))
                QSKIP("network namespaces are not available here");
            namespaces_ << ns(n);
            // IPv6 addresses usable at once, link-local ones included.
            QVERIFY(sysctl(ns(n), "net.ipv6.conf.all.accept_dad", "0"));
            QVERIFY(sysctl(ns(n), "net.ipv6.conf.default.accept_dad", "0"));
            QVERIFY(ipRun({"-n", ns(n), "link", "set", "lo", "up"}));
        }
        // The client's segments: IPv4, IPv6 only, and the way to the router.
        QVERIFY(link(ns("c"), ns("l4"), dev("c1"), dev("l4")));
        QVERIFY(addr(ns("c"), "10.80.1.1/24", dev("c1")) && addr(ns("l4"), "10.80.1.2/24", dev("l4")));
        QVERIFY(link(ns("c"), ns("l6"), dev("c2"), dev("l6")));
        QVERIFY(addr(ns("c"), "fd80:16::1/64", dev("c2")) && addr(ns("l6"), "fd80:16::2/64", dev("l6"))
                && addr(ns("l6"), "fd80:16::3/64", dev("l6")));
        QVERIFY(link(ns("c"), ns("r"), dev("c3"), dev("r1")));
        QVERIFY(addr(ns("c"), "10.80.2.1/24", dev("c3")) && addr(ns("r"), "10.80.2.2/24", dev("r1")));
        QVERIFY(addr(ns("c"), "fd80:2::1/64", dev("c3")) && addr(ns("r"), "fd80:2::2/64", dev("r1")));
        // Behind the router: IPv4 devices, an IPv6-only device, the impostor's host.
        QVERIFY(link(ns("r"), ns("d4"), dev("r2"), dev("d4")));
        QVERIFY(addr(ns("r"), "10.80.4.1/24", dev("r2")));
        for (const char *a : {"10.80.4.10/24", "10.80.4.11/24", "10.80.4.12/24", "10.80.4.50/24"})
            QVERIFY(addr(ns("d4"), a, dev("d4")));
        QVERIFY(link(ns("r"), ns("d6"), dev("r3"), dev("d6")));
        QVERIFY(addr(ns("r"), "fd80:6::1/64", dev("r3")));
        for (const char *a : {"fd80:6::10/64", "fd80:6::77/64", "fd80:6::20/64", "fd80:6::21/64"})
            QVERIFY(addr(ns("d6"), a, dev("d6")));
        QVERIFY(link(ns("r"), ns("di"), dev("r4"), dev("di")));
        QVERIFY(addr(ns("r"), "10.80.5.1/24", dev("r4")));
        QVERIFY(addr(ns("di"), "10.80.5.20/24", dev("di")) && addr(ns("di"), "10.80.5.30/24", dev("di")));
        // Unicast is forwarded; multicast is not (no multicast routing here).
        QVERIFY(sysctl(ns("r"), "net.ipv4.ip_forward", "1"));
        QVERIFY(sysctl(ns("r"), "net.ipv6.conf.all.forwarding", "1"));
        QVERIFY(ipRun({"-n", ns("c"), "route", "add", "10.80.4.0/23", "via", "10.80.2.2"}));
        QVERIFY(ipRun({"-n", ns("c"), "-6", "route", "add", "fd80:6::/64", "via", "fd80:2::2"}));
        QVERIFY(ipRun({"-n", ns("d4"), "route", "add", "default", "via", "10.80.4.1"}));
        QVERIFY(ipRun({"-n", ns("di"), "route", "add", "default", "via", "10.80.5.1"}));
        QVERIFY(ipRun({"-n", ns("d6"), "-6", "route", "add", "default", "via", "fd80:6::1"}));

        // The first device speaks ONVIF only (--onvif 1 --onvif-only: the first active one).
        QVERIFY(writeFile("d4.json",
                          R"({"devices": [
 {"serial": "ZT-ROUTED4-0003", "mac": "02-5a-44-00-00-03", "ipv4": "10.80.4.12", "gateway": "10.80.4.1", "password": "Admin12345", "support": 7},
 {"serial": "ZT-ROUTED4-0001", "mac": "02-5a-44-00-00-01", "ipv4": "10.80.4.10", "gateway": "10.80.4.1", "password": "Admin12345", "support": 7},
 {"serial": "ZT-ROUTED4-0002", "mac": "02-5a-44-00-00-02", "ipv4": "10.80.4.11", "gateway": "10.80.4.1", "password": "Admin12345", "support": 7}]})"));
        QVERIFY(writeFile("d6.json",
                          R"({"devices": [
 {"serial": "ZT-ROUTED6-0002", "mac": "02-5a-66-00-00-02", "ipv4": "0.0.0.0", "mask": "0.0.0.0", "ipv6": "fd80:6::20", "ipv6_prefix": 64, "ipv6_gateway": "fd80:6::1", "password": "Admin12345", "support": 3},
 {"serial": "ZT-ROUTED6-0001", "mac": "02-5a-66-00-00-01", "ipv4": "0.0.0.0", "mask": "0.0.0.0", "ipv6": "fd80:6::10", "ipv6_prefix": 64, "ipv6_gateway": "fd80:6::1", "password": "Admin12345", "support": 3}]})"));
        // The impostor claims ZT-ROUTED4-0001 from an address of the range,
        // with a certificate of a maker nobody here trusts.
        QVERIFY(writeFile(
            "di.json",
            R"({"devices": [{"serial": "ZT-ROUTED4-0001", "mac": "02-5a-44-00-00-01", "ipv4": "10.80.5.20", "gateway": "10.80.5.1", "password": "Admin12345", "support": 7}]})"));
        QVERIFY(startSim("l4", ns("l4"), dev("l4"), {"--count", "2", "--seed", "41"}));
        // The first speaks ONVIF only, on the interface's address (its own is not here).
        QVERIFY(startSim("l6", ns("l6"), dev("l6"), {"--count", "2", "--seed", "61", "--onvif", "1", "--onvif-only"}));
        QVERIFY(startSim("d4", ns("d4"), dev("d4"),
                         {"--config", dir_.filePath("d4.json"), "--onvif", "1", "--onvif-only"}));
        QVERIFY(startSim("d6", ns("d6"), dev("d6"),
                         {"--config", dir_.filePath("d6.json"), "--onvif", "1", "--onvif-only"}));
        QVERIFY(startSim("di", ns("di"), dev("di"), {"--config", dir_.filePath("di.json"), "--verbose"},
                         "untrusted-maker.key"));
        const quint16 wsdPort = quint16(qEnvironmentVariableIntValue("ZELT_WSD_PORT"));
        QVERIFY(fake_.start(ns("di"), "10.80.5.30", wsdPort ? wsdPort : 3702, "10.80.4.12"));
        QVERIFY(fake6_.start(ns("l6"), "fd80:16::3", wsdPort ? wsdPort : 3702, {}, dev("l6")));
    }

    void cleanupTestCase()
    {
        fake_.stop();
        fake6_.stop();
        for (auto &[name, pid] : sims_) {
            ::kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
        for (const QString &n : namespaces_)
            ipRun({"netns", "del", n}); // removes the links too
    }

    void multicastFindsTheLocalSegmentsOnly()
    {
        // The IPv6-only segment is heard over the IPv6 groups alone: ZELT's,
        // and WS-Discovery's, whose answers name IPv6 service addresses.
        const QJsonArray all = list({"--timeout", "3"}, false);
        QStringList serials;
        for (const auto &v : all)
            serials << v.toObject()["serial"].toString();
        serials.sort();
        const QJsonObject onvif6 = find(all, "mac", "02-5a-3d-00-00-00");
        QStringList expected{"5a5a0002-0000-1000-8000-02aabbcc0006", onvif6["serial"].toString(),
                             "ZT-IPC2141-004100000001", "ZT-IPC2347-004100000002", "ZT-IPC2347-006100000002"};
        expected.sort();
        QCOMPARE(serials, expected);
        // The simulator's device answers from the segment's address it serves on.
        QCOMPARE(onvif6["protocol"].toString(), QString("onvif"));
        QVERIFY2(QStringList({"fd80:16::2", "fd80:16::3"}).contains(onvif6["ipv6"].toString()),
                 qPrintable(onvif6["ipv6"].toString()));
        QCOMPARE(onvif6["trust"].toString(), QString("uncertified"));
        const QJsonObject v6 = find(all, "mac", "02-aa-bb-cc-00-06");
        QCOMPARE(v6["ipv6"].toString(), QString("fd80:16::3"));
        QCOMPARE(v6["trust"].toString(), QString("uncertified"));
        // It answered from where its service is: commanded with consent only.
        QCOMPARE(
            ctl({"set-ip", "02-aa-bb-cc-00-06", "--password", "Admin12345", "--ipv6", "fd80:16::9"}, nullptr, false),
            1);
        QCOMPARE(fake6_.connections(), 0);
    }

    void aScanFindsEveryDeviceAndNoImpostor()
    {
        // 4 local and the IPv6 responder's endpoint, 2 ZELT and 1 ONVIF device
        // in the IPv4 subnet, 1 ZELT and 1 ONVIF device in the IPv6-only one,
        // the fake responder's 2 endpoints, and the impostor flagged
        // untrusted (shown because it is asked for: it did answer).
        const QJsonArray all = list({"--untrusted", "--count", "13", "--timeout", "10"});
        QCOMPARE(all.size(), 13);
        const QJsonObject real = find(all, "serial", "ZT-ROUTED4-0001");
        QCOMPARE(real["trust"].toString(), QString("verified")); // the untrusted twin makes it no less certain
        QCOMPARE(real["ipv4"].toString(), QString("10.80.4.10"));
        int untrusted = 0;
        for (const auto &v : all)
            untrusted += v.toObject()["trust"].toString() == "untrusted";
        QCOMPARE(untrusted, 1);
        QCOMPARE(find(all, "serial", "ZT-ROUTED6-0001")["ipv6"].toString(), QString("fd80:6::10"));
        // The IPv6-only ONVIF device answered the probe sent to its address, from there.
        QCOMPARE(find(all, "mac", "02-5a-66-00-00-02")["ipv6"].toString(), QString("fd80:6::20"));
        for (const char *mac : {"02-5a-44-00-00-03", "02-5a-66-00-00-02", "02-aa-bb-cc-00-01", "02-aa-bb-cc-00-02"}) {
            const QJsonObject o = find(all, "mac", mac);
            QCOMPARE(o["protocol"].toString(), QString("onvif"));
            QCOMPARE(o["trust"].toString(), QString("uncertified"));
        }
        QVERIFY(fake_.probes() > 0);
    }

    void commandsGoByUnicastToDevicesBehindTheRouter()
    {
        const QStringList pw{"--password", "Admin12345"};
        QCOMPARE(ctl(QStringList{"set-ip", "02-5a-44-00-00-02", "--ip", "10.80.4.50"} + pw), 0);
        QCOMPARE(ctl(QStringList{"set-ip", "02-5a-66-00-00-01", "--ipv6", "fd80:6::77", "--ipv6-prefix", "64"} + pw),
                 0);
        // The certified device, not the one claiming it from the impostor's host.
        QCOMPARE(ctl(QStringList{"set-ip", "02-5a-44-00-00-01", "--gateway", "10.80.4.1"} + pw), 0);
        // The IPv6-only ONVIF device over IPv6 (with consent: it is uncertified).
        QCOMPARE(ctl(QStringList{"set-ip", "02-5a-66-00-00-02", "--ipv6", "fd80:6::21", "--ipv6-prefix", "64",
                                 "--allow-uncertified"}
                     + pw),
                 0);
        // Their announcements stay behind the router: the new addresses are
        // found by asking there.
        const QJsonArray all = list({"--count", "12", "--timeout", "8"});
        QCOMPARE(find(all, "serial", "ZT-ROUTED4-0002")["ipv4"].toString(), QString("10.80.4.50"));
        QCOMPARE(find(all, "serial", "ZT-ROUTED6-0001")["ipv6"].toString(), QString("fd80:6::77"));
        // The ONVIF one serves and answers at its new address.
        QCOMPARE(find(all, "mac", "02-5a-66-00-00-02")["ipv6"].toString(), QString("fd80:6::21"));

        const QByteArray impostor = stopSim("di");
        QVERIFY2(impostor.contains(" 0 requests opened, 0 could not be opened"), impostor.constData());
        QVERIFY2(impostor.contains("by unicast: ") && impostor.contains(" inquiries, 0 requests"),
                 impostor.constData()); // it was asked, and sent nothing to open
    }

    void onvifBehindTheRouterKeepsTheTrustRules()
    {
        const QStringList pw{"--password", "Admin12345"};
        // The scanned ONVIF device answered the probe sent to its own
        // address: reachable, but only with the user's consent.
        const QStringList v6{"set-ip", "02-5a-44-00-00-03", "--ipv6",   "fd80:4::12", "--ipv6-prefix",
                             "64",     "--ipv6-gateway",    "fd80:4::1"};
        QCOMPARE(ctl(v6 + pw), 1);
        QCOMPARE(ctl(v6 + pw + QStringList{"--allow-uncertified"}), 0);
        QCOMPARE(ctl(QStringList{"set-ip", "02-5a-44-00-00-03", "--ipv6", "ff02::1", "--allow-uncertified"} + pw), 1);
        // The fake host's endpoint said to live elsewhere is never commanded;
        // its own one gets nothing without consent.
        QCOMPARE(ctl(QStringList{"set-ip", "02-aa-bb-cc-00-01", "--ip", "10.80.4.99", "--allow-uncertified"} + pw), 3);
        QCOMPARE(ctl(QStringList{"set-ip", "02-aa-bb-cc-00-02", "--ip", "10.80.5.99"} + pw), 1);
        QCOMPARE(fake_.connections(), 0);
    }
};

QTEST_GUILESS_MAIN(TestZeltRouted)
#include "tst_zelt_routed.moc"
