#include "gui/dialogs/navigationbar.h"

#include "base/paths.h"
#include "gui/core/theme.h"

#include <new>

namespace {

constexpr i32 kBarHeight = 22;
constexpr i32 kProgressRange = 1000;
constexpr u32 kAnimatorStopMs = 1000;

// Text 0 of "ciom::progress".
constexpr i32 kTextStop = 0;

constexpr i32 kStopButton = 1;
constexpr i32 kEditButton = 0;
// Pictures of the crumb lists and the stop bar's list.
constexpr i32 kEditPicture = 0;
constexpr i32 kCrumbPicture = 1;
constexpr i32 kStopPicture = 1;

} // namespace

cNavigationChild::~cNavigationChild()
{
    (void)m_animator.Stop(kAnimatorStopMs);
}

// --- set-up ------------------------------------------------------------------------------------

void cNavigationChild::ApplyStyle()
{
    cChildElement::ApplyStyle();
    m_provider = nullptr;
    m_state = kStateIdle;
    SetMinSize(0, kBarHeight);
    SetMaxSize(INT32_MAX, kBarHeight);

    const cCITheme* theme = GetTheme();
    m_stopImages.Set(kStopPicture, theme->GetImage(kImageCancel));
    m_crumbImages[0].Set(kEditPicture, theme->GetImage(kImageFolder));
    m_crumbImages[0].Set(kCrumbPicture, theme->GetImage(kImageCrumb));
    m_crumbImages[1].Set(kEditPicture, theme->GetImage(kImageFolder));
    m_crumbImages[1].Set(kCrumbPicture, theme->GetImage(kImageCrumbOpen));

    AddChildAt(&m_pathBox, 0, 0, -1, -1);
    m_pathBox.Hide(false);
    AddChildAt(&m_progress, 0, 0, -1, -1);
    m_progress.SetRange(kProgressRange);
    m_progress.AddChildAt(&m_crumbBar, 0, 0, -1, -1);

    m_progress.AttachChild(&m_stopBar, 0, 0, 1, kBarHeight);
    m_stopBar.SetTransparent(true);
    m_stopBar.SetStateImageList(kButtonNormal, &m_stopImages);
    (void)m_stopBar.SetButton(kStopButton, GetLangString(kTextStop), kStopPicture);
    m_stopWidth = m_stopBar.GetTotalWidth();
    m_progress.AddChildAt(&m_stopBar, -m_stopWidth - 1, 0, m_stopWidth, kBarHeight);
    m_stopBar.Hide(false);

    m_crumbBar.SetTransparent(true);
    m_crumbBar.SetStateImageList(0, &m_crumbImages[0]);
    m_crumbBar.SetStateImageList(1, &m_crumbImages[1]);
    m_crumbBar.SetOverflowMode(kOverflowKeepEnds);
    m_crumbBar.SetLeadingIdLimit(1);
    m_showRoot = true;
    m_history.Clear();
    m_historyIndex.Clear();
    RebuildCrumbs();
}

// --- path, crumbs and history ------------------------------------------------------------------------

bool cNavigationChild::NavigateTo(const char16_t* path)
{
    return Go(path, nullptr);
}

bool cNavigationChild::Go(const char16_t* path, const char16_t* nameToSelect)
{
    if (m_provider != nullptr) {
        if (!m_provider->CanNavigate(path) || !m_provider->StartListing(this, path, nameToSelect)) {
            return false;
        }
    } else {
        auto* chosen = new (std::nothrow) cNaviSetPathAction;
        if (chosen != nullptr && chosen->path.Assign(path)) {
            (void)PostAction(this, chosen);
        } else {
            delete chosen;
        }
    }
    (void)SetPath(path);
    StartProgress();
    return true;
}

bool cNavigationChild::SetPath(const char16_t* path)
{
    if (!m_path.Assign(path)) {
        m_path.Clear();
    }
    if (!m_path.IsEmpty()) {
        AddToHistory(m_path.Get());
    }
    RebuildCrumbs();
    return true;
}

bool cNavigationChild::GetCrumb(i32 id, const char16_t*& text, const char16_t*& path) const
{
    const sCrumb* crumb = m_crumbs.FindIntKeyValue(id);
    if (crumb == nullptr) {
        return false;
    }
    text = crumb->text.GetOrEmpty();
    path = crumb->path.GetOrEmpty();
    return true;
}

bool cNavigationChild::AddCrumb(i32 id, const char16_t* text, size_t textLength, size_t pathLength)
{
    sCrumb* crumb = m_crumbs.GetOrAdd(id);
    return crumb != nullptr && crumb->text.AssignN(text, textLength) && crumb->path.AssignN(m_path.Get(), pathLength);
}

void cNavigationChild::RebuildCrumbs()
{
    m_crumbBar.RemoveAllButtons(false);
    m_crumbs.Clear();
    if (const char16_t* path = m_path.Get()) {
        size_t at = 0;
        i32 id = 1;
        if (path[0] == u'/') {
            if (m_showRoot) {
                (void)AddCrumb(1, u"/", 1, 1);
            }
            id = 2;
            while (path[at] == u'/') {
                ++at;
            }
        }
        while (path[at] != 0) {
            const size_t start = at;
            while (path[at] != 0 && path[at] != u'/') {
                ++at;
            }
            (void)AddCrumb(id++, path + start, at - start, at);
            while (path[at] == u'/') {
                ++at;
            }
        }
    }
    (void)m_crumbBar.SetButton(kEditButton, u"", kEditPicture);
    for (auto* node = m_crumbs.First(); node != nullptr; node = m_crumbs.Next(node)) {
        (void)m_crumbBar.SetButton(node->GetKey(), node->GetValue().text.GetOrEmpty(), kCrumbPicture);
    }
    Invalidate();
}

