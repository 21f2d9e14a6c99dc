#include "gui/dialogs/folderchooser.h"

#include "base/packedkey.h"
#include "base/paths.h"
#include "gui/controls/popupmenu.h"
#include "gui/core/theme.h"
#include "gui/dialogs/messagebox.h"
#include "gui/dialogs/newfolderform.h"
#include "gui/dialogs/pathtext.h"
#include "system/folders.h"

#include <algorithm>
#include <new>
#include <string>
#include <vector>

namespace {

using tViewItem = cTreeViewChild::cTreeViewItem;

// Texts of "ciom::folderchoose".
enum : i32
{
    kTextComputer = 0,
    kTextFileExists = 1,
    kTextFolderExists = 2,
    kTextCannotCreate = 3,
    kTextSpecialExists = 4,
    kTextNewFolder = 5,
    kTextSelect = 6,
    kTextCancel = 7,
};

// Picture ids of the tree's list, the toolbars' and the button bar's.
enum : i32
{
    kPlacePicture = 0,
    kFolderPicture = 1,
    kComputerPicture = 2,
    kNewFolderPicture = 0,
    kSelectPicture = 0,
    kCancelPicture = 1,
    kSavePicture = 2,
};

enum : i32
{
    kNewFolderButton = 1,
    kSelectButton = 1,
    kCancelButton = 2,
    kNewFolderMenuId = 1,
};

constexpr i32 kPathBoxMaxLength = 0x8000;

// The components of an absolute path: "/" (or "//" when two slashes begin it), then the
// names between runs of slashes; a trailing slash adds nothing.
std::vector<std::u16string> SplitComponents(const std::u16string& path)
{
    std::vector<std::u16string> components;
    size_t at = 0;
    if (path.compare(0, 2, u"//") == 0) {
        components.emplace_back(u"//");
    } else if (!path.empty() && path[0] == u'/') {
        components.emplace_back(u"/");
    }
    while (at < path.size()) {
        while (at < path.size() && path[at] == u'/') {
            ++at;
        }
        const size_t end = std::min(path.find(u'/', at), path.size());
        if (end > at) {
            components.push_back(path.substr(at, end - at));
        }
        at = end;
    }
    return components;
}

// A listed subfolder on its way into the tree, ordered by the packed key of its text
// and then by listing order.
struct sPendingFolder
{
    sPackedKey key;
    std::u16string text;
    std::u16string fullPath;
    i32 pictureId;
};

} // namespace

cFolderChooseDialog::cFolderChooseDialog(const char16_t* startPath, const sFolderChooseOptions* options)
{
    (void)m_startPath.Assign(startPath);
    if (options != nullptr) {
        m_options = *options;
    }
}

// --- set-up ------------------------------------------------------------------------------------

void cFolderChooseDialog::ApplyStyle()
{
    cCustomForm::ApplyStyle();
    const cCITheme* theme = GetTheme();
    m_toolbarImages.Set(kNewFolderPicture, theme->GetImage(kImageNewFolder));
    m_buttonImages.Set(kSelectPicture, theme->GetImage(kImageOpen));
    m_buttonImages.Set(kCancelPicture, theme->GetImage(kImageCancel));
    m_buttonImages.Set(kSavePicture, theme->GetImage(kImageSave));
    m_treeImages.Set(kPlacePicture, theme->GetImage(kImagePlace));
    m_treeImages.Set(kFolderPicture, theme->GetImage(kImageFolder));
    m_treeImages.Set(kComputerPicture, theme->GetImage(kImageComputer));
    if (m_options.decorator != nullptr) {
        m_options.decorator->AddPictures(m_treeImages);
    }
}

