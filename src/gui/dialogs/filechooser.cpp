#include "gui/dialogs/filechooser.h"

#include "base/format.h"
#include "base/paths.h"
#include "gui/controls/popupmenu.h"
#include "gui/controls/sortproviders.h"
#include "gui/core/theme.h"
#include "gui/dialogs/messagebox.h"
#include "gui/dialogs/newfolderform.h"
#include "gui/dialogs/pathtext.h"

#include <algorithm>
#include <new>
#include <vector>

namespace {

// Texts of "ciom::filechoose".
enum : i32
{
    kTextCancel = 2,
    kTextNewFolderTitle = 3,
    kTextHome = 4,
    kTextPlaces = 5,
    kTextNewFolder = 6,
    kTextName = 7,
    kTextDate = 8,
    kTextType = 9,
    kTextSize = 10,
    kTextFileName = 11,
    kTextAllFiles = 12,
    kTextSave = 13,
    kTextOpen = 14,
    kTextSaveHere = 15,
    kTextFileFolder = 16,
    kTextFile = 17,
    kTextFileSystem = 18,
    kTextFileExists = 19,
    kTextCannotCreate = 21,
    kTextSpecialExists = 22,
    kTextFilter = 23,
    kTextCustom = 24,
};

enum : i32
{
    kHomeButton = 1,
    kPlacesButton = 2,
    kNewFolderButton = 3,
    kOkButton = 1,
    kCancelButton = 2,
    kMenuEntry = 1,
};

enum : i32
{
    kColumnName = 1,
    kColumnDate = 2,
    kColumnType = 3,
    kColumnSize = 4,
};

enum : i32
{
    kThemeFormColour = 0,
    kThemeProgressColour = 27,
    kThemeToolbarTop = 3,
    kThemeSideInset = 4,
    kThemeToolbarHeight = 5,
    kThemeButtonBarHeight = 7,
    kThemeButtonBarBottom = 8,
    kThemeButtonBarRight = 9,
};

constexpr u32 kHiddenColour = 0x808080;
constexpr u32 kRightAligned = 2;
constexpr i32 kDialogWidth = 500;
constexpr i32 kDialogHeight = 350;

// The picture and the sort number of an entry kind: disks first, then folders, files,
// other objects and network places.
struct sKindLook
{
    i32 number;
    i32 typeText; // -1 = none
};

sKindLook LookOf(eFolderEntryKind kind)
{
    switch (kind) {
    case kEntryFile:
        return {2, kTextFile};
    case kEntryFolder:
    case kEntryHome:
        return {1, kTextFileFolder};
    case kEntryDisk:
        return {0, kTextFileSystem};
    case kEntryNetworkPlace:
        return {4, kTextFileSystem};
    default:
        return {3, -1};
    }
}

bool IsNavigable(eFolderEntryKind kind)
{
    return kind == kEntryFolder || kind == kEntryDisk || kind == kEntryHome || kind == kEntryNetworkPlace;
}

// The part before the last '/' names a folder ("/" for a name right under the root).
bool IsParentAFolder(const std::u16string& path)
{
    const size_t slash = path.rfind(u'/');
    if (slash == std::u16string::npos) {
        return false;
    }
    const std::u16string parent = slash == 0 ? std::u16string(u"/") : path.substr(0, slash);
    return GetPathKind(parent.c_str()) == kPathFolder;
}

bool EndsWithExtension(const std::u16string& path, const char16_t* extension)
{
    const size_t slash = path.rfind(u'/');
    const size_t dot = path.rfind(u'.');
    if (dot == std::u16string::npos || (slash != std::u16string::npos && dot < slash)) {
        return false;
    }
    return CompareWideNoCase(path.c_str() + dot + 1, extension) == 0;
}

} // namespace

void FormatFileChooseDate(const sFolderEntry& entry, char16_t (&text)[32])
{
    const sDateTime& date = entry.m_date;
    text[0] = 0;
    if (date.m_year != 0) {
        FormatWide(text, 32, u"%02d.%02d.%04d %02d:%02d:%02d", int(date.m_day), int(date.m_month), int(date.m_year),
                   int(date.m_hour), int(date.m_minute), int(date.m_second));
    }
}

