// The panel's network, password and key-file actions against a recording
// host modify function and a scripted SDK table, driven by clicks and keys
// on a fresh panel for every test: what is sent, in which order, what the
// user is told, and the sections' modes.

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGridLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QTranslator>
#include <QtTest>

#include <csignal>
#include <cstring>
#include <mutex>
#include <sys/resource.h>
#include <thread>

#include "Buttons.h"
#include "CPathComboBox.h"
#include "CTableView.h"
#include "CZeltConsent.h"
#include "CZeltFieldDialog.h"
#include "CZeltProgressDialog.h"
#include "LineEdits.h"
#include "QtZelt.h"
#include "QtZeltItemModel.h"
#include "ZeltDialogCatcher.h"
#include "ZeltScanRanges.h"
#include "ZeltSdkWrapper.h"
#include "ZeltTestSupport.h"
#include "ZeltPanelDriver.h"

using ZeltTest::MakeEvent;
using Col = QtZeltItemModel::Column;
using NetMode = ZeltModes::Network;
using PwdMode = ZeltModes::Password;

namespace {
struct ModifyCall {
    QByteArray mac, ipv4, mask, password, port, http, gateway, ipv6, ipv6Gateway;
    bool ipv6Null;
    int prefix, dhcp;
};
// The fakes are called on the runner's pool threads.
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
// The host's refresh: counted in the calls, so that its order shows.
bool RecordingRefresh()
{
    std::lock_guard lock(g_fakeMu);
    g_calls.append("refresh");
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
QList<QByteArray> g_syncPasswords;
int FakeSync(const char *mac, const char *password)
{
    std::lock_guard lock(g_fakeMu);
    g_calls.append(QByteArray("sync ") + mac);
    g_syncPasswords.append(password);
    return g_refuseMac.contains(mac) ? 0 : 1;
}
// The SDK's own judgement of the ranges, the text it was given recorded.
int SeenScanRanges(const char *ranges)
{
    std::lock_guard lock(g_fakeMu);
    g_calls.append(QByteArray("ranges ") + ranges);
    const int rc = ZELT_SetScanRanges(ranges);
    g_sdk.lastError = rc == 1 ? 0 : ZELT_GetLastError();
    return rc;
}
const ZeltSdkApi kFake = {&FakeModify,    &FakeActivate, &FakeResetDefault, &FakeReset,      &FakeGetConfig,
                          &FakeLastError, &FakeAllow,    &FakeAccept,       &SeenScanRanges, &FakeSync};

// Device i with this trust level.
ZELT_DEVICE_EVENT Device(int i, uint8_t trust = ZELT_TRUST_VERIFIED)
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

class ZeltPanelTest : public QObject, public ZeltTest::PanelDriver
{
    Q_OBJECT

    QWidget *m_host = nullptr;
    DialogCatcher *m_msgs = nullptr;
    QTemporaryDir m_config;

    QString Cell(int r, int c) const { return Model()->index(r, c).data().toString(); }
    QLineEdit *Field(const char *name) const { return W<QLineEdit>(name); }

    void AddDevices(const QList<ZELT_DEVICE_EVENT> &events)
    {
        const int before = Model()->rowCount();
        for (const ZELT_DEVICE_EVENT &ev : events)
            m_panel->HandleEvent(ev);
        QTRY_COMPARE(Model()->rowCount(), before + int(events.size()));
    }
    int RowOf(int i) const
    {
        const QString serial = QStringLiteral("ZC-%1").arg(100000 + i);
        for (int r = 0; r < Model()->rowCount(); ++r)
            if (Cell(r, Col::ColSerial) == serial)
                return r;
        return -1;
    }
    // The texts handed to the SDK as scan ranges, in order.
    static QList<QByteArray> RangesSent()
    {
        QList<QByteArray> out;
        for (const QByteArray &c : g_calls)
            if (c.startsWith("ranges "))
                out << c.mid(7);
        return out;
    }
    // Works the dialog with the field of that name once the panel shows it (it runs its
    // own event loop, so the steps come from a timer); true once they ran.
    std::shared_ptr<bool> WhenShown(const char *name, std::function<void(CZeltFieldDialog *)> steps)
    {
        auto ran = std::make_shared<bool>(false);
        auto *poll = new QTimer(m_host);
        connect(poll, &QTimer::timeout, poll, [poll, ran, name = QString::fromLatin1(name), steps] {
            for (QWidget *w : QApplication::topLevelWidgets()) {
                auto *dlg = qobject_cast<CZeltFieldDialog *>(w);
                if (dlg && dlg->isVisible() && dlg->findChild<QLineEdit *>(name)) {
                    poll->stop();
                    poll->deleteLater();
                    // Its skin is selected by the dialog's object name.
                    QVERIFY2(dlg->styleSheet().contains(QLatin1Char('#') + dlg->objectName() + QLatin1Char('{')),
                             qPrintable(dlg->objectName()));
                    *ran = true;
                    steps(dlg);
                    if (dlg->isVisible()) // a step failed: the panel's call must return
                        dlg->reject();
                    return;
                }
            }
        });
        poll->start(10);
        return ran;
    }
    QList<QByteArray> CallsTo(const QByteArray &mac) const
    {
        QList<QByteArray> out;
        for (const QByteArray &c : g_calls)
            if (c.endsWith(' ' + mac))
                out << c.left(c.indexOf(' '));
        return out;
    }
    void SetNetFields(const QString &ip, const QString &mask, const QString &port, const QString &pwd)
    {
        Type("lineEditIPAddr", ip);
        Type("lineEditIPMask", mask);
        Type("lineEditPort", port);
        Type("lineEditPort_Password", pwd);
        if (Field("lineEditHttpPort")->text().isEmpty())
            Type("lineEditHttpPort", "80"); // emptied in run mode
    }
    void SetNewPassword(const QString &pwd, const QString &confirmation)
    {
        Type("edtNewPassword", pwd);
        Type("edtConfirmPassword", confirmation);
    }
    void SetKeyFile(const char *box, const QString &path)
    {
        W<CPathComboBox>(box)->clear();
        if (!path.isEmpty())
            W<CPathComboBox>(box)->addItem(path); // what the chooser leaves
    }

private slots:
    void initTestCase()
    {
        // The user's configuration of the plug-in: this test's own.
        QVERIFY(m_config.isValid());
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path()));
        ZeltSdkWrapper::SetApi(&kFake);
    }
    void cleanupTestCase() { ZeltSdkWrapper::SetApi(nullptr); }

