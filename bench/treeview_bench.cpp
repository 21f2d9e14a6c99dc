// Links: qel_gui_dialogs qel_gui_controls qel_gui_core qel_platform qel_base
// The tree view and the folder chooser with DejaVu Sans on the headless host:
// - TreeInsert/10000 (suspended, target < 100 ms) and TreeInsertUnsuspended/2000 (every
//   insert lays out every row, for the record): children inserted under one item, laid
//   out once at the resume; "bytes_per_item" is the heap growth per item (item, row and
//   expander, maps) measured with mallinfo2.
// - ChooserList/10000: the chooser going to a tmpfs folder of 10,000 subfolders (listing
//   "/", "/dev", "/dev/shm" on the way, the old subtree deleted) against FindPeer/10000,
//   `find DIR -mindepth 1 -maxdepth 1 -type d` run on the same folder (process start
//   included); target <= 3x.
#include "gui/controls/treeview.h"
#include "gui/core/application.h"
#include "gui/core/windowmaker.h"
#include "gui/dialogs/folderchooser.h"
#include "platform/headlesshost.h"
#include "platform/softgraphics.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <malloc.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

extern char** environ;

namespace {

using tItem = cTreeViewChild::cTreeViewItem;

struct sHost
{
    cHeadlessHost host;
    cCIApplication application;

    sHost()
    {
        InstallSoftwareGraphics(eTextFont::System);
        application.SetUpWindowSystem(&host);
    }
    void Open(cChildElement* root, i32 width, i32 height)
    {
        sWindowParams params;
        params.screenRect = {0, 0, width, height};
        application.GetWindowMaker()->OpenWindow(root, params);
        host.Pump();
    }
};

void InsertChildren(benchmark::State& state, bool suspended)
{
    sHost setup;
    cCustomForm form;
    cTreeViewChild tree;
    setup.Open(&form, 400, 400);
    form.AttachChild(&tree, 0, 0, 400, 400);
    const i32 count = i32(state.range(0));
    size_t bytes = 0;
    for (auto _ : state) {
        const size_t before = mallinfo2().uordblks;
        auto* top = new tItem;
        (void)top->SetText(u"Folder");
        tree.InsertItem(nullptr, top, nullptr);
        if (suspended) {
            tree.SuspendUpdates();
        }
        for (i32 i = 0; i < count; ++i) {
            auto* item = new tItem;
            const std::string digits = std::to_string(i);
            (void)item->SetText((u"d" + std::u16string(digits.begin(), digits.end())).c_str());
            item->iconId = 1;
            tree.InsertItem(top, item, nullptr);
        }
        tree.ResumeUpdates();
        bytes = mallinfo2().uordblks - before;
        state.PauseTiming();
        tree.DeleteAllItems();
        state.ResumeTiming();
    }
    state.counters["bytes_per_item"] = f64(bytes) / f64(count);
}

void TreeInsert(benchmark::State& state)
{
    InsertChildren(state, true);
}

void TreeInsertUnsuspended(benchmark::State& state)
{
    InsertChildren(state, false);
}

// /dev/shm/qel-bench-folders-<n> with subfolders d1..dn, made once.
std::string FolderOf(i32 count)
{
    const std::string folder = "/dev/shm/qel-bench-folders-" + std::to_string(count);
    if (!std::filesystem::exists(folder + "/d" + std::to_string(count))) {
        std::filesystem::create_directories(folder);
        for (i32 i = 1; i <= count; ++i) {
            ::mkdir((folder + "/d" + std::to_string(i)).c_str(), 0755);
        }
    }
    return folder;
}

void ChooserList(benchmark::State& state)
{
    const std::string folder = FolderOf(i32(state.range(0)));
    const std::u16string wide(folder.begin(), folder.end());
    sHost setup;
    cCustomForm owner;
    setup.Open(&owner, 100, 100);
    auto* dialog = new cFolderChooseDialog(nullptr, nullptr);
    setup.Open(dialog, 500, 600);
    for (auto _ : state) {
        dialog->GoToFolder(wide.c_str());
    }
    delete dialog;
}

void FindPeer(benchmark::State& state)
{
    const std::string folder = FolderOf(i32(state.range(0)));
    std::vector<std::string> words = {"find", folder, "-mindepth", "1", "-maxdepth", "1", "-type", "d"};
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    for (auto _ : state) {
        pid_t pid = 0;
        if (posix_spawnp(&pid, "find", &actions, nullptr, argv.data(), environ) != 0) {
            state.SkipWithError("find did not start");
            break;
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
    }
    posix_spawn_file_actions_destroy(&actions);
}

} // namespace

BENCHMARK(TreeInsert)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(TreeInsertUnsuspended)->Arg(2000)->Unit(benchmark::kMillisecond);
BENCHMARK(ChooserList)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(FindPeer)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
