#pragma once
// The one fixture of the widget and control tests: a headless host with the fixed-advance
// test font and an application per test, a probe widget that logs what reaches it, a
// form that records the actions reaching it, pixel reads and the golden-picture check.
#include "gui/controls/listview.h"
#include "gui/controls/splitter.h"
#include "gui/controls/toolbar.h"
#include "gui/core/actions.h"
#include "gui/core/application.h"
#include "gui/core/canvas.h"
#include "gui/core/element.h"
#include "gui/core/form.h"
#include "gui/core/picture.h"
#include "gui/core/theme.h"
#include "gui/core/translator.h"
#include "gui/core/windowmaker.h"
#include "platform/headlesshost.h"
#include "platform/pngwrite.h"
#include "platform/softgraphics.h"
#include "support/testsupport.h"
#include "platform/drawtesttools.h"
#include "support/shellcommand.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace qeltest {

using tLog = std::vector<std::string>;

// A widget that logs its handlers as "name:Event" into a shared log.
class cProbe : public cChildElement
{
public:
    cProbe(tLog* log, std::string name, bool focusable = false)
        : m_log(log), m_name(std::move(name)), m_focusCapable(focusable)
    {
    }

    bool DefaultFocusCapable() override { return m_focusCapable; }
    bool ArrowNavQuery() override { return m_arrowNavigable; }
    void OnMouseButton(i32 x, i32 y, i32 button, bool down) override
    {
        Log((down ? "Press(" : "Release(") + std::to_string(x) + "," + std::to_string(y) + "," +
            std::to_string(button) + ")");
    }
    void OnDoubleClick(i32 x, i32 y) override { Log("DoubleClick"); }
    void OnMouseMove(i32 x, i32 y) override { Log("Move(" + std::to_string(x) + "," + std::to_string(y) + ")"); }
    void OnHoverStart() override { Log("HoverStart"); }
    void OnHoverEnd() override { Log("HoverEnd"); }
    bool OnKeyDown(i32 vk) override
    {
        Log("Key(" + std::to_string(vk) + ")");
        return vk == m_consumedKey;
    }
    void DropFocus() override { Log("DropFocus"); }
    void FocusByClick(i32 kind, bool ctrl, bool shift) override { Log("FocusByClick(" + std::to_string(kind) + ")"); }
    void SetFocus() override { Log("SetFocus"); }
    void OnFocusLost() override { Log("FocusLost"); }
    void OnFocusGained(i32 kind, bool ctrl, bool shift) override
    {
        Log("FocusGained(" + std::to_string(kind) + (ctrl ? ",ctrl" : "") + (shift ? ",shift" : "") + ")");
    }
    void OnGotFocus() override { Log("GotFocus"); }
    void OnEnabledChanged() override { Log("EnabledChanged"); }
    bool OnAction(cChildElement* source, cChildAction* action) override
    {
        std::string from = source == this ? "self" : "other";
        Log("Action(" + std::to_string(action->GetCode()) + "," + from + ")");
        return action->GetCode() == m_consumedCode;
    }

    tLog* m_log;
    std::string m_name;
    bool m_focusCapable;
    bool m_arrowNavigable = false;
    i32 m_consumedKey = -1;
    i32 m_consumedCode = -1;

private:
    void Log(const std::string& event)
    {
        if (m_log != nullptr) {
            m_log->push_back(m_name + ":" + event);
        }
    }
};

class cGuiTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(InstallSoftwareGraphics(eTextFont::FixedTest));
        host = std::make_unique<cHeadlessHost>();
        application = std::make_unique<cCIApplication>();
        ASSERT_TRUE(application->SetUpWindowSystem(host.get()));
    }
    void TearDown() override
    {
        application.reset();
        host.reset();
    }

    // Opens a window for `root` (owned by the test) without a modal run.
    cWindowTranslator* Open(cChildElement* root, i32 width, i32 height, i32 x = 0, i32 y = 0)
    {
        sWindowParams params;
        params.screenRect = {x, y, width, height};
        cWindowTranslator* window = application->GetWindowMaker()->OpenWindow(root, params);
        if (window != nullptr) {
            window->OnActivate(true);
        }
        host->Pump();
        return window;
    }

    std::unique_ptr<cHeadlessHost> host;
    std::unique_ptr<cCIApplication> application;
};

