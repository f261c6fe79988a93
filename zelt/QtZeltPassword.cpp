// The password section: strength display, activation, restore and reset of
// passwords, and the device key files.

#include "QtZelt.h"

#include <QFile>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QPixmap>
#include <QPushButton>
#include <QStandardItem>

#include <cstring>

#include "Buttons.h"
#include "CPathComboBox.h"
#include "CTableView.h"
#include "CWarnDlg.h"
#include "PasswordRating.h"
#include "QtZeltItemModel.h"
#include "ZeltNetChecks.h"
#include "ZeltBatchRunner.h"
#include "ZeltSdkWrapper.h"

#include <memory>

Q_LOGGING_CATEGORY(lcZeltPassword, "zelt.password")

namespace {
using Col = QtZeltItemModel::Column;

const char kUserName[] = "admin";
constexpr int kMaxKeyPathBytes = 259; // the request's 260-byte slot with its NUL

void PutBytes(char *dst, std::size_t width, const QByteArray &src)
{
    std::memcpy(dst, src.constData(), std::min<std::size_t>(width, std::size_t(src.size())));
}
} // namespace

void QtZelt::OnNewPasswordTextChanged(const QString &strText)
{
    const QPixmap grey(QStringLiteral(":/images/ButtonIcon/grey.png"));
    ui.m_pLabelLevel1->setPixmap(grey);
    ui.m_pLabelLevel2->setPixmap(grey);
    ui.m_pLabelLevel3->setPixmap(grey);
    ui.m_pLabelLevel->setText(QString());

    switch (RatePassword(QByteArray(kUserName), strText.toLatin1())) {
    case 0:
        if (!strText.isEmpty()) {
            ui.m_pLabelLevel1->setPixmap(QPixmap(QStringLiteral(":/images/ButtonIcon/red.png")));
            ui.m_pLabelLevel->setText(tr("Weak"));
        }
        break;
    case 1:
        ui.m_pLabelLevel1->setPixmap(QPixmap(QStringLiteral(":/images/ButtonIcon/red.png")));
        ui.m_pLabelLevel->setText(tr("Weak"));
        break;
    case 2: {
        const QPixmap yellow(QStringLiteral(":/images/ButtonIcon/yellow.png"));
        ui.m_pLabelLevel1->setPixmap(yellow);
        ui.m_pLabelLevel2->setPixmap(yellow);
        ui.m_pLabelLevel->setText(tr("Medium"));
        break;
    }
    default: {
        const QPixmap green(QStringLiteral(":/images/ButtonIcon/green.png"));
        ui.m_pLabelLevel1->setPixmap(green);
        ui.m_pLabelLevel2->setPixmap(green);
        ui.m_pLabelLevel3->setPixmap(green);
        ui.m_pLabelLevel->setText(tr("Strong"));
        break;
    }
    }
}

// The checks of a new password, in order: not empty, the confirmation
// equal, only characters that reach the device unchanged, and a rating
// shown (the field's own hint otherwise).
bool QtZelt::CheckNewPasswordFields()
{
    const QString pwd = ui.edtNewPassword->text();
    if (pwd.isEmpty()) {
        ShowFieldTip(ui.edtNewPassword, tr("The password can not be empty."));
        return false;
    }
    if (pwd != ui.edtConfirmPassword->text()) {
        ShowFieldTip(ui.edtNewPassword, tr("The password you typed do not match."));
        return false;
    }
    if (!ZeltNet::IsPrintableAscii(pwd)) {
        ShowFieldTip(ui.edtNewPassword, tr("The password may only contain printable ASCII characters."));
        return false;
    }
    if (ui.m_pLabelLevel->text().isEmpty()) {
        ShowFieldTip(ui.edtNewPassword, ui.edtNewPassword->toolTip());
        return false;
    }
    return true;
}

void QtZelt::OnDefaultPassword()
{
    if (m_bActivationMode)
        ActivateSelected();
    else
        ResetPassword();
}

