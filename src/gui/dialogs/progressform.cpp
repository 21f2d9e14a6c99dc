#include "gui/dialogs/progressform.h"

#include "base/clock.h"
#include "base/format.h"
#include "gui/core/canvas.h"
#include "gui/core/imagelist.h"
#include "gui/core/panel.h"
#include "gui/core/theme.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <new>

namespace {

constexpr u32 kStopTimeoutMs = 4000;

// "ciom::progress" texts.
enum : i32
{
    kTextStop = 0,
    kTextStarting = 1,
    kTextProgressWithEstimate = 2,
    kTextDefaultStage = 3,
    kTextElapsedOnly = 4,
};

constexpr i32 kStopButtonId = 1;
constexpr i32 kStopPicture = 1;
constexpr i32 kThemePanelColour = 0;
constexpr i32 kBarRange = 1000;
constexpr i32 kBarHeight = 18;
constexpr i32 kStatusTop = 20;
constexpr i32 kStatusHeight = 16;
constexpr i32 kMargin = 5;
constexpr size_t kStatusCapacity = 256;

// The pictures of the progress forms' toolbars, shared by all of them.
sImageList& ProgressImages()
{
    static sImageList images;
    return images;
}

struct sClockTime
{
    i32 hours;
    i32 minutes;
    i32 seconds;
};

sClockTime SplitSeconds(u32 milliseconds)
{
    const u32 seconds = milliseconds / 1000;
    return {i32(seconds / 3600), i32(seconds % 3600 / 60), i32(seconds % 60)};
}

} // namespace

cStdBasicProgressForm::~cStdBasicProgressForm()
{
    // The body and OnFinished may still run on the job thread; they use the label, the
    // bar and the stage texts, which go right after this.
    cJob::Stop(kStopTimeoutMs);
}

// --- job thread ------------------------------------------------------------------------------

bool cStdBasicProgressForm::OnProgress(f64 percent)
{
    // NaN (0/0 from a caller) fails both comparisons of a clamp: count it as 0.
    if (!(percent > 0.0)) {
        percent = 0.0;
    }
    percent = std::min(percent, 100.0);
    const u32 now = MillisecondTick();
    if (u32(now - m_lastRefresh) > kRefreshIntervalMs && percent != 0.0) {
        m_lastRefresh = now;
        const i32 position = i32(percent * 10);
        m_bar.SetPosition(position);
        RefreshStatus(now, percent, position);
    }
    return !IsStopRequested();
}

void cStdBasicProgressForm::RefreshStatus(u32 now, f64 percent, i32 position)
{
    const u32 elapsedMs = now - m_startTick;
    // In double and clamped: tiny percentages give estimates beyond any integer.
    const f64 remainingMs = std::clamp((100.0 - percent) * elapsedMs / percent, 0.0, kMaxRemainingMs);
    const sClockTime elapsed = SplitSeconds(elapsedMs);
    const sClockTime remaining = SplitSeconds(u32(remainingMs));
    const char16_t* stage = m_stageText != nullptr ? m_stageText : u"";
    // Zeroed: a language without the format shows nothing rather than stale memory.
    char16_t text[kStatusCapacity] = {};
    if (m_showEstimate.load(std::memory_order_relaxed)) {
        FormatWide(text, kStatusCapacity, m_estimateFormat, stage, position * 0.1, elapsed.hours, elapsed.minutes,
                   elapsed.seconds, remaining.hours, remaining.minutes, remaining.seconds);
    } else {
        FormatWide(text, kStatusCapacity, m_elapsedFormat, stage, elapsed.hours, elapsed.minutes, elapsed.seconds);
    }
    (void)m_statusLabel.SetText(text, kAlignLeft, true);
}

void cStdBasicProgressForm::SetStage(i32 stage)
{
    const auto found = m_stageTexts.find(stage);
    m_stageText = found != m_stageTexts.end() && !found->second.IsEmpty() ? found->second.Get() : m_defaultStageText;
    m_bar.Stop(eProgressStop::FillThenWash);
    m_startTick = MillisecondTick();
}

