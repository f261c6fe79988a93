#include "CZeltConsent.h"

#include "CWarnDlg.h"
#include "CZeltQuestion.h"

ZeltTrust::Handling CZeltConsent::Add(const QString &strId, const ZELT_DEVICE_INFO_MY &d)
{
    const ZeltTrust::Handling h = ZeltTrust::HandlingOf(d.byTrust);
    if (h == ZeltTrust::Handling::Ask)
        m_asked.append({strId.trimmed(), ZeltRecords::text(d.szIPv4Address)});
    m_iSend += h == ZeltTrust::Handling::Send ? 1 : 0;
    m_isAsked.append(h == ZeltTrust::Handling::Ask);
    return h;
}

QString CZeltConsent::Title()
{
    return tr("Identity not verified");
}

QString CZeltConsent::Text(const QString &strQuestion, bool bOthers) const
{
    QString text = m_asked.size() == 1 ? tr("This device cannot prove who it is (found over ONVIF, no maker "
                                            "certificate):")
                                       : tr("%1 devices cannot prove who they are (found over ONVIF, no maker "
                                            "certificate):")
                                             .arg(m_asked.size());
    text += CZeltQuestion::DeviceLines(m_asked) + QStringLiteral("\n\n") + strQuestion;
    if (bOthers)
        text += QLatin1Char('\n') + tr("No leaves them out; the other devices are changed either way.");
    return text;
}

void CZeltConsent::Prepare(CWarnDlg &dlg, const QString &strQuestion, bool bOthers) const
{
    dlg.setObjectName(QStringLiteral("ZeltConsentDlg"));
    CZeltQuestion::Prepare(dlg, Title(), Text(strQuestion, bOthers));
}

bool CZeltConsent::Ask(QWidget *parent, const QString &strQuestion, bool bOthers) const
{
    if (!Needed())
        return true;
    CWarnDlg dlg(parent);
    Prepare(dlg, strQuestion, bOthers);
    return dlg.exec() == 1;
}
