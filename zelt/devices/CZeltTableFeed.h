#pragma once
// Device events applied to the records and the table on the GUI thread:
// rows for online events, changed rows for updates, removal and
// renumbering for offline events. On large tables events are gathered
// first, because each pass of the view's layout walks the whole table; the
// feed says when to apply them, its owner (the device controller, which
// calls it on the GUI thread and holds the panel lock around every call
// that may change the records) keeps the time.

#include <QList>

#include "DeviceKey.h"
#include "ZeltDeviceRecords.h"

class CZeltDeviceStore;
class QtZeltItemModel;

class CZeltTableFeed
{
public:
    CZeltTableFeed(CZeltDeviceStore &store, QtZeltItemModel &model);

    // When waiting events are to be applied.
    enum class When {
        Done,     // applied already
        Soon,     // once the events queued now are through
        Gathered, // within kGatherMs
    };
    // Online events in arrival order, taken over without a copy when none
    // wait. keys[i]: the store's key of infos[i] (its texts shared with the
    // rows). bDirect: an event came in on the GUI thread (the shell's
    // replay), and its row must exist when the call returns.
    When Online(QList<ZELT_DEVICE_INFO_MY> &&infos, QList<DeviceKey> &&keys, bool bDirect);
    When Offline(const DeviceKey &key);
    // The row that now shows the update, or -1 when the device is not listed.
    int Update(const ZELT_DEVICE_INFO_MY &info, const DeviceKey &key);

    // Applies the events that wait, so the table is current.
    void Flush();
    void FlushOnline();
    void FlushOffline();
    // Offline events wait: applying them changes the records.
    bool HasPendingOffline() const { return !m_pendingOffline.isEmpty(); }

    // Tables up to this size show each event at once; larger ones gather
    // the events of up to kGatherMs.
    static constexpr int kImmediateRows = 1000;
    static constexpr int kGatherMs = 40;

private:
    CZeltDeviceStore &m_store;
    QtZeltItemModel &m_model;
    int m_iDebugCounter = 0;

    // At most one of the two lists is non-empty at a time, which keeps
    // arrival order.
    QList<ZELT_DEVICE_INFO_MY> m_pendingOnline;
    QList<DeviceKey> m_pendingOnlineKeys;
    QList<DeviceKey> m_pendingOffline;
};
