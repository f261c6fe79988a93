#pragma once
// The device panel: the table of found devices and the settings column.
// The widget routes: device events to its device controller (which owns
// the records, the table model and the command runner), the selection to
// the network and password sections (which hold their modes), and the
// form's buttons to the sections' actions.

#include <QByteArray>
#include <QList>
#include <QModelIndex>
#include <QPersistentModelIndex>
#include <QString>
#include <QWidget>

#include <memory>

#include "ToolServices.h"
#include "ZeltDeviceRecords.h"
#include "ZeltModes.h"
#include "ZeltSelection.h"

class QtZeltItemModel;
class Ui_QtZeltClass;
class CZeltBatchRunner;
class CZeltDeviceController;
class CZeltNetworkSection;
class CZeltPasswordSection;
class DeviceKey;

// Event intake with the hub's callback shape; the context is ignored.
void OnDeviceEvent(const ZELT_DEVICE_EVENT *pEvent, int iContext);

class QtZelt : public QWidget
{
    Q_OBJECT
    // What the sections show (set when the selection changes).
    Q_PROPERTY(ZeltModes::Network networkMode READ NetworkMode)
    Q_PROPERTY(ZeltModes::Password passwordMode READ PasswordMode)

public:
    QtZelt(QWidget *parent, TBX_ModifyNetParamFunc pModify, TBX_ResetPasswordFunc pReset, TBX_RefreshFunc pRefresh);
    ~QtZelt() override;

    // Whether the panel completed its start (the packet-capture runtime
    // was found).
    bool IsStarted() const { return m_bStarted; }

    // Intake of one event, on any thread; also reached through OnDeviceEvent.
    void HandleEvent(const ZELT_DEVICE_EVENT &event);

    // Copy of the device list (taken under the panel lock).
    QList<ZELT_DEVICE_INFO_MY> DeviceList();

    QtZeltItemModel *Model() const;
    // Runs the panel's device commands (one action at a time).
    CZeltBatchRunner *Runner() const;
    // An action's commands or its summary are not over yet.
    bool IsBusy() const;
    ZeltModes::Network NetworkMode() const;
    ZeltModes::Password PasswordMode() const;

signals:
    // Emitted on the intake's thread, under the panel lock.
    void DeviceOnlineSignal(ZELT_DEVICE_INFO_MY info);
    void DeviceOfflineSignal(QString serial, QString mac);
    void DeviceUpdateSignal(ZELT_DEVICE_INFO_MY info);

public slots:
    void OnDeviceTableClicked(const QModelIndex &index);
    void OnManualUpdate();
    // "Add by address or range": the ranges searched beyond the segment.
    void OnAddRange();
    // "Synchronize time" for the selected devices.
    void OnSyncTime();
    void OnDeviceOnline(const ZELT_DEVICE_INFO_MY &info);
    void OnDeviceOffline(const QString &serial, const QString &mac);
    void OnDeviceUpdate(const ZELT_DEVICE_INFO_MY &info);
    void SortTable(int column);
    void OnHeaderCountChanged(int logical, int oldVisual, int newVisual);
    void OnHeaderPress(int section);
    void OnClickAction(const QModelIndex &index);
    void ResetData(const QModelIndex &topLeft, const QModelIndex &bottomRight);
    void OnClickExpandBtn();
    void OnClickShrinkBtn();

    // Network parameters (CZeltNetworkSection).
    void OnModifyNetPara();
    void batchEnableDHCP();
    void OnDchpChanged(int state);
    void OnBatchDchpChanged(int state);
    // Activation, password reset and key files (CZeltPasswordSection).
    void OnDefaultPassword();
    void OnNewPasswordTextChanged(const QString &strText);
    void OnExport();
    void OnImport();
    // Excel export.
    void saveExcel();

protected:
    void changeEvent(QEvent *e) override;

private:
    void CompleteStart();
    void MakeConnections();
    ZeltSelection Selection() const;
    // The sections follow the selection, however it changed (mouse, keys,
    // rows gone): no row, one row (single mode, that device's values),
    // several (run mode). bForce: set the sections up again even where the
    // mode and the shown device stay.
    void FollowSelection(bool bForce);
    // After rows moved or went: once, when the events have settled.
    void FollowSelectionLater();
    void ShowRow(const QModelIndex &row);
    void OnRowUpdated(const DeviceKey &key);

    // The form, built from QtZelt.ui.
    std::unique_ptr<Ui_QtZeltClass> m_pUi;
    TBX_RefreshFunc m_pRefresh;
    // Destroyed first, once no hub thread can be inside the intake.
    CZeltDeviceController *m_pDevices;
    CZeltNetworkSection *m_pNetwork = nullptr;
    CZeltPasswordSection *m_pPassword = nullptr;

    QByteArray m_headerState;
    QString m_strRememberedSerial;
    QPersistentModelIndex m_rememberedSerialCell;
    bool m_bFollowQueued = false;
    bool m_bStarted = false;
};
