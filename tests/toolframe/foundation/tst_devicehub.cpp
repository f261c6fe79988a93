// The hub on its own: record conversion, cache rules, fan-out, replay and
// the network parameter block.
#include <QtTest>

#include "CDeviceHub.h"
#include "CViewStoregeManager.h"
#include "TestRecords.h"

namespace {
struct Receiver {
    int type;
    QStringList *log;
};
void recordCall(const ZELT_DEVICE_EVENT *ev, void *ctx)
{
    auto *r = static_cast<Receiver *>(ctx);
    r->log->append(QStringLiteral("%1:%2:%3").arg(r->type).arg(ev->iEventKind).arg(ZeltRecords::text(ev->szSerialNO)));
}
int receiverType(void *ctx)
{
    return static_cast<Receiver *>(ctx)->type;
}

QStringList cacheSerials(CDeviceHub &hub)
{
    QStringList out;
    for (const ZELT_DEVICE_EVENT &ev : hub.CacheSnapshot())
        out << QStringLiteral("%1 %2 %3")
                   .arg(ev.iEventKind)
                   .arg(ZeltRecords::text(ev.szSerialNO), ZeltRecords::text(ev.szIPv4Address));
    return out;
}
} // namespace

class TestDeviceHub : public QObject
{
    Q_OBJECT
private slots:
    void sdkRecordIsCopiedFieldByField()
    {
        ZELT_DEVICE_INFO info;
        auto *raw = reinterpret_cast<unsigned char *>(&info);
        for (size_t i = 0; i < sizeof info; ++i)
            raw[i] = static_cast<unsigned char>(0x20 + i % 90); // no NULs anywhere
        ZELT_DEVICE_EVENT ev;
        CDeviceHub::FromSdkRecord(info, ev);
        const auto *out = reinterpret_cast<const unsigned char *>(&ev);
        auto zero = [&](size_t from, size_t to) {
            for (size_t i = from; i < to; ++i)
                if (out[i] != 0)
                    return false;
            return true;
        };
        auto same = [&](size_t from, size_t to) { return std::memcmp(out + from, raw + from, to - from) == 0; };
        QVERIFY(zero(0, 12));
        QVERIFY(same(12, 300));
        QVERIFY(zero(300, 324));
        QVERIFY(same(324, 444)); // up to the clock offset
        QVERIFY(zero(444, 459));
        QVERIFY(same(459, 461)); // activation and trust
        QVERIFY(zero(461, 500));
    }

    void unterminatedFieldIsReadWithinItsWidth()
    {
        ZELT_DEVICE_EVENT ev = MakeEvent(1, QByteArray(48, 'S'));
        ev.szMAC[0] = 'M'; // the MAC follows the serial directly
        QCOMPARE(ZeltRecords::text(ev.szSerialNO), QString(48, QLatin1Char('S')));
        const ZELT_DEVICE_INFO_MY my = ZeltRecords::buildDeviceInfo(ev);
        QCOMPARE(ZeltRecords::text(my.szSerialNO).size(), 48);
    }

    void cacheKeepsEachPresentDeviceOnceWithCurrentData()
    {
        CDeviceHub hub;
        hub.HandleEvent(MakeEvent(1, "A", "10.0.0.1"));
        hub.HandleEvent(MakeEvent(4, "B", "10.0.0.2"));
        hub.HandleEvent(MakeEvent(1, "A", "10.0.0.9")); // announced again: replaced in place
        QCOMPARE(cacheSerials(hub), QStringList({"1 A 10.0.0.9", "4 B 10.0.0.2"}));

        hub.HandleEvent(MakeEvent(2, "B", "10.0.0.22")); // changed: new data, still an online record
        QCOMPARE(cacheSerials(hub), QStringList({"1 A 10.0.0.9", "4 B 10.0.0.22"}));

        hub.HandleEvent(MakeEvent(2, "C", "10.0.0.3")); // change of an unknown device
        hub.HandleEvent(MakeEvent(0, "D"));
        hub.HandleEvent(MakeEvent(5, "E"));
        hub.HandleEvent(MakeEvent(3, "nobody"));
        QCOMPARE(cacheSerials(hub), QStringList({"1 A 10.0.0.9", "4 B 10.0.0.22"}));

        hub.HandleEvent(MakeEvent(3, "A"));
        QCOMPARE(cacheSerials(hub), QStringList({"4 B 10.0.0.22"}));
        hub.HandleEvent(MakeEvent(3, "B"));
        QVERIFY(cacheSerials(hub).isEmpty());
    }

    void serialsCompareAsWholeText()
    {
        CDeviceHub hub;
        hub.HandleEvent(MakeEvent(1, "SN1"));
        hub.HandleEvent(MakeEvent(1, "SN10"));
        hub.HandleEvent(MakeEvent(3, "SN1"));
        QCOMPARE(cacheSerials(hub), QStringList({"1 SN10 192.168.1.64"}));
    }

