// Several hosts in network namespaces this test creates: a client host with
// two network cards between two device segments. Real multicast over veth
// links, interfaces chosen automatically, commands to devices whose
// addresses lie in foreign subnets. Skipped when namespaces cannot be made.
#include "../platform/zelt/simprocess.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <QtTest>

class TestZeltNetns : public QObject
{
    Q_OBJECT
    QString ip_;
    QString tag_ = QString::number(QCoreApplication::applicationPid() % 100000);
    QTemporaryDir dir_;
    QStringList namespaces_;
    std::vector<pid_t> sims_;
    quint16 port_ = SimProcess::portFor(3);

    QString ns(const char *name) const { return QString("zt%1%2").arg(name, tag_); }
    bool ipRun(const QStringList &args) { return runProgram(ip_, args, dir_.path()) == 0; }
    // A command inside a namespace, without the test's interface choice.
    QStringList inNs(const QString &n, const QStringList &cmd) const
    {
        return QStringList{"netns", "exec", n, "env", "-u", "ZELT_INTERFACES"} + cmd;
    }
    int ctl(const QString &n, const QStringList &args, QByteArray *out = nullptr, const QString &interfaces = {})
    {
        QStringList cmd{SimProcess::binDir() + "/zeltctl", "--port", QString::number(port_)};
        if (!interfaces.isEmpty())
            cmd << "--interfaces" << interfaces;
        pid_t pid = spawnProgram(ip_, inNs(n, cmd + args), dir_.filePath("ctl.out"), dir_.filePath("ctl.err"));
        int status = 0;
        if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
            return -1;
        if (out) {
            QFile f(dir_.filePath("ctl.out"));
            f.open(QIODevice::ReadOnly);
            *out = f.readAll();
        }
        return WEXITSTATUS(status);
    }
    bool link(const QString &a, const QString &b, const QString &ifA, const QString &ifB, const QString &net)
    {
        return ipRun({"link", "add", ifA, "type", "veth", "peer", "name", ifB})
               && ipRun({"link", "set", ifA, "netns", a}) && ipRun({"link", "set", ifB, "netns", b})
               && ipRun({"-n", a, "addr", "add", net + ".1/24", "dev", ifA})
               && ipRun({"-n", b, "addr", "add", net + ".2/24", "dev", ifB})
               && ipRun({"-n", a, "link", "set", ifA, "up"}) && ipRun({"-n", b, "link", "set", ifB, "up"});
    }
    bool startSim(const QString &n, const QString &seed, const QString &card)
    {
        const QString ready = dir_.filePath("ready" + seed);
        pid_t pid = spawnProgram(
            ip_,
            inNs(n, {SimProcess::binDir() + "/zelt-devsim", "--interfaces", card, "--port", QString::number(port_),
                     "--count", "4", "--seed", seed, "--quiet", "--exit-with-parent", "--ready-file", ready,
                     "--maker-key", dir_.filePath("maker.key")}),
            dir_.filePath("sim" + seed + ".out"), dir_.filePath("sim" + seed + ".err"));
        if (pid < 0)
            return false;
        sims_.push_back(pid);
        QElapsedTimer t;
        t.start();
        while (!QFile::exists(ready) && t.elapsed() < 10000)
            QTest::qWait(20);
        return QFile::exists(ready);
    }

private slots:
    void initTestCase()
    {
        ip_ = QStandardPaths::findExecutable("ip", {"/usr/sbin", "/sbin", "/usr/bin", "/bin"});
        if (geteuid() != 0 || ip_.isEmpty())
            QSKIP("needs root and ip(8) to create network namespaces");
        QVERIFY(SimProcess::trustMaker(dir_.filePath("maker.key")));
        for (const char *n : {"a", "b", "c"}) {
            if (!ipRun({"netns", "add", ns(n)}))
                QSKIP("network namespaces are not available here");
            namespaces_ << ns(n);
            QVERIFY(ipRun({"-n", ns(n), "link", "set", "lo", "up"}));
        }
        // b is the client host with two cards, one towards a and one towards c.
        QVERIFY(link(ns("a"), ns("b"), "zv" + tag_ + "a", "zv" + tag_ + "b", "10.201.0"));
        QVERIFY(link(ns("c"), ns("b"), "zv" + tag_ + "c", "zv" + tag_ + "d", "10.202.0"));
        QVERIFY(startSim(ns("a"), "1", "zv" + tag_ + "a"));
        QVERIFY(startSim(ns("c"), "2", "zv" + tag_ + "c"));
    }

    void cleanupTestCase()
    {
        for (pid_t p : sims_) {
            ::kill(p, SIGTERM);
            waitpid(p, nullptr, 0);
        }
        for (const QString &n : namespaces_)
            ipRun({"netns", "del", n}); // removes the links too
    }

    void findsDevicesBehindEveryCard()
    {
        QByteArray out;
        QCOMPARE(ctl(ns("b"), {"list", "--json", "--count", "8", "--timeout", "6"}, &out), 0);
        const QJsonArray all = QJsonDocument::fromJson(out).array();
        QCOMPARE(all.size(), 8);
        // Restricted to one card, only that segment's devices answer.
        QCOMPARE(ctl(ns("b"), {"list", "--json", "--timeout", "2"}, &out, "zv" + tag_ + "b"), 0);
        const QJsonArray one = QJsonDocument::fromJson(out).array();
        QCOMPARE(one.size(), 4);
        for (const auto &v : one)
            QVERIFY(v.toObject()["mac"].toString().startsWith("02-5a-01-"));
    }

    void reconfiguresADeviceInAForeignSubnet()
    {
        // The devices' addresses (10.2.x.x, 172.16.x.x) match neither link's subnet.
        const QString mac = "02-5a-02-00-00-01";
        QCOMPARE(
            ctl(ns("b"), {"set-ip", mac, "--password", "Admin12345", "--ip", "10.202.0.77", "--mask", "255.255.255.0"}),
            0);
        QByteArray out;
        QCOMPARE(ctl(ns("b"), {"list", "--json", "--count", "8", "--timeout", "6"}, &out), 0);
        QString ipNow;
        for (const auto &v : QJsonDocument::fromJson(out).array())
            if (v.toObject()["mac"].toString() == mac)
                ipNow = v.toObject()["ipv4"].toString();
        QCOMPARE(ipNow, QString("10.202.0.77"));
    }
};

QTEST_GUILESS_MAIN(TestZeltNetns)
#include "tst_zelt_netns.moc"
