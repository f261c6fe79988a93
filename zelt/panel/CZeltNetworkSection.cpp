// Network parameters of one device or a run of devices, and the batch DHCP
// change.

#include "CZeltNetworkSection.h"

#include <QCheckBox>
#include <QFrame>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPersistentModelIndex>
#include <QRegularExpression>
#include <QStandardItem>

#include <cstring>
#include <memory>

#include "Buttons.h"
#include "CTableView.h"
#include "LineEdits.h"
#include "ui_QtZelt.h"
#include "QtZeltItemModel.h"
#include "Validators.h"
#include "CZeltBatchRunner.h"
#include "CZeltDeviceStore.h"
#include "ZeltNetChecks.h"
#include "CZeltPanelContext.h"
#include "ZeltSdkWrapper.h"
#include "CZeltConsent.h"
#include "ZeltTrust.h"
#include "zelt_sdk.h"

namespace {
using Col = QtZeltItemModel::Column;

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

// The devices that took the change under strOk, those that did not under
// strFailed. Devices a cancelled run never reached are in neither; a run
// cancelled before any device answered shows nothing.
void ShowRunSummary(const CZeltPanelContext &ctx, const QList<CZeltBatchRunner::Job> &jobs,
                    const QList<CZeltBatchRunner::Outcome> &outcomes, const QString &strOk, const QString &strFailed)
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
    if (ctx.runner.WasCancelled() && !any)
        return;
    QList<QString> ids;
    for (const CZeltBatchRunner::Job &job : jobs)
        ids.append(job.strId);
    ctx.ShowMessage(QCoreApplication::translate("QtZelt", "Information"),
                    ok.text + failed.text + ctx.FailureReasons(ids));
    ctx.OfferNewCertificates(jobs);
}
} // namespace

CZeltNetworkSection::CZeltNetworkSection(CZeltPanelContext &ctx, TBX_ModifyNetParamFunc pModify)
    : m_ctx(ctx)
    , m_pModify(pModify)
{}

void CZeltNetworkSection::SetUpFields()
{
    Ui_QtZeltClass &ui = m_ctx.ui;
    ui.lineEditPort->setMaxLength(5);
    ui.lineEditPort->setValidator(new CIntValidator(2000, 65535, ui.lineEditPort));
    const QRegularExpression address(QStringLiteral("[0-9.]*"));
    ui.lineEditIPAddr->setValidator(new CRegExpValidator(39, address, ui.lineEditIPAddr));
    ui.lineEditIPMask->setValidator(new CRegExpValidator(39, address, ui.lineEditIPMask));
    ui.lineEditIPv6Mask->setValidator(new CIntValidator(0, 64, ui.lineEditIPv6Mask));
    ui.lineEditHttpPort->setMaxLength(5);
    ui.lineEditHttpPort->setValidator(new CIntValidator(1, 65535, ui.lineEditHttpPort));
    ui.lineEditPort_Password->setMaxLength(16);
    ui.lineEditIPv6Addr->setEnabled(false);
    ui.lineEditIPv6Gateway->setEnabled(false);
    ui.lineEditIPv6Mask->setEnabled(false);
    Retranslate();
}

void CZeltNetworkSection::Retranslate()
{
    m_ctx.ui.lineEditPort->setToolTip(tr("Device port ranges from 2000 to 65535."));
    m_ctx.ui.lineEditHttpPort->setToolTip(tr("Http port ranges from 1 to 65535."));
    ApplyModeTexts();
}

void CZeltNetworkSection::ApplyModeTexts()
{
    Ui_QtZeltClass &ui = m_ctx.ui;
    ui.label_7->setText(m_bBatchLabels ? tr("Start IP Address:") : tr("IP Address:"));
    ui.label_162->setText(m_bBatchLabels ? tr("Batch Modify Network parameters") : tr("Modify Network parameters"));
}

