// The password section: strength display, activation, restore and reset of
// passwords, and the device key files.

#include "CZeltPasswordSection.h"

#include <QFile>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QPixmap>
#include <QPushButton>
#include <QStandardItem>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

#include "Buttons.h"
#include "CPathComboBox.h"
#include "CTableView.h"
#include "CToolLabel.h"
#include "CWarnDlg.h"
#include "PasswordRating.h"
#include "ui_QtZelt.h"
#include "QtZeltItemModel.h"
#include "ZeltNetChecks.h"
#include "CZeltBatchRunner.h"
#include "CZeltDeviceStore.h"
#include "CZeltPanelContext.h"
#include "ZeltSdkWrapper.h"
#include "CZeltConsent.h"
#include "ZeltTrust.h"
#include "zelt_sdk.h"

#include <memory>
#include <optional>

Q_LOGGING_CATEGORY(lcZeltPassword, "zelt.password")

namespace {
using Col = QtZeltItemModel::Column;

const char kUserName[] = "admin";
constexpr int kMaxKeyPathBytes = 259; // the request's 260-byte slot with its NUL

QString LinkRefusal()
{
    return QCoreApplication::translate("QtZelt", "DeviceKey.xml in this folder is a link; nothing was written.");
}

// The key goes to a file of its own in the same folder, which is then
// renamed into place: a write that fails leaves whatever file was there,
// never a cut-off key, and the rename replaces a link instead of following
// it.
bool WriteKeyFile(const QString &path, const QByteArray &key)
{
    QTemporaryFile file(path + QStringLiteral(".XXXXXX"));
    if (!file.open()) {
        qCWarning(lcZeltPassword) << "key file" << path << file.errorString();
        return false;
    }
    const bool written = file.write(key) == key.size() && file.flush() && ::fsync(file.handle()) == 0;
    file.close();
    if (!written || file.error() != QFileDevice::NoError) {
        qCWarning(lcZeltPassword) << "key file" << path << file.errorString();
        return false;
    }
    // Readable as a plain file the user saves would be.
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup
                        | QFileDevice::ReadOther);
    if (::rename(QFile::encodeName(file.fileName()).constData(), QFile::encodeName(path).constData()) != 0) {
        qCWarning(lcZeltPassword) << "key file" << path << std::strerror(errno);
        return false;
    }
    file.setAutoRemove(false);
    return true;
}
} // namespace

CZeltPasswordSection::CZeltPasswordSection(CZeltPanelContext &ctx) : m_ctx(ctx) {}

void CZeltPasswordSection::SetUpFields()
{
    Ui_QtZeltClass &ui = m_ctx.ui;
    ui.m_pDefaultPwdLEdit->setMaxLength(32);
    ui.m_pDefaultPwdLEdit->setEchoMode(QLineEdit::Password);
    const QPixmap grey(QStringLiteral(":/images/ButtonIcon/grey.png"));
    ui.m_pLabelLevel1->setPixmap(grey);
    ui.m_pLabelLevel2->setPixmap(grey);
    ui.m_pLabelLevel3->setPixmap(grey);
    ui.edtNewPassword->setEchoMode(QLineEdit::Password);
    ui.edtConfirmPassword->setEchoMode(QLineEdit::Password);
}

void CZeltPasswordSection::CompleteStart()
{
    Ui_QtZeltClass &ui = m_ctx.ui;
    m_bStarted = true;
    ui.combImportFile->SetMode(CPathComboBox::OpenFile);
    ui.combExportFile->SetMode(CPathComboBox::Folder);
    // Key-file controls hidden, the rest of the section shown.
    for (QWidget *w : {static_cast<QWidget *>(ui.combExportFile), static_cast<QWidget *>(ui.btnExport),
                       static_cast<QWidget *>(ui.combImportFile), static_cast<QWidget *>(ui.btnImport)})
        w->hide();
    ui.edtNewPassword->setMaxLength(16);
    ui.edtConfirmPassword->setMaxLength(16);
    Retranslate();
}

void CZeltPasswordSection::Retranslate()
{
    if (m_bStarted)
        m_ctx.ui.edtNewPassword->setToolTip(
            tr("Valid password range [8-16]. You can use a combination of numbers, \nlowercase, uppercase and "
               "special character for \nyour password with at least two kinds of them contained."));
    ApplyTitle();
}

