// Codec, crypto helpers and device behaviour without sockets.
#include "cert_cache.h"
#include "checked_mutex.h"
#include "crypto.h"
#include "device.h"
#include "engine.h"
#include "wire.h"
#include "zelt_sdk.h"

#include <QtTest>

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <thread>

using namespace zelt;

namespace {

wire::DeviceRecord sampleRecord()
{
    wire::DeviceRecord r;
    r.serial = "ZT-TEST-0001";
    r.mac = {0x02, 0x5a, 0, 0, 0, 1};
    r.ipv4 = {10, 0, 0, 2};
    r.mask = {255, 255, 255, 0};
    r.gateway = {10, 0, 0, 1};
    r.type = 0x2041;
    r.port = 8000;
    r.httpPort = 80;
    r.support = ZELT_SUPPORT_DHCP | ZELT_SUPPORT_RESET_PASSWORD | ZELT_SUPPORT_NEW_PASSWORD;
    r.extended = 1;
    r.softVersion = "V5.5.0";
    r.description = "ZT-IPC2141";
    r.bootId = 7;
    r.configVersion = 3;
    return r;
}

// What the SDK does for one command, against one device.
struct Client {
    crypto::BoxKeyPair kx = crypto::newBoxKeyPair();
    crypto::SessionKeys keys;
    uint32_t nextId = 100;

    wire::Request seal(const Device &dev, wire::CommandBody body, double now = 0)
    {
        if (!crypto::clientSessionKeys(kx, dev.record().boxKey, keys))
            keys.tx.fill(0); // then nothing opens
        wire::Request r;
        r.mac = dev.record().mac;
        r.serial = dev.record().serial;
        r.clientId = 42;
        r.requestId = nextId++;
        r.clientKey = kx.pk;
        body.clientId = r.clientId;
        body.requestId = r.requestId;
        body.mac = r.mac;
        body.stampMs = dev.uptimeMs(now);
        crypto::sealRequest(r, body, keys);
        return r;
    }
    std::optional<wire::CommandResult> result(const wire::Bytes &datagram)
    {
        auto m = wire::decode(datagram.data(), datagram.size());
        if (!m || m->type != wire::Type::Response)
            return std::nullopt;
        return crypto::openResponse(m->response, keys);
    }
};

} // namespace

class TestZeltCore : public QObject
{
    Q_OBJECT

    crypto::SignKeyPair maker_ = crypto::newSignKeyPair();

    DeviceState activeState(const std::string &password = "Admin12345")
    {
        DeviceState s;
        s.record = sampleRecord();
        s.passwordHash = password.empty() ? std::string() : crypto::hashPassword(password);
        s.securityCode = "SECRET-CODE-1";
        return s;
    }
    DeviceOptions options(int lockout = 60)
    {
        DeviceOptions o;
        o.makerKey = maker_.pk;
        o.lockoutSeconds = lockout;
        return o;
    }
    uint8_t run(Device &dev, Client &c, wire::CommandBody body, double now, bool *changed = nullptr,
                wire::Bytes *data = nullptr)
    {
        auto req = c.seal(dev, body, now);
        auto out = dev.handle(req, now);
        if (changed)
            *changed = out.changed;
        if (!out.datagram)
            return 255;
        auto res = c.result(*out.datagram);
        if (!res || res->requestId != req.requestId)
            return 254;
        if (data)
            *data = res->data;
        return res->status;
    }
    wire::CommandBody setNet(const std::string &password, wire::Ip4 ip)
    {
        wire::CommandBody b;
        b.command = wire::Command::SetNet;
        b.password = password;
        b.ipv4 = ip;
        b.netFlags = wire::kSetIpv4;
        return b;
    }

private slots:
    void initTestCase() { QVERIFY(crypto::init()); }

    void roundTripsEveryMessage()
    {
        wire::Message hello;
        hello.type = wire::Type::Hello;
        hello.msgId = 0x1122334455667788ull;
        hello.hello.reason = wire::HelloReason::Change;
        hello.hello.device = sampleRecord();
        auto bytes = wire::encode(hello);
        auto back = wire::decode(bytes.data(), bytes.size());
        QVERIFY(back);
        QCOMPARE(back->msgId, hello.msgId);
        QVERIFY(back->hello.device == hello.hello.device);
        QCOMPARE(int(back->hello.reason), int(wire::HelloReason::Change));

        wire::Message inq;
        inq.type = wire::Type::Inquiry;
        inq.inquiry.clientId = 9;
        inq.inquiry.seq = 3;
        inq.inquiry.windowMs = 500;
        inq.inquiry.target = {1, 2, 3, 4, 5, 6};
        bytes = wire::encode(inq);
        back = wire::decode(bytes.data(), bytes.size());
        QVERIFY(back);
        QCOMPARE(back->inquiry.windowMs, uint16_t(500));
        QVERIFY(back->inquiry.target == inq.inquiry.target);

        wire::Message req;
        req.type = wire::Type::Request;
        req.request.serial = "S1";
        req.request.requestId = 77;
        req.request.cipher.assign(40, 0xab);
        bytes = wire::encode(req);
        back = wire::decode(bytes.data(), bytes.size());
        QVERIFY(back);
        QCOMPARE(back->request.requestId, 77u);
        QCOMPARE(back->request.cipher.size(), size_t(40));

        wire::CommandBody body;
        body.command = wire::Command::ResetPassword;
        body.securityCode = "abc";
        body.keyFile.assign(300, 'k');
        body.newPassword = "NewPass123";
        auto cb = wire::encodeCommand(body);
        auto cbBack = wire::decodeCommand(cb.data(), cb.size());
        QVERIFY(cbBack);
        QCOMPARE(cbBack->keyFile.size(), size_t(300));
        QCOMPARE(cbBack->newPassword, std::string("NewPass123"));
        QCOMPARE(cbBack->securityCode, std::string("abc"));
        // The padding hides how long a password is; a non-zero tail is refused.
        wire::CommandBody a, b;
        a.password = "Ab1!";
        b.password = "Abcdefgh12345678Abcdefgh1234567!";
        QCOMPARE(wire::encodeCommand(a).size(), wire::encodeCommand(b).size());
        auto padded = wire::encodeCommand(b);
        QCOMPARE(wire::decodeCommand(padded.data(), padded.size())->password, b.password);
        padded.back() = 1;
        QVERIFY(!wire::decodeCommand(padded.data(), padded.size()));
        // The time travels with SetTime only; the other commands keep their layout.
        wire::CommandBody time;
        time.command = wire::Command::SetTime;
        time.timeMs = 1796000000123ull;
        time.stampMs = 5;
        auto tb = wire::encodeCommand(time);
        auto tBack = wire::decodeCommand(tb.data(), tb.size());
        QVERIFY(tBack);
        QCOMPARE(tBack->timeMs, time.timeMs);
        QCOMPARE(tBack->stampMs, uint64_t(5));
        QCOMPARE(tb.size(), wire::encodeCommand(a).size() + 8);
        auto reading = wire::decodeClockReading(wire::encodeClockReading({1, 1796000000123ull}));
        QVERIFY(reading && reading->beforeMs == 1 && reading->afterMs == 1796000000123ull);
        QVERIFY(!wire::decodeClockReading(wire::Bytes(15, 0)));
    }

