#pragma once
// cStdBasicProgressForm: the stock window of a long operation. It is at once a form, the
// job whose body (Run) a derived class supplies, and the progress sink that the body
// reports to. The job starts when the form is created; when it ends, the form closes
// with the job's result as the modal end code. Texts from "ciom::progress".
//
// Layout (client panel CW wide): the progress bar at (5, 0), CW - 10 by 18, range 1000,
// with a transparent toolbar holding the "Stop" button lying on its right end; below
// it, at (5, 20), the status line: "Starting...", then the stage, the percentage, the
// time used and the time left.
//
// Stopping: Escape, the Stop button and the window's close request only ask the job to
// stop (IsCancelRequested turns true); the body decides when to return, and its end
// action closes the form. With no job running they end the form with 0 at once. Enter
// does nothing: the form ends only with its job's result or by a cancel.
//
// Threads: OnProgress, SetStage and IsCancelRequested run on the job thread; they reach
// the status line through the label's own lock, the bar through its SetPosition and
// Stop, and the form through a posted action.
//
// A class derived from this form whose body uses its own members MUST stop the job
// (cJob::Stop) in its own destructor: the modal run deletes the form as soon as the end
// action is handled, while the job thread may still be on its way out.
#include "base/jobs.h"
#include "base/texts.h"
#include "base/types.h"
#include "gui/controls/progressbar.h"
#include "gui/controls/statictext.h"
#include "gui/controls/toolbar.h"
#include "gui/core/form.h"

#include <atomic>
#include <map>

class cStdBasicProgressForm : public cCustomForm, public cJob, public cProgressNotifyTarget
{
public:
    // Posted by the job to the form when it ends; carries the job's result.
    class cProgressAction : public cChildAction
    {
    public:
        enum : i32 { kCode = 8 };
        explicit cProgressAction(i32 result) : cChildAction(kCode), m_result(result) {}
        i32 GetResult() const { return m_result; }

    private:
        i32 m_result;
    };

    // The status line refreshes at most once per this many milliseconds.
    static constexpr u32 kRefreshIntervalMs = 500;
    // The estimate shows at most 99:59:59.
    static constexpr f64 kMaxRemainingMs = 359999999.0;

    cStdBasicProgressForm() = default;
    // Stops and joins the job before the widgets and the stage texts go.
    ~cStdBasicProgressForm() override;

    // --- job thread ------------------------------------------------------------------------
    // `percent` is clamped to 0..100 (NaN counts as 0). At most every 500 ms, and never
    // for 0 %, moves the bar to trunc(percent x 10) (waiting for a pending wash) and sets
    // the status line. False when the job is asked to stop.
    bool OnProgress(f64 percent);
    bool SetProgress(f64 percent) override { return OnProgress(percent); }
    // The stage's registered text becomes the status prefix (string 3 when none), the
    // bar fills up and washes out (blocking about 200 ms) and the elapsed time restarts.
    void SetStage(i32 stage) override;
    bool IsCancelRequested() const { return IsStopRequested(); }
    bool IsCancelled() override { return IsCancelRequested(); }

    // --- GUI thread --------------------------------------------------------------------------
    const char* GetFormId() override { return "ciom::progress"; }
    // Stores the theme's kImageCancel as picture 1 (the Stop button) of the progress image list.
    void ApplyStyle() override;
    void OnCreate() override;
    // The Stop button cancels; the job's end action ends the run with its result.
    bool OnAction(cChildElement* source, cChildAction* action) override;
    // True when the job does not run; otherwise asks it to stop and refuses.
    bool CanCloseSelf() override;
    void OnOK() override {}
    void OnCancel() override;

protected:
    // Stage texts, registered before the form runs (the job reads them unlocked); an
    // empty text counts as none.
    void SetStageText(i32 stage, const char16_t* text);
    // With false the status line shows only the elapsed time. Any thread.
    void SetShowEstimate(bool show) { m_showEstimate.store(show, std::memory_order_relaxed); }

    void OnFinished(i32 result) override { OnJobEnd(result); }
    // Posts the end action with `result` to the form (job thread).
    void OnJobEnd(i32 result);

private:
    void RefreshStatus(u32 now, f64 percent, i32 position);

    cStaticElement m_statusLabel;
    cToolBarChild m_toolbar;
    cProgressChild m_bar;
    std::map<i32, _guardchar<char16_t>> m_stageTexts;
    // Job thread once the job runs (set before it starts):
    u32 m_startTick = 0;
    u32 m_lastRefresh = 0;
    const char16_t* m_stageText = nullptr;
    // Language texts, looked up on the GUI thread when the form is created.
    const char16_t* m_defaultStageText = nullptr;
    const char16_t* m_estimateFormat = nullptr;
    const char16_t* m_elapsedFormat = nullptr;
    std::atomic<bool> m_showEstimate{true};
};

// Runs `form` (owned from here on, deleted on every path) modally over `parent` with a
// 600 x 106 client area, not resizable, and returns the end code: the job's result, 0
// when it was cancelled while no job ran or when `parent` or `form` is null, -1 without
// a host.
i32 RunProgressForm(cChildElement* parent, cStdBasicProgressForm* form, const char16_t* title);
