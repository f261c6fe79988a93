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

#include "ZeltDeviceRecords.h"

class DeviceKey
{
public:
    DeviceKey() = default;
    DeviceKey(const QString &serial, const QString &mac)
        : m_texts(std::make_shared<const Texts>(Texts{serial, mac, qHashMulti(0, serial, mac)}))
    {}
    static DeviceKey Of(const ZELT_DEVICE_INFO_MY &d)
    {
        return {ZeltRecords::text(d.szSerialNO), ZeltRecords::text(d.szMAC)};
    }

    const QString &Serial() const { return m_texts ? m_texts->serial : None(); }
    const QString &Mac() const { return m_texts ? m_texts->mac : None(); }
    // Worked out once: the indexes and every pass over the rows hash keys.
    size_t Hash() const { return m_texts ? m_texts->hash : NoneHash(); }
    bool operator==(const DeviceKey &other) const
    {
        return m_texts == other.m_texts
               || (Hash() == other.Hash() && Serial() == other.Serial() && Mac() == other.Mac());
    }

private:
    static const QString &None()
    {
        static const QString none;
        return none;
    }
    static size_t NoneHash()
    {
        static const size_t hash = qHashMulti(0, None(), None());
        return hash;
    }

    struct Texts {
        QString serial;
        QString mac;
        size_t hash;
    };
    std::shared_ptr<const Texts> m_texts;
};

inline size_t qHash(const DeviceKey &key, size_t seed = 0)
{
    return qHash(key.Hash(), seed);
}

// Two pointers, moved as bytes: kept inside the QVariant of a row's role.
Q_DECLARE_TYPEINFO(DeviceKey, Q_RELOCATABLE_TYPE);
Q_DECLARE_METATYPE(DeviceKey)
