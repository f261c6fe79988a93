// The ONVIF codec on its own, and its client against the simulator's ONVIF
// devices on loopback: digest, parsing by namespace, hostile documents,
// authentication rules of the device service, and a network change over
// ONVIF seen by the ZELT side.
#include "crypto.h"
#include "net.h"
#include "onvif.h"
#include "onvif_client.h"
#include "simprocess.h"
#include "zelt_sdk.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include <algorithm>

#include <arpa/inet.h>
#include <sys/wait.h>
#include <netinet/in.h>
#include <sys/socket.h>

using namespace zelt;

namespace {

// A probe to the simulator's WS-Discovery port on loopback; the matches.
std::vector<onvif::Endpoint> probe(quint16 wsdPort, int waitMs = 900)
{
    int fd = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK, 0);
    in_addr lo{};
    inet_pton(AF_INET, "127.0.0.1", &lo);
    setsockopt(fd, IPPROTO_IP, IP_MULTICAST_IF, &lo, sizeof lo);
    int ttl = 0;
    setsockopt(fd, IPPROTO_IP, IP_MULTICAST_TTL, &ttl, sizeof ttl);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(wsdPort);
    inet_pton(AF_INET, onvif::kDiscoveryGroup, &to.sin_addr);
    const std::string msg = onvif::probeMessage(onvif::newUuid());
    sendto(fd, msg.data(), msg.size(), 0, reinterpret_cast<sockaddr *>(&to), sizeof to);
    std::vector<onvif::Endpoint> out;
    QElapsedTimer t;
    t.start();
    char buf[65536];
    while (t.elapsed() < waitMs) {
        ssize_t n = recv(fd, buf, sizeof buf, 0);
        if (n <= 0) {
            QTest::qWait(10);
            continue;
        }
        auto m = onvif::parseDiscovery(buf, size_t(n));
        if (m && m->kind == onvif::DiscoveryMessage::ProbeMatches)
            for (auto &e : m->endpoints)
                out.push_back(e);
    }
    ::close(fd);
    return out;
}

} // namespace

class TestZeltOnvifCore : public QObject
{
    Q_OBJECT

    QByteArray post(const std::string &url, const std::string &soap, int *status)
    {
        // curl's command line would do; the test keeps to the library it tests.
        std::string host;
        uint16_t port = 0;
        if (!onvif::splitHttpUrl(url, host, port))
            return {};
        int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        inet_pton(AF_INET, host.c_str(), &a.sin_addr);
        if (::connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0) {
            ::close(fd);
            return {};
        }
        const std::string req = "POST /onvif/device_service HTTP/1.1\r\nHost: " + host
                                + "\r\nContent-Type: application/soap+xml\r\nContent-Length: "
                                + std::to_string(soap.size()) + "\r\n\r\n" + soap;
        ::send(fd, req.data(), req.size(), MSG_NOSIGNAL);
        QByteArray reply;
        char buf[8192];
        for (;;) {
            ssize_t n = ::recv(fd, buf, sizeof buf, 0);
            if (n <= 0)
                break;
            reply.append(buf, int(n));
        }
        ::close(fd);
        if (status)
            *status = reply.startsWith("HTTP/1.1 ") ? reply.mid(9, 3).toInt() : 0;
        const int body = reply.indexOf("\r\n\r\n");
        return body < 0 ? QByteArray() : reply.mid(body + 4);
    }

private slots:
    void passwordDigestMatchesTheKnownVector()
    {
        // The UsernameToken example of the ONVIF programmer's guide.
        auto nonce = crypto::fromBase64("LKqI6G/AikKCQrN0zqZFlg==", 64);
        QVERIFY(nonce);
        const std::string n(nonce->begin(), nonce->end());
        QCOMPARE(QString::fromStdString(onvif::passwordDigest(n, "2010-09-16T07:50:45Z", "userpassword")),
                 QString("tuOSpGlFlIXsozq4HFNeeGeFLEI="));
        QVERIFY(onvif::passwordDigest(n, "2010-09-16T07:50:46Z", "userpassword") != "tuOSpGlFlIXsozq4HFNeeGeFLEI=");
        // The header carries the digest, never the password.
        const std::string h = onvif::securityHeader("admin", "S3cretPassw0rd", 1700000000);
        QVERIFY(h.find("S3cretPassw0rd") == std::string::npos);
        auto env = onvif::parse(onvif::envelope("<tds:GetDeviceInformation/>", h).c_str(),
                                onvif::envelope("<tds:GetDeviceInformation/>", h).size());
        QVERIFY(env);
        auto tok = onvif::findUsernameToken(*env);
        QVERIFY(tok);
        QCOMPARE(QString::fromStdString(tok->user), QString("admin"));
        QCOMPARE(QString::fromStdString(tok->created), QString("2023-11-14T22:13:20Z"));
        QCOMPARE(int(tok->nonce.size()), 16);
        QCOMPARE(tok->password, onvif::passwordDigest(tok->nonce, tok->created, "S3cretPassw0rd"));
    }