    // Two devices may carry the same serial number: the MAC tells them
    // apart, so neither overwrites the other and one going offline leaves
    // the other in the cache.
    void devicesSharingASerialStayApart()
    {
        CDeviceHub hub;
        hub.HandleEvent(MakeEvent(1, "SN7", "10.0.0.1", "00-11-22-33-44-01"));
        hub.HandleEvent(MakeEvent(1, "SN7", "10.0.0.2", "00-11-22-33-44-02"));
        QCOMPARE(cacheSerials(hub), QStringList({"1 SN7 10.0.0.1", "1 SN7 10.0.0.2"}));

        hub.HandleEvent(MakeEvent(2, "SN7", "10.0.0.22", "00-11-22-33-44-02"));
        QCOMPARE(cacheSerials(hub), QStringList({"1 SN7 10.0.0.1", "1 SN7 10.0.0.22"}));

        hub.HandleEvent(MakeEvent(3, "SN7", "10.0.0.1", "00-11-22-33-44-01"));
        QCOMPARE(cacheSerials(hub), QStringList({"1 SN7 10.0.0.22"}));
        QCOMPARE(ZeltRecords::text(hub.CacheSnapshot().at(0).szMAC), QStringLiteral("00-11-22-33-44-02"));
        hub.HandleEvent(MakeEvent(3, "SN7", "", "00-11-22-33-44-09")); // neither of them
        QCOMPARE(cacheSerials(hub), QStringList({"1 SN7 10.0.0.22"}));
    }

    void fieldTextIsClearedCutAndKeptWithinItsWidth()
    {
        char field[8];
        std::memset(field, 'x', sizeof field);
        ZeltRecords::putText(field, QByteArray("abc"));
        QCOMPARE(QByteArray(field, 8), QByteArray("abc\0\0\0\0\0", 8));
        ZeltRecords::putText(field, QByteArray("0123456789"));
        QCOMPARE(QByteArray(field, 8), QByteArray("0123456\0", 8));
        ZeltRecords::putText(field, QByteArray("0123456789"), ZeltRecords::FieldEnd::Full);
        QCOMPARE(QByteArray(field, 8), QByteArray("01234567"));
        ZeltRecords::putText(field, nullptr, 5);
        QCOMPARE(QByteArray(field, 8), QByteArray(8, '\0'));
    }

    // Long mixed runs of arrivals, changes and departures: the cache and the
    // replay a new tool gets match a plain list kept in arrival order,
    // however many departed devices the hub has had to forget on the way.
    void cacheFollowsLongChurnInArrivalOrder()
    {
        CDeviceHub hub;
        QList<QPair<QByteArray, QString>> model; // serial, "kind serial ip"
        auto find = [&model](const QByteArray &sn) {
            for (qsizetype i = 0; i < model.size(); ++i)
                if (model.at(i).first == sn)
                    return i;
            return qsizetype(-1);
        };
        QRandomGenerator rng(4711);
        for (int step = 0; step < 20000; ++step) {
            const QByteArray sn = "SN" + QByteArray::number(rng.bounded(300));
            const QByteArray ip = "10.0." + QByteArray::number(step / 256) + '.' + QByteArray::number(step % 256);
            const int kinds[] = {1, 4, 2, 3, 3};
            const int kind = kinds[rng.bounded(5)];
            hub.HandleEvent(MakeEvent(kind, sn, ip));
            const qsizetype i = find(sn);
            if (kind == 1 || kind == 4) {
                const QString entry =
                    QStringLiteral("%1 %2 %3").arg(kind).arg(QString::fromLatin1(sn), QString::fromLatin1(ip));
                if (i >= 0)
                    model[i].second = entry;
                else
                    model.append({sn, entry});
            } else if (kind == 2 && i >= 0) {
                model[i].second = model.at(i).second.section(QLatin1Char(' '), 0, 1) + QLatin1Char(' ')
                                  + QString::fromLatin1(ip);
            } else if (kind == 3 && i >= 0) {
                model.removeAt(i);
            }
            if (step % 997 == 0 || step == 19999) {
                QStringList expected;
                for (const auto &m : model)
                    expected << m.second;
                QCOMPARE(cacheSerials(hub), expected);
            }
        }
        // The replay of the hub itself leaves out the departed devices.
        QStringList log;
        Receiver r{5, &log};
        hub.Register(recordCall, &r);
        QMutexLocker lock(&hub.Mutex());
        hub.ReplayLocked(5, receiverType);
        QStringList expected;
        for (const auto &m : model)
            expected << QStringLiteral("5:") + m.second.section(QLatin1Char(' '), 0, 0) + QLatin1Char(':')
                            + QString::fromLatin1(m.first);
        QCOMPARE(log, expected);
    }

    void everyEventReachesEveryReceiverInRegistrationOrder()
    {
        CDeviceHub hub;
        QStringList log;
        Receiver r1{2, &log}, r2{4, &log}, r3{9, &log};
        hub.Register(recordCall, &r1);
        hub.Register(recordCall, &r2);
        hub.Register(recordCall, &r3);
        hub.HandleEvent(MakeEvent(1, "A"));
        hub.HandleEvent(MakeEvent(3, "unknown")); // not cached, still delivered
        hub.HandleEvent(MakeEvent(7, "X"));       // odd kinds too: receivers decide
        QCOMPARE(log, QStringList({"2:1:A", "4:1:A", "9:1:A", "2:3:unknown", "4:3:unknown", "9:3:unknown", "2:7:X",
                                   "4:7:X", "9:7:X"}));
    }

