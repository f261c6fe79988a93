#pragma once
// Device commands of one panel action, run off the GUI thread: up to
// kParallel devices at a time on a thread pool (made on first use), while
// the GUI thread goes on with its event loop. Each device's result is
// handed to the GUI thread as it comes; after kDialogDelayMs a
// window-modal progress dialog offers Cancel, which stops further commands
// (those already sent finish). Run returns at once with a future of the
// run's results, finished on the GUI thread when the last command ended.

#include <QFuture>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QPromise>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

class QThreadPool;
class QTimer;
class QWidget;
class CZeltProgressDialog;
class CZeltRunQueue;

class CZeltBatchRunner : public QObject
{
    Q_OBJECT
public:
    struct Job {
        QString strId;     // the row's ID as the summary lists it
        QString strDevice; // what the dialog shows while it runs
        // Runs on a pool thread: it may use only what it captured (copies)
        // and the SDK or host calls, never widgets or panel state.
        std::function<bool()> work;
    };
    enum class Outcome { NotRun, Succeeded, Failed };
    struct Result {
        QList<Outcome> outcomes; // one per job (NotRun: cancelled before it was sent)
        QList<uint32_t> errors;  // the SDK's error of each failed job (0: none known)
        bool cancelled = false;
    };

    // Devices worked on at the same time.
    static constexpr int kParallel = 16;
    // The progress dialog shows only for runs that take longer.
    static constexpr int kDialogDelayMs = 500;

    explicit CZeltBatchRunner(QObject *parent = nullptr);
    ~CZeltBatchRunner() override;

    // Where the progress dialog opens (window-modal to it).
    void SetDialogParent(QWidget *pParent);

    // Starts the jobs. onEnded runs on the GUI thread as each job ends. A
    // run asked for while another is running runs nothing (every outcome
    // NotRun).
    QFuture<Result> Run(const QString &strTitle, QList<Job> jobs, std::function<void(int iJob, bool bOk)> onEnded = {});

    bool IsRunning() const { return m_bRunning; }
    // Stops further commands of the running batch.
    void Cancel();
    // The dialog of the running batch once shown, or null.
    CZeltProgressDialog *Dialog() const;

signals:
    // The GUI thread took the results of ended jobs (for tests and benchmarks).
    void JobsEnded(int iDone, int iTotal);

private:
    // Takes what the pool threads handed over (queued from them).
    Q_INVOKABLE void Drain();
    void PrepareDialog();
    void ShowDialog();
    void Finish();

    std::unique_ptr<CZeltRunQueue> m_pQueue;
    std::unique_ptr<QThreadPool> m_pPool;
    QPointer<QWidget> m_pDialogParent;
    QPointer<CZeltProgressDialog> m_pDialog; // hidden until kDialogDelayMs
    QTimer *m_pDialogDelay;
    bool m_bRunning = false;
    bool m_bDraining = false;
    bool m_bDrainAgain = false;
    int m_iDone = 0;
    QString m_strTitle;
    QString m_strCurrent;
    QList<Job> m_jobs;
    Result m_result;
    std::function<void(int, bool)> m_onEnded;
    std::unique_ptr<QPromise<Result>> m_pPromise;
};