void CZeltPasswordSection::ApplyTitle()
{
    switch (m_eTitle) {
    case Title::Activate: m_ctx.ui.label_163->setText(tr("Activate device")); break;
    case Title::ResetPassword: m_ctx.ui.label_163->setText(tr("Reset Password")); break;
    case Title::RestoreDefault: m_ctx.ui.label_163->setText(tr("Reset Default Password")); break;
    }
}

void CZeltPasswordSection::SetEnabled(bool bOn)
{
    Ui_QtZeltClass &ui = m_ctx.ui;
    QWidget *const widgets[] = {ui.m_pDefaultPwdLEdit,       ui.edtNewPassword, ui.edtConfirmPassword,
                                ui.pushButtonModifyPassword, ui.combExportFile, ui.btnExport,
                                ui.combImportFile,           ui.btnImport};
    for (QWidget *w : widgets)
        w->setEnabled(bOn);
    if (bOn)
        return;
    for (QLineEdit *e : {ui.m_pDefaultPwdLEdit, ui.edtNewPassword, ui.edtConfirmPassword})
        e->clear();
    ui.combExportFile->clear();
    ui.combImportFile->clear();
}

void CZeltPasswordSection::Fill(const ZELT_DEVICE_INFO_MY &d)
{
    Ui_QtZeltClass &ui = m_ctx.ui;
    const bool locked = IsZeltLockedType(d.dwDeviceType);
    QWidget *const widgets[] = {ui.pushButtonModifyPassword, ui.m_pDefaultPwdLEdit, ui.edtNewPassword,
                                ui.edtConfirmPassword,       ui.combExportFile,     ui.btnExport,
                                ui.combImportFile,           ui.btnImport};
    for (QWidget *w : widgets)
        w->setEnabled(!locked);
    UpdateSection(d);
}

void CZeltPasswordSection::SetMultiMode()
{
    // Activation controls in activation mode.
    ZELT_DEVICE_INFO_MY inactive;
    std::memset(&inactive, 0, sizeof inactive);
    inactive.byActivated = 1;
    UpdateSection(inactive);
    Ui_QtZeltClass &ui = m_ctx.ui;
    for (QLineEdit *e : {ui.m_pDefaultPwdLEdit, ui.edtNewPassword, ui.edtConfirmPassword})
        e->clear();
}

void CZeltPasswordSection::UpdateSection(const ZELT_DEVICE_INFO_MY &d)
{
    Ui_QtZeltClass &ui = m_ctx.ui;
    const bool inactive = d.byActivated != 0;
    m_bActivationMode = inactive;
    ui.label_17->setVisible(!inactive);
    ui.m_pDefaultPwdLEdit->setVisible(!inactive);
    m_eTitle = inactive ? Title::Activate : Title::RestoreDefault;

    QWidget *const newPassword[] = {ui.label_2,        ui.edtNewPassword, ui.m_pLabelLevel, ui.m_pLabelLevel1,
                                    ui.m_pLabelLevel2, ui.m_pLabelLevel3, ui.label_3,       ui.edtConfirmPassword};
    QWidget *const keyFiles[] = {ui.combExportFile, ui.btnExport, ui.combImportFile, ui.btnImport};
    auto show = [](QWidget *const *ws, int n, bool on) {
        for (int i = 0; i < n; ++i)
            ws[i]->setVisible(on);
    };
    if (inactive) {
        show(newPassword, 8, true);
        ui.pushButtonModifyPassword->show();
        show(keyFiles, 4, false);
    } else if (d.bySupport & ZELT_SUPPORT_RESET_PASSWORD) {
        m_eTitle = Title::ResetPassword;
        ui.label_17->hide();
        ui.m_pDefaultPwdLEdit->hide();
        show(newPassword, 8, true);
        show(keyFiles, 4, true);
    } else if (d.bySupport & ZELT_SUPPORT_NEW_PASSWORD) {
        show(newPassword, 8, false);
        ui.label_17->hide();
        ui.m_pDefaultPwdLEdit->hide();
        ui.pushButtonModifyPassword->hide();
        show(keyFiles, 4, true);
    } else {
        show(newPassword, 8, false);
        show(keyFiles, 4, false);
        ui.pushButtonModifyPassword->show();
    }
    ApplyTitle();
}

