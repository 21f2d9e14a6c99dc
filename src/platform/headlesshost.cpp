#include "platform/headlesshost.h"

#include "gui/core/actions.h"
#include "gui/core/element.h"
#include "gui/core/translator.h"
#include "platform/pngwrite.h"
#include "platform/softcanvas.h"

#include <algorithm>
#include <chrono>
#include <cstring>

struct cHeadlessHost::sWindow
{
    cWindowTranslator* translator = nullptr;
    eWindowKind kind = eWindowKind::Dialog;
    sRect screenRect;
    _guardchar<char16_t> title;
    // Null while the client area is empty.
    std::unique_ptr<cCanvas> canvas;
    sRect dirty;
    bool captured = false;
    i32 cursor = 0;

    void Reallocate()
    {
        canvas.reset(cSoftCanvas::Create(screenRect.width, screenRect.height));
        dirty = {0, 0, screenRect.width, screenRect.height};
    }
};

namespace {

constexpr std::chrono::milliseconds kPollSlice{5};

} // namespace

cHeadlessHost::cHeadlessHost() = default;
cHeadlessHost::~cHeadlessHost() = default;

void cHeadlessHost::SetScreenSize(i32 width, i32 height)
{
    m_screen = {width, height};
}

void cHeadlessHost::PushModalScript(tModalScript script)
{
    m_scripts.push_back(std::move(script));
}

// --- windows ---------------------------------------------------------------------------------

cHeadlessHost::sWindow* cHeadlessHost::Find(cWindowTranslator* window) const
{
    for (const auto& entry : m_windows) {
        if (entry->translator == window) {
            return entry.get();
        }
    }
    return nullptr;
}

cWindowTranslator* cHeadlessHost::GetTopWindow() const
{
    for (auto it = m_windows.rbegin(); it != m_windows.rend(); ++it) {
        if ((*it)->kind != eWindowKind::Hint) {
            return (*it)->translator;
        }
    }
    return nullptr;
}

std::vector<cWindowTranslator*> cHeadlessHost::GetWindows() const
{
    std::vector<cWindowTranslator*> windows;
    for (const auto& entry : m_windows) {
        windows.push_back(entry->translator);
    }
    return windows;
}

cCanvas* cHeadlessHost::GetCanvas(cWindowTranslator* window)
{
    ResolveRepaintRequests();
    PaintDirtyWindows();
    sWindow* entry = Find(window);
    return entry != nullptr ? entry->canvas.get() : nullptr;
}

const char16_t* cHeadlessHost::GetTitle(cWindowTranslator* window) const
{
    sWindow* entry = Find(window);
    return entry != nullptr ? entry->title.GetOrEmpty() : u"";
}

i32 cHeadlessHost::GetCursor(cWindowTranslator* window) const
{
    sWindow* entry = Find(window);
    return entry != nullptr ? entry->cursor : -1;
}

bool cHeadlessHost::HasMouseCapture(cWindowTranslator* window) const
{
    sWindow* entry = Find(window);
    return entry != nullptr && entry->captured;
}

bool cHeadlessHost::OpenWindow(cWindowTranslator* window, const sWindowParams& params)
{
    if (m_failNextOpen) {
        m_failNextOpen = false;
        return false;
    }
    auto entry = std::make_unique<sWindow>();
    entry->translator = window;
    entry->kind = params.kind;
    entry->screenRect = params.screenRect;
    if (!entry->title.Assign(params.title)) {
        return false;
    }
    entry->Reallocate();
    m_windows.push_back(std::move(entry));
    return true;
}

void cHeadlessHost::CloseWindow(cWindowTranslator* window)
{
    auto found = std::find_if(m_windows.begin(), m_windows.end(),
                              [window](const auto& entry) { return entry->translator == window; });
    if (found != m_windows.end()) {
        m_windows.erase(found);
    }
}

bool cHeadlessHost::GetWindowRect(cWindowTranslator* window, sRect& screenRect)
{
    sWindow* entry = Find(window);
    if (entry == nullptr) {
        return false;
    }
    screenRect = entry->screenRect;
    return true;
}

void cHeadlessHost::InvalidateWindow(cWindowTranslator* window, const sRect& rect)
{
    if (sWindow* entry = Find(window)) {
        sRect area = IntersectRects(rect, {0, 0, entry->screenRect.width, entry->screenRect.height});
        entry->dirty = UnionRects(entry->dirty, area);
    }
}

