#include "CZeltNetworkSection.h"

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QSignalBlocker>

#include <memory>

#include "Buttons.h"
#include "CWarnDlg.h"
#include "CZeltDeviceAction.h"
#include "CZeltRunSummary.h"
#include "LineEdits.h"
#include "Validators.h"
#include "ZeltNetChecks.h"
#include "ZeltWidgetGroups.h"
#include "ZeltSdkWrapper.h"
#include "zelt_sdk.h"

namespace {
using Mode = ZeltModes::Network;
using Target = CZeltDeviceController::Target;

} // namespace

CZeltNetworkSection::CZeltNetworkSection(const Widgets &w, CZeltDeviceController &devices,
                                         TBX_ModifyNetParamFunc pModify, QWidget *pPanel)
    : QObject(pPanel)
    , m_w(w)
    , m_devices(devices)
    , m_pModify(pModify)
    , m_pPanel(pPanel)
{
    m_w.port->setMaxLength(5);
    m_w.port->setValidator(new CIntValidator(2000, 65535, m_w.port));
    const QRegularExpression address(QStringLiteral("[0-9.]*"));
    m_w.ipv4->setValidator(new CRegExpValidator(39, address, m_w.ipv4));
    m_w.mask->setValidator(new CRegExpValidator(39, address, m_w.mask));
    m_w.ipv6Prefix->setValidator(new CIntValidator(0, 64, m_w.ipv6Prefix));
    m_w.httpPort->setMaxLength(5);
    m_w.httpPort->setValidator(new CIntValidator(1, 65535, m_w.httpPort));
    m_w.password->setMaxLength(16);
    Enable({m_w.ipv6, m_w.ipv6Gateway, m_w.ipv6Prefix}, false);
    Retranslate();
}

void CZeltNetworkSection::CompleteStart()
{
    m_bStarted = true;
    ShowNothing();
}

void CZeltNetworkSection::Retranslate()
{
    m_w.port->setToolTip(tr("Device port ranges from 2000 to 65535."));
    m_w.httpPort->setToolTip(tr("Http port ranges from 1 to 65535."));
    const bool run = m_eLayout == Mode::Run;
    m_w.addressLabel->setText(run ? tr("Start IP Address:") : tr("IP Address:"));
    m_w.title->setText(run ? tr("Batch Modify Network parameters") : tr("Modify Network parameters"));
}

// ------------------------------------------------------------ modes

void CZeltNetworkSection::ShowNothing()
{
    m_eMode = Mode::Off;
    m_shown = DeviceKey();
    for (QLineEdit *e : {m_w.serial, m_w.ipv4, m_w.mask, m_w.port, static_cast<QLineEdit *>(m_w.password), m_w.gateway,
                         m_w.httpPort, m_w.ipv6, m_w.ipv6Gateway, m_w.ipv6Prefix})
        e->clear();
    Render();
}

void CZeltNetworkSection::ShowDevice(const ZELT_DEVICE_INFO_MY &d)
{
    m_eMode = m_eLayout = Mode::Single;
    m_shown = DeviceKey::Of(d);
    m_device.locked = CZeltDeviceController::IsLockedType(d.dwDeviceType);
    m_device.gateway = d.byExtendInfo != 0;
    // Records without extended information allow no IPv6 change; unknown
    // values of the flag leave it to the device type.
    m_device.ipv6 = d.byExtendInfo == 1 ? (d.bySupport & ZELT_SUPPORT_MODIFY_IPV6) != 0 : d.byExtendInfo != 0;
    m_device.httpPort = d.dwHttpPort > 0 && d.dwHttpPort < 65536;

    using ZeltRecords::text;
    m_w.serial->setText(text(d.szSerialNO));
    m_w.serial->setCursorPosition(0);
    m_w.ipv4->setText(text(d.szIPv4Address));
    m_w.mask->setText(text(d.szIPv4SubnetMask));
    m_w.port->setText(QString::number(d.dwPort));
    m_w.gateway->setText(d.byExtendInfo == 0 ? QString() : text(d.szIPv4Gateway));
    const bool ipv6Shown = d.byExtendInfo != 0 && (d.byExtendInfo != 1 || (d.bySupport & ZELT_SUPPORT_IPV6));
    m_w.ipv6->setText(ipv6Shown ? text(d.szIPv6Address) : QString());
    m_w.ipv6Gateway->setText(ipv6Shown ? text(d.szIPv6Gateway) : QString());
    m_w.ipv6Prefix->setText(ipv6Shown ? QString::number(d.byIPv6PrefixLen) : QString());
    m_w.httpPort->setText(QString::number(d.dwHttpPort));
    {
        const QSignalBlocker quiet(m_w.dhcp);
        m_w.dhcp->setChecked(d.byDhcp != 0);
    }
    Render();
}

