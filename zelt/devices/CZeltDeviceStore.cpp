#include "CZeltDeviceStore.h"

DeviceKey CZeltDeviceStore::Append(const ZELT_DEVICE_INFO_MY &record, DeviceKey key)
{
    const auto it = m_first.constFind(key);
    if (it == m_first.constEnd()) // a second record of a device keeps the first's position
        m_first.insert(key, int(m_list.size()));
    else
        key = it.key();
    m_list.append(record);
    m_keys.append(key);
    return key;
}

int CZeltDeviceStore::IndexOf(const DeviceKey &key, int limit) const
{
    const auto it = m_first.constFind(key);
    if (it == m_first.constEnd() || *it >= qMin(limit, Size()))
        return -1;
    return *it;
}

DeviceKey CZeltDeviceStore::SharedKey(const DeviceKey &key) const
{
    const auto it = m_first.constFind(key);
    return it == m_first.constEnd() ? key : it.key();
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
    QList<DeviceKey> keptKeys;
    kept.reserve(m_list.size());
    keptKeys.reserve(m_list.size());
    for (int i = 0; i < m_list.size(); ++i) {
        if (i < n && gone.contains(m_keys.at(i)))
            continue;
        kept.append(m_list.at(i));
        keptKeys.append(m_keys.at(i));
    }
    if (kept.size() == m_list.size())
        return;
    m_removed += m_list.size() - kept.size();
    m_list = std::move(kept);
    m_keys = std::move(keptKeys);
    Reindex();
}

void CZeltDeviceStore::Reindex()
{
    m_first.clear();
    m_first.reserve(m_list.size());
    for (int i = int(m_keys.size()) - 1; i >= 0; --i) // the first record of a device wins
        m_first.insert(m_keys.at(i), i);
}
