#include "gui/controls/progressbar.h"

#include "base/clock.h"
#include "gui/core/canvas.h"
#include "gui/core/resample.h"
#include "gui/core/theme.h"

#include <algorithm>
#include <new>

namespace {

constexpr u32 kStopTimeoutMs = 4000;
// One animation step is six sleeps of this length; the job looks at its requests
// between them.
constexpr u32 kSleepMs = 5;
constexpr i32 kSleepsPerStep = 6;
constexpr i32 kAnimationSteps = 10;
constexpr i32 kWashLevels = 10; // wash = level / 10
constexpr u32 kPendingWashPollMs = 10;
// Stop gives the fill animation 40 x 5 ms before washing in.
constexpr i32 kStopSettleSleeps = 40;
constexpr i32 kColumnLength = 20;

constexpr i32 kThemeFillColour = 14;
constexpr i32 kThemeFrameColour = 21;

// One colour byte of fill x wash + column x (1 - wash), rounded half up.
u32 MixByte(u32 fill, u32 column, f64 wash)
{
    return u32(f64(fill & 0xFF) * wash + f64(column & 0xFF) * (1.0 - wash) + 0.5);
}

// Both arguments 0x00RRGGBB; the result keeps the column's alpha of 0.
u32 MixPixel(u32 fill, u32 column, f64 wash)
{
    u32 mixed = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        mixed |= MixByte(fill >> shift, column >> shift, wash) << shift;
    }
    return mixed;
}

} // namespace

const u32 cProgressChild::kRemainingColumn[20] = {
    0xF3F1F0, 0xE6E1DD, 0xE4DFDB, 0xE2DDD9, 0xE1DDD9, 0xE0DCD8, 0xE0DCD8, 0xE0DCD8, 0xE0DCD8, 0xE0DCD9,
    0xE0DCD9, 0xE0DCD9, 0xE0DDD9, 0xE1DDDA, 0xE9E6E3, 0xEBE8E4, 0xF0ECE9, 0xF4F0ED, 0xFAF7F3, 0xF8F8F7,
};
const u32 cProgressChild::kDoneColumn[20] = {
    0xA9EF9E, 0x9AE587, 0x97E383, 0x8FE078, 0x87DE6D, 0x84DD69, 0x84DD69, 0x84DD69, 0x84DD69, 0x84DD69,
    0x84DD69, 0x84DD69, 0x84DD69, 0x84DD69, 0xC6EBB7, 0xC8EBBA, 0xCCEDBF, 0xD5EFCC, 0xD6F2CF, 0xE2FCE0,
};

// --- the animation job ------------------------------------------------------------------

cProgressViewUpdateJob::~cProgressViewUpdateJob()
{
    Stop(kStopTimeoutMs);
}

i32 cProgressViewUpdateJob::Run()
{
    // The wash level lives as long as the run: 10 = washed out to the flat fill.
    i32 level = kWashLevels;
    bool idle = false;
    for (;;) {
        if (!PauseBeforeLook(idle)) {
            return 0;
        }
        i32 state;
        {
            cSafeCriticalSectionAccess guard(m_lock);
            state = m_state;
            m_state = kIdle;
        }
        idle = state == kIdle;
        bool goOn = true;
        switch (state) {
        case kWashOut:
            goOn = Wash(level, -1);
            break;
        case kWashIn:
            goOn = Wash(level, +1);
            break;
        case kNewPosition:
            goOn = AnimateToRequest(level);
            break;
        default:
            break;
        }
        if (!goOn) {
            return 0;
        }
    }
}

bool cProgressViewUpdateJob::PauseBeforeLook(bool idle)
{
    if (idle) {
        SleepMilliseconds(kSleepMs * kSleepsPerStep);
        return !IsStopRequested();
    }
    for (i32 i = 0; i < kSleepsPerStep; ++i) {
        SleepMilliseconds(kSleepMs);
        if (IsStopRequested()) {
            return false;
        }
    }
    return true;
}

cProgressViewUpdateJob::eWake cProgressViewUpdateJob::SleepOneStep()
{
    for (i32 i = 0; i < kSleepsPerStep; ++i) {
        SleepMilliseconds(kSleepMs);
        if (IsStopRequested()) {
            return eWake::StopJob;
        }
        cSafeCriticalSectionAccess guard(m_lock);
        if (m_state != kIdle) {
            return eWake::NewState;
        }
    }
    return eWake::Elapsed;
}

bool cProgressViewUpdateJob::Wash(i32& level, i32 direction)
{
    const i32 end = direction < 0 ? 0 : kWashLevels;
    while (level != end) {
        PostWash(level);
        const eWake wake = SleepOneStep();
        if (wake == eWake::StopJob) {
            return false;
        }
        if (wake == eWake::NewState) {
            level = end; // the next request finds the wash finished
            break;
        }
        level += direction;
    }
    PostWash(level);
    return true;
}

