// The file chooser on a real temporary tree, driven by modal scripts: rows against find
// and date in two zones, sorts, typed patterns against glibc fnmatch, the OK rules,
// menus, new folders and pictures.
#include "gui/dialogs/filechooser.h"
#include "gui/controlstest.h"
#include "support/filehelpers.h"
#include "support/shellcommand.h"

#include <algorithm>
#include <chrono>
#include <random>
#include <thread>
#include <fnmatch.h>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <unistd.h>

using namespace qeltest;

namespace {

using eMode = cFileChooseDialog::eMode;
constexpr eMode kOpen = cFileChooseDialog::kOpenMode;
constexpr eMode kSave = cFileChooseDialog::kSaveMode;

// Every non-empty text in a window's tree, in tree order.
void CollectTexts(cChildElement* element, std::vector<std::string>& texts)
{
    if (element->GetText()[0] != 0) {
        texts.push_back(NameBytes(element->GetText()));
    }
    for (cChildElement* child : element->GetChildren()) {
        CollectTexts(child, texts);
    }
}

// Refuses the first close check.
class cRefusingPanel : public cFileChooseExtraPanel
{
public:
    bool CanCloseDialog() override { return ++checks > 1; }
    i32 GetPanelWidth() override { return 600; }
    i32 GetPanelHeight() override { return 40; }
    i32 checks = 0;
};

class FileChooser : public cFormTest
{
protected:
    void SetUp() override
    {
        cFormTest::SetUp();
        dir = scratch.Path();
        int status = -1;
        RunCommand("cd " + ShellQuote(dir) + " && truncate -s 5G big5 && truncate -s 3G big3 && head -c 1023 /dev/zero > k1023"
                   " && touch -d '2023-12-31 23:59:59' old && touch -d '2024-01-01 00:00:00' new && mkfifo p && mkdir sub"
                   " && touch sub/inner.txt && ln -s sub linkdir && ln -s /nonexistent dead"
                   " && touch .hidden a.txt B.TXT c.log bfile \"$(printf 'caf\\351')\"",
                   &status);
        ASSERT_EQ(status, 0);
        ASSERT_TRUE(params.startFolder.Assign(WideName(dir).c_str()));
    }
    bool WaitIdle(cFileChooseDialog& dialog)
    {
        return host->PumpUntil([&] { return dialog.GetNavigationBar()->GetState() == cNavigationChild::kStateIdle; }, 5000);
    }
    // Runs a dialog over the form; `script` drives it once the first listing is in.
    i32 Run(eMode mode, const std::function<void(cFileChooseDialog&)>& script)
    {
        auto* dialog = new cFileChooseDialog(&params, mode);
        host->PushModalScript([this, dialog, script](cHeadlessHost& h, cWindowTranslator&) {
            ASSERT_TRUE(WaitIdle(*dialog));
            script(*dialog);
            h.Pump();
        });
        return form.RunModal(u"Files", 500, 350, dialog, true);
    }
    static std::vector<std::string> ShownNames(cFileChooseDialog& dialog)
    {
        std::vector<std::string> names;
        for (i32 id : dialog.GetList()->GetDisplayOrder()) {
            names.push_back(NameBytes(dialog.GetShownListing().GetEntry(id)->m_name.Get()));
        }
        return names;
    }
    void Type(cFileChooseDialog& dialog, const std::string& text)
    {
        ASSERT_TRUE(dialog.GetNameBox()->SetTextN(WideName(text).c_str(), -1));
        dialog.OnOK();
        ASSERT_TRUE(WaitIdle(dialog));
    }
    void Press(cToolBarChild* bar, i32 id)
    {
        (void)PostAction(bar, new cToolBarChild::cTbButtonAction(id));
        host->Pump();
    }

    cScratchFolder scratch;
    std::string dir;
    sFileChooseParams params;
};

} // namespace

