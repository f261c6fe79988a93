#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QList>
#include <QString>

#include <utility>

class CWarnDlg;
class QWidget;

// The devices of one action that were refused because their HTTPS
// certificate is not the pinned one, and the one question asked about them
// after the action's summary (default No). A new certificate is what a
// replaced device shows, but also what another host answering in its place
// would show: Yes accepts each one's new certificate, so that the next
// attempt pins it.
class CZeltNewCertificates
{
    Q_DECLARE_TR_FUNCTIONS(QtZelt)

public:
    // One failed job: its row ID, the device's address and MAC.
    void Add(const QString &strId, const QString &strAddress, const QByteArray &mac);
    bool Needed() const { return !m_listed.isEmpty(); }

    // Asks when needed; on Yes accepts every listed device's certificate.
    // True: the user said Yes.
    bool Offer(QWidget *parent) const;

    void Prepare(CWarnDlg &dlg) const;
    QString Text() const;
    static QString Title();

private:
    QList<std::pair<QString, QString>> m_listed; // row ID and address
    QList<QByteArray> m_macs;
};
