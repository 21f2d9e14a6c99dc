// The folder chooser and the new-folder form driven by modal scripts on real temporary
// trees: subfolder lists against find, typed paths, every new-folder outcome with its
// message, what the caller's path holds after each ending, lossless names, the places
// root, and the reviewed pictures tests/data/gui/controls/newfolderform.png and
// folderchooser_bottom.png (QEL_SNAPSHOT_OUT=<folder> tests_gui_dialogs
// --gtest_filter='FolderChooserTest.Picture*').
#include "base/utf.h"
#include "gui/controlstest.h"
#include "gui/core/keys.h"
#include "gui/core/lang.h"
#include "gui/dialogs/folderchooser.h"
#include "gui/dialogs/messagebox.h"
#include "gui/dialogs/newfolderform.h"
#include "support/filehelpers.h"
#include "support/shellcommand.h"
#include "testhooks/systemhooks.h"

#include <cstdlib>
#include <functional>
#include <string>

namespace {

using tDialogScript = std::function<void(cFolderChooseDialog&)>;

using qeltest::WideName;
using qeltest::NameBytes;

// The children of the current tree item, one name a line, as bytes.
std::string ChildLines(cFolderChooseDialog& dialog)
{
    std::string lines;
    const auto* item = dialog.GetTree()->GetCurrentItem();
    for (auto* child = item->GetFirstChildItem(); child != nullptr; child = child->GetNextItem()) {
        lines += NameBytes(child->GetText()) + "\n";
    }
    return lines;
}

// Clicks button `id` of the form's button bar (the form's second child).
void ClickBarButton(cHeadlessHost& host, cWindowTranslator& window, i32 id)
{
    auto* bar = dynamic_cast<cToolBarChild*>(window.GetRoot()->GetChildren()[1]);
    ASSERT_NE(bar, nullptr);
    const sPoint at = bar->GetButton(id)->GetOriginInRoot();
    host.Click(at.x + 5, at.y + 5, kMouseLeft, &window);
    host.Pump();
}

class FolderChooserTest : public qeltest::cFormTest
{
protected:
    void SetUp() override
    {
        cFormTest::SetUp();
        root = top.Path();
        qeltest::RunCommand("cd " + qeltest::ShellQuote(root) +
                            " && mkdir -p a B .hid/inner foo Foo 'caf\xc3\xa9' deep/x/y/z raw/$(printf 'd\\377')/in"
                            " raw/$(printf 'caf\\351') && touch file.txt && mkfifo fifo && ln -s /nonexistent broken"
                            " && ln -s a linked");
    }
    // Runs the chooser from `path` with `script` (none: an unshown run); the answer, and
    // the caller's path afterwards in `path`.
    bool Run(std::u16string& path, const tDialogScript& script, const sFolderChooseOptions* options = nullptr)
    {
        if (script) {
            host->PushModalScript([&](cHeadlessHost&, cWindowTranslator& window) {
                script(*dynamic_cast<cFolderChooseDialog*>(window.GetRoot()));
            });
        }
        _guardchar<char16_t> held;
        EXPECT_TRUE(held.Assign(path.c_str()));
        const bool answer = RunFolderChooseDialog(&form, u"Choose", &held, options);
        path = held.GetOrEmpty();
        return answer;
    }
    void Type(const std::u16string& text, bool enter = true)
    {
        cEditChild* box = dynamic_cast<cEditChild*>(host->GetTopWindow()->GetFocus());
        ASSERT_NE(box, nullptr);
        box->ClearText();
        host->TypeText(text.c_str());
        if (enter) {
            host->KeyDown(kVkReturn);
        }
        host->Pump();
    }

