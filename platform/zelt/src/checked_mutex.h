// A mutex that knows, in debug builds, which thread holds it. A function
// that must run with it held starts with assertHeld(): a caller that forgot
// the lock stops the program there, instead of racing silently. In release
// builds (NDEBUG) the check and the owner are compiled out.
//
// It is Lockable, so std::lock_guard and std::unique_lock take it; wait on
// it with std::condition_variable_any, which unlocks and relocks through
// it and so keeps the owner right.
#pragma once

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

namespace zelt {

class CheckedMutex
{
public:
    explicit CheckedMutex(const char *name = "mutex") : name_(name) {}
    CheckedMutex(const CheckedMutex &) = delete;
    CheckedMutex &operator=(const CheckedMutex &) = delete;

    void lock()
    {
        mu_.lock();
        setOwner(std::this_thread::get_id());
    }
    bool try_lock()
    {
        if (!mu_.try_lock())
            return false;
        setOwner(std::this_thread::get_id());
        return true;
    }
    void unlock()
    {
        setOwner({});
        mu_.unlock();
    }

    void assertHeld() const
    {
#ifndef NDEBUG
        // Relaxed is enough: only the owner ever stores its own id, and a
        // thread always sees its own last store.
        if (owner_.load(std::memory_order_relaxed) != std::this_thread::get_id()) {
            std::fprintf(stderr, "zelt: %s is not held by this thread\n", name_);
            std::abort();
        }
#endif
    }

private:
    void setOwner([[maybe_unused]] std::thread::id id)
    {
#ifndef NDEBUG
        owner_.store(id, std::memory_order_relaxed);
#endif
    }

    std::mutex mu_;
    const char *name_;
#ifndef NDEBUG
    std::atomic<std::thread::id> owner_{};
#endif
};

} // namespace zelt
