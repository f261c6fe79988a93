#pragma once
// One panel action's device commands from start to summary: a command per
// device, guarded as the device's identity asks; the one consent question
// before anything is sent; the run; each success applied to its row as the
// device answers; and a continuation that owns the devices and tells the
// outcome.

#include <QList>
#include <QString>

#include <functional>

#include "CZeltBatchRunner.h"
#include "CZeltConsent.h"
#include "CZeltDeviceController.h"

class QObject;
class QWidget;
class CZeltRunSummary;

class CZeltDeviceAction
{
public:
    using Target = CZeltDeviceController::Target;

    explicit CZeltDeviceAction(CZeltDeviceController &devices) : m_devices(devices) {}

    // The next device and its command, which carries a secret: sent as it
    // is, after the user's consent, or refused, as the device's trust asks.
    // strNote goes with the device to onSucceeded (a run's address for it);
    // strLabel is what the progress dialog shows while it runs (by default
    // the row's ID, serial number and address).
    void Add(const Target &target, std::function<bool()> command, const QString &strNote = QString(),
             const QString &strLabel = QString());
    // A command that carries no secret: sent to any device.
    void AddUnguarded(const Target &target, std::function<bool()> command);
    bool IsEmpty() const { return m_jobs.isEmpty(); }

    // The consent question, when a device needs one (strQuestion is the
    // action's own, "Send the password anyway?"); on No those devices leave
    // the action. False: no device is left.
    bool Settle(QWidget *parent, const QString &strQuestion);

    // Starts the commands. onSucceeded runs on the GUI thread for each
    // device that took its command, as it answers; then the summary goes to
    // then, on context's thread, unless context is gone by then.
    void Run(const QString &strTitle, QObject *context,
             std::function<void(const Target &, const QString &strNote)> onSucceeded,
             std::function<void(const CZeltRunSummary &)> then);

private:
    static QString Label(const Target &t);

    CZeltDeviceController &m_devices;
    QList<Target> m_targets;
    QList<QString> m_notes;
    QList<CZeltBatchRunner::Job> m_jobs;
    CZeltConsent m_consent;
};
