// The simulator's ONVIF devices as careful devices, driven over raw HTTP(S)
// and UDP on loopback (and in network namespaces this test creates):
// credentials taken once and by one device only, lockout on every path,
// bounded discovery answers, slow clients, HTTPS with a certificate that
// lasts as long as the state, and discovery datagrams from the device's own
// address.
#include "onvif.h"
#include "simprocess.h"

#include <QScopeGuard>
#include <QStandardPaths>
#include <QtTest>

#include <fcntl.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <net/if.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <poll.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/socket.h>

#include <map>
#include <set>

using namespace zelt;

namespace {

struct Url {
    std::string host;
    uint16_t port = 0;
    bool https = false;
};
Url parseUrl(const std::string &u)
{
    Url out;
    out.https = u.rfind("https://", 0) == 0;
    const size_t start = u.find("://") + 3, colon = u.find(':', start), slash = u.find('/', start);
    out.host = u.substr(start, colon - start);
    out.port = uint16_t(std::stoi(u.substr(colon + 1, slash - colon - 1)));
    return out;
}

std::string md5(const std::string &s)
{
    unsigned char md[EVP_MAX_MD_SIZE];
    unsigned int len = 0;
    EVP_Digest(s.data(), s.size(), md, &len, EVP_md5(), nullptr);
    std::string hex;
    char b[3];
    for (unsigned int i = 0; i < len; ++i) {
        std::snprintf(b, sizeof b, "%02x", md[i]);
        hex += b;
    }
    return hex;
}

// A value of a WWW-Authenticate or Authorization header: key="value".
std::string param(const std::string &header, const std::string &key)
{
    const size_t at = header.find(key + "=\"");
    if (at == std::string::npos)
        return {};
    const size_t from = at + key.size() + 2;
    return header.substr(from, header.find('"', from) - from);
}

std::string digestAnswer(const std::string &nonce, const std::string &password, unsigned nc)
{
    const std::string uri = "/onvif/device_service", cnonce = onvif::newUuid();
    char count[9];
    std::snprintf(count, sizeof count, "%08x", nc);
    const std::string ha1 = md5("admin:zelt-devsim:" + password), ha2 = md5("POST:" + uri);
    return "Authorization: Digest username=\"admin\", realm=\"zelt-devsim\", nonce=\"" + nonce + "\", uri=\"" + uri
           + "\", algorithm=MD5, qop=auth, nc=" + count + ", cnonce=\"" + cnonce + "\", response=\""
           + md5(ha1 + ":" + nonce + ":" + count + ":" + cnonce + ":auth:" + ha2) + "\"\r\n";
}

struct Reply {
    int status = 0; // 0: no HTTP answer
    std::string head, body;
    std::string fingerprint, commonName; // of the server's certificate (HTTPS)
};

// One request on a connection of its own; the whole answer, until the
// server closes (the devices answer one request a connection).
Reply httpPost(const Url &u, const std::string &body, const std::string &extraHeaders = {})
{
    Reply r;
    const std::string req = "POST /onvif/device_service HTTP/1.1\r\nHost: " + u.host
                            + "\r\nContent-Type: application/soap+xml\r\n" + extraHeaders
                            + "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    timeval tv{5, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(u.port);
    inet_pton(AF_INET, u.host.c_str(), &a.sin_addr);
    std::string in;
    if (::connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0) {
        ::close(fd);
        return r;
    }
    char buf[16384];
    if (u.https) {
        SSL_CTX *ctx = SSL_CTX_new(TLS_client_method());
        SSL *ssl = SSL_new(ctx);
        SSL_set_fd(ssl, fd);
        if (SSL_connect(ssl) == 1) {
            if (X509 *cert = SSL_get1_peer_certificate(ssl)) {
                unsigned char md[EVP_MAX_MD_SIZE];
                unsigned int len = 0;
                X509_digest(cert, EVP_sha256(), md, &len);
                r.fingerprint = QByteArray(reinterpret_cast<char *>(md), int(len)).toHex().toStdString();
                char cn[128] = {};
                X509_NAME_get_text_by_NID(X509_get_subject_name(cert), NID_commonName, cn, sizeof cn);
                r.commonName = cn;
                X509_free(cert);
            }
            SSL_write(ssl, req.data(), int(req.size()));
            int n;
            while ((n = SSL_read(ssl, buf, sizeof buf)) > 0)
                in.append(buf, size_t(n));
        }
        SSL_free(ssl);
        SSL_CTX_free(ctx);
    } else {
        ::send(fd, req.data(), req.size(), MSG_NOSIGNAL);
        ssize_t n;
        while ((n = ::recv(fd, buf, sizeof buf, 0)) > 0)
            in.append(buf, size_t(n));
    }
    ::close(fd);
    const size_t end = in.find("\r\n\r\n");
    if (in.rfind("HTTP/1.1 ", 0) != 0 || end == std::string::npos)
        return r;
    r.status = std::stoi(in.substr(9, 3));
    r.head = in.substr(0, end);
    r.body = in.substr(end + 4);
    return r;
}

std::string call(const char *operation)
{
    return onvif::envelope(onvif::request(operation));
}
std::string callWithToken(const char *operation, const std::string &password)
{
    return onvif::envelope(onvif::request(operation), onvif::securityHeader("admin", password, time(nullptr)));
}

// A WS-Discovery client on loopback: probes to the group, matches back.
class Prober
{
public:
    explicit Prober(quint16 wsdPort) : port_(wsdPort)
    {
        fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        in_addr lo{};
        inet_pton(AF_INET, "127.0.0.1", &lo);
        setsockopt(fd_, IPPROTO_IP, IP_MULTICAST_IF, &lo, sizeof lo);
        int ttl = 0, big = 4 << 20;
        setsockopt(fd_, IPPROTO_IP, IP_MULTICAST_TTL, &ttl, sizeof ttl);
        setsockopt(fd_, SOL_SOCKET, SO_RCVBUFFORCE, &big, sizeof big);
    }
    ~Prober() { ::close(fd_); }
    size_t send(const std::string &messageId)
    {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(port_);
        inet_pton(AF_INET, onvif::kDiscoveryGroup, &to.sin_addr);
        const std::string msg = onvif::probeMessage(messageId);
        sendto(fd_, msg.data(), msg.size(), 0, reinterpret_cast<sockaddr *>(&to), sizeof to);
        return msg.size();
    }
    // The matches that arrive within waitMs; bytes counts every byte received.
    std::vector<onvif::Endpoint> collect(int waitMs, size_t *bytes = nullptr)
    {
        std::vector<onvif::Endpoint> out;
        QElapsedTimer t;
        t.start();
        std::vector<char> buf(65536);
        while (t.elapsed() < waitMs) {
            const ssize_t n = recv(fd_, buf.data(), buf.size(), 0);
            if (n <= 0) {
                QTest::qWait(5);
                continue;
            }
            if (bytes)
                *bytes += size_t(n);
            auto m = onvif::parseDiscovery(buf.data(), size_t(n));
            if (m && m->kind == onvif::DiscoveryMessage::ProbeMatches)
                out.insert(out.end(), m->endpoints.begin(), m->endpoints.end());
        }
        return out;
    }

private:
    int fd_;
    quint16 port_;
};

// Device service URLs by endpoint reference.
std::map<std::string, std::string> discover(quint16 wsdPort)
{
    Prober p(wsdPort);
    p.send("urn:uuid:" + onvif::newUuid());
    std::map<std::string, std::string> out;
    for (auto &e : p.collect(900))
        if (!e.xaddrs.empty())
            out[e.address] = e.xaddrs.front();
    return out;
}

// A TCP connection that sends a request head slowly, from a source address of its own.
int slowConnection(const Url &u, const char *from)
{
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_in src{};
    src.sin_family = AF_INET;
    inet_pton(AF_INET, from, &src.sin_addr);
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr *>(&src), sizeof src) != 0) {
        if (fd >= 0)
            ::close(fd);
        return -1;
    }
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(u.port);
    inet_pton(AF_INET, u.host.c_str(), &a.sin_addr);
    ::connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a);
    return fd;
}
// Whether the server has closed this connection (without blocking).
bool closedByServer(int fd)
{
    char c;
    const ssize_t n = recv(fd, &c, 1, MSG_DONTWAIT | MSG_PEEK);
    return n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK);
}

} // namespace

