// Scan ranges: what a range text means, how a pass is paced, and which
// answers are taken as answers to the address asked.
#include "scan.h"
#include "zelt_sdk.h"

#include <QtTest>

using namespace zelt;

namespace {

QString text(const net::Address &a)
{
    return QString::fromStdString(a.text());
}

} // namespace

class TestZeltScan : public QObject
{
    Q_OBJECT

private slots:
    void rangesParse_data()
    {
        QTest::addColumn<QString>("ranges");
        QTest::addColumn<uint>("code");
        QTest::addColumn<uint>("count"); // addresses in all
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("last");
        // An IPv4 block leaves out its network and broadcast addresses; host bits are ignored.
        QTest::newRow("block") << "10.2.0.5/22" << 0u << 1022u << "10.2.0.1"
                               << "10.2.3.254";
        QTest::newRow("/31 and /32 keep every address") << "10.2.0.4/31" << 0u << 2u << "10.2.0.4"
                                                        << "10.2.0.5";
        QTest::newRow("single") << "10.4.0.7" << 0u << 1u << "10.4.0.7"
                                << "10.4.0.7";
        QTest::newRow("from-to") << "10.3.0.10-10.3.0.99" << 0u << 90u << "10.3.0.10"
                                 << "10.3.0.99";
        QTest::newRow("a whole /16") << "10.0.0.0-10.0.255.255" << 0u << 65536u << "10.0.0.0"
                                     << "10.0.255.255";
        QTest::newRow("one over a /16") << "10.0.0.0-10.1.0.0" << uint(ZELT_ERR_RANGE_TOO_LARGE) << 0u << ""
                                        << "";
        QTest::newRow("a /15") << "10.0.0.0/15" << uint(ZELT_ERR_RANGE_TOO_LARGE) << 0u << ""
                               << "";
        QTest::newRow("IPv6 /112") << "fd00:1::/112" << 0u << 65536u << "fd00:1::"
                                   << "fd00:1::ffff";
        QTest::newRow("IPv6 /111") << "fd00:1::/111" << uint(ZELT_ERR_RANGE_TOO_LARGE) << 0u << ""
                                   << "";
        QTest::newRow("IPv6 across a group") << "fd00::fffe-fd00::1:1" << 0u << 4u << "fd00::fffe"
                                             << "fd00::1:1";
        QTest::newRow("several, spaces and commas")
            << " 10.0.0.1, fd00::1 10.0.0.9-10.0.0.10 " << 0u << 4u << "10.0.0.1"
            << "10.0.0.10";
        QTest::newRow("all together over the bound") << "10.0.0.0/16,10.1.0.0/16,10.2.0.0/16,10.3.0.0/16,10.4.0.0/24"
                                                     << uint(ZELT_ERR_RANGE_TOO_LARGE) << 0u << ""
                                                     << "";
        QTest::newRow("backwards") << "10.3.0.99-10.3.0.10" << uint(ZELT_ERR_INVALID_PARAM) << 0u << ""
                                   << "";
        QTest::newRow("two families") << "10.0.0.1-fd00::1" << uint(ZELT_ERR_INVALID_PARAM) << 0u << ""
                                      << "";
        QTest::newRow("multicast") << "224.0.0.0/24" << uint(ZELT_ERR_INVALID_PARAM) << 0u << ""
                                   << "";
        QTest::newRow("broadcast") << "255.255.255.0-255.255.255.255" << uint(ZELT_ERR_INVALID_PARAM) << 0u << ""
                                   << "";
        QTest::newRow("link-local") << "fe80::/120" << uint(ZELT_ERR_INVALID_PARAM) << 0u << ""
                                    << "";
        QTest::newRow("a zone") << "fd00::1%lo" << uint(ZELT_ERR_INVALID_PARAM) << 0u << ""
                                << "";
        QTest::newRow("a name") << "camera.local" << uint(ZELT_ERR_INVALID_PARAM) << 0u << ""
                                << "";
        QTest::newRow("bad prefix") << "10.0.0.0/33" << uint(ZELT_ERR_INVALID_PARAM) << 0u << ""
                                    << "";
        QTest::newRow("nothing") << " , " << 0u << 0u << ""
                                 << "";
    }
    void rangesParse()
    {
        QFETCH(QString, ranges);
        QFETCH(uint, code);
        QFETCH(uint, count);
        QFETCH(QString, first);
        QFETCH(QString, last);
        std::vector<scan::Range> out{{net::Address::v4(1), 1}}; // kept when refused
        std::string why;
        QCOMPARE(uint(scan::parseRanges(ranges.toStdString(), out, &why)), code);
        if (code) {
            QVERIFY(!why.empty());
            QCOMPARE(int(out.size()), 1);
            return;
        }
        uint total = 0;
        for (auto &r : out)
            total += r.count;
        QCOMPARE(total, count);
        if (out.empty())
            return;
        QCOMPARE(text(out.front().first), first);
        QCOMPARE(text(scan::addressAt(out.back(), out.back().count - 1)), last);
        QCOMPARE(scan::offsetIn(out.back(), scan::addressAt(out.back(), out.back().count - 1)),
                 long(out.back().count - 1));
    }

