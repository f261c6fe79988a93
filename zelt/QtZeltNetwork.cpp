// Network parameters of one device or a run of devices, and the batch DHCP
// change.

#include "QtZelt.h"

#include <QCheckBox>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QStandardItem>

#include <cstring>

#include "Buttons.h"
#include "CTableView.h"
#include "CToolLabel.h"
#include "CWarnDlg.h"
#include "LineEdits.h"
#include "QtZeltItemModel.h"
#include "ZeltNetChecks.h"
#include "ZeltBatchRunner.h"
#include "ZeltSdkWrapper.h"

#include <memory>

namespace {
using Col = QtZeltItemModel::Column;

template <std::size_t N>
void PutText(char (&field)[N], const QString &text)
{
    const QByteArray b = text.toLatin1();
    std::memset(field, 0, N);
    std::memcpy(field, b.constData(), std::min<std::size_t>(N - 1, std::size_t(b.size())));
}

// The summary of one run: "<sentence>ID:<first> <second> ...".
struct IdSummary {
    QString text;
    void Add(const QString &sentence, const QString &id)
    {
        if (text.isEmpty())
            text = sentence + QCoreApplication::translate("QtZelt", "ID:%1").arg(id);
        else
            text += id;
    }
};
} // namespace

void QtZelt::ShowFieldTip(QWidget *field, const QString &strText)
{
    field->setFocus();
    CToolLabel::ShowText(field->mapToGlobal(QPoint(0, 0)), strText, field);
}

int QtZelt::FindRowRecord(int row) const
{
    const QString serial = m_pModel->index(row, Col::ColSerial).data().toString();
    const QString mac = m_pModel->index(row, Col::ColMac).data().toString();
    return FindRecord(serial, mac, int(m_deviceList.size()));
}