    qeltest::cScratchFolder top;
    std::string root;
};

// Listing against find, with and without hidden folders: no files, FIFOs or broken
// links; "foo" and "Foo" both, in byte order; a link to a folder counts. Names that are
// not UTF-8 are listed, entered and listed again.
TEST_F(FolderChooserTest, ListsEqualFind)
{
    for (bool hidden : {false, true}) {
        sFolderChooseOptions options;
        options.showHidden = hidden;
        std::u16string path = WideName(root);
        Run(path, [&](cFolderChooseDialog& dialog) {
            EXPECT_EQ(ChildLines(dialog), qeltest::RunCommand("find " + qeltest::ShellQuote(root) +
                                                              " -mindepth 1 -maxdepth 1 -xtype d " +
                                                              (hidden ? "" : "! -name '.*'") +
                                                              " -printf '%f\\n' | LC_ALL=C sort"))
                << hidden;
        }, &options);
    }
    std::u16string path = WideName(root + "/raw");
    Run(path, [&](cFolderChooseDialog& dialog) {
        EXPECT_EQ(ChildLines(dialog), "caf\xe9\nd\xff\n");
        dialog.GoToFolder(WideName(root + "/raw/d\xff").c_str());
        EXPECT_EQ(NameBytes(dialog.GetPath()), root + "/raw/d\xff");
        EXPECT_EQ(ChildLines(dialog), "in\n");
    });
}

// Typed paths: OK goes to a folder and stays open, a second OK ends with it; files,
// relative and missing paths change nothing; a hidden folder is reached through an
// added item; "foo" and "Foo" are told apart.
TEST_F(FolderChooserTest, TypedPathsAndOk)
{
    // The typed text and the working path afterwards.
    const std::pair<std::string, std::string> cases[] = {
        {root + "/a/", root + "/a"},          {root + "/file.txt", root + "/a"},
        {"a", root + "/a"},                   {root + "/missing", root + "/a"},
        {"\"" + root + "/Foo\" ", root + "/Foo"}, {root + "//foo", root + "/foo"},
        {root + "/.hid/inner", root + "/.hid/inner"},
    };
    std::u16string path = WideName(root + "/file.txt");
    const bool answer = Run(path, [&](cFolderChooseDialog& dialog) {
        EXPECT_EQ(NameBytes(dialog.GetPath()), root); // a file starts at its folder
        for (const auto& [typed, shown] : cases) {
            dialog.GetPathBox()->Activate(); // going to a folder focuses its row
            Type(WideName(typed));
            EXPECT_EQ(NameBytes(dialog.GetPath()), shown) << typed;
        }
        EXPECT_EQ(NameBytes(dialog.GetPathBox()->GetText()), root + "/.hid/inner");
        EXPECT_EQ(NameBytes(dialog.GetTree()->GetCurrentItem()->GetParentItem()->GetText()), root + "/.hid");
        dialog.GetPathBox()->Activate();
        host->KeyDown(kVkReturn);
    });
    EXPECT_TRUE(answer);
    EXPECT_EQ(NameBytes(path.c_str()), root + "/.hid/inner");
}

// Decided fixes: Cancel, Escape and an unshown run leave the caller's path as it was
// (a moved selection included) and answer false.
TEST_F(FolderChooserTest, CancelKeepsTheCallersPath)
{
    const std::u16string start = WideName(root + "/deep");
    for (i32 ending = 0; ending < 3; ++ending) {
        std::u16string path = start;
        const bool answer = Run(path, ending == 2 ? tDialogScript() : [&](cFolderChooseDialog& dialog) {
            dialog.GoToFolder(WideName(root + "/a").c_str());
            ending == 0 ? host->KeyDown(kVkEscape) : host->RequestClose();
        });
        EXPECT_FALSE(answer) << ending;
        EXPECT_EQ(path, start) << ending;
    }
}

// Every new-folder outcome with its message and box; the name is not checked.
TEST_F(FolderChooserTest, NewFolderOutcomes)
{
    struct sCase
    {
        std::string name;
        i32 text;           // -1: no message
        const char* title;  // the box's caption
        std::string path;   // the working path afterwards
    };
    const sCase cases[] = {
        {"new dir", -1, "", root + "/new dir"},
        {"file.txt", 1, "Error", root},
        {".hid", 2, "Warning", root},
        {"fifo", 4, "Error", root},
        {std::string(300, 'n'), 3, "Error", root},
        {"missing/x", 3, "Error", root},
    };
    for (const sCase& c : cases) {
        std::u16string path = WideName(root);
        std::u16string shown;
        std::string title;
        Run(path, [&](cFolderChooseDialog& dialog) {
            host->PushModalScript([&](cHeadlessHost& h, cWindowTranslator&) { Type(WideName(c.name)); });
            if (c.text >= 0) host->PushModalScript([&](cHeadlessHost& h, cWindowTranslator& box) {
                title = NameBytes(h.GetTitle(&box));
                for (cChildElement* child : dynamic_cast<cCustomForm*>(box.GetRoot())->GetClientPanel()->GetChildren()) {
                    const std::u16string line = child->GetText();
                    shown += shown.empty() || line.empty() ? line : u"\n" + line;
                }
                h.KeyDown(kVkReturn);
            });
            ClickBarButton(*host, *dialog.GetWindow(), 1);
            EXPECT_EQ(NameBytes(dialog.GetPath()), c.path) << c.name;
        });
        EXPECT_EQ(shown, c.text < 0 ? u"" : FindLangSection("ciom::folderchoose")->GetString(c.text)) << c.name;
        EXPECT_EQ(title, c.title) << c.name;
    }
    EXPECT_EQ(qeltest::RunCommand("stat -c %F " + qeltest::ShellQuote(root + "/new dir")), "directory\n");
}

// "Computer" lists home, "/" and a labelled disk in the order of the places, each with
// its picture and a full path the dialog reaches.
TEST_F(FolderChooserTest, PlacesUnderComputer)
{
    const std::string table = top.PathOf("mountinfo");
    qeltest::RunCommand("mkdir -p " + qeltest::ShellQuote(root + "/mnt point") + " " + qeltest::ShellQuote(root + "/labels") +
                        " && ln -s /dev/null " + qeltest::ShellQuote(root + "/labels/QEL\\x20Test") +
                        " && printf '36 25 7:7 / %s rw - ext4 /dev/null rw\\n' " +
                        qeltest::ShellQuote(root + "/mnt\\040point") + " > " + qeltest::ShellQuote(table));
    SetPlacesSources(table.c_str(), (root + "/labels").c_str());
    const std::string home = std::getenv("HOME") != nullptr ? std::getenv("HOME") : "/";
    setenv("HOME", (root + "/deep").c_str(), 1);
    std::u16string path;
    Run(path, [&](cFolderChooseDialog& dialog) {
        auto* computer = dialog.GetTree()->GetFirstItem();
        std::string shown;
        for (auto* place = computer->GetFirstChildItem(); place != nullptr; place = place->GetNextItem()) {
            shown += NameBytes(place->GetText()) + ":" + std::to_string(place->iconId) + " ";
        }
        EXPECT_EQ(shown, "deep:1 /:0 QEL Test:0 ");
        dialog.GoToFolder(WideName(root + "/mnt point").c_str());
        EXPECT_EQ(NameBytes(dialog.GetPath()), root + "/mnt point");
    });
    setenv("HOME", home.c_str(), 1);
    SetPlacesSources(nullptr, nullptr);
}

// Empty Accept keeps the form open with the focus in the box; the text comes back
// exactly as typed; Escape and Cancel end with 0 and leave the result. Decided fix: an
// unshown run is no name.
TEST_F(FolderChooserTest, NewFolderForm)
{
    // Buttons: 1 Accept, 2 Cancel, 0 Escape, -1 no script (an unshown run).
    struct sCase
    {
        const char16_t* typed;
        i32 button;
        bool answer;
        const char16_t* result;
    };
    const sCase cases[] = {
        {u" a b/\u00e9. ", 1, true, u" a b/\u00e9. "}, {u"", 1, true, u"x"}, {u"new", 0, false, u"keep"},
        {u"new", 2, false, u"keep"},                 {u"", -1, false, u"keep"},
    };
    for (const sCase& c : cases) {
        if (c.button >= 0) {
            host->PushModalScript([&](cHeadlessHost& h, cWindowTranslator& w) {
                Type(c.typed, false);
                c.button == 0 ? h.KeyDown(kVkEscape) : ClickBarButton(h, w, c.button);
                if (*c.typed == 0) { // still open, the focus in the box
                    EXPECT_NE(dynamic_cast<cEditChild*>(w.GetFocus()), nullptr);
                    Type(u"x");
                }
            });
        }
        _guardchar<char16_t> result;
        ASSERT_TRUE(result.Assign(u"keep"));
        EXPECT_EQ(RequestNewFolderName(&form, &result), c.answer) << c.button;
        EXPECT_EQ(std::u16string(result.Get()), c.result) << c.button;
    }
    _guardchar<char16_t> result;
    EXPECT_FALSE(RequestNewFolderName(nullptr, &result, new cNewFolderNameReqForm));
}

// The new-folder form, and the chooser at a deep path with the path box focused. The
// chooser's golden is its bottom strip: the tree above lists this machine's "/".
TEST_F(FolderChooserTest, Pictures)
{
    host->PushModalScript([&](cHeadlessHost& h, cWindowTranslator& w) {
        h.TypeText(u"Photos");
        h.Pump();
        qeltest::ExpectMatchesGolden(*h.GetCanvas(&w), "newfolderform.png");
        h.KeyDown(kVkEscape);
    });
    _guardchar<char16_t> result;
    EXPECT_FALSE(RequestNewFolderName(&form, &result));
    std::u16string path = WideName(root + "/deep/x/y/z");
    Run(path, [&](cFolderChooseDialog& dialog) {
        host->Pump();
        EXPECT_TRUE(dialog.GetPathBox()->HasFocus());
        qeltest::ExpectPartMatchesGolden(*host->GetCanvas(dialog.GetWindow()), 0, 540, 500, 60, "folderchooser_bottom.png");
    });
}

} // namespace