void cHeadlessHost::SetMouseCapture(cWindowTranslator* window, bool captured)
{
    if (sWindow* entry = Find(window)) {
        entry->captured = captured;
    }
}

void cHeadlessHost::SetCursor(cWindowTranslator* window, i32 kind)
{
    if (sWindow* entry = Find(window)) {
        entry->cursor = kind;
    }
}

bool cHeadlessHost::GetScreenSize(sSize& size)
{
    size = m_screen;
    return true;
}

// --- input -------------------------------------------------------------------------------------

cWindowTranslator* cHeadlessHost::Target(cWindowTranslator* window) const
{
    return window != nullptr ? window : GetTopWindow();
}

void cHeadlessHost::MouseMove(i32 x, i32 y, cWindowTranslator* window)
{
    if (cWindowTranslator* target = Target(window)) {
        target->OnMouseMove(x, y);
    }
}

void cHeadlessHost::MouseDown(i32 x, i32 y, i32 button, bool ctrl, bool shift, cWindowTranslator* window)
{
    if (cWindowTranslator* target = Target(window)) {
        target->OnMouseButton(x, y, button, true, ctrl, shift, m_time);
    }
}

void cHeadlessHost::MouseUp(i32 x, i32 y, i32 button, bool ctrl, bool shift, cWindowTranslator* window)
{
    if (cWindowTranslator* target = Target(window)) {
        target->OnMouseButton(x, y, button, false, ctrl, shift, m_time);
    }
}

void cHeadlessHost::Click(i32 x, i32 y, i32 button, cWindowTranslator* window)
{
    cWindowTranslator* target = Target(window);
    if (target == nullptr) {
        return;
    }
    target->OnMouseMove(x, y);
    target->OnMouseButton(x, y, button, true, false, false, m_time);
    // The press may have closed the window (a popup's entry ends its run at once, the
    // window goes when the run returns): release where it still exists.
    if (Find(target) != nullptr) {
        target->OnMouseButton(x, y, button, false, false, false, m_time);
    }
}

void cHeadlessHost::MouseLeave(cWindowTranslator* window)
{
    if (cWindowTranslator* target = Target(window)) {
        target->OnMouseLeave();
    }
}

void cHeadlessHost::Wheel(i32 x, i32 y, i32 notches, cWindowTranslator* window)
{
    if (cWindowTranslator* target = Target(window)) {
        target->OnMouseWheel(x, y, notches);
    }
}

void cHeadlessHost::KeyDown(i32 vk, bool shift, bool ctrl, bool alt, cWindowTranslator* window)
{
    if (cWindowTranslator* target = Target(window)) {
        target->OnKeyDown(vk, shift, ctrl, alt);
    }
}

void cHeadlessHost::TypeText(const char16_t* text, cWindowTranslator* window)
{
    cWindowTranslator* target = Target(window);
    for (; target != nullptr && text != nullptr && *text != 0; ++text) {
        target->OnCharInput(*text, false);
    }
}

void cHeadlessHost::Activate(bool active, cWindowTranslator* window)
{
    if (cWindowTranslator* target = Target(window)) {
        target->OnActivate(active);
    }
}

void cHeadlessHost::RequestClose(cWindowTranslator* window)
{
    if (cWindowTranslator* target = Target(window)) {
        target->OnCloseRequest();
    }
}

void cHeadlessHost::ResizeWindow(i32 width, i32 height, cWindowTranslator* window)
{
    cWindowTranslator* target = Target(window);
    sWindow* entry = Find(target);
    if (entry == nullptr) {
        return;
    }
    sSize size = target->ClampWindowSize(width, height);
    entry->screenRect.width = size.width;
    entry->screenRect.height = size.height;
    entry->Reallocate();
    target->OnResize(size.width, size.height);
}

// --- loop ----------------------------------------------------------------------------------------

void cHeadlessHost::Wake()
{
    std::lock_guard guard(m_wakeLock);
    m_woken = true;
    m_wakeSignal.notify_all();
}

bool cHeadlessHost::InnermostRunEnded() const
{
    return !m_runs.empty() && m_runs.back()->IsRunEnded();
}

void cHeadlessHost::PaintDirtyWindows()
{
    for (const auto& entry : m_windows) {
        if (entry->dirty.IsEmpty() || entry->canvas == nullptr) {
            continue;
        }
        sRect dirty = entry->dirty;
        entry->dirty = {};
        entry->translator->Paint(*entry->canvas, dirty);
    }
}