void CZeltNetworkSection::ShowRun(const QList<Target> &targets)
{
    m_eMode = m_eLayout = Mode::Run;
    m_shown = DeviceKey();
    m_run = RunAllows();
    for (const Target &t : targets) {
        const ZELT_DEVICE_INFO_MY &d = t.record;
        m_run.editableType = m_run.editableType || !CZeltDeviceController::IsLockedType(d.dwDeviceType);
        m_run.extended = m_run.extended || d.byExtendInfo == 1;
        if (m_run.editableType && m_run.extended)
            break; // the device that stops the examination does not count for DHCP
        m_run.dhcp = m_run.dhcp || d.byDhcp != 0;
    }
    // A run never changes IPv6 settings: show none rather than the last
    // device's.
    for (QLineEdit *e :
         {m_w.ipv4, m_w.mask, m_w.port, static_cast<QLineEdit *>(m_w.password), m_w.gateway, m_w.httpPort,
          static_cast<QLineEdit *>(m_w.batchPassword), m_w.ipv6, m_w.ipv6Gateway, m_w.ipv6Prefix})
        e->clear();
    {
        const QSignalBlocker quiet(m_w.dhcp);
        m_w.dhcp->setChecked(m_run.dhcp);
    }
    Render();
}

// The one place the section's widgets follow its state: what is shown,
// what can be edited, the texts that name the mode.
void CZeltNetworkSection::Render()
{
    const bool off = m_eMode == Mode::Off;
    const bool run = m_eMode == Mode::Run;
    const bool runLayout = m_eLayout == Mode::Run;
    Retranslate();
    Show({m_w.serialLabel, m_w.serialFrame, m_w.serial, m_w.dhcp}, !runLayout);
    // Until the start is complete and a device is shown, the batch group
    // is as the form has it.
    m_w.batch->setVisible(runLayout || (m_eLayout == Mode::Off && !m_bStarted));

    bool address, gateway, port, http, ipv6, ipv6Group, button;
    if (off) {
        address = gateway = port = http = ipv6 = false;
        ipv6Group = button = true;
    } else if (run) {
        // Batch DHCP on: the devices take their addresses from the network.
        const bool manual = !m_w.batchDhcp->isChecked();
        address = port = button = manual && m_run.editableType;
        gateway = manual && m_run.extended;
        ipv6Group = manual;
        http = true;
        ipv6 = false;
    } else {
        // With DHCP on the device takes its IPv4 settings from the network.
        // A locked device type keeps its fields locked whatever the DHCP state.
        const bool manual = !m_w.dhcp->isChecked();
        const bool open = !m_device.locked;
        address = manual && open;
        gateway = address && m_device.gateway;
        port = button = open;
        http = open && m_device.httpPort;
        ipv6 = open && m_device.ipv6;
        ipv6Group = manual;
    }
    Enable({m_w.serial, m_w.dhcp, m_w.batch}, !off);
    Enable({m_w.ipv4, m_w.mask}, address);
    m_w.gateway->setEnabled(gateway);
    Enable({m_w.port, m_w.password}, port);
    m_w.httpPort->setEnabled(http);
    m_w.ipv6Frame->setEnabled(ipv6Group);
    Enable({m_w.ipv6, m_w.ipv6Gateway, m_w.ipv6Prefix}, ipv6);
    m_w.modify->setEnabled(button);
}

