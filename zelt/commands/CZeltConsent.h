#pragma once

#include <QCoreApplication>
#include <QList>
#include <QString>

#include <utility>

#include "CZeltBatchRunner.h"
#include "ZeltDeviceRecords.h"
#include "ZeltTrust.h"

class CWarnDlg;
class QWidget;

// The devices of one action whose identity is not verified, and the
// question asked about them: once per action, default No.
class CZeltConsent
{
    Q_DECLARE_TR_FUNCTIONS(QtZelt)

public:
    // Notes the device of the action's next job (its row ID as the summaries
    // show it): one call per job, in job order. What the job is to do:
    // send, send after calling ZeltSdkWrapper::AllowUncertified, or refuse
    // with ZeltSdkWrapper::Refuse(ZeltTrust::RefusalError(trust)).
    ZeltTrust::Handling Add(const QString &strId, const ZELT_DEVICE_INFO_MY &d);

    // A job whose command carries no secret: never asked about.
    void Skip() { m_isAsked.append(false); }

    // Asks when needed; on No the jobs of the devices that need consent go,
    // and with them the entries of the lists kept parallel to the jobs.
    // False: no job is left, nothing is to be done.
    template <typename... Parallel>
    bool Settle(QWidget *parent, const QString &strQuestion, QList<CZeltBatchRunner::Job> &jobs,
                QList<Parallel> &...parallel) const
    {
        if (!Needed() || Ask(parent, strQuestion, m_iSend > 0))
            return !jobs.isEmpty();
        for (qsizetype i = m_isAsked.size() - 1; i >= 0; --i) {
            if (m_isAsked.at(i)) {
                jobs.removeAt(i);
                (parallel.removeAt(i), ...);
            }
        }
        return !jobs.isEmpty();
    }

    // Whether any device of the action needs the user's consent.
    bool Needed() const { return !m_asked.isEmpty(); }
    // Asks, when needed, naming the devices; strQuestion is the action's own
    // question ("Send the password anyway?"). bOthers: devices that need no
    // consent take part as well. True: the devices that need consent get
    // their command too.
    bool Ask(QWidget *parent, const QString &strQuestion, bool bOthers) const;

    // The box as Ask shows it: title, the devices, Yes and No (No the
    // default, for Return as well).
    void Prepare(CWarnDlg &dlg, const QString &strQuestion, bool bOthers) const;
    QString Text(const QString &strQuestion, bool bOthers) const;
    static QString Title();

private:
    QList<std::pair<QString, QString>> m_asked; // row ID and address
    QList<bool> m_isAsked;                      // per job
    int m_iSend = 0;                            // devices that get their command without asking
};
