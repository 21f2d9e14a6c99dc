#include "gui/core/actions.h"

#include "base/locks.h"
#include "gui/core/windowrequest.h"

#include <deque>
#include <new>
#include <thread>
#include <unordered_map>
#include <vector>

struct sActionDispatch
{
    static void Complete(cChildElement::cChildAction* action, bool handled)
    {
        action->Complete(handled);
    }
    static bool Send(cChildElement* element, cChildElement::cSentChildAction* action);
};

namespace {

struct sQueuedAction
{
    cChildElement* element;
    u64 serial;
    cChildElement::cChildAction* action;
};

struct sRepaintRequest
{
    cChildElement* element;
    u64 serial;
    bool whole;
    sRect rect;
};

struct sDispatchState
{
    cCriticalSection lock;
    cWindowRequestTarget* host = nullptr;
    std::thread::id guiThread;
    u64 lastSerial = 0;
    std::unordered_map<const cChildElement*, u64> live;
    std::deque<sQueuedAction> guiQueue;
    std::deque<sQueuedAction> workerQueue;
    std::vector<sRepaintRequest> repaints;

    bool NothingPending() const
    {
        return guiQueue.empty() && workerQueue.empty() && repaints.empty();
    }
    bool IsLive(const cChildElement* element, u64 serial) const
    {
        auto found = live.find(element);
        return found != live.end() && found->second == serial;
    }
};

sDispatchState& State()
{
    static sDispatchState state;
    return state;
}

enum class eQueue { Gui, Worker };

bool Enqueue(eQueue queue, cChildElement* element, cChildElement::cChildAction* action)
{
    sDispatchState& state = State();
    cSafeCriticalSectionAccess guard(state.lock);
    auto found = element != nullptr ? state.live.find(element) : state.live.end();
    if (state.host == nullptr || found == state.live.end()) {
        sActionDispatch::Complete(action, false);
        return false;
    }
    bool wasIdle = state.NothingPending();
    sQueuedAction entry{element, found->second, action};
    (queue == eQueue::Gui ? state.guiQueue : state.workerQueue).push_back(entry);
    if (wasIdle) {
        state.host->Wake();
    }
    return true;
}

bool Post(eQueue queue, cChildElement* element, cChildElement::cChildAction* action)
{
    if (action == nullptr) {
        action = new (std::nothrow) cChildElement::cChildAction(0);
        if (action == nullptr) {
            return false;
        }
    }
    return Enqueue(queue, element, action);
}

// Runs OnAction up the tree from the element the action was posted to. A handler may
// destroy elements, so each step goes on only while the next parent is still alive.
bool Bubble(cChildElement* source, cChildElement::cChildAction* action)
{
    cChildElement* element = source;
    while (element != nullptr) {
        cChildElement* parent = element->GetParent();
        u64 parentSerial = parent != nullptr ? parent->GetSerial() : 0;
        if (element->OnAction(source, action)) {
            return true;
        }
        if (parent == nullptr || !IsElementLive(parent, parentSerial)) {
            return false;
        }
        element = parent;
    }
    return false;
}

} // namespace

bool sActionDispatch::Send(cChildElement* element, cChildElement::cSentChildAction* action)
{
    {
        sDispatchState& state = State();
        cSafeCriticalSectionAccess guard(state.lock);
        if (state.host != nullptr && state.guiThread == std::this_thread::get_id()) {
            return false;
        }
    }
    {
        std::lock_guard guard(action->m_mutex);
        action->m_done = false;
        action->m_handled = false;
    }
    if (!Enqueue(eQueue::Worker, element, action)) {
        return false;
    }
    std::unique_lock guard(action->m_mutex);
    action->m_answered.wait(guard, [action] { return action->m_done; });
    return action->m_handled;
}

void cChildElement::cSentChildAction::Complete(bool handled)
{
    std::lock_guard guard(m_mutex);
    m_handled = handled;
    m_done = true;
    m_answered.notify_all();
}

bool PostAction(cChildElement* element, cChildElement::cChildAction* action)
{
    return Post(eQueue::Gui, element, action);
}

bool PostJobAction(cChildElement* element, cChildElement::cChildAction* action)
{
    return Post(eQueue::Worker, element, action);
}

bool SendJobAction(cChildElement* element, cChildElement::cSentChildAction* action)
{
    return action != nullptr && sActionDispatch::Send(element, action);
}

void SetDispatchHost(cWindowRequestTarget* host)
{
    sDispatchState& state = State();
    std::deque<sQueuedAction> dropped;
    {
        cSafeCriticalSectionAccess guard(state.lock);
        state.host = host;
        state.guiThread = std::this_thread::get_id();
        if (host == nullptr) {
            dropped.swap(state.guiQueue);
            dropped.insert(dropped.end(), state.workerQueue.begin(), state.workerQueue.end());
            state.workerQueue.clear();
            state.repaints.clear();
        }
    }
    for (sQueuedAction& entry : dropped) {
        sActionDispatch::Complete(entry.action, false);
    }
}

bool DispatchNextAction()
{
    sDispatchState& state = State();
    sQueuedAction entry;
    bool live;
    {
        cSafeCriticalSectionAccess guard(state.lock);
        std::deque<sQueuedAction>& queue = !state.guiQueue.empty() ? state.guiQueue : state.workerQueue;
        if (queue.empty()) {
            return false;
        }
        entry = queue.front();
        queue.pop_front();
        live = state.IsLive(entry.element, entry.serial);
    }
    bool handled = live && Bubble(entry.element, entry.action);
    sActionDispatch::Complete(entry.action, handled);
    return true;
}

bool HasPendingWork()
{
    sDispatchState& state = State();
    cSafeCriticalSectionAccess guard(state.lock);
    return !state.NothingPending();
}

void ResolveRepaintRequests()
{
    sDispatchState& state = State();
    std::vector<sRepaintRequest> requests;
    {
        cSafeCriticalSectionAccess guard(state.lock);
        requests.swap(state.repaints);
    }
    // Elements die only on the GUI thread, which is this one: a request found live here
    // stays valid while it is handed on.
    for (const sRepaintRequest& request : requests) {
        if (IsElementLive(request.element, request.serial)) {
            request.element->Invalidate(request.whole ? nullptr : &request.rect);
        }
    }
}

u64 RegisterLiveElement(const cChildElement* element)
{
    sDispatchState& state = State();
    cSafeCriticalSectionAccess guard(state.lock);
    u64 serial = ++state.lastSerial;
    state.live[element] = serial;
    return serial;
}

void UnregisterLiveElement(const cChildElement* element)
{
    sDispatchState& state = State();
    cSafeCriticalSectionAccess guard(state.lock);
    state.live.erase(element);
}

bool IsElementLive(const cChildElement* element, u64 serial)
{
    sDispatchState& state = State();
    cSafeCriticalSectionAccess guard(state.lock);
    return state.IsLive(element, serial);
}

bool QueueRepaintUnlessGuiThread(cChildElement* element, u64 serial, const sRect* rect)
{
    sDispatchState& state = State();
    cSafeCriticalSectionAccess guard(state.lock);
    if (state.host == nullptr) {
        return false;
    }
    if (state.guiThread == std::this_thread::get_id()) {
        return true;
    }
    if (state.IsLive(element, serial)) {
        bool wasIdle = state.NothingPending();
        state.repaints.push_back({element, serial, rect == nullptr, rect != nullptr ? *rect : sRect{}});
        if (wasIdle) {
            state.host->Wake();
        }
    }
    return false;
}