void FormatFileChooseSize(const sFolderEntry& entry, char16_t (&text)[32])
{
    text[0] = 0;
    if (entry.m_kind == kEntryFile) {
        FormatWide(text, 32, u"%lld KB", (long long)(entry.m_size / 1024));
    }
}

cFileChooseDialog::~cFileChooseDialog()
{
    // The caller's panel is borrowed: it leaves the tree but is never deleted here.
    cFileChooseExtraPanel* panel = m_params != nullptr ? m_params->extraPanel : nullptr;
    if (panel != nullptr && panel->GetParent() != nullptr) {
        (void)panel->GetParent()->DetachChild(panel);
    }
}

// --- set-up ------------------------------------------------------------------------------------

void cFileChooseDialog::ApplyStyle()
{
    cCustomForm::ApplyStyle();
    const cCITheme* theme = GetTheme();
    static constexpr eThemeImage kPlaceImages[] = {kImageHome, kImagePlaces, kImageNewFolder};
    static constexpr eThemeImage kButtonImages[] = {kImageOpen, kImageCancel, kImageSave};
    static constexpr eThemeImage kRowImages[] = {kImagePlace, kImageFolder, kImageFile,
                                                 kImageOtherObject, kImageNetwork};
    for (i32 id = 0; id < 3; ++id) {
        m_placeImages.Set(id, theme->GetImage(kPlaceImages[id]));
        m_buttonImages.Set(id, theme->GetImage(kButtonImages[id]));
    }
    for (i32 id = 0; id < 5; ++id) {
        m_rowImages.Set(id, theme->GetImage(kRowImages[id]));
    }
}

void cFileChooseDialog::OnCreate()
{
    cCustomForm::OnCreate();
    cFileChooseExtraPanel* extra = m_params->extraPanel;
    const i32 panelHeight = extra != nullptr ? std::max(0, extra->GetPanelHeight()) : 0;
    SetMinSize(350, 300 + panelHeight);
    LayOutFrame(panelHeight);

    cPanelChild* panel = GetClientPanel();
    panel->AddChildAt(&m_bar, 0, 0, -1, 22);
    m_bar.SetProvider(&m_job);
    m_bar.SetProgressColour(GetTheme()->GetColour(kThemeProgressColour));

    panel->AddChildAt(&m_list, 0, 24, -1, -80 - panelHeight);
    (void)m_list.AddColumn(kColumnName, GetLangString(kTextName), 190, 0);
    (void)m_list.AddColumn(kColumnDate, GetLangString(kTextDate), 120, 0);
    (void)m_list.AddColumn(kColumnType, GetLangString(kTextType), 70, 0);
    (void)m_list.AddColumn(kColumnSize, GetLangString(kTextSize), 80, kRightAligned);
    m_list.SetImageLists(&m_rowImages, nullptr, nullptr);
    m_list.SetMultiSelect(m_params->multipleSelection != 0 && !m_saveMode);
    if (auto* byName = new (std::nothrow) cListViewChild::cListViewNameSortProvider;
        byName != nullptr && !m_list.SetSortProvider(kColumnName, byName)) {
        delete byName;
    }
    using tKeyFunction = cListViewChild::cListViewU64PramSortProvider::tKeyFunction;
    const std::pair<i32, tKeyFunction> keyed[] = {
        {kColumnDate, &cFileChooseDialog::DateKey},
        {kColumnType, &cFileChooseDialog::KindKey},
        {kColumnSize, &cFileChooseDialog::SizeKey},
    };
    for (const auto& [column, function] : keyed) {
        auto* provider = new (std::nothrow) cListViewChild::cListViewU64PramSortProvider;
        if (provider == nullptr) {
            continue;
        }
        provider->SetKeyFunction(function, this);
        if (!m_list.SetSortProvider(column, provider)) {
            delete provider;
        }
    }
    m_list.SetWholeRowSelection(true, false);

    const i32 rowY = -50 - panelHeight;
    panel->AddChildAt(&m_nameLabel, 0, rowY, 80, 22);
    (void)m_nameLabel.SetText(GetLangString(kTextFileName));
    m_nameLabel.SetBackColour(GetTheme()->GetColour(kThemeFormColour));
    panel->AddChildAt(&m_nameBox, 80, rowY, -280, 22);
    if (!m_params->path.IsEmpty()) {
        (void)m_nameBox.SetTextN(m_params->path.Get(), -1);
    }
    panel->AddChildAt(&m_filterBox, -191, rowY, 190, 22);
    m_filterBox.SetEditable(false);
    if (extra != nullptr) {
        panel->AddChildAt(extra, 0, -18 - panelHeight, -1, panelHeight);
    }
    FillFilters();
    GoToStart();
}

