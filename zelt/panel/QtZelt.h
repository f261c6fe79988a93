#pragma once
// The device panel: the table of found devices and the settings column.
// The widget holds the slots and wires its parts together: the device store
// (list, lock, intake from the hub's thread), the table model and its feed,
// the network and password sections, and the batch runner that carries out
// their device commands.

#include <QByteArray>
#include <QList>
#include <QModelIndex>
#include <QPersistentModelIndex>
#include <QString>
#include <QWidget>

#include <memory>

#include "ToolServices.h"
#include "ZeltDeviceRecords.h"

class QtZeltItemModel;
class Ui_QtZeltClass;
class CZeltBatchRunner;
class CZeltDeviceStore;
class CZeltDeviceTable;
class CZeltNetworkSection;
class CZeltPasswordSection;
struct CZeltPanelContext;

// Event intake with the hub's callback shape; the context is ignored.
void OnDeviceEvent(const ZELT_DEVICE_EVENT *pEvent, int iContext);

class QtZelt : public QWidget
{
    Q_OBJECT
public:
    QtZelt(QWidget *parent, TBX_ModifyNetParamFunc pModify, TBX_ResetPasswordFunc pReset, TBX_RefreshFunc pRefresh);
    ~QtZelt() override;

    // The one panel of the process (null before it is built).
    static QtZelt *Instance();

    // Whether the panel completed its start (the packet-capture runtime
    // was found).
    bool IsStarted() const { return m_bStarted; }

    // Intake of one event; also reached through OnDeviceEvent.
    void HandleEvent(const ZELT_DEVICE_EVENT &event);

    // Copy of the device list (taken under the panel lock).
    QList<ZELT_DEVICE_INFO_MY> DeviceList();

    QtZeltItemModel *Model() const { return m_pModel; }
    CZeltDeviceStore &Store() const { return *m_pStore; }
    // Runs the panel's device commands (one action at a time).
    CZeltBatchRunner *Runner() const { return m_pRunner; }
    int DebugCounter() const;

    // Applies the device events that wait to be shown.
    void FlushOfflineEvents();
    void FlushOnlineEvents();

signals:
    void DeviceOnlineSignal(ZELT_DEVICE_INFO_MY info);
    void DeviceOfflineSignal(QString serial, QString mac);
    void DeviceUpdateSignal(ZELT_DEVICE_INFO_MY info);

public slots:
    void OnDeviceTableClicked(const QModelIndex &index);
    void OnManualUpdate();
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
    void SetEditingEnabled(bool bOn);
    void FillPanel(int row);
    // The sections follow the selection, however it changed (mouse, keys,
    // rows gone): no row, one row (single mode, that device's values),
    // several (run mode). bForce: set the sections up again even where the
    // mode and the shown device stay.
    void FollowSelection(bool bForce);
    // After rows moved or went: once, when the events have settled.
    void FollowSelectionLater();

    // The form, built from QtZelt.ui.
    std::unique_ptr<Ui_QtZeltClass> m_pUi;

    TBX_ModifyNetParamFunc m_pModify;
    TBX_ResetPasswordFunc m_pReset;
    TBX_RefreshFunc m_pRefresh;

    // Destroyed last, once no hub thread can be inside the intake.
    std::unique_ptr<CZeltDeviceStore> m_pStore;
    QtZeltItemModel *m_pModel = nullptr;
    CZeltBatchRunner *m_pRunner = nullptr;
    CZeltDeviceTable *m_pTable = nullptr;
    std::unique_ptr<CZeltPanelContext> m_pContext;
    std::unique_ptr<CZeltNetworkSection> m_pNetwork;
    std::unique_ptr<CZeltPasswordSection> m_pPassword;

    QByteArray m_headerState;
    QString m_strRememberedSerial;
    enum class Shown { Nothing, Single, Run };
    Shown m_eShown = Shown::Nothing;
    bool m_bFollowQueued = false;
    QPersistentModelIndex m_rememberedSerialCell;
    bool m_bStarted = false;
    bool m_bDirectIntake = false; // the intake runs on the GUI thread (replay)
};