// One action as it reached the form: its source, code and typed payload (the toolbar
// button's or list item's id; the list change's previous id, ctrl and shift; the
// splitter's requested width), unused fields -1.
struct sActionRecord
{
    cChildElement* source;
    i32 code;
    i32 id = -1;
    std::array<i32, 3> more{-1, -1, -1};

    bool operator==(const sActionRecord&) const = default;
};

// A form that records every action bubbling to it (created actions aside) and answers it,
// and counts its OnOK and OnCancel.
class cRecordingForm : public cCustomForm
{
public:
    bool OnAction(cChildElement* source, cChildAction* action) override
    {
        if (dynamic_cast<cFormCreatedAction*>(action) != nullptr) {
            return cCustomForm::OnAction(source, action);
        }
        sActionRecord record{source, action->GetCode()};
        if (auto* change = dynamic_cast<cListViewChild::cListViewItemChangeAction*>(action)) {
            record.id = change->GetId();
            record.more = {change->GetPreviousId(), change->GetCtrl(), change->GetShift()};
        } else if (auto* item = dynamic_cast<cListViewChild::cListViewItemAction*>(action)) {
            record.id = item->GetId();
        } else if (auto* resize = dynamic_cast<cSplitterChild::cResizeRequestAction*>(action)) {
            record.id = resize->GetWidth();
        } else if (auto* press = dynamic_cast<cToolBarChild::cTbButtonAction*>(action)) {
            record.id = press->GetId();
        }
        actions.push_back(record);
        if (onRecord) {
            onRecord(record);
        }
        return true;
    }
    void OnOK() override
    {
        ++okCount;
        cCustomForm::OnOK();
    }
    void OnCancel() override
    {
        ++cancelCount;
        cCustomForm::OnCancel();
    }

    // The actions with `code` from `source` (null: any source).
    std::vector<sActionRecord> Find(i32 code, const cChildElement* source = nullptr) const
    {
        std::vector<sActionRecord> found;
        for (const sActionRecord& record : actions) {
            if (record.code == code && (source == nullptr || record.source == source)) {
                found.push_back(record);
            }
        }
        return found;
    }
    // Takes the actions so far, keeping those from `source` (null: all).
    std::vector<sActionRecord> Take(const cChildElement* source = nullptr)
    {
        std::vector<sActionRecord> taken;
        for (const sActionRecord& record : actions) {
            if (source == nullptr || record.source == source) {
                taken.push_back(record);
            }
        }
        actions.clear();
        return taken;
    }

    std::vector<sActionRecord> actions;
    i32 okCount = 0;
    i32 cancelCount = 0;
    // Called for every action as it arrives.
    std::function<void(const sActionRecord&)> onRecord;
};

// A test with a recording form open at the screen's top-left, 600 x 300.
class cFormTest : public cGuiTest
{
protected:
    void SetUp() override
    {
        cGuiTest::SetUp();
        window = Open(&form, 600, 300);
        ASSERT_NE(window, nullptr);
    }

    cRecordingForm form;
    cWindowTranslator* window = nullptr;
};

// A `tElement` that counts its paints, to see which calls redraw it.
template <class tElement>
class cPaintCounting : public tElement
{
public:
    void OnPaint(cCanvas& canvas) override
    {
        ++paints;
        tElement::OnPaint(canvas);
    }
    i32 paints = 0;
};

// The pixel (0xAARRGGBB) at (x, y) of a canvas.
inline u32 PixelAt(const cCanvas* canvas, i32 x, i32 y)
{
    return canvas->GetPixels()[size_t(y) * size_t(canvas->GetStride()) + size_t(x)];
}

