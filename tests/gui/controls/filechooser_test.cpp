// The file chooser on real temporary trees, driven by modal scripts: rows against find
// and date in two zones, sorts, typed patterns against glibc fnmatch, the OK rules, the
// decided fixes, and the listing job's threads.
#include "base/utf.h"
#include "gui/controls/filechooser.h"
#include "controlstest.h"
#include "support/scratchfolder.h"
#include "support/shellcommand.h"

#include <algorithm>
#include <chrono>
#include <fnmatch.h>
#include <functional>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <unistd.h>

using namespace qeltest;

namespace {

std::u16string Wide(const std::string& bytes)
{
    std::u16string wide;
    for (unsigned char c : bytes) {
        wide += c < 0x80 ? char16_t(c) : char16_t(0xDC00 | c); // the lossless mapping of bytes >= 0x80
    }
    return wide;
}

std::string Bytes(const char16_t* wide)
{
    _guardchar<char> bytes;
    return wide == nullptr || WideToFileName(wide, -1, bytes) ? bytes.GetOrEmpty() : "?";
}

std::string ToString(const std::u16string& wide)
{
    return Bytes(wide.c_str());
}

std::string ToString(const char16_t* wide)
{
    return Bytes(wide);
}

// Every static text and button caption in a window's tree.
void CollectTexts(cChildElement* element, std::vector<std::string>& texts)
{
    if (element->GetText()[0] != 0) {
        texts.push_back(Bytes(element->GetText()));
    }
    for (cChildElement* child : element->GetChildren()) {
        CollectTexts(child, texts);
    }
}

class FileChooser : public cFormTest
{
protected:
    void SetUp() override
    {
        cFormTest::SetUp();
        dir = scratch.Path();
        int status = -1;
        RunCommand("cd " + ShellQuote(dir) +
                       " && truncate -s 5G big5 && truncate -s 3G big3 && head -c 1023 /dev/zero > k1023"
                       " && touch -d '2023-12-31 23:59:59' old && touch -d '2024-01-01 00:00:00' new"
                       " && mkfifo p && mkdir sub && touch sub/inner.txt && ln -s sub linkdir"
                       " && ln -s /nonexistent dead && touch .hidden a.txt B.TXT c.log bfile \"$(printf 'caf\\351')\"",
                   &status);
        ASSERT_EQ(status, 0);
    }
    bool WaitIdle(cFileChooseDialog& dialog)
    {
        return host->PumpUntil(
            [&] { return dialog.GetNavigationBar()->GetState() == cNavigationChild::kStateIdle; }, 5000);
    }
    // Runs a dialog modally over the form; `script` drives it once the first listing is in.
    i32 Run(sFileChooseParams& params, cFileChooseDialog::eMode mode, const std::function<void(cFileChooseDialog&)>& script)
    {
        auto* dialog = new cFileChooseDialog(&params, mode);
        host->PushModalScript([this, dialog, script](cHeadlessHost& h, cWindowTranslator&) {
            ASSERT_TRUE(WaitIdle(*dialog));
            script(*dialog);
            h.Pump();
        });
        return form.RunModal(u"Files", 500, 350, dialog, true);
    }
    // The shown names in display order.
    static std::vector<std::string> ShownNames(cFileChooseDialog& dialog)
    {
        std::vector<std::string> names;
        for (i32 id : dialog.GetList()->GetDisplayOrder()) {
            names.push_back(Bytes(dialog.GetShownListing().GetEntry(id)->m_name.Get()));
        }
        return names;
    }
    void Type(cFileChooseDialog& dialog, const std::string& text)
    {
        ASSERT_TRUE(dialog.GetNameBox()->SetTextN(Wide(text).c_str(), -1));
        dialog.OnOK();
        ASSERT_TRUE(WaitIdle(dialog));
    }

    cScratchFolder scratch;
    std::string dir;
};

} // namespace

