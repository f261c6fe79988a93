#pragma once
// The panel's device list: one record per online event, in arrival order,
// under the re-entrant panel lock, with an index by serial number and MAC
// address. Device events enter here from the hub's thread (or the GUI
// thread during the shell's replay); the store needs no widget, so it can
// be driven from any plain thread.

#include <QHash>
#include <QList>
#include <QPair>
#include <QSet>
#include <QString>

#include <functional>

#include "ZeltDeviceRecords.h"

struct Vela_Mutex;

class CZeltDeviceStore
{
public:
    using Key = QPair<QString, QString>; // serial number, MAC address

    // What the intake reports, called on the intake's thread while the
    // lock is held (so whatever they hand on is ordered before any later
    // reader that takes the lock).
    struct Listener {
        std::function<void(const ZELT_DEVICE_INFO_MY &)> online;
        std::function<void(const ZELT_DEVICE_INFO_MY &)> update;
        std::function<void(const QString &serial, const QString &mac)> offline;
    };

    CZeltDeviceStore();
    ~CZeltDeviceStore();
    CZeltDeviceStore(const CZeltDeviceStore &) = delete;
    CZeltDeviceStore &operator=(const CZeltDeviceStore &) = delete;

    void SetListener(Listener listener);

    void Lock();
    void Unlock();
    // Holds the lock for a scope.
    class Locker
    {
    public:
        explicit Locker(CZeltDeviceStore &store) : m_store(store) { m_store.Lock(); }
        ~Locker() { m_store.Unlock(); }
        Locker(const Locker &) = delete;
        Locker &operator=(const Locker &) = delete;

    private:
        CZeltDeviceStore &m_store;
    };

    // One device event from the hub, on any thread. Records that fail the
    // arrival check and unknown event kinds are dropped; an online event
    // appends its record.
    void Intake(const ZELT_DEVICE_EVENT &event);
    // Whether a record passes the arrival check: at least one of the eight
    // measured text fields ends within 64 characters.
    static bool PassesArrivalCheck(const ZELT_DEVICE_EVENT &event);

    // The rest is called with the lock held.
    int Size() const { return int(m_list.size()); }
    const ZELT_DEVICE_INFO_MY &At(int i) const { return m_list.at(i); }
    // Position of the first record of that device among the first limit
    // records, or -1.
    int IndexOf(const QString &serial, const QString &mac, int limit) const;
    int IndexOf(const QString &serial, const QString &mac) const { return IndexOf(serial, mac, Size()); }
    // Replaces a record by a newer one of the same device.
    void Replace(int i, const ZELT_DEVICE_INFO_MY &record);
    // Changes a record in place (the device stays the same).
    template <typename F>
    void Modify(int i, F change)
    {
        change(m_list[i]);
    }
    // Removes every record of these devices among the first limit records;
    // the others keep their order.
    void Remove(const QSet<Key> &gone, int limit);

    // A copy of the list, taken under the lock.
    QList<ZELT_DEVICE_INFO_MY> Snapshot();

    static Key KeyOf(const ZELT_DEVICE_INFO_MY &d)
    {
        return {ZeltRecords::text(d.szSerialNO), ZeltRecords::text(d.szMAC)};
    }

private:
    void Append(const ZELT_DEVICE_INFO_MY &record);
    void Reindex();

    Vela_Mutex *m_pLock;
    QList<ZELT_DEVICE_INFO_MY> m_list;
    // Position of each device's first record.
    QHash<Key, int> m_first;
    Listener m_listener;
};