void CZeltPasswordSection::ShowStrength(const QString &strText)
{
    const QPixmap grey(QStringLiteral(":/images/ButtonIcon/grey.png"));
    m_ctx.ui.m_pLabelLevel1->setPixmap(grey);
    m_ctx.ui.m_pLabelLevel2->setPixmap(grey);
    m_ctx.ui.m_pLabelLevel3->setPixmap(grey);
    m_ctx.ui.m_pLabelLevel->setText(QString());

    switch (RatePassword(QByteArray(kUserName), strText.toLatin1())) {
    case 0:
        if (!strText.isEmpty()) {
            m_ctx.ui.m_pLabelLevel1->setPixmap(QPixmap(QStringLiteral(":/images/ButtonIcon/red.png")));
            m_ctx.ui.m_pLabelLevel->setText(tr("Weak"));
        }
        break;
    case 1:
        m_ctx.ui.m_pLabelLevel1->setPixmap(QPixmap(QStringLiteral(":/images/ButtonIcon/red.png")));
        m_ctx.ui.m_pLabelLevel->setText(tr("Weak"));
        break;
    case 2: {
        const QPixmap yellow(QStringLiteral(":/images/ButtonIcon/yellow.png"));
        m_ctx.ui.m_pLabelLevel1->setPixmap(yellow);
        m_ctx.ui.m_pLabelLevel2->setPixmap(yellow);
        m_ctx.ui.m_pLabelLevel->setText(tr("Medium"));
        break;
    }
    default: {
        const QPixmap green(QStringLiteral(":/images/ButtonIcon/green.png"));
        m_ctx.ui.m_pLabelLevel1->setPixmap(green);
        m_ctx.ui.m_pLabelLevel2->setPixmap(green);
        m_ctx.ui.m_pLabelLevel3->setPixmap(green);
        m_ctx.ui.m_pLabelLevel->setText(tr("Strong"));
        break;
    }
    }
}

// The checks of a new password, in order: not empty, the confirmation
// equal, only characters that reach the device unchanged, and a rating
// shown (the field's own hint otherwise).
bool CZeltPasswordSection::CheckNewPasswordFields()
{
    const QString pwd = m_ctx.ui.edtNewPassword->text();
    if (pwd.isEmpty()) {
        m_ctx.ShowFieldTip(m_ctx.ui.edtNewPassword, tr("The password can not be empty."));
        return false;
    }
    if (pwd != m_ctx.ui.edtConfirmPassword->text()) {
        m_ctx.ShowFieldTip(m_ctx.ui.edtNewPassword, tr("The password you typed do not match."));
        return false;
    }
    if (!ZeltNet::IsPrintableAscii(pwd)) {
        m_ctx.ShowFieldTip(m_ctx.ui.edtNewPassword, tr("The password may only contain printable ASCII characters."));
        return false;
    }
    if (m_ctx.ui.m_pLabelLevel->text().isEmpty()) {
        m_ctx.ShowFieldTip(m_ctx.ui.edtNewPassword, m_ctx.ui.edtNewPassword->toolTip());
        return false;
    }
    return true;
}

void CZeltPasswordSection::ActOnDefaultPassword()
{
    if (m_bActivationMode)
        ActivateSelected();
    else
        ResetPassword();
}