// ------------------------------------------------------------ commands

void CZeltNetworkSection::ShowMessage(const QString &strText) const
{
    CWarnDlg::ShowMsg(tr("Information"), strText, m_pPanel);
}

QWidget *CZeltNetworkSection::FieldWidget(ZeltFieldError::Field field) const
{
    using F = ZeltFieldError::Field;
    switch (field) {
    case F::IPv4: return m_w.ipv4;
    case F::Mask: return m_w.mask;
    case F::Port: return m_w.port;
    case F::HttpPort: return m_w.httpPort;
    case F::Gateway: return m_w.gateway;
    case F::IPv6: return m_w.ipv6;
    case F::IPv6Gateway: return m_w.ipv6Gateway;
    case F::IPv6Prefix: return m_w.ipv6Prefix;
    case F::BatchPassword: return m_w.batchPassword;
    default: return m_w.password;
    }
}

ZeltNetworkRequest::Fields CZeltNetworkSection::ReadFields() const
{
    ZeltNetworkRequest::Fields f;
    f.ipv4 = m_w.ipv4->text();
    f.mask = m_w.mask->text();
    f.port = m_w.port->text();
    f.httpPort = m_w.httpPort->text();
    f.gateway = m_w.gateway->text();
    f.ipv6 = m_w.ipv6->text();
    f.ipv6Gateway = m_w.ipv6Gateway->text();
    f.ipv6Prefix = m_w.ipv6Prefix->text();
    f.password = m_w.password->text();
    // The fields in use are those the state opens, as Render shows them.
    const bool single = m_eMode == Mode::Single;
    f.httpPortInUse = m_eMode == Mode::Run || (single && !m_device.locked && m_device.httpPort);
    f.ipv6InUse = single && !m_device.locked && m_device.ipv6 && !m_w.dhcp->isChecked();
    return f;
}

