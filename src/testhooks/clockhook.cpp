#include "testhooks/basehooks.h"

void SetClockHook(const sClockHook* hook)
{
    std::lock_guard<std::mutex> guard(g_clockHookSlot.m_lock);
    if (hook != nullptr) {
        g_clockHookSlot.m_hook = *hook;
    }
    g_clockHookSlot.m_installed.store(hook != nullptr, std::memory_order_release);
}
