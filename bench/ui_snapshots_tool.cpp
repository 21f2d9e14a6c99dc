// Every stock dialog and control state drawn with the system UI font (through
// fontconfig, as users see them) on the headless host's 1024 x 768 screen: each window
// is written as FOLDER/<scene>.png and checked for the properties of uiproperties.h,
// which hold whatever the font version. Not a byte comparison: fonts differ between
// machines.
//   ui_snapshots FOLDER
// Prints one line per failed property and exits with 1 when there was one.
// Links: qel_app qel_gui_document qel_gui_dialogs qel_gui_controls qel_gui_core qel_platform qel_picture_core qel_base
#include "app/updateform.h"
#include "base/fileio.h"
#include "base/utf.h"
#include "gui/controls/checkbox.h"
#include "gui/controls/combo.h"
#include "gui/controls/grid.h"
#include "gui/controls/listview.h"
#include "gui/controls/pictureelement.h"
#include "gui/controls/treeview.h"
#include "gui/core/application.h"
#include "gui/core/picture.h"
#include "gui/core/translator.h"
#include "gui/core/windowmaker.h"
#include "gui/dialogs/filechooser.h"
#include "gui/dialogs/folderchooser.h"
#include "gui/dialogs/messagebox.h"
#include "gui/dialogs/navigationbar.h"
#include "gui/dialogs/newfolderform.h"
#include "gui/dialogs/progressform.h"
#include "gui/document/docviewer.h"
#include "gui/document/plaintextdoc.h"
#include "platform/headlesshost.h"
#include "platform/pngwrite.h"
#include "platform/softgraphics.h"
#include "uiproperties.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <new>
#include <sstream>
#include <string>
#include <thread>

namespace {

class cSnapshotPass
{
public:
    cSnapshotPass(std::string folder, cHeadlessHost& host) : m_folder(std::move(folder)), m_host(host) {}