void QtZelt::OnModifyNetPara()
{
    if (m_pRunner->IsRunning())
        return;
    CTableView *table = ui.tableWidgetDevice;
    if (!table->currentIndex().isValid()) {
        CWarnDlg::ShowMsg(tr("Information"), tr("Please select a device."), this);
        return;
    }

    const QString ip = ui.lineEditIPAddr->text().trimmed();
    if (ip.isEmpty()) {
        ShowFieldTip(ui.lineEditIPAddr, tr("IP address cannot be empty."));
        return;
    }
    if (!ZeltNet::IsValidIPv4(ip)) {
        ShowFieldTip(ui.lineEditIPAddr, tr("IP Address not correct."));
        return;
    }
    const QString mask = ui.lineEditIPMask->text().trimmed();
    if (mask.isEmpty()) {
        ShowFieldTip(ui.lineEditIPMask, tr("Subnet mask cannot be empty."));
        return;
    }
    if (!ZeltNet::IsValidMask(mask)) {
        ShowFieldTip(ui.lineEditIPMask, tr("Subnet Mask not correct."));
        return;
    }
    const QString portText = ui.lineEditPort->text().trimmed();
    bool portOk = false;
    const uint port = portText.toUInt(&portOk);
    if (!portOk || port < 2000 || port > 65535) {
        ShowFieldTip(ui.lineEditPort, tr("Device port ranges from 2000 to 65535."));
        return;
    }
    if (ui.lineEditHttpPort->isEnabled()) {
        bool httpOk = false;
        const uint http = ui.lineEditHttpPort->text().trimmed().toUInt(&httpOk);
        if (!httpOk || http < 1 || http > 65535) {
            ShowFieldTip(ui.lineEditHttpPort, tr("Http port ranges from 1 to 65535."));
            return;
        }
    }
    const QString gateway = ui.lineEditIPGateway->text().trimmed();
    if (gateway.isEmpty()) {
        ui.lineEditIPGateway->setText(QString());
    } else if (!ZeltNet::IsValidGateway(gateway)) {
        ShowFieldTip(ui.lineEditIPGateway, tr("Gateway not correct."));
        return;
    }
    const bool ipv6Enabled = ui.lineEditIPv6Addr->isEnabled();
    const QString ipv6 = ui.lineEditIPv6Addr->text().trimmed();
    const QString ipv6Gateway = ui.lineEditIPv6Gateway->text().trimmed();
    uint prefix = 0;
    if (ipv6Enabled) {
        if (!ipv6.isEmpty() && !ZeltNet::IsValidIPv6(ipv6)) {
            ShowFieldTip(ui.lineEditIPv6Addr, tr("IPv6 Address not correct."));
            return;
        }
        if (!ipv6Gateway.isEmpty() && !ZeltNet::IsValidIPv6(ipv6Gateway)) {
            ShowFieldTip(ui.lineEditIPv6Gateway, tr("IPv6 gateway not correct."));
            return;
        }
        // An empty prefix field means prefix length 0.
        const QString prefixText = ui.lineEditIPv6Mask->text().trimmed();
        bool prefixOk = prefixText.isEmpty();
        if (!prefixOk)
            prefix = prefixText.toUInt(&prefixOk);
        if (!prefixOk || prefix > 64) {
            ShowFieldTip(ui.lineEditIPv6Mask, tr("IPv6 prefix length ranges from 0 to 64."));
            return;
        }
    }
    // The password goes to the device as 8-bit text: a character that has
    // no such form would silently become another password.
    const QString password = ui.lineEditPort_Password->text();
    if (!ZeltNet::IsPrintableAscii(password)) {
        ShowFieldTip(ui.lineEditPort_Password, tr("The password may only contain printable ASCII characters."));
        return;
    }

    const QModelIndexList rows = table->selectionModel()->selectedRows();
    const QList<QString> addresses = ZeltNet::RunAddresses(ip, int(rows.size()), mask);
    if (addresses.size() != rows.size()) {
        CWarnDlg::ShowMsg(tr("Information"),
                          tr("Not enough addresses after %1 for %2 devices; nothing was changed.")
                              .arg(ip)
                              .arg(rows.size()),
                          this);
        return;
    }

    // What every device of the run is sent besides its own address; the
    // commands run on worker threads and get copies only.
    struct Common {
        QByteArray mask, password, port, http, gateway, ipv6, ipv6Gateway;
        bool sendIPv6;
        unsigned char prefix, dhcp;
    };
    auto common = std::make_shared<const Common>(Common{
        mask.toLatin1(), password.toLatin1(), ui.lineEditPort->text().toLatin1(),
        ui.lineEditHttpPort->text().toLatin1(), ui.lineEditIPGateway->text().trimmed().toLatin1(), ipv6.toLatin1(),
        ipv6Gateway.toLatin1(), rows.size() == 1 && ipv6Enabled, static_cast<unsigned char>(prefix),
        static_cast<unsigned char>(ui.checkBoxDhcp->isVisibleTo(this) && ui.checkBoxDhcp->isChecked() ? 1 : 0)});

    struct Target {
        QPersistentModelIndex row;
        QString serial, mac, address;
    };
    QList<Target> targets;
    QList<CZeltBatchRunner::Job> jobs;
    {
        PanelLocker lock(this);
        for (int k = 0; k < rows.size(); ++k) {
            const int row = rows.at(k).row();
            const int rec = FindRowRecord(row);
            if (rec < 0 || !m_pModify)
                continue;
            const ZELT_DEVICE_INFO_MY &d = m_deviceList.at(rec);
            const QString id = m_pModel->index(row, Col::ColId).data().toString() + QLatin1Char(' ');
            targets.append({rows.at(k), ZeltRecords::text(d.szSerialNO), ZeltRecords::text(d.szMAC), addresses.at(k)});
            const QByteArray mac = ZeltRecords::bytes(d.szMAC);
            const QByteArray addr = addresses.at(k).toLatin1();
            const TBX_ModifyNetParamFunc modify = m_pModify;
            jobs.append({id, DeviceLabel(id, d), [modify, common, mac, addr] {
                             const Common &c = *common;
                             return modify(mac.constData(), addr.constData(), c.mask.constData(),
                                           c.password.constData(), c.port.constData(), c.http.constData(),
                                           c.gateway.constData(), c.sendIPv6 ? c.ipv6.constData() : nullptr,
                                           c.sendIPv6 ? c.ipv6Gateway.constData() : nullptr,
                                           c.sendIPv6 ? c.prefix : 0, c.dhcp);
                         }});
        }
    }

    const QString gatewayText = QString::fromLatin1(common->gateway);
    const QList<CZeltBatchRunner::Outcome> outcomes =
        m_pRunner->Run(tr("Modify Network parameters"), jobs, [&](int i, bool ok) {
            if (!ok)
                return;
            PanelLocker lock(this);
            const Target &t = targets.at(i);
            if (t.row.isValid()) {
                const int row = t.row.row();
                SetAddressCell(row, Col::ColIPv4, t.address);
                m_pModel->item(row, Col::ColPort)->setText(QString::asprintf("%5d", int(port)));
                m_pModel->item(row, Col::ColMask)->setText(mask);
                m_pModel->item(row, Col::ColGateway)->setText(gatewayText);
            }
            const int rec = FindRecord(t.serial, t.mac, int(m_deviceList.size()));
            if (rec >= 0) {
                ZELT_DEVICE_INFO_MY &d = m_deviceList[rec];
                PutText(d.szIPv4Address, t.address);
                PutText(d.szIPv4SubnetMask, mask);
                PutText(d.szIPv4Gateway, gatewayText);
                d.dwPort = port;
            }
        });
    ShowSummary(jobs, outcomes, tr("Modify network parameter succeed, please reboot your device!"),
                tr("Modify network parameter failed!"));
}

