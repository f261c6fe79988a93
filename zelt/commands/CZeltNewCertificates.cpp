#include "CZeltNewCertificates.h"

#include "CWarnDlg.h"
#include "CZeltConsent.h"
#include "CZeltQuestion.h"
#include "ZeltSdkWrapper.h"

void CZeltNewCertificates::Add(const QString &strId, const QString &strAddress, const QByteArray &mac)
{
    m_devices.append({strId.trimmed(), strAddress, mac});
}

QString CZeltNewCertificates::Title()
{
    return tr("New certificate");
}

QString CZeltNewCertificates::Text() const
{
    QString text = m_devices.size() == 1
                       ? tr("This device presents a new HTTPS certificate, not the one seen at first contact:")
                       : tr("%1 devices present a new HTTPS certificate, not the one seen at first contact:")
                             .arg(m_devices.size());
    const qsizetype listed = m_devices.size() > CZeltConsent::kListed + 1 ? CZeltConsent::kListed : m_devices.size();
    for (qsizetype i = 0; i < listed; ++i)
        text += QLatin1Char('\n') + tr("ID %1   %2").arg(m_devices.at(i).id, m_devices.at(i).address);
    if (listed < m_devices.size())
        text += QLatin1Char('\n') + tr("and %1 more").arg(m_devices.size() - listed);
    text += QStringLiteral("\n\n")
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
    for (const Device &d : m_devices)
        ZeltSdkWrapper::AcceptNewCertificate(d.mac);
    return true;
}