void QtZelt::ActivateSelected()
{
    if (m_pRunner->IsRunning())
        return;
    CTableView *table = ui.tableWidgetDevice;
    if (!table->currentIndex().isValid()) {
        CWarnDlg::ShowMsg(tr("Information"), tr("Please select a device."), this);
        return;
    }
    if (ui.edtNewPassword->isVisibleTo(this) && !CheckNewPasswordFields())
        return;

    const QByteArray password = ui.edtNewPassword->text().toLatin1();
    struct Target {
        QPersistentModelIndex row;
        QString serial, mac;
    };
    QList<Target> targets;
    QList<CZeltBatchRunner::Job> jobs;
    {
        PanelLocker lock(this);
        const QModelIndexList rows = table->selectionModel()->selectedRows(0);
        if (!table->currentIndex().isValid()) {
            CWarnDlg::ShowMsg(tr("Information"), tr("Please select a device."), this);
            return;
        }
        for (const QModelIndex &index : rows) {
            const int row = index.row();
            const int rec = FindRowRecord(row);
            if (rec < 0)
                continue;
            const ZELT_DEVICE_INFO_MY &d = m_deviceList.at(rec);
            if (d.byActivated == 0)
                continue;
            const QString id = m_pModel->index(row, Col::ColId).data().toString() + QLatin1Char(' ');
            const QByteArray serial = ZeltRecords::bytes(d.szSerialNO);
            targets.append({index, ZeltRecords::text(d.szSerialNO), ZeltRecords::text(d.szMAC)});
            jobs.append({id, DeviceLabel(id, d), [serial, password] {
                             qCDebug(lcZeltPassword) << "activate" << serial;
                             return ZeltSdkWrapper::Activate(serial, password);
                         }});
        }
    }
    if (jobs.isEmpty()) {
        CWarnDlg::ShowMsg(tr("Information"), tr("No activate device."), this);
        return;
    }

    const QList<CZeltBatchRunner::Outcome> outcomes = m_pRunner->Run(tr("Activate device"), jobs, [&](int i, bool ok) {
        if (!ok)
            return;
        PanelLocker lock(this);
        const Target &t = targets.at(i);
        if (t.row.isValid()) {
            QStandardItem *safety = m_pModel->item(t.row.row(), Col::ColSafety);
            safety->setText(tr("Active"));
            safety->setData(false, QtZeltItemModel::StateRole);
        }
        const int rec = FindRecord(t.serial, t.mac, int(m_deviceList.size()));
        if (rec >= 0)
            m_deviceList[rec].byActivated = 0;
    });
    QString okText, failText;
    bool any = false;
    for (int i = 0; i < jobs.size(); ++i) {
        const QString &id = jobs.at(i).strId;
        if (outcomes.at(i) == CZeltBatchRunner::Outcome::Succeeded)
            okText += okText.isEmpty() ? tr("The device is activated.") + tr("ID:%1").arg(id) : id;
        else if (outcomes.at(i) == CZeltBatchRunner::Outcome::Failed)
            failText += failText.isEmpty() ? tr("Operation failed.") + tr("ID:%1").arg(id) : id;
        any = any || outcomes.at(i) != CZeltBatchRunner::Outcome::NotRun;
    }
    if (!any && m_pRunner->WasCancelled())
        return;
    if (okText.isEmpty() && failText.isEmpty())
        CWarnDlg::ShowMsg(tr("Information"), tr("No activate device."), this);
    else
        CWarnDlg::ShowMsg(tr("Information"), okText + failText, this);
}

void QtZelt::ShowResetResult(bool bOk, bool bNewPassword)
{
    if (bOk)
        CWarnDlg::ShowMsg(tr("Information"),
                          bNewPassword ? tr("Reset password succeed.") : tr("Restore default password succeed."),
                          this);
    else if (bNewPassword)
        CWarnDlg::ShowMsg(tr("Information"), tr("Reset password failed."), this);
    else
        CWarnDlg::ShowMsg(tr("Error"), tr("Restore default password failed!"), this);
}

// One command for the device of the panel, off the GUI thread; the dialog
// appears only when it takes long.
bool QtZelt::RunSingle(const QString &strTitle, const QString &strSerial, std::function<bool()> work)
{
    CZeltBatchRunner::Job job{QString(), strSerial, std::move(work)};
    const QList<CZeltBatchRunner::Outcome> outcome = m_pRunner->Run(strTitle, {job});
    return outcome.value(0) == CZeltBatchRunner::Outcome::Succeeded;
}