// Rows against `find -L` and `date` (Kolkata is UTC+05:30); the order a stable sort by
// kind number of the byte-ordered names; 64-bit date and size keys (32-bit ones put
// 5 GiB before 3 GiB and 31 Dec after 1 Jan).
TEST_F(FileChooser, RowsAgreeWithFindAndDateInTwoZones)
{
    params.showHidden = 1;
    for (const char* zone : {"UTC", "Asia/Kolkata"}) {
        ASSERT_EQ(::setenv("TZ", zone, 1), 0);
        std::istringstream lines(RunCommand("cd " + ShellQuote(dir) + " && find -L . -mindepth 1 -maxdepth 1 -printf "
                                            "'%f\\t%Y\\t%s\\t%T@\\n' 2>/dev/null | while IFS=\"$(printf '\\t')\" read -r f y s t;"
                                            " do printf '%s\\t%s\\t%s\\t%s KB\\n' \"$f\" \"$y\" \"$(date -d @${t%.*} "
                                            "'+%d.%m.%Y %H:%M:%S')\" $((s / 1024)); done"));
        std::map<std::string, std::vector<std::string>> expected; // byte order of the names
        for (std::string line; std::getline(lines, line);) {
            std::vector<std::string> fields;
            std::istringstream split(line);
            for (std::string field; std::getline(split, field, '\t');) {
                fields.push_back(field);
            }
            expected[fields[0]] = fields;
        }
        ASSERT_EQ(expected.size(), 15u);
        auto kindNumber = [&](const std::string& name) {
            const std::string& type = expected[name][1];
            return type == "d" ? 1u : type == "f" ? 2u : 3u;
        };
        std::vector<std::string> order;
        for (const auto& line : expected) {
            order.push_back(line.first);
        }
        std::stable_sort(order.begin(), order.end(), [&](auto& a, auto& b) { return kindNumber(a) < kindNumber(b); });
        (void)Run(kOpen, [&](cFileChooseDialog& dialog) {
            EXPECT_EQ(ShownNames(dialog), order) << zone;
            for (i32 id : dialog.GetList()->GetDisplayOrder()) {
                const sFolderEntry& entry = *dialog.GetShownListing().GetEntry(id);
                const std::vector<std::string>& line = expected[NameBytes(entry.m_name.Get())];
                char16_t date[32];
                char16_t size[32];
                FormatFileChooseDate(entry, date);
                FormatFileChooseSize(entry, size);
                EXPECT_EQ(dialog.GetList()->GetCellData(id, 3), kindNumber(line[0])) << line[0];
                EXPECT_EQ(NameBytes(date), line[1] == "f" || line[1] == "d" ? line[2] : NameBytes(date)) << zone << line[0];
                EXPECT_EQ(NameBytes(size), line[1] == "f" ? line[3] : "") << line[0];
            }
            auto before = [&](const char* a, const char* b) {
                const std::vector<std::string> now = ShownNames(dialog);
                return std::find(now.begin(), now.end(), a) < std::find(now.begin(), now.end(), b);
            };
            ASSERT_TRUE(dialog.GetList()->SortByColumn(4));
            EXPECT_TRUE(before("big3", "big5"));
            ASSERT_TRUE(dialog.GetList()->SortByColumn(2));
            EXPECT_TRUE(before("old", "new"));
        });
    }
    ::unsetenv("TZ");
}

TEST_F(FileChooser, TypedPatternsAgreeWithFnmatch)
{
    const std::vector<std::string> files = {"B.TXT", "a.txt", "bfile", "big3", "big5", "c.log", "caf\351", "k1023", "new", "old"};
    (void)Run(kOpen, [&](cFileChooseDialog& dialog) {
        for (const std::string list : {"*.TXT;b*", "?.log", "*"}) {
            Type(dialog, list);
            std::vector<std::string> expected;
            std::istringstream patterns(list);
            for (std::string pattern; std::getline(patterns, pattern, ';');) {
                for (const std::string& name : files) {
                    if (::fnmatch(pattern.c_str(), name.c_str(), FNM_NOESCAPE | FNM_CASEFOLD) == 0) {
                        expected.push_back(name);
                    }
                }
            }
            std::vector<std::string> shown = ShownNames(dialog);
            shown.erase(std::remove_if(shown.begin(), shown.end(),
                                       [&](auto& name) { return std::find(files.begin(), files.end(), name) == files.end(); }),
                        shown.end());
            EXPECT_EQ(std::set<std::string>(shown.begin(), shown.end()), std::set<std::string>(expected.begin(), expected.end()));
            EXPECT_EQ(NameBytes(dialog.GetFilterBox()->GetText()), "Custom (" + list + ")");
        }
    });
}

