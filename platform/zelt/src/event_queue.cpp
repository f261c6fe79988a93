#include "event_queue.h"

#include "log.h"

#include <mutex>

namespace zelt {

void EventQueue::push(const std::string &key, const ZELT_DEVICE_INFO &info)
{
    if (log::enabled(3))
        log::write(3, "event %d %s %s %s", info.iResult, info.szSerialNO, info.szMAC, info.szIPv4Address);
    {
        std::lock_guard lock(mu_);
        if (stopped_)
            return;
        auto it = last_.find(key);
        if (it != last_.end()) {
            Queued &last = *it->second;
            const int was = last.info.iResult, now = info.iResult;
            if (now == ZELT_EVENT_CHANGED && (was == ZELT_EVENT_ONLINE || was == ZELT_EVENT_CHANGED)) {
                last.info = info;
                last.info.iResult = was;
                return;
            }
            if (now == ZELT_EVENT_OFFLINE && was == ZELT_EVENT_ONLINE) {
                last.cancelled = true; // never reported: nothing to take back
                last_.erase(it);
                return;
            }
            if (now == ZELT_EVENT_OFFLINE && was == ZELT_EVENT_CHANGED) {
                last.info = info;
                return;
            }
        }
        if (queue_.size() >= kMaxQueued) {
            log::write(1, "event queue full, event %d of %s dropped", info.iResult, info.szSerialNO);
            return;
        }
        queue_.push_back({key, info, false});
        last_[key] = &queue_.back();
    }
    cv_.notify_one();
}

bool EventQueue::pop(ZELT_DEVICE_INFO &out)
{
    std::unique_lock lock(mu_);
    for (;;) {
        cv_.wait(lock, [&] { return stopped_ || !queue_.empty(); });
        if (stopped_)
            return false;
        Queued &front = queue_.front();
        const bool cancelled = front.cancelled;
        out = front.info;
        if (auto it = last_.find(front.key); it != last_.end() && it->second == &front)
            last_.erase(it);
        queue_.pop_front();
        if (!cancelled)
            return true;
    }
}

void EventQueue::stop()
{
    {
        std::lock_guard lock(mu_);
        stopped_ = true;
        queue_.clear();
        last_.clear();
    }
    cv_.notify_all();
}

void TableWatch::changed()
{
    {
        std::lock_guard lock(mu_);
        ++generation_;
    }
    cv_.notify_all();
}

uint64_t TableWatch::generation()
{
    std::lock_guard lock(mu_);
    return generation_;
}

void TableWatch::wait(uint64_t seen, Clock::time_point until)
{
    std::unique_lock lock(mu_);
    cv_.wait_until(lock, until, [&] { return stopped_ || generation_ != seen; });
}

void TableWatch::stop()
{
    {
        std::lock_guard lock(mu_);
        stopped_ = true;
    }
    cv_.notify_all();
}

} // namespace zelt
