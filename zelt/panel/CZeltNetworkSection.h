#pragma once
// The network section of the settings column: the address fields of one
// device or a run of devices, the batch DHCP change, and the device
// commands behind them. It holds its mode and what the shown devices allow,
// and renders its widgets from them in one place.

#include <QCoreApplication>
#include <QObject>

#include "CZeltDeviceController.h"
#include "DeviceKey.h"
#include "ToolServices.h"
#include "ZeltFieldError.h"
#include "ZeltModes.h"
#include "ZeltNetworkRequest.h"
#include "ZeltSelection.h"

class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class CPasswordLineEdit;
class CPushButton;

class CZeltNetworkSection : public QObject
{
    // Texts are the panel's.
    Q_DECLARE_TR_FUNCTIONS(QtZelt)

public:
    // The widgets the section owns.
    struct Widgets {
        QLabel *title, *addressLabel, *serialLabel;
        QFrame *serialFrame, *ipv6Frame;
        QLineEdit *serial, *ipv4, *mask, *port, *gateway, *httpPort, *ipv6, *ipv6Gateway, *ipv6Prefix;
        CPasswordLineEdit *password;
        QCheckBox *dhcp;
        CPushButton *modify;
        QWidget *batch;
        QCheckBox *batchDhcp;
        CPasswordLineEdit *batchPassword;
        CPushButton *batchModify;
    };

    // pPanel: the parent of its messages and the context of its summaries.
    CZeltNetworkSection(const Widgets &w, CZeltDeviceController &devices, TBX_ModifyNetParamFunc pModify,
                        QWidget *pPanel);

    ZeltModes::Network Mode() const { return m_eMode; }
    // The device shown in single mode.
    const DeviceKey &ShownDevice() const { return m_shown; }

    // The panel completed its start: the batch group is for runs only.
    void CompleteStart();
    // Texts set again after a language change.
    void Retranslate();

    // The selection changed: nothing (fields emptied and off), one device
    // (its values), or several (the run's fields, as far as its devices
    // allow).
    void ShowNothing();
    void ShowDevice(const ZELT_DEVICE_INFO_MY &d);
    void ShowRun(const QList<CZeltDeviceController::Target> &targets);
    // A DHCP box changed: the fields follow.
    void Render();

    // "Modify": the address change of the shown device, or of the run.
    void Modify(const ZeltSelection &selection);
    // The batch group's "Modify": DHCP on or off for the selected devices.
    void ModifyDhcp(const ZeltSelection &selection);

private:
    // What the devices of a run allow: an address change if any type is
    // changeable, a gateway if any gives extended information; and whether
    // one uses DHCP, of the devices examined before the first that settles
    // both.
    struct RunAllows {
        bool editableType = false;
        bool extended = false;
        bool dhcp = false;
    };
    // What the shown device allows (single mode).
    struct DeviceAllows {
        bool locked = false;
        bool gateway = false;  // it gives extended information
        bool ipv6 = false;     // IPv6 settings may be changed
        bool httpPort = false; // it has an HTTP port
    };

    ZeltNetworkRequest::Fields ReadFields() const;
    QWidget *FieldWidget(ZeltFieldError::Field field) const;
    void ShowMessage(const QString &strText) const;

    Widgets m_w;
    CZeltDeviceController &m_devices;
    TBX_ModifyNetParamFunc m_pModify;
    QWidget *m_pPanel;
    ZeltModes::Network m_eMode = ZeltModes::Network::Off;
    // The fields laid out: those of the last device or run shown (Off: the
    // form's own, before any); with nothing selected they stay, emptied
    // and off.
    ZeltModes::Network m_eLayout = ZeltModes::Network::Off;
    bool m_bStarted = false;
    DeviceKey m_shown;
    DeviceAllows m_device;
    RunAllows m_run;
};