class TestDevsimOnvif : public QObject
{
    Q_OBJECT

    SimProcess sim_{5};
    quint16 wsd_ = 0;
    std::vector<Url> urls_; // the ONVIF devices of sim_

private slots:
    void initTestCase()
    {
        // The slow-client case holds several hundred sockets.
        rlimit nofile{};
        getrlimit(RLIMIT_NOFILE, &nofile);
        nofile.rlim_cur = std::max<rlim_t>(nofile.rlim_cur, std::min<rlim_t>(nofile.rlim_max, 4096));
        setrlimit(RLIMIT_NOFILE, &nofile);
        wsd_ = quint16(sim_.port + 1000);
        // Four devices, three of them active and speaking ONVIF. Token reuse
        // is on: even so a token never crosses to another device.
        QVERIFY(sim_.start({"--count", "4", "--onvif", "--onvif-token-reuse", "--lockout-seconds", "60", "--wsd-port",
                            QString::number(wsd_)}));
        for (auto &[address, url] : discover(wsd_))
            urls_.push_back(parseUrl(url));
        QCOMPARE(int(urls_.size()), 3);
    }

    // A Digest answer counts once, on the device whose nonce it answers.
    void digestAnswersAreTakenOnceByTheirDevice()
    {
        const Url &a = urls_[0], &b = urls_[1];
        Reply challenge = httpPost(a, "");
        QCOMPARE(challenge.status, 401);
        const std::string nonce = param(challenge.head, "nonce");
        QVERIFY(!nonce.empty());
        const std::string first = digestAnswer(nonce, "Admin12345", 1);
        Reply r = httpPost(a, call("GetNetworkInterfaces"), first);
        QCOMPARE(r.status, 200);
        QVERIFY(r.body.find("GetNetworkInterfacesResponse") != std::string::npos);
        // The same header again is a replay; a higher nonce count is the
        // client's next request (libcurl sends that on a reused handle).
        QCOMPARE(httpPost(a, call("GetNetworkInterfaces"), first).status, 401);
        QCOMPARE(httpPost(a, call("GetNetworkInterfaces"), digestAnswer(nonce, "Admin12345", 2)).status, 200);
        QCOMPARE(httpPost(a, call("GetNetworkInterfaces"), digestAnswer(nonce, "Admin12345", 2)).status, 401);
        // A's nonce means nothing to B (stale: the client asks again with
        // B's nonce, not taking the password for wrong); B's own does.
        const Reply foreign = httpPost(b, call("GetNetworkInterfaces"), digestAnswer(nonce, "Admin12345", 3));
        QCOMPARE(foreign.status, 401);
        QVERIFY(foreign.head.find("stale=true") != std::string::npos);
        const std::string nonceB = param(httpPost(b, "").head, "nonce");
        QVERIFY(!nonceB.empty() && nonceB != nonce);
        QCOMPARE(httpPost(b, call("GetNetworkInterfaces"), digestAnswer(nonceB, "Admin12345", 1)).status, 200);
    }

