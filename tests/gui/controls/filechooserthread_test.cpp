// The listing job's threads: rapid navigations and Stop presses, dialogs destroyed
// mid-listing, and a folder that never answers (a dead network mount stood in for by a
// FUSE file system).
#include "gui/controls/filechooser.h"
#include "controlstest.h"
#include "support/scratchfolder.h"
#include "support/shellcommand.h"

#include <chrono>
#include <random>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace qeltest;

namespace {

using tClock = std::chrono::steady_clock;

i64 MillisecondsSince(tClock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(tClock::now() - start).count();
}

class FileChooserThreads : public cGuiTest
{
protected:
    // A dialog in a window of its own, listing `folder`.
    std::unique_ptr<cFileChooseDialog> OpenDialog(const std::string& folder)
    {
        auto dialog = std::make_unique<cFileChooseDialog>(&params, cFileChooseDialog::kOpenMode);
        EXPECT_TRUE(params.startFolder.Assign(std::u16string(folder.begin(), folder.end()).c_str()));
        window = Open(dialog.get(), 500, 350);
        return dialog;
    }
    void Close(std::unique_ptr<cFileChooseDialog>& dialog)
    {
        application->GetWindowMaker()->CloseWindow(window);
        dialog.reset();
    }
    bool WaitIdle(cFileChooseDialog& dialog, u32 timeoutMs = 5000)
    {
        return host->PumpUntil(
            [&] { return dialog.GetNavigationBar()->GetState() == cNavigationChild::kStateIdle; }, timeoutMs);
    }
    void PressStop(cFileChooseDialog& dialog)
    {
        (void)PostAction(dialog.GetNavigationBar()->GetStopBar(), new cToolBarChild::cTbButtonAction(1));
    }

    sFileChooseParams params;
    cWindowTranslator* window = nullptr;
};

} // namespace

TEST_F(FileChooserThreads, RapidNavigationsAndStops)
{
    cScratchFolder scratch;
    RunCommand("cd " + ShellQuote(scratch.Path()) + " && mkdir a b && touch $(seq -f a/%g 200) $(seq -f b/%g 200)");
    std::unique_ptr<cFileChooseDialog> dialog = OpenDialog(scratch.PathOf("a"));
    std::mt19937 random(7);
    const std::string names[] = {scratch.PathOf("a"), scratch.PathOf("b")};
    const std::u16string folders[] = {{names[0].begin(), names[0].end()}, {names[1].begin(), names[1].end()}};
    for (i32 round = 0; round < 500; ++round) {
        ASSERT_TRUE(WaitIdle(*dialog)) << round;
        ASSERT_TRUE(dialog->GetNavigationBar()->NavigateTo(folders[round % 2].c_str())) << round;
        if (random() % 2 == 0) {
            PressStop(*dialog);
        }
    }
    ASSERT_TRUE(WaitIdle(*dialog));
    for (i32 round = 0; round < 50; ++round) {
        std::unique_ptr<cFileChooseDialog> other = OpenDialog(names[round % 2]);
        host->Pump();
        Close(other);
    }
    Close(dialog);
}

// After Stop the bar is idle within 100 ms, and the dialog closes within 100 ms, while
// the folder still blocks every reader.
TEST_F(FileChooserThreads, StalledMountStopsAndClosesAtOnce)
{
    QEL_REQUIRE(::geteuid() == 0 && PathExists("/dev/fuse") && PathExists("/usr/lib/python3/dist-packages/fusepy.py"),
                "root, /dev/fuse and python3-fusepy");
    cScratchFolder scratch;
    const std::string mount = scratch.PathOf("mount");
    const std::string release = scratch.PathOf("release");
    ASSERT_EQ(::mkdir(mount.c_str(), 0755), 0);
    struct stat before;
    ASSERT_EQ(::stat(mount.c_str(), &before), 0);
    const std::string pid = RunCommand("setsid /usr/bin/python3 " + ShellQuote(std::string(QEL_SOURCE_DIR) + "/tests/tools/stallfs.py") +
                                       " " + ShellQuote(mount) + " " + ShellQuote(release) + " >/dev/null 2>&1 & echo $!");
    bool mounted = false;
    for (i32 wait = 0; wait < 200 && !mounted; ++wait) {
        struct stat now;
        mounted = ::stat(mount.c_str(), &now) == 0 && now.st_dev != before.st_dev;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (mounted) {
        std::unique_ptr<cFileChooseDialog> dialog = OpenDialog(scratch.Path());
        ASSERT_TRUE(WaitIdle(*dialog));
        const std::u16string wideMount(mount.begin(), mount.end());
        ASSERT_TRUE(dialog->GetNavigationBar()->NavigateTo(wideMount.c_str()));
        EXPECT_FALSE(WaitIdle(*dialog, 300)); // blocked in readdir
        PressStop(*dialog);
        tClock::time_point start = tClock::now();
        EXPECT_TRUE(WaitIdle(*dialog, 1000));
        EXPECT_LT(MillisecondsSince(start), 100);
        EXPECT_EQ(dialog->GetShownListing().GetCount(), 0);
        ASSERT_TRUE(dialog->GetNavigationBar()->NavigateTo(wideMount.c_str()));
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        start = tClock::now();
        Close(dialog);
        EXPECT_LT(MillisecondsSince(start), 100);
    }
    // Killing the server aborts the connection, so no reader stays blocked after the test.
    RunCommand("touch " + ShellQuote(release) + "; umount -l " + ShellQuote(mount) + "; kill -KILL " + pid);
    ASSERT_TRUE(mounted);
}