// One row per OK branch (the process's current folder is sub/, which must not matter):
// what was typed after an optional step, the end code, the record path and, when the
// dialog stayed open, the listed folder and the box. Paths are relative to the tree
// unless they start with '/'; '@' stands for the tree.
TEST_F(FileChooser, OkRulesAndAccept)
{
    enum eStep { kNone, kPlaces, kSelectAll, kEnterKey, kRoot, kFilter };
    const struct { eMode mode; eStep step; std::string typed; i32 code; std::string path, listed, box; } rows[] = {
        {kSave, kEnterKey, "newname", 1, "newname", "", ""},
        {kSave, kNone, "sub", -1, "", "sub", ""},
        {kOpen, kNone, "@/sub/inner.txt", 1, "sub/inner.txt", "", ""},
        {kSave, kNone, "sub/x", 1, "sub/x", "", ""},
        {kSave, kNone, "missing/x", -1, "", ".", "missing/x"},
        {kOpen, kNone, "inner.txt", -1, "", ".", "inner.txt"},
        {kOpen, kNone, "p", -1, "", ".", "p"},
        {kOpen, kPlaces, "@/a.txt", 1, "a.txt", "", ""},
        {kOpen, kPlaces, "a.txt", -1, "", "/", "a.txt"},
        {kOpen, kSelectAll, "x", 1, "B.TXT", "", ""},
        {kOpen, kRoot, "tmp", -1, "", "/tmp", ""},
        {kSave, kFilter, "a", 1, "a.txt", "", ""},
        {kSave, kFilter, "a.TXT", 1, "a.TXT", "", ""},
        {kSave, kFilter, "a.log", 1, "a.log.txt", "", ""},
    };
    char* previous = ::getcwd(nullptr, 0);
    ASSERT_EQ(::chdir((dir + "/sub").c_str()), 0);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.typed);
        params.path.Clear();
        params.multipleSelection = row.step == kSelectAll;
        params.extraPanel = nullptr;
        cRefusingPanel panel;
        if (row.step == kSelectAll) {
            params.extraPanel = &panel; // a refused close and a second OK list each file once
        }
        ASSERT_TRUE(params.startFolder.Assign(row.step == kRoot ? u"/" : WideName(dir).c_str()));
        if (row.step == kFilter) { // filter 0 has no name: not usable, so filter 1 is chosen
            ASSERT_TRUE(params.filters.Alloc(2) && params.filters[0].patterns.Assign(u"*") &&
                        params.filters[1].name.Assign(u"Text") && params.filters[1].patterns.Assign(u"*") &&
                        params.filters[1].extension.Assign(u"txt"));
            params.selectedFilter = 0;
        }
        std::string listed;
        std::string box;
        const std::string typed = row.typed[0] == '@' ? dir + row.typed.substr(1) : row.typed;
        const i32 code = Run(row.mode, [&](cFileChooseDialog& dialog) {
            if (row.step == kPlaces) {
                Press(dialog.GetPlaceBar(), 2);
            } else if (row.step == kSelectAll) {
                host->KeyDown('A', false, true);
                Type(dialog, typed);
            }
            if (row.step == kEnterKey) { // the box's own Enter code must not count twice
                ASSERT_TRUE(dialog.GetNameBox()->SetTextN(WideName(typed).c_str(), -1));
                dialog.GetNameBox()->Activate();
                host->KeyDown(0x0D);
            } else {
                Type(dialog, typed);
            }
            ASSERT_TRUE(WaitIdle(dialog));
            listed = NameBytes(dialog.GetListedFolder().c_str());
            box = NameBytes(dialog.GetNameBox()->GetText());
        });
        EXPECT_EQ(code, row.code);
        EXPECT_EQ(NameBytes(params.path.Get()), row.path.empty() ? "" : dir + "/" + row.path);
        if (code != 1) {
            EXPECT_EQ(listed, row.listed[0] == '/' ? row.listed.substr(row.listed == "/" ? 1 : 0)
                                                   : dir + (row.listed == "." ? "" : "/" + row.listed));
            EXPECT_EQ(box, row.box);
        }
        if (row.step == kSelectAll) {
            EXPECT_EQ(panel.checks, 2);
            EXPECT_EQ(std::distance(params.furtherPaths.begin(), params.furtherPaths.end()), 9);
            EXPECT_EQ(NameBytes(params.furtherPaths.begin()->Get()), dir + "/a.txt");
            EXPECT_EQ(panel.GetParent(), nullptr); // borrowed: detached, not deleted
        }
        EXPECT_EQ(params.selectedFilter, row.step == kFilter ? 1 : -1);
    }
    ASSERT_EQ(::chdir(previous), 0);
    std::free(previous);
    // Only a real acceptance counts: a run that could not be shown is -1.
    EXPECT_FALSE(RunFileSaveDialog(&form, u"Save", &params));
    EXPECT_FALSE(RunFileSaveDialog(nullptr, u"Save", &params));
}

