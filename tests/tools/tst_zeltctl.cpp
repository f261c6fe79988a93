// zeltctl against zelt-devsim, end to end on loopback.
#include "../platform/zelt/simprocess.h"

#include <QJsonArray>
#include <QProcess>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

class TestZeltctl : public QObject
{
    Q_OBJECT
    SimProcess sim_{0};
    quint16 ctlPort_ = 0;         // another simulator than sim_, for a while
    QString freshPasswordSerial_; // the device keyFileReset gave a new password

    struct Run {
        int code;
        QByteArray out, err;
    };
    Run ctl(const QStringList &args, const QByteArray &input = {}, const QMap<QString, QString> &extraEnv = {})
    {
        QProcess p;
        p.setProgram(SimProcess::binDir() + "/zeltctl");
        p.setArguments(QStringList{"--interfaces", "lo", "--port", QString::number(ctlPort_ ? ctlPort_ : sim_.port)}
                       + args);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("ZELT_WINDOW_MS", "200");
        for (auto it = extraEnv.begin(); it != extraEnv.end(); ++it)
            env.insert(it.key(), it.value());
        p.setProcessEnvironment(env);
        p.start();
        p.write(input);
        p.closeWriteChannel();
        if (!p.waitForFinished(30000))
            return {-1, {}, "hung"};
        return {p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError()};
    }
    QJsonArray list()
    {
        Run r = ctl({"list", "--json", "--count", "24", "--timeout", "5"});
        if (r.code != 0)
            return {};
        return QJsonDocument::fromJson(r.out).array();
    }
    QJsonObject find(const QJsonArray &devices, const std::function<bool(const QJsonObject &)> &pred)
    {
        for (const auto &v : devices)
            if (pred(v.toObject()))
                return v.toObject();
        return {};
    }

private slots:
    void initTestCase() { QVERIFY(sim_.start({"--lockout-seconds", "3"})); }

    void usageAndUnknownDevices()
    {
        QCOMPARE(ctl({"frobnicate"}).code, 2);
        QCOMPARE(ctl({"activate"}).code, 2);
        Run r = ctl({"--timeout", "1", "activate", "NO-SUCH-DEVICE", "Passw0rd99"});
        QCOMPARE(r.code, 3);
        QVERIFY(r.err.contains("no such device"));
    }

    void listsTheFleet()
    {
        const QJsonArray devices = list();
        QCOMPARE(devices.size(), 24);
        const QJsonObject d = devices.first().toObject();
        QVERIFY(d["serial"].toString().startsWith("ZT-"));
        QVERIFY(d["mac"].toString().startsWith("02-5a-"));
        Run table = ctl({"list", "--count", "24"});
        QCOMPARE(table.code, 0);
        QVERIFY(table.out.contains("24 device(s)"));
        Run tooFew = ctl({"list", "--count", "25", "--timeout", "1"});
        QCOMPARE(tooFew.code, 4);
        QVERIFY(tooFew.out.contains("24 device(s)"));
    }

    void activateSetIpRestore()
    {
        const QJsonArray devices = list();
        QJsonObject fresh = find(
            devices, [](const QJsonObject &o) { return !o["active"].toBool() && o["type"].toInt() < 0x9D00; });
        QVERIFY(!fresh.isEmpty());
        const QString serial = fresh["serial"].toString();
        QCOMPARE(ctl({"activate", serial, "short"}).code, 1);
        QCOMPARE(ctl({"activate", serial, "Passw0rd99"}).code, 0);
        QCOMPARE(ctl({"activate", serial, "Passw0rd99"}).code, 1); // already active
        QCOMPARE(ctl({"set-ip", serial, "--password", "Wrong99999", "--ip", "192.168.70.5"}).code, 7);
        QCOMPARE(ctl({"set-ip", fresh["mac"].toString(), "--password", "Passw0rd99", "--ip", "192.168.70.5", "--mask",
                      "255.255.0.0"})
                     .code,
                 0);
        QJsonObject now = find(list(), [&](const QJsonObject &o) { return o["serial"].toString() == serial; });
        QCOMPARE(now["ipv4"].toString(), QString("192.168.70.5"));
        QCOMPARE(now["mask"].toString(), QString("255.255.0.0"));
        QVERIFY(now["active"].toBool());
        QCOMPARE(ctl({"sync-time", "--password", "Wrong99999", serial}).code, 7);
        Run synced = ctl({"sync-time", "--password", "Passw0rd99", serial});
        QCOMPARE(synced.code, 0);
        QVERIFY(synced.out.contains("sync-time " + serial.toLatin1() + ": done"));

        QCOMPARE(ctl({"restore", serial, "wrong-code"}).code, 7);
        QCOMPARE(ctl({"restore", serial, sim_.securityCode(serial)}).code, 0);
        now = find(list(), [&](const QJsonObject &o) { return o["serial"].toString() == serial; });
        QVERIFY(!now["active"].toBool());
    }

