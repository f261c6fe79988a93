#include "CZeltDeviceController.h"

#include <QLoggingCategory>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstring>
#include <utility>

#include "CZeltBatchRunner.h"
#include "CZeltDeviceStore.h"
#include "CZeltTableFeed.h"
#include "QtZeltItemModel.h"
#include "zelt_sdk.h"

Q_LOGGING_CATEGORY(lcZeltDevices, "zelt.panel")

namespace {
// Offsets of the text fields the arrival check measures.
constexpr std::size_t kCheckedTextOffsets[] = {0, 12, 60, 80, 96, 128, 176, 224};
constexpr std::size_t kCheckedTextLength = 64;
using Col = QtZeltItemModel::Column;
} // namespace

CZeltDeviceController::CZeltDeviceController(QObject *parent)
    : QObject(parent)
    , m_pLock(Vela_CreateMutex(1))
    , m_pStore(new CZeltDeviceStore)
    , m_pModel(new QtZeltItemModel(this))
    , m_pFeed(new CZeltTableFeed(*m_pStore, *m_pModel))
    , m_pRunner(new CZeltBatchRunner(this))
    , m_pOnlineTimer(new QTimer(this))
    , m_pOfflineTimer(new QTimer(this))
{
    ZeltRecords::registerMetaTypes();
    m_pOnlineTimer->setSingleShot(true);
    connect(m_pOnlineTimer, &QTimer::timeout, this, &CZeltDeviceController::Flush);
    m_pOfflineTimer->setSingleShot(true);
    connect(m_pOfflineTimer, &QTimer::timeout, this, &CZeltDeviceController::Flush);
}

CZeltDeviceController::~CZeltDeviceController()
{
    // The runner's commands may still be at work: they end before the
    // records go. The owner makes sure no hub thread is inside the intake.
    delete m_pRunner;
    m_pFeed.reset();
    Vela_DestroyMutex(m_pLock);
}

// ------------------------------------------------------------ intake

// Each length is bounded by the end of the record, so a record without
// terminators is never read past its 500 bytes.
bool CZeltDeviceController::PassesArrivalCheck(const ZELT_DEVICE_EVENT &ev)
{
    const char *base = reinterpret_cast<const char *>(&ev);
    for (std::size_t off : kCheckedTextOffsets) {
        if (::strnlen(base + off, sizeof ev - off) < kCheckedTextLength)
            return true;
    }
    return false;
}

void CZeltDeviceController::Intake(const ZELT_DEVICE_EVENT &ev)
{
    if (!PassesArrivalCheck(ev))
        return;
    using ZeltRecords::text;
    using Kind = Arrival::Kind;
    // The shell's replay comes in on the GUI thread and needs the row to
    // exist when its call returns.
    const bool direct = QThread::currentThread() == thread();
    switch (ev.iEventKind) {
    case ZELT_EVENT_ONLINE:
    case ZELT_EVENT_ONLINE2: {
        qCDebug(lcZeltDevices) << "online" << text(ev.szIPv4Address) << text(ev.szSerialNO) << text(ev.szMAC);
        const ZELT_DEVICE_INFO_MY info = ZeltRecords::buildDeviceInfo(ev);
        DeviceKey key = DeviceKey::Of(info); // made before the lock: it is held for every event
        const auto lock = Hold();
        const qint64 sequence = m_pStore->NextSequence();
        key = m_pStore->Append(info, std::move(key));
        emit DeviceOnline(info, key);
        PostLocked({Kind::Online, direct, key, sequence});
        break;
    }
    case ZELT_EVENT_CHANGED: {
        qCDebug(lcZeltDevices) << "update" << text(ev.szIPv4Address);
        const ZELT_DEVICE_INFO_MY info = ZeltRecords::buildDeviceInfo(ev);
        const DeviceKey key = DeviceKey::Of(info);
        {
            const auto lock = Hold();
            const DeviceKey shared = m_pStore->SharedKey(key);
            emit DeviceUpdated(info, shared);
            m_inboxUpdates.append(info);
            PostLocked({Kind::Updated, direct, shared, m_inboxUpdates.size() - 1});
        }
        qCDebug(lcZeltDevices) << "update sent" << text(ev.szIPv4Address) << text(ev.szSerialNO) << text(ev.szMAC);
        break;
    }
    case ZELT_EVENT_OFFLINE: {
        // A key of its own: it only has to find rows.
        const DeviceKey key(text(ev.szSerialNO), text(ev.szMAC));
        qCDebug(lcZeltDevices) << "offline" << text(ev.szIPv4Address) << key.Serial() << key.Mac();
        const auto lock = Hold();
        emit DeviceOffline(key);
        PostLocked({Kind::Offline, direct, key, -1});
        break;
    }
    default: return;
    }
    if (direct)
        Drain();
}

