#pragma once
// Helpers shared by the plug-in tests, benchmarks and tools: loading the
// real libZeltscan.so and building device event records.

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>

#include "ToolServices.h"
#include "ZeltDeviceRecords.h"

namespace ZeltTest {

struct Plugin {
    void *handle = nullptr;
    TBX_OpenDialogFunc open = nullptr;
    TBX_ChangeSizeFunc changeSize = nullptr;
    TBX_DeviceCallbackFunc callBack = nullptr;
    QString path;
    QString error;

    bool Load()
    {
        const char *dir = std::getenv("TOOLBAY_BIN_DIR");
        path = QString::fromLocal8Bit(dir ? dir : ".") + QStringLiteral("/libZeltscan.so");
        handle = dlopen(path.toLocal8Bit().constData(), RTLD_NOW | RTLD_LOCAL);
        if (!handle) {
            error = QString::fromLocal8Bit(dlerror());
            return false;
        }
        open = reinterpret_cast<TBX_OpenDialogFunc>(dlsym(handle, "TBX_ZELT_OpenDialog"));
        changeSize = reinterpret_cast<TBX_ChangeSizeFunc>(dlsym(handle, "TBX_ZELT_ChangeSize"));
        callBack = reinterpret_cast<TBX_DeviceCallbackFunc>(dlsym(handle, "TBX_ZELT_CallBack"));
        return open && changeSize && callBack;
    }
};

// Test records may fill a field to its full width.
template <std::size_t N>
inline void Put(char (&field)[N], const QByteArray &text)
{
    ZeltRecords::putText(field, text, ZeltRecords::FieldEnd::Full);
}

// A complete, extended record of device number i (unique serial and MAC).
inline ZELT_DEVICE_EVENT MakeEvent(int kind, int i)
{
    ZELT_DEVICE_EVENT ev;
    std::memset(&ev, 0, sizeof ev);
    ev.iEventKind = kind;
    Put(ev.szSerialNO, QByteArray("ZC-") + QByteArray::number(100000 + i));
    char mac[20];
    std::snprintf(mac, sizeof mac, "02-00-00-%02x-%02x-%02x", (i >> 16) & 0xff, (i >> 8) & 0xff, i & 0xff);
    Put(ev.szMAC, mac);
    Put(ev.szIPv4Address, QByteArray("10.") + QByteArray::number((i >> 16) & 0xff) + '.'
                              + QByteArray::number((i >> 8) & 0xff) + '.' + QByteArray::number(i & 0xff));
    Put(ev.szIPv4SubnetMask, "255.255.0.0");
    Put(ev.szIPv4Gateway, "10.0.0.1");
    ev.dwDeviceType = 0x1234;
    ev.dwPort = 8000;
    ev.dwChannels = 4;
    ev.dwDeviceCount = 1;
    Put(ev.szSoftwareVersion, "V5.4.0 build 200101");
    Put(ev.szDSPVersion, "V7.3 build 191230");
    Put(ev.szStartTime, "2026-12-01 08:00:00");
    Put(ev.szDeviceType, "ZC-2042");
    Put(ev.szIPv6Address, "fd00::10");
    Put(ev.szIPv6Gateway, "fd00::1");
    ev.byIPv6PrefixLen = 64;
    ev.bySupport = 0x07;
    ev.byDhcp = 0;
    ev.byExtendInfo = 1;
    ev.wHttpPort = 80;
    ev.byActivated = 0;
    return ev;
}

} // namespace ZeltTest
