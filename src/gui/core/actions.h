#pragma once
// Actions: messages queued on a widget and run on the GUI thread.
//
// Two FIFO queues serve the whole process: the GUI queue (PostAction, PostCode) and the
// worker queue (PostJobAction, SendJobAction). Order holds within one queue only; the
// dispatcher takes the GUI queue first, then the worker queue, one action at a time.
//
// The queues, the set of live elements and the repaint requests share one process-wide
// recursive lock, which is never held while an OnAction runs. Every element has a 64-bit
// serial, and the live set maps each living element's address to its serial; a queued
// action remembers both and runs only while that address still maps to that serial, so
// an action for an element destroyed before dispatch (or for a new element at a recycled
// address) is deleted unrun.
//
// Dispatch calls OnAction(source, action) on the element the action was posted to, then
// on each parent up to the window root with the same source, until one answers true;
// then the action is deleted (a sent action is answered instead).
#include "base/types.h"
#include "gui/core/element.h"

#include <condition_variable>
#include <mutex>

class cWindowRequestTarget;

// A queued message with a 32-bit code; typed actions derive from it and add a payload.
// Posted actions are made with new (std::nothrow) and belong to the queue from the post
// on.
class cChildElement::cChildAction
{
public:
    explicit cChildAction(i32 code) : m_code(code) {}
    virtual ~cChildAction() = default;
    cChildAction(const cChildAction&) = delete;
    cChildAction& operator=(const cChildAction&) = delete;

    i32 GetCode() const { return m_code; }

private:
    friend struct sActionDispatch;
    // Called once the action has run (or was dropped unrun): posted actions delete
    // themselves, sent ones wake their sender.
    virtual void Complete(bool handled) { delete this; }

    i32 m_code;
};

// An action whose sender (a job) waits until the GUI thread has run it. The sender owns
// it, typically on its own stack; derived classes carry the question and the answer.
class cChildElement::cSentChildAction : public cChildElement::cChildAction
{
public:
    using cChildAction::cChildAction;

private:
    friend struct sActionDispatch;
    void Complete(bool handled) override;

    // Notified under the mutex: the sender may destroy the action as soon as it sees
    // the answer, so the GUI thread must not touch it after unlocking.
    std::mutex m_mutex;
    std::condition_variable m_answered;
    bool m_done = false;
    bool m_handled = false;
};

// Code 2: the right button was released inside the element; the point is in the
// element's coordinates.
class cChildElement::cContextAction : public cChildElement::cChildAction
{
public:
    enum : i32 { kCode = 2 };
    cContextAction(i32 x, i32 y) : cChildAction(kCode), m_x(x), m_y(y) {}
    i32 GetX() const { return m_x; }
    i32 GetY() const { return m_y; }

private:
    i32 m_x;
    i32 m_y;
};

// Queues `action` on `element`'s GUI queue (null: a plain code-0 action) and wakes the
// GUI thread. False, with the action deleted, when no host is installed, the element is
// not alive or a plain action cannot be allocated.
bool PostAction(cChildElement* element, cChildElement::cChildAction* action);
// The same on the worker queue; callable from any thread.
bool PostJobAction(cChildElement* element, cChildElement::cChildAction* action);
// Queues `action` (owned by the caller) on the worker queue and blocks the calling job,
// without time-out, until the GUI thread has run it; true when an OnAction answered true.
// False at once when it cannot be delivered (no host, element not alive) or when called
// on the GUI thread, which would wait for itself. An action dropped unrun (its element
// destroyed meanwhile, or the host removed) releases the sender with false.
bool SendJobAction(cChildElement* element, cChildElement::cSentChildAction* action);

// --- the host's side ---------------------------------------------------------------------
// Installs the host whose loop dispatches; the calling thread becomes the GUI thread.
// Null removes it: every queued action is dropped unrun (senders released) and the
// repaint requests are forgotten. The host's Wake is called, under the process-wide lock,
// whenever work arrives while none was pending, so Wake MUST NOT wait for that lock.
void SetDispatchHost(cWindowRequestTarget* host);
// Runs one queued action (GUI queue first); false when both queues were empty. GUI thread
// only.
bool DispatchNextAction();
// Queued actions or repaint requests are waiting.
bool HasPendingWork();
// Hands the repaint requests made on other threads to their windows. GUI thread only.
void ResolveRepaintRequests();

// --- used by cChildElement ------------------------------------------------------------------
// Adds a new element to the live set and returns its serial.
u64 RegisterLiveElement(const cChildElement* element);
void UnregisterLiveElement(const cChildElement* element);
bool IsElementLive(const cChildElement* element, u64 serial);
// Routes a repaint request (rect null = the whole element): true when the caller is on
// the GUI thread and resolves it at once; otherwise it is queued for the GUI thread, or
// dropped while no host is installed (no window can show it then).
bool QueueRepaintUnlessGuiThread(cChildElement* element, u64 serial, const sRect* rect);
