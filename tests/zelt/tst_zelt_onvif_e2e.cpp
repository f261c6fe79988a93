// The panel with ONVIF devices end to end: zelt-devsim on loopback playing
// ZELT devices and ONVIF-only ones, the real SDK behind the shell's hub, one
// table for both, an address change of an ONVIF device from the panel, and
// the refusal of what ONVIF lacks.

#include <QApplication>
#include <QItemSelectionModel>
#include <QJsonObject>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QtTest>

#include "CTableView.h"
#include "LineEdits.h"
#include "QtZelt.h"
#include "QtZeltItemModel.h"
#include "ZeltDialogCatcher.h"
#include "ZeltHubPanel.h"
#include "simprocess.h"

using Col = QtZeltItemModel::Column;

class ZeltOnvifEndToEndTest : public QObject, public ZeltTest::HubPanel
{
    Q_OBJECT

    SimProcess m_sim{6};
    QTemporaryDir m_tmp;
    DialogCatcher *m_msgs = nullptr;

    QString StatePath() const { return m_sim.dir.filePath("state.json"); }

    int RowOfMac(const QString &mac)
    {
        for (int r = 0; r < Model()->rowCount(); ++r)
            if (Model()->index(r, Col::ColMac).data().toString().trimmed() == mac)
                return r;
        return -1;
    }
    QString Cell(const QString &mac, int col) { return Model()->index(RowOfMac(mac), col).data().toString().trimmed(); }
    QJsonObject State(const QString &mac) { return ZeltTest::SimDeviceState(StatePath(), "mac", mac); }
    void Select(const QString &mac)
    {
        const int r = RowOfMac(mac);
        QVERIFY2(r >= 0, qPrintable(mac));
        HubPanel::Select({r});
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_tmp.isValid());
        qputenv("XDG_STATE_HOME", m_tmp.path().toLocal8Bit());
        qputenv("ZELT_PORT", QByteArray::number(m_sim.port));
        const QByteArray wsd = QByteArray::number(m_sim.port + 1000);
        qputenv("ZELT_WSD_PORT", wsd);
        // Six devices: the first two active ones speak ONVIF only.
        QVERIFY2(m_sim.start({"--count", "6", "--onvif", "2", "--onvif-only", "--wsd-port", QString::fromLatin1(wsd),
                              "--state", StatePath(), "--quiet"}),
                 m_sim.errors().constData());

        m_msgs = new DialogCatcher;
        QVERIFY(StartPanel());
        QTRY_COMPARE_WITH_TIMEOUT(Model()->rowCount(), 6, 15000);
    }
    void cleanupTestCase()
    {
        StopPanel();
        delete m_msgs;
        m_sim.terminate();
    }
    void init()
    {
        m_msgs->clear();
        HideTip();
    }

    void oneTableForBoth()
    {
        // The ONVIF rows: address and port from the device's XAddr, the
        // endpoint's UUID standing in for the serial number.
        const QString onvif = "02-5a-01-00-00-00", zelt = "02-5a-01-00-00-03";
        QVERIFY(RowOfMac(onvif) >= 0 && RowOfMac(zelt) >= 0);
        QCOMPARE(Cell(onvif, Col::ColIPv4), QString("127.0.0.1"));
        QCOMPARE(Cell(onvif, Col::ColSerial).size(), 36);
        QCOMPARE(Cell(onvif, Col::ColSafety), QString("Active"));
        QCOMPARE(Cell(zelt, Col::ColSerial), QString("ZT-NVR7716-000100000004"));
        // How each one's identity is known, from the SDK through the hub.
        QCOMPARE(Cell(onvif, Col::ColTrust), QString("Uncertified"));
        QCOMPARE(Cell(zelt, Col::ColTrust), QString("Verified"));
    }

    void changeTheAddressOfAnOnvifDevice()
    {
        const QString mac = "02-5a-01-00-00-01";
        // The device cannot prove who it is: No sends it nothing, not even
        // the right password.
        Select(mac);
        Type("lineEditIPAddr", "10.1.3.40");
        Type("lineEditIPMask", "255.255.0.0");
        Type("lineEditPort_Password", "Admin12345");
        m_msgs->answer = 0;
        QVERIFY(Act("pushButtonModifyNetwork"));
        m_msgs->answer = 1;
        QCOMPARE(m_msgs->shown.size(), 1);
        QCOMPARE(m_msgs->lastTitle(), QString("Identity not verified"));
        QTest::qWait(300);
        QCOMPARE(State(mac).value("ipv4").toString(), QString("10.1.0.3"));

        Select(mac);
        Type("lineEditIPAddr", "10.1.3.40");
        Type("lineEditIPMask", "255.255.0.0");
        Type("lineEditPort_Password", "Wrong12345");
        QVERIFY(Act("pushButtonModifyNetwork"));
        QVERIFY2(m_msgs->lastText().contains("failed", Qt::CaseInsensitive), qPrintable(m_msgs->lastText()));
        QCOMPARE(State(mac).value("ipv4").toString(), QString("10.1.0.3"));

        Select(mac);
        Type("lineEditIPAddr", "10.1.3.40");
        Type("lineEditIPMask", "255.255.0.0");
        Type("lineEditPort_Password", "Admin12345");
        QVERIFY(Act("pushButtonModifyNetwork"));
        QVERIFY2(m_msgs->lastText().startsWith("Modify network parameter succeed"), qPrintable(m_msgs->lastText()));
        QTRY_COMPARE(State(mac).value("ipv4").toString(), QString("10.1.3.40"));
        QCOMPARE(State(mac).value("mask").toString(), QString("255.255.0.0"));
        // With the password known the SDK reads the device's details: the row
        // comes back under the real serial number, with the new address.
        QTRY_COMPARE_WITH_TIMEOUT(Cell(mac, Col::ColSerial), QString("ZT-IPC2347-000100000002"), 8000);
        QTRY_COMPARE(Cell(mac, Col::ColIPv4), QString("10.1.3.40"));
        QCOMPARE(Cell(mac, Col::ColMask), QString("255.255.0.0"));
        QCOMPARE(Model()->rowCount(), 6);
    }

    void restoreIsRefusedOverOnvif()
    {
        const QString mac = "02-5a-01-00-00-00";
        Select(mac);
        // An active ONVIF device without reset capabilities is offered the
        // restore with a security code, which its protocol lacks.
        QCOMPARE(m_panel->PasswordMode(), ZeltModes::Password::RestoreDefault);
        Type("m_pDefaultPwdLEdit", "Any-Code-1");
        QElapsedTimer t;
        t.start();
        QVERIFY(Act("pushButtonModifyPassword"));
        QCOMPARE(m_msgs->lastText(), QString("Restore default password failed!"));
        QVERIFY2(t.elapsed() < 2000, "refused at once, nothing sent");
        QVERIFY(!State(mac).value("password_hash").toString().isEmpty());
    }
};

QTEST_MAIN(ZeltOnvifEndToEndTest)
#include "tst_zelt_onvif_e2e.moc"
