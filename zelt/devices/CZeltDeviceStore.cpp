#include "CZeltDeviceStore.h"

#include <QLoggingCategory>

#include <cstring>

#include "vela.h"
#include "zelt_sdk.h"

Q_LOGGING_CATEGORY(lcZeltStore, "zelt.panel")

namespace {
// Offsets of the text fields the arrival check measures.
constexpr std::size_t kCheckedTextOffsets[] = {0, 12, 60, 80, 96, 128, 176, 224};
constexpr std::size_t kCheckedTextLength = 64;
} // namespace

CZeltDeviceStore::CZeltDeviceStore() : m_pLock(Vela_CreateMutex(1)) {}

CZeltDeviceStore::~CZeltDeviceStore()
{
    // The owner makes sure no hub thread is inside the intake any more.
    Vela_DestroyMutex(m_pLock);
}

void CZeltDeviceStore::SetListener(Listener listener)
{
    Locker lock(*this);
    m_listener = std::move(listener);
}

void CZeltDeviceStore::Lock()
{
    Vela_LockMutex(m_pLock);
}

void CZeltDeviceStore::Unlock()
{
    Vela_UnlockMutex(m_pLock);
}

// Each length is bounded by the end of the record, so a record without
// terminators is never read past its 500 bytes.
bool CZeltDeviceStore::PassesArrivalCheck(const ZELT_DEVICE_EVENT &ev)
{
    const char *base = reinterpret_cast<const char *>(&ev);
    for (std::size_t off : kCheckedTextOffsets) {
        if (::strnlen(base + off, sizeof ev - off) < kCheckedTextLength)
            return true;
    }
    return false;
}

void CZeltDeviceStore::Intake(const ZELT_DEVICE_EVENT &ev)
{
    if (!PassesArrivalCheck(ev))
        return;
    using ZeltRecords::text;
    switch (ev.iEventKind) {
    case ZELT_EVENT_ONLINE:
    case ZELT_EVENT_ONLINE2: {
        qCDebug(lcZeltStore) << "online" << text(ev.szIPv4Address) << text(ev.szSerialNO) << text(ev.szMAC);
        const ZELT_DEVICE_INFO_MY info = ZeltRecords::buildDeviceInfo(ev);
        Locker lock(*this);
        Append(info);
        if (m_listener.online)
            m_listener.online(info);
        break;
    }
    case ZELT_EVENT_CHANGED: {
        qCDebug(lcZeltStore) << "update" << text(ev.szIPv4Address);
        const ZELT_DEVICE_INFO_MY info = ZeltRecords::buildDeviceInfo(ev);
        {
            Locker lock(*this);
            if (m_listener.update)
                m_listener.update(info);
        }
        qCDebug(lcZeltStore) << "update sent" << text(ev.szIPv4Address) << text(ev.szSerialNO) << text(ev.szMAC);
        break;
    }
    case ZELT_EVENT_OFFLINE: {
        const QString serial = text(ev.szSerialNO);
        const QString mac = text(ev.szMAC);
        qCDebug(lcZeltStore) << "offline" << text(ev.szIPv4Address) << serial << mac;
        Locker lock(*this);
        if (m_listener.offline)
            m_listener.offline(serial, mac);
        break;
    }
    default: break;
    }
}

void CZeltDeviceStore::Append(const ZELT_DEVICE_INFO_MY &record)
{
    const Key key = KeyOf(record);
    if (!m_first.contains(key)) // a second record of a device keeps the first's position
        m_first.insert(key, int(m_list.size()));
    m_list.append(record);
}

int CZeltDeviceStore::IndexOf(const QString &serial, const QString &mac, int limit) const
{
    const auto it = m_first.constFind(Key(serial, mac));
    if (it == m_first.constEnd() || *it >= qMin(limit, Size()))
        return -1;
    return *it;
}

void CZeltDeviceStore::Replace(int i, const ZELT_DEVICE_INFO_MY &record)
{
    m_list[i] = record;
}

void CZeltDeviceStore::Remove(const QSet<Key> &gone, int limit)
{
    const int n = qMin(limit, Size());
    QList<ZELT_DEVICE_INFO_MY> kept;
    kept.reserve(m_list.size());
    for (int i = 0; i < m_list.size(); ++i) {
        const ZELT_DEVICE_INFO_MY &r = m_list.at(i);
        if (i < n && gone.contains(KeyOf(r)))
            continue;
        kept.append(r);
    }
    if (kept.size() == m_list.size())
        return;
    m_list = std::move(kept);
    Reindex();
}

void CZeltDeviceStore::Reindex()
{
    m_first.clear();
    m_first.reserve(m_list.size());
    for (int i = int(m_list.size()) - 1; i >= 0; --i) // the first record of a device wins
        m_first.insert(KeyOf(m_list.at(i)), i);
}

QList<ZELT_DEVICE_INFO_MY> CZeltDeviceStore::Snapshot()
{
    Locker lock(*this);
    return m_list;
}