void cFolderChooseDialog::OnCreate()
{
    cCustomForm::OnCreate();
    SetMinSize(300, 350);
    const cCITheme* theme = GetTheme();
    const i32 side = theme->GetMetric(4);
    AddChildAt(&m_frameBar, side, theme->GetMetric(3), -(2 * side) - 1, theme->GetMetric(5));
    m_frameBar.SetTransparent(true);
    m_frameBar.SetStateImageList(kButtonNormal, &m_toolbarImages);
    if (m_options.allowNewFolder) {
        (void)m_frameBar.SetButton(kNewFolderButton, GetLangString(kTextNewFolder), kNewFolderPicture);
    }

    cPanelChild* panel = GetClientPanel();
    panel->AddChildAt(&m_tree, 0, 0, -1, -29);
    panel->AddChildAt(&m_pathBox, 0, -26, -1, 18);
    (void)m_pathBox.SetMaxLength(kPathBoxMaxLength);
    m_tree.SetImageList(&m_treeImages, 0, 0);
    BuildRoot();

    // The button bar at the bottom right, as the message box places it.
    const i32 barHeight = theme->GetMetric(7);
    const i32 barY = -1 - theme->GetMetric(8) - barHeight;
    AttachChild(&m_buttonBar, 0, 0, 1, barHeight);
    m_buttonBar.SetTransparent(true);
    m_buttonBar.SetStateImageList(kButtonNormal, &m_buttonImages);
    (void)m_buttonBar.SetButton(kSelectButton, GetLangString(kTextSelect), kSelectPicture);
    (void)m_buttonBar.SetButton(kCancelButton, GetLangString(kTextCancel), kCancelPicture);
    const i32 barWidth = m_buttonBar.GetTotalWidth();
    AddChildAt(&m_buttonBar, -(theme->GetMetric(9) + barWidth), barY, barWidth, barHeight);
    if (m_options.allowNewFolder) {
        AttachChild(&m_bottomBar, 0, 0, 1, barHeight);
        m_bottomBar.SetTransparent(true);
        m_bottomBar.SetButtonsFocusable(false);
        m_bottomBar.SetStateImageList(kButtonNormal, &m_toolbarImages);
        (void)m_bottomBar.SetButton(kNewFolderButton, GetLangString(kTextNewFolder), kNewFolderPicture);
        AddChildAt(&m_bottomBar, 10, barY, m_bottomBar.GetTotalWidth(), barHeight);
    }

    // The start: a folder, or the folder of a file.
    std::u16string start = TextOf(m_startPath.Get());
    if (GetPathKind(start.c_str()) != kPathFolder) {
        const size_t slash = start.rfind(u'/');
        start = slash != std::u16string::npos && GetPathKind(start.c_str()) == kPathFile ? start.substr(0, slash)
                                                                                         : std::u16string();
        if (GetPathKind(start.c_str()) != kPathFolder) {
            start.clear();
        }
    }
    SetWorkingPath(nullptr);
    if (!start.empty()) {
        GoToFolder(start.c_str());
    }
    m_pathBox.Activate();
}

// --- the tree ----------------------------------------------------------------------------------

cFolderChooseDialog::cTreeFoldersContentItem* cFolderChooseDialog::AddFolderItem(cTreeFoldersContentItem* parent,
                                                                                   const char16_t* text, i32 pictureId,
                                                                                   const char16_t* fullPath)
{
    auto* content = new (std::nothrow) cTreeFoldersContentItem;
    auto* view = new (std::nothrow) tViewItem;
    if (content == nullptr || view == nullptr || !content->fullPath.Assign(fullPath) || !view->SetText(text)) {
        delete content;
        delete view;
        return nullptr;
    }
    content->pictureId = pictureId;
    content->view = view;
    view->iconId = pictureId;
    view->userValue = reinterpret_cast<uintptr_t>(content);
    if (!m_tree.InsertItem(parent != nullptr ? parent->view : nullptr, view, nullptr)) {
        delete content;
        delete view;
        return nullptr;
    }
    m_content.InsertItem(parent, content, nullptr);
    return content;
}

void cFolderChooseDialog::BuildRoot()
{
    SetCurrentView(nullptr);
    m_tree.SuspendUpdates();
    cTreeFoldersContentItem* root = AddFolderItem(nullptr, GetLangString(kTextComputer), kComputerPicture, nullptr);
    cFolderListing places;
    if (root != nullptr) {
        root->listed = true;
        // The places are never examined: a dead network mount must not stall the root.
        (void)places.ReadPlaces();
    }
    for (i32 index = 0; index < places.GetCount(); ++index) {
        const sFolderEntry* entry = places.GetEntry(index);
        i32 picture;
        if (entry->m_kind == kEntryDisk || entry->m_kind == kEntryNetworkPlace) {
            picture = kPlacePicture;
        } else if (entry->m_kind == kEntryFolder || entry->m_kind == kEntryHome) {
            picture = kFolderPicture;
        } else {
            continue;
        }
        _guardchar<char16_t> fullPath;
        if (places.GetEntryPath(index, fullPath)) {
            const char16_t* text = entry->m_label.IsEmpty() ? entry->m_name.Get() : entry->m_label.Get();
            (void)AddFolderItem(root, text, picture, fullPath.Get());
        }
    }
    m_tree.ResumeUpdates();
}

