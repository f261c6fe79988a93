#include "CZeltDeviceController.h"

#include <QLoggingCategory>
#include <QThread>
#include <QTimer>

#include <cstring>

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
    // Queued from the hub's thread; direct during the shell's replay, which
    // needs the row to exist when its call returns.
    connect(this, &CZeltDeviceController::DeviceOnline, this, &CZeltDeviceController::ShowOnline);
    connect(this, &CZeltDeviceController::DeviceOffline, this, &CZeltDeviceController::ShowOffline);
    connect(this, &CZeltDeviceController::DeviceUpdated, this, &CZeltDeviceController::ShowUpdate);
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
    const bool direct = QThread::currentThread() == thread();
    switch (ev.iEventKind) {
    case ZELT_EVENT_ONLINE:
    case ZELT_EVENT_ONLINE2: {
        qCDebug(lcZeltDevices) << "online" << text(ev.szIPv4Address) << text(ev.szSerialNO) << text(ev.szMAC);
        const ZELT_DEVICE_INFO_MY info = ZeltRecords::buildDeviceInfo(ev);
        DeviceKey key = DeviceKey::Of(info); // made before the lock: it is held for every event
        const auto lock = Hold();
        key = m_pStore->Append(info, std::move(key));
        // Written on the GUI thread only: ShowOnline reads it without the lock.
        if (direct)
            m_bDirectIntake = true;
        emit DeviceOnline(info, key);
        if (direct)
            m_bDirectIntake = false;
        break;
    }
    case ZELT_EVENT_CHANGED: {
        qCDebug(lcZeltDevices) << "update" << text(ev.szIPv4Address);
        const ZELT_DEVICE_INFO_MY info = ZeltRecords::buildDeviceInfo(ev);
        const DeviceKey key = DeviceKey::Of(info);
        {
            const auto lock = Hold();
            emit DeviceUpdated(info, m_pStore->SharedKey(key));
        }
        qCDebug(lcZeltDevices) << "update sent" << text(ev.szIPv4Address) << text(ev.szSerialNO) << text(ev.szMAC);
        break;
    }
    case ZELT_EVENT_OFFLINE: {
        const DeviceKey key(text(ev.szSerialNO), text(ev.szMAC));
        qCDebug(lcZeltDevices) << "offline" << text(ev.szIPv4Address) << key.Serial() << key.Mac();
        // A key of its own: it only has to find rows, and the lock is held
        // no longer than the hand-off in order with the online events.
        const auto lock = Hold();
        emit DeviceOffline(key);
        break;
    }
    default: break;
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
    // The event brings copies; held all through, the lock made the intake
    // wait on the GUI thread through every pass of a burst. Taken and given
    // back at once it stays the hand-off ThreadSanitizer can see: the
    // intake holds it while it posts the event.
    const auto lock = HoldForRecords();
    if (!lock)
        (void)Hold();
    m_pOfflineTimer->stop(); // the feed applies waiting offline events first
    if (m_pFeed->Online(info, key, m_bDirectIntake) == CZeltTableFeed::When::Done) {
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
