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
#include "ZeltSdkWrapper.h"

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
    PanelLocker lock(this);
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

    const bool dhcp = ui.checkBoxDhcp->isVisibleTo(this) && ui.checkBoxDhcp->isChecked();
    const bool sendIPv6 = rows.size() == 1 && ipv6Enabled;
    const QByteArray maskBytes = mask.toLatin1();
    const QByteArray pwdBytes = password.toLatin1();
    const QByteArray portBytes = ui.lineEditPort->text().toLatin1();
    const QByteArray httpBytes = ui.lineEditHttpPort->text().toLatin1();
    const QByteArray gwBytes = ui.lineEditIPGateway->text().trimmed().toLatin1();
    const QByteArray ipv6Bytes = ipv6.toLatin1();
    const QByteArray ipv6GwBytes = ipv6Gateway.toLatin1();

    IdSummary ok, failed;
    for (int k = 0; k < rows.size(); ++k) {
        const int row = rows.at(k).row();
        const QString id = m_pModel->index(row, Col::ColId).data().toString() + QLatin1Char(' ');
        const int rec = FindRowRecord(row);
        if (rec < 0 || !m_pModify)
            continue;
        const QByteArray mac = ZeltRecords::bytes(m_deviceList.at(rec).szMAC);
        const QByteArray addr = addresses.at(k).toLatin1();
        const bool done =
            m_pModify(mac.constData(), addr.constData(), maskBytes.constData(), pwdBytes.constData(),
                      portBytes.constData(), httpBytes.constData(), gwBytes.constData(),
                      sendIPv6 ? ipv6Bytes.constData() : nullptr, sendIPv6 ? ipv6GwBytes.constData() : nullptr,
                      sendIPv6 ? static_cast<unsigned char>(prefix) : 0, dhcp ? 1 : 0);
        if (!done) {
            failed.Add(tr("Modify network parameter failed!"), id);
            continue;
        }
        m_pModel->item(row, Col::ColIPv4)->setText(addresses.at(k));
        m_pModel->item(row, Col::ColPort)->setText(QString::asprintf("%5d", int(port)));
        m_pModel->item(row, Col::ColMask)->setText(mask);
        m_pModel->item(row, Col::ColGateway)->setText(QString::fromLatin1(gwBytes));
        ZELT_DEVICE_INFO_MY &d = m_deviceList[rec];
        PutText(d.szIPv4Address, addresses.at(k));
        PutText(d.szIPv4SubnetMask, mask);
        PutText(d.szIPv4Gateway, QString::fromLatin1(gwBytes));
        d.dwPort = port;
        ok.Add(tr("Modify network parameter succeed, please reboot your device!"), id);
    }
    CWarnDlg::ShowMsg(tr("Information"), ok.text + failed.text, this);
}

void QtZelt::batchEnableDHCP()
{
    PanelLocker lock(this);
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

    IdSummary ok, failed;
    const QModelIndexList rows = table->selectionModel()->selectedRows();
    for (const QModelIndex &index : rows) {
        const int row = index.row();
        const QString id = m_pModel->index(row, Col::ColId).data().toString() + QLatin1Char(' ');
        const int rec = FindRowRecord(row);
        if (rec < 0)
            continue;
        ZELT_DEVICE_INFO_MY &d = m_deviceList[rec];
        using ZeltRecords::text;
        const bool done = ZeltSdkWrapper::ModifyNetParam(
            text(d.szMAC), text(d.szIPv4Address), text(d.szIPv4SubnetMask), text(d.szIPv4Gateway),
            text(d.szIPv6Address), text(d.szIPv6Gateway), d.byIPv6PrefixLen, QString::number(d.dwPort), password,
            httpPort, dhcp);
        if (!done) {
            failed.Add(tr("Modify network parameter failed!"), id);
            continue;
        }
        m_pModel->item(row, Col::ColIPv4)->setText(text(d.szIPv4Address));
        m_pModel->item(row, Col::ColPort)->setText(QString::asprintf("%5d", int(d.dwPort)));
        m_pModel->item(row, Col::ColMask)->setText(text(d.szIPv4SubnetMask));
        m_pModel->item(row, Col::ColGateway)->setText(text(d.szIPv4Gateway));
        d.byDhcp = dhcp ? 1 : 0;
        ok.Add(tr("Modify network parameter succeed."), id);
    }
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