void cFolderChooseDialog::ListChildren(cTreeFoldersContentItem* content)
{
    tViewItem* view = content->view;
    (void)m_tree.DeleteChildItems(view);
    content->DeleteChildren();
    cFolderListing listing;
    content->listed = listing.Enumerate(content->fullPath.Get(), kListKindsOnly);
    if (!content->listed) {
        (void)m_tree.SetCurrentItem(view, true);
        return;
    }
    std::vector<sPendingFolder> folders;
    for (i32 index = 0; index < listing.GetCount(); ++index) {
        const sFolderEntry* entry = listing.GetEntry(index);
        if (entry->m_hidden && !m_options.showHidden) {
            continue;
        }
        _guardchar<char16_t> fullPath;
        if (!listing.GetEntryPath(index, fullPath)) {
            continue;
        }
        _guardchar<char16_t> label;
        i32 picture;
        if (entry->m_kind == kEntryFolder || entry->m_kind == kEntryHome) {
            picture = kFolderPicture;
            i32 decorated = picture;
            if (entry->m_kind == kEntryFolder && m_options.decorator != nullptr &&
                m_options.decorator->DecorateFolder(fullPath.Get(), label, decorated) && decorated >= 0) {
                picture = decorated;
            }
        } else if (entry->m_kind == kEntryDisk || entry->m_kind == kEntryNetworkPlace) {
            picture = kPlacePicture;
        } else {
            continue; // files, devices, FIFOs, links that lead nowhere
        }
        if (label.IsEmpty()) {
            (void)label.Assign(entry->m_label.IsEmpty() ? entry->m_name.Get() : entry->m_label.Get());
        }
        sPendingFolder folder{{}, TextOf(label.Get()), TextOf(fullPath.Get()), picture};
        if (!folder.key.InitFromWide(folder.text.c_str())) {
            continue;
        }
        folders.push_back(std::move(folder));
    }
    // Stable: entries whose keys are equal keep listing order and are all shown.
    std::stable_sort(folders.begin(), folders.end(),
                     [](const sPendingFolder& a, const sPendingFolder& b) { return a.key.Compare(b.key) < 0; });
    m_tree.SuspendUpdates();
    for (const sPendingFolder& folder : folders) {
        (void)AddFolderItem(content, folder.text.c_str(), folder.pictureId, folder.fullPath.c_str());
    }
    m_tree.ResumeUpdates();
    (void)m_tree.SetCurrentItem(view, true);
    SetCurrentView(view);
}

void cFolderChooseDialog::GoToFolder(const char16_t* path)
{
    // A relative text would be read against the process's current folder.
    const std::u16string wanted = TextOf(path);
    if (wanted.empty() || wanted[0] != u'/' || GetPathKind(wanted.c_str()) != kPathFolder) {
        return;
    }
    auto* current = static_cast<cTreeFoldersContentItem*>(m_content.GetFirst());
    if (current == nullptr) {
        return;
    }
    cTreeFoldersContentItem* added = nullptr;
    std::u16string accumulated;
    for (const std::u16string& component : SplitComponents(wanted)) {
        accumulated = accumulated.empty() ? component : JoinPath(accumulated, component);
        cTreeFoldersContentItem* found = nullptr;
        for (cTreeItem* child = current->GetFirstChild(); child != nullptr; child = child->GetNextSibling()) {
            auto* candidate = static_cast<cTreeFoldersContentItem*>(child);
            if (accumulated == candidate->fullPath.GetOrEmpty()) {
                found = candidate;
                break;
            }
        }
        if (found != nullptr) {
            current = found;
            added = nullptr;
        } else if (added != nullptr && current == added) {
            // One added item stands for the whole run of missed components.
            if (!added->fullPath.Assign(accumulated.c_str()) || !added->view->SetText(accumulated.c_str())) {
                return;
            }
        } else {
            added = AddFolderItem(current, accumulated.c_str(), kFolderPicture, accumulated.c_str());
            if (added == nullptr) {
                return;
            }
            current = added;
        }
        ListChildren(current);
    }
    SetWorkingPath(accumulated.c_str());
    (void)m_tree.SetCurrentItem(current->view, true);
    SetCurrentView(current->view);
}

// --- state -----------------------------------------------------------------------------------------

void cFolderChooseDialog::SetWorkingPath(const char16_t* path)
{
    (void)m_path.Assign(path);
    (void)m_pathBox.SetTextN(m_path.GetOrEmpty(), -1);
    const bool enable = !m_path.IsEmpty();
    (void)m_frameBar.EnableButton(kNewFolderButton, enable);
    (void)m_bottomBar.EnableButton(kNewFolderButton, enable);
}

void cFolderChooseDialog::SetCurrentView(tViewItem* view)
{
    m_currentView = view;
    m_currentSerial = view != nullptr ? view->GetSerial() : 0;
}

tViewItem* cFolderChooseDialog::CurrentView() const
{
    return m_tree.IsItemAlive(m_currentView, m_currentSerial) ? m_currentView : nullptr;
}

// --- actions --------------------------------------------------------------------------------------------

