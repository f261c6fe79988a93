#include "CZeltRunSummary.h"

#include "CWarnDlg.h"
#include "CZeltNewCertificates.h"
#include "ZeltTrust.h"
#include "zelt_sdk.h"

CZeltRunSummary::CZeltRunSummary(QList<Target> targets, CZeltBatchRunner::Result result)
    : m_targets(std::move(targets))
    , m_result(std::move(result))
{}

bool CZeltRunSummary::IsEmpty() const
{
    return m_result.cancelled && !m_result.outcomes.contains(CZeltBatchRunner::Outcome::Succeeded)
           && !m_result.outcomes.contains(CZeltBatchRunner::Outcome::Failed);
}

QString CZeltRunSummary::Reason(int i) const
{
    return ZeltTrust::FailureReason(m_result.errors.value(i));
}

QString CZeltRunSummary::Text(const QString &strOk, const QString &strFailed) const
{
    QString ok, failed, reasons;
    for (int i = 0; i < m_targets.size(); ++i) {
        const QString &id = m_targets.at(i).id;
        const CZeltBatchRunner::Outcome outcome = m_result.outcomes.value(i);
        if (outcome == CZeltBatchRunner::Outcome::NotRun)
            continue;
        const bool succeeded = outcome == CZeltBatchRunner::Outcome::Succeeded;
        QString &list = succeeded ? ok : failed;
        list += list.isEmpty() ? (succeeded ? strOk : strFailed) + tr("ID:%1").arg(id) : id;
        if (const QString reason = Reason(i); !reason.isEmpty())
            reasons += QLatin1Char('\n') + tr("ID %1: %2").arg(id.trimmed(), reason);
    }
    return ok + failed + reasons;
}

void CZeltRunSummary::Show(QWidget *parent, const QString &strOk, const QString &strFailed) const
{
    if (IsEmpty())
        return;
    CWarnDlg::ShowMsg(tr("Information"), Text(strOk, strFailed), parent);
    OfferNewCertificates(parent);
}

void CZeltRunSummary::OfferNewCertificates(QWidget *parent) const
{
    CZeltNewCertificates changed;
    for (int i = 0; i < m_targets.size(); ++i) {
        if (m_result.errors.value(i) != ZELT_ERR_CERT_CHANGED)
            continue;
        const ZELT_DEVICE_INFO_MY &d = m_targets.at(i).record;
        changed.Add(m_targets.at(i).id, ZeltRecords::text(d.szIPv4Address), ZeltRecords::bytes(d.szMAC));
    }
    changed.Offer(parent);
}