    // A fresh panel with six devices: 4 and 5 inactive, 6 resets with key
    // files.
    void init()
    {
        g_calls.clear();
        g_modify.clear();
        g_refuseMac.clear();
        g_delayMs.clear();
        g_sdk = SdkLog();
        g_syncPasswords.clear();
        QFile::remove(ZeltScanRanges::ConfigFile());
        m_host = new QWidget;
        auto *layout = new QGridLayout(m_host);
        m_panel = new QtZelt(m_host, &RecordingModify, nullptr, &RecordingRefresh);
        layout->addWidget(m_panel);
        m_host->resize(1280, 900);
        m_host->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_host));
        QApplication::setActiveWindow(m_host);
        QVERIFY(m_panel->IsStarted());
        m_msgs = new DialogCatcher;
        QList<ZELT_DEVICE_EVENT> evs;
        for (int i = 1; i <= 6; ++i)
            evs.append(MakeEvent(1, i));
        evs[3].byActivated = 1;
        evs[4].byActivated = 1;
        evs[5].bySupport = 0x40 | 0x07;
        AddDevices(evs);
    }
    void cleanup()
    {
        HideTip();
        delete m_msgs;
        m_msgs = nullptr;
        delete m_host;
        m_host = nullptr;
        m_panel = nullptr;
    }

    void noSelectionAsksForADevice()
    {
        QCOMPARE(m_panel->NetworkMode(), NetMode::Off);
        QCOMPARE(m_panel->PasswordMode(), PwdMode::Off);
        QVERIFY(Act("pushButtonModifyNetwork"));
        QCOMPARE(m_msgs->lastTitle(), QString("Information"));
        QCOMPARE(m_msgs->lastText(), QString("Please select a device."));
        QVERIFY(g_modify.isEmpty());
    }

    // Each field's refusal is told at the field (the checks themselves are
    // tested in tst_zelt_checks); nothing is sent.
    void fieldErrorsShowAtTheirField()
    {
        const QList<std::tuple<const char *, QString, QString>> cases{
            {"lineEditIPAddr", "10.0.0.0", "IP Address not correct."},
            {"lineEditIPMask", "255.255.255.255", "Subnet Mask not correct."},
            {"lineEditPort", "1999", "Device port ranges from 2000 to 65535."},
            {"lineEditIPGateway", "10.0.0.0", "Gateway not correct."},
            {"lineEditIPv6Addr", "fd00::1::2", "IPv6 Address not correct."},
            {"lineEditIPv6Gateway", "fd00:::1", "IPv6 gateway not correct."},
            {"lineEditPort_Password", QString::fromUtf8("Pässwort12"),
             "The password may only contain printable ASCII characters."},
        };
        Select({0});
        QCOMPARE(m_panel->NetworkMode(), NetMode::Single);
        for (const auto &[field, text, message] : cases) {
            SetNetFields("10.0.0.5", "255.255.0.0", "8000", "Admin12345");
            Type("lineEditIPGateway", "10.0.0.1");
            Type("lineEditIPv6Addr", "fd00::10");
            Type("lineEditIPv6Gateway", "fd00::1");
            Type(field, text);
            QVERIFY(Act("pushButtonModifyNetwork"));
            QCOMPARE(TipAt(Field(field)), message);
            HideTip();
        }
        QVERIFY(g_modify.isEmpty());
        QVERIFY(m_msgs->shown.isEmpty());
    }

    // Fields a device does not allow are neither checked nor sent: no HTTP
    // port (the field says 0, which no check would pass), no IPv6 change
    // (the field holds what the device reported, whatever it is).
    void fieldsNotInUseAreNotChecked()
    {
        ZELT_DEVICE_EVENT ev = MakeEvent(1, 20);
        ev.wHttpPort = 0;
        ev.bySupport = ZELT_SUPPORT_IPV6;
        ZeltTest::Put(ev.szIPv6Address, "not an address");
        AddDevices({ev});
        Select({RowOf(20)});
        QVERIFY(!Field("lineEditHttpPort")->isEnabled());
        QVERIFY(!Field("lineEditIPv6Addr")->isEnabled());
        QCOMPARE(Field("lineEditIPv6Addr")->text(), QString("not an address"));
        SetNetFields("10.0.0.20", "255.255.0.0", "8000", "Admin12345");
        QVERIFY(Act("pushButtonModifyNetwork"));
        QCOMPARE(g_modify.size(), 1);
        QVERIFY(g_modify.first().ipv6Null);
        QCOMPARE(g_modify.first().prefix, 0);
    }

    void singleDeviceChangeUpdatesRowAndRecord()
    {
        Select({1});
        SetNetFields(" 10.20.30.40", "255.255.255.0", "8100", "Pass word1");
        Type("lineEditIPGateway", "");
        Type("lineEditIPv6Addr", "fd00::99");
        Type("lineEditIPv6Gateway", "");
        Type("lineEditIPv6Mask", "48");
        QVERIFY(Act("pushButtonModifyNetwork"));
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

    // A run hands out addresses in selection order, within the typed mask
    // (in a /16, x.x.2.255 is a host address), and never IPv6 settings.
    void runInSelectionOrder()
    {
        Select({2});
        Type("lineEditIPv6Addr", "fd00::77"); // what one device showed
        Select({2, 0, 1});
        QCOMPARE(m_panel->NetworkMode(), NetMode::Run);
        QCOMPARE(m_panel->PasswordMode(), PwdMode::Activate);
        QVERIFY(W<QWidget>("widgetBatch")->isVisible());
        QCOMPARE(W<QLabel>("label_7")->text(), QString("Start IP Address:"));
        for (const char *emptied : {"lineEditIPAddr", "lineEditHttpPort", "lineEditIPv6Addr", "lineEditIPv6Gateway"})
            QVERIFY2(Field(emptied)->text().isEmpty(), emptied);
        QVERIFY(!Field("lineEditIPv6Addr")->isEnabled());
        Type("lineEditHttpPort", "8080");
        SetNetFields("10.77.2.254", "255.255.0.0", "8000", "Admin12345");
        QVERIFY(Act("pushButtonModifyNetwork"));
        QCOMPARE(g_modify.size(), 3);
        QCOMPARE(CallTo("02-00-00-00-00-03").ipv4, QByteArray("10.77.2.254"));
        QCOMPARE(CallTo("02-00-00-00-00-01").ipv4, QByteArray("10.77.2.255"));
        QCOMPARE(CallTo("02-00-00-00-00-02").ipv4, QByteArray("10.77.3.1"));
        for (const ModifyCall &c : g_modify) {
            QVERIFY(c.ipv6Null);
            QCOMPARE(c.http, QByteArray("8080"));
        }
        QCOMPARE(Cell(2, Col::ColIPv4), QString("10.77.2.254"));
        QCOMPARE(Cell(0, Col::ColIPv4), QString("10.77.2.255"));
        QCOMPARE(m_msgs->lastText(),
                 QString("Modify network parameter succeed, please reboot your device!ID:003 001 002 "));
    }

    void runPastTheEndIsRefusedWhole()
    {
        Select({0, 1, 2});
        SetNetFields("255.255.255.253", "255.255.255.0", "8000", "Admin12345");
        QVERIFY(Act("pushButtonModifyNetwork"));
        QVERIFY(g_modify.isEmpty());
        QCOMPARE(m_msgs->shown.size(), 1);
        QVERIFY2(m_msgs->lastText().contains("nothing was changed"), qPrintable(m_msgs->lastText()));
    }

    // The devices of a run are worked on at the same time and answer in any
    // order: the summary keeps selection order, each result lands in its
    // own row even when the table is sorted meanwhile, and a refused device
    // keeps its row as it was. The window is not blocked meanwhile.
    void resultsFollowTheirRowsWhateverAnswersFirst()
    {
        Select({0, 1, 2});
        const QString refusedBefore = Cell(RowOf(2), Col::ColIPv4);
        g_delayMs.insert("02-00-00-00-00-01", 300); // the first selected answers last
        g_refuseMac.insert("02-00-00-00-00-02");
        SetNetFields("192.168.9.10", "255.255.255.0", "8000", "Admin12345");
        Click("pushButtonModifyNetwork");
        QVERIFY(m_panel->IsBusy());
        // While the first device is still working, sort the table by IPv4
        // address descending: the rows move under the running commands.
        QTest::qWait(100);
        QHeaderView *h = Table()->header();
        h->setSortIndicator(Col::ColIPv4, Qt::AscendingOrder);
        QTest::mouseClick(h->viewport(), Qt::LeftButton, {},
                          QPoint(h->sectionViewportPosition(Col::ColIPv4) + 10, h->height() / 2));
        QCOMPARE(h->sortIndicatorOrder(), Qt::DescendingOrder);
        QTRY_VERIFY_WITH_TIMEOUT(!m_panel->IsBusy(), 10000);
        QCOMPARE(g_modify.size(), 3);
        QCOMPARE(g_modify.last().mac, QByteArray("02-00-00-00-00-01"));
        QCOMPARE(m_msgs->lastText(), QString("Modify network parameter succeed, please reboot your device!ID:001 003 "
                                             "Modify network parameter failed!ID:002 "));
        QCOMPARE(Cell(RowOf(1), Col::ColIPv4), QString("192.168.9.10"));
        QCOMPARE(Cell(RowOf(3), Col::ColIPv4), QString("192.168.9.12"));
        QCOMPARE(Cell(RowOf(2), Col::ColIPv4), refusedBefore);
        for (const ZELT_DEVICE_INFO_MY &d : m_panel->DeviceList()) {
            if (ZeltRecords::text(d.szSerialNO) == "ZC-100001")
                QCOMPARE(ZeltRecords::text(d.szIPv4Address), QString("192.168.9.10"));
            if (ZeltRecords::text(d.szSerialNO) == "ZC-100003")
                QCOMPARE(ZeltRecords::text(d.szIPv4Address), QString("192.168.9.12"));
        }
    }

    void batchDhcpUsesEachRecord()
    {
        Select({4, 5});
        ZeltTest::Click(W<QCheckBox>("checkBoxBatchDhcp"));
        QVERIFY(!W<CPushButton>("pushButtonModifyNetwork")->isEnabled());
        QVERIFY(!Field("lineEditIPAddr")->isEnabled());
        QVERIFY(W<CPushButton>("pushButtonModifyBatchNetwork")->isEnabled());
        // Not printable ASCII: refused at the field.
        Type("lineEditPort_BatchPassword", QString::fromUtf8("Admin12345€"));
        QVERIFY(Act("pushButtonModifyBatchNetwork"));
        QVERIFY(g_sdk.netParams.isEmpty());
        QCOMPARE(TipAt(Field("lineEditPort_BatchPassword")),
                 QString("The password may only contain printable ASCII characters."));

        Type("lineEditPort_BatchPassword", " Admin12345 ");
        QVERIFY(Act("pushButtonModifyBatchNetwork"));
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

        ZeltTest::Click(W<QCheckBox>("checkBoxBatchDhcp"));
        QVERIFY(W<CPushButton>("pushButtonModifyNetwork")->isEnabled());
        QVERIFY(Field("lineEditIPAddr")->isEnabled());
        g_sdk.refuse = true;
        QVERIFY(Act("pushButtonModifyBatchNetwork"));
        QCOMPARE(m_msgs->lastText(), QString("Modify network parameter failed!ID:005 006 "));
    }

    // Batch DHCP closes the IPv6 group of the run; a single device shown
    // afterwards has its own IPv6 settings open, checked and sent.
    void ipv6OfOneDeviceAfterBatchDhcp()
    {
        Select({4, 5});
        ZeltTest::Click(W<QCheckBox>("checkBoxBatchDhcp"));
        Type("lineEditPort_BatchPassword", "Admin12345");
        QVERIFY(Act("pushButtonModifyBatchNetwork"));
        QCOMPARE(g_sdk.netParams.size(), 2);
        Select({2}); // DHCP off, IPv6 may be changed
        QLineEdit *ipv6 = Field("lineEditIPv6Addr");
        QVERIFY(ipv6->isEnabled());
        SetNetFields("10.0.0.3", "255.255.0.0", "8000", "Admin12345");
        Type("lineEditIPv6Addr", "fd00::1::2");
        QVERIFY(Act("pushButtonModifyNetwork"));
        QCOMPARE(TipAt(ipv6), QString("IPv6 Address not correct."));
        QVERIFY(g_modify.isEmpty());
        Type("lineEditIPv6Addr", "fd00::33");
        QVERIFY(Act("pushButtonModifyNetwork"));
        QCOMPARE(g_modify.size(), 1);
        QVERIFY(!g_modify.first().ipv6Null);
        QCOMPARE(g_modify.first().ipv6, QByteArray("fd00::33"));
    }

    // DHCP on: the device takes its addresses from the network, so its
    // address and IPv6 fields close, and DHCP is what is sent.
    void dhcpCheckBoxLocksAddressFields()
    {
        Select({0});
        ZeltTest::Click(W<QCheckBox>("checkBoxDhcp"));
        for (const char *closed : {"lineEditIPAddr", "lineEditIPMask", "lineEditIPGateway"})
            QVERIFY2(!Field(closed)->isEnabled(), closed);
        QVERIFY(!W<QFrame>("frame")->isEnabled());
        Type("lineEditPort_Password", "Admin12345");
        QVERIFY(Act("pushButtonModifyNetwork"));
        QCOMPARE(g_modify.size(), 1);
        QCOMPARE(g_modify.first().dhcp, 1);
        QVERIFY(g_modify.first().ipv6Null);
        ZeltTest::Click(W<QCheckBox>("checkBoxDhcp"));
        QVERIFY(Field("lineEditIPAddr")->isEnabled());
        QVERIFY(W<QFrame>("frame")->isEnabled());
        QCOMPARE(m_panel->NetworkMode(), NetMode::Single);
    }

    // Each lamp is compared with the picture it must show, so a red lamp in
    // place of a yellow one, or a lamp left grey, is caught.
    void strengthDisplay()
    {
        Select({3});
        QLabel *word = W<QLabel>("m_pLabelLevel");
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
                out << name(W<QLabel>(lamp)->pixmap().toImage());
            return out;
        };
        const QList<std::tuple<QString, QString, QStringList>> steps{
            {"", "", {"grey", "grey", "grey"}},
            {"a", "Weak", {"red", "grey", "grey"}},
            {"abcd1234", "Weak", {"red", "grey", "grey"}},
            {"ABCDabcd", "Medium", {"yellow", "yellow", "grey"}},
            {"Abcd1234", "Strong", {"green", "green", "green"}},
            // Back down: the lamps that are no longer lit turn grey again.
            {"ABCDabcd", "Medium", {"yellow", "yellow", "grey"}},
            {"", "", {"grey", "grey", "grey"}},
        };
        for (const auto &[text, expectedWord, expectedLamps] : steps) {
            Type("edtNewPassword", text);
            QCOMPARE(word->text(), expectedWord);
            QCOMPARE(lamps(), expectedLamps);
        }
    }

    void activation()
    {
        Select({3});
        QCOMPARE(m_panel->PasswordMode(), PwdMode::Activate);
        QCOMPARE(W<QLabel>("label_163")->text(), QString("Activate device"));
        SetNewPassword(QString::fromUtf8("Ab1密码密码密码"), QString::fromUtf8("Ab1密码密码密码"));
        QVERIFY(Act("pushButtonModifyPassword"));
        QCOMPARE(TipAt(Field("edtNewPassword")), QString("The password may only contain printable ASCII characters."));
        QVERIFY(g_sdk.activated.isEmpty());

        // Rows 3 and 4 inactive, 0 active: the active one is skipped.
        Select({3, 0, 4});
        SetNewPassword("Abcd1234", "Abcd1234");
        QVERIFY(Act("pushButtonModifyPassword"));
        QList<QByteArray> activated = g_sdk.activated;
        std::sort(activated.begin(), activated.end());
        QCOMPARE(activated, (QList<QByteArray>{"ZC-100004:Abcd1234", "ZC-100005:Abcd1234"}));
        QCOMPARE(m_msgs->lastText(), QString("The device is activated.ID:004 005 "));
        QCOMPARE(Cell(3, Col::ColSafety), QString("Active"));
        QCOMPARE(int(m_panel->DeviceList().at(3).byActivated), 0);

        m_msgs->clear();
        SetNewPassword("Abcd1234", "Abcd1234");
        QVERIFY(Act("pushButtonModifyPassword"));
        QCOMPARE(m_msgs->lastText(), QString("No activate device."));

        // A password the devices refuse (too short for them): each row is
        // counted, and stays inactive.
        ZELT_DEVICE_EVENT a = MakeEvent(1, 7), b = MakeEvent(1, 8);
        a.byActivated = b.byActivated = 1;
        AddDevices({a, b});
        g_sdk.activated.clear();
        Select({6, 7});
        SetNewPassword("Ab1", "Ab1");
        QVERIFY(Act("pushButtonModifyPassword"));
        QCOMPARE(g_sdk.activated.size(), 2);
        QCOMPARE(m_msgs->lastText(), QString("Operation failed.ID:007 008 "));
        QCOMPARE(Cell(6, Col::ColSafety), QString("Inactive"));
    }

    void restoreWithSecurityCode()
    {
        Select({0}); // active, no reset capability: security code only
        QCOMPARE(m_panel->PasswordMode(), PwdMode::RestoreDefault);
        QVERIFY(Field("m_pDefaultPwdLEdit")->isVisible());
        QVERIFY(!Field("edtNewPassword")->isVisible());
        Type("m_pDefaultPwdLEdit", QString::fromUtf8("SecCodé123"));
        QVERIFY(Act("pushButtonModifyPassword"));
        QCOMPARE(TipAt(Field("m_pDefaultPwdLEdit")),
                 QString("The security code may only contain printable ASCII characters."));
        QVERIFY(g_sdk.resetDefault.isEmpty());
        Type("m_pDefaultPwdLEdit", "SecCode123");
        QVERIFY(Act("pushButtonModifyPassword"));
        QCOMPARE(g_sdk.resetDefault, QList<QByteArray>{"ZC-100001:SecCode123"});
        QCOMPARE(m_msgs->lastTitle(), QString("Information"));
        QCOMPARE(m_msgs->lastText(), QString("Restore default password succeed."));
        g_sdk.refuse = true;
        QVERIFY(Act("pushButtonModifyPassword"));
        QCOMPARE(m_msgs->lastTitle(), QString("Error"));
        QCOMPARE(m_msgs->lastText(), QString("Restore default password failed!"));
    }

    void keyFileDeviceHasNoSecurityCodeReset()
    {
        Select({5}); // reset capability: new password and key files
        QCOMPARE(m_panel->PasswordMode(), PwdMode::ResetPassword);
        QCOMPARE(W<QLabel>("label_163")->text(), QString("Reset Password"));
        QVERIFY(Field("edtNewPassword")->isVisible());
        QVERIFY(W<QPushButton>("btnImport")->isVisible());
        QVERIFY(!Field("m_pDefaultPwdLEdit")->isVisible());
        SetNewPassword("Newpass123456789", "Newpass123456789");
        QVERIFY(Act("pushButtonModifyPassword"));
        QVERIFY(g_sdk.resets.isEmpty());
        QCOMPARE(TipAt(W<QPushButton>("btnImport")), QString("Please import a device key file to reset the password."));
    }

    void importKeyFile()
    {
        Select({5});
        SetKeyFile("combImportFile", QString());
        QVERIFY(Act("btnImport"));
        QCOMPARE(TipAt(W<CPathComboBox>("combImportFile")), QString("File path cannot be empty."));

        SetKeyFile("combImportFile", "/tmp/keys/Signed.xml");
        SetNewPassword("Newpass123456789", "Newpass12345678");
        QVERIFY(Act("btnImport"));
        QCOMPARE(TipAt(Field("edtNewPassword")), QString("The password you typed do not match."));
        QVERIFY(g_sdk.resets.isEmpty());

        SetNewPassword("Newpass123456789", "Newpass123456789");
        QVERIFY(Act("btnImport"));
        QCOMPARE(g_sdk.resets.size(), 1);
        QCOMPARE(g_sdk.resetSerials.first(), QByteArray("ZC-100006"));
        const ZELT_RESET_PARAM &r = g_sdk.resets.first();
        QCOMPARE(QByteArray(r.szKeyFilePath), QByteArray("/tmp/keys/Signed.xml"));
        QCOMPARE(QByteArray(r.szNewPassword, 16), QByteArray("Newpass123456789")); // all 16 bytes
        QCOMPARE(r.szSecurityCode[0], '\0');
        QCOMPARE(m_msgs->lastText(), QString("Reset password succeed."));
        g_sdk.refuse = true;
        QVERIFY(Act("btnImport"));
        QCOMPARE(m_msgs->lastTitle(), QString("Information"));
        QCOMPARE(m_msgs->lastText(), QString("Reset password failed."));
        g_sdk.refuse = false;

        // A path that does not fit its slot is refused, not shortened;
        // 259 bytes still fit.
        SetKeyFile("combImportFile", "/tmp/" + QString(255, QLatin1Char('k')) + ".xml");
        QVERIFY(Act("btnImport"));
        QCOMPARE(g_sdk.resets.size(), 2);
        QCOMPARE(m_msgs->lastText(), QString("The key file path is too long."));
        const QString fits = "/" + QString(258, QLatin1Char('k'));
        SetKeyFile("combImportFile", fits);
        QVERIFY(Act("btnImport"));
        QCOMPARE(g_sdk.resets.size(), 3);
        QCOMPARE(QByteArray(g_sdk.resets.last().szKeyFilePath), fits.toLatin1());
    }

    // A device that takes key files without a new password: the import
    // restores the default password.
    void importWithoutNewPasswordRestores()
    {
        ZELT_DEVICE_EVENT ev = MakeEvent(1, 20);
        ev.bySupport = ZELT_SUPPORT_NEW_PASSWORD;
        AddDevices({ev});
        Select({RowOf(20)});
        QCOMPARE(m_panel->PasswordMode(), PwdMode::KeyFilesOnly);
        QVERIFY(!W<QPushButton>("pushButtonModifyPassword")->isVisible());
        QVERIFY(!Field("edtNewPassword")->isVisible());
        SetKeyFile("combImportFile", "/tmp/k.xml");
        QVERIFY(Act("btnImport"));
        QCOMPARE(g_sdk.resets.size(), 1);
        QCOMPARE(QByteArray(g_sdk.resets[0].szNewPassword, 16), QByteArray(16, '\0'));
        QCOMPARE(m_msgs->lastText(), QString("Restore default password succeed."));
    }

    void exportKeyFile()
    {
        QTemporaryDir dir;
        Select({5});
        SetKeyFile("combExportFile", QString());
        QVERIFY(Act("btnExport"));
        QCOMPARE(TipAt(W<CPathComboBox>("combExportFile")), QString("File path cannot be empty."));
        QVERIFY(g_sdk.keySerial.isEmpty());

        SetKeyFile("combExportFile", dir.path() + "/");
        QVERIFY(Act("btnExport"));
        QCOMPARE(m_msgs->lastText(), QString("Exported."));
        QCOMPARE(g_sdk.keySerial, QByteArray("ZC-100006"));
        QFile f(dir.filePath("DeviceKey.xml"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("ABCDEFGHIJKLMNOPQRSTUVWXYZABCDEFGHIJKLMN"));
        f.close();

        // A second export replaces the file; a length past the buffer is clamped.
        g_sdk.keyLength = 100000;
        QVERIFY(Act("btnExport"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.size(), 256);
        f.close();

        g_sdk.keyResult = 0;
        QVERIFY(Act("btnExport"));
        QCOMPARE(m_msgs->lastText(), QString("Get key error."));

        g_sdk.keyResult = 1;
        SetKeyFile("combExportFile", dir.path() + "/missing/folder/");
        QVERIFY(Act("btnExport"));
        QCOMPARE(m_msgs->lastText(), QString("Create device key file error."));
    }

    // The key file is written beside its place and renamed into it: a link
    // at the place is refused (its target untouched, nothing asked of the
    // device), and a write that fails leaves the file that was there.
    void exportKeyFileNeverFollowsALinkNorLeavesACutFile()
    {
        QTemporaryDir dir;
        Select({5});
        SetKeyFile("combExportFile", dir.path() + "/");
        const QString key = dir.filePath("DeviceKey.xml");

        QFile target(dir.filePath("elsewhere.txt"));
        QVERIFY(target.open(QIODevice::WriteOnly));
        target.write("not a key");
        target.close();
        QVERIFY(QFile::link(target.fileName(), key));
        QVERIFY(Act("btnExport"));
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
        QVERIFY(Act("btnExport"));
        QCOMPARE(m_msgs->lastText(), QString("Exported."));
        g_sdk.keyLength = 60;
        Click("btnExport");
        {
            rlimit old{};
            QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
            const rlimit small{16, old.rlim_max};
            auto *const oldHandler = std::signal(SIGXFSZ, SIG_IGN);
            QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
            const bool idle = QTest::qWaitFor([this] { return !m_panel->IsBusy(); }, 10000);
            setrlimit(RLIMIT_FSIZE, &old);
            std::signal(SIGXFSZ, oldHandler);
            QVERIFY(idle);
        }
        QCOMPARE(m_msgs->lastText(), QString("Create device key file error."));
        QFile written(key);
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(written.readAll(), QByteArray("ABCDEFGHIJKLMNOPQRSTUVWXYZABCDEFGHIJKLMN"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System),
                 (QStringList{"DeviceKey.xml", "elsewhere.txt"}));
    }

    // Capability bit 1 without bit 0: the IPv6 fields are open but the device
    // reported none, so the prefix field is empty, which means length 0.
    void emptyPrefixMeansZero()
    {
        ZELT_DEVICE_EVENT ev = MakeEvent(1, 20);
        ev.bySupport = ZELT_SUPPORT_MODIFY_IPV6 | ZELT_SUPPORT_DHCP;
        AddDevices({ev});
        Select({RowOf(20)});
        QLineEdit *prefix = Field("lineEditIPv6Mask");
        QVERIFY(prefix->isEnabled());
        QCOMPARE(prefix->text(), QString());
        SetNetFields("10.0.0.20", "255.255.0.0", "8000", "Admin12345");
        QVERIFY(Act("pushButtonModifyNetwork"));
        QCOMPARE(TipAt(prefix), QString());
        QCOMPARE(g_modify.size(), 1);
        QVERIFY(!g_modify.first().ipv6Null);
        QCOMPARE(g_modify.first().prefix, 0);
    }

    // A language change rewrites every text from what the panel knows now:
    // rows activated since they were shown, and the labels that follow the
    // sections' modes.
    void languageChangeKeepsStateTexts()
    {
        QTranslator zh;
        QVERIFY(zh.load(qEnvironmentVariable("TOOLBAY_BIN_DIR") + "/translations/ZELT_zh.qm"));
        ZELT_DEVICE_EVENT k = MakeEvent(1, 23);
        k.bySupport = 0x40 | 0x07;
        k.byTrust = ZELT_TRUST_UNCERTIFIED;
        AddDevices({k});
        const int rk = RowOf(23);
        Select({3});
        SetNewPassword("Abcd1234", "Abcd1234");
        QVERIFY(Act("pushButtonModifyPassword"));
        QCOMPARE(Cell(3, Col::ColSafety), QString("Active"));
        QCOMPARE(Cell(4, Col::ColSafety), QString("Inactive"));

        auto *label7 = W<QLabel>("label_7");
        auto *label162 = W<QLabel>("label_162");
        auto *label163 = W<QLabel>("label_163");
        Select({3, 4});
        QCOMPARE(label7->text(), QString("Start IP Address:"));
        QCOMPARE(label162->text(), QString("Batch Modify Network parameters"));
        QCOMPARE(label163->text(), QString("Activate device"));

        QCoreApplication::installTranslator(&zh);
        QCoreApplication::processEvents();
        QCOMPARE(Cell(3, Col::ColSafety), QString::fromUtf8("已激活"));
        QCOMPARE(Cell(4, Col::ColSafety), QString::fromUtf8("未激活"));
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
        QCOMPARE(Cell(3, Col::ColSafety), QString("Active"));
        QCOMPARE(Cell(4, Col::ColSafety), QString("Inactive"));
        QCOMPARE(Cell(rk, Col::ColTrust), QString("Uncertified"));
    }

    // A run's fields open as far as its devices allow: the address with any
    // changeable type, the gateway with any extended record; the same again
    // when batch DHCP is switched off. The DHCP box follows the devices
    // examined before the first that allows both.
    void runFieldsOpenAsFarAsTheDevicesAllow()
    {
        auto device = [](int i, uint32_t type, int extended, int dhcp) {
            ZELT_DEVICE_EVENT ev = MakeEvent(1, i);
            ev.dwDeviceType = type;
            ev.byExtendInfo = uint8_t(extended);
            ev.byDhcp = uint8_t(dhcp);
            return ev;
        };
        const uint32_t locked = 0x9D10, open = 0x1234;
        AddDevices({device(30, locked, 1, 0), // locked, extended
                    device(31, open, 0, 1),   // changeable, DHCP
                    device(32, locked, 0, 0), // neither
                    device(33, open, 1, 1)}); // both, DHCP
        struct Case {
            QList<int> devices;
            bool address, gateway, dhcp;
        };
        const QList<Case> cases{
            {{30, 32}, false, true, false},    {{31, 32}, true, false, true},
            {{32, 30, 31}, true, true, false}, // the last settles both, DHCP not counted
            {{32, 33}, true, true, false},     // likewise
            {{31, 33}, true, true, true},
        };
        for (const Case &c : cases) {
            QList<int> rows;
            for (int i : c.devices)
                rows << RowOf(i);
            Select(rows);
            const QByteArray what = QByteArray::number(c.devices.first()) + "+";
            QCOMPARE(m_panel->NetworkMode(), NetMode::Run);
            for (int pass = 0; pass < 2; ++pass) {
                QVERIFY2(Field("lineEditIPAddr")->isEnabled() == c.address, what);
                QVERIFY2(Field("lineEditIPMask")->isEnabled() == c.address, what);
                QVERIFY2(W<CPushButton>("pushButtonModifyNetwork")->isEnabled() == c.address, what);
                QVERIFY2(Field("lineEditIPGateway")->isEnabled() == c.gateway, what);
                QVERIFY2(W<QCheckBox>("checkBoxDhcp")->isChecked() == c.dhcp, what);
                // Batch DHCP on closes them all; off opens them as before.
                ZeltTest::Click(W<QCheckBox>("checkBoxBatchDhcp"));
                QVERIFY2(!Field("lineEditIPAddr")->isEnabled(), what);
                QVERIFY2(!Field("lineEditIPGateway")->isEnabled(), what);
                ZeltTest::Click(W<QCheckBox>("checkBoxBatchDhcp"));
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
        QVERIFY(Act("pushButtonModifyNetwork"));
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
        QVERIFY(Act("pushButtonModifyNetwork"));
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
        QVERIFY(Act("pushButtonModifyNetwork"));
        QCOMPARE(m_msgs->count(kConsentTitle), 0);
        QVERIFY(g_calls.isEmpty());
        QVERIFY(m_msgs->lastText().startsWith("Modify network parameter failed!ID:" + id(54)));

        // Return on the question answers No: a key pressed out of habit
        // sends nothing, and with no device left nothing else happens.
        m_msgs->clear();
        Select({RowOf(52)});
        SetNetFields("192.168.80.10", "255.255.255.0", "8000", "Admin12345");
        m_msgs->byReturnKey = true; // were Return to do nothing, the box would get Yes
        QVERIFY(Act("pushButtonModifyNetwork"));
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
        AddDevices({Device(50), inactive, Device(56, ZELT_TRUST_UNCERTIFIED), keyFiles});
        struct Action {
            const char *name;
            std::function<void()> run;
            QByteArray command; // what the device that cannot prove itself gets after a Yes
        };
        const QList<Action> actions{
            {"activation",
             [&] {
                 Select({RowOf(55)});
                 SetNewPassword("Abcd1234", "Abcd1234");
                 QVERIFY(Act("pushButtonModifyPassword"));
             },
             "activate ZC-100055"},
            {"restore",
             [&] {
                 Select({RowOf(56)});
                 Type("m_pDefaultPwdLEdit", "SecCode123");
                 QVERIFY(Act("pushButtonModifyPassword"));
             },
             "restore ZC-100056"},
            {"key file",
             [&] {
                 Select({RowOf(57)});
                 SetKeyFile("combImportFile", "/tmp/Signed.xml");
                 SetNewPassword("Abcd1234", "Abcd1234");
                 QVERIFY(Act("btnImport"));
             },
             "reset ZC-100057"},
            {"batch DHCP",
             [&] {
                 Select({RowOf(56), RowOf(50)});
                 ZeltTest::Click(W<QCheckBox>("checkBoxBatchDhcp"));
                 Type("lineEditPort_BatchPassword", "Admin12345");
                 QVERIFY(Act("pushButtonModifyBatchNetwork"));
                 ZeltTest::Click(W<QCheckBox>("checkBoxBatchDhcp"));
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
        AddDevices({Device(50)});
        const QString id = Cell(RowOf(50), Col::ColId).trimmed();
        Select({RowOf(50)});
        g_refuseMac.insert(MacOf(50));
        g_sdk.lastError = ZELT_ERR_NOT_CONSENTED;
        SetNetFields("192.168.90.10", "255.255.255.0", "8000", "Admin12345");
        QVERIFY(Act("pushButtonModifyNetwork"));
        QCOMPARE(m_msgs->lastText(), "Modify network parameter failed!ID:" + id + " \nID " + id
                                         + ": It cannot prove who it is and sending to it was not agreed to; nothing "
                                           "was sent.");

        g_sdk.refuse = true;
        g_sdk.lastError = ZELT_ERR_CERT_CHANGED;
        Type("m_pDefaultPwdLEdit", "SecCode123");
        m_msgs->clear();
        m_msgs->answer = 0; // the question about the new certificate that follows
        QVERIFY(Act("pushButtonModifyPassword"));
        QCOMPARE(m_msgs->shown.first().text, QString("Restore default password failed!\nIts HTTPS certificate is not "
                                                     "the one seen at first contact; nothing was sent."));
        QCOMPARE(m_msgs->lastTitle(), kNewCertificateTitle);
        // Any other error keeps the message as it was.
        g_sdk.lastError = ZELT_ERR_TIMEOUT;
        QVERIFY(Act("pushButtonModifyPassword"));
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
            QVERIFY(Act("pushButtonModifyNetwork"));
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
        Type("m_pDefaultPwdLEdit", "SecCode123");
        QVERIFY(Act("pushButtonModifyPassword"));
        QCOMPARE(m_msgs->count(kNewCertificateTitle), 1);
        QVERIFY(m_msgs->lastText().startsWith("This device presents a new HTTPS certificate"));
        QCOMPARE(CallsTo(MacOf(62)), QList<QByteArray>{"accept"});
        m_msgs->clear();
        g_sdk.lastError = ZELT_ERR_TIMEOUT;
        QVERIFY(Act("pushButtonModifyPassword"));
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
        AddDevices({Device(44), Device(45)});
        CTableView *table = Table();
        QItemSelectionModel *sel = table->selectionModel();
        // What is rendered agrees with the modes.
        auto rendered = [this] {
            const bool batch = W<QWidget>("widgetBatch")->isVisible();
            const bool label = W<QLabel>("label_7")->text() == "Start IP Address:";
            const bool serial = Field("lineEditSerial")->isVisible();
            return batch && label && !serial    ? NetMode::Run
                   : !batch && !label && serial ? NetMode::Single
                                                : NetMode::Off;
        };
        Select({0});
        QCOMPARE(m_panel->NetworkMode(), NetMode::Single);
        QCOMPARE(rendered(), NetMode::Single);
        QTest::keyClick(table, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(sel->selectedRows().size(), Model()->rowCount());
        QCOMPARE(m_panel->NetworkMode(), NetMode::Run);
        QCOMPARE(rendered(), NetMode::Run);
        QCOMPARE(W<QLabel>("label_162")->text(), QString("Batch Modify Network parameters"));
        QVERIFY(Field("lineEditIPAddr")->text().isEmpty());

        // An arrow key selects one row: single mode, that device's values.
        QTest::keyClick(table, Qt::Key_Down);
        const int r = table->currentIndex().row();
        QCOMPARE(sel->selectedRows().size(), 1);
        QCOMPARE(m_panel->NetworkMode(), NetMode::Single);
        QCOMPARE(rendered(), NetMode::Single);
        QCOMPARE(Field("lineEditSerial")->text(), Cell(r, Col::ColSerial));
        QCOMPARE(Field("lineEditIPAddr")->text(), Cell(r, Col::ColIPv4));

        // Shift+Down: two rows, run mode (the next row's values are not shown).
        QTest::keyClick(table, Qt::Key_Down, Qt::ShiftModifier);
        QCOMPARE(sel->selectedRows().size(), 2);
        QCOMPARE(m_panel->NetworkMode(), NetMode::Run);
        QVERIFY(Field("lineEditIPAddr")->text().isEmpty());

        // Ctrl+Space takes the current row out again: single mode with the
        // other, and Modify changes that one device only.
        QTest::keyClick(table, Qt::Key_Space, Qt::ControlModifier);
        QCOMPARE(sel->selectedRows().size(), 1);
        QCOMPARE(m_panel->NetworkMode(), NetMode::Single);
        QCOMPARE(Field("lineEditSerial")->text(), Cell(r, Col::ColSerial));
        SetNetFields("10.99.0.5", "255.255.0.0", "8000", "Admin12345");
        QVERIFY(Act("pushButtonModifyNetwork"));
        QCOMPARE(g_modify.size(), 1);
        QCOMPARE(QString(g_modify.first().mac), Cell(r, Col::ColMac));

        // Two rows selected, one leaves the table: single mode with the other.
        Select({RowOf(44), RowOf(45)});
        QCOMPARE(m_panel->NetworkMode(), NetMode::Run);
        m_panel->HandleEvent(MakeEvent(3, 45));
        QTRY_COMPARE(RowOf(45), -1);
        QTRY_COMPARE(m_panel->NetworkMode(), NetMode::Single);
        QCOMPARE(rendered(), NetMode::Single);
        QCOMPARE(Field("lineEditSerial")->text(), QString("ZC-100044"));
        // And the last one: nothing to edit.
        m_panel->HandleEvent(MakeEvent(3, 44));
        QTRY_COMPARE(m_panel->NetworkMode(), NetMode::Off);
        QCOMPARE(m_panel->PasswordMode(), PwdMode::Off);
        QVERIFY(!Field("lineEditIPAddr")->isEnabled());
        QVERIFY(Field("lineEditSerial")->text().isEmpty());
    }

    // The clock offset the SDK measured is in the tool tip of every cell of
    // its row (the trust cell's under its own line), follows updates and
    // its row through a sort, and is left out while not known.
    void clockOffsetInTheRowsToolTip()
    {
        auto measured = [](int i, int offset) {
            ZELT_DEVICE_EVENT ev = Device(i);
            ev.byClockKnown = 1;
            ev.iClockOffset = offset;
            return ev;
        };
        AddDevices({measured(70, 200), measured(71, -7200), measured(72, -1), Device(73)});
        auto tip = [this](int i, int column) {
            return Model()->index(RowOf(i), column).data(Qt::ToolTipRole).toString();
        };
        QCOMPARE(tip(70, Col::ColIPv4), QString("Clock: 3 min 20 s ahead of this computer"));
        QCOMPARE(tip(71, Col::ColSerial), QString("Clock: 2 h behind this computer"));
        QCOMPARE(tip(72, Col::ColIPv4), QString("Clock: in step with this computer"));
        QCOMPARE(tip(70, Col::ColTrust), QString("Verified: maker certificate checked\n"
                                                 "Clock: 3 min 20 s ahead of this computer"));
        QVERIFY(tip(73, Col::ColIPv4).isEmpty());
        QCOMPARE(tip(73, Col::ColTrust), QString("Verified: maker certificate checked"));
        // Two units at most; a second either way is within what is measured.
        const QList<QPair<int, QString>> lengths{{2, "2 s ahead of"},
                                                 {-59, "59 s behind"},
                                                 {-60, "1 min behind"},
                                                 {93784, "1 d 2 h ahead of"},
                                                 {INT32_MIN, "24855 d 3 h behind"}};
        for (const auto &[offset, text] : lengths)
            QCOMPARE(QtZeltItemModel::ClockText(offset), "Clock: " + text + " this computer");

        // Sorted by address, descending: each offset stays with its device.
        Table()->header()->setSortIndicator(Col::ColIPv4, Qt::DescendingOrder);
        m_panel->SortTable(Col::ColIPv4);
        QCOMPARE(RowOf(73), 0);
        QCOMPARE(tip(71, Col::ColIPv4), QString("Clock: 2 h behind this computer"));
        // Measured later, and no longer known.
        ZELT_DEVICE_EVENT update = measured(73, -90);
        update.iEventKind = ZELT_EVENT_CHANGED;
        m_panel->HandleEvent(update);
        QTRY_COMPARE(tip(73, Col::ColIPv4), QString("Clock: 1 min 30 s behind this computer"));
        update = Device(70);
        update.iEventKind = ZELT_EVENT_CHANGED;
        m_panel->HandleEvent(update);
        QTRY_VERIFY(tip(70, Col::ColIPv4).isEmpty());
    }

    // "Synchronize time" goes like every action with a secret: the device
    // password of the network section's field, asked for when that field is
    // empty (Escape sends nothing); the consent question; refusals told in
    // words; successes and failures named by ID.
    void syncTimeOfTheSelectedDevices()
    {
        AddDevices({Device(50), Device(51), Device(52, ZELT_TRUST_UNCERTIFIED), Device(54, ZELT_TRUST_AMBIGUOUS)});
        auto id = [this](int i) { return Cell(RowOf(i), Col::ColId); };
        QVERIFY(!W<QPushButton>("pushButtonSyncTime")->isEnabled());
        Select({RowOf(50)});
        QVERIFY(W<QPushButton>("pushButtonSyncTime")->isEnabled());
        QVERIFY(Field("lineEditPort_Password")->text().isEmpty());
        g_calls.clear();
        auto shown = WhenShown("lineEditSyncPassword", [](CZeltFieldDialog *dlg) {
            QLineEdit *field = ZeltTest::Child<QLineEdit>(dlg, "lineEditSyncPassword");
            QCOMPARE(field->echoMode(), QLineEdit::Password);
            QCOMPARE(field->accessibleName(), QString("Device password"));
            QTest::keyClick(field, Qt::Key_Escape);
            QVERIFY(!dlg->isVisible());
        });
        QVERIFY(Act("pushButtonSyncTime"));
        QVERIFY(*shown);
        QVERIFY(g_calls.isEmpty());
        QVERIFY(m_msgs->shown.isEmpty());
        shown = WhenShown("lineEditSyncPassword", [](CZeltFieldDialog *dlg) {
            QLineEdit *field = dlg->Field();
            QTest::keyClick(field, Qt::Key_Return);
            QCOMPARE(TipAt(field), QString("The password can not be empty."));
            QVERIFY(dlg->isVisible());
            HideTip();
            ZeltTest::Type(field, "Secret#1");
            QTest::keyClick(field, Qt::Key_Return);
            QVERIFY(!dlg->isVisible());
        });
        QVERIFY(Act("pushButtonSyncTime"));
        QVERIFY(*shown);
        QCOMPARE(g_calls, QList<QByteArray>{"sync " + MacOf(50)});
        QCOMPARE(g_syncPasswords, QList<QByteArray>{"Secret#1"});
        QCOMPARE(m_msgs->lastText(), "Time synchronized.ID:" + id(50) + " ");

        // A run, with the password in the field.
        g_calls.clear();
        g_syncPasswords.clear();
        m_msgs->clear();
        g_refuseMac.insert(MacOf(51));
        Select({RowOf(51), RowOf(50), RowOf(52), RowOf(54)});
        Type("lineEditPort_Password", "Admin12345");
        QVERIFY(Act("pushButtonSyncTime"));
        QCOMPARE(m_msgs->count(kConsentTitle), 1);
        QCOMPARE(CallsTo(MacOf(50)), QList<QByteArray>{"sync"});
        QCOMPARE(CallsTo(MacOf(51)), QList<QByteArray>{"sync"});
        QCOMPARE(CallsTo(MacOf(52)), (QList<QByteArray>{"allow", "sync"}));
        QVERIFY(CallsTo(MacOf(54)).isEmpty());
        QCOMPARE(g_syncPasswords, QList<QByteArray>(3, "Admin12345"));
        QCOMPARE(m_msgs->lastText(), "Time synchronized.ID:" + id(50) + " " + id(52)
                                         + " Time synchronization failed!ID:" + id(51) + " " + id(54) + " \nID "
                                         + id(54)
                                         + ": Two devices claim this MAC or serial number; commands are refused and "
                                           "nothing was sent.");
    }

    // "Add by address or range": the SDK itself judges the text; a refused
    // one keeps the dialog open with the reason and changes nothing; ranges
    // taken are kept, handed to the SDK again by the next panel before its
    // first search and shown in the dialog; an empty text clears them.
    void rangesAreJudgedByTheSdkAndKept()
    {
        g_calls.clear();
        auto shown = WhenShown("lineEditRanges", [](CZeltFieldDialog *dlg) {
            QLineEdit *field = ZeltTest::Child<QLineEdit>(dlg, "lineEditRanges");
            QCOMPARE(field->accessibleName(), QString("Addresses or ranges to search"));
            QVERIFY(field->text().isEmpty());
            const QList<QPair<QString, QString>> refused{
                {"10.0.0.0/15", "A range may hold at most 65,536 addresses (a /16), and all ranges together at most "
                                "262,144."},
                {"10.2.0.0/22 camera-7", "This is not an address or a range.\nAccepted: addresses, blocks "
                                         "(10.2.0.0/22) and ranges (10.3.0.10-10.3.0.99), IPv4 or IPv6."}};
            for (const auto &[text, message] : refused) {
                ZeltTest::Type(field, text);
                QTest::keyClick(field, Qt::Key_Return);
                QCOMPARE(TipAt(field), message);
                QVERIFY(dlg->isVisible());
                HideTip();
            }
            QTest::keyClick(field, Qt::Key_Escape);
            QVERIFY(!dlg->isVisible());
        });
        Click("pushButtonAddRange");
        QVERIFY(*shown);
        QCOMPARE(RangesSent(), (QList<QByteArray>{"10.0.0.0/15", "10.2.0.0/22 camera-7"}));
        QVERIFY(!QFile::exists(ZeltScanRanges::ConfigFile()));
        QVERIFY(!g_calls.contains("refresh"));

        // Typed with a Chinese input method's comma: taken, kept, and a
        // search asked for.
        g_calls.clear();
        shown = WhenShown("lineEditRanges", [](CZeltFieldDialog *dlg) {
            ZeltTest::Type(dlg->Field(), QString::fromUtf8("10.2.0.0/22\uff0cfd00:1::/120 "));
            QTest::keyClick(dlg->Field(), Qt::Key_Return);
            QVERIFY(!dlg->isVisible());
        });
        Click("pushButtonAddRange");
        QVERIFY(*shown);
        QCOMPARE(g_calls, (QList<QByteArray>{"ranges 10.2.0.0/22,fd00:1::/120", "refresh"}));
        QCOMPARE(ZeltScanRanges::Remembered(), QString("10.2.0.0/22,fd00:1::/120"));

        g_calls.clear();
        {
            QtZelt next(nullptr, &RecordingModify, nullptr, &RecordingRefresh);
            QCOMPARE(g_calls, (QList<QByteArray>{"ranges 10.2.0.0/22,fd00:1::/120", "refresh"}));
        }
        g_calls.clear();
        shown = WhenShown("lineEditRanges", [](CZeltFieldDialog *dlg) {
            QCOMPARE(dlg->Field()->text(), QString("10.2.0.0/22,fd00:1::/120"));
            ZeltTest::Type(dlg->Field(), "");
            QTest::keyClick(dlg->Field(), Qt::Key_Return);
            QVERIFY(!dlg->isVisible());
        });
        Click("pushButtonAddRange");
        QVERIFY(*shown);
        QCOMPARE(RangesSent(), QList<QByteArray>{""});
        QVERIFY(ZeltScanRanges::Remembered().isEmpty());
        g_calls.clear();
        {
            QtZelt next(nullptr, &RecordingModify, nullptr, &RecordingRefresh);
            QCOMPARE(g_calls, QList<QByteArray>{"refresh"});
        }
    }
};

QTEST_MAIN(ZeltPanelTest)
#include "tst_zelt_panel.moc"