void CZeltNetworkSection::Modify(const ZeltSelection &selection)
{
    if (m_devices.IsBusy())
        return;
    if (!selection.current.isValid()) {
        ShowMessage(tr("Please select a device."));
        return;
    }
    const auto checked = ZeltNet::CheckNetworkFields(ReadFields());
    if (const auto *error = std::get_if<ZeltFieldError>(&checked)) {
        ShowFieldTip(FieldWidget(error->field), error->message);
        return;
    }
    const auto request = std::make_shared<const ZeltNetworkRequest>(std::get<ZeltNetworkRequest>(checked));
    if (request->gateway.isEmpty())
        m_w.gateway->clear();

    // What the section shows is what is changed: in single mode the shown
    // device alone, whatever else the selection holds.
    QList<Target> targets;
    if (m_eMode == Mode::Run)
        targets = m_devices.TargetsOf(selection.rows);
    else if (std::optional<Target> shown = m_devices.TargetOf(m_shown))
        targets.append(*shown);
    if (targets.isEmpty()) {
        ShowMessage(tr("Please select a device."));
        return;
    }
    const QList<QString> addresses = ZeltNet::RunAddresses(request->ipv4, int(targets.size()), request->mask);
    if (addresses.size() != targets.size()) {
        ShowMessage(tr("Not enough addresses after %1 for %2 devices; nothing was changed.")
                        .arg(request->ipv4)
                        .arg(targets.size()));
        return;
    }
    if (!m_pModify)
        return;

    // The commands run on pool threads and get copies only.
    const bool dhcp = m_eMode == Mode::Single && m_w.dhcp->isChecked();
    CZeltDeviceAction action(m_devices);
    for (int k = 0; k < targets.size(); ++k) {
        const QByteArray mac = ZeltRecords::bytes(targets.at(k).record.szMAC);
        const QByteArray address = addresses.at(k).toLatin1();
        const TBX_ModifyNetParamFunc modify = m_pModify;
        action.Add(
            targets.at(k),
            [modify, request, mac, address, dhcp] {
                const ZeltNetworkRequest &r = *request;
                const QByteArray ipv6 = r.ipv6.toLatin1(), ipv6Gateway = r.ipv6Gateway.toLatin1();
                const bool ok = modify(
                    mac.constData(), address.constData(), r.mask.toLatin1().constData(), r.password.constData(),
                    QByteArray::number(r.port).constData(), r.httpPort.toLatin1().constData(),
                    r.gateway.toLatin1().constData(), r.sendIPv6 ? ipv6.constData() : nullptr,
                    r.sendIPv6 ? ipv6Gateway.constData() : nullptr, r.sendIPv6 ? r.ipv6Prefix : 0, dhcp ? 1 : 0);
                if (!ok)
                    ZeltSdkWrapper::NoteHostFailure("modify network parameters");
                return ok;
            },
            addresses.at(k));
    }
    if (!action.Settle(m_pPanel, tr("Send the password anyway?")))
        return;
    CZeltDeviceController &devices = m_devices;
    action.Run(
        tr("Modify Network parameters"), this,
        [&devices, request](const Target &t, const QString &address) {
            devices.ApplyNetworkChange(t.key, {address, request->port, request->mask, request->gateway});
        },
        [panel = m_pPanel](const CZeltRunSummary &summary) {
            summary.Show(panel, tr("Modify network parameter succeed, please reboot your device!"),
                         tr("Modify network parameter failed!"));
        });
}

void CZeltNetworkSection::ModifyDhcp(const ZeltSelection &selection)
{
    if (m_devices.IsBusy())
        return;
    if (!selection.current.isValid()) {
        ShowMessage(tr("Please select a device."));
        return;
    }
    const QString password = m_w.batchPassword->text().trimmed();
    if (std::optional<ZeltFieldError> error = ZeltNet::CheckPassword(password, ZeltFieldError::Field::BatchPassword)) {
        ShowFieldTip(FieldWidget(error->field), error->message);
        return;
    }
    const QString httpPort = m_w.httpPort->text().trimmed();
    const bool dhcp = m_w.batchDhcp->isChecked();
    const QByteArray pwd = password.toLatin1();

    CZeltDeviceAction action(m_devices);
    for (const Target &t : m_devices.TargetsOf(selection.rows)) {
        using ZeltRecords::text;
        const ZELT_DEVICE_INFO_MY &d = t.record;
        ZELT_NET_PARAM param;
        ZeltSdkWrapper::BuildNetParam(param, text(d.szIPv4Address), text(d.szIPv4SubnetMask), text(d.szIPv4Gateway),
                                      text(d.szIPv6Address), text(d.szIPv6Gateway), d.byIPv6PrefixLen,
                                      QString::number(d.dwPort), httpPort, dhcp);
        const QByteArray mac = ZeltRecords::bytes(d.szMAC);
        action.Add(t, [mac, pwd, param] { return ZeltSdkWrapper::ModifyNetParam(mac, pwd, param); });
    }
    if (!action.Settle(m_pPanel, tr("Send the password anyway?")))
        return;
    CZeltDeviceController &devices = m_devices;
    action.Run(
        tr("Batch Modify Network parameters"), this,
        [&devices, dhcp](const Target &t, const QString &) { devices.MarkDhcp(t.key, dhcp); },
        [panel = m_pPanel](const CZeltRunSummary &summary) {
            summary.Show(panel, tr("Modify network parameter succeed."), tr("Modify network parameter failed!"));
        });
}