void CZeltNetworkSection::SetEnabled(bool bOn)
{
    Ui_QtZeltClass &ui = m_ctx.ui;
    QWidget *const widgets[] = {ui.lineEditSerial,   ui.lineEditIPAddr,        ui.lineEditIPMask,
                                ui.lineEditPort,     ui.lineEditPort_Password, ui.lineEditIPGateway,
                                ui.lineEditHttpPort, ui.widgetBatch,           ui.checkBoxDhcp};
    for (QWidget *w : widgets)
        w->setEnabled(bOn);
    if (bOn)
        return;
    for (QLineEdit *e : {ui.lineEditSerial, ui.lineEditIPAddr, ui.lineEditIPMask, ui.lineEditPort,
                         static_cast<QLineEdit *>(ui.lineEditPort_Password), ui.lineEditHttpPort, ui.lineEditIPv6Addr,
                         ui.lineEditIPv6Gateway, ui.lineEditIPv6Mask})
        e->clear();
    ui.lineEditIPv6Addr->setEnabled(false);
    ui.lineEditIPv6Gateway->setEnabled(false);
    ui.lineEditIPv6Mask->setEnabled(false);
}

void CZeltNetworkSection::SetSingleMode()
{
    Ui_QtZeltClass &ui = m_ctx.ui;
    m_bBatchLabels = false;
    ApplyModeTexts();
    ui.label_5->show();
    ui.frame_4->show();
    ui.lineEditSerial->show();
    ui.checkBoxDhcp->show();
    ui.widgetBatch->hide();
}

void CZeltNetworkSection::SetMultiMode(const QModelIndexList &rows)
{
    Ui_QtZeltClass &ui = m_ctx.ui;
    m_bBatchLabels = true;
    ApplyModeTexts();
    ui.label_5->hide();
    ui.frame_4->hide();
    ui.lineEditSerial->hide();
    ui.checkBoxDhcp->hide();
    ui.widgetBatch->show();
    ui.widgetBatch->setEnabled(true);

    for (QLineEdit *e :
         {ui.lineEditIPAddr, ui.lineEditIPMask, ui.lineEditPort, static_cast<QLineEdit *>(ui.lineEditPort_Password),
          ui.lineEditIPGateway, ui.lineEditHttpPort, static_cast<QLineEdit *>(ui.lineEditPort_BatchPassword),
          // A run never changes IPv6 settings: show none rather than the last device's.
          ui.lineEditIPv6Addr, ui.lineEditIPv6Gateway, ui.lineEditIPv6Mask})
        e->clear();
    ui.lineEditIPv6Addr->setEnabled(false);
    ui.lineEditIPv6Gateway->setEnabled(false);
    ui.lineEditIPv6Mask->setEnabled(false);

    RunAllows allows;
    {
        CZeltDeviceStore::Locker lock(m_ctx.store);
        allows = ExamineRunLocked(rows);
    }
    EnableRunFields(allows);
    ui.checkBoxDhcp->setChecked(allows.dhcp);
    OnBatchDhcpChanged(ui.checkBoxBatchDhcp->checkState());
}

void CZeltNetworkSection::Fill(const ZELT_DEVICE_INFO_MY &d)
{
    Ui_QtZeltClass &ui = m_ctx.ui;
    const bool locked = IsZeltLockedType(d.dwDeviceType);
    for (QWidget *w : {static_cast<QWidget *>(ui.lineEditIPAddr), static_cast<QWidget *>(ui.lineEditIPMask),
                       static_cast<QWidget *>(ui.lineEditPort), static_cast<QWidget *>(ui.lineEditPort_Password),
                       static_cast<QWidget *>(ui.lineEditIPGateway), static_cast<QWidget *>(ui.lineEditIPv6Addr),
                       static_cast<QWidget *>(ui.lineEditIPv6Gateway), static_cast<QWidget *>(ui.lineEditIPv6Mask),
                       static_cast<QWidget *>(ui.pushButtonModifyNetwork)})
        w->setEnabled(!locked);

    using namespace ZeltRecords;
    ui.lineEditSerial->setText(text(d.szSerialNO));
    ui.lineEditSerial->setCursorPosition(0);
    ui.lineEditIPAddr->setText(text(d.szIPv4Address));
    ui.lineEditIPMask->setText(text(d.szIPv4SubnetMask));
    ui.lineEditPort->setText(QString::number(d.dwPort));
    ui.lineEditIPGateway->setText(text(d.szIPv4Gateway));
    ui.lineEditIPv6Addr->setText(text(d.szIPv6Address));
    ui.lineEditIPv6Gateway->setText(text(d.szIPv6Gateway));
    ui.lineEditIPv6Mask->setText(QString::number(d.byIPv6PrefixLen));
    ui.lineEditHttpPort->setText(QString::number(d.dwHttpPort));
    ui.lineEditHttpPort->setEnabled(d.dwHttpPort > 0 && d.dwHttpPort < 65536 && !locked);
    ui.checkBoxDhcp->setChecked(d.byDhcp != 0);
    // The IPv6 group follows this device's DHCP state, whatever a run's
    // batch DHCP left it in (the box's signal comes only on a change).
    ui.frame->setEnabled(d.byDhcp == 0);

    QLineEdit *const ipv6[] = {ui.lineEditIPv6Addr, ui.lineEditIPv6Gateway, ui.lineEditIPv6Mask};
    if (d.byExtendInfo == 0) {
        ui.lineEditIPGateway->clear();
        ui.lineEditIPGateway->setEnabled(false);
        for (QLineEdit *e : ipv6) {
            e->clear();
            e->setEnabled(false);
        }
    } else if (d.byExtendInfo == 1) {
        if (!(d.bySupport & ZELT_SUPPORT_IPV6)) {
            for (QLineEdit *e : ipv6)
                e->clear();
        }
        const bool modIPv6 = (d.bySupport & ZELT_SUPPORT_MODIFY_IPV6) && !locked;
        for (QLineEdit *e : ipv6)
            e->setEnabled(modIPv6);
    }

    // With DHCP on the device takes its IPv4 settings from the network. A
    // locked device type keeps its fields locked whatever the DHCP state.
    const bool manual = !ui.checkBoxDhcp->isChecked() && !locked;
    ui.lineEditIPAddr->setEnabled(manual);
    ui.lineEditIPMask->setEnabled(manual);
    ui.lineEditIPGateway->setEnabled(manual && d.byExtendInfo != 0);
}

