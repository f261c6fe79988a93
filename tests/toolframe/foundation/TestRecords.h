// Building device records for hub tests.
#ifndef TEST_RECORDS_H
#define TEST_RECORDS_H

#include <cstring>

#include <QByteArray>
#include <QStringList>

#include "CBaseFrame.h"
#include "ZeltDeviceRecords.h"
#include "zelt_sdk.h"

inline ZELT_DEVICE_EVENT MakeEvent(int kind, const QByteArray &serial, const QByteArray &ip = "192.168.1.64")
{
    ZELT_DEVICE_EVENT ev;
    std::memset(&ev, 0, sizeof ev);
    ev.iEventKind = kind;
    std::memcpy(ev.szSerialNO, serial.constData(), qMin<qsizetype>(serial.size(), sizeof ev.szSerialNO));
    std::memcpy(ev.szIPv4Address, ip.constData(), qMin<qsizetype>(ip.size(), sizeof ev.szIPv4Address - 1));
    return ev;
}

// A page that records the device events it receives as "kind serial ip".
class CRecordingPage : public CBaseFrame
{
public:
    explicit CRecordingPage(int type, QWidget *parent = nullptr)
        : CBaseFrame(parent)
        , m_type(type)
    {
    }
    ~CRecordingPage() override
    {
        // Leave the store before this part of the object goes away.
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

#endif
