#pragma once
// The navigation bar's two worker jobs and the actions they post.
//
// cNavigationProvider lists one path at a time for a target element (the bar) and tells
// it through a cNaviDoneAction on the worker queue when the listing has ended; after that
// post the job touches nothing the GUI thread reads. cFakeNavigationProgressJob moves the
// bar's progress while a listing runs: nothing for the first second, then fractions that
// creep towards, without reaching, the end.
#include "base/jobs.h"
#include "base/texts.h"
#include "base/types.h"
#include "gui/core/actions.h"
#include "gui/core/element.h"

#include <atomic>

// Code 8 on the bar: the listing ended with this job result (0 = success).
class cNaviDoneAction : public cChildElement::cChildAction
{
public:
    enum : i32 { kCode = 8 };
    explicit cNaviDoneAction(i32 result) : cChildAction(kCode), m_result(result) {}
    i32 GetResult() const { return m_result; }

private:
    i32 m_result;
};

// Code 9 on the bar: the progress position as a fraction 0..1.
class cNaviFakeProgressRecvAction : public cChildElement::cChildAction
{
public:
    enum : i32 { kCode = 9 };
    explicit cNaviFakeProgressRecvAction(f64 fraction) : cChildAction(kCode), m_fraction(fraction) {}
    f64 GetFraction() const { return m_fraction; }

private:
    f64 m_fraction;
};

class cNavigationProvider : public cJob
{
public:
    // False while a listing runs (until its done action is posted) or for a null path (an
    // empty one is the places); otherwise keeps the three values and starts the job,
    // waiting for a delivered run's thread to end first.
    [[nodiscard]] bool StartListing(cChildElement* target, const char16_t* path, const char16_t* nameToSelect);
    // Whether the path can be listed.
    virtual bool CanNavigate(const char16_t* path) = 0;

protected:
    // The listing body on the worker thread; the job result (0 = success).
    virtual i32 List(const char16_t* path, const char16_t* nameToSelect) = 0;
    // Called on the worker after the done action was posted; it MUST NOT touch what
    // StartListing writes (a new listing may be starting).
    virtual void OnListed(i32 result) {}

    i32 Run() override;
    void OnFinished(i32 result) override;

private:
    // Written by StartListing before the thread starts; read by the worker.
    cChildElement* m_target = nullptr;
    _guardchar<char16_t> m_path;
    _guardchar<char16_t> m_nameToSelect;
    std::atomic<bool> m_delivered{false};
};

class cFakeNavigationProgressJob : public cJob
{
public:
    ~cFakeNavigationProgressJob() override;

    // GUI thread: progress 0 for `target`, and the job started unless it runs.
    void Begin(cChildElement* target);
    // GUI thread: progress -1 (idle), and a last fraction 1.0 posted to the target
    // through the worker queue, so that it lands after every fraction posted before.
    void Finish();

protected:
    // Every 200 ms (40 sleeps of 5 ms, a stop honoured after each): while the progress
    // is not negative, it grows by 0.05, and from 0.25 on the old value's fraction
    // (2 / pi) x atan(progress - 0.25) is posted.
    i32 Run() override;

private:
    // Both sides write it (the GUI sets 0 and -1, the job adds), so the job adds by
    // compare-exchange and only to a value that is still not negative: an add can never
    // undo Finish and keep an idle bar animating.
    std::atomic<f64> m_progress{-1.0};
    std::atomic<cChildElement*> m_target{nullptr};
};