void CZeltNetworkSection::ModifySelected()
{
    if (m_ctx.runner.IsRunning())
        return;
    if (!m_ctx.ui.tableWidgetDevice->currentIndex().isValid()) {
        m_ctx.ShowMessage(tr("Information"), tr("Please select a device."));
        return;
    }

    const QString ip = m_ctx.ui.lineEditIPAddr->text().trimmed();
    if (ip.isEmpty()) {
        m_ctx.ShowFieldTip(m_ctx.ui.lineEditIPAddr, tr("IP address cannot be empty."));
        return;
    }
    if (!ZeltNet::IsValidIPv4(ip)) {
        m_ctx.ShowFieldTip(m_ctx.ui.lineEditIPAddr, tr("IP Address not correct."));
        return;
    }
    const QString mask = m_ctx.ui.lineEditIPMask->text().trimmed();
    if (mask.isEmpty()) {
        m_ctx.ShowFieldTip(m_ctx.ui.lineEditIPMask, tr("Subnet mask cannot be empty."));
        return;
    }
    if (!ZeltNet::IsValidMask(mask)) {
        m_ctx.ShowFieldTip(m_ctx.ui.lineEditIPMask, tr("Subnet Mask not correct."));
        return;
    }
    const QString portText = m_ctx.ui.lineEditPort->text().trimmed();
    bool portOk = false;
    const uint port = portText.toUInt(&portOk);
    if (!portOk || port < 2000 || port > 65535) {
        m_ctx.ShowFieldTip(m_ctx.ui.lineEditPort, tr("Device port ranges from 2000 to 65535."));
        return;
    }
    if (m_ctx.ui.lineEditHttpPort->isEnabled()) {
        bool httpOk = false;
        const uint http = m_ctx.ui.lineEditHttpPort->text().trimmed().toUInt(&httpOk);
        if (!httpOk || http < 1 || http > 65535) {
            m_ctx.ShowFieldTip(m_ctx.ui.lineEditHttpPort, tr("Http port ranges from 1 to 65535."));
            return;
        }
    }
    const QString gateway = m_ctx.ui.lineEditIPGateway->text().trimmed();
    if (gateway.isEmpty()) {
        m_ctx.ui.lineEditIPGateway->setText(QString());
    } else if (!ZeltNet::IsValidGateway(gateway)) {
        m_ctx.ShowFieldTip(m_ctx.ui.lineEditIPGateway, tr("Gateway not correct."));
        return;
    }
    const bool ipv6Enabled = m_ctx.ui.lineEditIPv6Addr->isEnabled();
    const QString ipv6 = m_ctx.ui.lineEditIPv6Addr->text().trimmed();
    const QString ipv6Gateway = m_ctx.ui.lineEditIPv6Gateway->text().trimmed();
    uint prefix = 0;
    if (ipv6Enabled) {
        if (!ipv6.isEmpty() && !ZeltNet::IsValidIPv6(ipv6)) {
            m_ctx.ShowFieldTip(m_ctx.ui.lineEditIPv6Addr, tr("IPv6 Address not correct."));
            return;
        }
        if (!ipv6Gateway.isEmpty() && !ZeltNet::IsValidIPv6(ipv6Gateway)) {
            m_ctx.ShowFieldTip(m_ctx.ui.lineEditIPv6Gateway, tr("IPv6 gateway not correct."));
            return;
        }
        // An empty prefix field means prefix length 0.
        const QString prefixText = m_ctx.ui.lineEditIPv6Mask->text().trimmed();
        bool prefixOk = prefixText.isEmpty();
        if (!prefixOk)
            prefix = prefixText.toUInt(&prefixOk);
        if (!prefixOk || prefix > 64) {
            m_ctx.ShowFieldTip(m_ctx.ui.lineEditIPv6Mask, tr("IPv6 prefix length ranges from 0 to 64."));
            return;
        }
    }
    // The password goes to the device as 8-bit text: a character that has
    // no such form would silently become another password.
    const QString password = m_ctx.ui.lineEditPort_Password->text();
    if (!ZeltNet::IsPrintableAscii(password)) {
        m_ctx.ShowFieldTip(m_ctx.ui.lineEditPort_Password,
                           tr("The password may only contain printable ASCII characters."));
        return;
    }

    // What the section shows is what is changed: in single mode the shown
    // device alone, whatever else the selection holds.
    QModelIndexList rows;
    if (m_bBatchLabels)
        rows = m_ctx.ui.tableWidgetDevice->selectionModel()->selectedRows();
    else if (m_ctx.shownRow.isValid())
        rows.append(m_ctx.shownRow);
    if (rows.isEmpty()) {
        m_ctx.ShowMessage(tr("Information"), tr("Please select a device."));
        return;
    }
    const QList<QString> addresses = ZeltNet::RunAddresses(ip, int(rows.size()), mask);
    if (addresses.size() != rows.size()) {
        m_ctx.ShowMessage(
            tr("Information"),
            tr("Not enough addresses after %1 for %2 devices; nothing was changed.").arg(ip).arg(rows.size()));
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
        mask.toLatin1(), password.toLatin1(), m_ctx.ui.lineEditPort->text().toLatin1(),
        m_ctx.ui.lineEditHttpPort->text().toLatin1(), m_ctx.ui.lineEditIPGateway->text().trimmed().toLatin1(),
        ipv6.toLatin1(), ipv6Gateway.toLatin1(), rows.size() == 1 && ipv6Enabled, static_cast<unsigned char>(prefix),
        static_cast<unsigned char>(
            m_ctx.ui.checkBoxDhcp->isVisibleTo(m_ctx.pPanel) && m_ctx.ui.checkBoxDhcp->isChecked() ? 1 : 0)});

    struct Target {
        QPersistentModelIndex row;
        QString serial, mac, address;
    };
    QList<Target> targets;
    QList<CZeltBatchRunner::Job> jobs;
    CZeltConsent consent;
    {
        CZeltDeviceStore::Locker lock(m_ctx.store);
        for (int k = 0; k < rows.size(); ++k) {
            const int row = rows.at(k).row();
            const int rec = m_ctx.RecordOfRow(row);
            if (rec < 0 || !m_pModify)
                continue;
            const ZELT_DEVICE_INFO_MY &d = m_ctx.store.At(rec);
            const QString id = m_ctx.IdOfRow(row);
            targets.append({rows.at(k), ZeltRecords::text(d.szSerialNO), ZeltRecords::text(d.szMAC), addresses.at(k)});
            const QByteArray mac = ZeltRecords::bytes(d.szMAC);
            const QByteArray addr = addresses.at(k).toLatin1();
            const TBX_ModifyNetParamFunc modify = m_pModify;
            auto command = [modify, common, mac, addr] {
                const Common &c = *common;
                const bool ok = modify(
                    mac.constData(), addr.constData(), c.mask.constData(), c.password.constData(), c.port.constData(),
                    c.http.constData(), c.gateway.constData(), c.sendIPv6 ? c.ipv6.constData() : nullptr,
                    c.sendIPv6 ? c.ipv6Gateway.constData() : nullptr, c.sendIPv6 ? c.prefix : 0, c.dhcp);
                if (!ok)
                    ZeltSdkWrapper::NoteHostFailure("modify network parameters");
                return ok;
            };
            jobs.append({id, CZeltPanelContext::DeviceLabel(id, d),
                         ZeltTrust::GuardedWork(consent.Add(id, d), d, std::move(command)), mac,
                         ZeltRecords::text(d.szIPv4Address)});
        }
    }
    if (!consent.Settle(m_ctx.pPanel, tr("Send the password anyway?"), jobs, targets))
        return;

    const QString gatewayText = QString::fromLatin1(common->gateway);
    const QList<CZeltBatchRunner::Outcome> outcomes = m_ctx.runner.Run(
        tr("Modify Network parameters"), jobs, [&](int i, bool ok) {
            if (!ok)
                return;
            CZeltDeviceStore::Locker lock(m_ctx.store);
            const Target &t = targets.at(i);
            if (t.row.isValid())
                m_ctx.model.SetNetworkCells(t.row.row(), t.address, port, mask, gatewayText);
            const int rec = m_ctx.store.IndexOf(t.serial, t.mac);
            if (rec >= 0) {
                m_ctx.store.Modify(rec, [&](ZELT_DEVICE_INFO_MY &d) {
                    ZeltRecords::putText(d.szIPv4Address, t.address.toLatin1());
                    ZeltRecords::putText(d.szIPv4SubnetMask, mask.toLatin1());
                    ZeltRecords::putText(d.szIPv4Gateway, gatewayText.toLatin1());
                    d.dwPort = port;
                });
            }
        });
    ShowRunSummary(m_ctx, jobs, outcomes, tr("Modify network parameter succeed, please reboot your device!"),
                   tr("Modify network parameter failed!"));
}