void cFileChooseDialog::LayOutFrame(i32 panelHeight)
{
    const cCITheme* theme = GetTheme();
    const i32 side = theme->GetMetric(kThemeSideInset);
    AddChildAt(&m_placeBar, side, theme->GetMetric(kThemeToolbarTop), -(2 * side) - 1,
               theme->GetMetric(kThemeToolbarHeight));
    m_placeBar.SetTransparent(true);
    m_placeBar.SetButtonsFocusable(false);
    m_placeBar.SetStateImageList(kButtonNormal, &m_placeImages);
    (void)m_placeBar.SetButton(kHomeButton, GetLangString(kTextHome), 0);
    (void)m_placeBar.SetButton(kPlacesButton, GetLangString(kTextPlaces), 1);
    if (m_saveMode) {
        (void)m_placeBar.SetButton(kNewFolderButton, GetLangString(kTextNewFolder), 2);
    }

    // The button bar at the bottom right, as the message box places it.
    const i32 barHeight = theme->GetMetric(kThemeButtonBarHeight);
    AttachChild(&m_buttonBar, 0, 0, 1, barHeight);
    m_buttonBar.SetTransparent(true);
    m_buttonBar.SetStateImageList(kButtonNormal, &m_buttonImages);
    (void)m_buttonBar.SetButton(kOkButton, GetLangString(m_saveMode ? kTextSave : kTextOpen), m_saveMode ? 2 : 0);
    (void)m_buttonBar.SetButton(kCancelButton, GetLangString(kTextCancel), 1);
    const i32 barWidth = m_buttonBar.GetTotalWidth();
    AddChildAt(&m_buttonBar, -(theme->GetMetric(kThemeButtonBarRight) + barWidth),
               -1 - theme->GetMetric(kThemeButtonBarBottom) - barHeight, barWidth, barHeight);
    (void)panelHeight;
}

void cFileChooseDialog::FillFilters()
{
    const _classbuf<sFileChooseFilter>& filters = m_params->filters;
    i32 first = -1;
    for (i32 index = 0; index < filters.GetCount(); ++index) {
        const sFileChooseFilter& filter = filters[index];
        if (!filter.name.IsEmpty() && !filter.patterns.IsEmpty() &&
            m_filterBox.SetItem(index, filter.name.Get(), u32(index), -1) && first < 0) {
            first = index;
        }
    }
    if (first < 0) {
        (void)m_filterBox.SetItem(0, GetLangString(kTextAllFiles), u32(-1), -1);
        (void)m_patterns.Assign(u"*");
        (void)m_filterBox.Select(0, true);
        return;
    }
    (void)m_patterns.Assign(filters[first].patterns.Get());
    // A record filter that is no item would leave item 0, which may not exist either:
    // the first usable filter is chosen and written back instead.
    i32 selected = m_params->selectedFilter;
    if (selected < 0 || selected >= filters.GetCount() || filters[selected].name.IsEmpty() ||
        filters[selected].patterns.IsEmpty()) {
        selected = first;
        m_params->selectedFilter = first;
    }
    (void)m_filterBox.Select(selected, true);
}

void cFileChooseDialog::GoToStart()
{
    _guardchar<char16_t> start = m_params->startFolder;
    CleanPathText(start);
    if (!start.IsEmpty() && GetPathKind(start.Get()) == kPathFolder) {
        Navigate(TextOf(start.Get()));
        return;
    }
    const std::u16string path = TextOf(m_params->path.Get());
    const size_t slash = path.rfind(u'/');
    if (slash != std::u16string::npos && IsParentAFolder(path)) {
        (void)m_nameBox.SetTextN(path.c_str() + slash + 1, -1);
        Navigate(slash == 0 ? std::u16string(u"/") : path.substr(0, slash));
        return;
    }
    _guardchar<char16_t> home;
    if (GetHomeFolder(home)) {
        Navigate(TextOf(home.Get()));
    }
}

