// The file chooser in a real window: a name typed into the box with Return saves, Escape
// leaves the record as it was.
#include "gui/dialogs/filechooser.h"
#include "sdltesttools.h"

#include <SDL.h>

#include <cstdlib>

namespace {

class SdlFileChooser : public qeltest::cSdlTest
{
};

TEST_F(SdlFileChooser, ReturnSavesTheTypedNameEscapeCancels)
{
    QEL_REQUIRE_X_TOOLS();
    qeltest::cScratchFolder folder;
    for (const std::string key : {"Return", "Escape"}) {
        sFileChooseParams params;
        ASSERT_TRUE(params.startFolder.Assign(std::u16string(folder.Path().begin(), folder.Path().end()).c_str()));
        bool saved = false;
        InDialog([&](cCustomForm* main) {
            qeltest::cRunScript runner;
            runner.Post([&] {
                SDL_Window* start = host->GetSdlWindow(main->GetWindow());
                ASSERT_TRUE(PumpUntil([&] { return SDL_GetKeyboardFocus() != nullptr && SDL_GetKeyboardFocus() != start; }));
                const std::string id = qeltest::HexWindowId(qeltest::X11WindowOf(SDL_GetKeyboardFocus()));
                (void)PumpUntil([] { return false; }, 300); // the first listing
                Xdo({"mousemove", "--window", id, "150", "280", "click", "1", "type", "notes.txt"});
                Settle();
                if (const char* out = std::getenv("QEL_SNAPSHOT_OUT")) {
                    (void)RunTool({"import", "-window", id, std::string(out) + "/filechooser_sdl.png"});
                }
                Xdo({"key", key});
            });
            saved = RunFileSaveDialog(main, u"Save", &params);
        });
        EXPECT_EQ(saved, key == "Return");
        const std::u16string path = params.path.GetOrEmpty();
        EXPECT_EQ(std::string(path.begin(), path.end()), key == "Return" ? folder.PathOf("notes.txt") : "");
    }
}

} // namespace
