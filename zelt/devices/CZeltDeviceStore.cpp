#include "CZeltDeviceStore.h"

void CZeltDeviceStore::Append(const ZELT_DEVICE_INFO_MY &record)
{
    const DeviceKey key = DeviceKey::Of(record);
    if (!m_first.contains(key)) // a second record of a device keeps the first's position
        m_first.insert(key, int(m_list.size()));
    m_list.append(record);
}

int CZeltDeviceStore::IndexOf(const DeviceKey &key, int limit) const
{
    const auto it = m_first.constFind(key);
    if (it == m_first.constEnd() || *it >= qMin(limit, Size()))
        return -1;
    return *it;
}

const ZELT_DEVICE_INFO_MY *CZeltDeviceStore::Find(const DeviceKey &key) const
{
    const int i = IndexOf(key);
    return i < 0 ? nullptr : &m_list.at(i);
}

void CZeltDeviceStore::Remove(const QSet<DeviceKey> &gone, int limit)
{
    const int n = qMin(limit, Size());
    QList<ZELT_DEVICE_INFO_MY> kept;
    kept.reserve(m_list.size());
    for (int i = 0; i < m_list.size(); ++i) {
        const ZELT_DEVICE_INFO_MY &r = m_list.at(i);
        if (i < n && gone.contains(DeviceKey::Of(r)))
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
        m_first.insert(DeviceKey::Of(m_list.at(i)), i);
}
