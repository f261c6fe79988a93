// Device records that cross from the shell to the tool libraries.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include <QByteArray>
#include <QMetaType>
#include <QString>

#pragma pack(push, 1)

// The event record the hub hands to every tool library. Its layout is the
// interface between separately built libraries: never reorder.
struct ZELT_DEVICE_EVENT {
    char szReserved[12];        //   0 always empty
    char szSerialNO[48];        //  12
    char szMAC[20];             //  60
    char szIPv4Address[16];     //  80
    char szIPv4SubnetMask[16];  //  96
    uint32_t dwDeviceType;      // 112
    uint32_t dwPort;            // 116
    uint32_t dwChannels;        // 120
    uint32_t dwDeviceCount;     // 124
    char szSoftwareVersion[48]; // 128
    char szDSPVersion[48];      // 176
    char szStartTime[48];       // 224
    int32_t iEventKind;         // 272 1 online, 2 changed, 3 offline, 4 online
    char szDeviceType[24];      // 276
    uint8_t byRes1[24];         // 300
    char szIPv4Gateway[16];     // 324
    char szIPv6Address[46];     // 340
    char szIPv6Gateway[46];     // 386
    uint8_t byIPv6PrefixLen;    // 432
    uint8_t bySupport;          // 433
    uint8_t byDhcp;             // 434
    uint8_t byExtendInfo;       // 435
    uint16_t wHttpPort;         // 436
    uint8_t byProtocol;         // 438 ZELT_PROTOCOL_*: how the device was found
    uint8_t byClockKnown;       // 439 1 = iClockOffset was measured
    int32_t iClockOffset;       // 440 the device's clock minus this computer's, seconds
    uint8_t byRes2[15];         // 444
    uint8_t byActivated;        // 459 0 = active
    uint8_t byTrust;            // 460 ZELT_TRUST_*: how its identity is known
    uint8_t byRes3[39];         // 461
};

#pragma pack(pop)

static_assert(sizeof(ZELT_DEVICE_EVENT) == 500);
static_assert(offsetof(ZELT_DEVICE_EVENT, szSerialNO) == 12);
static_assert(offsetof(ZELT_DEVICE_EVENT, szMAC) == 60);
static_assert(offsetof(ZELT_DEVICE_EVENT, szIPv4Address) == 80);
static_assert(offsetof(ZELT_DEVICE_EVENT, szIPv4SubnetMask) == 96);
static_assert(offsetof(ZELT_DEVICE_EVENT, dwDeviceType) == 112);
static_assert(offsetof(ZELT_DEVICE_EVENT, dwPort) == 116);
static_assert(offsetof(ZELT_DEVICE_EVENT, dwChannels) == 120);
static_assert(offsetof(ZELT_DEVICE_EVENT, dwDeviceCount) == 124);
static_assert(offsetof(ZELT_DEVICE_EVENT, szSoftwareVersion) == 128);
static_assert(offsetof(ZELT_DEVICE_EVENT, szDSPVersion) == 176);
static_assert(offsetof(ZELT_DEVICE_EVENT, szStartTime) == 224);
static_assert(offsetof(ZELT_DEVICE_EVENT, iEventKind) == 272);
static_assert(offsetof(ZELT_DEVICE_EVENT, szDeviceType) == 276);
static_assert(offsetof(ZELT_DEVICE_EVENT, byRes1) == 300);
static_assert(offsetof(ZELT_DEVICE_EVENT, szIPv4Gateway) == 324);
static_assert(offsetof(ZELT_DEVICE_EVENT, szIPv6Address) == 340);
static_assert(offsetof(ZELT_DEVICE_EVENT, szIPv6Gateway) == 386);
static_assert(offsetof(ZELT_DEVICE_EVENT, byIPv6PrefixLen) == 432);
static_assert(offsetof(ZELT_DEVICE_EVENT, bySupport) == 433);
static_assert(offsetof(ZELT_DEVICE_EVENT, byDhcp) == 434);
static_assert(offsetof(ZELT_DEVICE_EVENT, byExtendInfo) == 435);
static_assert(offsetof(ZELT_DEVICE_EVENT, wHttpPort) == 436);
static_assert(offsetof(ZELT_DEVICE_EVENT, byProtocol) == 438);
static_assert(offsetof(ZELT_DEVICE_EVENT, byClockKnown) == 439);
static_assert(offsetof(ZELT_DEVICE_EVENT, iClockOffset) == 440);
static_assert(offsetof(ZELT_DEVICE_EVENT, byRes2) == 444);
static_assert(offsetof(ZELT_DEVICE_EVENT, byActivated) == 459);
static_assert(offsetof(ZELT_DEVICE_EVENT, byTrust) == 460);
static_assert(offsetof(ZELT_DEVICE_EVENT, byRes3) == 461);