// --- listing -----------------------------------------------------------------------------------

void cFileChooseDialog::Navigate(const std::u16string& path)
{
    // One listing at a time: the job may have finished and not been taken yet, and a new
    // one would overwrite the listing the dialog is about to read.
    if (m_bar.GetState() != cNavigationChild::kStateBusy) {
        (void)m_bar.NavigateTo(path.c_str());
    }
}

void cFileChooseDialog::TakeListing()
{
    m_shown = m_job.TakeListing();
    m_nameToSelect = m_job.TakeNameToSelect();
    m_listedFolder = TextOf(m_bar.GetPath());
    FillList(true);
    (void)PostJobAction(&m_bar, new (std::nothrow) cChildAction(cNavigationChild::kListingTakenCode));
}

void cFileChooseDialog::ShowPlaces()
{
    m_shown = cFolderListing();
    (void)m_shown.ReadPlaces();
    m_listedFolder.clear();
    FillList(false);
    (void)m_bar.SetPath(nullptr);
}

void cFileChooseDialog::FillList(bool sort)
{
    m_list.BeginUpdate();
    (void)m_list.DeleteAllItems();
    i32 remembered = -1;
    char16_t text[32];
    for (i32 index = 0; index < m_shown.GetCount(); ++index) {
        const sFolderEntry* entry = m_shown.GetEntry(index);
        if (entry->m_hidden && m_params->showHidden == 0) {
            continue;
        }
        if (entry->m_kind == kEntryFile && !MatchWildcardList(entry->m_name.GetOrEmpty(), m_patterns.Get())) {
            continue;
        }
        const sKindLook look = LookOf(entry->m_kind);
        const char16_t* name = entry->m_label.IsEmpty() ? entry->m_name.GetOrEmpty() : entry->m_label.Get();
        (void)m_list.SetCell(index, kColumnName, name, look.number, u32(index));
        FormatFileChooseDate(*entry, text);
        (void)m_list.SetCell(index, kColumnDate, text, -1, 0);
        const char16_t* type = look.typeText >= 0 ? GetLangString(look.typeText) : nullptr;
        (void)m_list.SetCell(index, kColumnType, type != nullptr ? type : u"", -1, u32(look.number));
        FormatFileChooseSize(*entry, text);
        (void)m_list.SetCell(index, kColumnSize, text, -1, 0);
        if (entry->m_hidden) {
            for (i32 column = kColumnName; column <= kColumnSize; ++column) {
                (void)m_list.SetCellColour(index, column, kHiddenColour);
            }
        }
        if (remembered < 0 && !m_nameToSelect.IsEmpty() && CompareWide(entry->m_name.Get(), m_nameToSelect.Get()) == 0) {
            remembered = index;
        }
    }
    if (sort) {
        (void)m_list.SortByColumn(kColumnName);
        (void)m_list.SortByColumn(kColumnType);
    }
    (void)m_list.EndUpdate(false);
    if (remembered >= 0) {
        (void)m_list.SelectItemById(remembered);
    }
    m_nameToSelect.Clear();
    (void)m_placeBar.EnableButton(kNewFolderButton, IsFolderListed());
    m_list.Activate();
}

u64 cFileChooseDialog::DateKey(void* context, const cListViewChild::sCell* cell)
{
    const sFolderEntry* entry = static_cast<cFileChooseDialog*>(context)->m_shown.GetEntry(cell->itemId);
    if (entry == nullptr) {
        return 0;
    }
    const sDateTime& d = entry->m_date;
    return u64(d.m_year) << 40 | u64(d.m_month) << 32 | u64(d.m_day) << 24 | u64(d.m_hour) << 16 |
           u64(d.m_minute) << 8 | u64(d.m_second);
}

u64 cFileChooseDialog::KindKey(void* context, const cListViewChild::sCell* cell)
{
    const sFolderEntry* entry = static_cast<cFileChooseDialog*>(context)->m_shown.GetEntry(cell->itemId);
    return entry != nullptr ? u64(LookOf(entry->m_kind).number) : 0;
}

