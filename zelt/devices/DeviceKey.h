#pragma once
// A device's identity in the panel: its serial number and MAC address
// together (two devices may share a serial number). Rows carry it in a role
// of their own, and every look-up of a row's device goes by it, never by
// what a row shows.

#include <QHashFunctions>
#include <QMetaType>
#include <QString>

#include "ZeltDeviceRecords.h"

struct DeviceKey {
    QString serial;
    QString mac;

    static DeviceKey Of(const ZELT_DEVICE_INFO_MY &d)
    {
        return {ZeltRecords::text(d.szSerialNO), ZeltRecords::text(d.szMAC)};
    }
    bool operator==(const DeviceKey &other) const = default;
};

inline size_t qHash(const DeviceKey &key, size_t seed = 0)
{
    return qHashMulti(seed, key.serial, key.mac);
}

Q_DECLARE_METATYPE(DeviceKey)