void cNavigationChild::AddToHistory(const char16_t* path)
{
    sPackedKey key;
    if (!key.InitFromWide(path)) {
        return;
    }
    if (auto* old = m_historyIndex.Find(key)) {
        (void)m_history.Erase(old->GetValue());
        m_historyIndex.Erase(old);
    }
    const auto* last = m_history.Last();
    const i32 index = last != nullptr ? last->GetKey() + 1 : 0;
    _guardchar<char16_t>* entry = m_history.GetOrAdd(index);
    if (entry == nullptr || !entry->Assign(path)) {
        (void)m_history.Erase(index);
        return;
    }
    if (i32* indexOfKey = m_historyIndex.GetOrAdd(key)) {
        *indexOfKey = index;
    } else {
        (void)m_history.Erase(index);
    }
}

// --- states ------------------------------------------------------------------------------------------

void cNavigationChild::StartProgress()
{
    m_state = kStateBusy;
    m_progress.Show();
    m_progress.AddChildAt(&m_crumbBar, 0, 0, -m_stopWidth - 1, -1);
    m_stopBar.Show();
    m_pathBox.Hide();
    m_crumbBar.Disable();
    m_animator.Begin(this);
}

void cNavigationChild::FinishProgress()
{
    m_state = kStateIdle;
    m_animator.Finish();
    m_pathBox.Hide();
    m_crumbBar.Enable();
    m_stopBar.Hide();
    m_progress.AddChildAt(&m_crumbBar, 0, 0, -1, -1);
    m_progress.Show();
}

void cNavigationChild::StartEditing()
{
    m_state = kStateEditing;
    m_progress.Hide();
    m_pathBox.Clear();
    i32 item = 0;
    for (auto* node = m_history.Last(); node != nullptr; node = m_history.Prev(node)) {
        (void)m_pathBox.SetItem(item++, node->GetValue().GetOrEmpty(), 0, -1);
    }
    if (!m_path.IsEmpty()) {
        // Not posted: the combo's change code would navigate at once.
        (void)m_pathBox.Select(0, false);
    }
    m_pathBox.Show();
    m_pathBox.Activate();
}

// --- actions -------------------------------------------------------------------------------------------

void cNavigationChild::OnProgressFraction(f64 fraction)
{
    // The last fraction of a finished listing arrives after the bar went idle; anything
    // else arriving late must not start an idle bar again.
    if (fraction == 1.0) {
        m_progress.Stop(eProgressStop::FillThenWash);
    } else if (m_state == kStateBusy) {
        if (fraction == 0.0) {
            m_progress.Start();
        } else {
            m_progress.SetPosition(i32(fraction * kProgressRange), eProgressWait::NoWait);
        }
    }
}

bool cNavigationChild::OnAction(cChildElement* source, cChildAction* action)
{
    const i32 code = action->GetCode();
    if (source == &m_stopBar) {
        auto* press = dynamic_cast<cToolBarChild::cTbButtonAction*>(action);
        if (press != nullptr && press->GetId() == kStopButton) {
            if (m_provider != nullptr) {
                m_provider->RequestStop();
            } else {
                (void)PostCode(kStopWithoutProviderCode);
            }
            return true;
        }
    } else if (source == &m_crumbBar) {
        if (auto* press = dynamic_cast<cToolBarChild::cTbButtonAction*>(action)) {
            if (press->GetId() == kEditButton) {
                StartEditing();
                return true;
            }
            const sCrumb* crumb = m_crumbs.FindIntKeyValue(press->GetId());
            if (crumb != nullptr) {
                // The crumb after the pressed one names the folder being left: the new
                // listing selects it. Copies, since SetPath rebuilds the crumbs.
                const sCrumb* next = m_crumbs.FindIntKeyValue(press->GetId() + 1);
                const _guardchar<char16_t> path = crumb->path;
                const _guardchar<char16_t> name = next != nullptr ? next->text : _guardchar<char16_t>();
                (void)Go(path.GetOrEmpty(), name.Get());
            }
            return true;
        }
        if (code == cToolBarChild::kBarPressCode) {
            StartEditing();
            return true;
        }
    } else if (source == this) {
        if (dynamic_cast<cNaviDoneAction*>(action) != nullptr) {
            auto* ready = new (std::nothrow) cNaviSetPathAction;
            if (ready != nullptr) {
                (void)PostAction(this, ready);
            }
            return true;
        }
        if (auto* progress = dynamic_cast<cNaviFakeProgressRecvAction*>(action)) {
            OnProgressFraction(progress->GetFraction());
            return true;
        }
        if (code == kListingTakenCode && dynamic_cast<cNaviSetPathAction*>(action) == nullptr) {
            FinishProgress();
            return true;
        }
    } else if (source == &m_pathBox && dynamic_cast<cNaviSetPathAction*>(action) == nullptr) {
        if (code == cComboBoxChild::kComboChanged) {
            _guardchar<char16_t> typed;
            if (m_pathBox.CopyText(typed)) {
                CleanPathText(typed);
                (void)Go(typed.GetOrEmpty(), nullptr);
            }
            return true;
        }
        if (code == cComboBoxChild::kComboEscape) {
            FinishProgress();
            return true;
        }
    }
    return cChildElement::OnAction(source, action);
}
