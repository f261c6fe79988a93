#include "CZeltBatchRunner.h"

#include <QCloseEvent>
#include <QEvent>
#include <QEventLoop>
#include <QGridLayout>
#include <QLabel>
#include <QLoggingCategory>
#include <QProgressBar>
#include <QSocketNotifier>
#include <QTimer>

#include <sys/eventfd.h>
#include <unistd.h>

#include "Buttons.h"
#include "CZeltProgressDialog.h"
#include "ZeltSdkWrapper.h"

Q_LOGGING_CATEGORY(lcZeltBatch, "zelt.batch")

CZeltBatchRunner::CZeltBatchRunner(QWidget *pDialogParent)
    : QObject(pDialogParent)
    , m_pool(std::make_shared<Pool>())
    , m_pDialogParent(pDialogParent)
{
    // Workers wake the GUI thread through an eventfd: nothing of Qt's
    // crosses the threads, and the descriptor's write and read order each
    // wake-up for ThreadSanitizer as well.
    m_iWakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (m_iWakeFd >= 0) {
        m_pWakeNotifier = new QSocketNotifier(m_iWakeFd, QSocketNotifier::Read, this);
        connect(m_pWakeNotifier, &QSocketNotifier::activated, this, [this] {
            uint64_t n = 0;
            [[maybe_unused]] const ssize_t r = ::read(m_iWakeFd, &n, sizeof n);
            Drain();
        });
    }
    m_threads.reserve(kParallel);
    for (int i = 0; i < kParallel; ++i)
        m_threads.emplace_back([this] { Worker(); });
}

CZeltBatchRunner::~CZeltBatchRunner()
{
    {
        std::lock_guard lock(m_pool->mu);
        m_pool->quit = true;
        m_pool->cancel = true;
    }
    m_pool->cv.notify_all();
    for (std::thread &t : m_threads)
        t.join();
    delete m_pWakeNotifier;
    if (m_iWakeFd >= 0)
        ::close(m_iWakeFd);
}

void CZeltBatchRunner::Cancel()
{
    if (!m_bRunning)
        return;
    {
        std::lock_guard lock(m_pool->mu);
        if (m_pool->cancel)
            return;
        m_pool->cancel = true;
    }
    m_bCancelled = true;
    qCDebug(lcZeltBatch) << "cancelled after" << m_iDone << "of" << m_jobs.size();
    if (m_pDialog)
        m_pDialog->SetStopping();
}

void CZeltBatchRunner::Worker()
{
    Pool &pool = *m_pool;
    std::unique_lock lock(pool.mu);
    for (;;) {
        pool.cv.wait(lock,
                     [&] { return pool.quit || (pool.work && !pool.cancel && pool.next < int(pool.work->size())); });
        if (pool.quit)
            return;
        const int job = pool.next++;
        ++pool.running;
        pool.started.push_back(job);
        const std::function<bool()> &work = (*pool.work)[size_t(job)];
        lock.unlock();
        Wake();
        // A job's error is the SDK's on this thread, from its own call.
        ZeltSdkWrapper::ClearLastError();
        const bool ok = work();
        const uint32_t error = ok ? 0 : ZeltSdkWrapper::LastError();
        lock.lock();
        --pool.running;
        pool.ended.push_back({job, ok, error});
        lock.unlock();
        Wake();
        lock.lock();
    }
}

// Called on worker threads: one pending wake-up at a time is enough, the GUI
// thread takes everything that is waiting.
void CZeltBatchRunner::Wake()
{
    if (!m_bWakePending.exchange(true)) {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t r = ::write(m_iWakeFd, &one, sizeof one);
    }
}