    void tokensAreTakenByOneDeviceOnly()
    {
        const std::string token = callWithToken("GetDeviceInformation", "Admin12345");
        QVERIFY(httpPost(urls_[0], token).body.find("GetDeviceInformationResponse") != std::string::npos);
        // --onvif-token-reuse: the same device takes it again, another never.
        QCOMPARE(httpPost(urls_[0], token).status, 200);
        const Reply other = httpPost(urls_[1], token);
        QVERIFY(other.status >= 400);
        QVERIFY(other.body.find("NotAuthorized") != std::string::npos);
    }

    // While locked out, the right password fails too, by either credential;
    // what needs none is still answered, and other devices are not locked.
    void lockoutHoldsForTheRightPasswordOnEveryPath()
    {
        const Url &c = urls_[2];
        for (int k = 0; k < 5; ++k) {
            const std::string nonce = param(httpPost(c, "").head, "nonce");
            QVERIFY(httpPost(c, call("GetNetworkInterfaces"), digestAnswer(nonce, "Wrong12345", 1)).status >= 400);
        }
        const std::string nonce = param(httpPost(c, "").head, "nonce");
        Reply r = httpPost(c, call("GetNetworkInterfaces"), digestAnswer(nonce, "Admin12345", 1));
        QVERIFY(r.status != 200);
        QVERIFY(r.body.find("Locked") != std::string::npos);
        r = httpPost(c, callWithToken("GetNetworkInterfaces", "Admin12345"));
        QVERIFY(r.status != 200);
        QVERIFY(r.body.find("Locked") != std::string::npos);
        QCOMPARE(httpPost(c, call("GetSystemDateAndTime")).status, 200);
        QCOMPARE(httpPost(urls_[0], callWithToken("GetNetworkInterfaces", "Admin12345")).status, 200);
    }