    // A discovery message leaves whole, once on each chosen interface (here
    // loopback, listed twice), to the group and port asked for, and stays on
    // this host.
    void discoveryGoesOutOnceOnEachInterface()
    {
        std::string error;
        std::vector<net::Interface> ifs = net::chooseInterfaces("lo", &error);
        QVERIFY2(ifs.size() == 1, error.c_str());
        ifs.push_back(ifs.front());
        const quint16 port = quint16(SimProcess::portFor(4) + 1000);
        in_addr group{};
        inet_pton(AF_INET, onvif::kDiscoveryGroup, &group);

        const int rx = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK, 0);
        const int tx = socket(AF_INET, SOCK_DGRAM, 0);
        QVERIFY(rx >= 0 && tx >= 0);
        int one = 1;
        setsockopt(rx, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        setsockopt(rx, IPPROTO_IP, IP_RECVTTL, &one, sizeof one);
        sockaddr_in at{};
        at.sin_family = AF_INET;
        at.sin_port = htons(port);
        at.sin_addr = group;
        QCOMPARE(bind(rx, reinterpret_cast<sockaddr *>(&at), sizeof at), 0);
        ip_mreqn join{};
        join.imr_multiaddr = group;
        join.imr_ifindex = int(ifs.front().index);
        QCOMPARE(setsockopt(rx, IPPROTO_IP, IP_ADD_MEMBERSHIP, &join, sizeof join), 0);

        const std::string msg = onvif::probeMessage(onvif::newUuid());
        net::sendOnEachInterface(tx, ifs, onvif::kDiscoveryGroup, port, msg);

        int copies = 0;
        QList<int> ttls;
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 500) {
            std::vector<char> buf(onvif::kMaxDatagram);
            char control[64];
            iovec iov{buf.data(), buf.size()};
            msghdr mh{};
            mh.msg_iov = &iov;
            mh.msg_iovlen = 1;
            mh.msg_control = control;
            mh.msg_controllen = sizeof control;
            const ssize_t n = recvmsg(rx, &mh, 0);
            if (n < 0) {
                QTest::qWait(10);
                continue;
            }
            if (std::string(buf.data(), size_t(n)) != msg)
                continue; // someone else's
            ++copies;
            for (cmsghdr *c = CMSG_FIRSTHDR(&mh); c; c = CMSG_NXTHDR(&mh, c))
                if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_TTL)
                    ttls << *reinterpret_cast<int *>(CMSG_DATA(c));
        }
        ::close(rx);
        ::close(tx);
        QCOMPARE(copies, 2);
        QCOMPARE(ttls, QList<int>({0, 0}));
    }

    void discoveryIsReadByNamespaceNotByPrefix()
    {
        // Other prefixes than ours, several matches, one of them no camera.
        const char
            *doc = "<e:Envelope xmlns:e='http://www.w3.org/2003/05/soap-envelope' "
                   "xmlns:a='http://schemas.xmlsoap.org/ws/2004/08/addressing'"
                   " xmlns:d='http://schemas.xmlsoap.org/ws/2005/04/discovery' "
                   "xmlns:x='http://www.onvif.org/ver10/network/wsdl'"
                   " xmlns:pub='http://schemas.microsoft.com/windows/pub/2005/07' "
                   "xmlns:wsdp='http://schemas.xmlsoap.org/ws/2006/02/devprof'>"
                   "<e:Header><a:MessageID>urn:uuid:1</a:MessageID><a:RelatesTo>urn:uuid:probe</a:RelatesTo></"
                   "e:Header><e:Body><d:ProbeMatches>"
                   "<d:ProbeMatch><a:EndpointReference><a:Address>urn:uuid:cam</a:Address></"
                   "a:EndpointReference><d:Types>x:NetworkVideoTransmitter</d:Types>"
                   "<d:Scopes>onvif://www.onvif.org/name/Front%20door onvif://www.onvif.org/hardware/ZT-1</d:Scopes>"
                   "<d:XAddrs>http://127.0.0.1:8080/onvif/device_service "
                   "http://[::1]/x</d:XAddrs><d:MetadataVersion>7</d:MetadataVersion></d:ProbeMatch>"
                   "<d:ProbeMatch><a:EndpointReference><a:Address>urn:uuid:pc</a:Address></"
                   "a:EndpointReference><d:Types>wsdp:Device pub:Computer</d:Types>"
                   "<d:XAddrs>http://127.0.0.1:5357/</d:XAddrs></d:ProbeMatch>"
                   "<d:ProbeMatch><a:EndpointReference><a:Address>urn:uuid:fake</a:Address></a:EndpointReference>"
                   "<d:Types>NetworkVideoTransmitter</d:Types><d:XAddrs>http://127.0.0.1/</d:XAddrs></d:ProbeMatch>"
                   "</d:ProbeMatches></e:Body></e:Envelope>";
        auto m = onvif::parseDiscovery(doc, std::strlen(doc));
        QVERIFY(m);
        QCOMPARE(int(m->kind), int(onvif::DiscoveryMessage::ProbeMatches));
        QCOMPARE(QString::fromStdString(m->relatesTo), QString("urn:uuid:probe"));
        QCOMPARE(int(m->endpoints.size()), 3);
        QVERIFY(m->endpoints[0].isVideoDevice());
        QVERIFY(!m->endpoints[1].isVideoDevice()); // a file server's responder
        QVERIFY(!m->endpoints[2].isVideoDevice()); // right name, no namespace
        QCOMPARE(m->endpoints[0].metadataVersion, 7u);
        QCOMPARE(int(m->endpoints[0].xaddrs.size()), 2);
        auto s = onvif::readScopes(m->endpoints[0].scopes);
        QCOMPARE(QString::fromStdString(s.name), QString("Front door"));
        QCOMPARE(QString::fromStdString(s.hardware), QString("ZT-1"));
        std::string host;
        uint16_t port = 0;
        QVERIFY(onvif::splitHttpUrl(m->endpoints[0].xaddrs[0], host, port));
        QCOMPARE(port, quint16(8080));
        QVERIFY(onvif::splitHttpUrl(m->endpoints[0].xaddrs[1], host, port)); // an IPv6 literal, without brackets
        QCOMPARE(QString::fromStdString(host), QString("::1"));
        QCOMPARE(port, quint16(80));
        QVERIFY(!onvif::splitHttpUrl("http://camera.local/onvif", host, port)); // names are never looked up
        bool https = false;
        QVERIFY(onvif::splitHttpUrl("https://127.0.0.1/onvif", host, port, &https));
        QVERIFY(https && port == 443);
        QVERIFY(!onvif::splitHttpUrl("file:///etc/passwd", host, port));
    }

    void hostileDocumentsAreDropped()
    {
        const std::string ok = onvif::probeMessage("x");
        QVERIFY(onvif::parseDiscovery(ok.data(), ok.size()));
        // Truncated, not XML, a DTD with entities, an external entity, too deep, too large.
        QVERIFY(!onvif::parseDiscovery(ok.data(), ok.size() / 2));
        QVERIFY(!onvif::parseDiscovery("hello", 5));
        const std::string bomb =
            "<?xml version='1.0'?><!DOCTYPE e [<!ENTITY a 'aaaaaaaaaa'><!ENTITY b '&a;&a;&a;&a;&a;&a;'>]>"
            "<e:Envelope xmlns:e='http://www.w3.org/2003/05/soap-envelope'><e:Body>&b;</e:Body></e:Envelope>";
        QVERIFY(!onvif::parse(bomb.data(), bomb.size()));
        const std::string external =
            "<?xml version='1.0'?><!DOCTYPE e [<!ENTITY x SYSTEM 'file:///etc/passwd'>]><e>&x;</e>";
        QVERIFY(!onvif::parse(external.data(), external.size()));
        std::string deep;
        for (int i = 0; i < 40; ++i)
            deep += "<a>";
        for (int i = 0; i < 40; ++i)
            deep += "</a>";
        QVERIFY(!onvif::parse(deep.data(), deep.size()));
        std::string wide = "<a>";
        for (int i = 0; i < 5000; ++i)
            wide += "<b/>";
        wide += "</a>";
        QVERIFY(!onvif::parse(wide.data(), wide.size()));
        std::string big(onvif::kMaxDatagram + 1, ' ');
        big.replace(0, ok.size(), ok);
        QVERIFY(!onvif::parseDiscovery(big.data(), big.size()));
    }

    void answersAndFaultsOfTheDeviceService()
    {
        const std::string nics = onvif::envelope(
            "<tds:GetNetworkInterfacesResponse><tds:NetworkInterfaces "
            "token='eth0'><tt:Enabled>true</tt:Enabled><tt:Info><tt:Name>eth0</tt:Name>"
            "<tt:HwAddress>02:5A:01:00:00:09</tt:HwAddress></tt:Info><tt:IPv4><tt:Enabled>true</"
            "tt:Enabled><tt:Config><tt:Manual>"
            "<tt:Address>10.1.2.3</tt:Address><tt:PrefixLength>23</tt:PrefixLength></tt:Manual><tt:DHCP>false</"
            "tt:DHCP></tt:Config></tt:IPv4>"
            "</tds:NetworkInterfaces><tds:NetworkInterfaces "
            "token='bad'><tt:IPv4><tt:Config><tt:Manual><tt:Address>999.1.1.1</tt:Address>"
            "<tt:PrefixLength>77</tt:PrefixLength></tt:Manual></tt:Config></tt:IPv4></tds:NetworkInterfaces></"
            "tds:GetNetworkInterfacesResponse>");
        auto env = onvif::parse(nics.data(), nics.size());
        QVERIFY(env);
        auto list = onvif::readNetworkInterfaces(*env);
        QVERIFY(list && list->size() == 2);
        QCOMPARE(QString::fromStdString((*list)[0].address), QString("10.1.2.3"));
        QCOMPARE((*list)[0].prefix, 23);
        QCOMPARE(QString::fromStdString((*list)[0].mac), QString("02:5A:01:00:00:09"));
        QVERIFY((*list)[1].address.empty() && (*list)[1].prefix == 0); // invalid values are not taken
        QVERIFY(!onvif::readDeviceInformation(*env));                  // another answer than asked for

        const std::string f = onvif::faultEnvelope("Sender", "ter:NotAuthorized", "no");
        auto fe = onvif::parse(f.data(), f.size());
        QVERIFY(fe);
        auto fault = onvif::fault(*fe);
        QVERIFY(fault);
        QCOMPARE(onvif::faultCode(*fault), uint32_t(ZELT_ERR_WRONG_PASSWORD));
        const std::string g = onvif::faultEnvelope("Sender", "ter:InvalidArgVal", "bad");
        auto ge = onvif::parse(g.data(), g.size());
        QCOMPARE(onvif::faultCode(*onvif::fault(*ge)), uint32_t(ZELT_ERR_BAD_PARAMETERS));

        QCOMPARE(onvif::prefixFromMask("255.255.254.0"), 23);
        QCOMPARE(onvif::prefixFromMask("255.0.255.0"), -1);
        QCOMPARE(QString::fromStdString(onvif::maskFromPrefix(20)), QString("255.255.240.0"));
        QCOMPARE(onvif::parseIsoTime("2010-09-16T07:50:45.123Z").value_or(0), time_t(1284623445));
        QCOMPARE(onvif::parseIsoTime("2010-09-16T09:50:45+02:00").value_or(0), time_t(1284623445));
        QVERIFY(!onvif::parseIsoTime("2010-13-16T07:50:45Z"));
        QVERIFY(!onvif::parseIsoTime("yesterday"));
    }

    void deviceServiceChecksTheTokenAndChangesTheZeltState()
    {
        SimProcess sim(2);
        const quint16 wsd = quint16(sim.port + 1000);
        QVERIFY(sim.start({"--count", "4", "--onvif", "2", "--wsd-port", QString::number(wsd)}));
        std::vector<onvif::Endpoint> found = probe(wsd);
        QCOMPARE(int(found.size()), 2);
        const std::string url = found[0].xaddrs.at(0);
        onvif::Client c(url, 3000);
        onvif::Node env;
        // Without or with wrong credentials only the pre-login calls answer.
        QCOMPARE(c.syncClock(), uint32_t(ZELT_ERR_NONE));
        QCOMPARE(c.call(onvif::request("GetDeviceInformation"), nullptr, env), uint32_t(ZELT_ERR_WRONG_PASSWORD));
        onvif::Credentials wrong{"admin", "Wrong12345"}, right{"admin", "Admin12345"}, stranger{"root", "Admin12345"};
        QCOMPARE(c.call(onvif::request("GetDeviceInformation"), &wrong, env), uint32_t(ZELT_ERR_WRONG_PASSWORD));
        QCOMPARE(c.call(onvif::request("GetDeviceInformation"), &stranger, env), uint32_t(ZELT_ERR_WRONG_PASSWORD));
        QCOMPARE(c.call(onvif::request("GetDeviceInformation"), &right, env), uint32_t(ZELT_ERR_NONE));
        auto info = onvif::readDeviceInformation(env);
        QVERIFY(info && QString::fromStdString(info->serial).startsWith("ZT-"));
        QCOMPARE(c.call(onvif::request("FrobnicateDevice"), &right, env), uint32_t(ZELT_ERR_NOT_SUPPORTED));

        // A token sent twice is a replay; one created long ago is stale; a
        // clear-text password is refused even when right.
        const std::string once = onvif::envelope(onvif::request("GetDeviceInformation"),
                                                 onvif::securityHeader("admin", "Admin12345", time(nullptr)));
        int status = 0;
        QVERIFY(post(url, once, &status).contains("GetDeviceInformationResponse"));
        QCOMPARE(status, 200);
        QVERIFY(post(url, once, &status).contains("NotAuthorized"));
        const std::string stale = onvif::envelope(onvif::request("GetDeviceInformation"),
                                                  onvif::securityHeader("admin", "Admin12345", time(nullptr) - 3600));
        QVERIFY(post(url, stale, &status).contains("NotAuthorized"));
        std::string clear = onvif::securityHeader("admin", "Admin12345", time(nullptr));
        const size_t from = clear.find("<wsse:Password"), to = clear.find("</wsse:Password>");
        clear.replace(from, to - from,
                      "<wsse:Password "
                      "Type=\"http://docs.oasis-open.org/wss/2004/01/"
                      "oasis-200401-wss-username-token-profile-1.0#PasswordText\">Admin12345");
        QVERIFY(post(url, onvif::envelope(onvif::request("GetDeviceInformation"), clear), &status)
                    .contains("NotAuthorized"));
        // Malformed and oversized requests get no answer but a fault, and the device goes on.
        QVERIFY(post(url, "<not xml", &status).contains("Fault"));
        QCOMPARE(status, 400);

        // A new address over ONVIF is the device's address for ZELT too.
        QCOMPARE(c.call(onvif::request("GetNetworkInterfaces"), &right, env), uint32_t(ZELT_ERR_NONE));
        auto nics = onvif::readNetworkInterfaces(env);
        QVERIFY(nics && !nics->empty());
        QCOMPARE(c.call(onvif::setNetworkInterfacesBody((*nics)[0].token, false, "10.77.0.9", 16), &right, env),
                 uint32_t(ZELT_ERR_NONE));
        QCOMPARE(onvif::readRebootNeeded(env).value_or(true), false);
        QCOMPARE(c.call(onvif::setNetworkInterfacesBody((*nics)[0].token, false, "10.77.0.255", 24), &right, env),
                 uint32_t(ZELT_ERR_BAD_PARAMETERS));
        QCOMPARE(c.call(onvif::setDefaultGatewayBody("10.77.0.1"), &right, env), uint32_t(ZELT_ERR_NONE));
        const std::string mac = [&] {
            std::string m = (*nics)[0].mac;
            std::replace(m.begin(), m.end(), ':', '-');
            return m;
        }();
        const QString out = sim.dir.filePath("list.out");
        pid_t pid = spawnProgram(SimProcess::binDir() + "/zeltctl",
                                 {"--interfaces", "lo", "--port", QString::number(sim.port), "--protocol", "zelt",
                                  "list", "--json", "--count", "4"},
                                 out, sim.dir.filePath("list.err"));
        int st = 0;
        QVERIFY(pid > 0 && waitpid(pid, &st, 0) == pid && WIFEXITED(st) && WEXITSTATUS(st) == 0);
        QFile f(out);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QJsonArray all = QJsonDocument::fromJson(f.readAll()).array();
        QCOMPARE(all.size(), 4);
        bool seen = false;
        for (const auto &v : all) {
            const QJsonObject o = v.toObject();
            QCOMPARE(o["protocol"].toString(), QString("zelt"));
            if (o["mac"].toString() == QString::fromStdString(mac)) {
                seen = true;
                QCOMPARE(o["ipv4"].toString(), QString("10.77.0.9"));
                QCOMPARE(o["mask"].toString(), QString("255.255.0.0"));
                QCOMPARE(o["gateway"].toString(), QString("10.77.0.1"));
            }
        }
        QVERIFY(seen);
    }

    void httpDigestWhenTheDeviceAsksForIt()
    {
        SimProcess sim(3);
        const quint16 wsd = quint16(sim.port + 1000);
        QVERIFY(sim.start({"--count", "2", "--onvif", "--onvif-auth", "digest", "--wsd-port", QString::number(wsd)}));
        std::vector<onvif::Endpoint> found = probe(wsd);
        QVERIFY(!found.empty());
        onvif::Client c(found[0].xaddrs.at(0), 3000);
        onvif::Node env;
        onvif::Credentials wrong{"admin", "Wrong12345"}, right{"admin", "Admin12345"};
        QCOMPARE(c.call(onvif::request("GetNetworkInterfaces"), &wrong, env), uint32_t(ZELT_ERR_WRONG_PASSWORD));
        QCOMPARE(c.call(onvif::request("GetNetworkInterfaces"), &right, env), uint32_t(ZELT_ERR_NONE));
        QCOMPARE(c.lastHttpStatus(), 200L);
        QVERIFY(onvif::readNetworkInterfaces(env));
        // The token alone is not enough for this device.
        int status = 0;
        const std::string tokenOnly = onvif::envelope(onvif::request("GetNetworkInterfaces"),
                                                      onvif::securityHeader("admin", "Admin12345", time(nullptr)));
        post(found[0].xaddrs.at(0), tokenOnly, &status);
        QCOMPARE(status, 401);
    }
};

QTEST_GUILESS_MAIN(TestZeltOnvifCore)
#include "tst_zelt_onvif_core.moc"
