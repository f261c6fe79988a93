#include "CZeltDeviceTable.h"

#include <QLabel>
#include <QLoggingCategory>
#include <QSet>
#include <QTimer>

#include "QtZeltItemModel.h"
#include "CZeltDeviceStore.h"

Q_LOGGING_CATEGORY(lcZeltTable, "zelt.panel")

using Col = QtZeltItemModel::Column;

CZeltDeviceTable::CZeltDeviceTable(CZeltDeviceStore &store, QtZeltItemModel &model, QLabel *pCount, QObject *parent)
    : QObject(parent)
    , m_store(store)
    , m_model(model)
    , m_pCount(pCount)
    , m_pOnlineTimer(new QTimer(this))
    , m_pOfflineTimer(new QTimer(this))
{
    m_pOnlineTimer->setSingleShot(true);
    connect(m_pOnlineTimer, &QTimer::timeout, this, &CZeltDeviceTable::FlushOnline);
    m_pOfflineTimer->setSingleShot(true);
    connect(m_pOfflineTimer, &QTimer::timeout, this, &CZeltDeviceTable::FlushOffline);
}

void CZeltDeviceTable::ShowCount()
{
    if (m_pCount)
        m_pCount->setText(QString::number(m_model.rowCount()));
}

void CZeltDeviceTable::Flush()
{
    FlushOffline();
    FlushOnline();
}

void CZeltDeviceTable::Online(const ZELT_DEVICE_INFO_MY &info, bool bDirect)
{
    FlushOffline();
    CZeltDeviceStore::Locker lock(m_store);
    m_pendingOnline.append(info);
    if (bDirect || m_model.rowCount() + m_pendingOnline.size() <= kImmediateRows) {
        FlushOnline();
        return;
    }
    if (!m_pOnlineTimer->isActive())
        m_pOnlineTimer->start(kGatherMs);
}

void CZeltDeviceTable::FlushOnline()
{
    if (m_pendingOnline.isEmpty())
        return;
    CZeltDeviceStore::Locker lock(m_store);
    m_pOnlineTimer->stop();
    const QList<ZELT_DEVICE_INFO_MY> pending = std::move(m_pendingOnline);
    m_pendingOnline.clear();
    m_model.AppendDevices(pending);
    for (int i = 0; i < pending.size(); ++i) {
        ++m_iDebugCounter;
        qCDebug(lcZeltTable) << "===ws===" << m_iDebugCounter;
    }
    ShowCount();
}

void CZeltDeviceTable::Offline(const QString &serial, const QString &mac)
{
    FlushOnline();
    CZeltDeviceStore::Locker lock(m_store);
    m_pendingOffline.append({serial, mac});
    if (m_model.rowCount() > kImmediateRows) {
        // Each pass walks and renumbers the whole table: gather first.
        if (!m_pOfflineTimer->isActive())
            m_pOfflineTimer->start(kGatherMs);
    } else if (!m_bOfflineQueued) {
        m_bOfflineQueued = true;
        // Queued behind the offline events already waiting, so that one pass
        // removes them all.
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_bOfflineQueued = false;
                FlushOffline();
            },
            Qt::QueuedConnection);
    }
}

void CZeltDeviceTable::FlushOffline()
{
    if (m_pendingOffline.isEmpty())
        return;
    CZeltDeviceStore::Locker lock(m_store);
    m_pOfflineTimer->stop();
    const QList<QPair<QString, QString>> pending = std::move(m_pendingOffline);
    m_pendingOffline.clear();

    const int n = m_model.rowCount();
    if (n == 0)
        return;
    const QSet<CZeltDeviceStore::Key> gone(pending.cbegin(), pending.cend());

    // Every record of a device that went offline goes with its rows, so
    // that no stale copy feeds the editing panel later. Only the first n
    // records have rows yet; later ones wait for their online signal.
    m_store.Remove(gone, n);

    QList<int> keep;
    keep.reserve(n);
    for (int r = 0; r < n; ++r) {
        if (!gone.contains({m_model.TextAt(r, Col::ColSerial), m_model.TextAt(r, Col::ColMac)}))
            keep.append(r);
    }
    m_model.KeepRows(keep);
    m_model.Renumber();

    m_iDebugCounter -= int(pending.size());
    qCDebug(lcZeltTable) << "===ws===" << m_iDebugCounter;
    ShowCount();
}

int CZeltDeviceTable::Update(const ZELT_DEVICE_INFO_MY &info)
{
    Flush();
    CZeltDeviceStore::Locker lock(m_store);
    const QString serial = ZeltRecords::text(info.szSerialNO);
    const QString mac = ZeltRecords::text(info.szMAC);
    const int rec = m_store.IndexOf(serial, mac, m_model.rowCount());
    if (rec >= 0)
        m_store.Replace(rec, info);
    const int row = m_model.FindRow(serial, mac);
    if (row >= 0)
        m_model.FillRow(row, info);
    return row;
}
