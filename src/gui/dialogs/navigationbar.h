#pragma once
// cNavigationChild: the path bar of the file chooser, one row 22 pixels high, in one of
// three states:
//   idle (0)     the current folder as a row of crumb buttons, one per component, after
//                button 0 (which opens the path box); deep paths keep their last crumbs
//                and hide the leading ones in the overflow menu;
//   editing (1)  a combo box to type a path into, listing the visited folders, most
//                recent first;
//   busy (2)     a listing runs: the progress bar moves under disabled crumbs and a
//                "Stop" button sits at the right.
//
// Actions (codes collide with the children's: each is answered by source):
//   7   cNaviSetPathAction    the bar to itself, bubbling to the form: a path was chosen
//                             (no provider), or the listing is ready (empty path)
//   8   cNaviDoneAction       the provider job: the listing ended
//   9   cNaviFakeProgressRecvAction   the animator: a progress fraction
//   10  plain                 the form to the bar: the listing was taken, end busy
//   11  plain                 the bar to itself, bubbling: Stop without a provider
#include "base/keytree.h"
#include "base/packedkey.h"
#include "base/texts.h"
#include "base/types.h"
#include "gui/controls/combo.h"
#include "gui/controls/progressbar.h"
#include "gui/controls/toolbar.h"
#include "gui/core/element.h"
#include "gui/core/imagelist.h"
#include "gui/dialogs/navigationjobs.h"

class cNavigationChild : public cChildElement
{
public:
    class cNaviSetPathAction : public cChildAction
    {
    public:
        enum : i32 { kCode = 7 };
        cNaviSetPathAction() : cChildAction(kCode) {}
        // Empty = the listing is ready.
        _guardchar<char16_t> path;
    };
    using cNaviDoneAction = ::cNaviDoneAction;
    using cNaviFakeProgressRecvAction = ::cNaviFakeProgressRecvAction;

    enum : i32
    {
        kListingTakenCode = 10,
        kStopWithoutProviderCode = 11,
    };
    enum : i32
    {
        kStateIdle = 0,
        kStateEditing = 1,
        kStateBusy = 2,
    };

    // Stops the animator before the children it posts to go.
    ~cNavigationChild() override;

    // Borrowed; null = none (chosen paths are then only posted).
    void SetProvider(cNavigationProvider* provider) { m_provider = provider; }
    void SetProgressColour(u32 colour) { m_progress.SetFillColour(colour, true); }
    // The form's request: false when the provider refuses the path or cannot start
    // (a listing runs); else the path becomes current and the bar busy.
    bool NavigateTo(const char16_t* path);
    // Makes the path current (null: none), adds a non-empty path to the history and
    // rebuilds the crumbs.
    bool SetPath(const char16_t* path);
    void SetShowRoot(bool showRoot) { m_showRoot = showRoot; }

    i32 GetState() const { return m_state; }
    const char16_t* GetPath() const { return m_path.Get(); }
    cToolBarChild* GetCrumbBar() { return &m_crumbBar; }
    cToolBarChild* GetStopBar() { return &m_stopBar; }
    cComboBoxChild* GetPathBox() { return &m_pathBox; }
    cProgressChild* GetProgressBar() { return &m_progress; }
    // The crumb of an id: its text and full path; false for an unknown id.
    bool GetCrumb(i32 id, const char16_t*& text, const char16_t*& path) const;

    const char* GetFormId() override { return "ciom::progress"; }
    void ApplyStyle() override;
    bool OnAction(cChildElement* source, cChildAction* action) override;

private:
    struct sCrumb
    {
        _guardchar<char16_t> text;
        _guardchar<char16_t> path;
    };

    void RebuildCrumbs();
    bool AddCrumb(i32 id, const char16_t* text, size_t textLength, size_t pathLength);
    void AddToHistory(const char16_t* path);
    void StartProgress();
    void FinishProgress();
    void StartEditing();
    // Lists `path` through the provider (selecting `nameToSelect`) or posts it; then
    // it is current and the bar busy. False when the provider refuses.
    bool Go(const char16_t* path, const char16_t* nameToSelect);
    void OnProgressFraction(f64 fraction);

    // Image lists first: the toolbars borrow them.
    sImageList m_stopImages;
    sImageList m_crumbImages[2];
    cToolBarChild m_crumbBar;
    cProgressChild m_progress;
    cComboBoxChild m_pathBox;
    cToolBarChild m_stopBar;
    bool m_showRoot = true;
    _keytree<i32, _guardchar<char16_t>> m_history{512};
    _keytree<sPackedKey, i32> m_historyIndex{1024};
    _guardchar<char16_t> m_path;
    cFakeNavigationProgressJob m_animator;
    cNavigationProvider* m_provider = nullptr;
    _keytree<i32, sCrumb> m_crumbs{512};
    i32 m_state = kStateIdle;
    i32 m_stopWidth = 0;
};
