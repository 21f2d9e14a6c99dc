#include "gui/core/windowmaker.h"

#include "gui/core/application.h"
#include "gui/core/element.h"
#include "gui/core/translator.h"

#include <algorithm>
#include <memory>

namespace {

// Deletes a run's root on every way out of RunRoot, after its window is gone.
struct sRootDeleter
{
    void operator()(cChildElement* root) const { delete root; }
};

i32 Centred(i32 outerStart, i32 outerSize, i32 size)
{
    return i32(i64(outerStart) + (i64(outerSize) - size) / 2);
}

// Keeps a window wholly inside `area`: one larger than the area takes the area's size,
// then it is moved in from whichever edge it crosses.
sRect KeptInside(const sRect& window, const sRect& area)
{
    sRect kept = window;
    kept.width = std::min(kept.width, area.width);
    kept.height = std::min(kept.height, area.height);
    kept.x = i32(std::clamp<i64>(kept.x, area.x, i64(area.x) + area.width - kept.width));
    kept.y = i32(std::clamp<i64>(kept.y, area.y, i64(area.y) + area.height - kept.height));
    return kept;
}

} // namespace

cWindowMaker::cWindowMaker(cWindowRequestTarget* host) : m_host(host) {}

cWindowMaker::~cWindowMaker()
{
    while (!m_windows.empty()) {
        CloseWindow(m_windows.back());
    }
}

i32 cWindowMaker::RunModalOver(const char16_t* title, i32 width, i32 height, cChildElement* form,
                               cChildElement* owner, bool resizable)
{
    sWindowParams params;
    params.kind = eWindowKind::Dialog;
    params.title = title;
    params.resizable = resizable;
    params.owner = owner != nullptr ? owner->GetWindow() : nullptr;
    sRect outer;
    sSize screen;
    bool overOwner = m_host != nullptr && params.owner != nullptr && m_host->GetWindowRect(params.owner, outer);
    if (!overOwner && m_host != nullptr && m_host->GetScreenSize(screen)) {
        outer = {0, 0, screen.width, screen.height};
    }
    params.screenRect = {Centred(outer.x, outer.width, width), Centred(outer.y, outer.height, height), width, height};
    return RunRoot(form, params);
}

i32 cWindowMaker::RunModalAt(cChildElement* root, i32 x, i32 y, i32 width, i32 height, cChildElement* owner)
{
    sWindowParams params;
    params.kind = eWindowKind::Popup;
    params.owner = owner != nullptr ? owner->GetWindow() : nullptr;
    params.screenRect = {x, y, width, height};
    return RunRoot(root, params);
}

i32 cWindowMaker::RunRoot(cChildElement* root, const sWindowParams& params)
{
    std::unique_ptr<cChildElement, sRootDeleter> owned(root);
    if (root == nullptr || m_host == nullptr) {
        return -1;
    }
    cWindowTranslator* window = OpenWindow(root, params);
    if (window == nullptr) {
        return -1;
    }
    cWindowTranslator* owner = params.owner;
    if (owner != nullptr) {
        owner->BlockInput(true);
        owner->OnActivate(false);
    }
    window->OnActivate(true);
    window->BeginRun();
    i32 code = m_host->RunModal(window);
    CloseWindow(window);
    if (owner != nullptr && std::find(m_windows.begin(), m_windows.end(), owner) != m_windows.end()) {
        owner->BlockInput(false);
        owner->OnActivate(true);
    }
    return code;
}

cWindowTranslator* cWindowMaker::OpenWindow(cChildElement* root, const sWindowParams& params)
{
    if (root == nullptr || m_host == nullptr) {
        return nullptr;
    }
    auto window = std::make_unique<cWindowTranslator>(m_host);
    window->SetRoot(root, params.screenRect.width, params.screenRect.height);
    sWindowParams opened = params;
    // OnCreate may have set limits (a form's minimum size): the window starts within them.
    sSize size = window->ClampWindowSize(params.screenRect.width, params.screenRect.height);
    opened.screenRect.width = size.width;
    opened.screenRect.height = size.height;
    // Dialogs stay on the owner's screen, so that their buttons can be reached. Popups
    // are fitted to the screen by their own callers.
    sRect area;
    if (params.kind == eWindowKind::Dialog && m_host->GetScreenArea(params.owner, area) && area.width > 0 &&
        area.height > 0) {
        opened.screenRect = KeptInside(opened.screenRect, area);
        size = {opened.screenRect.width, opened.screenRect.height};
    }
    if (size.width != root->GetWidth() || size.height != root->GetHeight()) {
        window->OnResize(size.width, size.height);
    }
    if (!m_host->OpenWindow(window.get(), opened)) {
        window->ReleaseRoot();
        return nullptr;
    }
    m_windows.push_back(window.get());
    return window.release();
}

void cWindowMaker::CloseWindow(cWindowTranslator* window)
{
    auto found = std::find(m_windows.begin(), m_windows.end(), window);
    if (found == m_windows.end()) {
        return;
    }
    m_windows.erase(found);
    m_host->CloseWindow(window);
    window->ReleaseRoot();
    delete window;
}

bool cWindowMaker::GetMaxWindowSize(sSize& size)
{
    return m_host != nullptr && m_host->GetScreenSize(size);
}

bool cWindowMaker::SetClipboardText(const char16_t* text, i32 length)
{
    return m_host != nullptr && m_host->SetClipboardText(text, length);
}

bool cWindowMaker::GetClipboardText(_guardchar<char16_t>& text)
{
    return m_host != nullptr && m_host->GetClipboardText(text);
}

bool cWindowMaker::ReadClipboard(_typebuf<u8>& bytes)
{
    return m_host != nullptr && m_host->ReadClipboard(bytes);
}

cWindowMaker* GetWindowMaker()
{
    cCIApplication* application = GetApplication();
    return application != nullptr ? application->GetWindowMaker() : nullptr;
}