void CZeltNetworkSection::ModifyDhcpOfSelected()
{
    if (m_ctx.runner.IsRunning())
        return;
    if (!m_ctx.ui.tableWidgetDevice->currentIndex().isValid()) {
        m_ctx.ShowMessage(tr("Information"), tr("Please select a device."));
        return;
    }
    const QString password = m_ctx.ui.lineEditPort_BatchPassword->text().trimmed();
    if (!ZeltNet::IsPrintableAscii(password)) {
        m_ctx.ShowFieldTip(m_ctx.ui.lineEditPort_BatchPassword,
                           tr("The password may only contain printable ASCII characters."));
        return;
    }
    const QString httpPort = m_ctx.ui.lineEditHttpPort->text().trimmed();
    const bool dhcp = m_ctx.ui.checkBoxBatchDhcp->isChecked();
    const QByteArray pwd = password.toLatin1();

    struct Target {
        QPersistentModelIndex row;
        QString serial, mac;
    };
    QList<Target> targets;
    QList<CZeltBatchRunner::Job> jobs;
    CZeltConsent consent;
    {
        CZeltDeviceStore::Locker lock(m_ctx.store);
        const QModelIndexList rows = m_ctx.ui.tableWidgetDevice->selectionModel()->selectedRows();
        for (const QModelIndex &index : rows) {
            const int row = index.row();
            const int rec = m_ctx.RecordOfRow(row);
            if (rec < 0)
                continue;
            const ZELT_DEVICE_INFO_MY &d = m_ctx.store.At(rec);
            using ZeltRecords::text;
            ZELT_NET_PARAM param;
            ZeltSdkWrapper::BuildNetParam(param, text(d.szIPv4Address), text(d.szIPv4SubnetMask), text(d.szIPv4Gateway),
                                          text(d.szIPv6Address), text(d.szIPv6Gateway), d.byIPv6PrefixLen,
                                          QString::number(d.dwPort), httpPort, dhcp);
            const QString id = m_ctx.IdOfRow(row);
            targets.append({index, text(d.szSerialNO), text(d.szMAC)});
            const QByteArray mac = ZeltRecords::bytes(d.szMAC);
            jobs.append(
                {id, CZeltPanelContext::DeviceLabel(id, d),
                 ZeltTrust::GuardedWork(consent.Add(id, d), d,
                                        [mac, pwd, param] { return ZeltSdkWrapper::ModifyNetParam(mac, pwd, param); }),
                 mac, text(d.szIPv4Address)});
        }
    }
    if (!consent.Settle(m_ctx.pPanel, tr("Send the password anyway?"), jobs, targets))
        return;

    const QList<CZeltBatchRunner::Outcome> outcomes = m_ctx.runner.Run(
        tr("Batch Modify Network parameters"), jobs, [&](int i, bool ok) {
            if (!ok)
                return;
            CZeltDeviceStore::Locker lock(m_ctx.store);
            const Target &t = targets.at(i);
            const int rec = m_ctx.store.IndexOf(t.serial, t.mac);
            if (rec < 0)
                return;
            const ZELT_DEVICE_INFO_MY &d = m_ctx.store.At(rec);
            using ZeltRecords::text;
            if (t.row.isValid())
                m_ctx.model.SetNetworkCells(t.row.row(), text(d.szIPv4Address), d.dwPort, text(d.szIPv4SubnetMask),
                                            text(d.szIPv4Gateway));
            m_ctx.store.Modify(rec, [dhcp](ZELT_DEVICE_INFO_MY &r) { r.byDhcp = dhcp ? 1 : 0; });
        });
    ShowRunSummary(m_ctx, jobs, outcomes, tr("Modify network parameter succeed."),
                   tr("Modify network parameter failed!"));
}

