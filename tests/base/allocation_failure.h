#pragma once
// Reaches the allocation-failure paths of the base containers through their allocation
// hook: while a scope lives, the first `allowed` allocations succeed and every later one
// fails as if memory were short.
#include "base/buffers.h"
#include "testhooks/basehooks.h"

#include <atomic>

class cAllocationFailureScope
{
public:
    explicit cAllocationFailureScope(int allowed)
    {
        s_remaining.store(allowed);
        s_refused.store(0);
        SetAllocationHook(&Decide);
    }
    ~cAllocationFailureScope() { SetAllocationHook(nullptr); }
    cAllocationFailureScope(const cAllocationFailureScope&) = delete;
    cAllocationFailureScope& operator=(const cAllocationFailureScope&) = delete;

    // How many allocations were refused so far.
    int Refused() const { return s_refused.load(); }

private:
    static bool Decide(u64)
    {
        if (s_remaining.fetch_sub(1) > 0) {
            return true;
        }
        s_refused.fetch_add(1);
        return false;
    }

    static inline std::atomic<int> s_remaining{0};
    static inline std::atomic<int> s_refused{0};
};
