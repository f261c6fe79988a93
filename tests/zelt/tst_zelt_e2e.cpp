// The panel end to end: zelt-devsim on loopback with a port of this test's
// own, the real SDK started in-process behind the shell's discovery hub,
// the panel's slots driven as a user would, and the simulator's device state
// read back from its state file.

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QItemSelectionModel>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include "CDeviceHub.h"
#include "CPathComboBox.h"
#include "CTableView.h"
#include "LineEdits.h"
#include "QtZelt.h"
#include "QtZeltItemModel.h"
#include "ZeltDialogCatcher.h"
#include "ZeltHubPanel.h"
#include "simprocess.h"
#include "zelt_sdk.h"

using Col = QtZeltItemModel::Column;

namespace {
QJsonObject Device(const char *serial, int n, bool active, int support, const char *password = "Admin12345")
{
    QJsonObject d{{"serial", serial},
                  {"mac", QString::asprintf("02-5a-0e-00-00-%02x", n)},
                  {"ipv4", QString::asprintf("10.77.0.%d", 10 + n)},
                  {"mask", "255.255.255.0"},
                  {"gateway", "10.77.0.1"},
                  {"support", support},
                  {"security_code", QString::asprintf("Sec-%d-0001", n)},
                  {"description", "ZT-E2E"}};
    if (active)
        d["password"] = password;
    else
        d["inactive"] = true;
    return d;
}
} // namespace

class ZeltEndToEndTest : public QObject, public ZeltTest::HubPanel
{
    Q_OBJECT

    SimProcess m_sim{5};
    QTemporaryDir m_tmp;
    DialogCatcher *m_msgs = nullptr;

    QString StatePath() const { return m_sim.dir.filePath("state.json"); }

    int RowOf(const QString &serial)
    {
        for (int r = 0; r < Model()->rowCount(); ++r)
            if (Model()->index(r, Col::ColSerial).data().toString() == serial)
                return r;
        return -1;
    }
    QString Cell(const QString &serial, int col) { return Model()->index(RowOf(serial), col).data().toString(); }
    QString Id(const QString &serial) { return Cell(serial, Col::ColId); }

    // The simulator's record of a device, read from its state file.
    QJsonObject State(const QString &serial) { return ZeltTest::SimDeviceState(StatePath(), "serial", serial); }

    void Select(const QStringList &serials)
    {
        QList<int> rows;
        for (const QString &s : serials) {
            rows << RowOf(s);
            QVERIFY2(rows.last() >= 0, qPrintable(s));
        }
        HubPanel::Select(rows);
    }
    void SetPasswords(const QString &pwd)
    {
        Type("edtNewPassword", pwd);
        Type("edtConfirmPassword", pwd);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_tmp.isValid());
        qputenv("XDG_STATE_HOME", m_tmp.path().toLocal8Bit()); // the SDK's log
        qputenv("ZELT_PORT", QByteArray::number(m_sim.port));

        QJsonArray devices{Device("E2E-A", 1, true, 0x07),  Device("E2E-B", 2, true, 0x04),
                           Device("E2E-C", 3, true, 0x04),  Device("E2E-D", 4, true, 0x04, "Other#2026"),
                           Device("E2E-E", 5, false, 0x04), Device("E2E-F", 6, false, 0x04),
                           Device("E2E-G", 7, true, 0x64),  Device("E2E-H", 8, true, 0x04)};
        QFile cfg(m_sim.dir.filePath("fleet.json"));
        QVERIFY(cfg.open(QIODevice::WriteOnly));
        cfg.write(QJsonDocument(QJsonObject{{"devices", devices}, {"lockout_seconds", 2}}).toJson());
        cfg.close();
        QVERIFY2(m_sim.start({"--config", cfg.fileName(), "--state", StatePath(), "--quiet"}),
                 m_sim.errors().constData());

        m_msgs = new DialogCatcher;
        QVERIFY(StartPanel());
        QTRY_COMPARE_WITH_TIMEOUT(Model()->rowCount(), 8, 15000);
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