    void passesArePacedAndRefusalsChangeNothing()
    {
        scan::Scanner s(100); // a second: 100 addresses, bursts of 10
        QCOMPARE(s.setRanges("10.9.0.0/24"), uint32_t(ZELT_ERR_NONE));
        QCOMPARE(s.setRanges("10.0.0.0/8"), uint32_t(ZELT_ERR_RANGE_TOO_LARGE));
        QCOMPARE(int(s.addressCount()), 254);
        const auto t0 = Clock::now();
        auto take = [&](Clock::time_point at) {
            int n = 0;
            while (auto turn = s.next(at)) {
                s.asked(turn->address, at);
                ++n;
            }
            return n;
        };
        QCOMPARE(take(t0), 1);                                 // the first at once
        QCOMPARE(take(t0 + std::chrono::milliseconds(50)), 5); // then the rate
        QCOMPARE(take(t0 + std::chrono::seconds(5)), 10);      // a long pause makes no longer burst
        // An address passed over gives its turn to the next one.
        auto turn = s.next(t0 + std::chrono::seconds(6));
        QVERIFY(turn);
        const net::Address skipped = turn->address;
        s.passedOver();
        QVERIFY(s.next(t0 + std::chrono::seconds(6)));
        QVERIFY(!s.wasAsked(skipped, t0 + std::chrono::seconds(6), std::chrono::seconds(10)));
        // A pass asked for while one runs follows it; then the scanner rests.
        s.startPass(t0);
        int asked = 0;
        for (int k = 0; k < 100 && s.wakeAt(); ++k)
            asked += take(t0 + std::chrono::seconds(7 + k));
        QCOMPARE(asked, 254 - 18 + 254); // the one handed out but not asked is gone too
        QVERIFY(!s.wakeAt());
        // Out of turn, a moved device's address is asked whatever the pace.
        s.askSoon(net::Address::v4(htonl(0x0a090032)), t0 + std::chrono::seconds(200));
        turn = s.next(t0 + std::chrono::seconds(200));
        QVERIFY(turn && turn->outOfTurn && text(turn->address) == "10.9.0.50");
    }

    void answersAreTakenFromTheAddressAskedOnly()
    {
        scan::Scanner s;
        QCOMPARE(s.setRanges("10.9.0.0/30"), uint32_t(ZELT_ERR_NONE));
        const auto t = Clock::now();
        const net::Address a = *net::Address::parse("10.9.0.1"), b = *net::Address::parse("10.9.0.2"),
                           outside = *net::Address::parse("10.9.1.1");
        const auto within = std::chrono::seconds(6);
        QVERIFY(!s.wasAsked(a, t, within)); // not yet asked
        s.asked(a, t);
        s.asked(outside, t); // not in a range: nothing is noted
        QVERIFY(s.wasAsked(a, t + std::chrono::seconds(5), within));
        QVERIFY(!s.wasAsked(a, t + std::chrono::seconds(7), within)); // too late
        QVERIFY(!s.wasAsked(b, t, within));
        QVERIFY(!s.wasAsked(outside, t, within));
        // The directed probe's id is unguessable and tied to the address it went to.
        const std::string id = s.probeId(a);
        QCOMPARE(int(id.size()), 36);
        QVERIFY(s.answersProbe(a, "urn:uuid:" + id, t, within));
        QVERIFY(!s.answersProbe(b, "urn:uuid:" + id, t, within));
        QVERIFY(!s.answersProbe(a, id, t, within));
        QVERIFY(s.probeId(b).empty());
        scan::Scanner other;
        QCOMPARE(other.setRanges("10.9.0.0/30"), uint32_t(ZELT_ERR_NONE));
        other.asked(a, t);
        QVERIFY(other.probeId(a) != id);
        // Asked again: the earlier probe's answers are no longer taken.
        s.asked(a, t + std::chrono::seconds(1));
        QVERIFY(!s.answersProbe(a, "urn:uuid:" + id, t + std::chrono::seconds(1), within));
    }
};

QTEST_GUILESS_MAIN(TestZeltScan)
#include "tst_zelt_scan.moc"
