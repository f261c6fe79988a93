#pragma once
// What an action tells when its commands are over, for every action alike:
// the IDs of the devices that took their command under one sentence, those
// that did not under another, a line for each failure the user can act on,
// and then the question about devices refused for a changed certificate.

#include <QCoreApplication>
#include <QList>
#include <QString>

#include "CZeltBatchRunner.h"
#include "CZeltDeviceController.h"

class QWidget;

class CZeltRunSummary
{
    Q_DECLARE_TR_FUNCTIONS(QtZelt)

public:
    using Target = CZeltDeviceController::Target;

    CZeltRunSummary(QList<Target> targets, CZeltBatchRunner::Result result);

    const QList<Target> &Targets() const { return m_targets; }
    bool Succeeded(int i) const { return m_result.outcomes.value(i) == CZeltBatchRunner::Outcome::Succeeded; }
    // Nothing to tell: the run was cancelled before any device answered.
    bool IsEmpty() const;
    // "<strOk>ID:001 002 <strFailed>ID:003 " and the reasons, each on a
    // line of its own ("ID 003: ..."). Devices a cancelled run never
    // reached are in neither list.
    QString Text(const QString &strOk, const QString &strFailed) const;
    // Why device i's command failed, when it was for its identity; empty
    // otherwise.
    QString Reason(int i) const;

    // The text in the panel's message box (unless IsEmpty), then the
    // question about changed certificates.
    void Show(QWidget *parent, const QString &strOk, const QString &strFailed) const;
    // The devices refused for a changed HTTPS certificate, named in one
    // question (default No); Yes accepts their new certificates.
    void OfferNewCertificates(QWidget *parent) const;

private:
    QList<Target> m_targets;
    CZeltBatchRunner::Result m_result;
};
