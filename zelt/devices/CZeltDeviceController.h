#pragma once
// The panel's devices, without a widget: the records (the store), the
// table model and the feed that applies device events to both, and the
// runner of device commands. It is the only code that takes the panel lock:
// device events come in on the hub's thread (or the GUI thread during the
// shell's replay), everything else is called on the GUI thread and gets
// copies or works by DeviceKey.

#include <QList>
#include <QModelIndexList>
#include <QObject>
#include <QScopeGuard>
#include <QString>

#include <memory>
#include <optional>

#include "DeviceKey.h"
#include "ZeltDeviceRecords.h"
#include "vela.h"

class QTimer;
class CZeltBatchRunner;
class CZeltDeviceStore;
class CZeltTableFeed;
class QtZeltItemModel;

class CZeltDeviceController : public QObject
{
    Q_OBJECT
public:
    explicit CZeltDeviceController(QObject *parent = nullptr);
    ~CZeltDeviceController() override;

    // ---- Any thread.

    // One device event from the hub. Records that fail the arrival check
    // and unknown event kinds are dropped.
    void Intake(const ZELT_DEVICE_EVENT &event);
    // Whether a record passes the arrival check: at least one of the eight
    // measured text fields ends within 64 characters.
    static bool PassesArrivalCheck(const ZELT_DEVICE_EVENT &event);
    // A copy of the records in arrival order.
    QList<ZELT_DEVICE_INFO_MY> Snapshot() const;

    // Device type codes whose settings the panel never changes.
    static bool IsLockedType(uint32_t code) { return code >= 0x9D00 && code <= 0x9FFF; }

    // ---- GUI thread.

    QtZeltItemModel *Model() const { return m_pModel; }
    CZeltBatchRunner &Runner() const { return *m_pRunner; }

    // A device as an action takes it: its key, the row's ID as the
    // summaries list it ("002 ") and a copy of its record.
    struct Target {
        DeviceKey key;
        QString id;
        ZELT_DEVICE_INFO_MY record;
    };
    // The device of a row (an index of any of its columns).
    std::optional<Target> TargetOf(const QModelIndex &index) const;
    // The device's first row.
    std::optional<Target> TargetOf(const DeviceKey &key) const;
    // The devices of these rows in this order; rows without one are left out.
    QList<Target> TargetsOf(const QModelIndexList &rows) const;

    // After a device took a network change: its row and record.
    struct NetworkChange {
        QString ipv4;
        uint port = 0;
        QString mask;
        QString gateway;
    };
    void ApplyNetworkChange(const DeviceKey &key, const NetworkChange &change);
    void MarkActivated(const DeviceKey &key);
    void MarkDhcp(const DeviceKey &key, bool bOn);

    // Actions whose commands or summary are not over yet: the token is held
    // until then (a continuation keeps it among what it captured).
    std::shared_ptr<void> BeginAction();
    bool IsBusy() const;

    // Applies the device events that wait to be shown.
    void Flush();
    // After a language change: headers and translated cells.
    void Retranslate();

signals:
    // On the intake's thread, while the lock is held: whatever a receiver
    // takes from the record is ordered before any later reader that takes
    // the lock. Each with the device's key as the records hold it. The
    // controller itself does not listen: it takes the events from its inbox.
    void DeviceOnline(const ZELT_DEVICE_INFO_MY &info, const DeviceKey &key);
    void DeviceUpdated(const ZELT_DEVICE_INFO_MY &info, const DeviceKey &key);
    void DeviceOffline(const DeviceKey &key);
    // GUI thread.
    void CountChanged(int iCount);
    void RowUpdated(const DeviceKey &key);

public slots:
    // The events, applied on the GUI thread (as the inbox applies them).
    void ShowOnline(const ZELT_DEVICE_INFO_MY &info, const DeviceKey &key);
    void ShowOffline(const DeviceKey &key);
    void ShowUpdate(const ZELT_DEVICE_INFO_MY &info, const DeviceKey &key);

private:
    // The panel lock (re-entrant), held until the returned guard goes.
    [[nodiscard]] auto Hold() const
    {
        Vela_LockMutex(m_pLock);
        return qScopeGuard([lock = m_pLock] { Vela_UnlockMutex(lock); });
    }
    // The lock while offline events wait to be applied (that changes the
    // records), none otherwise: the rows and the waiting events are the GUI
    // thread's own, and a pass that only adds rows would make the intake
    // wait for all of it.
    [[nodiscard]] auto HoldForRecords() const;
    std::optional<Target> TargetOfRowLocked(int row) const;
    void ShowCount();
    void ApplyOnline(QList<ZELT_DEVICE_INFO_MY> &&infos, QList<DeviceKey> &&keys, bool bDirect);
    // Applies the events of the inbox, in arrival order.
    void Drain();

    // Events from the intake wait here, under the lock, for the GUI thread:
    // one queued call per batch instead of a queued signal (and copies of
    // its arguments) per event, and the intake holds the lock only to
    // append. An
    // online event's record is read from the store when the batch is taken,
    // so a burst the GUI thread has not caught up with costs little memory.
    struct Arrival {
        enum class Kind : quint8 { Online, Updated, Offline } kind;
        bool bDirect; // came in on the GUI thread: applied before Intake returns
        DeviceKey key;
        qint64 record; // online: the store's sequence number; updated: index into m_inboxUpdates
    };
    // Appends to the inbox and posts the batch's one Drain; the lock is held.
    void PostLocked(Arrival &&arrival);
    QList<Arrival> m_inbox;
    QList<ZELT_DEVICE_INFO_MY> m_inboxUpdates;
    bool m_bDrainPosted = false;

    Vela_Mutex *m_pLock;
    std::unique_ptr<CZeltDeviceStore> m_pStore;
    QtZeltItemModel *m_pModel;
    std::unique_ptr<CZeltTableFeed> m_pFeed;
    CZeltBatchRunner *m_pRunner;
    QTimer *m_pOnlineTimer;
    QTimer *m_pOfflineTimer;
    bool m_bOfflineQueued = false;
    int m_iShownCount = -1;
    // Copies of it are the tokens of actions under way.
    std::shared_ptr<int> m_actions = std::make_shared<int>(0);
};