void CZeltPasswordSection::ActivateSelected()
{
    if (m_ctx.runner.IsRunning())
        return;
    CTableView *table = m_ctx.ui.tableWidgetDevice;
    if (!table->currentIndex().isValid()) {
        m_ctx.ShowMessage(tr("Information"), tr("Please select a device."));
        return;
    }
    if (m_ctx.ui.edtNewPassword->isVisibleTo(m_ctx.pPanel) && !CheckNewPasswordFields())
        return;

    const QByteArray password = m_ctx.ui.edtNewPassword->text().toLatin1();
    struct Target {
        QPersistentModelIndex row;
        QString serial, mac;
    };
    QList<Target> targets;
    QList<CZeltBatchRunner::Job> jobs;
    CZeltConsent consent;
    bool noCurrent = false;
    {
        CZeltDeviceStore::Locker lock(m_ctx.store);
        const QModelIndexList rows = table->selectionModel()->selectedRows(0);
        noCurrent = !table->currentIndex().isValid();
        for (const QModelIndex &index : rows) {
            const int row = index.row();
            const int rec = m_ctx.RecordOfRow(row);
            if (rec < 0)
                continue;
            const ZELT_DEVICE_INFO_MY &d = m_ctx.store.At(rec);
            if (d.byActivated == 0)
                continue;
            const QString id = m_ctx.IdOfRow(row);
            const QByteArray serial = ZeltRecords::bytes(d.szSerialNO);
            targets.append({index, ZeltRecords::text(d.szSerialNO), ZeltRecords::text(d.szMAC)});
            jobs.append({id, CZeltPanelContext::DeviceLabel(id, d),
                         ZeltTrust::GuardedWork(consent.Add(id, d), d,
                                                [serial, password] {
                                                    qCDebug(lcZeltPassword) << "activate" << serial;
                                                    return ZeltSdkWrapper::Activate(serial, password);
                                                }),
                         ZeltRecords::bytes(d.szMAC), ZeltRecords::text(d.szIPv4Address)});
        }
    }
    if (noCurrent) {
        m_ctx.ShowMessage(tr("Information"), tr("Please select a device."));
        return;
    }
    if (jobs.isEmpty()) {
        m_ctx.ShowMessage(tr("Information"), tr("No activate device."));
        return;
    }
    if (!consent.Settle(m_ctx.pPanel, tr("Send the new password anyway?"), jobs, targets))
        return;

    const QList<CZeltBatchRunner::Outcome> outcomes = m_ctx.runner.Run(
        tr("Activate device"), jobs, [&](int i, bool ok) {
            if (!ok)
                return;
            CZeltDeviceStore::Locker lock(m_ctx.store);
            const Target &t = targets.at(i);
            if (t.row.isValid())
                m_ctx.model.SetActivated(t.row.row());
            const int rec = m_ctx.store.IndexOf(t.serial, t.mac);
            if (rec >= 0)
                m_ctx.store.Modify(rec, [](ZELT_DEVICE_INFO_MY &d) { d.byActivated = 0; });
        });
    QString okText, failText;
    QList<QString> ids;
    bool any = false;
    for (int i = 0; i < jobs.size(); ++i) {
        ids.append(jobs.at(i).strId);
        const QString &id = jobs.at(i).strId;
        if (outcomes.at(i) == CZeltBatchRunner::Outcome::Succeeded)
            okText += okText.isEmpty() ? tr("The device is activated.") + tr("ID:%1").arg(id) : id;
        else if (outcomes.at(i) == CZeltBatchRunner::Outcome::Failed)
            failText += failText.isEmpty() ? tr("Operation failed.") + tr("ID:%1").arg(id) : id;
        any = any || outcomes.at(i) != CZeltBatchRunner::Outcome::NotRun;
    }
    if (!any && m_ctx.runner.WasCancelled())
        return;
    if (okText.isEmpty() && failText.isEmpty())
        m_ctx.ShowMessage(tr("Information"), tr("No activate device."));
    else
        m_ctx.ShowMessage(tr("Information"), okText + failText + m_ctx.FailureReasons(ids));
    m_ctx.OfferNewCertificates(jobs);
}

void CZeltPasswordSection::ShowResetResult(bool bOk, bool bNewPassword)
{
    if (bOk) {
        m_ctx.ShowMessage(tr("Information"),
                          bNewPassword ? tr("Reset password succeed.") : tr("Restore default password succeed."));
        return;
    }
    const QString reason = ZeltTrust::FailureReason(m_ctx.runner.ErrorOf(0));
    const QString why = reason.isEmpty() ? QString() : QLatin1Char('\n') + reason;
    if (bNewPassword)
        m_ctx.ShowMessage(tr("Information"), tr("Reset password failed.") + why);
    else
        m_ctx.ShowMessage(tr("Error"), tr("Restore default password failed!") + why);
    m_ctx.OfferNewCertificates(m_lastJobs);
}

bool CZeltPasswordSection::ShownDevice(ZELT_DEVICE_INFO_MY &d, QString &strId) const
{
    if (!m_ctx.shownRow.isValid())
        return false;
    CZeltDeviceStore::Locker lock(m_ctx.store);
    const int rec = m_ctx.RecordOfRow(m_ctx.shownRow.row());
    if (rec < 0)
        return false;
    d = m_ctx.store.At(rec);
    strId = m_ctx.IdOfRow(m_ctx.shownRow.row());
    return true;
}

