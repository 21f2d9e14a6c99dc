#pragma once
// cFolderChooseDialog: picks a folder from a tree that starts at "Computer" with the
// places (home folder, disks, network places) under it and grows by listing a folder's
// subfolders when it is selected. A path box under the tree shows the chosen folder and
// takes a typed absolute path; "New folder" creates a subfolder. Texts come from the
// language section "ciom::folderchoose".
//
// Subfolders are listed in the byte order of their UTF-8 names; equal keys (equal
// labels, or names whose undecodable bytes read alike) keep listing order, none is lost.
// Paths are compared exactly: Linux names are case-sensitive, so "foo" and "Foo" are two
// folders. The caller's path changes only when the run ends with "Select".
#include "base/lists.h"
#include "base/texts.h"
#include "base/types.h"
#include "gui/controls/edit.h"
#include "gui/controls/toolbar.h"
#include "gui/controls/treeview.h"
#include "gui/core/form.h"
#include "gui/core/imagelist.h"

// Changes how folders look in the tree; the program supplies none.
class cFolderDecorator
{
public:
    virtual ~cFolderDecorator() = default;
    // May add pictures to the tree's image list (ids 0..2 are the dialog's).
    virtual void AddPictures(sImageList& list) = 0;
    // True when it changed the label (a non-empty one replaces the name) or the picture
    // id (0 or more replaces it).
    virtual bool DecorateFolder(const char16_t* fullPath, _guardchar<char16_t>& label, i32& pictureId) = 0;
};

struct sFolderChooseOptions
{
    bool allowNewFolder = true;
    bool showHidden = false;
    cFolderDecorator* decorator = nullptr; // borrowed
};

class cFolderChooseDialog : public cCustomForm
{
public:
    // The model node behind each tree row; content and view tree have the same shape.
    class cTreeFoldersContentItem : public cTreeItem
    {
    public:
        cTreeViewChild::cTreeViewItem* view = nullptr;
        _guardchar<char16_t> fullPath;
        i32 pictureId = 1;
        bool listed = false;
    };

    // `options` null: new folders allowed, hidden folders not shown. `startPath` names
    // a folder, or a file whose folder is the start.
    cFolderChooseDialog(const char16_t* startPath, const sFolderChooseOptions* options);

    // The folder the path box shows; the chosen folder after a run that ended with 1.
    const char16_t* GetPath() const { return m_path.GetOrEmpty(); }
    // Receives the chosen folder when the run ends with 1.
    void SetChoiceTarget(_guardchar<char16_t>* choice) { m_choice = choice; }
    cTreeViewChild* GetTree() { return &m_tree; }
    cEditChild* GetPathBox() { return &m_pathBox; }

    // Goes to an existing absolute folder, listing every folder on the way; a relative
    // or missing path leaves the dialog as it is.
    void GoToFolder(const char16_t* path);

    const char* GetFormId() override { return "ciom::folderchoose"; }
    void ApplyStyle() override;
    void OnCreate() override;
    bool OnAction(cChildElement* source, cChildAction* action) override;
    // Ends with 1 when the path box shows the chosen folder; otherwise goes to the
    // typed path and stays open.
    void OnOK() override;

private:
    void BuildRoot();
    void ListChildren(cTreeFoldersContentItem* content);
    cTreeFoldersContentItem* AddFolderItem(cTreeFoldersContentItem* parent, const char16_t* text, i32 pictureId,
                                           const char16_t* fullPath);
    void OnCurrentChanged(cTreeViewChild::cTreeViewItem* view);
    void OnContextMenu(cTreeViewChild::cTreeItemCtxAction* context);
    void RequestNewFolder();
    void SetWorkingPath(const char16_t* path);
    void SetCurrentView(cTreeViewChild::cTreeViewItem* view);
    // The dialog's current item, or null when it was deleted meanwhile.
    cTreeViewChild::cTreeViewItem* CurrentView() const;

    // Image lists first: they outlive the bars and the tree that point at them.
    sImageList m_toolbarImages;
    sImageList m_buttonImages;
    sImageList m_treeImages;
    cToolBarChild m_frameBar;
    cToolBarChild m_bottomBar;
    cTreeViewChild m_tree;
    sItemTree m_content;
    cToolBarChild m_buttonBar;
    cEditChild m_pathBox;
    _guardchar<char16_t> m_startPath;
    _guardchar<char16_t> m_path;
    cTreeViewChild::cTreeViewItem* m_currentView = nullptr;
    u64 m_currentSerial = 0;
    _guardchar<char16_t>* m_choice = nullptr;
    sFolderChooseOptions m_options;
};

// Runs the dialog over `parent` (500 x 600, resizable). True only when it ended with
// "Select" (a run that could not be shown is no choice); then `path` holds the chosen
// folder. Otherwise `path` is left exactly as it was.
bool RunFolderChooseDialog(cChildElement* parent, const char16_t* title, _guardchar<char16_t>* path,
                           const sFolderChooseOptions* options);
