#pragma once
// The hand-off between the GUI thread and the pool threads of the runner:
// the running batch's work, which job is next, and the jobs started and
// ended since the GUI thread last looked. Everything in it goes through one
// standard mutex, so that ThreadSanitizer sees each hand-off (Qt's own
// locks are invisible to it). Started on several pool threads at once, it
// runs jobs on each, one after the other, while any are left.

#include <QObject>
#include <QRunnable>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

class CZeltRunQueue : public QRunnable
{
public:
    struct Ended {
        int job;
        bool ok;
        uint32_t error; // the SDK's, when the job failed
    };
    // What the GUI thread takes: the jobs started and ended meanwhile, and
    // whether the batch is over (nothing runs, nothing more will start).
    struct Taken {
        std::deque<int> started;
        std::deque<Ended> ended;
        bool over = false;
    };

    // pWake: told (by a queued call of its slot Drain) when there is
    // something to take.
    explicit CZeltRunQueue(QObject *pWake);

    // GUI thread.
    void Start(std::vector<std::function<bool()>> work);
    // False if it was cancelled already.
    bool Cancel();
    Taken Take();

    // Pool threads.
    void run() override;

    // GUI thread, after the pool is done: waits until no run() is inside,
    // through the same mutex, so the end of each run is seen to come before
    // the queue goes (the pool's own wait is invisible to ThreadSanitizer).
    void WaitIdle();

private:
    void WakeLocked();

    std::mutex m_mutex;
    std::condition_variable m_idle;
    int m_iInside = 0; // run() calls not yet returned
    QObject *const m_pWake;
    std::vector<std::function<bool()>> m_work; // the running batch's, kept until it is over
    int m_iNext = 0;
    int m_iRunning = 0;
    bool m_bCancel = false;
    bool m_bWakePending = false;
    std::deque<int> m_started;
    std::deque<Ended> m_ended;
};
