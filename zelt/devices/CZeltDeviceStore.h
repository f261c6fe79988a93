#pragma once
// The panel's device records: one per online event, in arrival order, with
// an index of each device's first record. A plain container: whoever uses
// it holds the panel lock (the device controller does).

#include <QHash>
#include <QList>
#include <QSet>

#include "DeviceKey.h"
#include "ZeltDeviceRecords.h"

class CZeltDeviceStore
{
public:
    int Size() const { return int(m_list.size()); }
    const ZELT_DEVICE_INFO_MY &At(int i) const { return m_list.at(i); }
    const QList<ZELT_DEVICE_INFO_MY> &Records() const { return m_list; }

    // Appends the record, whose key is given (the caller may make it
    // outside the lock); the key returned, shared with the device's earlier
    // records, is what rows and events carry.
    DeviceKey Append(const ZELT_DEVICE_INFO_MY &record, DeviceKey key);
    DeviceKey Append(const ZELT_DEVICE_INFO_MY &record) { return Append(record, DeviceKey::Of(record)); }
    // Position of the device's first record among the first limit records,
    // or -1.
    int IndexOf(const DeviceKey &key, int limit) const;
    int IndexOf(const DeviceKey &key) const { return IndexOf(key, Size()); }
    // The key as the store holds it, sharing its texts (key itself for a
    // device it does not hold): a row that carries it costs no copy.
    DeviceKey SharedKey(const DeviceKey &key) const;
    // The device's first record, or null.
    const ZELT_DEVICE_INFO_MY *Find(const DeviceKey &key) const;
    // Changes the device's first record in place (the device stays the
    // same); false when there is none.
    template <typename F>
    bool Modify(const DeviceKey &key, F change)
    {
        const int i = IndexOf(key);
        if (i < 0)
            return false;
        change(m_list[i]);
        return true;
    }
    // Replaces a record by a newer one of the same device.
    void Replace(int i, const ZELT_DEVICE_INFO_MY &record) { m_list[i] = record; }
    // Removes every record of these devices among the first limit records;
    // the others keep their order.
    void Remove(const QSet<DeviceKey> &gone, int limit);

    // A record's place that outlives removals: records are only ever
    // removed before the ones not yet shown, so a later record's index is
    // its sequence number less the records removed since.
    qint64 NextSequence() const { return m_removed + Size(); }
    int IndexOfSequence(qint64 sequence) const { return int(sequence - m_removed); }

private:
    void Reindex();

    QList<ZELT_DEVICE_INFO_MY> m_list;
    QList<DeviceKey> m_keys; // of each record, so that no pass builds them again
    QHash<DeviceKey, int> m_first;
    qint64 m_removed = 0;
};