    void changeOneDevice()
    {
        // The signal is emitted on the SDK's thread: count it on this one.
        int updates = 0;
        const QMetaObject::Connection counting = connect(
            m_panel, &QtZelt::DeviceUpdateSignal, this,
            [&updates](const ZELT_DEVICE_INFO_MY &info) {
                if (ZeltRecords::text(info.szSerialNO) == QLatin1String("E2E-A"))
                    ++updates;
            },
            Qt::QueuedConnection);
        Select({"E2E-A"});
        QCOMPARE(W<QLineEdit>("lineEditIPAddr")->text(), QString("10.77.0.11"));
        Type("lineEditIPAddr", "10.77.1.50");
        Type("lineEditIPMask", "255.255.0.0");
        Type("lineEditPort", "8123");
        Type("lineEditPort_Password", "Admin12345");
        QVERIFY(Act("pushButtonModifyNetwork"));
        QCOMPARE(m_msgs->lastText(),
                 "Modify network parameter succeed, please reboot your device!ID:" + Id("E2E-A") + " ");
        QTRY_COMPARE(State("E2E-A").value("ipv4").toString(), QString("10.77.1.50"));
        QCOMPARE(State("E2E-A").value("mask").toString(), QString("255.255.0.0"));
        QCOMPARE(State("E2E-A").value("port").toInt(), 8123);
        // The device's change announcement reaches the row.
        QTRY_VERIFY_WITH_TIMEOUT(updates > 0, 5000);
        disconnect(counting);
        QTRY_COMPARE(Cell("E2E-A", Col::ColIPv4), QString("10.77.1.50"));
        QCOMPARE(Cell("E2E-A", Col::ColPort), QString(" 8123"));
        QCOMPARE(Cell("E2E-A", Col::ColMask), QString("255.255.0.0"));
    }

    void runOfThreeGetsConsecutiveAddresses()
    {
        Select({"E2E-C", "E2E-A", "E2E-B"});
        // Across the end of a /24: its broadcast address and the next .0 are
        // left out. (What a /16 run hands out is checked in the panel test:
        // the simulated devices refuse any address ending in .255.)
        Type("lineEditIPAddr", "10.77.2.254");
        Type("lineEditIPMask", "255.255.255.0");
        Type("lineEditPort", "8000");
        Type("lineEditHttpPort", "80");
        Type("lineEditPort_Password", "Admin12345");
        QVERIFY(Act("pushButtonModifyNetwork"));
        QCOMPARE(m_msgs->lastText(), "Modify network parameter succeed, please reboot your device!ID:" + Id("E2E-C")
                                         + " " + Id("E2E-A") + " " + Id("E2E-B") + " ");
        QTRY_COMPARE(State("E2E-C").value("ipv4").toString(), QString("10.77.2.254"));
        QTRY_COMPARE(State("E2E-A").value("ipv4").toString(), QString("10.77.3.1"));
        QTRY_COMPARE(State("E2E-B").value("ipv4").toString(), QString("10.77.3.2"));
    }

    void oneSucceedsOneFails()
    {
        Select({"E2E-B", "E2E-D"});
        Type("lineEditIPAddr", "10.77.4.1");
        Type("lineEditIPMask", "255.255.255.0");
        Type("lineEditPort", "8000");
        Type("lineEditHttpPort", "80");
        Type("lineEditPort_Password", "Admin12345"); // E2E-D has another one
        QVERIFY(Act("pushButtonModifyNetwork"));
        QCOMPARE(m_msgs->lastText(), "Modify network parameter succeed, please reboot your device!ID:" + Id("E2E-B")
                                         + " Modify network parameter failed!ID:" + Id("E2E-D") + " ");
        QTRY_COMPARE(State("E2E-B").value("ipv4").toString(), QString("10.77.4.1"));
        QCOMPARE(State("E2E-D").value("ipv4").toString(), QString("10.77.0.14"));
    }