    void addressRunAndDhcp()
    {
        const QJsonArray devices = list();
        QStringList run;
        for (const auto &v : devices) {
            QJsonObject o = v.toObject();
            if (o["active"].toBool() && o["type"].toInt() < 0x9D00 && run.size() < 3)
                run << o["serial"].toString();
        }
        QCOMPARE(run.size(), 3);
        QCOMPARE(ctl(QStringList{"set-ip", "--run", "192.168.80.254", "--password", "Admin12345"} + run).code, 0);
        const QJsonArray after = list();
        QStringList got;
        for (const QString &s : run)
            got << find(after, [&](const QJsonObject &o) { return o["serial"].toString() == s; })["ipv4"].toString();
        QCOMPARE(got, (QStringList{"192.168.80.254", "192.168.81.1", "192.168.81.2"}));

        QJsonObject dhcp = find(after, [](const QJsonObject &o) {
            return o["active"].toBool() && (o["support"].toInt() & 4) && !o["dhcp"].toBool()
                   && o["type"].toInt() < 0x9D00;
        });
        // Capabilities are known only from devices with extended information.
        QJsonObject noDhcp = find(after, [](const QJsonObject &o) {
            return o["active"].toBool() && o["extended"].toBool() && !(o["support"].toInt() & 4);
        });
        QVERIFY(!dhcp.isEmpty() && !noDhcp.isEmpty());
        QCOMPARE(ctl({"dhcp", "on", "--password", "Admin12345", dhcp["serial"].toString()}).code, 0);
        QCOMPARE(ctl({"dhcp", "on", "--password", "Admin12345", noDhcp["serial"].toString()}).code, 1); // not supported
        QCOMPARE(ctl({"dhcp", "on", "--password", "Admin12345", dhcp["serial"].toString(), noDhcp["serial"].toString()})
                     .code,
                 8);
        QVERIFY(find(list(), [&](const QJsonObject &o) { return o["serial"] == dhcp["serial"]; })["dhcp"].toBool());
    }

    void keyFileReset()
    {
        QJsonObject d = find(
            list(), [](const QJsonObject &o) { return o["active"].toBool() && (o["support"].toInt() & 0x40); });
        QVERIFY(!d.isEmpty());
        const QString serial = d["serial"].toString();
        freshPasswordSerial_ = serial;
        const QString key = sim_.dir.filePath("DeviceKey.xml"), signedKey = sim_.dir.filePath("Signed.xml");
        QCOMPARE(ctl({"export-key", serial, key}).code, 0);
        QVERIFY(QFileInfo(key).size() > 0);
        QCOMPARE(ctl({"reset", serial, "--key-file", key, "--new-password", "Fresh12345"}).code, 1); // not signed
        QCOMPARE(sim_.sign(key, signedKey), 0);
        QCOMPARE(ctl({"reset", serial, "--key-file", signedKey, "--new-password", "Fresh12345"}).code, 0);
        QCOMPARE(ctl({"set-ip", serial, "--password", "Fresh12345", "--port", "8200"}).code, 0);
        QCOMPARE(ctl({"reset", serial, "--key-file", sim_.dir.filePath("missing.xml")}).code, 1);
    }

