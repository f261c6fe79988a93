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

#include "CTableView.h"
#include "QtZelt.h"
#include "QtZeltItemModel.h"
#include "ZeltTestSupport.h"
#include "ZeltTestWidgets.h"

class CDeviceHub;

namespace ZeltTest {

// Network changes the panel has asked its host for (from any thread).
extern std::atomic<int> g_modifyCalls;

class HubPanel
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

    QtZelt *Panel() const { return m_panel; }
    QtZeltItemModel *Model() const;
    CTableView *Table() const;
    // A widget of the panel by its object name (a missing one fails the test).
    template <typename T>
    T *W(const char *name, const char *file = __builtin_FILE(), int line = __builtin_LINE()) const
    {
        return Child<T>(m_panel, name, file, line);
    }
    // Selects these rows in this order with clicks and Ctrl-clicks.
    void Select(const QList<int> &rows) const { SelectRows(Table(), rows); }
    // Clicks a button of the panel.
    void Click(const char *name) const { ZeltTest::Click(W<QAbstractButton>(name)); }
    // Types into a field of the panel.
    void Type(const char *name, const QString &text) const { ZeltTest::Type(W<QLineEdit>(name), text); }
    // Waits until the panel's action is over (commands done, summary told).
    bool WaitIdle(int timeoutMs = 30000) const;

protected:
    QWidget *m_host = nullptr;
    QtZelt *m_panel = nullptr;

private:
    CDeviceHub *m_hub = nullptr;
};

// The simulator's record of the device whose `key` is `value`, read from
// its state file; empty if there is none.
QJsonObject SimDeviceState(const QString &stateFile, const QString &key, const QString &value);

} // namespace ZeltTest