void CZeltNetworkSection::OnDhcpChanged(int state)
{
    if (state != Qt::Unchecked && state != Qt::Checked)
        return;
    const bool manual = state == Qt::Unchecked;
    // A device type whose settings cannot be changed keeps its fields locked
    // (the modify button is off for it).
    const bool editable = m_ctx.ui.pushButtonModifyNetwork->isEnabled()
                          || m_ctx.ui.widgetBatch->isVisibleTo(m_ctx.pPanel);
    m_ctx.ui.frame->setEnabled(manual);
    m_ctx.ui.lineEditIPAddr->setEnabled(manual && editable);
    m_ctx.ui.lineEditIPMask->setEnabled(manual && editable);
    m_ctx.ui.lineEditIPGateway->setEnabled(manual && editable);
}

void CZeltNetworkSection::OnBatchDhcpChanged(int state)
{
    if (state != Qt::Unchecked && state != Qt::Checked)
        return;
    const bool manual = state == Qt::Unchecked;
    if (!manual) {
        for (QWidget *w :
             {static_cast<QWidget *>(m_ctx.ui.frame), static_cast<QWidget *>(m_ctx.ui.lineEditIPAddr),
              static_cast<QWidget *>(m_ctx.ui.lineEditIPMask), static_cast<QWidget *>(m_ctx.ui.lineEditIPGateway),
              static_cast<QWidget *>(m_ctx.ui.lineEditPort), static_cast<QWidget *>(m_ctx.ui.lineEditPort_Password),
              static_cast<QWidget *>(m_ctx.ui.pushButtonModifyNetwork)})
            w->setEnabled(false);
        return;
    }
    // Back to manual addresses: the fields open as far as the selected
    // devices allow (any changeable type; a gateway only with extended
    // information).
    CZeltDeviceStore::Locker lock(m_ctx.store);
    const RunAllows allows = ExamineRunLocked(m_ctx.ui.tableWidgetDevice->selectionModel()->selectedRows());
    m_ctx.ui.frame->setEnabled(true);
    EnableRunFields(allows);
}

