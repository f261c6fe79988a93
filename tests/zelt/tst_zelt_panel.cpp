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

#include <cstring>
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
#include "ZeltPanelContext.h"
#include "ZeltSdkWrapper.h"
#include "ZeltTestSupport.h"

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
} g_sdk;

int FakeModify(const char *mac, const char *, const ZELT_NET_PARAM *p)
{
    std::lock_guard lock(g_fakeMu);
    g_sdk.netMacs.append(mac);
    g_sdk.netParams.append(*p);
    return g_sdk.refuse ? 0 : 1;
}
int FakeActivate(const char *serial, const char *password)
{
    std::lock_guard lock(g_fakeMu);
    g_sdk.activated.append(QByteArray(serial) + ':' + password);
    return QByteArray(password).size() >= 8 && !g_sdk.refuse ? 1 : 0;
}
int FakeResetDefault(const char *serial, const char *code)
{
    std::lock_guard lock(g_fakeMu);
    g_sdk.resetDefault.append(QByteArray(serial) + ':' + code);
    return g_sdk.refuse ? 0 : 1;
}
int FakeReset(const char *serial, const ZELT_RESET_PARAM *r)
{
    std::lock_guard lock(g_fakeMu);
    g_sdk.resetSerials.append(serial);
    g_sdk.resets.append(*r);
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
    return 99;
}
const ZeltSdkApi kFake = {&FakeModify, &FakeActivate, &FakeResetDefault, &FakeReset, &FakeGetConfig, &FakeLastError};
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
    }

    // The devices of a run are worked on at the same time and answer in any
    // order: the summary keeps selection order, and each result lands in
    // its own row even when the table is sorted meanwhile.
    void resultsFollowTheirRowsWhateverAnswersFirst()
    {
        Select({0, 1, 2});
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
        auto rowOf = [this](const QString &serial) {
            for (int r = 0; r < Model()->rowCount(); ++r)
                if (Cell(r, Col::ColSerial) == serial)
                    return r;
            return -1;
        };
        QCOMPARE(Cell(rowOf("ZC-100001"), Col::ColIPv4), QString("192.168.9.10"));
        QCOMPARE(Cell(rowOf("ZC-100003"), Col::ColIPv4), QString("192.168.9.12"));
        QVERIFY(Cell(rowOf("ZC-100002"), Col::ColIPv4) != QString("192.168.9.11"));
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
        auto rowOf = [this](const QString &serial) {
            for (int r = 0; r < Model()->rowCount(); ++r)
                if (Cell(r, Col::ColSerial) == serial)
                    return r;
            return -1;
        };
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
                rows << rowOf(serial);
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
};

QTEST_MAIN(ZeltPanelTest)
#include "tst_zelt_panel.moc"
