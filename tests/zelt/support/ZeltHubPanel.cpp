#include "ZeltHubPanel.h"

#include <QFile>
#include <QGridLayout>
#include <QJsonArray>
#include <QJsonDocument>

#include "CDeviceHub.h"
#include "zelt_sdk.h"

namespace ZeltTest {

std::atomic<int> g_modifyCalls{0};

namespace {
// The hub of the running panel, for the host's services.
CDeviceHub *s_hub = nullptr;

void Forward(const ZELT_DEVICE_EVENT *ev, void *)
{
    OnDeviceEvent(ev, 0);
}
bool HostModify(const char *mac, const char *ipv4, const char *mask, const char *password, const char *port,
                const char *http, const char *gateway, const char *ipv6, const char *ipv6Gateway, unsigned char prefix,
                unsigned char dhcp)
{
    ++g_modifyCalls;
    return s_hub->ModifyNetParam(mac, ipv4, mask, password, port, http, gateway, ipv6, ipv6Gateway, prefix, dhcp);
}
bool HostRefresh()
{
    return ZELT_SendInquiry() == 1;
}
} // namespace

HubPanel::~HubPanel()
{
    StopPanel();
}

bool HubPanel::StartPanel()
{
    if (s_hub || m_host)
        return false;
    m_host = new QWidget;
    auto *layout = new QGridLayout(m_host);
    m_panel = new QtZelt(m_host, &HostModify, nullptr, &HostRefresh);
    layout->addWidget(m_panel);
    m_host->resize(1280, 900);
    m_host->show();

    m_hub = new CDeviceHub;
    s_hub = m_hub;
    m_hub->Register(&Forward, nullptr);
    return m_hub->Start();
}

void HubPanel::StopPanel()
{
    if (m_hub) {
        m_hub->Stop();
        delete m_hub;
        m_hub = nullptr;
        s_hub = nullptr;
    }
    delete m_host;
    m_host = nullptr;
    m_panel = nullptr;
}

QJsonObject SimDeviceState(const QString &stateFile, const QString &key, const QString &value)
{
    QFile f(stateFile);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    for (const QJsonValue &v : QJsonDocument::fromJson(f.readAll()).object().value("devices").toArray())
        if (v.toObject().value(key).toString() == value)
            return v.toObject();
    return {};
}

} // namespace ZeltTest