// The menu offered on each kind of row.
TEST_F(FileChooser, ContextMenus)
{
    const struct { eMode mode; const char* row; std::vector<std::string> offered; } cases[] = { // row null: none current
        {kOpen, "a.txt", {"Open"}}, {kSave, nullptr, {"New folder"}}, {kSave, "a.txt", {"Save here"}},
        {kSave, "sub", {"Open"}},   {kSave, "p", {}},
    };
    for (const auto& test : cases) {
        std::vector<std::string> offered;
        (void)Run(test.mode, [&](cFileChooseDialog& dialog) {
            for (i32 id : dialog.GetList()->GetDisplayOrder()) {
                if (test.row != nullptr && NameBytes(dialog.GetShownListing().GetEntry(id)->m_name.Get()) == test.row) {
                    ASSERT_TRUE(dialog.GetList()->SelectItemById(id));
                }
            }
            if (!test.offered.empty()) {
                host->PushModalScript([&](cHeadlessHost&, cWindowTranslator& window) { CollectTexts(window.GetRoot(), offered); });
            }
            (void)PostAction(dialog.GetList(), new cChildElement::cContextAction(10, 10));
            host->Pump();
        });
        EXPECT_EQ(offered, test.offered) << (test.row != nullptr ? test.row : "none");
        EXPECT_EQ(host->GetPendingScriptCount(), 0u);
    }
}

// A new name is created and listed, an existing folder listed without a message; a
// file, a FIFO and a name too long for the system each give their message.
TEST_F(FileChooser, NewFolderOutcomes)
{
    const struct { std::string name, message, listed; } cases[] = { // message: first line, empty for none
        {"fresh", "", "/fresh"},
        {"sub", "", "/sub"},
        {"a.txt", "File already exists.", ""},
        {"p", "Special object already exists.", ""},
        {std::string(300, 'n'), "Unable to create directory.", ""},
    };
    for (const auto& test : cases) {
        std::vector<std::string> message;
        std::string listed;
        (void)Run(kSave, [&](cFileChooseDialog& dialog) {
            host->PushModalScript([&](cHeadlessHost& h, cWindowTranslator&) {
                h.TypeText(WideName(test.name).c_str());
                h.KeyDown(0x0D);
            });
            if (!test.message.empty()) {
                host->PushModalScript([&](cHeadlessHost&, cWindowTranslator& window) { CollectTexts(window.GetRoot(), message); });
            }
            Press(dialog.GetPlaceBar(), 3);
            ASSERT_TRUE(WaitIdle(dialog));
            listed = NameBytes(dialog.GetListedFolder().c_str());
        });
        EXPECT_EQ(listed, dir + test.listed) << test.name.size();
        EXPECT_EQ(message.empty() ? "" : message.front(), test.message) << test.name.size();
        EXPECT_EQ(host->GetPendingScriptCount(), 0u);
    }
}

// Both modes over a fixed tree with fixed dates (UTC): save mode, and open mode with
// hidden entries in grey and every row selected.
TEST_F(FileChooser, Snapshots)
{
    const std::string fixed = "/tmp/qel-filechooser-picture";
    RunCommand("rm -rf " + fixed + " && mkdir -p " + fixed + "/docs && cd " + fixed +
               " && head -c 5000 /dev/zero > report.txt && head -c 70000 /dev/zero > photo.png && touch .profile notes.txt"
               " && touch -d '2024-02-29 13:45:10' * .profile docs");
    ::setenv("TZ", "UTC", 1);
    params.multipleSelection = 1;
    ASSERT_TRUE(params.path.Assign(u"report.txt") && params.startFolder.Assign(WideName(fixed).c_str()));
    for (const eMode mode : {kSave, kOpen}) {
        params.showHidden = mode == kOpen;
        (void)Run(mode, [&](cFileChooseDialog&) {
            if (mode == kOpen) {
                host->KeyDown('A', false, true);
            }
            host->Pump();
            ExpectMatchesGolden(*host->GetCanvas(host->GetTopWindow()),
                                mode == kSave ? "filechooser_save.png" : "filechooser_open.png");
        });
    }
    ::unsetenv("TZ");
    RunCommand("rm -rf " + fixed);
}

