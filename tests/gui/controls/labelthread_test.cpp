// A label's text set from a job while the GUI thread paints, measures and copies it:
// the paint never sees a half-replaced text, and the last text wins. Run under TSan.
#include "gui/controls/statictext.h"
#include "gui/controlstest.h"

#include <atomic>
#include <string>
#include <thread>

namespace {

class LabelThreadTest : public qeltest::cGuiTest
{
};

TEST_F(LabelThreadTest, JobSetsTheTextWhileTheGuiThreadPaints)
{
    constexpr i32 kUpdates = 100000;
    cCustomForm form;
    cWindowTranslator* window = Open(&form, 240, 40);
    ASSERT_NE(window, nullptr);
    cStaticElement label;
    form.AttachChild(&label, 0, 0, 240, 20);
    // A text before the job starts: the first measure may come before its first update.
    label.SetText(u"Installing file ", 0u, true);
    host->Pump();

    std::atomic<bool> finished{false};
    std::thread job([&] {
        for (i32 update = 0; update < kUpdates; ++update) {
            const std::u16string text = u"Installing file " + std::u16string(size_t(update % 30), u'x');
            label.SetText(text.c_str(), u32(update % 3), true);
        }
        label.SetText(u"Finished", 0u, true);
        finished = true;
    });
    i32 rounds = 0;
    while (!finished) {
        host->PumpUntil([&] { return finished.load(); }, 2);
        (void)host->GetCanvas(window);
        sSize size;
        ASSERT_TRUE(label.MeasureContent(&size));
        // "Installing file " and up to 29 more units, or "Finished": 8 to 45 units.
        EXPECT_GE(size.width, 6 + 5 * 8);
        EXPECT_LE(size.width, 6 + 5 * 45);
        _guardchar<char16_t> copy;
        ASSERT_TRUE(label.CopyText(copy));
        ++rounds;
    }
    job.join();
    host->Pump();
    EXPECT_GT(rounds, 0);
    EXPECT_EQ(std::u16string(label.GetText()), u"Finished");
    // "Finished": eight blocks from x 3, the last one ending at 3 + 35 + 3.
    const cCanvas* canvas = host->GetCanvas(window);
    EXPECT_EQ(qeltest::PixelAt(canvas, 3 + 35, 8), 0xFF000000u);
    EXPECT_NE(qeltest::PixelAt(canvas, 3 + 40, 8), 0xFF000000u);
}

} // namespace
