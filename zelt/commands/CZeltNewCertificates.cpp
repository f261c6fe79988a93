#include "CZeltNewCertificates.h"

#include "CWarnDlg.h"
#include "CZeltQuestion.h"
#include "ZeltSdkWrapper.h"

void CZeltNewCertificates::Add(const QString &strId, const QString &strAddress, const QByteArray &mac)
{
    m_listed.append({strId.trimmed(), strAddress});
    m_macs.append(mac);
}

QString CZeltNewCertificates::Title()
{
    return tr("New certificate");
}

QString CZeltNewCertificates::Text() const
{
    QString text = m_listed.size() == 1
                       ? tr("This device presents a new HTTPS certificate, not the one seen at first contact:")
                       : tr("%1 devices present a new HTTPS certificate, not the one seen at first contact:")
                             .arg(m_listed.size());
    text += CZeltQuestion::DeviceLines(m_listed) + QStringLiteral("\n\n")
            + tr("Accept the new certificates? Only if these devices were replaced: otherwise another host may be "
                 "answering in their place.");
    return text;
}

void CZeltNewCertificates::Prepare(CWarnDlg &dlg) const
{
    dlg.setObjectName(QStringLiteral("ZeltNewCertificateDlg"));
    CZeltQuestion::Prepare(dlg, Title(), Text());
}

bool CZeltNewCertificates::Offer(QWidget *parent) const
{
    if (!Needed())
        return false;
    CWarnDlg dlg(parent);
    Prepare(dlg);
    if (dlg.exec() != 1)
        return false;
    for (const QByteArray &mac : m_macs)
        ZeltSdkWrapper::AcceptNewCertificate(mac);
    return true;
}