void QtZelt::batchEnableDHCP()
{
    if (m_pRunner->IsRunning())
        return;
    CTableView *table = ui.tableWidgetDevice;
    if (!table->currentIndex().isValid()) {
        CWarnDlg::ShowMsg(tr("Information"), tr("Please select a device."), this);
        return;
    }
    const QString password = ui.lineEditPort_BatchPassword->text().trimmed();
    if (!ZeltNet::IsPrintableAscii(password)) {
        ShowFieldTip(ui.lineEditPort_BatchPassword,
                     tr("The password may only contain printable ASCII characters."));
        return;
    }
    const QString httpPort = ui.lineEditHttpPort->text().trimmed();
    const bool dhcp = ui.checkBoxBatchDhcp->isChecked();
    const QByteArray pwd = password.toLatin1();

    struct Target {
        QPersistentModelIndex row;
        QString serial, mac;
    };
    QList<Target> targets;
    QList<CZeltBatchRunner::Job> jobs;
    {
        PanelLocker lock(this);
        const QModelIndexList rows = table->selectionModel()->selectedRows();
        for (const QModelIndex &index : rows) {
            const int row = index.row();
            const int rec = FindRowRecord(row);
            if (rec < 0)
                continue;
            const ZELT_DEVICE_INFO_MY &d = m_deviceList.at(rec);
            using ZeltRecords::text;
            ZELT_NET_PARAM param;
            ZeltSdkWrapper::BuildNetParam(param, text(d.szIPv4Address), text(d.szIPv4SubnetMask),
                                          text(d.szIPv4Gateway), text(d.szIPv6Address), text(d.szIPv6Gateway),
                                          d.byIPv6PrefixLen, QString::number(d.dwPort), httpPort, dhcp);
            const QString id = m_pModel->index(row, Col::ColId).data().toString() + QLatin1Char(' ');
            targets.append({index, text(d.szSerialNO), text(d.szMAC)});
            const QByteArray mac = ZeltRecords::bytes(d.szMAC);
            jobs.append({id, DeviceLabel(id, d),
                         [mac, pwd, param] { return ZeltSdkWrapper::ModifyNetParam(mac, pwd, param); }});
        }
    }

    const QList<CZeltBatchRunner::Outcome> outcomes =
        m_pRunner->Run(tr("Batch Modify Network parameters"), jobs, [&](int i, bool ok) {
            if (!ok)
                return;
            PanelLocker lock(this);
            const Target &t = targets.at(i);
            const int rec = FindRecord(t.serial, t.mac, int(m_deviceList.size()));
            if (rec < 0)
                return;
            ZELT_DEVICE_INFO_MY &d = m_deviceList[rec];
            using ZeltRecords::text;
            if (t.row.isValid()) {
                const int row = t.row.row();
                SetAddressCell(row, Col::ColIPv4, text(d.szIPv4Address));
                m_pModel->item(row, Col::ColPort)->setText(QString::asprintf("%5d", int(d.dwPort)));
                m_pModel->item(row, Col::ColMask)->setText(text(d.szIPv4SubnetMask));
                m_pModel->item(row, Col::ColGateway)->setText(text(d.szIPv4Gateway));
            }
            d.byDhcp = dhcp ? 1 : 0;
        });
    ShowSummary(jobs, outcomes, tr("Modify network parameter succeed."), tr("Modify network parameter failed!"));
}

