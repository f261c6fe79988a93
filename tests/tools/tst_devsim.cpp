// The simulator's ZELT side under a flood of inquiries with long answer
// windows from many clients: its timer queue stays bounded, and every
// device still answers within the shortest window asked for.
#include "../platform/zelt/simprocess.h"
#include "crypto.h"
#include "net.h"
#include "wire.h"

#include <QtTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <set>

class TestDevsim : public QObject
{
    Q_OBJECT

private slots:
    void longInquiryWindowsKeepTheTimerQueueBounded()
    {
        SimProcess sim(0);
        QVERIFY(sim.start({"--count", "24", "--quiet"}));
        const std::string group = zelt::net::settingsFromEnvironment().group;
        in_addr lo{}, g{};
        inet_pton(AF_INET, "127.0.0.1", &lo);
        inet_pton(AF_INET, group.c_str(), &g);
        // Hellos go to the group on the client port (device port + 1).
        const int rx = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        const int tx = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        auto closeSockets = qScopeGuard([&] {
            ::close(rx);
            ::close(tx);
        });
        int one = 1, ttl = 0;
        setsockopt(rx, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in at{};
        at.sin_family = AF_INET;
        at.sin_port = htons(quint16(sim.port + 1));
        at.sin_addr = g;
        QCOMPARE(bind(rx, reinterpret_cast<sockaddr *>(&at), sizeof at), 0);
        ip_mreq join{g, lo};
        QCOMPARE(setsockopt(rx, IPPROTO_IP, IP_ADD_MEMBERSHIP, &join, sizeof join), 0);
        setsockopt(tx, IPPROTO_IP, IP_MULTICAST_IF, &lo, sizeof lo);
        setsockopt(tx, IPPROTO_IP, IP_MULTICAST_TTL, &ttl, sizeof ttl);
        sockaddr_in to = at;
        to.sin_port = htons(sim.port);

        // 300 clients, windows from 65 s down to 1 s: without a bound each
        // would add an answer of every device to the queue (7,200).
        const quint16 windows[] = {65000, 30000, 10000, 3000, 1000};
        for (int k = 0; k < 300; ++k) {
            zelt::wire::Message m;
            m.type = zelt::wire::Type::Inquiry;
            m.msgId = zelt::crypto::randomU64();
            m.inquiry.clientId = 1000 + quint64(k);
            m.inquiry.seq = 1;
            m.inquiry.windowMs = windows[k % 5];
            const auto bytes = zelt::wire::encode(m);
            QVERIFY(sendto(tx, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr *>(&to), sizeof to) > 0);
        }
        std::set<std::string> answered;
        QElapsedTimer t;
        t.start();
        std::vector<uint8_t> buf(zelt::wire::kMaxDatagram + 1);
        while (t.elapsed() < 3500 && answered.size() < 24) {
            const ssize_t n = recv(rx, buf.data(), buf.size(), 0);
            if (n <= 0) {
                QTest::qWait(10);
                continue;
            }
            auto m = zelt::wire::decode(buf.data(), size_t(n));
            if (m && m->type == zelt::wire::Type::Hello && m->hello.reason == zelt::wire::HelloReason::Answer)
                answered.insert(m->hello.device.serial);
        }
        QCOMPARE(int(answered.size()), 24);

        sim.terminate();
        const QByteArray out = sim.output();
        const int at2 = out.indexOf("largest timer queue ");
        QVERIFY2(at2 >= 0, out.constData());
        const int largest = out.mid(at2 + 20).split('\n').first().toInt();
        // At most four answers due a device, and its boot announcement.
        QVERIFY2(largest > 0 && largest <= 24 * 5, QByteArray::number(largest));
    }
};

QTEST_GUILESS_MAIN(TestDevsim)
#include "tst_devsim.moc"
