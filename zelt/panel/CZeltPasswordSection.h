#pragma once
// The password section of the settings column: the strength of a new
// password, activation, restoring or resetting a password, and the device
// key files. Its mode follows the shown device; the widgets are rendered
// from it in one place.

#include <QCoreApplication>
#include <QObject>

#include <functional>

#include "CZeltDeviceController.h"
#include "DeviceKey.h"
#include "ZeltFieldError.h"
#include "ZeltModes.h"
#include "ZeltSelection.h"

class QLabel;
class QLineEdit;
class QPushButton;
class CPathComboBox;
class CPushButton;
class CZeltDeviceAction;
class CZeltRunSummary;

class CZeltPasswordSection : public QObject
{
    // Texts are the panel's.
    Q_DECLARE_TR_FUNCTIONS(QtZelt)

public:
    // The widgets the section owns.
    struct Widgets {
        QLabel *title, *codeLabel;
        QLineEdit *code;
        QLabel *newLabel;
        QLineEdit *newPassword;
        QLabel *strength, *lamp1, *lamp2, *lamp3, *confirmLabel;
        QLineEdit *confirmation;
        CPushButton *action;
        CPathComboBox *exportPath;
        QPushButton *exportButton;
        CPathComboBox *importPath;
        QPushButton *importButton;
    };

    // pPanel: the parent of its messages and the context of its summaries.
    CZeltPasswordSection(const Widgets &w, CZeltDeviceController &devices, QWidget *pPanel);

    ZeltModes::Password Mode() const { return m_eMode; }

    // The panel completed its start: key-file controls only where a device
    // uses them, the new password's hint and limits.
    void CompleteStart();
    // Texts set again after a language change.
    void Retranslate();

    // The selection changed: nothing (fields emptied and off), one device
    // (the mode its record asks for), or several (activation).
    void ShowNothing();
    void ShowDevice(const ZELT_DEVICE_INFO_MY &d);
    void ShowRun();

    // The strength word and lamps for the new password's text.
    void ShowStrength(const QString &strText);
    // The action button: activation in activation mode, else a restore.
    void Act(const ZeltSelection &selection);
    void ExportKey(const ZeltSelection &selection);
    void ImportKey();

private:
    void Render();
    void Activate(const ZeltSelection &selection);
    void Restore(const ZeltSelection &selection);
    // One command to the shown device after the consent question its
    // identity needs (strQuestion); bNewPassword: what the result tells.
    void RunForShownDevice(const QString &strTitle, const QString &strQuestion, bool bNewPassword,
                           std::function<bool(const QByteArray &serial)> command);
    void ShowResetResult(const CZeltRunSummary &summary, bool bNewPassword) const;
    bool NewPasswordShown() const;
    void ShowMessage(const QString &strTitle, const QString &strText) const;

    Widgets m_w;
    CZeltDeviceController &m_devices;
    QWidget *m_pPanel;
    ZeltModes::Password m_eMode = ZeltModes::Password::Off;
    // The controls laid out: those of the last device or run shown (Off:
    // the form's own, before any); with nothing selected they stay,
    // emptied and off.
    ZeltModes::Password m_eLayout = ZeltModes::Password::Off;
    bool m_bStarted = false;
    bool m_bLocked = false; // the shown device's type is never changed
    DeviceKey m_shown;
};
