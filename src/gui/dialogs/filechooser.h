#pragma once
// cFileChooseDialog: the toolkit's own file open/save dialog. A frame toolbar (Home,
// Places, New folder), the navigation bar over a four-column list of the current folder
// (Name, Date, Type, Size) filled by a listing job, a file-name box, a filter box and
// the Open/Save and Cancel buttons. Texts come from the language section
// "ciom::filechoose".
//
// Two listings: the job's, which only the job writes, and the shown one, which only the
// GUI thread touches. When the bar reports a finished listing, the dialog moves the
// job's listing into the shown one and fills the list from it; every row, action and
// sort key reads the shown listing only.
//
// The caller's record is read on creation and written on acceptance: the chosen path,
// the filter in use and, in open mode with multiple selection, the further paths.
#include "base/lists.h"
#include "base/texts.h"
#include "base/types.h"
#include "gui/controls/combo.h"
#include "gui/controls/edit.h"
#include "gui/controls/listview.h"
#include "gui/controls/statictext.h"
#include "gui/controls/toolbar.h"
#include "gui/core/form.h"
#include "gui/core/imagelist.h"
#include "gui/dialogs/filelistjob.h"
#include "gui/dialogs/navigationbar.h"
#include "system/folders.h"

#include <string>
#include <vector>

// A caller's element shown under the file-name row.
class cFileChooseExtraPanel : public cChildElement
{
public:
    // True lets the dialog close with an accepted file.
    virtual bool CanCloseDialog() { return true; }
    virtual i32 GetPanelWidth() = 0;
    virtual i32 GetPanelHeight() = 0;
};

struct sFileChooseFilter
{
    _guardchar<char16_t> name;
    // ';'-separated wildcard patterns (MatchWildcardList).
    _guardchar<char16_t> patterns;
    // Added in save mode to a name that does not end in it; may be empty.
    _guardchar<char16_t> extension;
};

struct sFileChooseParams
{
    // In: the proposed name or path; out: the chosen full path.
    _guardchar<char16_t> path;
    _guardchar<char16_t> startFolder;
    // In and out: the filter in use, -1 = none.
    i32 selectedFilter = -1;
    u8 filterNameFlag = 0;
    // Open mode only.
    u8 multipleSelection = 0;
    _classbuf<sFileChooseFilter> filters;
    // Hidden entries are listed (in grey).
    u8 showHidden = 0;
    // Out: the second and later chosen files of a multiple selection.
    _linklist<_guardchar<char16_t>> furtherPaths;
    // Borrowed; detached, never deleted, when the dialog goes.
    cFileChooseExtraPanel* extraPanel = nullptr;
};

class cFileChooseDialog : public cCustomForm
{
public:
    enum eMode : u8
    {
        kOpenMode = 0,
        kSaveMode = 1,
    };

    // `params` is borrowed and MUST outlive the dialog.
    cFileChooseDialog(sFileChooseParams* params, eMode mode) : m_params(params), m_saveMode(mode == kSaveMode) {}
    ~cFileChooseDialog() override;

    // Parts for tests and the program's own checks.
    cNavigationChild* GetNavigationBar() { return &m_bar; }
    cListViewChild* GetList() { return &m_list; }
    cEditChild* GetNameBox() { return &m_nameBox; }
    cComboBoxChild* GetFilterBox() { return &m_filterBox; }
    cToolBarChild* GetPlaceBar() { return &m_placeBar; }
    cToolBarChild* GetButtonBar() { return &m_buttonBar; }
    // The folder whose listing is shown; empty at the places.
    const std::u16string& GetListedFolder() const { return m_listedFolder; }
    const cFolderListing& GetShownListing() const { return m_shown; }
    const char16_t* GetPatterns() const { return m_patterns.GetOrEmpty(); }

    const char* GetFormId() override { return "ciom::filechoose"; }
    void ApplyStyle() override;
    void OnCreate() override;
    bool OnAction(cChildElement* source, cChildAction* action) override;
    void OnOK() override;

private:
    void LayOutFrame(i32 panelHeight);
    void FillFilters();
    void GoToStart();
    void FillList(bool sort);
    void TakeListing();
    void ShowPlaces();
    void Navigate(const std::u16string& path);
    void OnFilterChanged();
    void OnListAction(cChildElement::cChildAction* action);
    void OnContextMenu(i32 x, i32 y);
    void RequestNewFolder();
    // Typed patterns: shows them in the filter box and applies them.
    void ApplyTypedPatterns(const std::u16string& text);
    void OkAtPlaces(const std::u16string& text);
    // Open mode with multiple selection: the first selected file is the choice, the
    // later ones the further paths. False when no selected row is a file.
    bool OkWithSelection();
    void OkInFolder(const std::u16string& text);
    std::vector<std::u16string> SelectedFiles();
    // The full path of a shown entry.
    std::u16string EntryPath(i32 index) const;
    // Record path = `path` with the save-mode extension, further paths = `further`; ends
    // the run with 1 unless the extra panel refuses.
    void Accept(const std::u16string& path, const std::vector<std::u16string>& further);
    bool IsFolderListed() const { return !m_listedFolder.empty(); }
    // Full 64-bit keys of the shown entry of a cell's item: the cell value has 32 bits.
    static u64 DateKey(void* context, const cListViewChild::sCell* cell);
    static u64 KindKey(void* context, const cListViewChild::sCell* cell);
    static u64 SizeKey(void* context, const cListViewChild::sCell* cell);

    // Image lists first: the bars and the list borrow them.
    sImageList m_placeImages;
    sImageList m_buttonImages;
    sImageList m_rowImages;
    cToolBarChild m_placeBar;
    cNavigationChild m_bar;
    cListViewChild m_list;
    cEditChild m_nameBox;
    cComboBoxChild m_filterBox;
    cToolBarChild m_buttonBar;
    cStaticElement m_nameLabel;
    // After the bar, so that it is stopped before the bar goes.
    cFileChooseListFolder m_job;
    cFolderListing m_shown;
    std::u16string m_listedFolder;
    _guardchar<char16_t> m_nameToSelect;
    _guardchar<char16_t> m_patterns;
    sFileChooseParams* m_params;
    bool m_saveMode;
};

// The Date and Size cells of a row: "dd.mm.yyyy hh:mm:ss" (the listing's local time;
// empty without a date) and "N KB" with N = size / 1024 truncated (files only, else
// empty). Stack buffers: filling a huge folder allocates nothing here per row.
void FormatFileChooseDate(const sFolderEntry& entry, char16_t (&text)[32]);
void FormatFileChooseSize(const sFolderEntry& entry, char16_t (&text)[32]);

// Runs the dialog in save mode over `parent`, resizable, max(500, panel width) x (350 +
// panel height). True only when a file was accepted (end code 1): a run that could not be
// shown is no choice. False without a parent or record.
bool RunFileSaveDialog(cChildElement* parent, const char16_t* title, sFileChooseParams* params);