std::optional<bool> CZeltPasswordSection::RunForShownDevice(const QString &strTitle, const QString &strQuestion,
                                                            const QString &strSerial, std::function<bool()> command)
{
    ZELT_DEVICE_INFO_MY d;
    QString id;
    if (!ShownDevice(d, id)) {
        m_ctx.ShowMessage(tr("Information"), tr("Please select a device."));
        return std::nullopt;
    }
    CZeltConsent consent;
    QList<CZeltBatchRunner::Job> jobs{{id, strSerial, ZeltTrust::GuardedWork(consent.Add(id, d), d, std::move(command)),
                                       ZeltRecords::bytes(d.szMAC), ZeltRecords::text(d.szIPv4Address)}};
    if (!consent.Settle(m_ctx.pPanel, strQuestion, jobs))
        return std::nullopt;
    m_lastJobs = jobs;
    return RunSingle(strTitle, jobs.first());
}

// One command for the device of the panel, off the GUI thread; the dialog
// appears only when it takes long.
bool CZeltPasswordSection::RunSingle(const QString &strTitle, const CZeltBatchRunner::Job &job)
{
    const QList<CZeltBatchRunner::Outcome> outcome = m_ctx.runner.Run(strTitle, {job});
    return outcome.value(0) == CZeltBatchRunner::Outcome::Succeeded;
}

void CZeltPasswordSection::ResetPassword()
{
    if (m_ctx.runner.IsRunning())
        return;
    if (!m_ctx.ui.tableWidgetDevice->currentIndex().isValid()) {
        m_ctx.ShowMessage(tr("Information"), tr("Please select a device."));
        return;
    }
    const bool newPassword = m_ctx.ui.edtNewPassword->isVisibleTo(m_ctx.pPanel);
    if (newPassword && !CheckNewPasswordFields())
        return;
    // A device reset through key files shows no security-code field: a tip
    // at a hidden field would never be seen, so point at the import instead.
    if (!m_ctx.ui.m_pDefaultPwdLEdit->isVisibleTo(m_ctx.pPanel)) {
        m_ctx.ShowFieldTip(m_ctx.ui.btnImport->isVisibleTo(m_ctx.pPanel)
                               ? static_cast<QWidget *>(m_ctx.ui.btnImport)
                               : static_cast<QWidget *>(m_ctx.ui.pushButtonModifyPassword),
                           tr("Please import a device key file to reset the password."));
        return;
    }
    const QString code = m_ctx.ui.m_pDefaultPwdLEdit->text();
    if (code.isEmpty()) {
        m_ctx.ShowFieldTip(m_ctx.ui.m_pDefaultPwdLEdit, tr("Password cannot be empty."));
        return;
    }
    if (!ZeltNet::IsPrintableAscii(code)) {
        m_ctx.ShowFieldTip(m_ctx.ui.m_pDefaultPwdLEdit,
                           tr("The security code may only contain printable ASCII characters."));
        return;
    }

    std::optional<bool> ok;
    if (!newPassword) {
        const QByteArray serial = m_ctx.ui.lineEditSerial->text().toLatin1();
        const QByteArray securityCode = code.toLatin1();
        ok = RunForShownDevice(tr("Reset Default Password"), tr("Send the security code anyway?"),
                               m_ctx.ui.lineEditSerial->text(),
                               [serial, securityCode] { return ZeltSdkWrapper::ResetDefault(serial, securityCode); });
    } else {
        ZELT_RESET_PARAM request;
        std::memset(&request, 0, sizeof request);
        ZeltRecords::putText(request.szSecurityCode, code.toLatin1());
        ZeltRecords::putText(request.szNewPassword, m_ctx.ui.edtNewPassword->text().toLatin1(),
                             ZeltRecords::FieldEnd::Full);
        const QByteArray serial = m_ctx.ui.lineEditSerial->text().trimmed().toLatin1();
        ok = RunForShownDevice(tr("Reset Password"), tr("Send the security code and the new password anyway?"),
                               m_ctx.ui.lineEditSerial->text(),
                               [serial, request] { return ZeltSdkWrapper::Reset(serial, request); });
    }
    if (ok)
        ShowResetResult(*ok, newPassword);
}

