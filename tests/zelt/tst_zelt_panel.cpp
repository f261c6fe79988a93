// The panel's network, password and key-file actions against a recording
// host modify function and a scripted SDK table: what is sent, in which
// order, and what the user is told.

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QGridLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTranslator>
#include <QtTest>

#include <csignal>
#include <cstring>
#include <sys/resource.h>
#include <mutex>
#include <thread>

#include "Buttons.h"
#include "CPathComboBox.h"
#include "CTableView.h"
#include "LineEdits.h"
#include "QtZelt.h"
#include "QtZeltItemModel.h"
#include "ZeltDialogCatcher.h"
#include "ZeltHubPanel.h"
#include "CZeltPanelContext.h"
#include "ZeltSdkWrapper.h"
#include "ZeltTestSupport.h"
#include "CZeltConsent.h"
#include "ZeltTrust.h"

using ZeltTest::MakeEvent;
using Col = QtZeltItemModel::Column;

namespace {
struct ModifyCall {
    QByteArray mac, ipv4, mask, password, port, http, gateway, ipv6, ipv6Gateway;
    bool ipv6Null;
    int prefix, dhcp;
};
// The fakes are called on the batch runner's worker threads.
std::mutex g_fakeMu;
QList<ModifyCall> g_modify;
QSet<QByteArray> g_refuseMac;     // the host's modify fails for these
QHash<QByteArray, int> g_delayMs; // the host's modify takes this long for these
QList<QByteArray> g_calls;        // "allow <mac>", "modify <mac>", ... as they came

bool RecordingModify(const char *mac, const char *ipv4, const char *mask, const char *password, const char *port,
                     const char *http, const char *gateway, const char *ipv6, const char *ipv6Gateway,
                     unsigned char prefix, unsigned char dhcp)
{
    int delay = 0;
    {
        std::lock_guard lock(g_fakeMu);
        delay = g_delayMs.value(mac);
    }
    if (delay)
        std::this_thread::sleep_for(std::chrono::milliseconds(delay));
    std::lock_guard lock(g_fakeMu);
    g_modify.append({mac, ipv4, mask, password, port, http, gateway, ipv6 ? ipv6 : "", ipv6Gateway ? ipv6Gateway : "",
                     ipv6 == nullptr, prefix, dhcp});
    g_calls.append(QByteArray("modify ") + mac);
    return !g_refuseMac.contains(mac);
}
// The call made for a device; the devices of a run are worked on in
// parallel, so calls come in any order.
ModifyCall CallTo(const QByteArray &mac)
{
    for (const ModifyCall &c : g_modify)
        if (c.mac == mac)
            return c;
    return ModifyCall{};
}
bool NoRefresh()
{
    return true;
}

// Scripted SDK.
struct SdkLog {
    QList<QByteArray> activated; // serial:password
    QList<ZELT_NET_PARAM> netParams;
    QList<QByteArray> netMacs;
    QList<QByteArray> resetDefault; // serial:code
    QList<ZELT_RESET_PARAM> resets;
    QList<QByteArray> resetSerials;
    QByteArray keySerial;
    uint32_t keyLength = 40;
    int keyResult = 1;
    bool refuse = false;
    uint32_t lastError = 99; // what a refusal reports
} g_sdk;

int FakeModify(const char *mac, const char *, const ZELT_NET_PARAM *p)
{
    std::lock_guard lock(g_fakeMu);
    g_sdk.netMacs.append(mac);
    g_sdk.netParams.append(*p);
    g_calls.append(QByteArray("net ") + mac);
    return g_sdk.refuse ? 0 : 1;
}
int FakeActivate(const char *serial, const char *password)
{
    std::lock_guard lock(g_fakeMu);
    g_sdk.activated.append(QByteArray(serial) + ':' + password);
    g_calls.append(QByteArray("activate ") + serial);
    return QByteArray(password).size() >= 8 && !g_sdk.refuse ? 1 : 0;
}
int FakeResetDefault(const char *serial, const char *code)
{
    std::lock_guard lock(g_fakeMu);
    g_sdk.resetDefault.append(QByteArray(serial) + ':' + code);
    g_calls.append(QByteArray("restore ") + serial);
    return g_sdk.refuse ? 0 : 1;
}
int FakeReset(const char *serial, const ZELT_RESET_PARAM *r)
{
    std::lock_guard lock(g_fakeMu);
    g_sdk.resetSerials.append(serial);
    g_sdk.resets.append(*r);
    g_calls.append(QByteArray("reset ") + serial);
    return g_sdk.refuse ? 0 : 1;
}
int FakeGetConfig(const char *serial, uint32_t cmd, const void *, uint32_t, void *out, uint32_t outLen)
{
    std::lock_guard lock(g_fakeMu);
    g_sdk.keySerial = serial;
    if (cmd != ZELT_CFG_DEVICE_KEY || outLen != sizeof(ZELT_DEVICE_KEY))
        return 0;
    auto *key = static_cast<ZELT_DEVICE_KEY *>(out);
    key->dwLength = g_sdk.keyLength;
    for (int i = 0; i < 256; ++i)
        key->byKey[i] = uint8_t('A' + i % 26);
    return g_sdk.keyResult;
}
uint32_t FakeLastError()
{
    std::lock_guard lock(g_fakeMu);
    return g_sdk.lastError;
}
int FakeAllow(const char *mac)
{
    std::lock_guard lock(g_fakeMu);
    g_calls.append(QByteArray("allow ") + mac);
    return 1;
}
int FakeAccept(const char *mac)
{
    std::lock_guard lock(g_fakeMu);
    g_calls.append(QByteArray("accept ") + mac);
    return 1;
}
const ZeltSdkApi kFake = {&FakeModify,    &FakeActivate,  &FakeResetDefault, &FakeReset,
                          &FakeGetConfig, &FakeLastError, &FakeAllow,        &FakeAccept};

// Device i with this trust level.
ZELT_DEVICE_EVENT Device(int i, uint8_t trust)
{
    ZELT_DEVICE_EVENT ev = MakeEvent(1, i);
    ev.byTrust = trust;
    return ev;
}
QByteArray MacOf(int i)
{
    return QByteArray("02-00-00-00-00-") + QByteArray::number(i, 16).rightJustified(2, '0');
}
const QString kConsentTitle = QStringLiteral("Identity not verified");
const QString kNewCertificateTitle = QStringLiteral("New certificate");
} // namespace

class ZeltPanelTest : public QObject
{
    Q_OBJECT

    QWidget *m_host = nullptr;
    QtZelt *m_panel = nullptr;
    DialogCatcher *m_msgs = nullptr;

    // A widget of the panel by its object name.
    template <typename T>
    T *W(const char *name) const
    {
        return ZeltTest::Child<T>(m_panel, name);
    }
    CTableView *Table() { return W<CTableView>("tableWidgetDevice"); }
    QtZeltItemModel *Model() { return m_panel->Model(); }
    QString Cell(int r, int c) { return Model()->index(r, c).data().toString(); }