u64 cFileChooseDialog::SizeKey(void* context, const cListViewChild::sCell* cell)
{
    const sFolderEntry* entry = static_cast<cFileChooseDialog*>(context)->m_shown.GetEntry(cell->itemId);
    return entry != nullptr ? entry->m_size : 0;
}

std::u16string cFileChooseDialog::EntryPath(i32 index) const
{
    _guardchar<char16_t> path;
    if (!m_shown.GetEntryPath(index, path)) {
        return {};
    }
    return TextOf(path.Get());
}

// --- actions -------------------------------------------------------------------------------------

bool cFileChooseDialog::OnAction(cChildElement* source, cChildAction* action)
{
    const i32 code = action->GetCode();
    if (source == &m_placeBar || source == &m_buttonBar) {
        if (auto* press = dynamic_cast<cToolBarChild::cTbButtonAction*>(action)) {
            const i32 id = press->GetId();
            if (source == &m_buttonBar) {
                if (id == kOkButton) {
                    OnOK();
                } else if (id == kCancelButton) {
                    OnCancel();
                }
            } else if (m_bar.GetState() == cNavigationChild::kStateBusy) {
                // One listing at a time.
            } else if (id == kHomeButton) {
                _guardchar<char16_t> home;
                if (GetHomeFolder(home)) {
                    Navigate(TextOf(home.Get()));
                }
            } else if (id == kPlacesButton) {
                ShowPlaces();
            } else if (id == kNewFolderButton) {
                RequestNewFolder();
            }
            return true;
        }
    } else if (source == &m_bar) {
        auto* setPath = dynamic_cast<cNavigationChild::cNaviSetPathAction*>(action);
        if (setPath != nullptr) {
            if (setPath->path.IsEmpty()) {
                TakeListing();
            }
            return true;
        }
    } else if (source == &m_list) {
        OnListAction(action);
        return true;
    } else if (source == &m_filterBox) {
        if (code == cComboBoxChild::kComboChanged) {
            OnFilterChanged();
        }
        return true;
    } else if (source == &m_nameBox) {
        // Enter there already ran OnOK through the form; its own code 7 says it again.
        return true;
    }
    return cCustomForm::OnAction(source, action);
}

void cFileChooseDialog::OnFilterChanged()
{
    const i32 selected = m_filterBox.GetSelectedIndex();
    const i32 index = selected >= 0 ? i32(m_filterBox.GetItemValue(selected)) : -1;
    const _classbuf<sFileChooseFilter>& filters = m_params->filters;
    if (index >= 0 && index < filters.GetCount() && !filters[index].patterns.IsEmpty()) {
        (void)m_patterns.Assign(filters[index].patterns.Get());
        m_params->selectedFilter = index;
    } else {
        (void)m_patterns.Assign(u"*");
    }
    if (IsFolderListed()) {
        FillList(true);
    }
}

void cFileChooseDialog::OnListAction(cChildElement::cChildAction* action)
{
    const i32 code = action->GetCode();
    if (auto* context = dynamic_cast<cChildElement::cContextAction*>(action)) {
        OnContextMenu(context->GetX(), context->GetY());
        return;
    }
    auto* item = dynamic_cast<cListViewChild::cListViewItemAction*>(action);
    if (code == cListViewChild::kItemChangedCode && item != nullptr) {
        const sFolderEntry* entry = m_shown.GetEntry(item->GetId());
        if (entry != nullptr && entry->m_kind == kEntryFile) {
            (void)m_nameBox.SetTextN(entry->m_name.GetOrEmpty(), -1);
        }
    } else if (code == cListViewChild::kItemActivatedCode && item != nullptr) {
        const sFolderEntry* entry = m_shown.GetEntry(item->GetId());
        if (entry == nullptr) {
            return;
        }
        if (entry->m_kind == kEntryFile) {
            Accept(EntryPath(item->GetId()), {});
        } else if (IsNavigable(entry->m_kind)) {
            Navigate(EntryPath(item->GetId()));
        }
    } else if (code == cListViewChild::kRefreshCode && item == nullptr) {
        if (IsFolderListed()) {
            Navigate(m_listedFolder);
        } else if (m_bar.GetState() != cNavigationChild::kStateBusy) {
            ShowPlaces();
        }
    }
}

