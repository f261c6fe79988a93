#pragma once
// A panel driven as a user would: its widgets by object name (a missing one
// fails the test), clicks on rows and buttons, typing into fields, and the
// wait until an action is over (commands done, summary told).

#include <QAbstractButton>
#include <QLineEdit>
#include <QList>
#include <QtTest>

#include "CTableView.h"
#include "QtZelt.h"
#include "QtZeltItemModel.h"
#include "ZeltTestWidgets.h"

namespace ZeltTest {

class PanelDriver
{
public:
    QtZelt *Panel() const { return m_panel; }
    QtZeltItemModel *Model() const { return m_panel->Model(); }
    CTableView *Table() const { return W<CTableView>("tableWidgetDevice"); }
    template <typename T>
    T *W(const char *name, const char *file = __builtin_FILE(), int line = __builtin_LINE()) const
    {
        return Child<T>(m_panel, name, file, line);
    }
    // Selects these rows in this order with a click and Ctrl-clicks.
    void Select(const QList<int> &rows) const { SelectRows(Table(), rows); }
    void Click(const char *button) const { ZeltTest::Click(W<QAbstractButton>(button)); }
    void Type(const char *field, const QString &text) const { ZeltTest::Type(W<QLineEdit>(field), text); }
    bool WaitIdle(int timeoutMs = 30000) const
    {
        return QTest::qWaitFor([this] { return !m_panel->IsBusy(); }, timeoutMs);
    }
    // A click on a button and the wait until its action is over.
    bool Act(const char *button) const
    {
        Click(button);
        return WaitIdle();
    }

protected:
    QtZelt *m_panel = nullptr;
};

} // namespace ZeltTest
