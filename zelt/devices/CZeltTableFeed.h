#pragma once
// Device events applied to the table on the GUI thread: rows for online
// events, changed rows for updates, removal and renumbering for offline
// events, the device count. On large tables events are gathered first,
// because each pass of the view's layout walks the whole table.

#include <QList>
#include <QObject>
#include <QPair>
#include <QString>

#include "ZeltDeviceRecords.h"

class QLabel;
class QTimer;
class CZeltDeviceStore;
class QtZeltItemModel;

class CZeltDeviceTable : public QObject
{
    Q_OBJECT
public:
    CZeltDeviceTable(CZeltDeviceStore &store, QtZeltItemModel &model, QLabel *pCount, QObject *parent);

    // bDirect: the event came in on the GUI thread (the shell's replay),
    // and its row must exist when the call returns.
    void Online(const ZELT_DEVICE_INFO_MY &info, bool bDirect);
    void Offline(const QString &serial, const QString &mac);
    // The row that now shows the update, or -1 when the device is not listed.
    int Update(const ZELT_DEVICE_INFO_MY &info);

    // Applies the events that wait, so the table is current.
    void Flush();
    void FlushOnline();
    void FlushOffline();

    int DebugCounter() const { return m_iDebugCounter; }

    // Tables up to this size show each event at once; larger ones gather
    // the events of up to kGatherMs.
    static constexpr int kImmediateRows = 1000;
    static constexpr int kGatherMs = 40;

private:
    void ShowCount();

    CZeltDeviceStore &m_store;
    QtZeltItemModel &m_model;
    QLabel *m_pCount;
    int m_iDebugCounter = 0;

    // At most one of the two lists is non-empty at a time, which keeps
    // arrival order.
    QList<ZELT_DEVICE_INFO_MY> m_pendingOnline;
    QList<QPair<QString, QString>> m_pendingOffline;
    bool m_bOfflineQueued = false;
    QTimer *m_pOnlineTimer;
    QTimer *m_pOfflineTimer;
};