void CZeltBatchRunner::Drain()
{
    m_bWakePending = false;
    if (!m_bRunning)
        return;
    std::deque<int> started;
    std::deque<Pool::Ended> ended;
    bool over = false;
    {
        std::lock_guard lock(m_pool->mu);
        started.swap(m_pool->started);
        ended.swap(m_pool->ended);
        // A wake-up or poll tick after the last one finds the run over
        // already (the work list was dropped then).
        over = !m_pool->work || (m_pool->running == 0 && (m_pool->cancel || m_pool->next >= int(m_pool->work->size())));
        m_pool->work = over ? nullptr : m_pool->work;
    }
    if (!started.empty())
        m_strCurrent = m_jobs.at(started.back()).strDevice;
    for (const auto &[job, ok, error] : ended) {
        m_outcomes[job] = ok ? Outcome::Succeeded : Outcome::Failed;
        m_errors[job] = error;
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
    if (over && !m_bAllEnded) {
        m_bAllEnded = true;
        if (m_pDialog)
            m_pDialog->Finish();
        if (m_quitWait)
            m_quitWait();
    }
}

QList<CZeltBatchRunner::Outcome> CZeltBatchRunner::Run(const QString &strTitle, QList<Job> jobs,
                                                       const std::function<void(int, bool)> &onEnded)
{
    QList<Outcome> none(jobs.size(), Outcome::NotRun);
    if (m_bRunning)
        return none;
    m_bCancelled = false;
    m_errors.clear();
    if (jobs.isEmpty())
        return none;
    m_bRunning = true;
    m_bAllEnded = false;
    m_iDone = 0;
    m_jobs = std::move(jobs);
    m_outcomes = none;
    m_errors = QList<uint32_t>(m_jobs.size(), 0);
    m_onEnded = onEnded;
    m_strCurrent.clear();

    // The workers see only the work functions, never the job texts.
    std::vector<std::function<bool()>> work;
    work.reserve(size_t(m_jobs.size()));
    for (const Job &j : m_jobs)
        work.push_back(j.work);
    {
        std::lock_guard lock(m_pool->mu);
        m_pool->work = &work;
        m_pool->next = 0;
        m_pool->running = 0;
        m_pool->cancel = false;
        m_pool->started.clear();
        m_pool->ended.clear();
    }
    m_pool->cv.notify_all();
    // In case a wake-up cannot be written (no eventfd), results are also
    // picked up at this pace.
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, &CZeltBatchRunner::Drain);
    poll.start(100);

    // A single command: no dialog for short waits. User input waits meanwhile,
    // as it would for any blocking call, but the window keeps painting and
    // device events keep coming in.
    if (m_jobs.size() == 1) {
        QEventLoop wait;
        QTimer delay;
        delay.setSingleShot(true);
        delay.setTimerType(Qt::PreciseTimer);
        connect(&delay, &QTimer::timeout, &wait, &QEventLoop::quit);
        m_quitWait = [&wait] { wait.quit(); };
        delay.start(kSingleDialogDelayMs);
        wait.exec(QEventLoop::ExcludeUserInputEvents);
        m_quitWait = nullptr;
    }
    if (!m_bAllEnded) {
        auto *dlg = new CZeltProgressDialog(m_pDialogParent);
        m_pDialog = dlg;
        dlg->SetTitle(strTitle);
        dlg->SetProgress(m_iDone, int(m_jobs.size()));
        dlg->SetCurrentDevice(m_strCurrent);
        connect(dlg, &CZeltProgressDialog::CancelRequested, this, &CZeltBatchRunner::Cancel);
        dlg->exec();
        m_pDialog = nullptr;
        delete dlg;
    }
    if (!m_bAllEnded) {
        // The dialog went away some other way (its window was closed under
        // it): stop sending and wait for the commands in flight.
        Cancel();
        QEventLoop wait;
        m_quitWait = [&wait] { wait.quit(); };
        wait.exec(QEventLoop::ExcludeUserInputEvents);
        m_quitWait = nullptr;
    }
    m_onEnded = nullptr;
    m_jobs.clear();
    m_bRunning = false;
    return m_outcomes;
}
