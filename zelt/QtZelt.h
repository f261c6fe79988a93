#pragma once
// The device panel: the table of found devices and the settings column.
// Device events enter through OnDeviceEvent on the hub's thread and reach
// the table as queued signals on the GUI thread.

#include <QByteArray>
#include <QList>
#include <QModelIndex>
#include <QPair>
#include <QPersistentModelIndex>
#include <QString>
#include <QWidget>

#include <functional>

#include "QtZeltForm.h"
#include "ZeltBatchRunner.h"
#include "ToolServices.h"
#include "ZeltDeviceRecords.h"

struct Vela_Mutex;
class QtZeltItemModel;
class QStandardItem;
class QTimer;

// Event intake with the hub's callback shape; the context is ignored.
void OnDeviceEvent(const ZELT_DEVICE_EVENT *pEvent, int iContext);

class QtZelt : public QWidget
{
    Q_OBJECT
public:
    QtZelt(QWidget *parent, TBX_ModifyNetParamFunc pModify, TBX_ResetPasswordFunc pReset,
           TBX_RefreshFunc pRefresh);
    ~QtZelt() override;

    // The one panel of the process (null before it is built).
    static QtZelt *Instance();

    // Whether the panel completed its start (the packet-capture runtime
    // was found).
    bool IsStarted() const { return m_bStarted; }

    // Re-entrant panel lock guarding the device list and every table change.
    void Lock();
    void Unlock();

    // Intake of one event; also reached through OnDeviceEvent.
    void HandleEvent(const ZELT_DEVICE_EVENT &event);

    // Copy of the device list (taken under the panel lock).
    QList<ZELT_DEVICE_INFO_MY> DeviceList();

    QtZeltItemModel *Model() const { return m_pModel; }
    // Runs the panel's device commands (one action at a time).
    CZeltBatchRunner *Runner() const { return m_pRunner; }
    int DebugCounter() const { return m_iDebugCounter; }

    // Applies offline events that wait to be removed from the table.
    void FlushOfflineEvents();
    // Adds the rows of online events that wait to be shown.
    void FlushOnlineEvents();

    Ui_QtZeltClass ui;

signals:
    void DeviceOnlineSignal(ZELT_DEVICE_INFO_MY info);
    void DeviceOfflineSignal(QString serial, QString mac);
    void DeviceUpdateSignal(ZELT_DEVICE_INFO_MY info);

public slots:
    void OnDeviceTableClicked(const QModelIndex &index);
    void OnManualUpdate();
    void OnItemChanged(const QModelIndex &current, const QModelIndex &previous);
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

    // Network parameters (QtZeltNetwork.cpp).
    void OnModifyNetPara();
    void batchEnableDHCP();
    void OnDchpChanged(int state);
    void OnBatchDchpChanged(int state);
    // Activation, password reset and key files (QtZeltPassword.cpp).
    void OnDefaultPassword();
    void OnNewPasswordTextChanged(const QString &strText);
    void OnExport();
    void OnImport();
    // Excel export (ExcelExport.cpp).
    void saveExcel();

protected:
    void changeEvent(QEvent *e) override;

private:
    // Holds the panel lock for one action, released on every path.
    struct PanelLocker {
        explicit PanelLocker(QtZelt *p)
            : m_p(p)
        {
            m_p->Lock();
        }
        ~PanelLocker() { m_p->Unlock(); }
        PanelLocker(const PanelLocker &) = delete;
        PanelLocker &operator=(const PanelLocker &) = delete;
        QtZelt *m_p;
    };

    void SetUpFields();
    void CompleteStart();
    void MakeConnections();
    void FillRow(QStandardItem *const items[], int row, const ZELT_DEVICE_INFO_MY &d);
    void FillPanel(int row);
    void SetEditingEnabled(bool bOn);
    void SetNetworkControlsEnabled(bool bOn);
    void SetSingleMode();
    void SetMultiMode(const QModelIndexList &rows);
    void UpdatePasswordSection(const ZELT_DEVICE_INFO_MY &d);
    void ApplyModeTexts();
    void ShowCount();
    int FindRecord(const QString &serial, const QString &mac, int limit) const;
    static bool IsLockedType(uint32_t code) { return code >= 0x9D00 && code <= 0x9FFF; }

    // Field errors: the message as a tool tip at the field's top-left
    // corner; the field gets the focus.
    void ShowFieldTip(QWidget *field, const QString &strText);
    int FindRowRecord(int row) const;
    bool CheckNewPasswordFields();
    void ActivateSelected();
    void ResetPassword();
    void ShowResetResult(bool bOk, bool bNewPassword);
    bool RunSingle(const QString &strTitle, const QString &strSerial, std::function<bool()> work);
    static QString DeviceLabel(const QString &strId, const ZELT_DEVICE_INFO_MY &d);
    void SetAddressCell(int row, int column, const QString &strText);
    void ShowSummary(const QList<CZeltBatchRunner::Job> &jobs, const QList<CZeltBatchRunner::Outcome> &outcomes,
                     const QString &strOk, const QString &strFailed);

    TBX_ModifyNetParamFunc m_pModify;
    TBX_ResetPasswordFunc m_pReset;
    TBX_RefreshFunc m_pRefresh;

    Vela_Mutex *m_pLock = nullptr;
    QList<ZELT_DEVICE_INFO_MY> m_deviceList;
    QtZeltItemModel *m_pModel = nullptr;
    CZeltBatchRunner *m_pRunner = nullptr;

    QByteArray m_headerState;
    QString m_strRememberedSerial;
    QPersistentModelIndex m_singleSelection;
    QPersistentModelIndex m_rememberedSerialCell;
    QString m_strPanelMac;
    int m_iDebugCounter = 0;
    bool m_bStarted = false;
    bool m_bActivationMode = false;
    // What the selection-dependent labels say: the batch labels of several
    // rows, and the password section's title.
    bool m_bBatchLabels = false;
    enum class PasswordTitle { RestoreDefault, Activate, ResetPassword };
    PasswordTitle m_ePasswordTitle = PasswordTitle::RestoreDefault;

    // Offline events wait here until one pass removes them all and
    // renumbers the table once.
    QList<QPair<QString, QString>> m_pendingOffline;
    bool m_bFlushQueued = false;

    // On a large table, online events from the hub's thread are shown in
    // batches: every pass of the view's layout walks the whole table, so
    // one pass per event would cost O(n) each. At most one of the two
    // pending lists is non-empty at a time, which keeps arrival order.
    QList<ZELT_DEVICE_INFO_MY> m_pendingOnline;
    QTimer *m_pOnlineTimer = nullptr;
    QTimer *m_pOfflineTimer = nullptr;
    bool m_bDirectIntake = false; // the intake runs on the GUI thread (replay)
};
