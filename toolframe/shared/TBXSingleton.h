// Process-wide singletons, created on first use.
#pragma once

#include <atomic>

#include "vela.h"

namespace TBX {

// Double-checked locking on a vela mutex: the fast path is one acquire load;
// the first callers race for the mutex and exactly one constructs. The
// instance is destroyed at process exit.
template <class T>
class CSingleton
{
public:
    static T *Instance()
    {
        T *p = s_instance.load(std::memory_order_acquire);
        if (p)
            return p;
        Vela_Mutex *m = mutex();
        Vela_LockMutex(m);
        p = s_instance.load(std::memory_order_relaxed);
        if (!p) {
            p = new T;
            s_instance.store(p, std::memory_order_release);
            static Destroyer destroyer; // runs at exit, after this first creation
            (void)destroyer;
        }
        Vela_UnlockMutex(m);
        return p;
    }

    // Whether the instance exists (never creates it).
    static bool Exists() { return s_instance.load(std::memory_order_acquire) != nullptr; }

private:
    struct Destroyer {
        ~Destroyer() { delete s_instance.exchange(nullptr, std::memory_order_acq_rel); }
    };

    static Vela_Mutex *mutex()
    {
        static Vela_Mutex *m = Vela_CreateMutex(0); // thread-safe static init
        return m;
    }

    static inline std::atomic<T *> s_instance{nullptr};
};

} // namespace TBX