TEST_F(FileChooser, RowsAgreeWithFindAndDateInTwoZones)
{
    for (const char* zone : {"UTC", "Asia/Kolkata"}) {
        ASSERT_EQ(::setenv("TZ", zone, 1), 0);
        const std::string oracle = RunCommand(
            "cd " + ShellQuote(dir) + " && find -L . -mindepth 1 -maxdepth 1 -printf '%f\\t%Y\\t%s\\t%T@\\n' 2>/dev/null |"
            " while IFS=\"$(printf '\\t')\" read -r f y s t; do printf '%s\\t%s\\t%s\\t%s\\n' \"$f\" \"$y\""
            " \"$(date -d @${t%.*} '+%d.%m.%Y %H:%M:%S')\" \"$((s / 1024)) KB\"; done");
        std::map<std::string, std::vector<std::string>> expected;
        std::istringstream lines(oracle);
        for (std::string line; std::getline(lines, line);) {
            std::vector<std::string> fields;
            std::istringstream split(line);
            for (std::string field; std::getline(split, field, '\t');) {
                fields.push_back(field);
            }
            ASSERT_EQ(fields.size(), 4u) << line;
            expected[fields[0]] = fields;
        }
        ASSERT_EQ(expected.size(), 15u);
        sFileChooseParams params;
        params.showHidden = 1;
        ASSERT_TRUE(params.startFolder.Assign(Wide(dir).c_str()));
        i32 code = Run(params, cFileChooseDialog::kOpenMode, [&](cFileChooseDialog& dialog) {
            std::vector<std::string> names = ShownNames(dialog);
            ASSERT_EQ(names.size(), expected.size());
            std::vector<std::string> order;
            for (const auto& [name, fields] : expected) {
                order.push_back(name); // the map keeps byte order
            }
            auto kindNumber = [&](const std::string& name) {
                const char type = expected[name][1][0];
                return type == 'f' ? 2 : type == 'd' ? 1 : 3;
            };
            std::stable_sort(order.begin(), order.end(),
                             [&](const std::string& a, const std::string& b) { return kindNumber(a) < kindNumber(b); });
            EXPECT_EQ(names, order) << zone;
            for (i32 id : dialog.GetList()->GetDisplayOrder()) {
                const sFolderEntry& entry = *dialog.GetShownListing().GetEntry(id);
                const std::vector<std::string>& line = expected[Bytes(entry.m_name.Get())];
                char16_t date[32];
                char16_t size[32];
                FormatFileChooseDate(entry, date);
                FormatFileChooseSize(entry, size);
                EXPECT_EQ(dialog.GetList()->GetCellData(id, 3), u32(kindNumber(line[0]))) << line[0];
                if (line[1] == "f" || line[1] == "d") {
                    EXPECT_EQ(Bytes(date), line[2]) << zone << " " << line[0];
                }
                EXPECT_EQ(Bytes(size), line[1] == "f" ? line[3] : "") << line[0];
            }
            // 64-bit keys: 32-bit ones put 5 GiB before 3 GiB and 31 Dec after 1 Jan.
            auto before = [&](const char* a, const char* b) {
                const std::vector<std::string> now = ShownNames(dialog);
                return std::find(now.begin(), now.end(), a) < std::find(now.begin(), now.end(), b);
            };
            ASSERT_TRUE(dialog.GetList()->SortByColumn(4));
            EXPECT_TRUE(before("big3", "big5"));
            ASSERT_TRUE(dialog.GetList()->SortByColumn(2));
            EXPECT_TRUE(before("old", "new"));
        });
        EXPECT_EQ(code, -1);
    }
    ::unsetenv("TZ");
}

