// Building device records for hub tests.
#pragma once

#include <cstring>

#include <QByteArray>
#include <QStringList>

#include "CBaseFrame.h"
#include "ZeltDeviceRecords.h"
#include "zelt_sdk.h"

inline ZELT_DEVICE_EVENT MakeEvent(int kind, const QByteArray &serial, const QByteArray &ip = "192.168.1.64",
                                   const QByteArray &mac = QByteArray())
{
    ZELT_DEVICE_EVENT ev;
    std::memset(&ev, 0, sizeof ev);
    ev.iEventKind = kind;
    ZeltRecords::putText(ev.szSerialNO, serial, ZeltRecords::FieldEnd::Full);
    ZeltRecords::putText(ev.szIPv4Address, ip);
    ZeltRecords::putText(ev.szMAC, mac);
    return ev;
}

// A page that records the device events it receives as "kind serial ip".
class CRecordingPage : public CBaseFrame
{
public:
    explicit CRecordingPage(int type, QWidget *parent = nullptr) : CBaseFrame(parent), m_type(type) {}
    ~CRecordingPage() override
    {
        // Leave the store before this part of the object goes away.
        if (CViewStoregeManager::Exists())
            CViewStoregeManager::Instance()->RemovePage(this);
    }
    int GetTypeId() override { return m_type; }
    void DeviceEvent(const ZELT_DEVICE_EVENT *ev) override
    {
        m_events << QStringLiteral("%1 %2 %3")
                        .arg(ev->iEventKind)
                        .arg(ZeltRecords::text(ev->szSerialNO), ZeltRecords::text(ev->szIPv4Address));
    }
    QStringList m_events; // written on the delivering thread under the hub mutex
    int m_type;
};
