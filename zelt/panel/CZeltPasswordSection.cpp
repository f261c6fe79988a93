#include "CZeltPasswordSection.h"

#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QPixmap>
#include <QPushButton>

#include <cstring>
#include <memory>

#include "Buttons.h"
#include "CPathComboBox.h"
#include "CWarnDlg.h"
#include "CZeltDeviceAction.h"
#include "CZeltRunSummary.h"
#include "PasswordRating.h"
#include "ZeltKeyFile.h"
#include "ZeltNetChecks.h"
#include "ZeltWidgetGroups.h"
#include "ZeltSdkWrapper.h"
#include "zelt_sdk.h"

Q_LOGGING_CATEGORY(lcZeltPassword, "zelt.password")

namespace {
using Mode = ZeltModes::Password;
using Target = CZeltDeviceController::Target;

const char kUserName[] = "admin";
constexpr int kMaxKeyPathBytes = 259; // the request's 260-byte slot with its NUL

QPixmap Lamp(const char *colour)
{
    return QPixmap(QStringLiteral(":/images/ButtonIcon/%1.png").arg(QLatin1String(colour)));
}
} // namespace

CZeltPasswordSection::CZeltPasswordSection(const Widgets &w, CZeltDeviceController &devices, QWidget *pPanel)
    : QObject(pPanel)
    , m_w(w)
    , m_devices(devices)
    , m_pPanel(pPanel)
{
    m_w.code->setMaxLength(32);
    m_w.code->setEchoMode(QLineEdit::Password);
    for (QLabel *lamp : {m_w.lamp1, m_w.lamp2, m_w.lamp3})
        lamp->setPixmap(Lamp("grey"));
    m_w.newPassword->setEchoMode(QLineEdit::Password);
    m_w.confirmation->setEchoMode(QLineEdit::Password);
}

void CZeltPasswordSection::CompleteStart()
{
    m_bStarted = true;
    m_w.importPath->SetMode(CPathComboBox::OpenFile);
    m_w.exportPath->SetMode(CPathComboBox::Folder);
    m_w.newPassword->setMaxLength(16);
    m_w.confirmation->setMaxLength(16);
    ShowNothing();
}

void CZeltPasswordSection::Retranslate()
{
    if (m_bStarted)
        m_w.newPassword->setToolTip(
            tr("Valid password range [8-16]. You can use a combination of numbers, \nlowercase, uppercase and "
               "special character for \nyour password with at least two kinds of them contained."));
    switch (m_eLayout) {
    case Mode::Activate: m_w.title->setText(tr("Activate device")); break;
    case Mode::ResetPassword: m_w.title->setText(tr("Reset Password")); break;
    default: m_w.title->setText(tr("Reset Default Password")); break;
    }
}

// ------------------------------------------------------------ modes

void CZeltPasswordSection::ShowNothing()
{
    m_eMode = Mode::Off;
    m_bLocked = false;
    m_shown = DeviceKey();
    for (QLineEdit *e : {m_w.code, m_w.newPassword, m_w.confirmation})
        e->clear();
    m_w.exportPath->clear();
    m_w.importPath->clear();
    Render();
}

void CZeltPasswordSection::ShowDevice(const ZELT_DEVICE_INFO_MY &d)
{
    if (d.byActivated != 0)
        m_eMode = Mode::Activate;
    else if (d.bySupport & ZELT_SUPPORT_RESET_PASSWORD)
        m_eMode = Mode::ResetPassword;
    else if (d.bySupport & ZELT_SUPPORT_NEW_PASSWORD)
        m_eMode = Mode::KeyFilesOnly;
    else
        m_eMode = Mode::RestoreDefault;
    m_eLayout = m_eMode;
    m_bLocked = CZeltDeviceController::IsLockedType(d.dwDeviceType);
    m_shown = DeviceKey::Of(d);
    Render();
}

void CZeltPasswordSection::ShowRun()
{
    m_eMode = m_eLayout = Mode::Activate;
    m_bLocked = false;
    m_shown = DeviceKey();
    for (QLineEdit *e : {m_w.code, m_w.newPassword, m_w.confirmation})
        e->clear();
    Render();
}

bool CZeltPasswordSection::NewPasswordShown() const
{
    return m_eLayout == Mode::Off || m_eLayout == Mode::Activate || m_eLayout == Mode::ResetPassword;
}

// The one place the section's widgets follow its state.
void CZeltPasswordSection::Render()
{
    const bool code = m_eLayout == Mode::Off || m_eLayout == Mode::RestoreDefault;
    const bool newPassword = NewPasswordShown();
    // Before the start is complete nothing hides the key-file controls.
    const bool keyFiles = m_eLayout == Mode::ResetPassword || m_eLayout == Mode::KeyFilesOnly
                          || (m_eLayout == Mode::Off && !m_bStarted);
    m_w.codeLabel->setVisible(code);
    m_w.code->setVisible(code);
    Show({m_w.newLabel, m_w.newPassword, m_w.strength, m_w.lamp1, m_w.lamp2, m_w.lamp3, m_w.confirmLabel,
          m_w.confirmation},
         newPassword);
    m_w.action->setVisible(m_eLayout != Mode::KeyFilesOnly);
    Show({m_w.exportPath, m_w.exportButton, m_w.importPath, m_w.importButton}, keyFiles);

    const bool editable = m_eMode != Mode::Off && !m_bLocked;
    Enable({m_w.action, m_w.code, m_w.newPassword, m_w.confirmation, m_w.exportPath, m_w.exportButton, m_w.importPath,
            m_w.importButton},
           editable);
    Retranslate();
}