void QtZelt::ResetPassword()
{
    if (m_pRunner->IsRunning())
        return;
    if (!ui.tableWidgetDevice->currentIndex().isValid()) {
        CWarnDlg::ShowMsg(tr("Information"), tr("Please select a device."), this);
        return;
    }
    const bool newPassword = ui.edtNewPassword->isVisibleTo(this);
    if (newPassword && !CheckNewPasswordFields())
        return;
    // A device reset through key files shows no security-code field: a tip
    // at a hidden field would never be seen, so point at the import instead.
    if (!ui.m_pDefaultPwdLEdit->isVisibleTo(this)) {
        ShowFieldTip(ui.btnImport->isVisibleTo(this) ? static_cast<QWidget *>(ui.btnImport)
                                                     : static_cast<QWidget *>(ui.pushButtonModifyPassword),
                     tr("Please import a device key file to reset the password."));
        return;
    }
    const QString code = ui.m_pDefaultPwdLEdit->text();
    if (code.isEmpty()) {
        ShowFieldTip(ui.m_pDefaultPwdLEdit, tr("Password cannot be empty."));
        return;
    }
    if (!ZeltNet::IsPrintableAscii(code)) {
        ShowFieldTip(ui.m_pDefaultPwdLEdit, tr("The security code may only contain printable ASCII characters."));
        return;
    }

    bool ok = false;
    if (!newPassword) {
        const QByteArray serial = ui.lineEditSerial->text().toLatin1();
        const QByteArray securityCode = code.toLatin1();
        ok = RunSingle(tr("Reset Default Password"), ui.lineEditSerial->text(),
                       [serial, securityCode] { return ZeltSdkWrapper::ResetDefault(serial, securityCode); });
    } else {
        ZELT_RESET_PARAM request;
        std::memset(&request, 0, sizeof request);
        PutBytes(request.szSecurityCode, sizeof request.szSecurityCode - 1, code.toLatin1());
        PutBytes(request.szNewPassword, sizeof request.szNewPassword, ui.edtNewPassword->text().toLatin1());
        const QByteArray serial = ui.lineEditSerial->text().trimmed().toLatin1();
        ok = RunSingle(tr("Reset Password"), ui.lineEditSerial->text(),
                       [serial, request] { return ZeltSdkWrapper::Reset(serial, request); });
    }
    ShowResetResult(ok, newPassword);
}

void QtZelt::OnExport()
{
    if (m_pRunner->IsRunning())
        return;
    CTableView *table = ui.tableWidgetDevice;
    const QModelIndex current = table->currentIndex();
    if (!current.isValid()) {
        CWarnDlg::ShowMsg(tr("Information"), tr("Please select a device."), this);
        return;
    }
    const QString folder = ui.combExportFile->currentText();
    if (folder.isEmpty()) {
        ShowFieldTip(ui.combExportFile, tr("File path cannot be empty."));
        return;
    }
    QByteArray serial;
    {
        // The device list changes on the hub's thread: read it locked.
        PanelLocker lock(this);
        const int rec = FindRowRecord(current.row());
        if (rec >= 0)
            serial = ZeltRecords::bytes(m_deviceList.at(rec).szSerialNO);
    }
    if (serial.isNull()) {
        CWarnDlg::ShowMsg(tr("Error"), tr("Row error!"), this);
        return;
    }
    // Written by the worker, read here once it has ended.
    auto key = std::make_shared<QByteArray>();
    if (!RunSingle(tr("Export"), QString::fromLatin1(serial),
                   [serial, key] { return ZeltSdkWrapper::GetDeviceKey(serial, key.get()); })) {
        CWarnDlg::ShowMsg(tr("Information"), tr("Get key error."), this);
        return;
    }
    QFile file(folder + QStringLiteral("DeviceKey.xml"));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(*key) != key->size() || !file.flush()) {
        CWarnDlg::ShowMsg(tr("Information"), tr("Create device key file error."), this);
        return;
    }
    file.close();
    CWarnDlg::ShowMsg(tr("Information"), tr("Exported."), this);
}

void QtZelt::OnImport()
{
    if (m_pRunner->IsRunning())
        return;
    const QString path = ui.combImportFile->currentText();
    if (path.isEmpty()) {
        ShowFieldTip(ui.combImportFile, tr("File path cannot be empty."));
        return;
    }
    const bool newPassword = ui.edtNewPassword->isVisibleTo(this);
    if (newPassword && !CheckNewPasswordFields())
        return;
    // The path is handed over in a fixed slot; a shortened path would name
    // another file.
    const QByteArray localPath = path.toLocal8Bit();
    if (localPath.size() > kMaxKeyPathBytes) {
        CWarnDlg::ShowMsg(tr("Information"), tr("The key file path is too long."), this);
        return;
    }
    ZELT_RESET_PARAM request;
    std::memset(&request, 0, sizeof request);
    PutBytes(request.szKeyFilePath, kMaxKeyPathBytes, localPath);
    if (newPassword)
        PutBytes(request.szNewPassword, sizeof request.szNewPassword, ui.edtNewPassword->text().toLatin1());
    const QByteArray serial = ui.lineEditSerial->text().trimmed().toLatin1();
    const bool ok = RunSingle(newPassword ? tr("Reset Password") : tr("Reset Default Password"),
                              ui.lineEditSerial->text(),
                              [serial, request] { return ZeltSdkWrapper::Reset(serial, request); });
    ShowResetResult(ok, newPassword);
}
