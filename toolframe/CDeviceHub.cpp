#include "CDeviceHub.h"

#include <cstdlib>
#include <cstring>

using ZeltRecords::putText;

namespace {

uint16_t portFromText(const char *text)
{
    if (!text)
        return 0;
    return static_cast<uint16_t>(std::strtol(text, nullptr, 10));
}

bool isOnline(int32_t kind)
{
    return kind == ZELT_EVENT_ONLINE || kind == ZELT_EVENT_ONLINE2;
}

} // namespace

CDeviceHub::CDeviceHub() = default;

CDeviceHub::~CDeviceHub()
{
    Stop();
}

void CDeviceHub::Register(DeviceCallback pCallback, void *pContext)
{
    QMutexLocker lock(&m_mutex);
    m_registrations.append(qMakePair(pCallback, pContext));
}

bool CDeviceHub::Start()
{
    ZELT_SetLogToFile(3, nullptr, 1);
    m_bStarted = ZELT_Start_V30(&CDeviceHub::OnSdkDevice, 0, this) == 1;
    return m_bStarted;
}

void CDeviceHub::Stop()
{
    if (m_bStarted) {
        ZELT_Stop();
        m_bStarted = false;
    }
}

void CDeviceHub::FromSdkRecord(const ZELT_DEVICE_INFO &info, ZELT_DEVICE_EVENT &ev)
{
    std::memset(&ev, 0, sizeof ev);
    putText(ev.szSerialNO, info.szSerialNO);
    putText(ev.szMAC, info.szMAC);
    putText(ev.szIPv4Address, info.szIPv4Address);
    putText(ev.szIPv4SubnetMask, info.szIPv4SubnetMask);
    ev.dwDeviceType = info.dwDeviceType;
    ev.dwPort = info.dwPort;
    ev.dwChannels = info.dwNumberOfEncoders;
    ev.dwDeviceCount = info.dwNumberOfHardDisk;
    putText(ev.szSoftwareVersion, info.szDeviceSoftwareVersion);
    putText(ev.szDSPVersion, info.szDSPVersion);
    putText(ev.szStartTime, info.szBootTime);
    ev.iEventKind = info.iResult;
    putText(ev.szDeviceType, info.szDevDesc);
    putText(ev.szIPv4Gateway, info.szIPv4Gateway);
    putText(ev.szIPv6Address, info.szIPv6Address);
    putText(ev.szIPv6Gateway, info.szIPv6Gateway);
    ev.byIPv6PrefixLen = info.byIPv6MaskLen;
    ev.bySupport = info.bySupport;
    ev.byDhcp = info.byDhcpEnabled;
    ev.byExtendInfo = info.byExtendInfo;
    ev.wHttpPort = info.wHttpPort;
    ev.byActivated = info.byActivated;
    ev.byProtocol = info.byProtocol;
    ev.byTrust = info.byTrust;
    ev.byClockKnown = info.byClockKnown;
    ev.iClockOffset = info.iClockOffset;
}

void ZELT_CALLBACK CDeviceHub::OnSdkDevice(const ZELT_DEVICE_INFO *pInfo, void *pUser)
{
    if (!pInfo || !pUser)
        return;
    ZELT_DEVICE_EVENT ev;
    FromSdkRecord(*pInfo, ev);
    static_cast<CDeviceHub *>(pUser)->HandleEvent(ev);
}

void CDeviceHub::HandleEvent(const ZELT_DEVICE_EVENT &event)
{
    QMutexLocker lock(&m_mutex);
    UpdateCacheLocked(event);
    for (const auto &reg : m_registrations)
        reg.first(&event, reg.second);
}

void CDeviceHub::UpdateCacheLocked(const ZELT_DEVICE_EVENT &event)
{
    const QByteArray key = ZeltRecords::deviceKey(event);
    const auto it = m_cacheIndex.constFind(key);
    const qsizetype i = it == m_cacheIndex.constEnd() ? -1 : it.value();

    if (isOnline(event.iEventKind)) {
        // A device announced again replaces its entry, so a tool opened later
        // sees each present device once, with its current data.
        if (i >= 0) {
            m_cache[i] = event;
        } else {
            m_cacheIndex.insert(key, m_cache.size());
            m_cache.append(event);
        }
    } else if (event.iEventKind == ZELT_EVENT_CHANGED) {
        if (i >= 0) {
            // Keep the online kind: the cache is replayed as online records.
            const int32_t kind = m_cache.at(i).iEventKind;
            m_cache[i] = event;
            m_cache[i].iEventKind = kind;
        }
    } else if (event.iEventKind == ZELT_EVENT_OFFLINE) {
        if (i >= 0)
            RemoveCachedLocked(i);
    }
}

void CDeviceHub::RemoveCachedLocked(qsizetype i)
{
    m_cacheIndex.remove(ZeltRecords::deviceKey(m_cache.at(i)));
    m_cache[i].iEventKind = 0;
    if (++m_cacheHoles * 2 < m_cache.size())
        return;
    // Squeeze the holes out, keeping the arrival order, and renumber.
    qsizetype out = 0;
    for (qsizetype in = 0; in < m_cache.size(); ++in) {
        if (m_cache.at(in).iEventKind == 0)
            continue;
        if (out != in)
            m_cache[out] = m_cache.at(in);
        m_cacheIndex[ZeltRecords::deviceKey(m_cache.at(out))] = out;
        ++out;
    }
    m_cache.resize(out);
    m_cacheHoles = 0;
}

void CDeviceHub::ReplayLocked(int iTypeId, ContextTypeFunc typeOf)
{
    for (const auto &reg : m_registrations) {
        if (typeOf(reg.second) != iTypeId)
            continue;
        for (const ZELT_DEVICE_EVENT &ev : m_cache)
            if (ev.iEventKind != 0)
                reg.first(&ev, reg.second);
    }
}

QList<ZELT_DEVICE_EVENT> CDeviceHub::CacheSnapshot()
{
    QMutexLocker lock(&m_mutex);
    QList<ZELT_DEVICE_EVENT> present;
    present.reserve(m_cache.size() - m_cacheHoles);
    for (const ZELT_DEVICE_EVENT &ev : m_cache)
        if (ev.iEventKind != 0)
            present.append(ev);
    return present;
}

void CDeviceHub::BuildNetParam(ZELT_NET_PARAM &param, const char *ipv4, const char *mask, const char *port,
                               const char *httpPort, const char *gateway, const char *ipv6, const char *ipv6Gateway,
                               unsigned char prefixLen, unsigned char dhcp)
{
    std::memset(&param, 0, sizeof param);
    putText(param.szIPv4Address, QByteArray(ipv4));
    putText(param.szIPv4SubnetMask, QByteArray(mask));
    putText(param.szIPv4Gateway, QByteArray(gateway));
    putText(param.szIPv6Address, QByteArray(ipv6));
    putText(param.szIPv6Gateway, QByteArray(ipv6Gateway));
    param.wPort = portFromText(port);
    param.wHttpPort = portFromText(httpPort);
    param.byIPv6MaskLen = prefixLen;
    param.byDhcpEnable = dhcp;
}

bool CDeviceHub::ModifyNetParam(const char *mac, const char *ipv4, const char *mask, const char *password,
                                const char *port, const char *httpPort, const char *gateway, const char *ipv6,
                                const char *ipv6Gateway, unsigned char prefixLen, unsigned char dhcp)
{
    ZELT_NET_PARAM param;
    BuildNetParam(param, ipv4, mask, port, httpPort, gateway, ipv6, ipv6Gateway, prefixLen, dhcp);
    return ZELT_ModifyDeviceNetParam(mac, password, &param) == 1;
}