std::vector<std::u16string> cFileChooseDialog::SelectedFiles()
{
    std::vector<std::u16string> files;
    for (i32 id = m_list.GetNextSelectedItemId(-1); id >= 0; id = m_list.GetNextSelectedItemId(id)) {
        const sFolderEntry* entry = m_shown.GetEntry(id);
        if (entry != nullptr && entry->m_kind == kEntryFile) {
            files.push_back(EntryPath(id));
        }
    }
    return files;
}

void cFileChooseDialog::OnContextMenu(i32 x, i32 y)
{
    sPoint origin;
    if (!m_list.GetScreenOrigin(origin)) {
        return;
    }
    // The popup runs a nested loop in which a finished listing may refill the list:
    // what the entry is comes from before it.
    const i32 current = m_list.GetCurrentItemId();
    const sFolderEntry* entry = current >= 0 ? m_shown.GetEntry(current) : nullptr;
    const eFolderEntryKind kind = entry != nullptr ? entry->m_kind : kEntryOther;
    const std::u16string path = entry != nullptr ? EntryPath(current) : std::u16string();
    i32 text = -1;
    if (!m_saveMode) {
        text = entry != nullptr ? kTextOpen : -1;
    } else if (entry == nullptr) {
        text = kTextNewFolder;
    } else if (kind == kEntryFile) {
        text = kTextSaveHere;
    } else if (IsNavigable(kind)) {
        text = kTextOpen;
    }
    if (text < 0) {
        return;
    }
    std::vector<std::u16string> selected;
    if (!m_saveMode && kind == kEntryFile && m_params->multipleSelection != 0) {
        selected = SelectedFiles();
    }
    tPopupItems items;
    sPopupItem* item = items.GetOrAdd(kMenuEntry);
    if (item == nullptr || !item->text.Assign(GetLangString(text))) {
        return;
    }
    const sPopupStyle style;
    if (ShowPopupMenuStyled(&m_list, items, origin.x + x, origin.y + y, style) != kMenuEntry) {
        return;
    }
    if (entry == nullptr) {
        RequestNewFolder();
    } else if (kind == kEntryFile) {
        std::vector<std::u16string> further;
        for (const std::u16string& file : selected) {
            if (file != path) {
                further.push_back(file);
            }
        }
        Accept(path, further);
    } else {
        Navigate(path);
    }
}

// --- OK -------------------------------------------------------------------------------------------

void cFileChooseDialog::OnOK()
{
    if (m_bar.GetState() != cNavigationChild::kStateIdle) {
        return;
    }
    _guardchar<char16_t> typed;
    if (!m_nameBox.CopyText(typed) || typed.IsEmpty()) {
        m_nameBox.Activate();
        return;
    }
    CleanPathText(typed);
    const std::u16string text = TextOf(typed.Get());
    if (text.find_first_of(u"*?") != std::u16string::npos) {
        ApplyTypedPatterns(text);
    } else if (!IsFolderListed()) {
        OkAtPlaces(text);
    } else if (m_saveMode || m_params->multipleSelection == 0 || !OkWithSelection()) {
        OkInFolder(text);
    }
}

void cFileChooseDialog::ApplyTypedPatterns(const std::u16string& text)
{
    const _classbuf<sFileChooseFilter>& filters = m_params->filters;
    const i32 selected = m_params->selectedFilter;
    const char16_t* filterWord = GetLangString(kTextFilter);
    const char16_t* customWord = GetLangString(kTextCustom);
    std::u16string shown;
    if (m_params->filterNameFlag != 0 && selected >= 0 && selected < filters.GetCount()) {
        shown = TextOf(filters[selected].name.Get()) + u" (" + TextOf(filterWord) + u": " + text + u")";
    } else {
        shown = TextOf(customWord) + u" (" + text + u")";
    }
    (void)m_filterBox.SetTextN(shown.c_str(), i32(shown.size()));
    (void)m_patterns.Assign(text.c_str());
    if (IsFolderListed()) {
        FillList(true);
    }
}

