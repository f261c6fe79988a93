#pragma once
// The panel as the shell hosts it, for the end-to-end tests and the batch
// benchmark: in a window of its own, fed by the shell's discovery hub with
// the real engine behind it, its network changes made through the hub.
// The host's services are plain functions without a context, so one such
// panel runs at a time.

#include <QJsonObject>
#include <QList>
#include <QString>

#include <atomic>

#include "ZeltPanelDriver.h"
#include "ZeltTestSupport.h"

class CDeviceHub;

namespace ZeltTest {

// Network changes the panel has asked its host for (from any thread).
extern std::atomic<int> g_modifyCalls;

class HubPanel : public PanelDriver
{
public:
    HubPanel() = default;
    ~HubPanel();
    HubPanel(const HubPanel &) = delete;
    HubPanel &operator=(const HubPanel &) = delete;

    // Shows the panel in a 1280x900 host window, then starts the hub with
    // the panel as its receiver. False if another one runs or the engine
    // did not start.
    bool StartPanel();
    // Stops the hub (no event arrives afterwards), then closes the window.
    // Safe after a failed or no start.
    void StopPanel();

protected:
    QWidget *m_host = nullptr;

private:
    CDeviceHub *m_hub = nullptr;
};

// The simulator's record of the device whose `key` is `value`, read from
// its state file; empty if there is none.
QJsonObject SimDeviceState(const QString &stateFile, const QString &key, const QString &value);

} // namespace ZeltTest