bool cProgressViewUpdateJob::AnimateToRequest(i32& level)
{
    i32 target;
    i32 start;
    {
        cSafeCriticalSectionAccess guard(m_lock);
        target = m_requestedPosition;
        start = m_animatedPosition;
    }
    // A lower target starts the fill again from the left.
    if (target < start) {
        start = 0;
    }
    if (level != 0) {
        level = 0;
        PostWash(0);
    }
    if (start != target) {
        // 64-bit: i x (target - start) leaves 32 bits for ranges above 2^31 / 9.
        const i64 span = i64(target) - start;
        for (i64 i = 0; i < kAnimationSteps; ++i) {
            PostPosition(i32(start + i * span / kAnimationSteps));
            const eWake wake = SleepOneStep();
            if (wake == eWake::StopJob) {
                return false;
            }
            if (wake == eWake::NewState) {
                break;
            }
        }
    }
    PostPosition(target);
    cSafeCriticalSectionAccess guard(m_lock);
    m_animatedPosition = target;
    return true;
}

void cProgressViewUpdateJob::PostPosition(i32 position)
{
    auto* action = new (std::nothrow) cProgressChild::cSetProgressRequestAction(position);
    if (action != nullptr) {
        PostJobAction(m_target, action);
    }
}

void cProgressViewUpdateJob::PostWash(i32 level)
{
    auto* action = new (std::nothrow) cProgressChild::cSetOpacityRequestAction(level * 0.1);
    if (action != nullptr) {
        PostJobAction(m_target, action);
    }
}

// --- the bar: any thread -----------------------------------------------------------------

cProgressChild::cProgressChild()
{
    // The job only ever talks to this bar; setting it before any thread exists keeps
    // the pointer free of races.
    m_job.m_target = this;
}

cProgressChild::~cProgressChild()
{
    // The job posts to this bar and reads nothing of it, but its thread must be gone
    // before the pictures and the element go; it looks at the stop every 5 ms.
    m_job.Stop(kStopTimeoutMs);
}

void cProgressChild::Start()
{
    // Tested and set under the lock, so that of two racing callers only one posts; the
    // post is made under it too, so that position 0 reaches the worker queue before the
    // job can take the wash request and post its first wash.
    cSafeCriticalSectionAccess guard(m_job.m_lock);
    if (m_job.m_started) {
        return;
    }
    m_job.PostPosition(0);
    m_job.m_animatedPosition = 0;
    m_job.m_state = cProgressViewUpdateJob::kWashOut;
    m_job.m_started = true;
}

void cProgressChild::SetPosition(i32 position, eProgressWait wait)
{
    {
        cSafeCriticalSectionAccess guard(m_job.m_lock);
        position = std::clamp(position, 0, m_job.m_maximum);
    }
    Start();
    // A pending wash request is waited for; a running animation is not: the new request
    // cuts it short at the job's next 5 ms look.
    while (wait == eProgressWait::WaitForWash) {
        {
            cSafeCriticalSectionAccess guard(m_job.m_lock);
            if (m_job.m_state != cProgressViewUpdateJob::kWashOut &&
                m_job.m_state != cProgressViewUpdateJob::kWashIn) {
                break;
            }
        }
        // Nobody would ever take the request.
        if (!m_job.IsRunning() || m_job.IsStopRequested()) {
            break;
        }
        SleepMilliseconds(kPendingWashPollMs);
    }
    cSafeCriticalSectionAccess guard(m_job.m_lock);
    m_job.m_requestedPosition = position;
    m_job.m_state = cProgressViewUpdateJob::kNewPosition;
}

void cProgressChild::Stop(eProgressStop how)
{
    i32 maximum;
    {
        cSafeCriticalSectionAccess guard(m_job.m_lock);
        if (!m_job.m_started) {
            return;
        }
        if (how == eProgressStop::Immediate) {
            m_job.m_state = cProgressViewUpdateJob::kWashIn;
            m_job.m_started = false;
            return;
        }
        maximum = m_job.m_maximum;
    }
    SetPosition(maximum, eProgressWait::WaitForWash);
    for (i32 i = 0; i < kStopSettleSleeps; ++i) {
        SleepMilliseconds(kSleepMs);
        if (m_job.IsStopRequested()) {
            return;
        }
    }
    cSafeCriticalSectionAccess guard(m_job.m_lock);
    m_job.m_state = cProgressViewUpdateJob::kWashIn;
    m_job.m_started = false;
}

bool cProgressChild::IsStarted()
{
    cSafeCriticalSectionAccess guard(m_job.m_lock);
    return m_job.m_started;
}

// --- the bar: GUI thread -----------------------------------------------------------------

void cProgressChild::HandRangeToJob(i32 maximum)
{
    m_maximum = maximum;
    m_shownPosition = std::min(m_shownPosition, maximum);
    cSafeCriticalSectionAccess guard(m_job.m_lock);
    m_job.m_maximum = maximum;
    m_job.m_animatedPosition = std::min(m_job.m_animatedPosition, maximum);
}

