// "Synchronize time" end to end: zelt-devsim on loopback with clocks
// 3 min 20 s behind this host's, a ZELT device and an ONVIF-only one, the
// real SDK behind the shell's hub, the panel's button clicked as a user
// would, and the devices' clocks read back from the simulator's state file.

#include <QApplication>
#include <QJsonObject>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QtTest>

#include "QtZelt.h"
#include "QtZeltItemModel.h"
#include "ZeltDialogCatcher.h"
#include "ZeltHubPanel.h"
#include "simprocess.h"

using Col = QtZeltItemModel::Column;

class ZeltTimeEndToEndTest : public QObject, public ZeltTest::HubPanel
{
    Q_OBJECT

    SimProcess m_sim{7};
    QTemporaryDir m_tmp;
    DialogCatcher *m_msgs = nullptr;

    QString StatePath() const { return m_sim.dir.filePath("state.json"); }
    QString Cell(int row, int col) const { return Model()->index(row, col).data().toString().trimmed(); }
    // The first row of an active device whose identity is known this way.
    int RowOf(const QString &trust) const
    {
        for (int r = 0; r < Model()->rowCount(); ++r)
            if (Cell(r, Col::ColTrust) == trust && Cell(r, Col::ColSafety) == "Active")
                return r;
        return -1;
    }
    // The tool tip of the device's row: its clock as the SDK measured it.
    QString ClockTip(const QString &mac) const
    {
        for (int r = 0; r < Model()->rowCount(); ++r)
            if (Cell(r, Col::ColMac) == mac)
                return Model()->index(r, Col::ColIPv4).data(Qt::ToolTipRole).toString();
        return QStringLiteral("no row");
    }
    // The device's clock as it keeps it: its offset to this host's, in ms.
    qint64 ClockOffsetMs(const QString &mac) const
    {
        return qint64(ZeltTest::SimDeviceState(StatePath(), "mac", mac).value("clock_offset_ms").toDouble());
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_tmp.isValid());
        qputenv("XDG_STATE_HOME", m_tmp.path().toLocal8Bit());  // the SDK's log and pins
        qputenv("XDG_CONFIG_HOME", m_tmp.path().toLocal8Bit()); // no ranges of the user's
        qputenv("ZELT_PORT", QByteArray::number(m_sim.port));
        const QByteArray wsd = QByteArray::number(m_sim.port + 1000);
        qputenv("ZELT_WSD_PORT", wsd);
        // Four devices: the first active one speaks ONVIF only (tokens
        // judged by its own clock, so the SDK reads that clock first).
        QVERIFY2(m_sim.start({"--count", "4", "--onvif", "1", "--onvif-only", "--clock-skew", "-200", "--wsd-port",
                              QString::fromLatin1(wsd), "--state", StatePath(), "--quiet"}),
                 m_sim.errors().constData());
        m_msgs = new DialogCatcher;
        QVERIFY(StartPanel());
        QTRY_COMPARE_WITH_TIMEOUT(Model()->rowCount(), 4, 15000);
    }
    void cleanupTestCase()
    {
        StopPanel();
        delete m_msgs;
        m_sim.terminate();
    }
    void init() { m_msgs->clear(); }

    // A ZELT device: a wrong password leaves its clock as it was and is
    // named among the failures; the right one sets it, and its answer
    // brings the clock, now in step, into the row.
    void zeltDevice()
    {
        const int row = RowOf("Verified");
        QVERIFY(row >= 0);
        const QString mac = Cell(row, Col::ColMac), id = Cell(row, Col::ColId);
        QCOMPARE(ClockOffsetMs(mac), qint64(-200000));
        QCOMPARE(ClockTip(mac), QString()); // its announcements tell no clock
        Select({row});
        Type("lineEditPort_Password", "Wrong12345");
        QVERIFY(Act("pushButtonSyncTime"));
        QCOMPARE(m_msgs->lastText(), "Time synchronization failed!ID:" + id + " ");
        QCOMPARE(ClockOffsetMs(mac), qint64(-200000));
        Type("lineEditPort_Password", "Admin12345");
        QVERIFY(Act("pushButtonSyncTime"));
        QCOMPARE(m_msgs->lastText(), "Time synchronized.ID:" + id + " ");
        QTRY_VERIFY_WITH_TIMEOUT(qAbs(ClockOffsetMs(mac)) < 1000, 3000); // saved after the answer went
        QTRY_COMPARE(ClockTip(mac), QString("Clock: in step with this computer"));
    }

    // An ONVIF device cannot prove who it is: the password goes to it
    // after the user's Yes. Its clock, read before a wrong password is
    // refused, shows in the row; the right one sets it over the device
    // service, and the row says it is in step.
    void onvifDevice()
    {
        const int row = RowOf("Uncertified");
        QVERIFY(row >= 0);
        const QString mac = Cell(row, Col::ColMac), id = Cell(row, Col::ColId);
        QCOMPARE(ClockOffsetMs(mac), qint64(-200000));
        Select({row});
        Type("lineEditPort_Password", "Wrong12345");
        QVERIFY(Act("pushButtonSyncTime"));
        QCOMPARE(m_msgs->count("Identity not verified"), 1);
        QCOMPARE(m_msgs->lastText(), "Time synchronization failed!ID:" + id + " ");
        QTRY_COMPARE(ClockTip(mac), QString("Clock: 3 min 20 s behind this computer"));
        QCOMPARE(ClockOffsetMs(mac), qint64(-200000));
        Select({RowOf("Uncertified")});
        Type("lineEditPort_Password", "Admin12345");
        QVERIFY(Act("pushButtonSyncTime"));
        QCOMPARE(m_msgs->lastText(), "Time synchronized.ID:" + id + " ");
        QTRY_VERIFY_WITH_TIMEOUT(qAbs(ClockOffsetMs(mac)) < 1000, 3000);
        QTRY_COMPARE(ClockTip(mac), QString("Clock: in step with this computer"));
    }
};

QTEST_MAIN(ZeltTimeEndToEndTest)
#include "tst_zelt_time_e2e.moc"