    void stateSurvivesRestart()
    {
        SimProcess sim(1);
        const QString state = sim.dir.filePath("state.json");
        QVERIFY(sim.start({"--count", "6", "--state", state}));
        ctlPort_ = sim.port;
        auto restore = qScopeGuard([&] { ctlPort_ = 0; });
        auto devices = [&] {
            Run r = ctl({"list", "--json", "--count", "6", "--timeout", "5"});
            return QJsonDocument::fromJson(r.out).array();
        };
        QJsonObject fresh = find(devices(), [](const QJsonObject &o) { return !o["active"].toBool(); });
        QVERIFY(!fresh.isEmpty());
        const QString serial = fresh["serial"].toString();
        QCOMPARE(ctl({"activate", serial, "Persist123"}).code, 0);
        QCOMPARE(ctl({"set-ip", serial, "--password", "Persist123", "--ip", "192.168.90.9"}).code, 0);
        const QString key = sim.dir.filePath("k.xml"), signedKey = sim.dir.filePath("s.xml");
        QJsonObject keyed = find(
            devices(), [](const QJsonObject &o) { return o["active"].toBool() && (o["support"].toInt() & 0x40); });
        QCOMPARE(ctl({"export-key", keyed["serial"].toString(), key}).code, 0);
        QCOMPARE(sim.sign(key, signedKey), 0);

        sim.terminate();
        QVERIFY(sim.start({"--count", "6", "--state", state}));
        QVERIFY(sim.output().contains("state restored"));
        QJsonObject again = find(devices(), [&](const QJsonObject &o) { return o["serial"].toString() == serial; });
        QVERIFY(again["active"].toBool());
        QCOMPARE(again["ipv4"].toString(), QString("192.168.90.9"));
        QCOMPARE(ctl({"set-ip", serial, "--password", "Persist123", "--port", "8300"}).code, 0);
        // A key exported before the restart still resets once after it.
        QCOMPARE(
            ctl({"reset", keyed["serial"].toString(), "--key-file", signedKey, "--new-password", "After12345"}).code,
            0);
        QCOMPARE(
            ctl({"reset", keyed["serial"].toString(), "--key-file", signedKey, "--new-password", "After12345"}).code,
            1);
    }

