#include "CZeltPanelContext.h"

#include <QCoreApplication>
#include <QPoint>
#include <QWidget>

#include "CToolLabel.h"
#include "CWarnDlg.h"
#include "QtZeltItemModel.h"
#include "CZeltBatchRunner.h"
#include "CZeltDeviceStore.h"
#include "CZeltNewCertificates.h"
#include "ZeltTrust.h"
#include "zelt_sdk.h"

void CZeltPanelContext::ShowFieldTip(QWidget *field, const QString &strText) const
{
    field->setFocus();
    CToolLabel::ShowText(field->mapToGlobal(QPoint(0, 0)), strText, field);
}

void CZeltPanelContext::ShowMessage(const QString &strTitle, const QString &strText) const
{
    CWarnDlg::ShowMsg(strTitle, strText, pPanel);
}

int CZeltPanelContext::RecordOfRow(int row) const
{
    using Col = QtZeltItemModel::Column;
    return store.IndexOf(model.TextAt(row, Col::ColSerial), model.TextAt(row, Col::ColMac));
}

QString CZeltPanelContext::IdOfRow(int row) const
{
    return model.TextAt(row, QtZeltItemModel::ColId) + QLatin1Char(' ');
}

QString CZeltPanelContext::DeviceLabel(const QString &strId, const ZELT_DEVICE_INFO_MY &d)
{
    return strId.trimmed() + QStringLiteral("   ") + ZeltRecords::text(d.szSerialNO) + QStringLiteral("   ")
           + ZeltRecords::text(d.szIPv4Address);
}

QString CZeltPanelContext::FailureReasons(const QList<QString> &ids) const
{
    QString text;
    for (int i = 0; i < ids.size(); ++i) {
        const QString reason = ZeltTrust::FailureReason(runner.ErrorOf(i));
        if (!reason.isEmpty())
            text += QLatin1Char('\n')
                    + QCoreApplication::translate("QtZelt", "ID %1: %2").arg(ids.at(i).trimmed(), reason);
    }
    return text;
}

void CZeltPanelContext::OfferNewCertificates(const QList<CZeltBatchRunner::Job> &jobs) const
{
    CZeltNewCertificates changed;
    for (int i = 0; i < jobs.size(); ++i)
        if (runner.ErrorOf(i) == ZELT_ERR_CERT_CHANGED)
            changed.Add(jobs.at(i).strId, jobs.at(i).address, jobs.at(i).mac);
    changed.Offer(pPanel);
}
