#pragma once
// The panel as the shell hosts it, for the end-to-end tests and the batch
// benchmark: in a window of its own, fed by the shell's discovery hub with
// the real engine behind it, its network changes made through the hub.
// The host's services are plain functions without a context, so one such
// panel runs at a time.

#include <QItemSelectionModel>
#include <QJsonObject>
#include <QList>
#include <QString>

#include <atomic>

#include "CTableView.h"
#include "QtZelt.h"
#include "QtZeltItemModel.h"
#include "ZeltTestSupport.h"

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
    // A widget of the panel by its object name; the program ends if there
    // is none, as every caller relies on it.
    template <typename T>
    T *W(const char *name) const
    {
        return Child<T>(m_panel, name);
    }

protected:
    QWidget *m_host = nullptr;
    QtZelt *m_panel = nullptr;

private:
    CDeviceHub *m_hub = nullptr;
};

// Selects these rows of the panel's table in this order (one selection
// range each) and releases the mouse on the last, as a user's ctrl-clicks do.
inline void SelectRows(QtZelt *panel, const QList<int> &rows)
{
    QtZeltItemModel *model = panel->Model();
    QItemSelectionModel *sel = Child<CTableView>(panel, "tableWidgetDevice")->selectionModel();
    sel->clearSelection();
    for (int r : rows)
        sel->select(model->index(r, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    sel->setCurrentIndex(model->index(rows.last(), 0), QItemSelectionModel::NoUpdate);
    panel->OnDeviceTableClicked(model->index(rows.last(), 0));
}

// The simulator's record of the device whose `key` is `value`, read from
// its state file; empty if there is none.
QJsonObject SimDeviceState(const QString &stateFile, const QString &key, const QString &value);

} // namespace ZeltTest