    void AddDevices(const QList<ZELT_DEVICE_EVENT> &events)
    {
        const int before = Model()->rowCount();
        for (const ZELT_DEVICE_EVENT &ev : events)
            m_panel->HandleEvent(ev);
        QTRY_COMPARE(Model()->rowCount(), before + int(events.size()));
    }
    void Select(const QList<int> &rows) { ZeltTest::SelectRows(m_panel, rows); }
    int RowOf(const QString &serial)
    {
        for (int r = 0; r < Model()->rowCount(); ++r)
            if (Cell(r, Col::ColSerial) == serial)
                return r;
        return -1;
    }
    int RowOf(int i) { return RowOf(QStringLiteral("ZC-%1").arg(100000 + i)); }
    QList<QByteArray> CallsTo(const QByteArray &mac)
    {
        QList<QByteArray> out;
        for (const QByteArray &c : g_calls)
            if (c.endsWith(' ' + mac))
                out << c.left(c.indexOf(' '));
        return out;
    }
    void SetNetFields(const QString &ip, const QString &mask, const QString &port, const QString &pwd)
    {
        W<QLineEdit>("lineEditIPAddr")->setText(ip);
        W<QLineEdit>("lineEditIPMask")->setText(mask);
        W<QLineEdit>("lineEditPort")->setText(port);
        W<CPasswordLineEdit>("lineEditPort_Password")->setText(pwd);
        if (W<QLineEdit>("lineEditHttpPort")->text().isEmpty())
            W<QLineEdit>("lineEditHttpPort")->setText("80"); // emptied in multi-device mode
    }

private slots:
    void initTestCase()
    {
        ZeltSdkWrapper::SetApi(&kFake);
        m_host = new QWidget;
        auto *layout = new QGridLayout(m_host);
        m_panel = new QtZelt(m_host, &RecordingModify, nullptr, &NoRefresh);
        layout->addWidget(m_panel);
        m_host->resize(1280, 900);
        m_host->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_host));
        QVERIFY(m_panel->IsStarted());
        m_msgs = new DialogCatcher;

        QList<ZELT_DEVICE_EVENT> evs;
        for (int i = 1; i <= 6; ++i)
            evs.append(MakeEvent(1, i));
        evs[3].byActivated = 1; // row 3 and 4 inactive
        evs[4].byActivated = 1;
        evs[5].bySupport = 0x40 | 0x07; // row 5 resets with key files
        AddDevices(evs);
    }
    void cleanupTestCase()
    {
        ZeltSdkWrapper::SetApi(nullptr);
        delete m_msgs;
        delete m_host;
    }
    void init()
    {
        g_calls.clear();
        m_msgs->answer = 1;
        m_msgs->byReturnKey = false;
        g_modify.clear();
        g_refuseMac.clear();
        g_delayMs.clear();
        g_sdk = SdkLog();
        m_msgs->clear();
        HideTip();
    }

    void noSelectionAsksForADevice()
    {
        Table()->selectionModel()->clear();
        Table()->setCurrentIndex(QModelIndex());
        m_panel->OnModifyNetPara();
        QCOMPARE(m_msgs->lastText(), QString("Please select a device."));
        QCOMPARE(m_msgs->lastTitle(), QString("Information"));
        m_msgs->clear();
        m_panel->batchEnableDHCP();
        QCOMPARE(m_msgs->lastText(), QString("Please select a device."));
        m_msgs->clear();
        m_panel->OnExport();
        QCOMPARE(m_msgs->lastText(), QString("Please select a device."));
        QVERIFY(g_modify.isEmpty() && g_sdk.netParams.isEmpty() && g_sdk.keySerial.isEmpty());
    }

    void fieldChecksStopAtTheFirstFailure_data()
    {
        QTest::addColumn<QString>("ip");
        QTest::addColumn<QString>("mask");
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("gateway");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("message");
        QTest::newRow("empty ip") << ""
                                  << "255.255.0.0"
                                  << "8000"
                                  << ""
                                  << "lineEditIPAddr"
                                  << "IP address cannot be empty.";
        QTest::newRow("ip ends in 0") << "10.0.0.0"
                                      << "255.255.0.0"
                                      << "8000"
                                      << ""
                                      << "lineEditIPAddr"
                                      << "IP Address not correct.";
        QTest::newRow("empty mask") << "10.0.0.5"
                                    << ""
                                    << "8000"
                                    << ""
                                    << "lineEditIPMask"
                                    << "Subnet mask cannot be empty.";
        QTest::newRow("mask all ones") << "10.0.0.5"
                                       << "255.255.255.255"
                                       << "8000"
                                       << ""
                                       << "lineEditIPMask"
                                       << "Subnet Mask not correct.";
        QTest::newRow("port low") << "10.0.0.5"
                                  << "255.255.0.0"
                                  << "1999"
                                  << ""
                                  << "lineEditPort"
                                  << "Device port ranges from 2000 to 65535.";
        QTest::newRow("port empty") << "10.0.0.5"
                                    << "255.255.0.0"
                                    << ""
                                    << ""
                                    << "lineEditPort"
                                    << "Device port ranges from 2000 to 65535.";
        QTest::newRow("gateway .0") << "10.0.0.5"
                                    << "0.0.0.0"
                                    << "8000"
                                    << "10.0.0.0"
                                    << "lineEditIPGateway"
                                    << "Gateway not correct.";
    }
    void fieldChecksStopAtTheFirstFailure()
    {
        QFETCH(QString, ip);
        QFETCH(QString, mask);
        QFETCH(QString, port);
        QFETCH(QString, gateway);
        QFETCH(QString, field);
        QFETCH(QString, message);
        Select({0});
        SetNetFields(ip, mask, port, "Admin12345");
        W<QLineEdit>("lineEditIPGateway")->setText(gateway);
        m_panel->OnModifyNetPara();
        QWidget *w = m_panel->findChild<QWidget *>(field);
        QVERIFY(w);
        QCOMPARE(TipAt(w), message);
        QVERIFY(g_modify.isEmpty());
        QVERIFY(m_msgs->shown.isEmpty());
    }

    void httpPortAndIPv6ChecksOnlyWhileEnabled()
    {
        Select({0}); // extended, IPv6 modifiable
        QVERIFY(W<QLineEdit>("lineEditIPv6Addr")->isEnabled());
        SetNetFields("10.0.0.5", "255.255.0.0", "8000", "Admin12345");
        W<QLineEdit>("lineEditIPv6Mask")->setText("65");
        m_panel->OnModifyNetPara();
        QCOMPARE(TipAt(W<QLineEdit>("lineEditIPv6Mask")), QString("IPv6 prefix length ranges from 0 to 64."));
        QVERIFY(g_modify.isEmpty());

        W<QLineEdit>("lineEditIPv6Mask")->setText("64");
        W<QLineEdit>("lineEditIPv6Addr")->setText("fd00::1::2");
        m_panel->OnModifyNetPara();
        QCOMPARE(TipAt(W<QLineEdit>("lineEditIPv6Addr")), QString("IPv6 Address not correct."));
        W<QLineEdit>("lineEditIPv6Addr")->setText("fd00::20");
        W<QLineEdit>("lineEditIPv6Gateway")->setText("fd00:::1");
        m_panel->OnModifyNetPara();
        QCOMPARE(TipAt(W<QLineEdit>("lineEditIPv6Gateway")), QString("IPv6 gateway not correct."));
        W<QLineEdit>("lineEditIPv6Gateway")->setText("fd00::1");
        W<QLineEdit>("lineEditHttpPort")->setText("0");
        m_panel->OnModifyNetPara();
        QCOMPARE(TipAt(W<QLineEdit>("lineEditHttpPort")), QString("Http port ranges from 1 to 65535."));
        QVERIFY(g_modify.isEmpty());

        // Disabled fields are not checked: the change goes out.
        W<QLineEdit>("lineEditHttpPort")->setEnabled(false);
        W<QLineEdit>("lineEditIPv6Addr")->setEnabled(false);
        W<QLineEdit>("lineEditIPv6Mask")->setText("65");
        m_panel->OnModifyNetPara();
        QCOMPARE(g_modify.size(), 1);
        QVERIFY(g_modify.first().ipv6Null);
        QCOMPARE(g_modify.first().prefix, 0);
    }

    void singleDeviceChangeUpdatesRowAndRecord()
    {
        Select({1});
        SetNetFields(" 10.20.30.40 ", "255.255.255.0", "8100", "Pass word1");
        W<QLineEdit>("lineEditIPGateway")->setText("");
        W<QLineEdit>("lineEditIPv6Addr")->setText("fd00::99");
        W<QLineEdit>("lineEditIPv6Gateway")->setText("");
        W<QLineEdit>("lineEditIPv6Mask")->setText("48");
        m_panel->OnModifyNetPara();
        QCOMPARE(g_modify.size(), 1);
        const ModifyCall &c = g_modify.first();
        QCOMPARE(c.mac, QByteArray("02-00-00-00-00-02"));
        QCOMPARE(c.ipv4, QByteArray("10.20.30.40"));
        QCOMPARE(c.mask, QByteArray("255.255.255.0"));
        QCOMPARE(c.password, QByteArray("Pass word1")); // exactly as typed
        QCOMPARE(c.port, QByteArray("8100"));
        QCOMPARE(c.http, QByteArray("80"));
        QCOMPARE(c.gateway, QByteArray());
        QVERIFY(!c.ipv6Null);
        QCOMPARE(c.ipv6, QByteArray("fd00::99"));
        QCOMPARE(c.prefix, 48);
        QCOMPARE(c.dhcp, 0);
        QCOMPARE(Cell(1, Col::ColIPv4), QString("10.20.30.40"));
        QCOMPARE(Cell(1, Col::ColPort), QString(" 8100"));
        QCOMPARE(Cell(1, Col::ColMask), QString("255.255.255.0"));
        QCOMPARE(m_msgs->lastText(), QString("Modify network parameter succeed, please reboot your device!ID:002 "));
        const ZELT_DEVICE_INFO_MY rec = m_panel->DeviceList().at(1);
        QCOMPARE(ZeltRecords::text(rec.szIPv4Address), QString("10.20.30.40"));
        QCOMPARE(rec.dwPort, 8100u);
    }

    void runOfThreeInSelectionOrder()
    {
        Select({2});
        W<QLineEdit>("lineEditIPv6Addr")->setText("fd00::77"); // what one device showed
        W<QLineEdit>("lineEditIPv6Gateway")->setText("fd00::1");
        Select({2, 0, 1});
        QVERIFY(W<QWidget>("widgetBatch")->isVisible());
        QCOMPARE(W<QLabel>("label_7")->text(), QString("Start IP Address:"));
        QVERIFY(W<QLineEdit>("lineEditIPAddr")->text().isEmpty());
        QVERIFY(W<QLineEdit>("lineEditHttpPort")->text().isEmpty());
        QVERIFY(W<QLineEdit>("lineEditIPv6Addr")->text().isEmpty()); // not the last device's
        QVERIFY(W<QLineEdit>("lineEditIPv6Gateway")->text().isEmpty());
        W<QLineEdit>("lineEditHttpPort")->setText("8080");
        SetNetFields("192.168.1.10", "255.255.255.0", "8000", "Admin12345");
        W<QLineEdit>("lineEditIPv6Addr")->setText("fd00::5"); // ignored with several devices
        m_panel->OnModifyNetPara();
        QCOMPARE(g_modify.size(), 3);
        // Addresses in selection order.
        QCOMPARE(CallTo("02-00-00-00-00-03").ipv4, QByteArray("192.168.1.10"));
        QCOMPARE(CallTo("02-00-00-00-00-01").ipv4, QByteArray("192.168.1.11"));
        QCOMPARE(CallTo("02-00-00-00-00-02").ipv4, QByteArray("192.168.1.12"));
        for (const ModifyCall &c : g_modify) {
            QVERIFY(c.ipv6Null);
            QCOMPARE(c.http, QByteArray("8080"));
        }
        QCOMPARE(Cell(2, Col::ColIPv4), QString("192.168.1.10"));
        QCOMPARE(Cell(0, Col::ColIPv4), QString("192.168.1.11"));
        QCOMPARE(m_msgs->lastText(),
                 QString("Modify network parameter succeed, please reboot your device!ID:003 001 002 "));
    }

    void runPastTheEndIsRefusedWhole()
    {
        Select({0, 1, 2});
        SetNetFields("255.255.255.253", "255.255.255.0", "8000", "Admin12345");
        m_panel->OnModifyNetPara();
        QVERIFY(g_modify.isEmpty());
        QCOMPARE(m_msgs->shown.size(), 1);
        QVERIFY2(m_msgs->lastText().contains("nothing was changed"), qPrintable(m_msgs->lastText()));
    }

    void oneSucceedsOneFails()
    {
        Select({0, 1});
        g_refuseMac.insert("02-00-00-00-00-02");
        SetNetFields("192.168.7.20", "255.255.255.0", "8000", "Admin12345");
        m_panel->OnModifyNetPara();
        QCOMPARE(g_modify.size(), 2);
        QCOMPARE(m_msgs->lastText(), QString("Modify network parameter succeed, please reboot your device!ID:001 "
                                             "Modify network parameter failed!ID:002 "));
        QCOMPARE(Cell(0, Col::ColIPv4), QString("192.168.7.20"));
        QCOMPARE(Cell(1, Col::ColIPv4), QString("192.168.1.12")); // unchanged
    }

    void nonAsciiPasswordIsRefused()
    {
        Select({0});
        SetNetFields("10.0.0.5", "255.255.0.0", "8000", QString::fromUtf8("Pässwort12"));
        m_panel->OnModifyNetPara();
        QVERIFY(g_modify.isEmpty());
        QVERIFY(!TipAt(W<CPasswordLineEdit>("lineEditPort_Password")).isEmpty());

        W<QLineEdit>("edtNewPassword")->setText(QString::fromUtf8("Ab1密码密码密码"));
        W<QLineEdit>("edtConfirmPassword")->setText(W<QLineEdit>("edtNewPassword")->text());
        Select({3});
        W<QLineEdit>("edtNewPassword")->setText(QString::fromUtf8("Ab1密码密码密码"));
        W<QLineEdit>("edtConfirmPassword")->setText(W<QLineEdit>("edtNewPassword")->text());
        m_panel->OnDefaultPassword();
        QVERIFY(g_sdk.activated.isEmpty());
        QVERIFY(!TipAt(W<QLineEdit>("edtNewPassword")).isEmpty());

        // The batch password and the security code likewise.
        Select({4, 5});
        W<QCheckBox>("checkBoxBatchDhcp")->setChecked(true);
        W<CPasswordLineEdit>("lineEditPort_BatchPassword")->setText(QString::fromUtf8("Admin12345€"));
        m_panel->batchEnableDHCP();
        QVERIFY(g_sdk.netParams.isEmpty());
        QVERIFY(!TipAt(W<CPasswordLineEdit>("lineEditPort_BatchPassword")).isEmpty());
        W<QCheckBox>("checkBoxBatchDhcp")->setChecked(false);

        Select({0});
        W<QLineEdit>("m_pDefaultPwdLEdit")->setText(QString::fromUtf8("SecCodé123"));
        m_panel->OnDefaultPassword();
        QVERIFY(g_sdk.resetDefault.isEmpty());
        QVERIFY(!TipAt(W<QLineEdit>("m_pDefaultPwdLEdit")).isEmpty());
    }

    void batchDhcpUsesEachRecord()
    {
        Select({4, 5});
        W<QCheckBox>("checkBoxBatchDhcp")->setChecked(true);
        QVERIFY(!W<CPushButton>("pushButtonModifyNetwork")->isEnabled());
        QVERIFY(!W<QLineEdit>("lineEditIPAddr")->isEnabled());
        QVERIFY(W<CPushButton>("pushButtonModifyBatchNetwork")->isEnabled());
        W<CPasswordLineEdit>("lineEditPort_BatchPassword")->setText(" Admin12345 ");
        g_sdk.refuse = false;
        m_panel->batchEnableDHCP();
        QCOMPARE(g_sdk.netParams.size(), 2);
        const int first = int(g_sdk.netMacs.indexOf("02-00-00-00-00-05"));
        QVERIFY(first >= 0);
        QVERIFY(g_sdk.netMacs.contains("02-00-00-00-00-06"));
        const ZELT_NET_PARAM &p = g_sdk.netParams[first];
        QCOMPARE(QByteArray(p.szIPv4Address), QByteArray("10.0.0.5"));
        QCOMPARE(QByteArray(p.szIPv4SubnetMask), QByteArray("255.255.0.0"));
        QCOMPARE(QByteArray(p.szIPv6Address), QByteArray("fd00::10"));
        QCOMPARE(int(p.wPort), 8000);
        QCOMPARE(int(p.wHttpPort), 0); // the emptied field
        QCOMPARE(int(p.byDhcpEnable), 1);
        QCOMPARE(m_msgs->lastText(), QString("Modify network parameter succeed.ID:005 006 "));
        QCOMPARE(int(m_panel->DeviceList().at(4).byDhcp), 1);

        W<QCheckBox>("checkBoxBatchDhcp")->setChecked(false);
        QVERIFY(W<CPushButton>("pushButtonModifyNetwork")->isEnabled());
        QVERIFY(W<QLineEdit>("lineEditIPAddr")->isEnabled());
        g_sdk.refuse = true;
        m_panel->batchEnableDHCP();
        QCOMPARE(m_msgs->lastText(), QString("Modify network parameter failed!ID:005 006 "));
    }

    // Batch DHCP closes the IPv6 group of the run; a single device shown
    // afterwards has its own IPv6 settings open, checked and sent.
    void ipv6OfOneDeviceAfterBatchDhcp()
    {
        Select({4, 5});
        W<QCheckBox>("checkBoxBatchDhcp")->setChecked(true);
        W<CPasswordLineEdit>("lineEditPort_BatchPassword")->setText("Admin12345");
        m_panel->batchEnableDHCP();
        QCOMPARE(g_sdk.netParams.size(), 2);
        Select({2}); // DHCP off, IPv6 may be changed
        QLineEdit *ipv6 = W<QLineEdit>("lineEditIPv6Addr");
        QVERIFY(ipv6->isEnabled());
        SetNetFields("10.0.0.3", "255.255.0.0", "8000", "Admin12345");
        ipv6->setText("fd00::1::2");
        m_panel->OnModifyNetPara();
        QCOMPARE(TipAt(ipv6), QString("IPv6 Address not correct."));
        QVERIFY(g_modify.isEmpty());
        ipv6->setText("fd00::33");
        m_panel->OnModifyNetPara();
        QCOMPARE(g_modify.size(), 1);
        QVERIFY(!g_modify.first().ipv6Null);
        QCOMPARE(g_modify.first().ipv6, QByteArray("fd00::33"));
        W<QCheckBox>("checkBoxBatchDhcp")->setChecked(false);
    }

    void batchDhcpEmptyIPv6BecomesAny()
    {
        ZELT_NET_PARAM p;
        ZeltSdkWrapper::BuildNetParam(p, "10.0.0.2", "255.0.0.0", "", "", "", 0, "8000", "", true);
        QCOMPARE(QByteArray(p.szIPv6Address), QByteArray("::"));
        QCOMPARE(QByteArray(p.szIPv6Gateway), QByteArray("::"));
        QCOMPARE(int(p.wHttpPort), 0);
        QCOMPARE(int(p.wPort), 8000);
        QCOMPARE(int(p.byDhcpEnable), 1);
    }

    void dhcpCheckBoxLocksAddressFields()
    {
        Select({0});
        W<QCheckBox>("checkBoxDhcp")->setChecked(true);
        QVERIFY(!W<QLineEdit>("lineEditIPAddr")->isEnabled());
        QVERIFY(!W<QLineEdit>("lineEditIPMask")->isEnabled());
        QVERIFY(!W<QLineEdit>("lineEditIPGateway")->isEnabled());
        QVERIFY(!W<QFrame>("frame")->isEnabled());
        W<QCheckBox>("checkBoxDhcp")->setChecked(false);
        QVERIFY(W<QLineEdit>("lineEditIPAddr")->isEnabled());
        QVERIFY(W<QFrame>("frame")->isEnabled());
    }

    // Each lamp is compared with the picture it must show, so a red lamp in
    // place of a yellow one, or a lamp left grey, is caught.
    void strengthDisplay()
    {
        Select({3});
        QLineEdit *pwd = m_panel->findChild<QLineEdit *>("edtNewPassword");
        QLabel *word = m_panel->findChild<QLabel *>("m_pLabelLevel");
        const QImage grey = QPixmap(":/images/ButtonIcon/grey.png").toImage();
        const QImage red = QPixmap(":/images/ButtonIcon/red.png").toImage();
        const QImage yellow = QPixmap(":/images/ButtonIcon/yellow.png").toImage();
        const QImage green = QPixmap(":/images/ButtonIcon/green.png").toImage();
        for (const QImage *a : {&grey, &red, &yellow, &green}) {
            QVERIFY(!a->isNull());
            for (const QImage *b : {&grey, &red, &yellow, &green})
                QVERIFY(a == b || *a != *b);
        }
        auto name = [&](const QImage &img) {
            return img == grey     ? "grey"
                   : img == red    ? "red"
                   : img == yellow ? "yellow"
                   : img == green  ? "green"
                                   : "other";
        };
        auto lamps = [&] {
            QStringList out;
            for (const char *lamp : {"m_pLabelLevel1", "m_pLabelLevel2", "m_pLabelLevel3"})
                out << name(m_panel->findChild<QLabel *>(lamp)->pixmap().toImage());
            return out;
        };
        pwd->setText("");
        QCOMPARE(word->text(), QString());
        QCOMPARE(lamps(), (QStringList{"grey", "grey", "grey"}));
        pwd->setText("a");
        QCOMPARE(word->text(), QString("Weak"));
        QCOMPARE(lamps(), (QStringList{"red", "grey", "grey"}));
        pwd->setText("abcd1234");
        QCOMPARE(word->text(), QString("Weak"));
        QCOMPARE(lamps(), (QStringList{"red", "grey", "grey"}));
        pwd->setText("ABCDabcd");
        QCOMPARE(word->text(), QString("Medium"));
        QCOMPARE(lamps(), (QStringList{"yellow", "yellow", "grey"}));
        pwd->setText("Abcd1234");
        QCOMPARE(word->text(), QString("Strong"));
        QCOMPARE(lamps(), (QStringList{"green", "green", "green"}));
        // Back down: the lamps that are no longer lit turn grey again.
        pwd->setText("ABCDabcd");
        QCOMPARE(lamps(), (QStringList{"yellow", "yellow", "grey"}));
        pwd->setText("");
        QCOMPARE(word->text(), QString());
        QCOMPARE(lamps(), (QStringList{"grey", "grey", "grey"}));
    }

    void activation()
    {
        Select({3});
        QCOMPARE(W<QLabel>("label_163")->text(), QString("Activate device"));
        W<QLineEdit>("edtNewPassword")->setText("");
        m_panel->OnDefaultPassword();
        QCOMPARE(TipAt(W<QLineEdit>("edtNewPassword")), QString("The password can not be empty."));
        W<QLineEdit>("edtNewPassword")->setText("Abcd1234");
        W<QLineEdit>("edtConfirmPassword")->setText("abcd1234");
        m_panel->OnDefaultPassword();
        QCOMPARE(TipAt(W<QLineEdit>("edtNewPassword")), QString("The password you typed do not match."));
        QVERIFY(g_sdk.activated.isEmpty());

        // Rows 3 and 4 inactive, 0 active: the active one is skipped; a short
        // password is still sent (the device decides).
        Select({3, 0, 4});
        W<QLineEdit>("edtNewPassword")->setText("Abcd1234");
        W<QLineEdit>("edtConfirmPassword")->setText("Abcd1234");
        m_panel->OnDefaultPassword();
        QList<QByteArray> activated = g_sdk.activated;
        std::sort(activated.begin(), activated.end());
        QCOMPARE(activated, (QList<QByteArray>{"ZC-100004:Abcd1234", "ZC-100005:Abcd1234"}));
        QCOMPARE(m_msgs->lastText(), QString("The device is activated.ID:004 005 "));
        QCOMPARE(Cell(3, Col::ColSafety), QString("Active"));
        QCOMPARE(int(m_panel->DeviceList().at(3).byActivated), 0);

        m_msgs->clear();
        m_panel->OnDefaultPassword();
        QCOMPARE(m_msgs->lastText(), QString("No activate device."));
    }

    void activationFailureIsCountedPerRow()
    {
        ZELT_DEVICE_EVENT a = MakeEvent(1, 7), b = MakeEvent(1, 8);
        a.byActivated = b.byActivated = 1;
        AddDevices({a, b});
        Select({6, 7});
        W<QLineEdit>("edtNewPassword")->setText("Ab1");
        W<QLineEdit>("edtConfirmPassword")->setText("Ab1");
        m_panel->OnDefaultPassword();
        QCOMPARE(g_sdk.activated.size(), 2);
        QCOMPARE(m_msgs->lastText(), QString("Operation failed.ID:007 008 "));
        QCOMPARE(Cell(6, Col::ColSafety), QString("Inactive"));
    }

    void restoreWithSecurityCode()
    {
        Select({0}); // active, no reset capability: security code only
        QVERIFY(W<QLineEdit>("m_pDefaultPwdLEdit")->isVisibleTo(m_panel));
        QVERIFY(!W<QLineEdit>("edtNewPassword")->isVisibleTo(m_panel));
        W<QLineEdit>("m_pDefaultPwdLEdit")->setText("");
        m_panel->OnDefaultPassword();
        QCOMPARE(TipAt(W<QLineEdit>("m_pDefaultPwdLEdit")), QString("Password cannot be empty."));
        W<QLineEdit>("m_pDefaultPwdLEdit")->setText("SecCode123");
        m_panel->OnDefaultPassword();
        QCOMPARE(g_sdk.resetDefault, QList<QByteArray>{"ZC-100001:SecCode123"});
        QCOMPARE(m_msgs->lastTitle(), QString("Information"));
        QCOMPARE(m_msgs->lastText(), QString("Restore default password succeed."));
        g_sdk.refuse = true;
        m_panel->OnDefaultPassword();
        QCOMPARE(m_msgs->lastTitle(), QString("Error"));
        QCOMPARE(m_msgs->lastText(), QString("Restore default password failed!"));
    }

    void keyFileDeviceHasNoSecurityCodeReset()
    {
        Select({5}); // reset capability: new password and key files
        QCOMPARE(W<QLabel>("label_163")->text(), QString("Reset Password"));
        QVERIFY(W<QLineEdit>("edtNewPassword")->isVisibleTo(m_panel));
        QVERIFY(W<QPushButton>("btnImport")->isVisibleTo(m_panel));
        QVERIFY(!W<QLineEdit>("m_pDefaultPwdLEdit")->isVisibleTo(m_panel));
        W<QLineEdit>("m_pDefaultPwdLEdit")->setText("Code-42"); // left over, not shown
        W<QLineEdit>("edtNewPassword")->setText("Newpass123456789");
        W<QLineEdit>("edtConfirmPassword")->setText("Newpass123456789");
        m_panel->OnDefaultPassword();
        QVERIFY(g_sdk.resets.isEmpty());
        QCOMPARE(TipAt(W<QPushButton>("btnImport")), QString("Please import a device key file to reset the password."));
    }

    void newPasswordFillsAllSixteenBytes()
    {
        Select({5});
        W<CPathComboBox>("combImportFile")->clear();
        W<CPathComboBox>("combImportFile")->addItem("/tmp/Signed.xml");
        W<QLineEdit>("edtNewPassword")->setText("Newpass123456789");
        W<QLineEdit>("edtConfirmPassword")->setText("Newpass123456789");
        m_panel->OnImport();
        QCOMPARE(g_sdk.resets.size(), 1);
        QCOMPARE(g_sdk.resetSerials.first(), QByteArray("ZC-100006"));
        const ZELT_RESET_PARAM &r = g_sdk.resets.first();
        QCOMPARE(QByteArray(r.szNewPassword, 16), QByteArray("Newpass123456789"));
        QCOMPARE(r.szSecurityCode[0], '\0');
        QCOMPARE(m_msgs->lastText(), QString("Reset password succeed."));
        g_sdk.refuse = true;
        m_panel->OnImport();
        QCOMPARE(m_msgs->lastTitle(), QString("Information"));
        QCOMPARE(m_msgs->lastText(), QString("Reset password failed."));
    }

    void exportKeyFile()
    {
        QTemporaryDir dir;
        Select({5});
        CPathComboBox *box = W<CPathComboBox>("combExportFile");
        box->clear();
        m_panel->OnExport();
        QCOMPARE(TipAt(box), QString("File path cannot be empty."));
        QVERIFY(g_sdk.keySerial.isEmpty());

        box->addItem(dir.path() + "/");
        g_sdk.keyLength = 40;
        m_panel->OnExport();
        QCOMPARE(m_msgs->lastText(), QString("Exported."));
        QCOMPARE(g_sdk.keySerial, QByteArray("ZC-100006"));
        QFile f(dir.filePath("DeviceKey.xml"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("ABCDEFGHIJKLMNOPQRSTUVWXYZABCDEFGHIJKLMN"));
        f.close();

        // A second export replaces the file; a length past the buffer is clamped.
        g_sdk.keyLength = 100000;
        m_panel->OnExport();
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.size(), 256);
        f.close();

        g_sdk.keyResult = 0;
        m_panel->OnExport();
        QCOMPARE(m_msgs->lastText(), QString("Get key error."));

        g_sdk.keyResult = 1;
        box->clear();
        box->addItem(dir.path() + "/missing/folder/");
        m_panel->OnExport();
        QCOMPARE(m_msgs->lastText(), QString("Create device key file error."));
    }

    // The key file is written beside its place and renamed into it: a link
    // at the place is refused (its target untouched, nothing asked of the
    // device), and a write that fails leaves the file that was there.
    void exportKeyFileNeverFollowsALinkNorLeavesACutFile()
    {
        QTemporaryDir dir;
        Select({5});
        CPathComboBox *box = W<CPathComboBox>("combExportFile");
        box->clear();
        box->addItem(dir.path() + "/");
        const QString key = dir.filePath("DeviceKey.xml");

        QFile target(dir.filePath("elsewhere.txt"));
        QVERIFY(target.open(QIODevice::WriteOnly));
        target.write("not a key");
        target.close();
        QVERIFY(QFile::link(target.fileName(), key));
        m_panel->OnExport();
        QCOMPARE(m_msgs->lastText(), QString("DeviceKey.xml in this folder is a link; nothing was written."));
        QVERIFY(g_sdk.keySerial.isEmpty());
        QVERIFY(QFileInfo(key).isSymLink());
        QVERIFY(target.open(QIODevice::ReadOnly));
        QCOMPARE(target.readAll(), QByteArray("not a key"));
        target.close();
        QVERIFY(QFile::remove(key));

        // A good export, then one that cannot be written whole (files may
        // not grow past 16 bytes; as root a read-only folder would not stop
        // the write).
        m_panel->OnExport();
        QCOMPARE(m_msgs->lastText(), QString("Exported."));
        g_sdk.keyLength = 60;
        {
            rlimit old{};
            QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
            const rlimit small{16, old.rlim_max};
            auto *const oldHandler = std::signal(SIGXFSZ, SIG_IGN);
            QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
            m_panel->OnExport();
            setrlimit(RLIMIT_FSIZE, &old);
            std::signal(SIGXFSZ, oldHandler);
        }
        QCOMPARE(m_msgs->lastText(), QString("Create device key file error."));
        QFile written(key);
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(written.readAll(), QByteArray("ABCDEFGHIJKLMNOPQRSTUVWXYZABCDEFGHIJKLMN"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System),
                 (QStringList{"DeviceKey.xml", "elsewhere.txt"}));
    }

    void importKeyFile()
    {
        Select({5});
        CPathComboBox *box = W<CPathComboBox>("combImportFile");
        box->clear();
        m_panel->OnImport();
        QCOMPARE(TipAt(box), QString("File path cannot be empty."));

        box->addItem("/tmp/keys/Signed.xml");
        W<QLineEdit>("edtNewPassword")->setText("Abcd1234");
        W<QLineEdit>("edtConfirmPassword")->setText("Abcd12345");
        m_panel->OnImport();
        QCOMPARE(TipAt(W<QLineEdit>("edtNewPassword")), QString("The password you typed do not match."));
        QVERIFY(g_sdk.resets.isEmpty());

        W<QLineEdit>("edtConfirmPassword")->setText("Abcd1234");
        m_panel->OnImport();
        QCOMPARE(g_sdk.resets.size(), 1);
        QCOMPARE(QByteArray(g_sdk.resets[0].szKeyFilePath), QByteArray("/tmp/keys/Signed.xml"));
        QCOMPARE(QByteArray(g_sdk.resets[0].szNewPassword), QByteArray("Abcd1234"));
        QCOMPARE(QByteArray(g_sdk.resets[0].szSecurityCode), QByteArray());
        QCOMPARE(m_msgs->lastText(), QString("Reset password succeed."));

        // A path that does not fit its slot is refused, not shortened.
        box->clear();
        box->addItem("/tmp/" + QString(255, QLatin1Char('k')) + ".xml");
        m_panel->OnImport();
        QCOMPARE(g_sdk.resets.size(), 1);
        QCOMPARE(m_msgs->lastText(), QString("The key file path is too long."));
        // 259 bytes still fit.
        box->clear();
        const QString fits = "/" + QString(258, QLatin1Char('k'));
        box->addItem(fits);
        m_panel->OnImport();
        QCOMPARE(g_sdk.resets.size(), 2);
        QCOMPARE(QByteArray(g_sdk.resets[1].szKeyFilePath), fits.toLatin1());
    }

    void importWithoutNewPasswordRestores()
    {
        Select({1}); // no reset capability: the new-password field is hidden
        W<CPathComboBox>("combImportFile")->clear();
        W<CPathComboBox>("combImportFile")->addItem("/tmp/k.xml");
        m_panel->OnImport();
        QCOMPARE(g_sdk.resets.size(), 1);
        QCOMPARE(QByteArray(g_sdk.resets[0].szNewPassword, 16), QByteArray(16, '\0'));
        QCOMPARE(m_msgs->lastText(), QString("Restore default password succeed."));
    }

    // Capability bit 1 without bit 0: the IPv6 fields are open but the device
    // reported none, so the prefix field is empty.
    void emptyPrefixMeansZero()
    {
        ZELT_DEVICE_EVENT ev = MakeEvent(1, 20);
        ev.bySupport = 0x02 | 0x04;
        AddDevices({ev});
        const int row = Model()->rowCount() - 1;
        Select({row});
        QLineEdit *prefix = m_panel->findChild<QLineEdit *>("lineEditIPv6Mask");
        QVERIFY(prefix->isEnabled());
        QCOMPARE(prefix->text(), QString());
        SetNetFields("10.0.0.20", "255.255.0.0", "8000", "Admin12345");
        m_panel->OnModifyNetPara();
        QCOMPARE(TipAt(prefix), QString());
        QCOMPARE(g_modify.size(), 1);
        QVERIFY(!g_modify.first().ipv6Null);
        QCOMPARE(g_modify.first().prefix, 0);
        QCOMPARE(m_msgs->lastText(),
                 "Modify network parameter succeed, please reboot your device!ID:" + Cell(row, Col::ColId) + " ");
        // A prefix out of range is still refused.
        g_modify.clear();
        prefix->setText("65");
        m_panel->OnModifyNetPara();
        QCOMPARE(TipAt(prefix), QString("IPv6 prefix length ranges from 0 to 64."));
        QVERIFY(g_modify.isEmpty());
    }

    // A run in a /16 hands out x.x.x.255 like any other host address.
    void runInASixteenKeepsTheTwoFiftyFive()
    {
        Select({0, 1, 2});
        SetNetFields("10.77.2.254", "255.255.0.0", "8000", "Admin12345");
        m_panel->OnModifyNetPara();
        QCOMPARE(g_modify.size(), 3);
        QCOMPARE(CallTo("02-00-00-00-00-01").ipv4, QByteArray("10.77.2.254"));
        QCOMPARE(CallTo("02-00-00-00-00-02").ipv4, QByteArray("10.77.2.255"));
        QCOMPARE(CallTo("02-00-00-00-00-03").ipv4, QByteArray("10.77.3.1"));
        // In a /24 the .255 is the broadcast address and stays free.
        g_modify.clear();
        SetNetFields("10.77.2.254", "255.255.255.0", "8000", "Admin12345");
        m_panel->OnModifyNetPara();
        QCOMPARE(g_modify.size(), 3);
        QCOMPARE(CallTo("02-00-00-00-00-02").ipv4, QByteArray("10.77.3.1"));
        QCOMPARE(CallTo("02-00-00-00-00-03").ipv4, QByteArray("10.77.3.2"));
    }

    // A language change rewrites every text from what the panel knows now:
    // rows activated since they were shown, and the labels that follow the
    // selection.
    void languageChangeKeepsStateTexts()
    {
        QTranslator zh;
        QVERIFY(zh.load(qEnvironmentVariable("TOOLBAY_BIN_DIR") + "/translations/ZELT_zh.qm"));
        ZELT_DEVICE_EVENT a = MakeEvent(1, 21), b = MakeEvent(1, 22), k = MakeEvent(1, 23);
        a.byActivated = b.byActivated = 1;
        k.bySupport = 0x40 | 0x07;
        k.byTrust = ZELT_TRUST_UNCERTIFIED;
        AddDevices({a, b, k});
        const int ra = Model()->rowCount() - 3, rb = ra + 1, rk = ra + 2;
        Select({ra});
        m_panel->findChild<QLineEdit *>("edtNewPassword")->setText("Abcd1234");
        m_panel->findChild<QLineEdit *>("edtConfirmPassword")->setText("Abcd1234");
        m_panel->OnDefaultPassword();
        QCOMPARE(Cell(ra, Col::ColSafety), QString("Active"));
        QCOMPARE(Cell(rb, Col::ColSafety), QString("Inactive"));

        auto *label7 = m_panel->findChild<QLabel *>("label_7");
        auto *label162 = m_panel->findChild<QLabel *>("label_162");
        auto *label163 = m_panel->findChild<QLabel *>("label_163");
        Select({ra, rb});
        QCOMPARE(label7->text(), QString("Start IP Address:"));
        QCOMPARE(label162->text(), QString("Batch Modify Network parameters"));
        QCOMPARE(label163->text(), QString("Activate device"));

        QCoreApplication::installTranslator(&zh);
        QCoreApplication::processEvents();
        QCOMPARE(Cell(ra, Col::ColSafety), QString::fromUtf8("已激活"));
        QCOMPARE(Cell(rb, Col::ColSafety), QString::fromUtf8("未激活"));
        QCOMPARE(Cell(rk, Col::ColTrust), QString::fromUtf8("未认证"));
        QCOMPARE(Model()->headerData(Col::ColTrust, Qt::Horizontal).toString(), QString::fromUtf8("信任"));
        QCOMPARE(label7->text(), QString::fromUtf8("起始 IP 地址："));
        QCOMPARE(label162->text(), QString::fromUtf8("批量修改网络参数"));
        QCOMPARE(label163->text(), QString::fromUtf8("激活设备"));
        Select({rk});
        QCOMPARE(label163->text(), QString::fromUtf8("重置密码"));
        QCoreApplication::removeTranslator(&zh);
        QCoreApplication::processEvents();
        QCOMPARE(label163->text(), QString("Reset Password"));
        QCOMPARE(label7->text(), QString("IP Address:"));
        QCOMPARE(Cell(ra, Col::ColSafety), QString("Active"));
        QCOMPARE(Cell(rb, Col::ColSafety), QString("Inactive"));
        QCOMPARE(Cell(rk, Col::ColTrust), QString("Uncertified"));
    }

    // The devices of a run are worked on at the same time and answer in any
    // order: the summary keeps selection order, and each result lands in
    // its own row even when the table is sorted meanwhile.
    void resultsFollowTheirRowsWhateverAnswersFirst()
    {
        Select({0, 1, 2});
        const QString failedBefore = Cell(RowOf("ZC-100002"), Col::ColIPv4);
        g_delayMs.insert("02-00-00-00-00-01", 300); // the first selected answers last
        g_refuseMac.insert("02-00-00-00-00-02");
        SetNetFields("192.168.9.10", "255.255.255.0", "8000", "Admin12345");
        // While the first device is still working, sort the table by IPv4
        // address descending: the rows move under the running batch.
        QTimer::singleShot(100, this, [this] {
            QHeaderView *h = Table()->header();
            h->setSortIndicator(Col::ColIPv4, Qt::DescendingOrder);
            m_panel->SortTable(Col::ColIPv4);
        });
        m_panel->OnModifyNetPara();
        QCOMPARE(g_modify.size(), 3);
        QCOMPARE(g_modify.last().mac, QByteArray("02-00-00-00-00-01"));
        QCOMPARE(m_msgs->lastText(), QString("Modify network parameter succeed, please reboot your device!ID:001 003 "
                                             "Modify network parameter failed!ID:002 "));
        QCOMPARE(Cell(RowOf("ZC-100001"), Col::ColIPv4), QString("192.168.9.10"));
        QCOMPARE(Cell(RowOf("ZC-100003"), Col::ColIPv4), QString("192.168.9.12"));
        QCOMPARE(Cell(RowOf("ZC-100002"), Col::ColIPv4), failedBefore); // the refused device keeps its row as it was
        const QList<ZELT_DEVICE_INFO_MY> list = m_panel->DeviceList();
        for (const ZELT_DEVICE_INFO_MY &d : list) {
            if (ZeltRecords::text(d.szSerialNO) == "ZC-100001")
                QCOMPARE(ZeltRecords::text(d.szIPv4Address), QString("192.168.9.10"));
            if (ZeltRecords::text(d.szSerialNO) == "ZC-100003")
                QCOMPARE(ZeltRecords::text(d.szIPv4Address), QString("192.168.9.12"));
        }
        Table()->header()->setSortIndicator(0, Qt::AscendingOrder);
        m_panel->SortTable(0);
    }

    // A run's fields open as far as its devices allow: the address with any
    // changeable type, the gateway with any extended record; the same again
    // when batch DHCP is switched off. The DHCP box follows the devices
    // examined before the first that allows both. (Adds rows: runs last.)
    void runFieldsOpenAsFarAsTheDevicesAllow()
    {
        auto device = [](int i, uint32_t type, int extended, int dhcp) {
            ZELT_DEVICE_EVENT ev = MakeEvent(1, i);
            ev.dwDeviceType = type;
            ev.byExtendInfo = uint8_t(extended);
            ev.byDhcp = uint8_t(dhcp);
            return ev;
        };
        const uint32_t locked = kZeltLockedTypeFirst + 0x10, open = 0x1234;
        AddDevices({device(30, locked, 1, 0), // ZC-100030: locked, extended
                    device(31, open, 0, 1),   // ZC-100031: changeable, DHCP
                    device(32, locked, 0, 0), // ZC-100032: neither
                    device(33, open, 1, 1)}); // ZC-100033: both, DHCP
        struct Case {
            QStringList serials;
            bool address, gateway, dhcp;
        };
        const QList<Case> cases{
            {{"ZC-100030", "ZC-100032"}, false, true, false},
            {{"ZC-100031", "ZC-100032"}, true, false, true},
            {{"ZC-100032", "ZC-100030", "ZC-100031"}, true, true, false}, // the last settles both, DHCP not counted
            {{"ZC-100032", "ZC-100033"}, true, true, false},              // likewise
            {{"ZC-100031", "ZC-100033"}, true, true, true},
        };
        for (const Case &c : cases) {
            QList<int> rows;
            for (const QString &serial : c.serials)
                rows << RowOf(serial);
            QVERIFY(!rows.contains(-1));
            Select(rows);
            const QString what = c.serials.join(' ');
            for (int pass = 0; pass < 2; ++pass) {
                QVERIFY2(W<QLineEdit>("lineEditIPAddr")->isEnabled() == c.address, qPrintable(what));
                QVERIFY2(W<QLineEdit>("lineEditIPMask")->isEnabled() == c.address, qPrintable(what));
                QVERIFY2(W<CPushButton>("pushButtonModifyNetwork")->isEnabled() == c.address, qPrintable(what));
                QVERIFY2(W<QLineEdit>("lineEditIPGateway")->isEnabled() == c.gateway, qPrintable(what));
                QVERIFY2(W<QCheckBox>("checkBoxDhcp")->isChecked() == c.dhcp, qPrintable(what));
                // Batch DHCP on closes them all; off opens them as before.
                W<QCheckBox>("checkBoxBatchDhcp")->setChecked(true);
                QVERIFY2(!W<QLineEdit>("lineEditIPAddr")->isEnabled(), qPrintable(what));
                QVERIFY2(!W<QLineEdit>("lineEditIPGateway")->isEnabled(), qPrintable(what));
                W<QCheckBox>("checkBoxBatchDhcp")->setChecked(false);
            }
        }
    }
    // Every row shows how its device's identity is known: the word (what
    // the export writes too), an icon of its own and a tool tip; the column
    // sits next to the ID, sorts by trust and follows updates.
    void trustColumnShowsHowEachIdentityIsKnown()
    {
        const QList<QPair<uint8_t, QString>> levels{
            {ZELT_TRUST_VERIFIED, "Verified"},       {ZELT_TRUST_PINNED, "Pinned"},
            {ZELT_TRUST_UNCERTIFIED, "Uncertified"}, {ZELT_TRUST_AMBIGUOUS, "Ambiguous"},
            {ZELT_TRUST_UNTRUSTED, "Untrusted"},     {9, "Untrusted"}}; // a value the SDK does not define
        QList<ZELT_DEVICE_EVENT> evs;
        for (int i = 0; i < levels.size(); ++i)
            evs << Device(40 + i, levels.at(i).first);
        AddDevices(evs);
        QList<QImage> icons;
        for (int i = 0; i < levels.size(); ++i) {
            const QModelIndex cell = Model()->index(RowOf(40 + i), Col::ColTrust);
            QCOMPARE(cell.data().toString(), levels.at(i).second);
            QVERIFY(cell.data(Qt::ToolTipRole).toString().startsWith(levels.at(i).second + ": "));
            const QImage icon = qvariant_cast<QIcon>(cell.data(Qt::DecorationRole)).pixmap(16).toImage();
            QVERIFY(!icon.isNull());
            icons << icon;
        }
        for (int i = 0; i < 5; ++i)
            for (int j = i + 1; j < 5; ++j)
                QVERIFY2(icons.at(i) != icons.at(j),
                         qPrintable(levels.at(i).second + " looks like " + levels.at(j).second));
        QCOMPARE(icons.at(5), icons.at(4));
        QCOMPARE(Model()->headerData(Col::ColTrust, Qt::Horizontal).toString(), QString("Trust"));
        QCOMPARE(Table()->header()->visualIndex(Col::ColTrust), 1);
        QVERIFY(!Table()->isColumnHidden(Col::ColTrust));

        Table()->header()->setSortIndicator(Col::ColTrust, Qt::AscendingOrder);
        m_panel->SortTable(Col::ColTrust);
        const QStringList order{"Verified", "Pinned", "Uncertified", "Untrusted", "Ambiguous"};
        for (int r = 1; r < Model()->rowCount(); ++r)
            QVERIFY(order.indexOf(Cell(r - 1, Col::ColTrust)) <= order.indexOf(Cell(r, Col::ColTrust)));
        QCOMPARE(Cell(Model()->rowCount() - 1, Col::ColTrust), QString("Ambiguous"));
        Table()->header()->setSortIndicator(0, Qt::AscendingOrder);
        m_panel->SortTable(0);

        // The SDK settles an ambiguity: the row says so.
        ZELT_DEVICE_EVENT settled = Device(43, ZELT_TRUST_VERIFIED);
        settled.iEventKind = 2;
        m_panel->HandleEvent(settled);
        QTRY_COMPARE(Cell(RowOf(43), Col::ColTrust), QString("Verified"));
    }

    // One question per action, naming the devices that cannot prove who
    // they are; No sends them nothing while the others in the same run are
    // changed; Yes gives the consent right before each one's command. An
    // ambiguous device is never asked about and never sent to.
    void consentDecidesForTheDevicesThatCannotProveThemselves()
    {
        AddDevices({Device(50, ZELT_TRUST_VERIFIED), Device(51, ZELT_TRUST_PINNED), Device(52, ZELT_TRUST_UNCERTIFIED),
                    Device(53, ZELT_TRUST_UNCERTIFIED), Device(54, ZELT_TRUST_AMBIGUOUS)});
        const QList<int> rows{RowOf(50), RowOf(51), RowOf(52), RowOf(53), RowOf(54)};
        auto id = [this](int i) { return Cell(RowOf(i), Col::ColId); };

        Select(rows);
        SetNetFields("192.168.50.10", "255.255.255.0", "8000", "Admin12345");
        m_msgs->answer = 0;
        m_panel->OnModifyNetPara();
        QCOMPARE(m_msgs->count(kConsentTitle), 1);
        const QString ask = m_msgs->shown.first().text;
        QVERIFY2(ask.startsWith("2 devices cannot prove who they are"), qPrintable(ask));
        QVERIFY(ask.contains("ID " + id(52) + "   10.0.0.52"));
        QVERIFY(ask.contains("ID " + id(53) + "   10.0.0.53"));
        for (int i : {50, 51, 54})
            QVERIFY2(!ask.contains("ID " + id(i)), qPrintable(ask));
        QVERIFY(ask.endsWith("No leaves them out; the other devices are changed either way."));
        QCOMPARE(CallsTo(MacOf(50)), QList<QByteArray>{"modify"});
        QCOMPARE(CallsTo(MacOf(51)), QList<QByteArray>{"modify"});
        for (int i : {52, 53, 54})
            QVERIFY2(CallsTo(MacOf(i)).isEmpty(), MacOf(i).constData());
        QCOMPARE(Cell(RowOf(50), Col::ColIPv4), QString("192.168.50.10"));
        QCOMPARE(Cell(RowOf(52), Col::ColIPv4), QString("10.0.0.52"));
        QCOMPARE(m_msgs->lastText(), "Modify network parameter succeed, please reboot your device!ID:" + id(50) + " "
                                         + id(51) + " Modify network parameter failed!ID:" + id(54) + " \nID " + id(54)
                                         + ": Two devices claim this MAC or serial number; commands are refused and "
                                           "nothing was sent.");

        g_calls.clear();
        m_msgs->clear();
        m_msgs->answer = 1;
        Select(rows);
        SetNetFields("192.168.60.10", "255.255.255.0", "8000", "Admin12345");
        m_panel->OnModifyNetPara();
        QCOMPARE(m_msgs->count(kConsentTitle), 1);
        QCOMPARE(CallsTo(MacOf(50)), QList<QByteArray>{"modify"});
        QCOMPARE(CallsTo(MacOf(52)), (QList<QByteArray>{"allow", "modify"}));
        QCOMPARE(CallsTo(MacOf(53)), (QList<QByteArray>{"allow", "modify"}));
        QVERIFY(CallsTo(MacOf(54)).isEmpty());
        QCOMPARE(Cell(RowOf(52), Col::ColIPv4), QString("192.168.60.12"));

        // Only devices that cannot be asked about: no question, a failure.
        g_calls.clear();
        m_msgs->clear();
        Select({RowOf(54)});
        SetNetFields("192.168.70.10", "255.255.255.0", "8000", "Admin12345");
        m_panel->OnModifyNetPara();
        QCOMPARE(m_msgs->count(kConsentTitle), 0);
        QVERIFY(g_calls.isEmpty());
        QVERIFY(m_msgs->lastText().startsWith("Modify network parameter failed!ID:" + id(54)));
    }

    // Return on the question answers No: a key pressed out of habit sends
    // nothing, and with no device left nothing else happens.
    void returnOnTheQuestionSendsNothing()
    {
        Select({RowOf(52)});
        SetNetFields("192.168.80.10", "255.255.255.0", "8000", "Admin12345");
        m_msgs->byReturnKey = true; // were Return to do nothing, the box would get Yes
        m_panel->OnModifyNetPara();
        QCOMPARE(m_msgs->shown.size(), 1);
        QCOMPARE(m_msgs->lastTitle(), kConsentTitle);
        QVERIFY(m_msgs->lastText().startsWith("This device cannot prove who it is"));
        QVERIFY(m_msgs->lastText().endsWith("Send the password anyway?"));
        QVERIFY(g_calls.isEmpty());
    }

    // Each action that carries a password, security code or key file asks
    // the same way before a device that cannot prove who it is gets it.
    void everyActionWithASecretAsksFirst()
    {
        ZELT_DEVICE_EVENT inactive = Device(55, ZELT_TRUST_UNCERTIFIED);
        inactive.byActivated = 1;
        ZELT_DEVICE_EVENT keyFiles = Device(57, ZELT_TRUST_UNCERTIFIED);
        keyFiles.bySupport = 0x40 | 0x07;
        AddDevices({inactive, Device(56, ZELT_TRUST_UNCERTIFIED), keyFiles});
        auto newPassword = [this] {
            W<QLineEdit>("edtNewPassword")->setText("Abcd1234");
            W<QLineEdit>("edtConfirmPassword")->setText("Abcd1234");
        };
        struct Action {
            const char *name;
            std::function<void()> run;
            QByteArray command; // what the device that cannot prove itself gets after a Yes
        };
        const QList<Action> actions{
            {"activation",
             [&] {
                 Select({RowOf(55)});
                 newPassword();
                 m_panel->OnDefaultPassword();
             },
             "activate ZC-100055"},
            {"restore",
             [&] {
                 Select({RowOf(56)});
                 W<QLineEdit>("m_pDefaultPwdLEdit")->setText("SecCode123");
                 m_panel->OnDefaultPassword();
             },
             "restore ZC-100056"},
            {"key file",
             [&] {
                 Select({RowOf(57)});
                 W<CPathComboBox>("combImportFile")->clear();
                 W<CPathComboBox>("combImportFile")->addItem("/tmp/Signed.xml");
                 newPassword();
                 m_panel->OnImport();
             },
             "reset ZC-100057"},
            {"batch DHCP",
             [&] {
                 Select({RowOf(56), RowOf(50)});
                 W<QCheckBox>("checkBoxBatchDhcp")->setChecked(true);
                 W<CPasswordLineEdit>("lineEditPort_BatchPassword")->setText("Admin12345");
                 m_panel->batchEnableDHCP();
                 W<QCheckBox>("checkBoxBatchDhcp")->setChecked(false);
             },
             "net " + MacOf(0x38)},
        };
        for (const Action &a : actions) {
            for (int answer : {0, 1}) {
                g_calls.clear();
                m_msgs->clear();
                m_msgs->answer = answer;
                a.run();
                const QByteArray what = QByteArray(a.name) + (answer ? " yes" : " no");
                QVERIFY2(m_msgs->count(kConsentTitle) == 1, what.constData());
                // The verified device of the run gets its command either way.
                QList<QByteArray> calls = g_calls;
                QVERIFY2(calls.removeAll("net " + MacOf(50)) == (a.command.startsWith("net") ? 1 : 0),
                         what.constData());
                const QByteArray mac = MacOf(a.command.startsWith("net") ? 0x38 : a.command.right(2).toInt());
                const QList<QByteArray> want = answer ? QList<QByteArray>{"allow " + mac, a.command}
                                                      : QList<QByteArray>{};
                QVERIFY2(calls == want, (what + ": " + calls.join(", ")).constData());
            }
        }
    }

    // The SDK's refusals that follow from a device's identity are told in
    // words, after the host's modify and the SDK's own commands alike.
    void refusalsAreExplained()
    {
        const QString id = Cell(RowOf(50), Col::ColId).trimmed();
        Select({RowOf(50)});
        g_refuseMac.insert(MacOf(50));
        g_sdk.lastError = ZELT_ERR_NOT_CONSENTED;
        SetNetFields("192.168.90.10", "255.255.255.0", "8000", "Admin12345");
        m_panel->OnModifyNetPara();
        QCOMPARE(m_msgs->lastText(), "Modify network parameter failed!ID:" + id + " \nID " + id
                                         + ": It cannot prove who it is and sending to it was not agreed to; nothing "
                                           "was sent.");

        g_sdk.refuse = true;
        g_sdk.lastError = ZELT_ERR_CERT_CHANGED;
        W<QLineEdit>("m_pDefaultPwdLEdit")->setText("SecCode123");
        m_msgs->clear();
        m_msgs->answer = 0; // the question about the new certificate that follows
        m_panel->OnDefaultPassword();
        QCOMPARE(m_msgs->shown.first().text, QString("Restore default password failed!\nIts HTTPS certificate is not "
                                                     "the one seen at first contact; nothing was sent."));
        QCOMPARE(m_msgs->lastTitle(), kNewCertificateTitle);
        // Any other error keeps the message as it was.
        g_sdk.lastError = ZELT_ERR_TIMEOUT;
        m_panel->OnDefaultPassword();
        QCOMPARE(m_msgs->lastText(), QString("Restore default password failed!"));
    }

    // Devices refused for a changed HTTPS certificate are named in one
    // question after the summary (default No); Yes accepts each one's new
    // certificate, No accepts none.
    void changedCertificatesAreOfferedOnce()
    {
        AddDevices({Device(60, ZELT_TRUST_PINNED), Device(61, ZELT_TRUST_PINNED), Device(62, ZELT_TRUST_VERIFIED)});
        auto id = [this](int i) { return Cell(RowOf(i), Col::ColId).trimmed(); };
        g_refuseMac = {MacOf(60), MacOf(61), MacOf(62)};
        g_sdk.lastError = ZELT_ERR_CERT_CHANGED;
        for (int answer : {0, 1}) {
            g_calls.clear();
            m_msgs->clear();
            m_msgs->answer = answer;
            Select({RowOf(60), RowOf(61)});
            SetNetFields("192.168.95.10", "255.255.255.0", "8000", "Admin12345");
            m_panel->OnModifyNetPara();
            QCOMPARE(m_msgs->count(kNewCertificateTitle), 1);
            QCOMPARE(m_msgs->shown.first().title, QString("Information")); // the summary comes first
            const QString ask = m_msgs->lastText();
            QVERIFY2(ask.startsWith("2 devices present a new HTTPS certificate"), qPrintable(ask));
            QVERIFY(ask.contains("ID " + id(60) + "   10.0.0.60"));
            QVERIFY(ask.contains("ID " + id(61) + "   10.0.0.61"));
            QList<QByteArray> accepted;
            for (const QByteArray &c : g_calls)
                if (c.startsWith("accept "))
                    accepted << c.mid(7);
            std::sort(accepted.begin(), accepted.end());
            QCOMPARE(accepted, answer ? (QList<QByteArray>{MacOf(60), MacOf(61)}) : QList<QByteArray>{});
        }
        // An SDK command of one device asks the same; other errors ask nothing.
        m_msgs->clear();
        g_calls.clear();
        g_sdk.refuse = true;
        Select({RowOf(62)});
        W<QLineEdit>("m_pDefaultPwdLEdit")->setText("SecCode123");
        m_panel->OnDefaultPassword();
        QCOMPARE(m_msgs->count(kNewCertificateTitle), 1);
        QVERIFY(m_msgs->lastText().startsWith("This device presents a new HTTPS certificate"));
        QCOMPARE(CallsTo(MacOf(62)), QList<QByteArray>{"accept"});
        m_msgs->clear();
        g_sdk.lastError = ZELT_ERR_TIMEOUT;
        m_panel->OnDefaultPassword();
        QCOMPARE(m_msgs->count(kNewCertificateTitle), 0);
        QCOMPARE(m_msgs->shown.size(), 1);
    }

    // The question names ten devices, then counts the rest (never "and 1
    // more": the eleventh fits where that line would go).
    void questionNamesTenDevicesThenCounts()
    {
        ZELT_DEVICE_INFO_MY d;
        std::memset(&d, 0, sizeof d);
        d.byTrust = ZELT_TRUST_UNCERTIFIED;
        auto consentFor = [&d](int n) {
            CZeltConsent consent;
            for (int i = 1; i <= n; ++i) {
                ZeltRecords::putText(d.szIPv4Address, QByteArray("10.9.0.") + QByteArray::number(i));
                consent.Add(QString::asprintf("%03d ", i), d);
            }
            return consent.Text("Send the password anyway?", false);
        };
        const QString twelve = consentFor(12);
        QCOMPARE(twelve.count("\nID "), 10);
        QVERIFY(twelve.contains("\nID 010   10.9.0.10\nand 2 more\n\nSend the password anyway?"));
        const QString eleven = consentFor(11);
        QCOMPARE(eleven.count("\nID "), 11);
        QVERIFY(!eleven.contains("more"));
    }

    // The sections follow the selection however it changes: keys, and rows
    // that leave the table. In single mode Modify changes the shown device
    // alone.
    void keyboardSelectionSwitchesTheMode()
    {
        CTableView *table = Table();
        QItemSelectionModel *sel = table->selectionModel();
        auto runMode = [this] {
            const bool batch = W<QWidget>("widgetBatch")->isVisibleTo(m_panel);
            const bool label = W<QLabel>("label_7")->text() == "Start IP Address:";
            const bool serial = W<QLineEdit>("lineEditSerial")->isVisibleTo(m_panel);
            return batch && label && !serial ? 1 : !batch && !label && serial ? 0 : -1;
        };
        Select({0});
        QCOMPARE(runMode(), 0);
        QTest::keyClick(table, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(sel->selectedRows().size(), Model()->rowCount());
        QCOMPARE(runMode(), 1);
        QCOMPARE(W<QLabel>("label_162")->text(), QString("Batch Modify Network parameters"));
        QVERIFY(W<QLineEdit>("lineEditIPAddr")->text().isEmpty());

        // An arrow key selects one row: single mode, that device's values.
        QTest::keyClick(table, Qt::Key_Down);
        const int r = table->currentIndex().row();
        QCOMPARE(sel->selectedRows().size(), 1);
        QCOMPARE(runMode(), 0);
        QCOMPARE(W<QLineEdit>("lineEditSerial")->text(), Cell(r, Col::ColSerial));
        QCOMPARE(W<QLineEdit>("lineEditIPAddr")->text(), Cell(r, Col::ColIPv4));

        // Shift+Down: two rows, run mode (the next row's values are not shown).
        QTest::keyClick(table, Qt::Key_Down, Qt::ShiftModifier);
        QCOMPARE(sel->selectedRows().size(), 2);
        QCOMPARE(runMode(), 1);
        QVERIFY(W<QLineEdit>("lineEditIPAddr")->text().isEmpty());

        // Ctrl+Space takes the current row out again: single mode with the
        // other, and Modify changes that one device only.
        QTest::keyClick(table, Qt::Key_Space, Qt::ControlModifier);
        QCOMPARE(sel->selectedRows().size(), 1);
        QCOMPARE(runMode(), 0);
        QCOMPARE(W<QLineEdit>("lineEditSerial")->text(), Cell(r, Col::ColSerial));
        SetNetFields("10.99.0.5", "255.255.0.0", "8000", "Admin12345");
        m_panel->OnModifyNetPara();
        QCOMPARE(g_modify.size(), 1);
        QCOMPARE(QString(g_modify.first().mac), Cell(r, Col::ColMac));

        // Two rows selected, one leaves the table: single mode with the other.
        Select({RowOf(44), RowOf(45)});
        QCOMPARE(runMode(), 1);
        m_panel->HandleEvent(MakeEvent(3, 45));
        QTRY_COMPARE(RowOf(45), -1);
        QTRY_COMPARE(runMode(), 0);
        QCOMPARE(W<QLineEdit>("lineEditSerial")->text(), QString("ZC-100044"));
        // And the last one: nothing to edit.
        m_panel->HandleEvent(MakeEvent(3, 44));
        QTRY_VERIFY(!W<QLineEdit>("lineEditIPAddr")->isEnabled());
        QVERIFY(W<QLineEdit>("lineEditSerial")->text().isEmpty());
    }
};

QTEST_MAIN(ZeltPanelTest)
#include "tst_zelt_panel.moc"