// The device-search plug-in's own copy of a device, carried by value in
// queued signals.
struct ZELT_DEVICE_INFO_MY {
    char szSerialNO[48];
    char szMAC[20];
    char szIPv4Address[16];
    char szIPv4SubnetMask[16];
    uint32_t dwDeviceType;
    uint32_t dwPort;
    uint32_t dwHttpPort;
    uint32_t dwChannels;
    uint32_t dwDeviceCount;
    char szSoftwareVersion[48];
    char szDSPVersion[48];
    char szStartTime[48];
    char szDeviceType[24];
    char szIPv4Gateway[16];
    char szIPv6Address[46];
    char szIPv6Gateway[46];
    uint8_t byIPv6PrefixLen;
    uint8_t bySupport;
    uint8_t byDhcp;
    uint8_t byExtendInfo;
    uint8_t byActivated;
    uint8_t byProtocol;
    uint8_t byTrust;
    uint8_t byClockKnown;
    int32_t iClockOffset; // the device's clock minus this computer's, seconds (when byClockKnown)
};

Q_DECLARE_METATYPE(ZELT_DEVICE_INFO_MY)

namespace ZeltRecords {

// Text of a fixed-width field. A field that fills its width without a NUL
// is read up to its width and never past it.
template <std::size_t N>
inline QString text(const char (&field)[N])
{
    return QString::fromLatin1(field, static_cast<qsizetype>(::strnlen(field, N)));
}

template <std::size_t N>
inline QByteArray bytes(const char (&field)[N])
{
    return QByteArray(field, static_cast<qsizetype>(::strnlen(field, N)));
}

// Whether two fixed-width text fields hold the same text.
template <std::size_t N>
inline bool sameText(const char (&a)[N], const char (&b)[N])
{
    const std::size_t la = ::strnlen(a, N);
    return la == ::strnlen(b, N) && std::memcmp(a, b, la) == 0;
}

// How much of a fixed-width field a text may take: all but the byte kept
// for the terminating NUL, or the whole width (fields that are read by
// their width, never as C strings).
enum class FieldEnd { Nul, Full };

// The one way text goes into a fixed-width field of these records and the
// engine's: the field is cleared, then takes the text cut to what fits.
template <std::size_t N>
inline void putText(char (&field)[N], const char *data, std::size_t size, FieldEnd end = FieldEnd::Nul)
{
    std::memset(field, 0, N);
    if (data)
        std::memcpy(field, data, std::min(size, end == FieldEnd::Full ? N : N - 1));
}

template <std::size_t N>
inline void putText(char (&field)[N], const QByteArray &text, FieldEnd end = FieldEnd::Nul)
{
    putText(field, text.constData(), static_cast<std::size_t>(text.size()), end);
}

// A field of another record, as it stands (a full-width text stays whole).
template <std::size_t N, std::size_t M>
inline void putText(char (&field)[N], const char (&from)[M])
{
    static_assert(N == M, "fields mirror each other");
    putText(field, from, ::strnlen(from, M), FieldEnd::Full);
}

// The plug-in's record for an online or changed event.
inline ZELT_DEVICE_INFO_MY buildDeviceInfo(const ZELT_DEVICE_EVENT &ev)
{
    ZELT_DEVICE_INFO_MY my;
    std::memset(&my, 0, sizeof my);
    putText(my.szSerialNO, ev.szSerialNO);
    putText(my.szMAC, ev.szMAC);
    putText(my.szIPv4Address, ev.szIPv4Address);
    putText(my.szIPv4SubnetMask, ev.szIPv4SubnetMask);
    putText(my.szSoftwareVersion, ev.szSoftwareVersion);
    putText(my.szDSPVersion, ev.szDSPVersion);
    putText(my.szStartTime, ev.szStartTime);
    putText(my.szDeviceType, ev.szDeviceType);
    putText(my.szIPv4Gateway, ev.szIPv4Gateway);
    putText(my.szIPv6Address, ev.szIPv6Address);
    putText(my.szIPv6Gateway, ev.szIPv6Gateway);
    my.dwDeviceType = ev.dwDeviceType;
    my.dwPort = ev.dwPort;
    my.dwChannels = ev.dwChannels;
    my.dwDeviceCount = ev.dwDeviceCount;
    my.dwHttpPort = ev.wHttpPort;
    my.byIPv6PrefixLen = ev.byIPv6PrefixLen;
    my.bySupport = ev.bySupport;
    my.byDhcp = ev.byDhcp;
    my.byExtendInfo = ev.byExtendInfo;
    my.byActivated = ev.byActivated;
    my.byProtocol = ev.byProtocol;
    my.byTrust = ev.byTrust;
    my.byClockKnown = ev.byClockKnown;
    my.iClockOffset = ev.iClockOffset;
    return my;
}

// A device is known by its serial number and MAC together: two devices
// may share a serial number.
inline QByteArray deviceKey(const ZELT_DEVICE_EVENT &ev)
{
    return bytes(ev.szSerialNO) + '\0' + bytes(ev.szMAC);
}

// Registers the record with the meta-type system; call before connecting
// any signal that carries it. Safe to call more than once.
inline void registerMetaTypes()
{
    qRegisterMetaType<ZELT_DEVICE_INFO_MY>("ZELT_DEVICE_INFO_MY");
}

} // namespace ZeltRecords