TEST_F(FileChooser, TypedPatternsAgreeWithFnmatch)
{
    sFileChooseParams params;
    ASSERT_TRUE(params.startFolder.Assign(Wide(dir).c_str()));
    const std::vector<std::string> files = {"B.TXT", "a.txt", "bfile", "big3", "big5", "c.log", "caf\351", "k1023", "new", "old"};
    (void)Run(params, cFileChooseDialog::kOpenMode, [&](cFileChooseDialog& dialog) {
        for (const std::string list : {"*.TXT;b*", "?.log", "*"}) {
            Type(dialog, list);
            std::set<std::string> expected;
            std::istringstream patterns(list);
            for (std::string pattern; std::getline(patterns, pattern, ';');) {
                for (const std::string& name : files) {
                    if (::fnmatch(pattern.c_str(), name.c_str(), FNM_NOESCAPE | FNM_CASEFOLD) == 0) {
                        expected.insert(name);
                    }
                }
            }
            std::set<std::string> shown;
            for (const std::string& name : ShownNames(dialog)) {
                if (std::find(files.begin(), files.end(), name) != files.end()) {
                    shown.insert(name);
                }
            }
            EXPECT_EQ(shown, expected) << list;
            EXPECT_EQ(ToString(dialog.GetFilterBox()->GetText()), "Custom (" + list + ")");
            EXPECT_EQ(dialog.GetListedFolder(), Wide(dir));
        }
        const std::string found = RunCommand("cd " + ShellQuote(dir) +
                                             " && find . -maxdepth 1 -type f \\( -iname '*.txt' -o -iname 'b*' \\) -printf '%f\\n' | LC_ALL=C sort");
        EXPECT_EQ(found, "B.TXT\na.txt\nbfile\nbig3\nbig5\n");
    });
}

// One row per OK branch: what was typed (after an optional step) and where the dialog
// ended: its end code, the record path and, when it stayed open, the listed folder and
// the box. Paths are relative to the tree unless they start with '/'.
TEST_F(FileChooser, OkRules)
{
    enum eStep { kNone, kPlaces, kSelectAll, kEnterKey, kRoot };
    const struct
    {
        cFileChooseDialog::eMode mode;
        eStep step;
        std::string typed;
        i32 code;
        std::string path;
        std::string listed;
        std::string box;
        const char16_t* extension;
    } rows[] = {
        {cFileChooseDialog::kSaveMode, kEnterKey, "newname", 1, "newname", "", "", nullptr},
        {cFileChooseDialog::kSaveMode, kNone, "sub", -1, "", "sub", "", nullptr},
        {cFileChooseDialog::kOpenMode, kNone, "@/sub/inner.txt", 1, "sub/inner.txt", "", "", nullptr},
        {cFileChooseDialog::kSaveMode, kNone, "sub/x", 1, "sub/x", "", "", nullptr},
        {cFileChooseDialog::kSaveMode, kNone, "missing/x", -1, "", ".", "missing/x", nullptr},
        {cFileChooseDialog::kOpenMode, kNone, "newname", -1, "", ".", "newname", nullptr},
        {cFileChooseDialog::kOpenMode, kNone, "p", -1, "", ".", "p", nullptr},
        {cFileChooseDialog::kOpenMode, kPlaces, "@/a.txt", 1, "a.txt", "", "", nullptr},
        {cFileChooseDialog::kOpenMode, kPlaces, "a.txt", -1, "", "/", "a.txt", nullptr},
        {cFileChooseDialog::kOpenMode, kSelectAll, "x", 1, "B.TXT", "", "", nullptr},
        {cFileChooseDialog::kOpenMode, kRoot, "tmp", -1, "", "/tmp", "", nullptr},
        {cFileChooseDialog::kSaveMode, kNone, "a", 1, "a.txt", "", "", u"txt"},
        {cFileChooseDialog::kSaveMode, kNone, "a.TXT", 1, "a.TXT", "", "", u"txt"},
        {cFileChooseDialog::kSaveMode, kNone, "a.log", 1, "a.log.txt", "", "", u"txt"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.typed);
        sFileChooseParams params;
        params.multipleSelection = row.step == kSelectAll;
        ASSERT_TRUE(params.startFolder.Assign(row.step == kRoot ? u"/" : Wide(dir).c_str()));
        if (row.extension != nullptr) {
            ASSERT_TRUE(params.filters.Alloc(2));
            ASSERT_TRUE(params.filters[0].patterns.Assign(u"*")); // no name: not usable
            ASSERT_TRUE(params.filters[1].name.Assign(u"Text"));
            ASSERT_TRUE(params.filters[1].patterns.Assign(u"*"));
            ASSERT_TRUE(params.filters[1].extension.Assign(row.extension));
            params.selectedFilter = 0;
        }
        std::string listed;
        std::string box;
        const std::string typed = row.typed[0] == '@' ? dir + row.typed.substr(1) : row.typed;
        const i32 code = Run(params, row.mode, [&](cFileChooseDialog& dialog) {
            if (row.step == kPlaces) {
                (void)PostAction(dialog.GetPlaceBar(), new cToolBarChild::cTbButtonAction(2));
                host->Pump();
            } else if (row.step == kSelectAll) {
                host->KeyDown('A', false, true);
            }
            if (row.step == kEnterKey) {
                ASSERT_TRUE(dialog.GetNameBox()->SetTextN(Wide(typed).c_str(), -1));
                dialog.GetNameBox()->Activate();
                host->KeyDown(0x0D);
            } else {
                Type(dialog, typed);
            }
            ASSERT_TRUE(WaitIdle(dialog));
            listed = ToString(dialog.GetListedFolder());
            box = ToString(dialog.GetNameBox()->GetText());
        });
        EXPECT_EQ(code, row.code);
        EXPECT_EQ(ToString(params.path.GetOrEmpty()), row.path.empty() ? "" : dir + "/" + row.path);
        if (code != 1) {
            const std::string expectedListed = row.listed[0] == '/' ? row.listed : dir + (row.listed == "." ? "" : "/" + row.listed);
            EXPECT_EQ(listed, row.listed == "/" ? "" : expectedListed);
            EXPECT_EQ(box, row.box);
        }
        if (row.step == kSelectAll) {
            std::vector<std::string> further;
            for (const _guardchar<char16_t>& path : params.furtherPaths) {
                further.push_back(Bytes(path.Get()));
            }
            EXPECT_EQ(further.size(), 9u);
            EXPECT_EQ(further.front(), dir + "/a.txt");
        }
        if (row.extension != nullptr) {
            EXPECT_EQ(params.selectedFilter, 1);
        }
    }
}