    void rejectsMalformedDatagrams()
    {
        wire::Message hello;
        hello.type = wire::Type::Hello;
        hello.hello.device = sampleRecord();
        const auto good = wire::encode(hello);
        // Every truncation is rejected.
        for (size_t n = 0; n < good.size(); ++n)
            QVERIFY2(!wire::decode(good.data(), n), qPrintable(QString::number(n)));
        auto bad = good;
        bad[2] = 1; // another version
        QVERIFY(!wire::decode(bad.data(), bad.size()));
        bad = good;
        bad[0] = 'X';
        QVERIFY(!wire::decode(bad.data(), bad.size()));
        bad = good;
        bad.push_back(0); // trailing byte, length field no longer matches
        QVERIFY(!wire::decode(bad.data(), bad.size()));
        bad = good;
        bad[3] = 99; // unknown type
        QVERIFY(!wire::decode(bad.data(), bad.size()));
        // Serial length byte claiming more than the field allows.
        bad = good;
        bad[wire::kHeaderSize + 21] = 200;
        QVERIFY(!wire::decode(bad.data(), bad.size()));
        // Embedded NUL in text.
        bad = good;
        bad[wire::kHeaderSize + 22] = 0;
        QVERIFY(!wire::decode(bad.data(), bad.size()));
        // Oversized datagram.
        std::vector<uint8_t> huge(wire::kMaxDatagram + 1, 0);
        QVERIFY(!wire::decode(huge.data(), huge.size()));
        QVERIFY(!wire::decode(nullptr, 0));
    }

    void macTextRoundTrip()
    {
        auto mac = wire::parseMac("02-5A-01:00-00-ff");
        QVERIFY(mac);
        QCOMPARE(wire::macText(*mac), std::string("02-5a-01-00-00-ff"));
        QVERIFY(!wire::parseMac("02-5a-01-00-00"));
        QVERIFY(!wire::parseMac("02-5a-01-00-00-fg"));
        QVERIFY(!wire::parseMac("02+5a-01-00-00-ff"));
    }

    void passwordPolicy()
    {
        QVERIFY(!crypto::passwordAcceptable("abc12"));             // too short
        QVERIFY(!crypto::passwordAcceptable("abcdefgh"));          // one kind
        QVERIFY(!crypto::passwordAcceptable("Abcdefgh12345678X")); // 17 characters
        QVERIFY(crypto::passwordAcceptable("abcd1234"));
        QVERIFY(crypto::passwordAcceptable("1234!!!!"));
        QVERIFY(crypto::passwordAcceptable("Abcdefgh12345678"));
        auto h = crypto::hashPassword("abcd1234");
        QVERIFY(crypto::verifyPassword(h, "abcd1234"));
        QVERIFY(!crypto::verifyPassword(h, "abcd1235"));
        QVERIFY(!crypto::verifyPassword("", ""));
    }