    // Slow clients (600 from 40 addresses, 100 more from one) cannot keep a
    // client out; none holds a connection past the head deadline, however
    // it trickles.
    void slowClientsDoNotLockOthersOut()
    {
        const Url &a = urls_[0];
        std::vector<int> many, one;
        auto open = [&](std::vector<int> &into, const char *from) { into.push_back(slowConnection(a, from)); };
        auto start = [&](const std::vector<int> &fds, size_t from) {
            // In batches the size of the listen backlog, so that no
            // connection waits for a SYN retransmission.
            QElapsedTimer t;
            t.start();
            for (size_t k = from; k < fds.size(); ++k) {
                pollfd p{fds[k], POLLOUT, 0};
                while (poll(&p, 1, 0) == 0 && t.elapsed() < 5000)
                    QTest::qWait(1);
                ::send(fds[k], "POST /onvif/device_service HTTP/1.1\r\n", 37, MSG_NOSIGNAL);
            }
        };
        for (int k = 0; k < 600; ++k) {
            open(many, QByteArray("127.0.1." + QByteArray::number(1 + k % 40)).constData());
            if (many.size() % 50 == 0)
                start(many, many.size() - 50);
        }
        for (int k = 0; k < 100; ++k) {
            open(one, "127.0.2.1");
            if (one.size() % 50 == 0)
                start(one, one.size() - 50);
        }
        QVERIFY(std::count(many.begin(), many.end(), -1) == 0 && std::count(one.begin(), one.end(), -1) == 0);
        QTest::qWait(300);
        QElapsedTimer t;
        t.start();
        const Reply r = httpPost(a, call("GetSystemDateAndTime"));
        QCOMPARE(r.status, 200);
        QVERIFY(t.elapsed() < 2000);
        auto stillOpen = [](const std::vector<int> &fds) {
            return int(std::count_if(fds.begin(), fds.end(), [](int fd) { return !closedByServer(fd); }));
        };
        QVERIFY2(stillOpen(one) <= 16, QByteArray::number(stillOpen(one)));
        QVERIFY(stillOpen(many) + stillOpen(one) < 512);
        // One header byte every half second: never idle, never done.
        for (int round = 0; round < 9; ++round) {
            for (int fd : many)
                ::send(fd, "X", 1, MSG_NOSIGNAL | MSG_DONTWAIT);
            for (int fd : one)
                ::send(fd, "X", 1, MSG_NOSIGNAL | MSG_DONTWAIT);
            QTest::qWait(500);
        }
        QCOMPARE(stillOpen(many) + stillOpen(one), 0);
        for (int fd : many)
            ::close(fd);
        for (int fd : one)
            ::close(fd);
        QCOMPARE(httpPost(a, call("GetSystemDateAndTime")).status, 200);
    }

    // A MessageID comes back in every answer: one too long gets none. A
    // stream of probes draws no more than the budget of its source (two
    // full answers, refilled at one a second, at least 64 KiB and 32 KiB a
    // second), less than it sent; a client probing once a second after it
    // is answered in full.
    void discoveryAnswersAreBounded()
    {
        Prober p(wsd_);
        p.send("urn:uuid:" + std::string(300, 'a'));
        QCOMPARE(int(p.collect(900).size()), 0);

        const std::string id = "urn:uuid:" + onvif::newUuid() + std::string(200, 'b');
        size_t sent = 0, received = 0;
        QElapsedTimer t;
        t.start();
        for (int k = 0; k < 400; ++k) {
            sent += p.send(id);
            if (k % 50 == 49)
                p.collect(20, &received);
        }
        p.collect(800, &received);
        const double seconds = double(t.elapsed()) / 1000.0;
        QVERIFY2(double(received) <= 65536 + 32768 * seconds,
                 qPrintable(QString("%1 bytes in %2 s").arg(received).arg(seconds)));
        QVERIFY(received < sent);
        QTest::qWait(1000);
        p.send("urn:uuid:" + onvif::newUuid());
        QCOMPARE(int(p.collect(900).size()), 3);
    }