void cProgressChild::SetRange(i32 maximum)
{
    if (maximum < 1) {
        return;
    }
    HandRangeToJob(maximum);
}

void cProgressChild::SetFillColour(u32 colour, bool redraw)
{
    m_fillColour = colour;
    RebuildPictures();
    if (redraw) {
        Invalidate();
    }
}

void cProgressChild::ApplyStyle()
{
    cChildElement::ApplyStyle();
    m_job.Start();
    m_wash = 1.0;
    m_shownPosition = 0;
    HandRangeToJob(0);
    m_fillColour = GetTheme()->GetColour(kThemeFillColour);
    m_frameColour = GetTheme()->GetColour(kThemeFrameColour);
    RebuildPictures();
}

bool cProgressChild::OnAction(cChildElement* source, cChildAction* action)
{
    if (source == this) {
        if (auto* position = dynamic_cast<cSetProgressRequestAction*>(action)) {
            m_shownPosition = position->GetPosition();
            RebuildPictures();
            Invalidate();
            return true;
        }
        if (auto* wash = dynamic_cast<cSetOpacityRequestAction*>(action)) {
            // Kept within 0..1 (NaN reads as 0) so that every mixed byte stays a byte.
            const f64 value = wash->GetWash();
            m_wash = value >= 0.0 ? std::min(value, 1.0) : 0.0;
            RebuildPictures();
            Invalidate();
            return true;
        }
    }
    return cChildElement::OnAction(source, action);
}

void cProgressChild::OnResize()
{
    RebuildPictures();
}

bool cProgressChild::EnsureColumns(i32 innerHeight)
{
    if (m_doneColumn.GetHeight() == innerHeight && m_remainingColumn.GetHeight() == innerHeight) {
        return true;
    }
    if (!m_doneColumn.Allocate(1, innerHeight) || !m_remainingColumn.Allocate(1, innerHeight) ||
        !ResamplePixelRows(kDoneColumn, kColumnLength, m_doneColumn.GetPixels(), innerHeight) ||
        !ResamplePixelRows(kRemainingColumn, kColumnLength, m_remainingColumn.GetPixels(), innerHeight)) {
        m_doneColumn.Free();
        m_remainingColumn.Free();
        return false;
    }
    return true;
}

void cProgressChild::RebuildPictures()
{
    const i32 width = GetWidth();
    const i32 height = GetHeight();
    if (width <= 2 || height <= 2) {
        return;
    }
    const i32 shown = std::clamp(m_shownPosition, 0, std::max(m_maximum, 0));
    // 64-bit: position x width leaves 32 bits on large ranges.
    const i32 doneWidth = m_maximum <= 0 ? 0 : i32(i64(shown) * width / m_maximum);
    if (!EnsureColumns(height - 2)) {
        m_composed.Free();
        return;
    }
    if ((m_composed.GetWidth() != width || m_composed.GetHeight() != height) &&
        !m_composed.Allocate(width, height)) {
        return;
    }
    // The fill is a GDI colour (0x00BBGGRR); the columns are pixels (0x00RRGGBB).
    const u32 fill = PixelFromColour(m_fillColour) & 0xFFFFFFu;
    u32* pixels = m_composed.GetPixels();
    std::fill(pixels, pixels + width, kBorderPixel);
    std::fill(pixels + i64(height - 1) * width, pixels + i64(height) * width, kBorderPixel);
    for (i32 y = 1; y < height - 1; ++y) {
        u32* row = pixels + i64(y) * width;
        const u32 done = MixPixel(fill, m_doneColumn.GetPixels()[y - 1], m_wash);
        const u32 remaining = MixPixel(fill, m_remainingColumn.GetPixels()[y - 1], m_wash);
        row[0] = kBorderPixel;
        for (i32 x = 1; x < width - 1; ++x) {
            row[x] = x < doneWidth ? done : remaining;
        }
        row[width - 1] = kBorderPixel;
    }
}

void cProgressChild::PaintBar(cCanvas& canvas, i32 x, i32 y, u32 outline)
{
    const i32 width = GetWidth();
    const i32 height = GetHeight();
    const bool composed = m_composed.GetWidth() == width && m_composed.GetHeight() == height;
    if (composed && width >= 3 && height >= 3 && m_job.IsRunning() && IsStarted()) {
        canvas.DrawPicture(x, y, &m_composed);
    } else {
        canvas.FillRect(x, y, width, height, m_fillColour, outline);
    }
}

void cProgressChild::OnPaint(cCanvas& canvas)
{
    PaintBar(canvas, 0, 0, m_frameColour);
}

bool cProgressChild::OnDrawBackground(cCanvas& canvas, const sRect& rect)
{
    PaintBar(canvas, -rect.x, -rect.y, GetTheme()->GetColour(kThemeFrameColour));
    return true;
}