    void fleetFromConfiguration()
    {
        SimProcess sim(2);
        const QString config = sim.dir.filePath("fleet.json");
        QFile f(config);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(R"({"lockout_seconds": 1, "devices": [
            {"serial": "CFG-0001", "mac": "02-aa-00-00-00-01", "ipv4": "192.168.5.5", "password": "Conf1gPass", "support": 4},
            {"serial": "CFG-0002", "mac": "02-aa-00-00-00-02", "ipv4": "192.168.5.6", "inactive": true, "http_port": 0,
             "extended": false, "type": 40192}]})");
        f.close();
        QVERIFY(sim.start({"--config", config}));
        ctlPort_ = sim.port;
        auto restore = qScopeGuard([&] { ctlPort_ = 0; });
        Run r = ctl({"list", "--json", "--count", "2"});
        const QJsonArray devices = QJsonDocument::fromJson(r.out).array();
        QCOMPARE(devices.size(), 2);
        QJsonObject second = find(devices, [](const QJsonObject &o) { return o["serial"] == "CFG-0002"; });
        QCOMPARE(second["active"].toBool(), false);
        QCOMPARE(second["http_port"].toInt(), 0);
        QCOMPARE(second["extended"].toBool(), false);
        QCOMPARE(second["type"].toInt(), 0x9D00);
        QCOMPARE(ctl({"set-ip", "CFG-0001", "--password", "Conf1gPass", "--ip", "192.168.5.50"}).code, 0);
        QCOMPARE(ctl({"dhcp", "on", "--password", "Conf1gPass", "CFG-0001"}).code, 0);

        // A broken configuration is refused with a usage error.
        SimProcess broken(3);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(R"({"devices": [{"serial": "X", "mac": "nope"}]})");
        f.close();
        QVERIFY(!broken.start({"--config", config}));
        QVERIFY(broken.errors().contains("bad mac"));
    }

    void secretsWithoutTheCommandLine()
    {
        // Any device that still has the fleet's password (the list comes in
        // arrival order, so not simply the first active one).
        QJsonObject d = find(list(), [&](const QJsonObject &o) {
            return o["active"].toBool() && o["type"].toInt() < 0x9D00 && o["serial"].toString() != freshPasswordSerial_;
        });
        QVERIFY(!d.isEmpty());
        const QString mac = d["mac"].toString();
        QCOMPARE(ctl({"set-ip", mac, "--password", "-", "--port", "8401"}, "Admin12345\n").code, 0);
        const QString file = sim_.dir.filePath("pw.txt");
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("Admin12345\r\nsecond line ignored\n");
        f.close();
        QCOMPARE(ctl({"set-ip", mac, "--password-file", file, "--port", "8402"}).code, 0);
        QCOMPARE(ctl({"set-ip", mac, "--port", "8403"}, {}, {{"ZELT_PASSWORD", "Admin12345"}}).code, 0);
        QCOMPARE(ctl({"set-ip", mac, "--port", "8404"}, {}, {{"ZELT_PASSWORD", "Wrong12345"}}).code, 7);
        QCOMPARE(ctl({"set-ip", mac, "--password-file", sim_.dir.filePath("missing")}).code, 2);
        QCOMPARE(ctl({"set-ip", mac, "--port", "8405"}).code, 2); // no password from anywhere
        QCOMPARE(find(list(), [&](const QJsonObject &o) { return o["mac"] == mac; })["port"].toInt(), 8403);
        Run help = ctl({"--help"});
        QVERIFY(help.out.contains("ZELT_PASSWORD") && help.out.contains("--password-file")
                && help.out.contains("standard input"));
    }

    void securityCodesAndStateFiles()
    {
        // Same seed, same devices, but security codes from the system's random source.
        SimProcess a(4), b(5);
        QVERIFY(a.start({"--count", "3"}));
        QVERIFY(b.start({"--count", "3"}));
        const QString serial = "ZT-IPC2141-000100000001";
        QVERIFY(!a.securityCode(serial).isEmpty());
        QVERIFY(a.securityCode(serial) != b.securityCode(serial));

        // The state file holds identities and credentials: private, and never
        // replaced when it cannot be read.
        SimProcess c(6);
        const QString state = c.dir.filePath("state.json");
        QVERIFY(c.start({"--count", "2", "--state", state}));
        c.terminate();
        QCOMPARE(QFile(state).permissions()
                     & (QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup | QFile::WriteOther),
                 QFile::Permissions());
        QFile sf(state);
        QVERIFY(sf.open(QIODevice::ReadOnly));
        const QByteArray kept = sf.readAll();
        sf.close();
        QVERIFY(kept.contains("identity_key") && kept.contains("cert_signature") && kept.contains("boot_counter"));
        QVERIFY(sf.open(QIODevice::WriteOnly | QIODevice::Truncate));
        sf.write(kept.left(kept.size() / 2)); // cut short
        sf.close();
        QVERIFY(!c.start({"--count", "2", "--state", state}));
        QVERIFY(c.errors().contains("unusable"));
        QVERIFY(sf.open(QIODevice::ReadOnly));
        QCOMPARE(sf.readAll(), kept.left(kept.size() / 2));
    }

    void lockoutExitCode()
    {
        QJsonObject d = find(list(), [&](const QJsonObject &o) {
            return o["active"].toBool() && o["type"].toInt() < 0x9D00 && !(o["support"].toInt() & 0x40)
                   && o["serial"].toString() != freshPasswordSerial_;
        });
        QVERIFY(!d.isEmpty());
        // An earlier test may have left a failed attempt on this device: a
        // success starts the count afresh.
        QCOMPARE(ctl({"set-ip", d["mac"].toString(), "--password", "Admin12345"}).code, 0);
        for (int i = 0; i < 5; ++i)
            QCOMPARE(ctl({"set-ip", d["mac"].toString(), "--password", "Nope123456"}).code, 7);
        QCOMPARE(ctl({"set-ip", d["mac"].toString(), "--password", "Admin12345"}).code, 6);
    }
};

QTEST_GUILESS_MAIN(TestZeltctl)
#include "tst_zeltctl.moc"