// The pixel at (x, y) of `element` (element coordinates) as its window shows it.
inline u32 ElementPixel(cHeadlessHost& host, cChildElement* element, i32 x, i32 y)
{
    const cCanvas* canvas = host.GetCanvas(element->GetWindow());
    const sPoint origin = element->GetOriginInRoot();
    return PixelAt(canvas, origin.x + x, origin.y + y);
}

// The opaque pixel 0xFFRRGGBB of a theme colour.
inline u32 ThemePixel(i32 index)
{
    return PixelFromColour(GetTheme()->GetColour(index));
}

// A picture filled with one colour (0xAARRGGBB).
inline std::unique_ptr<cPicture> SolidPicture(u32 argb, i32 width, i32 height)
{
    auto picture = std::make_unique<cPicture>();
    EXPECT_TRUE(picture->CreateFilled(argb, width, height));
    return picture;
}

// The committed golden tests/data/gui/controls/<name>, decoded by Pillow.
inline void LoadGolden(const std::string& name, drawtest::sRgbImage& image)
{
    const std::string golden = LocalDataPath("gui/controls/" + name);
    QEL_REQUIRE(PathExists("/usr/bin/python3") && PathExists(golden), "python3 and the golden " + golden);
    int exitCode = -1;
    image = drawtest::ReadPpm(
        RunCommand("/usr/bin/python3 -c 'import sys; from PIL import Image; Image.open(sys.argv[1])"
                   ".convert(\"RGB\").save(sys.stdout.buffer, \"PPM\")' " + ShellQuote(golden), &exitCode));
    EXPECT_EQ(exitCode, 0) << "Pillow could not decode " << golden;
}

// The first pixel where `canvas` and `image` differ, as "(x, y): ours against theirs";
// empty when they are equal.
inline std::string FirstDifference(const cCanvas& canvas, const drawtest::sRgbImage& image)
{
    std::ostringstream where;
    if (image.width != canvas.GetWidth() || image.height != canvas.GetHeight()) {
        where << "its size: " << canvas.GetWidth() << "x" << canvas.GetHeight() << " against " << image.width << "x"
              << image.height;
        return where.str();
    }
    for (i32 y = 0; y < image.height; ++y) {
        for (i32 x = 0; x < image.width; ++x) {
            const u32 ours = PixelAt(&canvas, x, y) & 0xFFFFFF;
            const u32 theirs = image.pixels[size_t(y) * size_t(image.width) + size_t(x)];
            if (ours != theirs) {
                where << "(" << x << ", " << y << "): " << std::hex << ours << " against the golden's " << theirs;
                return where.str();
            }
        }
    }
    return {};
}

// Compares `canvas` with the committed golden pixel for pixel. With QEL_SNAPSHOT_OUT set,
// writes the picture there instead, for review and commit.
inline void ExpectMatchesGolden(const cCanvas& canvas, const std::string& name)
{
    if (const char* outFolder = std::getenv("QEL_SNAPSHOT_OUT")) {
        EXPECT_TRUE(SaveCanvasPng(std::string(outFolder) + "/" + name, canvas)) << name;
        return;
    }
    drawtest::sRgbImage image;
    LoadGolden(name, image);
    if (!image.pixels.empty()) { // a missing or undecodable golden is reported already
        const std::string difference = FirstDifference(canvas, image);
        EXPECT_TRUE(difference.empty()) << name << " differs first at " << difference;
    }
}

// The golden check for the part of `canvas` at (x, y), `width` x `height`.
inline void ExpectPartMatchesGolden(const cCanvas& canvas, i32 x, i32 y, i32 width, i32 height,
                                    const std::string& name)
{
    std::unique_ptr<cCanvas> part(canvas.CreateOffscreenCanvas(width, height));
    part->CopyFrom(0, 0, &canvas, x, y, width, height);
    ExpectMatchesGolden(*part, name);
}

} // namespace qeltest