void CZeltDeviceController::PostLocked(Arrival &&arrival)
{
    const bool direct = arrival.bDirect;
    m_inbox.append(std::move(arrival));
    // Posted under the lock: the queued call is allocated here and freed on
    // the GUI thread, and the lock is the only hand-off between the two that
    // ThreadSanitizer sees (Qt's own event-queue lock is not instrumented).
    if (!std::exchange(m_bDrainPosted, true) && !direct)
        QMetaObject::invokeMethod(this, &CZeltDeviceController::Drain, Qt::QueuedConnection);
}

void CZeltDeviceController::Drain()
{
    QList<Arrival> arrivals;
    QList<ZELT_DEVICE_INFO_MY> updates;
    QList<ZELT_DEVICE_INFO_MY> online; // the online events' records, in order
    {
        // The hand-off from the intake: it appended under this lock.
        const auto lock = Hold();
        arrivals.swap(m_inbox);
        updates.swap(m_inboxUpdates);
        m_bDrainPosted = false;
        online.reserve(std::count_if(arrivals.cbegin(), arrivals.cend(),
                                     [](const Arrival &a) { return a.kind == Arrival::Kind::Online; }));
        for (const Arrival &a : std::as_const(arrivals)) {
            if (a.kind == Arrival::Kind::Online)
                online.append(m_pStore->At(m_pStore->IndexOfSequence(a.record)));
        }
    }
    // Online events in a row go to the feed together; when the whole batch
    // is one such run its records are handed over as they are.
    const qsizetype n = arrivals.size();
    qsizetype next = 0; // into online
    for (qsizetype i = 0; i < n;) {
        const Arrival &a = arrivals.at(i);
        if (a.kind != Arrival::Kind::Online) {
            if (a.kind == Arrival::Kind::Updated)
                ShowUpdate(updates.at(a.record), a.key);
            else
                ShowOffline(a.key);
            ++i;
            continue;
        }
        qsizetype end = i;
        while (end < n && arrivals.at(end).kind == Arrival::Kind::Online)
            ++end;
        const qsizetype count = end - i;
        QList<DeviceKey> keys;
        keys.reserve(count);
        bool direct = false;
        for (qsizetype k = i; k < end; ++k) {
            keys.append(arrivals.at(k).key);
            direct = direct || arrivals.at(k).bDirect;
        }
        ApplyOnline(count == online.size() ? std::move(online) : online.mid(next, count), std::move(keys), direct);
        next += count;
        i = end;
    }
}

QList<ZELT_DEVICE_INFO_MY> CZeltDeviceController::Snapshot() const
{
    const auto lock = Hold();
    return m_pStore->Records();
}

// ------------------------------------------------------------ the table

void CZeltDeviceController::ShowCount()
{
    // Told when it changed only: the label would otherwise be laid out
    // again for every event of a burst.
    if (m_pModel->rowCount() == m_iShownCount)
        return;
    m_iShownCount = m_pModel->rowCount();
    emit CountChanged(m_iShownCount);
}

auto CZeltDeviceController::HoldForRecords() const
{
    std::optional<decltype(Hold())> lock;
    if (m_pFeed->HasPendingOffline())
        lock.emplace(Hold());
    return lock;
}

void CZeltDeviceController::ShowOnline(const ZELT_DEVICE_INFO_MY &info, const DeviceKey &key)
{
    ApplyOnline({info}, {key}, false);
}

void CZeltDeviceController::ApplyOnline(QList<ZELT_DEVICE_INFO_MY> &&infos, QList<DeviceKey> &&keys, bool bDirect)
{
    // The events bring copies; held all through, the lock made the intake
    // wait on the GUI thread through every pass of a burst.
    const auto lock = HoldForRecords();
    m_pOfflineTimer->stop(); // the feed applies waiting offline events first
    if (m_pFeed->Online(std::move(infos), std::move(keys), bDirect) == CZeltTableFeed::When::Done) {
        m_pOnlineTimer->stop();
        ShowCount();
    } else if (!m_pOnlineTimer->isActive()) {
        m_pOnlineTimer->start(CZeltTableFeed::kGatherMs);
    }
}

