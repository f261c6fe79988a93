#pragma once
// The password section of the device panel: the strength display of a new
// password, activation, restoring or resetting a password, and the device
// key files; the section's mode follows the picked device.

#include <QCoreApplication>
#include <QString>

#include <functional>
#include <optional>

#include "CZeltBatchRunner.h"
#include "ZeltDeviceRecords.h"

struct CZeltPanelContext;

class CZeltPasswordSection
{
    // Texts are the panel's.
    Q_DECLARE_TR_FUNCTIONS(QtZelt)

public:
    explicit CZeltPasswordSection(CZeltPanelContext &ctx);

    // Echo modes, limits and the grey lamps.
    void SetUpFields();
    // The rest once the panel completes its start: key-file controls hidden,
    // the new password's hint and limits.
    void CompleteStart();
    // Texts set again after a language change.
    void Retranslate();

    // The editing panel switched on or off (off also empties the fields).
    void SetEnabled(bool bOn);
    // The section for one device's record (single mode).
    void Fill(const ZELT_DEVICE_INFO_MY &d);
    // Several devices: activation of those that are inactive.
    void SetMultiMode();

    // The strength word and lamps for the new password's text.
    void ShowStrength(const QString &strText);
    // The action button: activation in activation mode, else a reset.
    void ActOnDefaultPassword();
    void ExportKey();
    void ImportKey();

private:
    enum class Title { RestoreDefault, Activate, ResetPassword };

    void UpdateSection(const ZELT_DEVICE_INFO_MY &d);
    void ApplyTitle();
    bool CheckNewPasswordFields();
    void ActivateSelected();
    void ResetPassword();
    void ShowResetResult(bool bOk, bool bNewPassword);
    // One command for the device of the panel, off the GUI thread.
    bool RunSingle(const QString &strTitle, const CZeltBatchRunner::Job &job);
    // The device the section shows, as the store has it now.
    bool ShownDevice(ZELT_DEVICE_INFO_MY &d, QString &strId) const;
    // The command for the shown device, after the consent question where
    // its identity needs one (strQuestion). Empty: nothing was done (no
    // device, or the user said No).
    std::optional<bool> RunForShownDevice(const QString &strTitle, const QString &strQuestion, const QString &strSerial,
                                          std::function<bool()> command);

    CZeltPanelContext &m_ctx;
    bool m_bStarted = false;
    bool m_bActivationMode = false;
    Title m_eTitle = Title::RestoreDefault;
    // The job of the last single-device command, for the question after it.
    QList<CZeltBatchRunner::Job> m_lastJobs;
};