    // Over HTTPS with --onvif-tls: the device's certificate (its serial
    // number as common name) stays with the state file across restarts,
    // a renewed device shows a new one, and plain HTTP gets no answer.
    void tlsKeepsItsCertificateWithTheState()
    {
        SimProcess sim(6);
        const quint16 wsd = quint16(sim.port + 1000);
        const QString state = sim.dir.filePath("state.json");
        const QStringList args{"--count", "4",          "--onvif",           "2", "--onvif-tls", "--state",
                               state,     "--wsd-port", QString::number(wsd)};
        std::map<std::string, std::string> first; // endpoint -> fingerprint
        for (int run = 0; run < 3; ++run) {
            QStringList extra = args;
            if (run == 2)
                extra << "--onvif-tls-renew"
                      << "2"; // the second ONVIF device
            QVERIFY(sim.start(extra));
            const auto found = discover(wsd);
            QCOMPARE(int(found.size()), 2);
            for (auto &[address, url] : found) {
                const Url u = parseUrl(url);
                QVERIFY(u.https);
                const Reply time = httpPost(u, call("GetSystemDateAndTime"));
                QCOMPARE(time.status, 200);
                QVERIFY(time.body.find("GetSystemDateAndTimeResponse") != std::string::npos);
                QVERIFY(!time.fingerprint.empty());
                const Reply info = httpPost(u, callWithToken("GetDeviceInformation", "Admin12345"));
                const auto env = onvif::parse(info.body.data(), info.body.size());
                const auto di = env ? onvif::readDeviceInformation(*env) : std::nullopt;
                QVERIFY(di);
                QCOMPARE(QString::fromStdString(info.commonName), QString::fromStdString(di->serial));
                Url plain = u;
                plain.https = false;
                QCOMPARE(httpPost(plain, call("GetSystemDateAndTime")).status, 0);
                if (run == 0)
                    first[address] = time.fingerprint;
                else if (run == 1 || di->serial.find("-000100000002") == std::string::npos)
                    QCOMPARE(QString::fromStdString(time.fingerprint), QString::fromStdString(first.at(address)));
                else
                    QVERIFY(time.fingerprint != first.at(address));
            }
            sim.terminate();
        }
        // A new state is a new certificate.
        QFile::remove(state);
        QVERIFY(sim.start(args));
        for (auto &[address, url] : discover(wsd))
            QVERIFY(httpPost(parseUrl(url), call("GetSystemDateAndTime")).fingerprint != first.at(address));
    }