    // Writes the top window as <name>.png and checks it.
    void Shoot(const std::string& name)
    {
        m_host.Pump();
        cWindowTranslator* window = m_host.GetTopWindow();
        sRect rect;
        sSize screen;
        if (window == nullptr || !m_host.GetWindowRect(window, rect) || !m_host.GetScreenSize(screen)) {
            Fail(name, "shown", "no window");
            return;
        }
        const cCanvas& canvas = *m_host.GetCanvas(window);
        if (!SaveCanvasPng(m_folder + "/" + name + ".png", canvas)) {
            Fail(name, "written", m_folder + "/" + name + ".png");
        }
        for (const uiproperties::sFailure& failure : uiproperties::CheckWindow(window->GetRoot(), canvas, rect, screen)) {
            Fail(name, failure.check, failure.detail);
        }
        ++m_shots;
    }
    // The next modal run is shot as `name` once `ready` answers (or after 5 s) and
    // `prepare` ran, and then ended with 0.
    void ShootNextRun(const std::string& name, std::function<bool()> ready = nullptr,
                      std::function<void()> prepare = nullptr)
    {
        m_host.PushModalScript([this, name, ready, prepare](cHeadlessHost& host, cWindowTranslator& window) {
            if (ready) {
                (void)host.PumpUntil(ready, 5000);
            }
            if (prepare) {
                prepare();
            }
            Shoot(name);
            if (!window.IsRunEnded()) {
                window.GetRoot()->EndModal(0);
            }
        });
    }
    void Fail(const std::string& name, const std::string& check, const std::string& detail)
    {
        std::printf("%s: %s: %s\n", name.c_str(), check.c_str(), detail.c_str());
        ++m_failures;
    }
    i32 Failures() const { return m_failures; }
    i32 Shots() const { return m_shots; }

private:
    std::string m_folder;
    cHeadlessHost& m_host;
    i32 m_failures = 0;
    i32 m_shots = 0;
};

std::u16string Wide(const std::string& utf8)
{
    _guardchar<char16_t> wide;
    return Utf8ToWideString(utf8.c_str(), -1, wide) ? std::u16string(wide.GetOrEmpty()) : std::u16string();
}

void MessageBoxes(cSnapshotPass& pass, cChildElement* owner)
{
    std::u16string forty;
    for (int line = 1; line <= 40; ++line) {
        forty += u"Line " + Wide(std::to_string(line)) + u" of a long report\n";
    }
    const struct
    {
        const char* name;
        std::u16string text;
    } boxes[] = {
        {"message_short", u"Replace the file?"},
        {"message_long", u"The file /home/user/" + std::u16string(200, u'x') + u"/report.txt could not be written "
                                                                             u"because the disk is full."},
        {"message_forty_lines", forty},
        {"message_scripts", Wide("Grüße, Καλημέρα, Здравствуй\n你好世界 こんにちは\nمرحبا بالعالم\nשלום עולם\n"
                                 "नमस्ते दुनिया\nสวัสดีชาวโลก")},
    };
    for (const auto& box : boxes) {
        pass.ShootNextRun(box.name);
        (void)AskQuestion(owner, box.text.c_str(), u"Question");
    }
}

void UpdateForms(cSnapshotPass& pass, cChildElement* owner)
{
    std::ostringstream license;
    license << std::ifstream("/usr/share/common-licenses/GPL-3").rdbuf();
    const struct
    {
        const char* name;
        std::u16string product, notes;
    } forms[] = {
        {"update_short", u"Demo Application", u"Faster downloads.\nFewer questions."},
        {"update_long", u"Demo Application Suite for Small Workgroups, Medium Businesses and Enterprises",
         Wide(license.str())},
    };
    for (const auto& form : forms) {
        sUpdateInfo record;
        if (!record.m_productName.Assign(form.product.c_str()) || !record.m_newVersion.Assign(u"2.0.1.7") ||
            !record.m_webSiteAddress.Assign(u"https://example.com/") ||
            !record.m_downloadAddress.Assign(u"https://example.com/setup.sh") ||
            !record.m_releaseNotes.Assign(form.notes.c_str())) {
            pass.Fail(form.name, "made", "no memory");
            continue;
        }
        pass.ShootNextRun(form.name);
        (void)ShowUpdateInfoForm(&record, owner);
    }
}

void Choosers(cSnapshotPass& pass, cChildElement* owner, const std::string& folder)
{
    for (const auto mode : {cFileChooseDialog::kSaveMode, cFileChooseDialog::kOpenMode}) {
        sFileChooseParams params;
        params.multipleSelection = 1;
        params.showHidden = 1;
        if (!params.path.Assign(u"report.txt") || !params.startFolder.Assign(Wide(folder).c_str())) {
            continue;
        }
        auto* dialog = new cFileChooseDialog(&params, mode);
        const auto idle = [dialog] { return dialog->GetNavigationBar()->GetState() == cNavigationChild::kStateIdle; };
        // Every row selected, hidden ones among them.
        const auto selectAll = [dialog] { (void)dialog->GetList()->KeyDown('A', false, true, false); };
        pass.ShootNextRun(mode == cFileChooseDialog::kSaveMode ? "filechooser_save" : "filechooser_open_all_selected",
                          idle, selectAll);
        (void)owner->RunModal(u"Files", 500, 350, dialog, true);
    }
    _guardchar<char16_t> path;
    sFolderChooseOptions options;
    if (path.Assign(Wide(folder).c_str())) {
        pass.ShootNextRun("folderchooser");
        (void)RunFolderChooseDialog(owner, u"Choose a folder", &path, &options);
    }
    _guardchar<char16_t> name;
    pass.ShootNextRun("newfolderform");
    (void)RequestNewFolderName(owner, &name);
}

// A job that reports 40 % and waits to be stopped.
class cWaitingProgressForm : public cStdBasicProgressForm
{
public:
    ~cWaitingProgressForm() override { cJob::Stop(4000); }

protected:
    i32 Run() override
    {
        SetStage(0);
        (void)OnProgress(40.0);
        while (!IsCancelRequested()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return 0;
    }
};

void ProgressForm(cSnapshotPass& pass, cChildElement* owner)
{
    pass.ShootNextRun("progress", nullptr, [] { std::this_thread::sleep_for(std::chrono::milliseconds(300)); });
    (void)RunProgressForm(owner, new cWaitingProgressForm, u"Downloading");
}

// The controls on a plain form, with the focus on `focused` (null: on none of them).
class cControlsForm : public cCustomForm
{
public:
    void Build()
    {
        (void)AttachChild(&list, 10, 10, 380, 120);
        (void)list.AddColumn(0, u"Name", 150, kAlignLeft);
        (void)list.AddColumn(1, u"Size", 80, kAlignRight);
        const char16_t* names[] = {u"report.txt", u".profile", u"photo.png", u"notes.txt"};
        for (i32 id = 0; id < 4; ++id) {
            (void)list.SetCell(id, 0, names[id], -1, 0);
            (void)list.SetCell(id, 1, u"12 KB", -1, 0);
        }
        (void)list.SetCellColour(1, 0, 0x808080); // a hidden entry's grey
        (void)list.SelectItemById(1);
        (void)AttachChild(&tree, 400, 10, 190, 120);
        for (const char16_t* text : {u"Documents", u"Pictures", u".cache"}) {
            auto* item = new cTreeViewChild::cTreeViewItem;
            (void)item->SetText(text);
            item->textColour = text[0] == u'.' ? 0x808080 : item->textColour;
            (void)tree.InsertItem(nullptr, item, nullptr);
        }
        (void)tree.SetCurrentItem(tree.GetFirstItem()->GetNextItem()->GetNextItem(), false);
        (void)AttachChild(&edit, 10, 140, 200, 21);
        (void)edit.SetTextN(u"Selected text in an edit box", -1);
        edit.SelectAll();
        (void)AttachChild(&combo, 220, 140, 170, 21);
        (void)combo.SetItem(0, u"All files", 0, -1);
        (void)combo.Select(0, false);
        (void)AttachChild(&check, 400, 140, 190, 21);
        (void)check.SetText(u"Show hidden files", 0u, false);
        check.SetChecked(true, false);
        (void)AttachChild(&picture, 10, 170, 64, 64);
        auto* solid = new (std::nothrow) cPicture;
        if (solid == nullptr || !solid->CreateFilled(0xFF3070C0u, 48, 48) || !picture.TakePicture(solid)) {
            delete solid;
        }
    }

