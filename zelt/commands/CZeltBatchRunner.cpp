#include "CZeltBatchRunner.h"

#include <QLoggingCategory>
#include <QScopedValueRollback>
#include <QThreadPool>
#include <QTimer>

#include <vector>

#include "CZeltProgressDialog.h"
#include "CZeltRunQueue.h"
#include "ZeltSdkWrapper.h"

Q_LOGGING_CATEGORY(lcZeltBatch, "zelt.batch")

CZeltBatchRunner::CZeltBatchRunner(QObject *parent)
    : QObject(parent)
    , m_pQueue(new CZeltRunQueue(this))
    , m_pDialogDelay(new QTimer(this))
{
    m_pDialogDelay->setSingleShot(true);
    m_pDialogDelay->setTimerType(Qt::PreciseTimer);
    connect(m_pDialogDelay, &QTimer::timeout, this, &CZeltBatchRunner::ShowDialog);
}

CZeltBatchRunner::~CZeltBatchRunner()
{
    m_pQueue->Cancel();
    if (m_pPool)
        m_pPool->waitForDone();
    m_pQueue->WaitIdle();
    delete m_pDialog;
    // A promise left unfinished is cancelled: no continuation runs.
}

void CZeltBatchRunner::SetDialogParent(QWidget *pParent)
{
    m_pDialogParent = pParent;
}

CZeltProgressDialog *CZeltBatchRunner::Dialog() const
{
    return m_pDialog && m_pDialog->isVisible() ? m_pDialog : nullptr;
}

void CZeltBatchRunner::Cancel()
{
    if (!m_bRunning || !m_pQueue->Cancel())
        return;
    m_result.cancelled = true;
    qCDebug(lcZeltBatch) << "cancelled after" << m_iDone << "of" << m_jobs.size();
    if (m_pDialog)
        m_pDialog->SetStopping();
}

QFuture<CZeltBatchRunner::Result> CZeltBatchRunner::Run(const QString &strTitle, QList<Job> jobs,
                                                        std::function<void(int, bool)> onEnded)
{
    Result none{QList<Outcome>(jobs.size(), Outcome::NotRun), QList<uint32_t>(jobs.size(), 0), false};
    if (m_bRunning || jobs.isEmpty()) {
        QPromise<Result> promise;
        promise.start();
        promise.addResult(std::move(none));
        promise.finish();
        return promise.future();
    }
    m_bRunning = true;
    m_iDone = 0;
    m_strTitle = strTitle;
    m_strCurrent.clear();
    m_result = std::move(none);
    m_jobs = std::move(jobs);
    m_onEnded = std::move(onEnded);
    m_pPromise = std::make_unique<QPromise<Result>>();
    m_pPromise->start();

    if (!m_pPool) {
        // Made on first use: a panel that never changes a device starts no thread.
        m_pPool = std::make_unique<QThreadPool>();
        m_pPool->setMaxThreadCount(kParallel);
    }
    // The pool threads see the work functions only, never the job texts.
    std::vector<std::function<bool()>> work;
    work.reserve(size_t(m_jobs.size()));
    for (const Job &j : m_jobs)
        work.push_back(j.work);
    m_pQueue->Start(std::move(work));
    for (qsizetype i = 0; i < qMin<qsizetype>(kParallel, m_jobs.size()); ++i)
        m_pPool->start(m_pQueue.get());
    m_pDialogDelay->start(kDialogDelayMs);
    // A run of several devices is likely to outlast the delay: its dialog is
    // built in a turn of the event loop of its own, so that neither the
    // click nor the moment it shows carries the whole cost.
    if (m_jobs.size() > 1)
        QMetaObject::invokeMethod(this, &CZeltBatchRunner::PrepareDialog, Qt::QueuedConnection);
    return m_pPromise->future();
}

void CZeltBatchRunner::Drain()
{
    // An onEnded handler may wait in an event loop of its own (a message
    // box): a wake-up then only asks the outer call to look again, so that
    // results are taken, and the run ended, in order.
    if (m_bDraining) {
        m_bDrainAgain = true;
        return;
    }
    const QScopedValueRollback<bool> draining(m_bDraining, true);
    do {
        m_bDrainAgain = false;
        const CZeltRunQueue::Taken taken = m_pQueue->Take();
        if (!m_bRunning)
            return; // a wake-up after the run's last result was taken
        if (!taken.started.empty())
            m_strCurrent = m_jobs.at(taken.started.back()).strDevice;
        for (const auto &[job, ok, error] : taken.ended) {
            m_result.outcomes[job] = ok ? Outcome::Succeeded : Outcome::Failed;
            m_result.errors[job] = error;
            ++m_iDone;
            if (m_onEnded)
                m_onEnded(job, ok);
        }
        if (m_pDialog) {
            m_pDialog->SetProgress(m_iDone, int(m_jobs.size()));
            m_pDialog->SetCurrentDevice(m_strCurrent);
        }
        if (!taken.ended.empty())
            emit JobsEnded(m_iDone, int(m_jobs.size()));
        if (taken.over)
            Finish();
    } while (m_bDrainAgain);
}

void CZeltBatchRunner::PrepareDialog()
{
    if (!m_bRunning || m_pDialog)
        return;
    auto *dlg = new CZeltProgressDialog(m_pDialogParent);
    m_pDialog = dlg;
    dlg->setWindowModality(Qt::WindowModal);
    dlg->SetTitle(m_strTitle);
    connect(dlg, &CZeltProgressDialog::CancelRequested, this, &CZeltBatchRunner::Cancel);
}

void CZeltBatchRunner::ShowDialog()
{
    if (!m_bRunning)
        return;
    PrepareDialog();
    m_pDialog->SetProgress(m_iDone, int(m_jobs.size()));
    m_pDialog->SetCurrentDevice(m_strCurrent);
    if (m_result.cancelled)
        m_pDialog->SetStopping();
    m_pDialog->show();
}

void CZeltBatchRunner::Finish()
{
    m_pDialogDelay->stop();
    if (m_pDialog) {
        m_pDialog->Finish();
        m_pDialog->deleteLater();
        m_pDialog = nullptr;
    }
    m_bRunning = false;
    m_onEnded = nullptr;
    m_jobs.clear();
    // The promise is finished last, as its continuations may start the next
    // run, and in a turn of the event loop of its own: the dialog going and
    // the summary box coming are then two short pauses instead of one long.
    // Should the runner go first, the promise goes unfinished (cancelled).
    std::shared_ptr<QPromise<Result>> promise = std::move(m_pPromise);
    promise->addResult(m_result);
    QMetaObject::invokeMethod(
        this, [promise] { promise->finish(); }, Qt::QueuedConnection);
}