void CZeltPasswordSection::ShowStrength(const QString &strText)
{
    // Lamps lit: none for no text, one (red) for a weak password, two
    // (yellow) for a medium one, three (green) for a strong one.
    const int lit = strText.isEmpty() ? 0 : qMax(1, RatePassword(QByteArray(kUserName), strText.toLatin1()));
    const char *colour = lit == 1 ? "red" : lit == 2 ? "yellow" : "green";
    QLabel *const lamps[] = {m_w.lamp1, m_w.lamp2, m_w.lamp3};
    for (int i = 0; i < 3; ++i)
        lamps[i]->setPixmap(Lamp(i < lit ? colour : "grey"));
    m_w.strength->setText(lit == 0 ? QString() : lit == 1 ? tr("Weak") : lit == 2 ? tr("Medium") : tr("Strong"));
}

// ------------------------------------------------------------ commands

void CZeltPasswordSection::ShowMessage(const QString &strTitle, const QString &strText) const
{
    CWarnDlg::ShowMsg(strTitle, strText, m_pPanel);
}

void CZeltPasswordSection::Act(const ZeltSelection &selection)
{
    if (m_eMode == Mode::Activate)
        Activate(selection);
    else
        Restore(selection);
}

void CZeltPasswordSection::Activate(const ZeltSelection &selection)
{
    if (m_devices.IsBusy())
        return;
    if (!selection.current.isValid()) {
        ShowMessage(tr("Information"), tr("Please select a device."));
        return;
    }
    if (const auto error = ZeltNet::CheckNewPassword(m_w.newPassword->text(), m_w.confirmation->text())) {
        ShowFieldTip(m_w.newPassword, error->message);
        return;
    }
    const QByteArray password = m_w.newPassword->text().toLatin1();
    CZeltDeviceAction action(m_devices);
    for (const Target &t : m_devices.TargetsOf(selection.rows)) {
        if (t.record.byActivated == 0)
            continue;
        const QByteArray serial = ZeltRecords::bytes(t.record.szSerialNO);
        action.Add(t, [serial, password] {
            qCDebug(lcZeltPassword) << "activate" << serial;
            return ZeltSdkWrapper::Activate(serial, password);
        });
    }
    if (action.IsEmpty()) {
        ShowMessage(tr("Information"), tr("No activate device."));
        return;
    }
    if (!action.Settle(m_pPanel, tr("Send the new password anyway?")))
        return;
    CZeltDeviceController &devices = m_devices;
    action.Run(
        tr("Activate device"), this, [&devices](const Target &t, const QString &) { devices.MarkActivated(t.key); },
        [panel = m_pPanel](const CZeltRunSummary &summary) {
            summary.Show(panel, tr("The device is activated."), tr("Operation failed."));
        });
}

void CZeltPasswordSection::Restore(const ZeltSelection &selection)
{
    if (m_devices.IsBusy())
        return;
    if (!selection.current.isValid()) {
        ShowMessage(tr("Information"), tr("Please select a device."));
        return;
    }
    if (m_eMode == Mode::ResetPassword || m_eMode == Mode::KeyFilesOnly) {
        if (m_eMode == Mode::ResetPassword) {
            if (const auto error = ZeltNet::CheckNewPassword(m_w.newPassword->text(), m_w.confirmation->text())) {
                ShowFieldTip(m_w.newPassword, error->message);
                return;
            }
        }
        // These devices take a new password from a key file and show no
        // security-code field: point at the import.
        ShowFieldTip(m_w.importButton, tr("Please import a device key file to reset the password."));
        return;
    }
    const QString code = m_w.code->text();
    if (const auto error = ZeltNet::CheckSecurityCode(code)) {
        ShowFieldTip(m_w.code, error->message);
        return;
    }
    const QByteArray securityCode = code.toLatin1();
    RunForShownDevice(
        tr("Reset Default Password"), tr("Send the security code anyway?"), false,
        [securityCode](const QByteArray &serial) { return ZeltSdkWrapper::ResetDefault(serial, securityCode); });
}

