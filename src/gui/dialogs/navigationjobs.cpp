#include "gui/dialogs/navigationjobs.h"

#include "base/clock.h"

#include <cmath>
#include <new>

namespace {

constexpr u32 kStopTimeoutMs = 1000;
constexpr i32 kSleepsPerStep = 40;
constexpr u32 kSleepMs = 5;
constexpr f64 kProgressStep = 0.05;
// Progress below this shows nothing: the first second of a listing.
constexpr f64 kProgressShown = 0.25;
constexpr f64 kTwoOverPi = 0.6366197723675814;

// A null action would go out as a plain code-0 action: an allocation failure posts
// nothing instead.
void PostTo(cChildElement* target, cChildElement::cChildAction* action)
{
    if (action != nullptr) {
        (void)PostJobAction(target, action);
    }
}

} // namespace

// --- provider ----------------------------------------------------------------------------------

bool cNavigationProvider::StartListing(cChildElement* target, const char16_t* path, const char16_t* nameToSelect)
{
    // A job whose listing was delivered is only winding down: the bar may have taken the
    // listing and gone idle before the thread has ended, and Start joins it.
    if ((IsRunning() && !m_delivered.load(std::memory_order_acquire)) || path == nullptr) {
        return false;
    }
    m_delivered.store(false, std::memory_order_relaxed);
    m_target = target;
    if (!m_path.Assign(path) || !m_nameToSelect.Assign(nameToSelect)) {
        return false;
    }
    return Start();
}

i32 cNavigationProvider::Run()
{
    return List(m_path.GetOrEmpty(), m_nameToSelect.Get());
}

void cNavigationProvider::OnFinished(i32 result)
{
    // Marked before the post: once the target has the result, the next StartListing may
    // run at any moment and rewrite the stored values.
    cChildElement* target = m_target;
    m_delivered.store(true, std::memory_order_release);
    if (target != nullptr) {
        PostTo(target, new (std::nothrow) cNaviDoneAction(result));
    }
    OnListed(result);
}

// --- progress animator -----------------------------------------------------------------------

cFakeNavigationProgressJob::~cFakeNavigationProgressJob()
{
    (void)Stop(kStopTimeoutMs);
}

void cFakeNavigationProgressJob::Begin(cChildElement* target)
{
    m_target.store(target, std::memory_order_release);
    m_progress.store(0.0, std::memory_order_release);
    if (!IsRunning()) {
        (void)Start();
    }
}

void cFakeNavigationProgressJob::Finish()
{
    m_progress.store(-1.0, std::memory_order_release);
    if (cChildElement* target = m_target.load(std::memory_order_acquire)) {
        PostTo(target, new (std::nothrow) cNaviFakeProgressRecvAction(1.0));
    }
}

i32 cFakeNavigationProgressJob::Run()
{
    while (!IsStopRequested()) {
        for (i32 sleep = 0; sleep < kSleepsPerStep; ++sleep) {
            SleepMilliseconds(kSleepMs);
            if (IsStopRequested()) {
                return 0;
            }
        }
        f64 seen = m_progress.load(std::memory_order_acquire);
        while (seen >= 0.0 && !m_progress.compare_exchange_weak(seen, seen + kProgressStep, std::memory_order_acq_rel)) {
        }
        cChildElement* target = m_target.load(std::memory_order_acquire);
        if (seen >= kProgressShown && target != nullptr) {
            PostTo(target, new (std::nothrow) cNaviFakeProgressRecvAction(kTwoOverPi * std::atan(seen - kProgressShown)));
        }
    }
    return 0;
}