void cStdBasicProgressForm::OnJobEnd(i32 result)
{
    if (auto* action = new (std::nothrow) cProgressAction(result)) {
        PostJobAction(this, action);
    }
}

// --- GUI thread --------------------------------------------------------------------------------

void cStdBasicProgressForm::SetStageText(i32 stage, const char16_t* text)
{
    assert(!IsRunning() && "the job reads the stage texts without a lock");
    (void)m_stageTexts[stage].Assign(text);
}

void cStdBasicProgressForm::ApplyStyle()
{
    cCustomForm::ApplyStyle();
    ProgressImages().Set(kStopPicture, GetTheme()->GetImage(kImageCancel));
    m_showEstimate.store(true, std::memory_order_relaxed);
}

void cStdBasicProgressForm::OnCreate()
{
    cCustomForm::OnCreate();
    cPanelChild* panel = GetClientPanel();
    const i32 width = panel->GetWidth() - 2 * kMargin;
    panel->AttachChild(&m_bar, kMargin, 0, width, kBarHeight);
    m_bar.SetRange(kBarRange);

    // The Stop button lies on the bar's right end; the bar paints under its face.
    m_bar.AttachChild(&m_toolbar, 0, 0, 0, kBarHeight);
    m_toolbar.SetTransparent(true);
    m_toolbar.SetStateImageList(kButtonNormal, &ProgressImages());
    (void)m_toolbar.SetButton(kStopButtonId, GetLangString(kTextStop), kStopPicture);
    m_toolbar.SetButtonTextColour(kButtonNormal, 0x000000);
    const i32 toolbarWidth = m_toolbar.GetTotalWidth();
    m_bar.AddChildAt(&m_toolbar, -1 - toolbarWidth, 0, toolbarWidth, kBarHeight);

    const u32 back = GetTheme()->GetColour(kThemePanelColour);
    panel->AttachChild(&m_statusLabel, kMargin, kStatusTop, width, kStatusHeight);
    m_statusLabel.SetBackColour(back);
    m_statusLabel.SetFrameColour(back);
    (void)m_statusLabel.SetText(GetLangString(kTextStarting), kAlignLeft, true);

    m_defaultStageText = GetLangString(kTextDefaultStage);
    m_estimateFormat = GetLangString(kTextProgressWithEstimate);
    m_elapsedFormat = GetLangString(kTextElapsedOnly);
    // Everything the job reads is in place before its thread exists.
    m_stageText = m_defaultStageText;
    m_startTick = MillisecondTick();
    m_lastRefresh = 0;
    (void)cJob::Start();
}

bool cStdBasicProgressForm::OnAction(cChildElement* source, cChildAction* action)
{
    if (source == &m_toolbar) {
        if (auto* press = dynamic_cast<cToolBarChild::cTbButtonAction*>(action)) {
            if (press->GetId() == kStopButtonId) {
                OnCancel();
            }
            return true;
        }
    }
    // Code 8 is also the toolbar's press between buttons: only the job's own end action
    // ends the run.
    if (source == this) {
        if (auto* end = dynamic_cast<cProgressAction*>(action)) {
            EndModal(end->GetResult());
            return true;
        }
    }
    return cCustomForm::OnAction(source, action);
}

bool cStdBasicProgressForm::CanCloseSelf()
{
    if (!IsRunning()) {
        return true;
    }
    RequestStop();
    return false;
}

void cStdBasicProgressForm::OnCancel()
{
    // Also when the job has ended but its end action is still queued: that action then
    // finds the form gone and is dropped.
    if (!IsRunning()) {
        EndModal(0);
        return;
    }
    RequestStop();
}

i32 RunProgressForm(cChildElement* parent, cStdBasicProgressForm* form, const char16_t* title)
{
    if (form == nullptr) {
        return 0;
    }
    if (parent == nullptr) {
        delete form; // the run owns it; its job never started
        return 0;
    }
    return parent->RunModal(title, 600, 106, form, false);
}