void CZeltPasswordSection::ImportKey()
{
    if (m_devices.IsBusy())
        return;
    const QString path = m_w.importPath->currentText();
    if (path.isEmpty()) {
        ShowFieldTip(m_w.importPath, tr("File path cannot be empty."));
        return;
    }
    const bool newPassword = NewPasswordShown();
    if (newPassword) {
        if (const auto error = ZeltNet::CheckNewPassword(m_w.newPassword->text(), m_w.confirmation->text())) {
            ShowFieldTip(m_w.newPassword, error->message);
            return;
        }
    }
    // The path is handed over in a fixed slot; a shortened path would name
    // another file.
    const QByteArray localPath = path.toLocal8Bit();
    if (localPath.size() > kMaxKeyPathBytes) {
        ShowMessage(tr("Information"), tr("The key file path is too long."));
        return;
    }
    ZELT_RESET_PARAM request;
    std::memset(&request, 0, sizeof request);
    ZeltRecords::putText(request.szKeyFilePath, localPath);
    if (newPassword)
        ZeltRecords::putText(request.szNewPassword, m_w.newPassword->text().toLatin1(), ZeltRecords::FieldEnd::Full);
    // The key file authorises the reset: it is a secret of its own.
    RunForShownDevice(
        newPassword ? tr("Reset Password") : tr("Reset Default Password"),
        newPassword ? tr("Send the key file and the new password anyway?") : tr("Send the key file anyway?"),
        newPassword, [request](const QByteArray &serial) { return ZeltSdkWrapper::Reset(serial, request); });
}

void CZeltPasswordSection::RunForShownDevice(const QString &strTitle, const QString &strQuestion, bool bNewPassword,
                                             std::function<bool(const QByteArray &)> command)
{
    const std::optional<Target> shown = m_devices.TargetOf(m_shown);
    if (!shown) {
        ShowMessage(tr("Information"), tr("Please select a device."));
        return;
    }
    const QByteArray serial = ZeltRecords::bytes(shown->record.szSerialNO);
    CZeltDeviceAction action(m_devices);
    action.Add(
        *shown, [serial, command = std::move(command)] { return command(serial); }, QString(),
        QString::fromLatin1(serial));
    if (!action.Settle(m_pPanel, strQuestion))
        return;
    action.Run(strTitle, this, {},
               [this, bNewPassword](const CZeltRunSummary &summary) { ShowResetResult(summary, bNewPassword); });
}

void CZeltPasswordSection::ShowResetResult(const CZeltRunSummary &summary, bool bNewPassword) const
{
    if (summary.Succeeded(0)) {
        ShowMessage(tr("Information"),
                    bNewPassword ? tr("Reset password succeed.") : tr("Restore default password succeed."));
        return;
    }
    const QString reason = summary.Reason(0);
    const QString why = reason.isEmpty() ? QString() : QLatin1Char('\n') + reason;
    if (bNewPassword)
        ShowMessage(tr("Information"), tr("Reset password failed.") + why);
    else
        ShowMessage(tr("Error"), tr("Restore default password failed!") + why);
    summary.OfferNewCertificates(m_pPanel);
}

void CZeltPasswordSection::ExportKey(const ZeltSelection &selection)
{
    if (m_devices.IsBusy())
        return;
    if (!selection.current.isValid()) {
        ShowMessage(tr("Information"), tr("Please select a device."));
        return;
    }
    const QString folder = m_w.exportPath->currentText();
    if (folder.isEmpty()) {
        ShowFieldTip(m_w.exportPath, tr("File path cannot be empty."));
        return;
    }
    // A link in the file's place would send the key wherever it points.
    const QString keyPath = ZeltKeyFile::PathIn(folder);
    const QString linkRefusal = tr("DeviceKey.xml in this folder is a link; nothing was written.");
    if (ZeltKeyFile::IsLink(keyPath)) {
        ShowMessage(tr("Information"), linkRefusal);
        return;
    }
    const std::optional<Target> device = m_devices.TargetOf(selection.current);
    if (!device) {
        ShowMessage(tr("Error"), tr("Row error!"));
        return;
    }
    // Written by the command, read by the summary once it has ended. The
    // request carries no secret: no consent is asked.
    auto key = std::make_shared<QByteArray>();
    const QByteArray serial = ZeltRecords::bytes(device->record.szSerialNO);
    CZeltDeviceAction action(m_devices);
    action.AddUnguarded(*device, [serial, key] { return ZeltSdkWrapper::GetDeviceKey(serial, key.get()); });
    action.Run(tr("Export"), this, {}, [this, key, keyPath, linkRefusal](const CZeltRunSummary &summary) {
        if (!summary.Succeeded(0)) {
            const QString reason = summary.Reason(0);
            ShowMessage(tr("Information"),
                        tr("Get key error.") + (reason.isEmpty() ? QString() : QLatin1Char('\n') + reason));
            summary.OfferNewCertificates(m_pPanel);
        } else if (ZeltKeyFile::IsLink(keyPath)) {
            ShowMessage(tr("Information"), linkRefusal);
        } else if (!ZeltKeyFile::Write(keyPath, *key)) {
            ShowMessage(tr("Information"), tr("Create device key file error."));
        } else {
            ShowMessage(tr("Information"), tr("Exported."));
        }
    });
}
