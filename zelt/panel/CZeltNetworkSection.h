#pragma once
// The network section of the device panel: the address fields of one device
// or a run of devices, the batch DHCP change, their checks, and the device
// commands behind them.

#include <QCoreApplication>
#include <QModelIndexList>
#include <QString>

#include "ToolServices.h"
#include "ZeltDeviceRecords.h"

struct CZeltPanelContext;
class QWidget;

class CZeltNetworkSection
{
    // Texts are the panel's.
    Q_DECLARE_TR_FUNCTIONS(QtZelt)

public:
    CZeltNetworkSection(CZeltPanelContext &ctx, TBX_ModifyNetParamFunc pModify);

    // Limits, validators and hints of the fields.
    void SetUpFields();
    // Texts set again after a language change: hints and the labels that
    // follow the selection.
    void Retranslate();

    // The editing panel switched on or off (off also empties the fields).
    void SetEnabled(bool bOn);
    // One device: serial number and DHCP shown, the batch group hidden.
    void SetSingleMode();
    // Several devices: the run's start address, the batch group.
    void SetMultiMode(const QModelIndexList &rows);
    // The fields from one device's record (single mode).
    void Fill(const ZELT_DEVICE_INFO_MY &d);

    // "Modify": the address change of the selected devices.
    void ModifySelected();
    // The batch group's "Modify": DHCP on or off for the selected devices.
    void ModifyDhcpOfSelected();
    void OnDhcpChanged(int state);
    void OnBatchDhcpChanged(int state);

private:
    void ApplyModeTexts();

    // What the devices of a run allow: an address change if any type is
    // changeable, a gateway if any gives extended information; and whether
    // one uses DHCP, of the devices examined before the first that settles
    // both. The caller holds the store's lock.
    struct RunAllows {
        bool editableType = false;
        bool extended = false;
        bool dhcp = false;
    };
    RunAllows ExamineRunLocked(const QModelIndexList &rows) const;
    // The run's address fields opened as far as its devices allow.
    void EnableRunFields(const RunAllows &allows);

    CZeltPanelContext &m_ctx;
    TBX_ModifyNetParamFunc m_pModify;
    bool m_bBatchLabels = false;
};