    // Devices with addresses of their own beside the interface's (network
    // namespaces: one for the devices, one for the client, a link between)
    // send Hello and ProbeMatches from those addresses, the hosts of their
    // XAddrs, not from the interface's primary address.
    void discoveryComesFromTheDeviceAddress()
    {
        const QString ip = QStandardPaths::findExecutable("ip", {"/usr/sbin", "/sbin", "/usr/bin", "/bin"});
        if (geteuid() != 0 || ip.isEmpty())
            QSKIP("needs root and ip(8) to create network namespaces");
        QTemporaryDir dir;
        auto run = [&](const QStringList &args) { return runProgram(ip, args, dir.path()) == 0; };
        const QString tag = QString::number(QCoreApplication::applicationPid() % 100000);
        const QString devNs = "zsd" + tag, cliNs = "zsc" + tag, devIf = "zsd" + tag + "a", cliIf = "zsc" + tag + "b";
        if (!run({"netns", "add", devNs}))
            QSKIP("network namespaces are not available here");
        pid_t sim = -1;
        auto cleanup = qScopeGuard([&] {
            if (sim > 0) {
                ::kill(sim, SIGTERM);
                waitpid(sim, nullptr, 0);
            }
            run({"netns", "del", devNs});
            run({"netns", "del", cliNs}); // the link goes with them
        });
        QVERIFY(run({"netns", "add", cliNs}));
        QVERIFY(run({"link", "add", devIf, "type", "veth", "peer", "name", cliIf}));
        QVERIFY(run({"link", "set", devIf, "netns", devNs}) && run({"link", "set", cliIf, "netns", cliNs}));
        // The interface's own address first, then those of the devices (seed
        // 198 puts the active ones at 10.198.0.2, .3 and .5).
        for (const char *a : {"10.198.0.200/24", "10.198.0.2/24", "10.198.0.3/24", "10.198.0.5/24"})
            QVERIFY(run({"-n", devNs, "addr", "add", a, "dev", devIf}));
        QVERIFY(run({"-n", cliNs, "addr", "add", "10.198.0.1/24", "dev", cliIf}));
        QVERIFY(run({"-n", devNs, "link", "set", devIf, "up"}) && run({"-n", cliNs, "link", "set", cliIf, "up"}));

        // The client's sockets are made inside its namespace.
        const quint16 wsd = quint16(SimProcess::portFor(7) + 1000);
        const int self = ::open("/proc/self/ns/net", O_RDONLY | O_CLOEXEC);
        const int cli = ::open(("/var/run/netns/" + cliNs).toLocal8Bit().constData(), O_RDONLY | O_CLOEXEC);
        QVERIFY(self >= 0 && cli >= 0);
        QCOMPARE(setns(cli, CLONE_NEWNET), 0);
        const int ifindex = int(if_nametoindex(cliIf.toLocal8Bit().constData()));
        const int rx = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        const int tx = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        QCOMPARE(setns(self, CLONE_NEWNET), 0);
        ::close(self);
        ::close(cli);
        auto closeSockets = qScopeGuard([&] {
            ::close(rx);
            ::close(tx);
        });
        QVERIFY(ifindex > 0 && rx >= 0 && tx >= 0);
        sockaddr_in at{};
        at.sin_family = AF_INET;
        at.sin_port = htons(wsd);
        QCOMPARE(bind(rx, reinterpret_cast<sockaddr *>(&at), sizeof at), 0);
        ip_mreqn join{};
        inet_pton(AF_INET, onvif::kDiscoveryGroup, &join.imr_multiaddr);
        join.imr_ifindex = ifindex;
        QCOMPARE(setsockopt(rx, IPPROTO_IP, IP_ADD_MEMBERSHIP, &join, sizeof join), 0);
        ip_mreqn out{};
        out.imr_ifindex = ifindex;
        QCOMPARE(setsockopt(tx, IPPROTO_IP, IP_MULTICAST_IF, &out, sizeof out), 0);

        const QString ready = dir.filePath("ready");
        sim = spawnProgram(ip,
                           {"netns",
                            "exec",
                            devNs,
                            SimProcess::binDir() + "/zelt-devsim",
                            "--interfaces",
                            devIf,
                            "--port",
                            QString::number(SimProcess::portFor(7)),
                            "--count",
                            "4",
                            "--seed",
                            "198",
                            "--onvif",
                            "--wsd-port",
                            QString::number(wsd),
                            "--quiet",
                            "--exit-with-parent",
                            "--ready-file",
                            ready,
                            "--maker-key",
                            dir.filePath("maker.key")},
                           dir.filePath("sim.out"), dir.filePath("sim.err"));
        QVERIFY(sim > 0);
        // Each datagram's sender must be the host of every XAddr it carries.
        auto senders = [](int fd, onvif::DiscoveryMessage::Kind kind, int waitMs) {
            std::set<std::string> hosts;
            QElapsedTimer t;
            t.start();
            std::vector<char> buf(65536);
            while (t.elapsed() < waitMs) {
                sockaddr_in from{};
                socklen_t len = sizeof from;
                const ssize_t n = recvfrom(fd, buf.data(), buf.size(), 0, reinterpret_cast<sockaddr *>(&from), &len);
                if (n <= 0) {
                    QTest::qWait(10);
                    continue;
                }
                auto m = onvif::parseDiscovery(buf.data(), size_t(n));
                if (!m || m->kind != kind)
                    continue;
                char sender[INET_ADDRSTRLEN] = {};
                inet_ntop(AF_INET, &from.sin_addr, sender, sizeof sender);
                for (auto &e : m->endpoints)
                    for (auto &x : e.xaddrs)
                        hosts.insert(parseUrl(x).host == sender ? std::string(sender)
                                                                : "XAddr " + x + " sent by " + sender);
            }
            return hosts;
        };
        const std::set<std::string> own{"10.198.0.2", "10.198.0.3", "10.198.0.5"};
        const auto hellos = senders(rx, onvif::DiscoveryMessage::Hello, 2000);
        QVERIFY2(hellos == own, qPrintable(QStringList([&] {
                                               QStringList l;
                                               for (auto &h : hellos)
                                                   l << QString::fromStdString(h);
                                               return l;
                                           }())
                                               .join(", ")));
        sockaddr_in group = at;
        group.sin_addr = join.imr_multiaddr;
        const std::string probe = onvif::probeMessage("urn:uuid:" + onvif::newUuid());
        QVERIFY(sendto(tx, probe.data(), probe.size(), 0, reinterpret_cast<sockaddr *>(&group), sizeof group) > 0);
        QVERIFY(senders(tx, onvif::DiscoveryMessage::ProbeMatches, 1200) == own);
    }
};

QTEST_GUILESS_MAIN(TestDevsimOnvif)
#include "tst_devsim_onvif.moc"
