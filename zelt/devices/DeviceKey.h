#pragma once
// A device's identity in the panel: its serial number and MAC address
// together (two devices may share a serial number). Rows carry it in a role
// of their own, and every look-up of a row's device goes by it, never by
// what a row shows. Copies share one pair of texts, so that the records'
// index, the rows' index and every row hold the same one.

#include <QHashFunctions>
#include <QMetaType>
#include <QString>

#include <memory>
#include <utility>

#include "ZeltDeviceRecords.h"

class DeviceKey
{
public:
    DeviceKey() = default;
    DeviceKey(const QString &serial, const QString &mac)
        : m_texts(std::make_shared<const std::pair<QString, QString>>(serial, mac))
    {}
    static DeviceKey Of(const ZELT_DEVICE_INFO_MY &d)
    {
        return {ZeltRecords::text(d.szSerialNO), ZeltRecords::text(d.szMAC)};
    }

    const QString &Serial() const { return m_texts ? m_texts->first : None(); }
    const QString &Mac() const { return m_texts ? m_texts->second : None(); }
    bool operator==(const DeviceKey &other) const
    {
        return m_texts == other.m_texts || (Serial() == other.Serial() && Mac() == other.Mac());
    }

private:
    static const QString &None()
    {
        static const QString none;
        return none;
    }

    std::shared_ptr<const std::pair<QString, QString>> m_texts;
};

inline size_t qHash(const DeviceKey &key, size_t seed = 0)
{
    return qHashMulti(seed, key.Serial(), key.Mac());
}

// Two pointers, moved as bytes: kept inside the QVariant of a row's role.
Q_DECLARE_TYPEINFO(DeviceKey, Q_RELOCATABLE_TYPE);
Q_DECLARE_METATYPE(DeviceKey)