CZeltNetworkSection::RunAllows CZeltNetworkSection::ExamineRunLocked(const QModelIndexList &rows) const
{
    RunAllows allows;
    for (const QModelIndex &idx : rows) {
        const int rec = m_ctx.RecordOfRow(idx.row());
        if (rec < 0)
            continue;
        const ZELT_DEVICE_INFO_MY &d = m_ctx.store.At(rec);
        allows.editableType = allows.editableType || !IsZeltLockedType(d.dwDeviceType);
        allows.extended = allows.extended || d.byExtendInfo == 1;
        if (allows.editableType && allows.extended)
            break; // the device that stops the examination does not count for DHCP
        allows.dhcp = allows.dhcp || d.byDhcp != 0;
    }
    return allows;
}

void CZeltNetworkSection::EnableRunFields(const RunAllows &allows)
{
    Ui_QtZeltClass &ui = m_ctx.ui;
    for (QWidget *w : {static_cast<QWidget *>(ui.lineEditIPAddr), static_cast<QWidget *>(ui.lineEditIPMask),
                       static_cast<QWidget *>(ui.lineEditPort), static_cast<QWidget *>(ui.lineEditPort_Password),
                       static_cast<QWidget *>(ui.pushButtonModifyNetwork)})
        w->setEnabled(allows.editableType);
    ui.lineEditIPGateway->setEnabled(allows.extended);
}
