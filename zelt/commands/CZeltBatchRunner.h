#pragma once
// Device commands of one panel action, run off the GUI thread: several
// devices at a time on worker threads, while the GUI thread keeps its event
// loop (device events, painting) and a modal progress dialog offers Cancel.
// Cancel stops further commands; those already sent finish.

#include <QList>
#include <QPointer>
#include <QString>

#include <atomic>
#include <cstdint>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include <QObject>

#include "CZeltProgressDialog.h"

class CZeltBatchRunner : public QObject
{
    Q_OBJECT
public:
    struct Job {
        QString strId;     // the row's ID as the summary lists it
        QString strDevice; // what the dialog shows while it runs
        // Runs on a worker thread: it may use only what it captured (copies)
        // and the SDK or host calls, never widgets or panel state.
        std::function<bool()> work;
        // The device's MAC and address, for the questions after the run.
        QByteArray mac;
        QString address;
    };
    enum class Outcome { NotRun, Succeeded, Failed };

    // Devices worked on at the same time.
    static constexpr int kParallel = 16;
    // A single command shows the dialog only when it takes longer.
    static constexpr int kSingleDialogDelayMs = 500;

    explicit CZeltBatchRunner(QWidget *pDialogParent);
    ~CZeltBatchRunner() override;

    // Runs the jobs and returns once every job that was started has ended,
    // with one outcome per job (NotRun: cancelled before it was sent).
    // onEnded runs on the GUI thread as each job ends.
    QList<Outcome> Run(const QString &strTitle, QList<Job> jobs,
                       const std::function<void(int iJob, bool bOk)> &onEnded = {});

    // The SDK's error of a job of the last run that failed (0: none known).
    uint32_t ErrorOf(int iJob) const { return m_errors.value(iJob); }

    bool IsRunning() const { return m_bRunning; }
    // Whether the last run was cancelled.
    bool WasCancelled() const { return m_bCancelled; }
    // Stops further commands of the running batch.
    void Cancel();
    // The dialog of the running batch, or null (not shown yet, or none).
    CZeltProgressDialog *Dialog() const { return m_pDialog; }

signals:
    // The GUI thread took the results of ended jobs (for tests and benchmarks).
    void JobsEnded(int iDone, int iTotal);

private:
    // The worker threads live as long as the runner: starting threads for
    // every action would stall the GUI thread for longer than any command.
    struct Pool {
        std::mutex mu;
        std::condition_variable cv;
        bool quit = false;
        // The running batch.
        const std::vector<std::function<bool()>> *work = nullptr;
        int next = 0;
        int running = 0;
        bool cancel = false;
        std::deque<int> started;
        struct Ended {
            int job;
            bool ok;
            uint32_t error;
        };
        std::deque<Ended> ended;
    };
    void Worker();
    void Wake();
    void Drain();

    std::shared_ptr<Pool> m_pool;
    std::vector<std::thread> m_threads;
    QWidget *m_pDialogParent;
    QPointer<CZeltProgressDialog> m_pDialog;
    std::atomic<bool> m_bWakePending{false};
    int m_iWakeFd = -1;
    class QSocketNotifier *m_pWakeNotifier = nullptr;
    bool m_bRunning = false;
    bool m_bCancelled = false;
    bool m_bAllEnded = false;
    int m_iDone = 0;
    QList<Job> m_jobs;
    QList<Outcome> m_outcomes;
    QList<uint32_t> m_errors;
    std::function<void(int, bool)> m_onEnded;
    QString m_strCurrent;
    std::function<void()> m_quitWait;
};
