#include "CZeltBatchRunner.h"

#include <QLoggingCategory>
#include <QRunnable>
#include <QThreadPool>
#include <QTimer>

#include <atomic>
#include <deque>
#include <mutex>
#include <vector>

#include "CZeltProgressDialog.h"
#include "ZeltSdkWrapper.h"

Q_LOGGING_CATEGORY(lcZeltBatch, "zelt.batch")

// The run as the pool threads see it. Everything in it is read and written
// under mu, a standard mutex, so that ThreadSanitizer sees each hand-off
// (Qt's own locks are invisible to it).
struct CZeltBatchRunner::Shared {
    std::mutex mu;
    CZeltBatchRunner *runner = nullptr;
    std::vector<std::function<bool()>> work; // the running batch's, kept until it is over
    int next = 0;
    int running = 0;
    bool cancel = false;
    bool wakePending = false;
    std::deque<int> started;
    struct Ended {
        int job;
        bool ok;
        uint32_t error;
    };
    std::deque<Ended> ended;

    // Called on a pool thread: one pending wake-up at a time is enough, the
    // GUI thread takes everything that waits. The posted call carries no
    // data; the data waits here.
    void WakeLocked()
    {
        if (wakePending)
            return;
        wakePending = true;
        QMetaObject::invokeMethod(runner, "Drain", Qt::QueuedConnection);
    }
};

// One pool thread's share of a run: jobs, one after the other, while any
// are left. Its link to the run is published with release and read with
// acquire, so that what the GUI thread set up is seen to come first.
class CZeltBatchRunner::Task : public QRunnable
{
public:
    explicit Task(std::shared_ptr<Shared> shared)
    {
        auto *link = new std::shared_ptr<Shared>(std::move(shared));
        m_link.store(link, std::memory_order_release);
    }
    ~Task() override { delete m_link.load(std::memory_order_acquire); }

    void run() override
    {
        Shared &s = **m_link.load(std::memory_order_acquire);
        std::unique_lock lock(s.mu);
        while (!s.cancel && s.next < int(s.work.size())) {
            const int job = s.next++;
            ++s.running;
            s.started.push_back(job);
            s.WakeLocked();
            const std::function<bool()> work = s.work[size_t(job)];
            lock.unlock();
            // A job's error is the SDK's on this thread, from its own call.
            ZeltSdkWrapper::ClearLastError();
            const bool ok = work();
            const uint32_t error = ok ? 0 : ZeltSdkWrapper::LastError();
            lock.lock();
            --s.running;
            s.ended.push_back({job, ok, error});
            s.WakeLocked();
        }
    }

private:
    std::atomic<std::shared_ptr<Shared> *> m_link{nullptr};
};

CZeltBatchRunner::CZeltBatchRunner(QObject *parent)
    : QObject(parent)
    , m_shared(std::make_shared<Shared>())
    , m_pDialogDelay(new QTimer(this))
{
    std::lock_guard lock(m_shared->mu);
    m_shared->runner = this;
    m_pDialogDelay->setSingleShot(true);
    m_pDialogDelay->setTimerType(Qt::PreciseTimer);
    connect(m_pDialogDelay, &QTimer::timeout, this, &CZeltBatchRunner::ShowDialog);
}

CZeltBatchRunner::~CZeltBatchRunner()
{
    {
        std::lock_guard lock(m_shared->mu);
        m_shared->cancel = true;
    }
    if (m_pPool)
        m_pPool->waitForDone();
    delete m_pDialog;
    // A promise left unfinished is cancelled: no continuation runs.
}

void CZeltBatchRunner::SetDialogParent(QWidget *pParent)
{
    m_pDialogParent = pParent;
}

CZeltProgressDialog *CZeltBatchRunner::Dialog() const
{
    return m_pDialog;
}

void CZeltBatchRunner::Cancel()
{
    if (!m_bRunning)
        return;
    {
        std::lock_guard lock(m_shared->mu);
        if (m_shared->cancel)
            return;
        m_shared->cancel = true;
    }
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
    {
        // The pool threads see the work functions only, never the job texts.
        std::lock_guard lock(m_shared->mu);
        m_shared->work.clear();
        for (const Job &j : m_jobs)
            m_shared->work.push_back(j.work);
        m_shared->next = 0;
        m_shared->running = 0;
        m_shared->cancel = false;
        m_shared->started.clear();
        m_shared->ended.clear();
    }
    for (qsizetype i = 0; i < qMin<qsizetype>(kParallel, m_jobs.size()); ++i)
        m_pPool->start(new Task(m_shared));
    m_pDialogDelay->start(kDialogDelayMs);
    return m_pPromise->future();
}

void CZeltBatchRunner::Drain()
{
    std::deque<int> started;
    std::deque<Shared::Ended> ended;
    bool over = false;
    {
        std::lock_guard lock(m_shared->mu);
        m_shared->wakePending = false;
        if (!m_bRunning)
            return;
        started.swap(m_shared->started);
        ended.swap(m_shared->ended);
        over = m_shared->running == 0 && (m_shared->cancel || m_shared->next >= int(m_shared->work.size()));
        if (over)
            m_shared->work.clear();
    }
    if (!started.empty())
        m_strCurrent = m_jobs.at(started.back()).strDevice;
    for (const auto &[job, ok, error] : ended) {
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
    if (!ended.empty())
        emit JobsEnded(m_iDone, int(m_jobs.size()));
    if (over)
        Finish();
}

void CZeltBatchRunner::ShowDialog()
{
    if (!m_bRunning || m_pDialog)
        return;
    auto *dlg = new CZeltProgressDialog(m_pDialogParent);
    m_pDialog = dlg;
    dlg->setWindowModality(Qt::WindowModal);
    dlg->SetTitle(m_strTitle);
    dlg->SetProgress(m_iDone, int(m_jobs.size()));
    dlg->SetCurrentDevice(m_strCurrent);
    if (m_result.cancelled)
        dlg->SetStopping();
    connect(dlg, &CZeltProgressDialog::CancelRequested, this, &CZeltBatchRunner::Cancel);
    dlg->show();
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
    // The promise is finished last: its continuations may start the next run.
    std::unique_ptr<QPromise<Result>> promise = std::move(m_pPromise);
    promise->addResult(m_result);
    promise->finish();
}
