#include "CZeltRunQueue.h"

#include "ZeltSdkWrapper.h"

CZeltRunQueue::CZeltRunQueue(QObject *pWake) : m_pWake(pWake)
{
    setAutoDelete(false); // the runner owns it and starts it on several threads
}

void CZeltRunQueue::Start(std::vector<std::function<bool()>> work)
{
    std::lock_guard lock(m_mutex);
    m_work = std::move(work);
    m_iNext = 0;
    m_iRunning = 0;
    m_bCancel = false;
    m_started.clear();
    m_ended.clear();
}

bool CZeltRunQueue::Cancel()
{
    std::lock_guard lock(m_mutex);
    const bool first = !m_bCancel;
    m_bCancel = true;
    return first;
}

CZeltRunQueue::Taken CZeltRunQueue::Take()
{
    Taken taken;
    std::lock_guard lock(m_mutex);
    m_bWakePending = false;
    taken.started.swap(m_started);
    taken.ended.swap(m_ended);
    taken.over = m_iRunning == 0 && (m_bCancel || m_iNext >= int(m_work.size()));
    if (taken.over)
        m_work.clear();
    return taken;
}

// One pending wake-up at a time is enough: the GUI thread takes everything
// that waits. The posted call carries no data; the data waits here.
void CZeltRunQueue::WakeLocked()
{
    if (m_bWakePending)
        return;
    m_bWakePending = true;
    QMetaObject::invokeMethod(m_pWake, "Drain", Qt::QueuedConnection);
}

void CZeltRunQueue::WaitIdle()
{
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [&] { return m_iInside == 0; });
}

void CZeltRunQueue::run()
{
    std::unique_lock lock(m_mutex);
    ++m_iInside;
    while (!m_bCancel && m_iNext < int(m_work.size())) {
        const int job = m_iNext++;
        ++m_iRunning;
        m_started.push_back(job);
        WakeLocked();
        const std::function<bool()> work = m_work[size_t(job)];
        lock.unlock();
        // A job's error is the SDK's on this thread, from its own call.
        ZeltSdkWrapper::ClearLastError();
        const bool ok = work();
        const uint32_t error = ok ? 0 : ZeltSdkWrapper::LastError();
        lock.lock();
        --m_iRunning;
        m_ended.push_back({job, ok, error});
        WakeLocked();
    }
    if (--m_iInside == 0)
        m_idle.notify_all();
}