namespace {

// Refuses the first close check.
class cRefusingPanel : public cFileChooseExtraPanel
{
public:
    bool CanCloseDialog() override { return ++checks > 1; }
    i32 GetPanelWidth() override { return 600; }
    i32 GetPanelHeight() override { return 40; }
    i32 checks = 0;
};

} // namespace

// Further paths are emptied before they are filled: a refused close and a second OK list
// each file once. The borrowed panel outlives the dialog, detached.
TEST_F(FileChooser, RefusedCloseDoesNotListFilesTwice)
{
    cRefusingPanel panel;
    sFileChooseParams params;
    params.multipleSelection = 1;
    params.extraPanel = &panel;
    ASSERT_TRUE(params.startFolder.Assign(Wide(dir).c_str()));
    const i32 code = Run(params, cFileChooseDialog::kOpenMode, [&](cFileChooseDialog& dialog) {
        host->KeyDown('A', false, true);
        EXPECT_EQ(panel.GetRect().y, 350 - 34 - 32 - 18 - 40 + 1);
        ASSERT_TRUE(dialog.GetNameBox()->SetTextN(u"x", -1));
        dialog.OnOK();
        host->Pump();
        dialog.OnOK();
    });
    EXPECT_EQ(code, 1);
    EXPECT_EQ(panel.checks, 2);
    EXPECT_EQ(std::distance(params.furtherPaths.begin(), params.furtherPaths.end()), 9);
    EXPECT_EQ(panel.GetParent(), nullptr);
}