bool cFolderChooseDialog::OnAction(cChildElement* source, cChildAction* action)
{
    if (source == &m_frameBar || source == &m_bottomBar || source == &m_buttonBar) {
        auto* press = dynamic_cast<cToolBarChild::cTbButtonAction*>(action);
        if (press != nullptr && source != &m_buttonBar) {
            if (press->GetId() == kNewFolderButton) {
                RequestNewFolder();
                return true;
            }
        } else if (press != nullptr) {
            if (press->GetId() == kSelectButton) {
                OnOK();
                return true;
            }
            if (press->GetId() == kCancelButton) {
                OnCancel();
                return true;
            }
        }
    } else if (source == &m_tree) {
        auto* itemAction = dynamic_cast<cTreeViewChild::cTreeItemAction*>(action);
        if (itemAction != nullptr && action->GetCode() == cTreeViewChild::kCurrentChangedCode) {
            OnCurrentChanged(itemAction->GetItem());
            return true;
        }
        if (auto* context = dynamic_cast<cTreeViewChild::cTreeItemCtxAction*>(action)) {
            OnContextMenu(context);
            return true;
        }
    }
    return cCustomForm::OnAction(source, action);
}

void cFolderChooseDialog::OnCurrentChanged(tViewItem* view)
{
    auto* content = reinterpret_cast<cTreeFoldersContentItem*>(view->userValue);
    if (!content->listed) {
        ListChildren(content);
    }
    SetWorkingPath(content->fullPath.Get());
    SetCurrentView(view);
}

void cFolderChooseDialog::OnContextMenu(cTreeViewChild::cTreeItemCtxAction* context)
{
    tViewItem* view = context->GetItem();
    const u64 serial = context->GetSerial();
    if (reinterpret_cast<cTreeFoldersContentItem*>(view->userValue)->fullPath.IsEmpty()) {
        return;
    }
    tPopupItems items;
    sPopupItem* entry = items.GetOrAdd(kNewFolderMenuId);
    sPoint origin;
    if (entry == nullptr || !entry->text.Assign(GetLangString(kTextNewFolder)) || !m_tree.GetScreenOrigin(origin)) {
        return;
    }
    const i32 chosen = ShowPopupMenu(this, items, origin.x + context->GetX(), origin.y + context->GetY());
    // Queued actions ran inside the popup and may have listed the item's parent again.
    if (chosen != kNewFolderMenuId || !m_tree.IsItemAlive(view, serial)) {
        return;
    }
    SetWorkingPath(reinterpret_cast<cTreeFoldersContentItem*>(view->userValue)->fullPath.Get());
    (void)m_tree.SetCurrentItem(view, true);
    SetCurrentView(view);
    RequestNewFolder();
}

void cFolderChooseDialog::RequestNewFolder()
{
    if (m_path.IsEmpty() || CurrentView() == nullptr) {
        return;
    }
    const std::u16string folder = TextOf(m_path.Get());
    _guardchar<char16_t> name;
    if (!RequestNewFolderName(this, &name)) {
        return;
    }
    const std::u16string path = JoinPath(folder, TextOf(name.Get()));
    switch (GetPathKind(path.c_str())) {
    case kPathMissing:
        if (CreateDirectoryPath(path.c_str())) {
            GoToFolder(path.c_str());
        } else {
            (void)ShowErrorMessage(this, GetLangString(kTextCannotCreate), nullptr);
        }
        break;
    case kPathFile:
        (void)ShowErrorMessage(this, GetLangString(kTextFileExists), nullptr);
        break;
    case kPathFolder:
        (void)ShowInfoMessage(this, GetLangString(kTextFolderExists), nullptr);
        break;
    default:
        (void)ShowErrorMessage(this, GetLangString(kTextSpecialExists), nullptr);
        break;
    }
}

void cFolderChooseDialog::OnOK()
{
    const char16_t* typed = m_pathBox.GetText();
    if (!m_path.IsEmpty() && typed != nullptr && TextOf(typed) == m_path.Get()) {
        if (m_choice != nullptr && !m_choice->Assign(m_path.Get())) {
            return;
        }
        EndModal(1);
        return;
    }
    _guardchar<char16_t> cleaned;
    if (cleaned.Assign(typed)) {
        CleanPathText(cleaned);
        GoToFolder(cleaned.Get());
    }
}

bool RunFolderChooseDialog(cChildElement* parent, const char16_t* title, _guardchar<char16_t>* path,
                           const sFolderChooseOptions* options)
{
    if (parent == nullptr || path == nullptr) {
        return false;
    }
    // The run owns the dialog and deletes it; the choice lands in a copy first, so that
    // the caller's path changes only on success.
    _guardchar<char16_t> chosen;
    auto* dialog = new (std::nothrow) cFolderChooseDialog(path->Get(), options);
    if (dialog == nullptr) {
        return false;
    }
    dialog->SetChoiceTarget(&chosen);
    if (parent->RunModal(title, 500, 600, dialog, true) != 1) {
        return false;
    }
    return path->Assign(chosen.Get());
}