    void strictKeyDataReader_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("valid");
        const QByteArray good = "serial=\"SN1\" mac=\"02-5a-00-00-00-01\" nonce=\"00112233445566778899aabbccddeeff\"";
        QTest::newRow("as exported") << QByteArray(
            crypto::makeKeyData("SN1", "02-5a-00-00-00-01", "00112233445566778899aabbccddeeff").c_str())
                                     << true;
        QTest::newRow("single quotes, no declaration") << QByteArray(
            "<DeviceKey version='1' serial='SN1' mac='02-5a-00-00-00-01' nonce='00112233445566778899aabbccddeeff'/>")
                                                       << true;
        QTest::newRow("two roots") << "<DeviceKey version=\"1\" " + good + "/><DeviceKey version=\"1\" " + good + "/>"
                                   << false;
        QTest::newRow("attributes in a child") << "<Wrapper><DeviceKey version=\"1\" " + good + "/></Wrapper>" << false;
        QTest::newRow("doctype") << "<!DOCTYPE DeviceKey [<!ENTITY x \"SN2\">]><DeviceKey version=\"1\" " + good + "/>"
                                 << false;
        QTest::newRow("comment") << "<!-- x --><DeviceKey version=\"1\" " + good + "/>" << false;
        QTest::newRow("entity") << QByteArray("<DeviceKey version=\"1\" serial=\"S&amp;N\" mac=\"02-5a-00-00-00-01\" "
                                              "nonce=\"00112233445566778899aabbccddeeff\"/>")
                                << false;
        QTest::newRow("repeated attribute") << "<DeviceKey version=\"1\" serial=\"SN2\" " + good + "/>" << false;
        QTest::newRow("extra attribute") << "<DeviceKey version=\"1\" extra=\"x\" " + good + "/>" << false;
        QTest::newRow("other version") << "<DeviceKey version=\"2\" " + good + "/>" << false;
        QTest::newRow("no mac") << QByteArray(
            "<DeviceKey version=\"1\" serial=\"SN1\" nonce=\"00112233445566778899aabbccddeeff\"/>")
                                << false;
        QTest::newRow("bad mac") << QByteArray(
            "<DeviceKey version=\"1\" serial=\"SN1\" mac=\"02-5a-00\" nonce=\"00112233445566778899aabbccddeeff\"/>")
                                 << false;
        QTest::newRow("bad nonce") << QByteArray("<DeviceKey version=\"1\" serial=\"SN1\" mac=\"02-5a-00-00-00-01\" "
                                                 "nonce=\"zz112233445566778899aabbccddeeff\"/>")
                                   << false;
        QTest::newRow("text content") << "<DeviceKey version=\"1\" " + good + ">x</DeviceKey>" << false;
        QTest::newRow("trailing text") << "<DeviceKey version=\"1\" " + good + "/>x" << false;
        QTest::newRow("unclosed") << "<DeviceKey version=\"1\" " + good << false;
    }
    void strictKeyDataReader()
    {
        QFETCH(QByteArray, text);
        QFETCH(bool, valid);
        QCOMPARE(bool(crypto::parseKeyData(text.toStdString())), valid);
        // Signed by the maker, it is only as good as what it holds.
        if (auto signedFile = crypto::signKeyFile(text.toStdString(), maker_))
            QVERIFY(valid && crypto::verifySignedKeyFile(*signedFile, maker_.pk));
        else
            QVERIFY(!valid);
    }

    void strictSignedKeyFileReader_data()
    {
        QTest::addColumn<QString>("change");
        QTest::newRow("extra child") << "</Signature>|</Signature><Key>AAAA</Key>";
        QTest::newRow("attribute on Key") << "<Key>|<Key id=\"1\">";
        QTest::newRow("attribute on root") << "version=\"1\"|version=\"1\" x=\"y\"";
        QTest::newRow("mixed content") << "<Key>|text<Key>";
        QTest::newRow("second root") << "</SignedDeviceKey>|</SignedDeviceKey><SignedDeviceKey version=\"1\"/>";
        QTest::newRow("swapped children") << "<Key>|<Signature>";
        QTest::newRow("comment") << "<Key>|<!-- c --><Key>";
        QTest::newRow("signed key changed") << "<Key>P|<Key>Q"; // its first byte
    }
    void strictSignedKeyFileReader()
    {
        QFETCH(QString, change);
        const std::string key = crypto::makeKeyData("SN1", "02-5a-00-00-00-01", "00112233445566778899aabbccddeeff");
        QVERIFY(key.size() <= wire::kMaxKeyData);
        QVERIFY(!crypto::verifySignedKeyFile(key, maker_.pk)); // as exported: not signed
        std::string file = *crypto::signKeyFile(key, maker_);
        auto parsed = crypto::verifySignedKeyFile(file, maker_.pk);
        QVERIFY(parsed && parsed->serial == "SN1");
        QVERIFY(!crypto::verifySignedKeyFile(file, crypto::newSignKeyPair().pk)); // another maker's key
        const QStringList parts = change.split('|');
        const std::string from = parts[0].toStdString(), to = parts[1].toStdString();
        const size_t at = file.find(from);
        QVERIFY(at != std::string::npos);
        file.replace(at, from.size(), to);
        QVERIFY(!crypto::verifySignedKeyFile(file, maker_.pk));
    }

    void keyFileBindsSerialMacAndCredentials()
    {
        DeviceState sa = activeState(), sb = activeState();
        sb.record.serial = "ZT-TEST-0002";
        sb.record.mac[5] = 2;
        sb.securityCode = "SECRET-CODE-2";
        Device a(sa, options()), b(sb, options());
        Client c;
        wire::CommandBody get;
        get.command = wire::Command::GetKey;
        wire::Bytes data;
        QCOMPARE(run(a, c, get, 0, nullptr, &data), uint8_t(0));
        const std::string exported(data.begin(), data.end());
        const auto key = *crypto::parseKeyData(exported);
        auto signedFor = [&](const std::string &serial, const std::string &mac) {
            auto f = *crypto::signKeyFile(crypto::makeKeyData(serial, mac, key.nonce), maker_);
            return wire::Bytes(f.begin(), f.end());
        };
        wire::CommandBody reset;
        reset.command = wire::Command::ResetPassword;
        reset.newPassword = "NewPass123";
        // A's serial with B's MAC, and A's file on B: nothing reset.
        reset.keyFile = signedFor(key.serial, wire::macText(sb.record.mac));
        QCOMPARE(run(a, c, reset, 0), uint8_t(ZELT_ERR_BAD_KEY_FILE));
        reset.keyFile = signedFor(key.serial, key.mac);
        QCOMPARE(run(b, c, reset, 0), uint8_t(ZELT_ERR_BAD_KEY_FILE));
        // A's password changed (security code): the file signed before resets nothing.
        wire::CommandBody viaCode;
        viaCode.command = wire::Command::ResetPassword;
        viaCode.securityCode = "SECRET-CODE-1";
        viaCode.newPassword = "Other12345";
        QCOMPARE(run(a, c, viaCode, 0), uint8_t(0));
        QCOMPARE(run(a, c, reset, 0), uint8_t(ZELT_ERR_BAD_KEY_FILE));
        QCOMPARE(run(a, c, setNet("Other12345", {10, 0, 0, 9}), 0), uint8_t(0));
        // So does activation: restore, activate, then the file of before.
        QCOMPARE(run(a, c, get, 0, nullptr, &data), uint8_t(0));
        auto fresh = *crypto::signKeyFile(std::string(data.begin(), data.end()), maker_);
        wire::CommandBody restore;
        restore.command = wire::Command::RestoreDefault;
        restore.securityCode = "SECRET-CODE-1";
        QCOMPARE(run(a, c, restore, 0), uint8_t(0));
        wire::CommandBody act;
        act.command = wire::Command::Activate;
        act.password = "Again12345";
        QCOMPARE(run(a, c, act, 0), uint8_t(0));
        reset.keyFile.assign(fresh.begin(), fresh.end());
        QCOMPARE(run(a, c, reset, 0), uint8_t(ZELT_ERR_BAD_KEY_FILE));
    }

    void trustStoreLines()
    {
        const auto pk = crypto::newSignKeyPair().pk;
        const std::string line = crypto::makerPublicKeyLine(pk);
        const std::string text = "# makers we trust\n" + line + "  # the simulator\r\n" + line
                                 + "\nZELT-MAKER-ED25519-PUBLIC 12\njunk\n";
        auto keys = crypto::parseTrustedMakers(text);
        QCOMPARE(keys.size(), size_t(1));
        QVERIFY(keys[0] == pk);
        QVERIFY(crypto::parseTrustedMakers("# " + line).empty());
    }

    void sdkRecordFromDeviceRecord()
    {
        auto r = sampleRecord();
        ZELT_DEVICE_INFO info;
        fillDeviceInfo(r, ZELT_EVENT_ONLINE, info);
        QCOMPARE(QByteArray(info.szMAC), QByteArray("02-5a-00-00-00-01"));
        QCOMPARE(QByteArray(info.szIPv4Address), QByteArray("10.0.0.2"));
        QCOMPARE(QByteArray(info.szIPv4Gateway), QByteArray("10.0.0.1"));
        QCOMPARE(info.iResult, 1);
        QCOMPARE(int(info.byExtendInfo), 1);
        QCOMPARE(int(info.bySupport), int(r.support));
        r.extended = 0;
        r.inactive = 1;
        r.httpPort = 0;
        fillDeviceInfo(r, ZELT_EVENT_CHANGED, info);
        QCOMPARE(info.szIPv4Gateway[0], '\0'); // not valid without extended information
        QCOMPARE(int(info.bySupport), 0);
        QCOMPARE(int(info.byActivated), 1);
        QCOMPARE(int(info.wHttpPort), 0);
        QCOMPARE(QByteArray(info.szIPv4Address), QByteArray("10.0.0.2"));
        // Too long for its field: cut to the width, still terminated inside it.
        r.description = std::string(sizeof info.szDevDesc + 10, 'd');
        fillDeviceInfo(r, ZELT_EVENT_CHANGED, info);
        QCOMPARE(QByteArray(info.szDevDesc, sizeof info.szDevDesc),
                 QByteArray(sizeof info.szDevDesc - 1, 'd') + QByteArray(1, '\0'));
    }

    void lockPreconditionsAreCheckedInDebugBuilds()
    {
#ifdef NDEBUG
        QSKIP("the owner of a CheckedMutex is recorded in debug builds only");
#endif
        // Runs `body` in a child process: did it stop the program?
        auto aborts = [](auto &&body) {
            const pid_t pid = fork();
            if (pid == 0) {
                std::signal(SIGABRT, SIG_DFL); // not QtTest's crash report
                body();
                _exit(0);
            }
            int status = 0;
            waitpid(pid, &status, 0);
            return WIFSIGNALED(status) && WTERMSIG(status) == SIGABRT;
        };
        CheckedMutex mu("test lock");
        QVERIFY(!aborts([&] {
            std::lock_guard lock(mu);
            mu.assertHeld();
        }));
        QVERIFY(aborts([&] { mu.assertHeld(); }));
        QVERIFY(aborts([&] {
            mu.lock();
            mu.unlock();
            mu.assertHeld();
        }));
        QVERIFY(aborts([&] { // held, but by another thread
            std::thread([&] { mu.lock(); }).join();
            mu.assertHeld();
        }));
    }

    void inactiveDeviceOnlyActivatesAndExports()
    {
        Device dev(activeState(""), options());
        Client c;
        QCOMPARE(int(dev.record().inactive), 1);
        QCOMPARE(run(dev, c, setNet("Admin12345", {10, 0, 0, 9}), 0), uint8_t(ZELT_ERR_NOT_ACTIVATED));
        wire::CommandBody restore;
        restore.command = wire::Command::RestoreDefault;
        restore.securityCode = "SECRET-CODE-1";
        QCOMPARE(run(dev, c, restore, 0), uint8_t(ZELT_ERR_NOT_ACTIVATED));
        wire::CommandBody key;
        key.command = wire::Command::GetKey;
        wire::Bytes data;
        QCOMPARE(run(dev, c, key, 0, nullptr, &data), uint8_t(0));
        QVERIFY(crypto::parseKeyData(std::string(data.begin(), data.end())));
        wire::CommandBody act;
        act.command = wire::Command::Activate;
        act.password = "password"; // one kind only
        QCOMPARE(run(dev, c, act, 0), uint8_t(ZELT_ERR_WEAK_PASSWORD));
        act.password = "Passw0rd99";
        bool changed = false;
        QCOMPARE(run(dev, c, act, 0, &changed), uint8_t(0));
        QVERIFY(changed);
        QCOMPARE(int(dev.record().inactive), 0);
        QCOMPARE(run(dev, c, act, 0), uint8_t(ZELT_ERR_ALREADY_ACTIVATED));
        QCOMPARE(run(dev, c, setNet("Passw0rd99", {10, 0, 0, 9}), 0), uint8_t(0));
        QCOMPARE(dev.record().ipv4, (wire::Ip4{10, 0, 0, 9}));
    }

    void clockIsSetWithThePasswordOnly()
    {
        auto wallMs = [] {
            return int64_t(std::chrono::duration_cast<std::chrono::milliseconds>(
                               std::chrono::system_clock::now().time_since_epoch())
                               .count());
        };
        DeviceState st = activeState();
        st.clockOffsetMs = -3600 * 1000; // an hour behind
        Device dev(st, options(60));
        Client c;
        QVERIFY(std::llabs(dev.clockMs() - wallMs() + 3600000) < 1000);
        wire::CommandBody set;
        set.command = wire::Command::SetTime;
        set.password = "Admin12345";
        set.timeMs = uint64_t(wallMs());
        auto req = c.seal(dev, set);
        auto out = dev.handle(req, 0);
        QVERIFY(out.datagram && out.clockSet && !out.changed); // nothing to announce
        auto res = c.result(*out.datagram);
        QVERIFY(res && res->status == 0);
        auto reading = wire::decodeClockReading(res->data);
        QVERIFY(reading);
        QVERIFY(std::llabs(int64_t(reading->beforeMs) - wallMs() + 3600000) < 1000);
        QVERIFY(std::llabs(int64_t(reading->afterMs) - wallMs()) < 1000);
        QVERIFY(std::llabs(dev.state().clockOffsetMs) < 1000); // kept with the state

        // Wrong passwords count on the password path and lock it; the clock stays.
        set.timeMs = uint64_t(wallMs() + 86400000);
        set.password = "Wrong12345";
        for (int i = 0; i < 5; ++i)
            QCOMPARE(run(dev, c, set, 1), uint8_t(ZELT_ERR_WRONG_PASSWORD));
        set.password = "Admin12345";
        QCOMPARE(run(dev, c, set, 2), uint8_t(ZELT_ERR_LOCKED));
        QCOMPARE(run(dev, c, setNet("Admin12345", {10, 0, 0, 9}), 2), uint8_t(ZELT_ERR_LOCKED));
        QVERIFY(std::llabs(dev.clockMs() - wallMs()) < 1000);
        // A time no device keeps is refused.
        set.timeMs = 1000;
        QCOMPARE(run(dev, c, set, 100), uint8_t(ZELT_ERR_BAD_PARAMETERS));
        QVERIFY(std::llabs(dev.clockMs() - wallMs()) < 1000);

        Device inactive(activeState(""), options());
        set.timeMs = uint64_t(wallMs());
        QCOMPARE(run(inactive, c, set, 0), uint8_t(ZELT_ERR_NOT_ACTIVATED));
    }

    void retransmissionAppliedOnce()
    {
        Device dev(activeState(), options());
        Client c;
        auto req = c.seal(dev, setNet("Admin12345", {10, 0, 0, 50}));
        uint32_t before = dev.record().configVersion;
        auto first = dev.handle(req, 0);
        QVERIFY(first.datagram && first.changed && !first.fromCache);
        auto again = dev.handle(req, 0.5);
        QVERIFY(again.datagram && again.fromCache && !again.changed);
        QVERIFY(*again.datagram == *first.datagram);
        QCOMPARE(dev.record().configVersion, before + 1);
        // A request sealed for another device is ignored.
        auto foreign = req;
        foreign.mac[5] ^= 1;
        QVERIFY(!dev.handle(foreign, 0).datagram);
        // A tampered box is dropped without an answer.
        auto tampered = c.seal(dev, setNet("Admin12345", {10, 0, 0, 51}));
        tampered.cipher.back() ^= 1;
        QVERIFY(!dev.handle(tampered, 0).datagram);
    }

    void replayAfterCacheIsNotApplied()
    {
        DeviceOptions o = options();
        o.cachedAnswers = 2;
        Device dev(activeState(), o);
        Client c;
        auto old = c.seal(dev, setNet("Admin12345", {10, 0, 0, 60}));
        QVERIFY(dev.handle(old, 0).changed);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(run(dev, c, setNet("Admin12345", {10, 0, 0, uint8_t(61 + i)}), 0), uint8_t(0));
        auto replay = dev.handle(old, 1);
        QVERIFY(!replay.datagram && !replay.changed);
        QCOMPARE(dev.record().ipv4, (wire::Ip4{10, 0, 0, 63}));
    }

    void lockoutGrowsAndKeepsTheSecurityCodePathOpen()
    {
        Device dev(activeState(), options(60));
        Client c;
        auto wrong = [&](double t) {
            for (int i = 0; i < 5; ++i)
                QCOMPARE(run(dev, c, setNet("wrongpass1", {10, 0, 0, 9}), t), uint8_t(ZELT_ERR_WRONG_PASSWORD));
        };
        wrong(10);
        QCOMPARE(run(dev, c, setNet("Admin12345", {10, 0, 0, 9}), 11.0), uint8_t(ZELT_ERR_LOCKED));
        QCOMPARE(run(dev, c, setNet("Admin12345", {10, 0, 0, 9}), 69.0), uint8_t(ZELT_ERR_LOCKED));
        // A second lockout in a row lasts twice as long.
        QCOMPARE(run(dev, c, setNet("wrongpass1", {10, 0, 0, 9}), 70.5), uint8_t(ZELT_ERR_WRONG_PASSWORD));
        for (int i = 0; i < 4; ++i)
            run(dev, c, setNet("wrongpass1", {10, 0, 0, 9}), 71.0);
        QCOMPARE(run(dev, c, setNet("Admin12345", {10, 0, 0, 9}), 150.0), uint8_t(ZELT_ERR_LOCKED));
        QCOMPARE(run(dev, c, setNet("Admin12345", {10, 0, 0, 9}), 191.5), uint8_t(0));
        // Success ends the run of lockouts: the next one is the short one again.
        wrong(200);
        QCOMPARE(run(dev, c, setNet("Admin12345", {10, 0, 0, 9}), 259.0), uint8_t(ZELT_ERR_LOCKED));
        QCOMPARE(run(dev, c, setNet("Admin12345", {10, 0, 0, 10}), 260.5), uint8_t(0));

        // Someone guessing the password never locks the owner out of the security code.
        wrong(300);
        wire::CommandBody reset;
        reset.command = wire::Command::ResetPassword;
        reset.securityCode = "SECRET-CODE-1";
        reset.newPassword = "Fresh12345";
        QCOMPARE(run(dev, c, reset, 301.0), uint8_t(0));
        QCOMPARE(run(dev, c, setNet("Fresh12345", {10, 0, 0, 11}), 301.0),
                 uint8_t(0)); // new credentials end the lockout

        // Wrong security codes lock their own path only.
        reset.securityCode = "WRONG-CODE";
        for (int i = 0; i < 5; ++i)
            QCOMPARE(run(dev, c, reset, 310.0), uint8_t(ZELT_ERR_BAD_SECURITY_CODE));
        reset.securityCode = "SECRET-CODE-1";
        QCOMPARE(run(dev, c, reset, 311.0), uint8_t(ZELT_ERR_LOCKED));
        QCOMPARE(run(dev, c, setNet("Fresh12345", {10, 0, 0, 12}), 311.0), uint8_t(0));
        QCOMPARE(run(dev, c, reset, 371.0), uint8_t(0));
    }

    void replayMemoryIsASlidingWindowPerClient()
    {
        DeviceOptions o = options();
        o.cachedAnswers = 1;
        Device dev(activeState(), o);
        const auto bootKey = dev.record().boxKey;
        Client a, b;
        wire::CommandBody get;
        get.command = wire::Command::GetKey;
        auto first = a.seal(dev, get);
        auto second = a.seal(dev, get);
        auto third = a.seal(dev, get);
        // Out of order within the window: each is taken once.
        QVERIFY(dev.handle(third, 0).datagram);
        QVERIFY(dev.handle(first, 0).datagram);
        QVERIFY(dev.handle(second, 0).datagram);
        QVERIFY(!dev.handle(first, 0.1).datagram); // a replay, no longer cached
        QVERIFY(!dev.handle(third, 0.1).datagram);
        QVERIFY(dev.handle(second, 0.1).fromCache); // the last answer is still cached
        // Another client has a window of its own, with the same request ids.
        b.nextId = a.nextId - 3;
        QVERIFY(dev.handle(b.seal(dev, get), 0.2).datagram);
        // Thousands of requests do not change the boot key, and an id that
        // fell out of the window is refused.
        a.nextId = first.requestId + 5000;
        for (int i = 0; i < 3; ++i)
            QVERIFY(dev.handle(a.seal(dev, get, 1.0), 1.0).datagram);
        a.nextId = first.requestId + 10;
        QVERIFY(!dev.handle(a.seal(dev, get, 1.0), 1.0).datagram);
        QVERIFY(dev.record().boxKey == bootKey);
    }

    void staleOrForgottenRequestsAreRefused()
    {
        DeviceOptions o = options();
        o.cachedAnswers = 1;
        o.clientWindows = 2;
        Device dev(activeState(), o);
        wire::CommandBody get;
        get.command = wire::Command::GetKey;
        Client a, b, c, d;
        // A stamp more than 30 s off the device's clock: stale, or another boot's.
        auto late = a.seal(dev, get, 100.0);
        QVERIFY(!dev.handle(late, 131.0).datagram);
        auto early = a.seal(dev, get, 200.0);
        QVERIFY(!dev.handle(early, 150.0).datagram);
        // A client whose window was forgotten: its old requests stay refused.
        auto old = a.seal(dev, get, 300.0);
        QVERIFY(dev.handle(old, 300.0).datagram);
        QVERIFY(dev.handle(b.seal(dev, get, 301.0), 301.0).datagram);
        // The memory is full of recent clients: a's window goes, and until a's
        // requests are stale no new client is taken, c neither.
        QVERIFY(!dev.handle(c.seal(dev, get, 302.0), 302.0).datagram);
        QVERIFY(!dev.handle(old, 310.0).datagram);
        QVERIFY(dev.handle(b.seal(dev, get, 310.0), 310.0).datagram); // known clients go on
        QVERIFY(dev.handle(d.seal(dev, get, 340.0), 340.0).datagram); // a new client later is welcome
    }

    void reflectedRequestIsNeverAnAnswer()
    {
        Device dev(activeState(), options());
        Client c;
        wire::CommandBody get;
        get.command = wire::Command::GetKey;
        auto req = c.seal(dev, get);
        // The request's seal, sent back as a response with every clear field copied.
        wire::Response echo;
        echo.mac = req.mac;
        echo.serial = req.serial;
        echo.clientId = req.clientId;
        echo.requestId = req.requestId;
        echo.nonce = req.nonce;
        echo.cipher = req.cipher;
        QVERIFY(!crypto::openResponse(echo, c.keys));
        // The device's real answer opens.
        auto out = dev.handle(req, 0);
        QVERIFY(out.datagram);
        QVERIFY(c.result(*out.datagram));
        // And a request sealed to the device does not open with the device's answer key either.
        crypto::SessionKeys deviceSide;
        QVERIFY(crypto::deviceSessionKeys(crypto::newBoxKeyPair(), c.kx.pk, deviceSide));
        QVERIFY(!crypto::openRequest(req, deviceSide));
    }

    void signedAnnouncements()
    {
        DeviceState s = activeState();
        s.identity = crypto::newSignKeyPair();
        s.cert = crypto::issueCertificate(s.record.serial, s.record.mac, s.identity.pk, 1765000000, maker_);
        Device dev(s, options());
        QVERIFY(crypto::verifyCertificate(dev.state().cert, dev.record().serial, dev.record().mac, maker_.pk));
        // The certificate binds serial number and MAC, under this maker only.
        auto otherMac = dev.record().mac;
        otherMac[5] ^= 1;
        QVERIFY(!crypto::verifyCertificate(dev.state().cert, dev.record().serial, otherMac, maker_.pk));
        QVERIFY(!crypto::verifyCertificate(dev.state().cert, "ZT-OTHER", dev.record().mac, maker_.pk));
        QVERIFY(!crypto::verifyCertificate(dev.state().cert, dev.record().serial, dev.record().mac,
                                           crypto::newSignKeyPair().pk));

        auto m = dev.hello(wire::HelloReason::Answer, 5, 6, 1.5);
        QCOMPARE(m.hello.uptimeMs, uint64_t(1500));
        auto bytes = wire::encode(m);
        auto back = wire::decode(bytes.data(), bytes.size());
        QVERIFY(back && crypto::verifyHello(back->hello));
        // Any change of the signed part breaks the signature; what lies outside it does not.
        for (size_t at : {wire::kHeaderSize + 30, bytes.size() - 70, bytes.size() - 1}) {
            auto bad = bytes;
            bad[at] ^= 0x10;
            auto t = wire::decode(bad.data(), bad.size());
            QVERIFY2(!t || !crypto::verifyHello(t->hello), qPrintable(QString::number(at)));
        }
        auto other = bytes;
        other[wire::kHeaderSize + 1] ^= 1; // the inquiry's client id
        auto t = wire::decode(other.data(), other.size());
        QVERIFY(t && crypto::verifyHello(t->hello));

        // Each boot counts up and has a new command key.
        const auto firstKey = dev.record().boxKey;
        const uint32_t firstBoot = dev.record().bootId;
        dev.boot(10);
        QCOMPARE(dev.record().bootId, firstBoot + 1);
        QVERIFY(dev.record().boxKey != firstKey);
        auto bye = dev.bye();
        QVERIFY(crypto::verifyBye(bye.bye, s.identity.pk));
        bye.bye.bootId -= 1;
        QVERIFY(!crypto::verifyBye(bye.bye, s.identity.pk));
    }

    void certificatesVerifiedBeforeAreRemembered()
    {
        QTemporaryDir dir;
        const QString cache = dir.filePath("state/verified-certs");
        qputenv("ZELT_CERT_CACHE", cache.toLocal8Bit());
        const std::string trust = dir.filePath("makers.txt").toStdString();
        auto trustOnly = [&](const crypto::SignKeyPair &m) {
            QFile f(QString::fromStdString(trust));
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write((crypto::makerPublicKeyLine(m.pk) + "\n").c_str());
        };
        auto certified = [&](const char *serial, uint8_t last, const crypto::SignKeyPair &maker) {
            DeviceState s = activeState();
            s.record.serial = serial;
            s.record.mac[5] = last;
            s.identity = crypto::newSignKeyPair();
            s.cert = crypto::issueCertificate(serial, s.record.mac, s.identity.pk, 1765000000, maker);
            return Device(s, options());
        };
        // One run of the SDK hearing this hello: devices listed, certificates checked.
        auto run = [&](wire::Message hello) {
            Engine e(net::Settings{}, EngineTiming{}, {trust});
            const auto bytes = wire::encode(hello);
            e.handleDatagram(bytes.data(), bytes.size());
            std::pair<size_t, uint64_t> seen{e.deviceCount(), e.certificateChecks()};
            e.stop(); // writes what it verified
            return seen;
        };
        auto readCache = [&] {
            QFile f(cache);
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        };
        trustOnly(maker_);
        Device dev = certified("ZT-CACHE-0001", 0x31, maker_);
        auto hello = [&] { return dev.hello(wire::HelloReason::Answer, 0, 0, 1); };
        QCOMPARE(run(hello()), (std::pair<size_t, uint64_t>{1, 1}));
        QCOMPARE(QFileInfo(cache).permissions() & 0x0777, QFileDevice::ReadUser | QFileDevice::WriteUser);
        // The next run takes the certificate from the file; the hello's own
        // signature is checked all the same.
        QCOMPARE(run(hello()), (std::pair<size_t, uint64_t>{1, 0}));
        auto forged = hello();
        forged.hello.signature[0] ^= 1;
        QCOMPARE(run(forged).first, size_t(0));

        // A line changed by anyone without this user's key counts for nothing:
        // the certificate is checked again.
        QByteArray text = readCache();
        QCOMPARE(text.count('\n'), 1);
        text[text.size() - 2] = text[text.size() - 2] == '0' ? '1' : '0'; // the tag
        {
            QFile f(cache);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(text);
        }
        QCOMPARE(run(hello()), (std::pair<size_t, uint64_t>{1, 1}));
        // Nor does a line naming a trusted maker for another maker's certificate.
        Device stranger = certified("ZT-CACHE-0002", 0x32, crypto::newSignKeyPair());
        const auto h = crypto::certificateHash(stranger.state().cert, stranger.record().serial, stranger.record().mac);
        {
            QFile f(cache);
            QVERIFY(f.open(QIODevice::Append));
            f.write(QByteArray::fromStdString(crypto::toHex(h.data(), h.size()) + " "
                                              + crypto::toHex(maker_.pk.data(), maker_.pk.size()) + " "
                                              + std::string(32, '7') + "\n"));
        }
        // A run that writes the file meanwhile (a device verified anew) keeps
        // that line as it came, never with a good tag.
        Device another = certified("ZT-CACHE-0003", 0x33, maker_);
        QCOMPARE(run(another.hello(wire::HelloReason::Answer, 0, 0, 1)), (std::pair<size_t, uint64_t>{1, 1}));
        QCOMPARE(readCache().count('\n'), 3);
        QCOMPARE(run(stranger.hello(wire::HelloReason::Answer, 0, 0, 1)).first, size_t(0));

        // A maker key taken out of the trust store takes back what it certified.
        const crypto::SignKeyPair other = crypto::newSignKeyPair();
        trustOnly(other);
        QCOMPARE(run(hello()).first, size_t(0));
        QVERIFY(!readCache().contains(QByteArray::fromStdString(crypto::toHex(maker_.pk.data(), maker_.pk.size()))));
        trustOnly(maker_);
        QCOMPARE(run(hello()), (std::pair<size_t, uint64_t>{1, 1}));

        // A link in the file's place is neither read nor written through.
        const QString decoy = dir.filePath("decoy");
        {
            QFile f(decoy);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(readCache());
        }
        QFile::remove(cache);
        QVERIFY(QFile::link(decoy, cache));
        QCOMPARE(run(hello()), (std::pair<size_t, uint64_t>{1, 1}));
        QVERIFY(!QFileInfo(cache).isSymLink());
        QCOMPARE(QFileInfo(decoy).size(), qint64(readCache().size()));
        qunsetenv("ZELT_CERT_CACHE");
    }

    void certificateCacheIsBounded()
    {
        QTemporaryDir dir;
        CertCache c;
        c.load(dir.filePath("verified-certs").toStdString());
        const auto maker = crypto::newSignKeyPair().pk;
        auto hash = [](uint32_t i) {
            crypto::CertificateHash h{};
            std::memcpy(h.data(), &i, sizeof i);
            return h;
        };
        const uint32_t full = CertCache::kMaxEntries + CertCache::kMaxEntries / 8;
        for (uint32_t i = 0; i < full; ++i)
            c.remember(hash(i), maker);
        QCOMPARE(c.size(), size_t(full));
        QVERIFY(c.lookup(hash(0))); // used just now: kept when the oldest go
        c.remember(hash(full), maker);
        QVERIFY(c.size() <= CertCache::kMaxEntries);
        QVERIFY(c.lookup(hash(0)));
        QVERIFY(!c.lookup(hash(1)));
        QVERIFY(c.lookup(hash(full)));
        QVERIFY(c.save());
        QFile f(dir.filePath("verified-certs"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(f.readAll().count('\n') <= qsizetype(CertCache::kMaxEntries));
    }

    void restoreWithSecurityCodeMakesInactive()
    {
        Device dev(activeState(), options());
        Client c;
        wire::CommandBody restore;
        restore.command = wire::Command::RestoreDefault;
        restore.securityCode = "WRONG";
        QCOMPARE(run(dev, c, restore, 0), uint8_t(ZELT_ERR_BAD_SECURITY_CODE));
        restore.securityCode = "SECRET-CODE-1";
        QCOMPARE(run(dev, c, restore, 0), uint8_t(0));
        QCOMPARE(int(dev.record().inactive), 1);
        QCOMPARE(run(dev, c, setNet("Admin12345", {10, 0, 0, 9}), 0), uint8_t(ZELT_ERR_NOT_ACTIVATED));
    }

    void keyFileReset()
    {
        Device dev(activeState(), options());
        Client c;
        wire::CommandBody get;
        get.command = wire::Command::GetKey;
        wire::Bytes data;
        QCOMPARE(run(dev, c, get, 0, nullptr, &data), uint8_t(0));
        std::string exported(data.begin(), data.end());

        wire::CommandBody reset;
        reset.command = wire::Command::ResetPassword;
        reset.newPassword = "NewPass123";
        reset.keyFile.assign(exported.begin(), exported.end());
        QCOMPARE(run(dev, c, reset, 0), uint8_t(ZELT_ERR_BAD_KEY_FILE)); // unsigned

        auto otherKey = crypto::makeKeyData("OTHER-SERIAL", "02-5a-00-00-00-01", crypto::parseKeyData(exported)->nonce);
        auto otherSigned = *crypto::signKeyFile(otherKey, maker_);
        reset.keyFile.assign(otherSigned.begin(), otherSigned.end());
        QCOMPARE(run(dev, c, reset, 0), uint8_t(ZELT_ERR_BAD_KEY_FILE)); // another device's

        auto signedFile = *crypto::signKeyFile(exported, maker_);
        reset.keyFile.assign(signedFile.begin(), signedFile.end());
        reset.newPassword = "weak";
        QCOMPARE(run(dev, c, reset, 0), uint8_t(ZELT_ERR_WEAK_PASSWORD)); // policy first; file still valid
        reset.newPassword = "NewPass123";
        QCOMPARE(run(dev, c, reset, 0), uint8_t(0));
        QCOMPARE(run(dev, c, setNet("NewPass123", {10, 0, 0, 9}), 0), uint8_t(0));
        QCOMPARE(run(dev, c, reset, 0), uint8_t(ZELT_ERR_BAD_KEY_FILE)); // used once

        // Without a new password the file restores the inactive state.
        QCOMPARE(run(dev, c, get, 0, nullptr, &data), uint8_t(0));
        auto second = *crypto::signKeyFile(std::string(data.begin(), data.end()), maker_);
        reset.keyFile.assign(second.begin(), second.end());
        reset.newPassword.clear();
        QCOMPARE(run(dev, c, reset, 0), uint8_t(0));
        QCOMPARE(int(dev.record().inactive), 1);
    }

    void deviceChecksNetworkParameters()
    {
        Device dev(activeState(), options());
        Client c;
        QCOMPARE(run(dev, c, setNet("Admin12345", {10, 0, 0, 0}), 0), uint8_t(ZELT_ERR_BAD_PARAMETERS));
        QCOMPARE(run(dev, c, setNet("Admin12345", {224, 0, 0, 5}), 0), uint8_t(ZELT_ERR_BAD_PARAMETERS));
        auto mask = setNet("Admin12345", {10, 0, 0, 5});
        mask.mask = {255, 0, 255, 0};
        mask.netFlags |= wire::kSetMask;
        QCOMPARE(run(dev, c, mask, 0), uint8_t(ZELT_ERR_BAD_PARAMETERS));
        auto v6 = setNet("Admin12345", {10, 0, 0, 5});
        v6.netFlags |= wire::kSetIpv6;
        v6.ipv6[0] = 0xfd;
        QCOMPARE(run(dev, c, v6, 0), uint8_t(ZELT_ERR_NOT_SUPPORTED)); // no IPv6 change capability
        QCOMPARE(dev.record().ipv4, (wire::Ip4{10, 0, 0, 2}));         // nothing applied

        // The subnet's own and broadcast addresses follow the mask: the
        // request's if it sets one, else the device's (here /24).
        QCOMPARE(run(dev, c, setNet("Admin12345", {10, 0, 2, 255}), 0), uint8_t(ZELT_ERR_BAD_PARAMETERS));
        auto wide = [&](wire::Ip4 ip, wire::Ip4 m) {
            auto b = setNet("Admin12345", ip);
            b.mask = m;
            b.netFlags |= wire::kSetMask;
            return run(dev, c, b, 0);
        };
        QCOMPARE(wide({10, 77, 2, 255}, {255, 255, 0, 0}), uint8_t(0));
        QCOMPARE(dev.record().ipv4, (wire::Ip4{10, 77, 2, 255}));
        QCOMPARE(run(dev, c, setNet("Admin12345", {10, 77, 3, 0}), 0), uint8_t(0)); // the kept /16
        QCOMPARE(wide({10, 77, 0, 0}, {255, 255, 0, 0}), uint8_t(ZELT_ERR_BAD_PARAMETERS));
        QCOMPARE(wide({10, 77, 255, 255}, {255, 255, 0, 0}), uint8_t(ZELT_ERR_BAD_PARAMETERS));
        QCOMPARE(wide({10, 77, 4, 64}, {255, 255, 255, 192}), uint8_t(ZELT_ERR_BAD_PARAMETERS));
        QCOMPARE(wide({10, 77, 4, 4}, {255, 255, 255, 254}), uint8_t(0)); // a /31 has two hosts
        QCOMPARE(dev.record().ipv4, (wire::Ip4{10, 77, 4, 4}));
    }
};

QTEST_GUILESS_MAIN(TestZeltCore)
#include "tst_zelt_core.moc"