// "<device ID> <serial number> <address>", what the progress dialog names.
QString QtZelt::DeviceLabel(const QString &strId, const ZELT_DEVICE_INFO_MY &d)
{
    return strId.trimmed() + QStringLiteral("   ") + ZeltRecords::text(d.szSerialNO) + QStringLiteral("   ")
           + ZeltRecords::text(d.szIPv4Address);
}

void QtZelt::SetAddressCell(int row, int column, const QString &strText)
{
    if (QStandardItem *item = m_pModel->item(row, column))
        item->setText(strText);
    else
        m_pModel->setItem(row, column, new CIpStandardItem(strText));
}

// The summary of one run: "<sentence>ID:<first> <second> ..." for the
// devices that took the change, then the same for those that did not.
// Devices a cancelled run never reached are in neither; a run cancelled
// before any device answered shows nothing.
void QtZelt::ShowSummary(const QList<CZeltBatchRunner::Job> &jobs, const QList<CZeltBatchRunner::Outcome> &outcomes,
                         const QString &strOk, const QString &strFailed)
{
    IdSummary ok, failed;
    bool any = false;
    for (int i = 0; i < jobs.size(); ++i) {
        if (outcomes.at(i) == CZeltBatchRunner::Outcome::Succeeded)
            ok.Add(strOk, jobs.at(i).strId);
        else if (outcomes.at(i) == CZeltBatchRunner::Outcome::Failed)
            failed.Add(strFailed, jobs.at(i).strId);
        any = any || outcomes.at(i) != CZeltBatchRunner::Outcome::NotRun;
    }
    if (m_pRunner->WasCancelled() && !any)
        return;
    CWarnDlg::ShowMsg(tr("Information"), ok.text + failed.text, this);
}

void QtZelt::OnDchpChanged(int state)
{
    if (state != Qt::Unchecked && state != Qt::Checked)
        return;
    const bool manual = state == Qt::Unchecked;
    // A device type whose settings cannot be changed keeps its fields locked
    // (the modify button is off for it).
    const bool editable = ui.pushButtonModifyNetwork->isEnabled() || ui.widgetBatch->isVisibleTo(this);
    ui.frame->setEnabled(manual);
    ui.lineEditIPAddr->setEnabled(manual && editable);
    ui.lineEditIPMask->setEnabled(manual && editable);
    ui.lineEditIPGateway->setEnabled(manual && editable);
}

void QtZelt::OnBatchDchpChanged(int state)
{
    if (state != Qt::Unchecked && state != Qt::Checked)
        return;
    const bool manual = state == Qt::Unchecked;
    if (!manual) {
        for (QWidget *w : {static_cast<QWidget *>(ui.frame), static_cast<QWidget *>(ui.lineEditIPAddr),
                           static_cast<QWidget *>(ui.lineEditIPMask), static_cast<QWidget *>(ui.lineEditIPGateway),
                           static_cast<QWidget *>(ui.lineEditPort), static_cast<QWidget *>(ui.lineEditPort_Password),
                           static_cast<QWidget *>(ui.pushButtonModifyNetwork)})
            w->setEnabled(false);
        return;
    }
    // Back to manual addresses: the fields open as far as the selected
    // devices allow (any changeable type; a gateway only with extended
    // information).
    PanelLocker lock(this);
    bool editableType = false;
    bool extended = false;
    const QModelIndexList rows = ui.tableWidgetDevice->selectionModel()->selectedRows();
    for (const QModelIndex &idx : rows) {
        const int rec = FindRowRecord(idx.row());
        if (rec < 0)
            continue;
        const ZELT_DEVICE_INFO_MY &d = m_deviceList.at(rec);
        editableType = editableType || !IsLockedType(d.dwDeviceType);
        extended = extended || d.byExtendInfo == 1;
    }
    ui.frame->setEnabled(true);
    for (QWidget *w : {static_cast<QWidget *>(ui.lineEditIPAddr), static_cast<QWidget *>(ui.lineEditIPMask),
                       static_cast<QWidget *>(ui.lineEditPort), static_cast<QWidget *>(ui.lineEditPort_Password),
                       static_cast<QWidget *>(ui.pushButtonModifyNetwork)})
        w->setEnabled(editableType);
    ui.lineEditIPGateway->setEnabled(extended);
}