// A relative text is taken inside the listed folder only, never against the process's
// current folder; the runner succeeds only for a real acceptance.
TEST_F(FileChooser, RelativeTextsIgnoreTheCurrentFolderAndUnshownRunsFail)
{
    char* previous = ::getcwd(nullptr, 0);
    ASSERT_EQ(::chdir((dir + "/sub").c_str()), 0);
    sFileChooseParams params;
    ASSERT_TRUE(params.startFolder.Assign(Wide(dir).c_str()));
    EXPECT_EQ(Run(params, cFileChooseDialog::kOpenMode, [&](cFileChooseDialog& dialog) { Type(dialog, "inner.txt"); }), -1);
    cFileChooseListFolder job;
    EXPECT_FALSE(job.CanNavigate(u"sub"));
    EXPECT_TRUE(job.CanNavigate(u"C:"));
    EXPECT_TRUE(job.CanNavigate(u""));
    ASSERT_EQ(::chdir(previous), 0);
    std::free(previous);

    ASSERT_TRUE(params.path.Assign(u"keep"));
    EXPECT_FALSE(RunFileSaveDialog(&form, u"Save", &params)); // no script: the run ends with -1
    EXPECT_FALSE(RunFileSaveDialog(nullptr, u"Save", &params));
    EXPECT_EQ(ToString(params.path.Get()), "keep");
}

// The menu offered for each kind of row, and what its entry does.
TEST_F(FileChooser, ContextMenus)
{
    const struct
    {
        cFileChooseDialog::eMode mode;
        const char* row; // null: no current row
        const char* entry;
    } cases[] = {
        {cFileChooseDialog::kOpenMode, "a.txt", "Open"},
        {cFileChooseDialog::kSaveMode, nullptr, "New folder"},
        {cFileChooseDialog::kSaveMode, "a.txt", "Save here"},
        {cFileChooseDialog::kSaveMode, "sub", "Open"},
        {cFileChooseDialog::kSaveMode, "p", nullptr},
    };
    for (const auto& test : cases) {
        sFileChooseParams params;
        ASSERT_TRUE(params.startFolder.Assign(Wide(dir).c_str()));
        std::vector<std::string> offered;
        (void)Run(params, test.mode, [&](cFileChooseDialog& dialog) {
            host->PushModalScript([&](cHeadlessHost&, cWindowTranslator& window) {
                CollectTexts(window.GetRoot(), offered);
            });
            cListViewChild* list = dialog.GetList();
            for (i32 id : list->GetDisplayOrder()) {
                if (test.row != nullptr && Bytes(dialog.GetShownListing().GetEntry(id)->m_name.Get()) == test.row) {
                    ASSERT_TRUE(list->SelectItemById(id));
                }
            }
            (void)PostAction(list, new cChildElement::cContextAction(10, 10));
            host->Pump();
        });
        EXPECT_EQ(offered, test.entry != nullptr ? std::vector<std::string>{test.entry} : std::vector<std::string>{})
            << (test.row != nullptr ? test.row : "none");
        EXPECT_EQ(host->GetPendingScriptCount(), test.entry == nullptr ? 1u : 0u);
        if (test.entry == nullptr) {
            break; // the unused menu script would drive the next dialog: the last case
        }
    }
}

// Going up by a crumb selects the folder that was left; hidden entries only on request.
TEST_F(FileChooser, CrumbUpSelectsTheFolderLeft)
{
    sFileChooseParams params;
    ASSERT_TRUE(params.startFolder.Assign(Wide(dir + "/sub").c_str()));
    (void)Run(params, cFileChooseDialog::kOpenMode, [&](cFileChooseDialog& dialog) {
        cNavigationChild* bar = dialog.GetNavigationBar();
        for (i32 id = 1; id < 64; ++id) {
            const char16_t* text = nullptr;
            const char16_t* path = nullptr;
            if (bar->GetCrumb(id, text, path) && ToString(path) == dir) {
                (void)PostAction(bar->GetCrumbBar(), new cToolBarChild::cTbButtonAction(id));
            }
        }
        host->Pump();
        ASSERT_TRUE(WaitIdle(dialog));
        EXPECT_EQ(ToString(dialog.GetListedFolder()), dir);
        const i32 current = dialog.GetList()->GetCurrentItemId();
        ASSERT_GE(current, 0);
        EXPECT_EQ(Bytes(dialog.GetShownListing().GetEntry(current)->m_name.Get()), "sub");
        const std::vector<std::string> names = ShownNames(dialog);
        EXPECT_EQ(std::count(names.begin(), names.end(), ".hidden"), 0);
    });
}