    void batchDhcpOnTwo()
    {
        QVERIFY(!State("E2E-A").value("dhcp").toBool());
        QVERIFY(!State("E2E-C").value("dhcp").toBool());
        Select({"E2E-A", "E2E-C"});
        ZeltTest::Click(W<QCheckBox>("checkBoxBatchDhcp"));
        Type("lineEditPort_BatchPassword", "Admin12345");
        QVERIFY(Act("pushButtonModifyBatchNetwork"));
        QCOMPARE(m_msgs->lastText(), "Modify network parameter succeed.ID:" + Id("E2E-A") + " " + Id("E2E-C") + " ");
        QTRY_VERIFY(State("E2E-A").value("dhcp").toBool());
        QTRY_VERIFY(State("E2E-C").value("dhcp").toBool());
        // Their addresses stay as they were.
        QCOMPARE(State("E2E-C").value("ipv4").toString(), QString("10.77.2.254"));
        ZeltTest::Click(W<QCheckBox>("checkBoxBatchDhcp"));
    }

    void activation()
    {
        // One active device: the button restores its default password, and
        // without a security code nothing is sent.
        const QString hashBefore = State("E2E-A").value("password_hash").toString();
        QVERIFY(!hashBefore.isEmpty());
        Select({"E2E-A"});
        QCOMPARE(W<QLabel>("label_163")->text(), QString("Reset Default Password"));
        Type("m_pDefaultPwdLEdit", "");
        SetPasswords("Strong#Pass1");
        QVERIFY(Act("pushButtonModifyPassword"));
        QCOMPARE(TipAt(W<QLineEdit>("m_pDefaultPwdLEdit")), QString("Password cannot be empty."));
        QVERIFY(m_msgs->shown.isEmpty());
        QCOMPARE(State("E2E-A").value("password_hash").toString(), hashBefore);
        HideTip();
        Select({"E2E-E"});
        QCOMPARE(W<QLabel>("label_163")->text(), QString("Activate device"));
        SetPasswords("Strong#Pass1");
        QVERIFY(Act("pushButtonModifyPassword"));
        QCOMPARE(m_msgs->lastText(), "The device is activated.ID:" + Id("E2E-E") + " ");
        QCOMPARE(Cell("E2E-E", Col::ColSafety), QString("Active"));
        QTRY_VERIFY(!State("E2E-E").value("password_hash").toString().isEmpty());

        // One kind of character only: rated weak, still sent, refused by the
        // device's policy.
        Select({"E2E-F"});
        SetPasswords("abcdefgh");
        QCOMPARE(W<QLabel>("m_pLabelLevel")->text(), QString("Weak"));
        QVERIFY(Act("pushButtonModifyPassword"));
        QCOMPARE(m_msgs->lastText(), "Operation failed.ID:" + Id("E2E-F") + " ");
        QCOMPARE(Cell("E2E-F", Col::ColSafety), QString("Inactive"));
        QVERIFY(State("E2E-F").value("password_hash").toString().isEmpty());
    }

    void restoreAndLockout()
    {
        Select({"E2E-H"});
        QCOMPARE(m_panel->PasswordMode(), ZeltModes::Password::RestoreDefault);
        Type("m_pDefaultPwdLEdit", "Wrong-Code");
        QVERIFY(Act("pushButtonModifyPassword"));
        QCOMPARE(m_msgs->lastTitle(), QString("Error"));
        QCOMPARE(m_msgs->lastText(), QString("Restore default password failed!"));
        for (int i = 0; i < 4; ++i) {
            QVERIFY(Act("pushButtonModifyPassword"));
        }
        // Locked now: even the right code fails, quickly, without a hang.
        m_msgs->clear();
        Type("m_pDefaultPwdLEdit", "Sec-8-0001");
        QElapsedTimer t;
        t.start();
        QVERIFY(Act("pushButtonModifyPassword"));
        QVERIFY2(t.elapsed() < 5000, qPrintable(QString::number(t.elapsed())));
        QCOMPARE(m_msgs->lastText(), QString("Restore default password failed!"));
        QVERIFY(!State("E2E-H").value("password_hash").toString().isEmpty());

        QTest::qWait(2200); // the simulator's lockout
        QVERIFY(Act("pushButtonModifyPassword"));
        QCOMPARE(m_msgs->lastTitle(), QString("Information"));
        QCOMPARE(m_msgs->lastText(), QString("Restore default password succeed."));
        QTRY_VERIFY(State("E2E-H").value("password_hash").toString().isEmpty());
        // The device announces itself inactive again.
        QTRY_COMPARE_WITH_TIMEOUT(Cell("E2E-H", Col::ColSafety), QString("Inactive"), 5000);
    }

