#pragma once
// cProgressChild: an animated progress bar. Each bar owns a small worker job that turns
// position requests into ten-step animations and fades a flat idle wash in and out.
//
// The job reaches the bar only by actions on the worker queue (a position, code 7, and a
// wash, code 8), so SetRange, SetPosition, Start and Stop may run on any thread: they
// touch only the job's state, under the job's own lock. Everything else is for the GUI
// thread.
//
// Timeline (30 ms = six 5 ms sleeps; the job looks at a stop request and, where it may
// be cut short, at a new request after every 5 ms sleep; an idle job, whose last look
// found nothing to do, sleeps its 30 ms in one piece, so ten idle bars cost next to no
// processor time):
//   Start          position 0, then washes 1.0, 0.9, ..., 0.0 thirty ms apart;
//   SetPosition    ten steps start + i (target - start) / 10, then the target; a target
//                  below the animated position restarts from 0; a running wash or
//                  animation is cut short by the next request;
//   Stop           fills up to the maximum, then washes 0.0 .. 1.0 back to the flat box.
//
// Wash 1 shows the flat fill colour, wash 0 the gradients; the fill colour is mixed in
// pixel order, so a coloured fill keeps its hue while it fades.
#include "base/jobs.h"
#include "base/locks.h"
#include "base/types.h"
#include "gui/core/actions.h"
#include "gui/core/element.h"
#include "gui/core/picture.h"

class cProgressChild;

// The bar's animation job: runs from the bar's style until the bar goes, waking every
// 30 ms.
class cProgressViewUpdateJob : public cJob
{
public:
    // What the job does next; set by the bar, taken (and reset to kIdle) by the job.
    enum : i32
    {
        kIdle = 0,
        kWashOut = 1,    // fade the flat wash away, showing the gradients
        kWashIn = 2,     // fade back to the flat box
        kNewPosition = 3 // animate to the requested position
    };

    ~cProgressViewUpdateJob() override;

protected:
    i32 Run() override;

private:
    friend class cProgressChild;

    // How a step of six 5 ms sleeps ended.
    enum class eWake
    {
        Elapsed,
        NewState, // a request arrived
        StopJob,
    };

    // The 30 ms before each look at the state: in one piece after a look that found
    // nothing to do, else as six 5 ms sleeps. False when the job is to stop.
    bool PauseBeforeLook(bool idle);
    // One animation step: six 5 ms sleeps, cut short by a request or a stop.
    eWake SleepOneStep();
    // Fades by one tenth per step, towards 0 (direction -1, washing out) or 10 (+1,
    // washing in). False when the job is to stop.
    bool Wash(i32& level, i32 direction);
    bool AnimateToRequest(i32& level);
    void PostPosition(i32 position);
    void PostWash(i32 level);

    cChildElement* m_target = nullptr; // set before the thread starts
    // Guarded by m_lock:
    i32 m_animatedPosition = 0;
    i32 m_maximum = 0;
    i32 m_state = kIdle;
    i32 m_requestedPosition = 0;
    bool m_started = false;
    cCriticalSection m_lock;
};

// Whether SetPosition waits for a wash the job has not taken yet.
enum class eProgressWait
{
    WaitForWash,
    NoWait,
};

// How Stop ends the bar's run.
enum class eProgressStop
{
    FillThenWash, // fill to the maximum, give it 200 ms, then wash in (blocks the caller)
    Immediate,    // wash in at once
};

class cProgressChild : public cChildElement
{
public:
    // Posted by the job: the position to show.
    class cSetProgressRequestAction : public cChildAction
    {
    public:
        enum : i32 { kCode = 7 };
        explicit cSetProgressRequestAction(i32 position) : cChildAction(kCode), m_position(position) {}
        i32 GetPosition() const { return m_position; }

    private:
        i32 m_position;
    };
    // Posted by the job: the wash to show, 0 (gradients) .. 1 (flat fill).
    class cSetOpacityRequestAction : public cChildAction
    {
    public:
        enum : i32 { kCode = 8 };
        explicit cSetOpacityRequestAction(f64 wash) : cChildAction(kCode), m_wash(wash) {}
        f64 GetWash() const { return m_wash; }

    private:
        f64 m_wash;
    };

    // The pixel value of the bar's one-pixel border.
    static constexpr u32 kBorderPixel = 0xF1D5C6;
    // The gradients, top to bottom (0xRRGGBB), stretched to the inner height.
    static const u32 kRemainingColumn[20];
    static const u32 kDoneColumn[20];

    cProgressChild();
    // Stops and joins the animation job before the pictures go.
    ~cProgressChild() override;

    // Ignored when `maximum` is below 1; a shown position above it is lowered to it.
    void SetRange(i32 maximum);
    // Any thread. Clamps `position` to 0..maximum, starts the bar, waits (WaitForWash) in
    // 10 ms steps while a wash request is pending, then requests the position; a running
    // animation is not waited for but cut short. The wait also ends when the job does not
    // run or is being stopped, so an unstyled or dying bar cannot hang the caller.
    void SetPosition(i32 position, eProgressWait wait = eProgressWait::WaitForWash);
    // Any thread. On the first call after a stop: shows position 0 and washes the
    // gradients in. Only the caller that flips the started flag posts.
    void Start();
    // Any thread. Nothing unless started. FillThenWash blocks about 200 ms; it returns at
    // once, leaving the bar started, when the job is being stopped meanwhile.
    void Stop(eProgressStop how);
    // True from Start until Stop.
    bool IsStarted();
    // A GDI colour 0x00BBGGRR.
    void SetFillColour(u32 colour, bool redraw);

    void OnPaint(cCanvas& canvas) override;
    // Draws the bar under a transparent child (the form's Stop toolbar) and answers true.
    bool OnDrawBackground(cCanvas& canvas, const sRect& rect) override;
    void OnResize() override;
    // Handles the job's position and wash actions posted to the bar itself; everything
    // else (the toolbar's code-7 button and code-8 bar actions bubbling from a child)
    // passes on untouched.
    bool OnAction(cChildElement* source, cChildAction* action) override;
    void ApplyStyle() override;

private:
    void HandRangeToJob(i32 maximum);
    void RebuildPictures();
    bool EnsureColumns(i32 innerHeight);
    // Draws the composed picture at (x, y) while the bar runs, else the flat box.
    void PaintBar(cCanvas& canvas, i32 x, i32 y, u32 outline);

    cProgressViewUpdateJob m_job;
    // GUI thread:
    i32 m_maximum = 0;
    i32 m_shownPosition = 0;
    f64 m_wash = 1.0;
    cPicture m_composed;
    cPicture m_doneColumn;
    cPicture m_remainingColumn;
    u32 m_fillColour = 0;
    u32 m_frameColour = 0;
};