    void replayGoesOnlyToTheNewTypeInCacheOrder()
    {
        CDeviceHub hub;
        QStringList log;
        Receiver r2{2, &log}, r4{4, &log};
        hub.HandleEvent(MakeEvent(1, "A"));
        hub.HandleEvent(MakeEvent(1, "B"));
        hub.HandleEvent(MakeEvent(4, "C"));
        hub.Register(recordCall, &r2);
        hub.Register(recordCall, &r4);
        QMutexLocker lock(&hub.Mutex());
        hub.ReplayLocked(4, receiverType);
        QCOMPARE(log, QStringList({"4:1:A", "4:1:B", "4:4:C"}));
    }

    void netParamBlockHasEveryFieldAtItsOffset()
    {
        ZELT_NET_PARAM p;
        std::memset(&p, 0xAB, sizeof p);
        CDeviceHub::BuildNetParam(p, "10.1.2.3", "255.255.0.0", "8000", "80", "10.1.0.1", "fe80::1", "fe80::fe", 64, 1);
        const auto *b = reinterpret_cast<const char *>(&p);
        QCOMPARE(QByteArray(b + 0), QByteArray("10.1.2.3"));
        QCOMPARE(QByteArray(b + 16), QByteArray("255.255.0.0"));
        QCOMPARE(QByteArray(b + 32), QByteArray("10.1.0.1"));
        QCOMPARE(QByteArray(b + 48), QByteArray("fe80::1"));
        QCOMPARE(QByteArray(b + 176), QByteArray("fe80::fe"));
        uint16_t port, http;
        std::memcpy(&port, b + 304, 2);
        std::memcpy(&http, b + 308, 2);
        QCOMPARE(port, uint16_t(8000));
        QCOMPARE(http, uint16_t(80));
        QCOMPARE(uint8_t(b[306]), uint8_t(64));
        QCOMPARE(uint8_t(b[307]), uint8_t(1));
        for (int i = 310; i < 436; ++i)
            QCOMPARE(b[i], char(0));
    }

    void netParamBlockLeavesNullTextsEmptyAndBoundsLongOnes()
    {
        ZELT_NET_PARAM p;
        std::memset(&p, 0xAB, sizeof p);
        CDeviceHub::BuildNetParam(p, "1.2.3.4.5.6.7.8.9.10.11", nullptr, nullptr, "", nullptr, nullptr, nullptr, 0, 0);
        const auto *b = reinterpret_cast<const char *>(&p);
        QCOMPARE(b[15], char(0)); // long text cut, still terminated in its field
        QCOMPARE(QByteArray(b + 16, 16), QByteArray(16, '\0'));
        QCOMPARE(QByteArray(b + 48, 128), QByteArray(128, '\0'));
        QCOMPARE(QByteArray(b + 176, 128), QByteArray(128, '\0'));
        QCOMPARE(QByteArray(b + 304, 6), QByteArray(6, '\0'));
    }

    void infoRecordCarriesEveryField()
    {
        ZELT_DEVICE_EVENT ev = MakeEvent(2, "SN42", "172.16.0.5");
        std::strcpy(ev.szMAC, "00-11-22-33-44-55");
        std::strcpy(ev.szIPv6Address, "2001:db8::5");
        ev.wHttpPort = 0;
        ev.dwPort = 8000;
        ev.bySupport = 0x65;
        ev.byActivated = 1;
        ev.byExtendInfo = 1;
        ev.byIPv6PrefixLen = 64;
        ev.byProtocol = ZELT_PROTOCOL_ONVIF;
        ev.byTrust = ZELT_TRUST_AMBIGUOUS;
        const ZELT_DEVICE_INFO_MY my = ZeltRecords::buildDeviceInfo(ev);
        QCOMPARE(ZeltRecords::text(my.szMAC), QStringLiteral("00-11-22-33-44-55"));
        QCOMPARE(ZeltRecords::text(my.szIPv6Address), QStringLiteral("2001:db8::5"));
        QCOMPARE(my.dwHttpPort, 0u);
        QCOMPARE(my.dwPort, 8000u);
        QCOMPARE(my.bySupport, uint8_t(0x65));
        QCOMPARE(my.byActivated, uint8_t(1));
        QCOMPARE(my.byIPv6PrefixLen, uint8_t(64));
        QCOMPARE(my.byProtocol, uint8_t(ZELT_PROTOCOL_ONVIF));
        QCOMPARE(my.byTrust, uint8_t(ZELT_TRUST_AMBIGUOUS));
        ZeltRecords::registerMetaTypes();
        QVERIFY(QMetaType::fromName("ZELT_DEVICE_INFO_MY").isValid());
    }
};

QTEST_GUILESS_MAIN(TestDeviceHub)
#include "tst_devicehub.moc"
