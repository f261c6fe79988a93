// The discovery hub: receives the engine's device events, keeps the cache of
// present devices and hands every event to the registered receivers.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMutex>
#include <QPair>

#include "ZeltDeviceRecords.h"
#include "zelt_sdk.h"

class CDeviceHub
{
public:
    typedef void (*DeviceCallback)(const ZELT_DEVICE_EVENT *pEvent, void *pContext);

    CDeviceHub();
    ~CDeviceHub(); // stops the engine first if this hub started it
    CDeviceHub(const CDeviceHub &) = delete;
    CDeviceHub &operator=(const CDeviceHub &) = delete;

    // Appends a receiver; receivers are never removed.
    void Register(DeviceCallback pCallback, void *pContext);

    // Starts the engine with this hub as its receiver; true if it started.
    bool Start();
    // Stops the engine if this hub started it; afterwards no event arrives.
    void Stop();

    bool ModifyNetParam(const char *mac, const char *ipv4, const char *mask, const char *password, const char *port,
                        const char *httpPort, const char *gateway, const char *ipv6, const char *ipv6Gateway,
                        unsigned char prefixLen, unsigned char dhcp);

    // Delivers every cached record, in cache order, to each receiver whose
    // context is for iTypeId. The caller holds the mutex (page creation).
    typedef int (*ContextTypeFunc)(void *pContext);
    void ReplayLocked(int iTypeId, ContextTypeFunc typeOf);

    // The engine's device callback (engine thread); pUser is the hub.
    static void ZELT_CALLBACK OnSdkDevice(const ZELT_DEVICE_INFO *pInfo, void *pUser);
    // Cache update and fan-out for one record, under the mutex.
    void HandleEvent(const ZELT_DEVICE_EVENT &event);

    // Builds the event record from the engine's record.
    static void FromSdkRecord(const ZELT_DEVICE_INFO &info, ZELT_DEVICE_EVENT &event);
    // Builds the engine's network parameter block; null texts stay empty.
    static void BuildNetParam(ZELT_NET_PARAM &param, const char *ipv4, const char *mask, const char *port,
                              const char *httpPort, const char *gateway, const char *ipv6, const char *ipv6Gateway,
                              unsigned char prefixLen, unsigned char dhcp);

    QMutex &Mutex() { return m_mutex; }
    QList<ZELT_DEVICE_EVENT> CacheSnapshot();

private:
    void UpdateCacheLocked(const ZELT_DEVICE_EVENT &event);
    void RemoveCachedLocked(qsizetype i);

    QMutex m_mutex;
    QList<QPair<DeviceCallback, void *>> m_registrations;
    // Cache in arrival order. A device that goes offline leaves a hole
    // (iEventKind 0) so that the index stays valid; holes are squeezed out
    // once they make up half of the list. Lookups by serial number and MAC go
    // through m_cacheIndex, so a burst of events costs O(1) each.
    QList<ZELT_DEVICE_EVENT> m_cache;
    QHash<QByteArray, qsizetype> m_cacheIndex;
    qsizetype m_cacheHoles = 0;
    bool m_bStarted = false;
};