// Listing threads (also run under TSan): rapid navigations with random Stop presses,
// dialogs closed mid-listing.
TEST_F(FileChooser, ThreadsRapidNavigationsAndStops)
{
    RunCommand("cd " + ShellQuote(dir) + " && mkdir many && touch $(seq -f many/%g 300)");
    std::mt19937 random(7);
    (void)Run(kOpen, [&](cFileChooseDialog& dialog) {
        for (i32 round = 0; round < 500; ++round) {
            ASSERT_TRUE(dialog.GetNavigationBar()->NavigateTo(WideName(round % 2 != 0 ? dir : dir + "/many").c_str()));
            if (random() % 2 == 0) {
                Press(dialog.GetNavigationBar()->GetStopBar(), 1);
            }
            ASSERT_TRUE(WaitIdle(dialog)) << round;
        }
    });
    for (i32 round = 0; round < 50; ++round) {
        EXPECT_EQ(Run(kOpen, [&](cFileChooseDialog& dialog) {
                      (void)dialog.GetNavigationBar()->NavigateTo(WideName(dir + "/many").c_str());
                      dialog.EndModal(0);
                  }), 0);
    }
}

// A folder that never answers readdir (a FUSE server standing in for a dead network
// mount): after Stop the bar is idle within 100 ms, and the dialog closes within 100 ms
// while the folder still blocks. ThreadSanitizer slows every lock and thread hand-over
// (closing took 167 ms there), so its builds get 4 x the bound; release and ASan builds
// keep 100 ms.
#if defined(__SANITIZE_THREAD__)
constexpr std::chrono::milliseconds kAtOnce{400};
#else
constexpr std::chrono::milliseconds kAtOnce{100};
#endif
TEST_F(FileChooser, ThreadsStalledMountStopsAndClosesAtOnce)
{
    QEL_REQUIRE(::geteuid() == 0 && PathExists("/dev/fuse") && PathExists("/usr/lib/python3/dist-packages/fusepy.py"),
                "root, /dev/fuse and python3-fusepy");
    using tClock = std::chrono::steady_clock;
    const std::string mount = dir + "/mount";
    const std::string tool = std::string(QEL_SOURCE_DIR) + "/tests/support/stallfs.py";
    const std::string pid = RunCommand("mkdir " + mount + " && cd / && { setsid /usr/bin/python3 " + ShellQuote(tool) + " " +
                                       ShellQuote(mount) + " " + ShellQuote(dir + "/release") + " >/dev/null 2>&1 & echo $!; }");
    const bool mounted = RunCommand("for i in $(seq 200); do mountpoint -q " + ShellQuote(mount) +
                                    " && echo yes && break; sleep 0.01; done") == "yes\n";
    tClock::time_point closing;
    if (mounted) {
        (void)Run(kOpen, [&](cFileChooseDialog& dialog) {
            cNavigationChild* bar = dialog.GetNavigationBar();
            ASSERT_TRUE(bar->NavigateTo(WideName(mount).c_str()));
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            host->Pump();
            EXPECT_EQ(bar->GetState(), cNavigationChild::kStateBusy); // blocked in readdir
            EXPECT_FALSE(bar->NavigateTo(WideName(dir).c_str()));          // one listing at a time
            Press(bar->GetStopBar(), 1);
            const tClock::time_point start = tClock::now();
            EXPECT_TRUE(WaitIdle(dialog));
            EXPECT_LT(tClock::now() - start, kAtOnce);
            EXPECT_EQ(dialog.GetShownListing().GetCount(), 0);
            ASSERT_TRUE(bar->NavigateTo(WideName(mount).c_str()));
            dialog.EndModal(0);
            closing = tClock::now();
        });
        EXPECT_LT(tClock::now() - closing, kAtOnce);
    }
    // Killing the server aborts the connection: no reader stays blocked after the test.
    RunCommand("touch " + ShellQuote(dir + "/release") + "; umount -l " + ShellQuote(mount) + "; kill -KILL " + pid);
    EXPECT_TRUE(mounted);
}
