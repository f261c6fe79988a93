#include "CZeltDeviceAction.h"

#include <QFuture>

#include <memory>

#include "CZeltRunSummary.h"
#include "ZeltTrust.h"

QString CZeltDeviceAction::Label(const Target &t)
{
    return t.id.trimmed() + QStringLiteral("   ") + ZeltRecords::text(t.record.szSerialNO) + QStringLiteral("   ")
           + ZeltRecords::text(t.record.szIPv4Address);
}

void CZeltDeviceAction::Add(const Target &target, std::function<bool()> command, const QString &strNote,
                            const QString &strLabel)
{
    const ZeltTrust::Handling handling = m_consent.Add(target.id, target.record);
    m_targets.append(target);
    m_notes.append(strNote);
    m_jobs.append({target.id, strLabel.isEmpty() ? Label(target) : strLabel,
                   ZeltTrust::GuardedWork(handling, target.record, std::move(command))});
}

void CZeltDeviceAction::AddUnguarded(const Target &target, std::function<bool()> command)
{
    m_consent.Skip();
    m_targets.append(target);
    m_notes.append(QString());
    m_jobs.append({target.id, ZeltRecords::text(target.record.szSerialNO), std::move(command)});
}

bool CZeltDeviceAction::Settle(QWidget *parent, const QString &strQuestion)
{
    return m_consent.Settle(parent, strQuestion, m_jobs, m_targets, m_notes);
}

void CZeltDeviceAction::Run(const QString &strTitle, QObject *context,
                            std::function<void(const Target &, const QString &)> onSucceeded,
                            std::function<void(const CZeltRunSummary &)> then)
{
    // The action counts as under way until its summary is told.
    std::shared_ptr<void> busy = m_devices.BeginAction();
    auto targets = std::make_shared<const QList<Target>>(m_targets);
    m_devices.Runner()
        .Run(strTitle, m_jobs,
             [targets, notes = m_notes, onSucceeded = std::move(onSucceeded)](int i, bool bOk) {
                 if (bOk && onSucceeded)
                     onSucceeded(targets->at(i), notes.at(i));
             })
        .then(context, [targets, busy, then = std::move(then)](CZeltBatchRunner::Result result) {
            then(CZeltRunSummary(*targets, std::move(result)));
        });
}