// New folder: a new name is created and listed, an existing folder listed without a
// message; a file, a FIFO and a name too long for the system each give their message.
TEST_F(FileChooser, NewFolderOutcomes)
{
    const struct
    {
        std::string name;
        std::string message; // first line; empty = none
        std::string listed;
    } cases[] = {
        {"fresh", "", "fresh"},
        {"sub", "", "sub"},
        {"a.txt", "File already exists.", ""},
        {"p", "Special object already exists.", ""},
        {std::string(300, 'n'), "Unable to create directory.", ""},
    };
    for (const auto& test : cases) {
        sFileChooseParams params;
        ASSERT_TRUE(params.startFolder.Assign(Wide(dir).c_str()));
        std::vector<std::string> message;
        std::string listed;
        (void)Run(params, cFileChooseDialog::kSaveMode, [&](cFileChooseDialog& dialog) {
            host->PushModalScript([&](cHeadlessHost& h, cWindowTranslator&) {
                h.TypeText(Wide(test.name).c_str());
                h.KeyDown(0x0D);
            });
            if (!test.message.empty()) {
                host->PushModalScript([&](cHeadlessHost&, cWindowTranslator& window) { CollectTexts(window.GetRoot(), message); });
            }
            (void)PostAction(dialog.GetPlaceBar(), new cToolBarChild::cTbButtonAction(3));
            host->Pump();
            ASSERT_TRUE(WaitIdle(dialog));
            listed = ToString(dialog.GetListedFolder());
        });
        EXPECT_EQ(listed, dir + (test.listed.empty() ? "" : "/" + test.listed)) << test.name.size();
        EXPECT_EQ(message.empty() ? "" : message.front(), test.message) << test.name.size();
        EXPECT_EQ(host->GetPendingScriptCount(), 0u);
    }
}

// Pictures of both modes over a fixed tree with fixed dates (UTC): save mode, and open
// mode with hidden entries in grey and a multiple selection.
TEST_F(FileChooser, Snapshots)
{
    const std::string fixed = "/tmp/qel-filechooser-picture";
    RunCommand("rm -rf " + fixed + " && mkdir -p " + fixed + "/docs && cd " + fixed +
               " && head -c 5000 /dev/zero > report.txt && head -c 70000 /dev/zero > photo.png && touch .profile notes.txt"
               " && touch -d '2024-02-29 13:45:10' * .profile docs");
    ::setenv("TZ", "UTC", 1);
    for (const auto mode : {cFileChooseDialog::kSaveMode, cFileChooseDialog::kOpenMode}) {
        sFileChooseParams params;
        params.showHidden = mode == cFileChooseDialog::kOpenMode;
        params.multipleSelection = 1;
        ASSERT_TRUE(params.path.Assign(u"report.txt"));
        ASSERT_TRUE(params.startFolder.Assign(Wide(fixed).c_str()));
        (void)Run(params, mode, [&](cFileChooseDialog& dialog) {
            if (mode == cFileChooseDialog::kOpenMode) {
                host->KeyDown('A', false, true);
            }
            host->Pump();
            ExpectMatchesGolden(*host->GetCanvas(host->GetTopWindow()),
                                mode == cFileChooseDialog::kSaveMode ? "filechooser_save.png" : "filechooser_open.png");
        });
    }
    ::unsetenv("TZ");
    RunCommand("rm -rf " + fixed);
}