void CZeltPasswordSection::ExportKey()
{
    if (m_ctx.runner.IsRunning())
        return;
    CTableView *table = m_ctx.ui.tableWidgetDevice;
    const QModelIndex current = table->currentIndex();
    if (!current.isValid()) {
        m_ctx.ShowMessage(tr("Information"), tr("Please select a device."));
        return;
    }
    const QString folder = m_ctx.ui.combExportFile->currentText();
    if (folder.isEmpty()) {
        m_ctx.ShowFieldTip(m_ctx.ui.combExportFile, tr("File path cannot be empty."));
        return;
    }
    // A link in the file's place would send the key wherever it points.
    const QString keyPath = folder + QStringLiteral("DeviceKey.xml");
    if (QFileInfo(keyPath).isSymLink()) {
        m_ctx.ShowMessage(tr("Information"), LinkRefusal());
        return;
    }
    QByteArray serial, mac;
    QString address;
    {
        // The device list changes on the hub's thread: read it locked.
        CZeltDeviceStore::Locker lock(m_ctx.store);
        const int rec = m_ctx.RecordOfRow(current.row());
        if (rec >= 0) {
            const ZELT_DEVICE_INFO_MY &d = m_ctx.store.At(rec);
            serial = ZeltRecords::bytes(d.szSerialNO);
            mac = ZeltRecords::bytes(d.szMAC);
            address = ZeltRecords::text(d.szIPv4Address);
        }
    }
    if (serial.isNull()) {
        m_ctx.ShowMessage(tr("Error"), tr("Row error!"));
        return;
    }
    // Written by the worker, read here once it has ended. The request
    // carries no secret: no consent is asked.
    auto key = std::make_shared<QByteArray>();
    const CZeltBatchRunner::Job job{m_ctx.IdOfRow(current.row()), QString::fromLatin1(serial),
                                    [serial, key] { return ZeltSdkWrapper::GetDeviceKey(serial, key.get()); }, mac,
                                    address};
    if (!RunSingle(tr("Export"), job)) {
        const QString reason = ZeltTrust::FailureReason(m_ctx.runner.ErrorOf(0));
        m_ctx.ShowMessage(tr("Information"),
                          tr("Get key error.") + (reason.isEmpty() ? QString() : QLatin1Char('\n') + reason));
        m_ctx.OfferNewCertificates({job});
        return;
    }
    if (QFileInfo(keyPath).isSymLink()) {
        m_ctx.ShowMessage(tr("Information"), LinkRefusal());
        return;
    }
    if (!WriteKeyFile(keyPath, *key)) {
        m_ctx.ShowMessage(tr("Information"), tr("Create device key file error."));
        return;
    }
    m_ctx.ShowMessage(tr("Information"), tr("Exported."));
}

void CZeltPasswordSection::ImportKey()
{
    if (m_ctx.runner.IsRunning())
        return;
    const QString path = m_ctx.ui.combImportFile->currentText();
    if (path.isEmpty()) {
        m_ctx.ShowFieldTip(m_ctx.ui.combImportFile, tr("File path cannot be empty."));
        return;
    }
    const bool newPassword = m_ctx.ui.edtNewPassword->isVisibleTo(m_ctx.pPanel);
    if (newPassword && !CheckNewPasswordFields())
        return;
    // The path is handed over in a fixed slot; a shortened path would name
    // another file.
    const QByteArray localPath = path.toLocal8Bit();
    if (localPath.size() > kMaxKeyPathBytes) {
        m_ctx.ShowMessage(tr("Information"), tr("The key file path is too long."));
        return;
    }
    ZELT_RESET_PARAM request;
    std::memset(&request, 0, sizeof request);
    ZeltRecords::putText(request.szKeyFilePath, localPath);
    if (newPassword)
        ZeltRecords::putText(request.szNewPassword, m_ctx.ui.edtNewPassword->text().toLatin1(),
                             ZeltRecords::FieldEnd::Full);
    const QByteArray serial = m_ctx.ui.lineEditSerial->text().trimmed().toLatin1();
    // The key file authorises the reset: it is a secret of its own.
    const std::optional<bool> ok = RunForShownDevice(
        newPassword ? tr("Reset Password") : tr("Reset Default Password"),
        newPassword ? tr("Send the key file and the new password anyway?") : tr("Send the key file anyway?"),
        m_ctx.ui.lineEditSerial->text(), [serial, request] { return ZeltSdkWrapper::Reset(serial, request); });
    if (ok)
        ShowResetResult(*ok, newPassword);
}
