#pragma once
// How the panel shows and handles what the SDK knows of a device's
// identity: the word, tool tip and icon of each trust level, the table's
// narrow trust column, readable reasons for the refusals that follow from
// it, and the one question an action asks before a password, security code
// or new password goes to devices that cannot prove who they are.

#include <QCoreApplication>
#include <QIcon>
#include <QList>
#include <QString>
#include <QStyledItemDelegate>

#include <cstdint>
#include <functional>

#include "ZeltBatchRunner.h"
#include "ZeltDeviceRecords.h"

class CWarnDlg;
class QWidget;

namespace ZeltTrust {

// What an action does with a device of this trust level before a secret
// goes to it: send it, send it only with the user's consent, or send
// nothing (the SDK refuses such devices).
enum class Handling { Send, Ask, Refuse };
Handling HandlingOf(uint8_t trust);

// "Verified", "Pinned", "Uncertified", "Ambiguous", "Untrusted" (values the
// SDK does not define read as untrusted), translated.
QString Word(uint8_t trust);
// The word and what it means, for the tool tip.
QString Tip(uint8_t trust);
// Green check, blue lock, amber warning, red cross, red bar: made once.
QIcon Icon(uint8_t trust);
// Table order: the best known identities first.
int Rank(uint8_t trust);

// A job's work for this device as its handling asks: the command alone;
// the consent call right before it (Ask, kept only after a Yes); or no
// command at all, failing with the SDK's refusal (Refuse).
std::function<bool()> GuardedWork(Handling handling, const ZELT_DEVICE_INFO_MY &d, std::function<bool()> command);

// Why a command failed, for the SDK's refusals that follow from a device's
// identity; empty for any other error.
QString FailureReason(uint32_t sdkError);
// The SDK's error for a device the panel refuses itself.
uint32_t RefusalError(uint8_t trust);

} // namespace ZeltTrust

// Paints the trust column: the icon alone, centred, in a narrow column; the
// icon and the word once the column is wide enough for both.
class CZeltTrustDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
};

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

    // Asks when needed; on No the jobs of the devices that need consent go,
    // and with them the entries of a list kept parallel to the jobs. False:
    // no job is left, nothing is to be done.
    template <typename Parallel>
    bool Settle(QWidget *parent, const QString &strQuestion, QList<CZeltBatchRunner::Job> &jobs,
                QList<Parallel> &parallel) const
    {
        if (!Needed() || Ask(parent, strQuestion, m_iSend > 0))
            return !jobs.isEmpty();
        for (qsizetype i = m_isAsked.size() - 1; i >= 0; --i) {
            if (m_isAsked.at(i)) {
                jobs.removeAt(i);
                if (i < parallel.size())
                    parallel.removeAt(i);
            }
        }
        return !jobs.isEmpty();
    }
    bool Settle(QWidget *parent, const QString &strQuestion, QList<CZeltBatchRunner::Job> &jobs) const
    {
        QList<int> none;
        return Settle(parent, strQuestion, jobs, none);
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

    // Devices listed by name before "and N more".
    static constexpr int kListed = 10;

private:
    struct Device {
        QString id, address;
    };
    QList<Device> m_asked;
    QList<bool> m_isAsked; // per job
    int m_iSend = 0;       // devices that get their command without asking
};

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
    bool Needed() const { return !m_devices.isEmpty(); }

    // Asks when needed; on Yes accepts every listed device's certificate.
    // True: the user said Yes.
    bool Offer(QWidget *parent) const;

    void Prepare(CWarnDlg &dlg) const;
    QString Text() const;
    static QString Title();

private:
    struct Device {
        QString id, address;
        QByteArray mac;
    };
    QList<Device> m_devices;
};