void cHeadlessHost::Pump()
{
    for (;;) {
        ResolveRepaintRequests();
        if (!InnermostRunEnded() && DispatchNextAction()) {
            continue;
        }
        PaintDirtyWindows();
        SnapshotInnermostRun();
        if (InnermostRunEnded() || !HasPendingWork()) {
            return;
        }
    }
}

bool cHeadlessHost::PumpUntil(const std::function<bool()>& done, u32 timeoutMs)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        {
            std::lock_guard guard(m_wakeLock);
            m_woken = false;
        }
        Pump();
        if (done()) {
            return true;
        }
        if (InnermostRunEnded()) {
            return false;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        // Posts wake the wait at once; the short slice also catches conditions that
        // change without a post (a job finishing after its last action).
        std::unique_lock guard(m_wakeLock);
        m_wakeSignal.wait_until(guard, std::min(deadline, std::chrono::steady_clock::now() + kPollSlice),
                                [this] { return m_woken; });
    }
}

void cHeadlessHost::SnapshotInnermostRun()
{
    if (!m_snapshots.IsActive() || m_runs.empty()) {
        return;
    }
    sWindow* entry = Find(m_runs.back());
    if (entry != nullptr && entry->canvas != nullptr) {
        m_snapshots.AfterPaint(m_runs.back(), *entry->canvas);
    }
}

i32 cHeadlessHost::RunModal(cWindowTranslator* window)
{
    // A run that opens another before it went idle is saved as it stands now.
    PaintDirtyWindows();
    SnapshotInnermostRun();
    m_runs.push_back(window);
    i32 level = i32(m_runs.size());
    bool endedByHost = false;
    if (m_scripts.empty() && !m_defaultScript) {
        window->EndRun(-1);
        endedByHost = true;
    } else {
        tModalScript script = m_defaultScript;
        if (!m_scripts.empty()) {
            script = std::move(m_scripts.front());
            m_scripts.pop_front();
        }
        ResolveRepaintRequests();
        PaintDirtyWindows();
        script(*this, *window);
        if (!window->IsRunEnded()) {
            Pump();
        }
        if (!window->IsRunEnded()) {
            window->EndRun(-1);
            endedByHost = true;
        }
    }
    m_snapshots.RunEnded(window);
    m_runs.pop_back();
    m_runLog.push_back({level, window->GetRunResult(), endedByHost});
    return window->GetRunResult();
}

// --- snapshots ---------------------------------------------------------------------------------

bool cHeadlessHost::SavePng(cWindowTranslator* window, const std::string& path)
{
    cCanvas* canvas = GetCanvas(window);
    return canvas != nullptr && SaveCanvasPng(path, *canvas);
}

bool cHeadlessHost::SaveElementPng(cChildElement* element, const std::string& path)
{
    cCanvas* canvas = element != nullptr ? GetCanvas(element->GetWindow()) : nullptr;
    if (canvas == nullptr) {
        return false;
    }
    std::unique_ptr<cCanvas> part(canvas->CreateOffscreenCanvas(element->GetWidth(), element->GetHeight()));
    if (part == nullptr) {
        return false;
    }
    sPoint origin = element->GetOriginInRoot();
    part->CopyFrom(0, 0, canvas, origin.x, origin.y, element->GetWidth(), element->GetHeight());
    return SaveCanvasPng(path, *part);
}

// --- clipboard -----------------------------------------------------------------------------------

void cHeadlessHost::SetClipboardBytes(const u8* bytes, size_t count)
{
    m_clipboardBytes.assign(bytes, bytes + count);
}

bool cHeadlessHost::SetClipboardText(const char16_t* text, i32 length)
{
    return length < 0 ? m_clipboardText.Assign(text) : m_clipboardText.AssignN(text, size_t(length));
}

bool cHeadlessHost::GetClipboardText(_guardchar<char16_t>& text)
{
    return !m_clipboardText.IsEmpty() && text.Assign(m_clipboardText.Get());
}

bool cHeadlessHost::ReadClipboard(_typebuf<u8>& bytes)
{
    if (m_clipboardBytes.empty() || !bytes.Alloc(i64(m_clipboardBytes.size()))) {
        return false;
    }
    std::memcpy(bytes.GetData(), m_clipboardBytes.data(), m_clipboardBytes.size());
    return true;
}