    void exportAndImportKeyFiles()
    {
        QTemporaryDir out;
        Select({"E2E-G"});
        QCOMPARE(W<QLabel>("label_163")->text(), QString("Reset Password"));
        QCOMPARE(m_panel->PasswordMode(), ZeltModes::Password::ResetPassword);
        QVERIFY(W<QPushButton>("btnExport")->isVisible());

        const QString keyPath = out.filePath("DeviceKey.xml");
        QFile junk(keyPath);
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write(QByteArray(600, 'x')); // longer than any key: must not survive
        junk.close();

        W<CPathComboBox>("combExportFile")->clear();
        W<CPathComboBox>("combExportFile")->addItem(out.path() + "/");
        QVERIFY(Act("btnExport"));
        QCOMPARE(m_msgs->lastText(), QString("Exported."));

        // The bytes the device returns, asked for directly.
        ZELT_DEVICE_KEY key;
        std::memset(&key, 0, sizeof key);
        QVERIFY(ZELT_GetDeviceConfig("E2E-G", ZELT_CFG_DEVICE_KEY, nullptr, 0, &key, sizeof key) != 0);
        const QByteArray expected(reinterpret_cast<const char *>(key.byKey), int(key.dwLength));
        QFile f(keyPath);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), expected);
        f.close();
        QVERIFY2(expected.contains("<DeviceKey"), expected.constData());

        // A folder that cannot take the file.
        QFile plain(out.filePath("plainfile"));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.close();
        W<CPathComboBox>("combExportFile")->clear();
        W<CPathComboBox>("combExportFile")->addItem(out.filePath("plainfile") + "/");
        QVERIFY(Act("btnExport"));
        QCOMPARE(m_msgs->lastText(), QString("Create device key file error."));

        // Unsigned: refused.
        const QString before = State("E2E-G").value("password_hash").toString();
        W<CPathComboBox>("combImportFile")->clear();
        W<CPathComboBox>("combImportFile")->addItem(keyPath);
        SetPasswords("Renewed#2026");
        QVERIFY(Act("btnImport"));
        QCOMPARE(m_msgs->lastText(), QString("Reset password failed."));

        // Signed by the maker, then altered: refused.
        const QString signedPath = out.filePath("Signed.xml");
        QCOMPARE(m_sim.sign(keyPath, signedPath), 0);
        QFile s(signedPath);
        QVERIFY(s.open(QIODevice::ReadOnly));
        QByteArray signedText = s.readAll();
        s.close();
        QByteArray altered = signedText;
        const int sig = altered.indexOf("<Signature>") + 11;
        altered[sig] = altered[sig] == 'A' ? 'B' : 'A';
        QFile a(out.filePath("Altered.xml"));
        QVERIFY(a.open(QIODevice::WriteOnly));
        a.write(altered);
        a.close();
        W<CPathComboBox>("combImportFile")->clear();
        W<CPathComboBox>("combImportFile")->addItem(a.fileName());
        QVERIFY(Act("btnImport"));
        QCOMPARE(m_msgs->lastText(), QString("Reset password failed."));
        QCOMPARE(State("E2E-G").value("password_hash").toString(), before);

        // Signed: the password is reset to the new one.
        W<CPathComboBox>("combImportFile")->clear();
        W<CPathComboBox>("combImportFile")->addItem(signedPath);
        QVERIFY(Act("btnImport"));
        QCOMPARE(m_msgs->lastText(), QString("Reset password succeed."));
        QTRY_VERIFY(State("E2E-G").value("password_hash").toString() != before);
        // The new password authorises a change; the old one no longer does.
        ZELT_NET_PARAM p;
        CDeviceHub::BuildNetParam(p, "", "", "", "", "", "::", "::", 0, 0);
        QCOMPARE(ZELT_ModifyDeviceNetParam("02-5a-0e-00-00-07", "Admin12345", &p), 0);
        QCOMPARE(ZELT_ModifyDeviceNetParam("02-5a-0e-00-00-07", "Renewed#2026", &p), 1);
    }
};

QTEST_MAIN(ZeltEndToEndTest)
#include "tst_zelt_e2e.moc"