void CZeltDeviceController::ShowOffline(const DeviceKey &key)
{
    const auto lock = Hold();
    m_pOnlineTimer->stop(); // the feed applies waiting online events first
    const CZeltTableFeed::When when = m_pFeed->Offline(key);
    ShowCount();
    if (when == CZeltTableFeed::When::Gathered) {
        if (!m_pOfflineTimer->isActive())
            m_pOfflineTimer->start(CZeltTableFeed::kGatherMs);
    } else if (!m_bOfflineQueued) {
        m_bOfflineQueued = true;
        // Queued behind the offline events already waiting, so that one pass
        // removes them all.
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_bOfflineQueued = false;
                Flush();
            },
            Qt::QueuedConnection);
    }
}

void CZeltDeviceController::ShowUpdate(const ZELT_DEVICE_INFO_MY &info, const DeviceKey &key)
{
    int row = -1;
    {
        const auto lock = Hold();
        m_pOnlineTimer->stop();
        m_pOfflineTimer->stop();
        row = m_pFeed->Update(info, key);
        ShowCount();
    }
    if (row >= 0)
        emit RowUpdated(key);
}

void CZeltDeviceController::Flush()
{
    const auto lock = HoldForRecords();
    m_pOnlineTimer->stop();
    m_pOfflineTimer->stop();
    m_pFeed->Flush();
    ShowCount();
}

void CZeltDeviceController::Retranslate()
{
    const auto lock = Hold();
    m_pModel->Retranslate([this](int row) { return m_pStore->Find(m_pModel->KeyOfRow(row)); });
}

// ------------------------------------------------------------ look-ups

std::optional<CZeltDeviceController::Target> CZeltDeviceController::TargetOfRowLocked(int row) const
{
    if (row < 0 || row >= m_pModel->rowCount())
        return std::nullopt;
    const DeviceKey key = m_pModel->KeyOfRow(row);
    const ZELT_DEVICE_INFO_MY *record = m_pStore->Find(key);
    if (!record)
        return std::nullopt;
    return Target{key, m_pModel->TextAt(row, Col::ColId) + QLatin1Char(' '), *record};
}

std::optional<CZeltDeviceController::Target> CZeltDeviceController::TargetOf(const QModelIndex &index) const
{
    if (!index.isValid() || index.model() != m_pModel)
        return std::nullopt;
    const auto lock = Hold();
    return TargetOfRowLocked(index.row());
}

std::optional<CZeltDeviceController::Target> CZeltDeviceController::TargetOf(const DeviceKey &key) const
{
    const auto lock = Hold();
    return TargetOfRowLocked(m_pModel->FindRow(key));
}

QList<CZeltDeviceController::Target> CZeltDeviceController::TargetsOf(const QModelIndexList &rows) const
{
    QList<Target> targets;
    targets.reserve(rows.size());
    const auto lock = Hold();
    for (const QModelIndex &index : rows) {
        if (index.model() != m_pModel)
            continue;
        if (std::optional<Target> t = TargetOfRowLocked(index.row()))
            targets.append(std::move(*t));
    }
    return targets;
}

// ------------------------------------------------------------ changes

void CZeltDeviceController::ApplyNetworkChange(const DeviceKey &key, const NetworkChange &change)
{
    const auto lock = Hold();
    const int row = m_pModel->FindRow(key);
    if (row >= 0)
        m_pModel->SetNetworkCells(row, change.ipv4, change.port, change.mask, change.gateway);
    m_pStore->Modify(key, [&change](ZELT_DEVICE_INFO_MY &d) {
        ZeltRecords::putText(d.szIPv4Address, change.ipv4.toLatin1());
        ZeltRecords::putText(d.szIPv4SubnetMask, change.mask.toLatin1());
        ZeltRecords::putText(d.szIPv4Gateway, change.gateway.toLatin1());
        d.dwPort = change.port;
    });
}

void CZeltDeviceController::MarkActivated(const DeviceKey &key)
{
    const auto lock = Hold();
    const int row = m_pModel->FindRow(key);
    if (row >= 0)
        m_pModel->SetActivated(row);
    m_pStore->Modify(key, [](ZELT_DEVICE_INFO_MY &d) { d.byActivated = 0; });
}

void CZeltDeviceController::MarkDhcp(const DeviceKey &key, bool bOn)
{
    const auto lock = Hold();
    m_pStore->Modify(key, [bOn](ZELT_DEVICE_INFO_MY &d) { d.byDhcp = bOn ? 1 : 0; });
}

// ------------------------------------------------------------ actions

std::shared_ptr<void> CZeltDeviceController::BeginAction()
{
    return m_actions;
}

bool CZeltDeviceController::IsBusy() const
{
    return m_actions.use_count() > 1 || m_pRunner->IsRunning();
}