    cListViewChild list;
    cTreeViewChild tree;
    cEditChild edit;
    cComboBoxChild combo;
    cCheckBoxChild check;
    cPictureElement picture;
};

// Cells "Cell n" in the list's colours, the selected one on the selection band.
class cLabelGrid : public cSimpleGridChild
{
public:
    void PaintCell(cCanvas& canvas, i32 index, bool selected) override
    {
        const cCITheme* theme = GetTheme();
        const u32 back = theme->GetColour(selected ? 16 : 14);
        canvas.FillRect(0, 0, GetCellWidth(), GetCellHeight(), back, back);
        canvas.SelectFont(GetDefaultFont());
        canvas.SetColors(theme->GetColour(selected ? 9 : 4), back);
        const std::u16string text = u"Cell " + Wide(std::to_string(index + 1));
        (void)canvas.DrawTextInRectW(0, 0, GetCellWidth(), GetCellHeight(), kAlignCentre, false, 2, 2, text.c_str(), -1);
    }
    i32 GetCellWidth() override { return 70; }
    i32 GetCellHeight() override { return 40; }
    i32 GetCellCount() override { return 20; }
    i32 GetRowGap() override { return 6; }
    i32 GetMaxColumnGap() override { return 10; }
};

// The licence in the document viewer beside a grid with its fifth cell selected.
void ViewerAndGrid(cSnapshotPass& pass, cCIApplication& application)
{
    cSiDocLoader loader; // outlives the viewer's document
    cFileIO file;
    sSiDocTextOptions options;
    if (!file.Create("/usr/share/common-licenses/GPL-3", FileMode::Read) || !LoadPlainTextDocument(file, options, loader)) {
        pass.Fail("docviewer_grid", "made", "/usr/share/common-licenses/GPL-3 does not load");
        return;
    }
    cCustomForm form;
    cSiDocViewer viewer;
    cLabelGrid grid;
    sWindowParams params;
    params.screenRect = {0, 0, 700, 400};
    cWindowTranslator* window = application.GetWindowMaker()->OpenWindow(&form, params);
    if (window == nullptr) {
        pass.Fail("docviewer_grid", "shown", "no window");
        return;
    }
    window->OnActivate(true);
    (void)form.AttachChild(&viewer, 10, 10, 400, 380);
    (void)form.AttachChild(&grid, 420, 10, 270, 380);
    (void)viewer.SetDocument(loader.GetRoot());
    grid.SetFocusable(true);
    grid.Activate();
    grid.SetSelection(4, false);
    pass.Shoot("docviewer_grid");
    (void)viewer.SetDocument(nullptr);
    application.GetWindowMaker()->CloseWindow(window);
}

void Controls(cSnapshotPass& pass, cCIApplication& application)
{
    for (const char* state : {"controls_list_focused", "controls_tree_focused", "controls_edit_focused",
                              "controls_unfocused"}) {
        cControlsForm form;
        sWindowParams params;
        params.screenRect = {0, 0, 600, 250};
        cWindowTranslator* window = application.GetWindowMaker()->OpenWindow(&form, params);
        if (window == nullptr) {
            pass.Fail(state, "shown", "no window");
            continue;
        }
        window->OnActivate(true);
        form.Build();
        const std::string name = state;
        if (name == "controls_list_focused") {
            form.list.Activate();
        } else if (name == "controls_tree_focused") {
            form.tree.Activate();
        } else if (name == "controls_edit_focused") {
            form.edit.Activate();
        } else {
            form.check.Activate();
        }
        pass.Shoot(state);
        application.GetWindowMaker()->CloseWindow(window);
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fputs("usage: ui_snapshots FOLDER\n", stderr);
        return 2;
    }
    const std::string folder = argv[1];
    std::error_code error;
    std::filesystem::create_directories(folder + "/files/docs", error);
    for (const char* file : {"report.txt", "notes.txt", ".profile", ".hidden-settings"}) {
        std::ofstream(folder + "/files/" + file) << "sample\n";
    }
    if (!InstallSoftwareGraphics(eTextFont::System)) {
        std::fputs("ui_snapshots: no system UI font\n", stderr);
        return 1;
    }
    cHeadlessHost host;
    host.SetScreenSize(1024, 768);
    cCIApplication application;
    if (!application.SetUpWindowSystem(&host)) {
        return 1;
    }
    cSnapshotPass pass(folder, host);
    {
        cCustomForm owner;
        sWindowParams params;
        params.screenRect = {0, 0, 1024, 768};
        cWindowTranslator* window = application.GetWindowMaker()->OpenWindow(&owner, params);
        if (window == nullptr) {
            return 1;
        }
        window->OnActivate(true);
        MessageBoxes(pass, &owner);
        UpdateForms(pass, &owner);
        Choosers(pass, &owner, folder + "/files");
        ProgressForm(pass, &owner);
        application.GetWindowMaker()->CloseWindow(window);
    }
    Controls(pass, application);
    ViewerAndGrid(pass, application);
    std::printf("%d pictures in %s, %d failed properties\n", pass.Shots(), folder.c_str(), pass.Failures());
    return pass.Failures() == 0 ? 0 : 1;
}
