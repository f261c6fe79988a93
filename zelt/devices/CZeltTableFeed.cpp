#include "CZeltTableFeed.h"

#include <QLoggingCategory>
#include <QSet>

#include "CZeltDeviceStore.h"
#include "QtZeltItemModel.h"

Q_LOGGING_CATEGORY(lcZeltTable, "zelt.panel")

CZeltTableFeed::CZeltTableFeed(CZeltDeviceStore &store, QtZeltItemModel &model) : m_store(store), m_model(model) {}

void CZeltTableFeed::Flush()
{
    FlushOffline();
    FlushOnline();
}

CZeltTableFeed::When CZeltTableFeed::Online(QList<ZELT_DEVICE_INFO_MY> &&infos, QList<DeviceKey> &&keys, bool bDirect)
{
    FlushOffline();
    if (m_pendingOnline.isEmpty()) {
        m_pendingOnline = std::move(infos);
        m_pendingOnlineKeys = std::move(keys);
    } else {
        m_pendingOnline.append(infos);
        m_pendingOnlineKeys.append(keys);
    }
    if (bDirect || m_model.rowCount() + m_pendingOnline.size() <= kImmediateRows) {
        FlushOnline();
        return When::Done;
    }
    return When::Gathered;
}

void CZeltTableFeed::FlushOnline()
{
    if (m_pendingOnline.isEmpty())
        return;
    const QList<ZELT_DEVICE_INFO_MY> pending = std::move(m_pendingOnline);
    const QList<DeviceKey> keys = std::move(m_pendingOnlineKeys);
    m_pendingOnline.clear();
    m_pendingOnlineKeys.clear();
    m_model.AppendDevices(pending, keys);
    for (int i = 0; i < pending.size(); ++i) {
        ++m_iDebugCounter;
        qCDebug(lcZeltTable) << "===ws===" << m_iDebugCounter;
    }
}

CZeltTableFeed::When CZeltTableFeed::Offline(const DeviceKey &key)
{
    FlushOnline();
    m_pendingOffline.append(key);
    // Each pass walks and renumbers the whole table: gather first on large
    // tables, else one pass for the offline events queued behind this one.
    return m_model.rowCount() > kImmediateRows ? When::Gathered : When::Soon;
}

void CZeltTableFeed::FlushOffline()
{
    if (m_pendingOffline.isEmpty())
        return;
    const QSet<DeviceKey> gone(m_pendingOffline.cbegin(), m_pendingOffline.cend());
    const int events = int(m_pendingOffline.size());
    m_pendingOffline.clear();

    const int n = m_model.rowCount();
    if (n == 0)
        return;
    // Every record of a device that went offline goes with its rows, so
    // that no stale copy feeds the editing panel later. Only the first n
    // records have rows yet; later ones wait for their online event.
    m_store.Remove(gone, n);

    QList<int> keep;
    keep.reserve(n);
    for (int r = 0; r < n; ++r) {
        if (!gone.contains(m_model.KeyOfRow(r)))
            keep.append(r);
    }
    m_model.KeepRows(keep);
    m_model.Renumber();

    m_iDebugCounter -= events;
    qCDebug(lcZeltTable) << "===ws===" << m_iDebugCounter;
}

int CZeltTableFeed::Update(const ZELT_DEVICE_INFO_MY &info, const DeviceKey &key)
{
    Flush();
    const int rec = m_store.IndexOf(key, m_model.rowCount());
    if (rec >= 0)
        m_store.Replace(rec, info);
    const int row = m_model.FindRow(key);
    if (row >= 0)
        m_model.FillRow(row, info, key);
    return row;
}