void cFileChooseDialog::OkAtPlaces(const std::u16string& text)
{
    // A relative text has nothing to be relative to at the places.
    if (text[0] != u'/') {
        return;
    }
    const ePathKind kind = GetPathKind(text.c_str());
    if (kind == kPathFile) {
        Accept(text, {});
    } else if (kind == kPathFolder) {
        (void)m_nameBox.SetTextN(u"", 0);
        Navigate(text);
    } else if (kind == kPathMissing && m_saveMode && IsParentAFolder(text)) {
        Accept(text, {});
    }
}

bool cFileChooseDialog::OkWithSelection()
{
    std::vector<std::u16string> files = SelectedFiles();
    if (files.empty()) {
        return false;
    }
    const std::u16string first = files.front();
    files.erase(files.begin());
    Accept(first, files);
    return true;
}

void cFileChooseDialog::OkInFolder(const std::u16string& text)
{
    // An absolute text is used as typed; a relative one only inside the listed folder,
    // never against the process's current folder.
    const std::u16string full = text[0] == u'/' ? text : JoinPath(m_listedFolder, text);
    const ePathKind kind = GetPathKind(full.c_str());
    if (kind == kPathFile) {
        Accept(full, {});
    } else if (kind == kPathFolder) {
        (void)m_nameBox.SetTextN(u"", 0);
        Navigate(full);
    } else if (kind == kPathMissing && m_saveMode && IsParentAFolder(full)) {
        Accept(full, {});
    }
}

void cFileChooseDialog::Accept(const std::u16string& path, const std::vector<std::u16string>& further)
{
    std::u16string chosen = path;
    const _classbuf<sFileChooseFilter>& filters = m_params->filters;
    const i32 selected = m_params->selectedFilter;
    if (m_saveMode && selected >= 0 && selected < filters.GetCount() && !filters[selected].extension.IsEmpty() &&
        !EndsWithExtension(chosen, filters[selected].extension.Get())) {
        chosen += u'.';
        chosen += filters[selected].extension.Get();
    }
    if (!m_params->path.Assign(chosen.c_str())) {
        return;
    }
    // Emptied first: a refused close and a second OK must not list files twice.
    m_params->furtherPaths.DeleteAll();
    for (const std::u16string& file : further) {
        _guardchar<char16_t>* entry = m_params->furtherPaths.AddNew();
        if (entry == nullptr || !entry->Assign(file.c_str())) {
            return;
        }
    }
    if (m_params->extraPanel != nullptr && !m_params->extraPanel->CanCloseDialog()) {
        return;
    }
    EndModal(1);
}

// --- new folder --------------------------------------------------------------------------------------

void cFileChooseDialog::RequestNewFolder()
{
    if (!IsFolderListed()) {
        return;
    }
    // The form's nested loop may take a new listing meanwhile.
    const std::u16string folder = m_listedFolder;
    _guardchar<char16_t> name;
    if (!RequestNewFolderName(this, &name) || name.IsEmpty()) {
        return;
    }
    const std::u16string full = JoinPath(folder, TextOf(name.Get()));
    const ePathKind kind = GetPathKind(full.c_str());
    if (kind == kPathMissing) {
        if (CreateDirectoryPath(full.c_str())) {
            Navigate(full);
        } else {
            (void)ShowErrorMessage(this, GetLangString(kTextCannotCreate), nullptr);
        }
    } else if (kind == kPathFolder) {
        Navigate(full);
    } else {
        (void)ShowErrorMessage(this, GetLangString(kind == kPathFile ? kTextFileExists : kTextSpecialExists), nullptr);
    }
}

// --- runner ---------------------------------------------------------------------------------------------

bool RunFileSaveDialog(cChildElement* parent, const char16_t* title, sFileChooseParams* params)
{
    if (parent == nullptr || params == nullptr) {
        return false;
    }
    auto* dialog = new (std::nothrow) cFileChooseDialog(params, cFileChooseDialog::kSaveMode);
    if (dialog == nullptr) {
        return false;
    }
    cFileChooseExtraPanel* extra = params->extraPanel;
    const i32 width = std::max(kDialogWidth, extra != nullptr ? extra->GetPanelWidth() : 0);
    const i32 height = kDialogHeight + (extra != nullptr ? std::max(0, extra->GetPanelHeight()) : 0);
    return parent->RunModal(title, width, height, dialog, true) == 1;
}
