#include "gui/controls/pictureelement.h"
#include "gui/controls/statictext.h"
#include "gui/core/hint.h"
#include "gui/core/panel.h"

#include "gui/controlstest.h"

#include <array>

using namespace qeltest;

namespace {

// The element sits at (50, 40) of a form whose client area starts at the screen's
// top-left, on a brown panel that shows what a transparent element blends over; zone 2
// lies under zone 1, zone 3 is inverted and covers nothing.
constexpr u32 kPanelColour = 0x00306090;
class PictureElementTest : public cFormTest
{
protected:
    void SetUp() override
    {
        cFormTest::SetUp();
        ASSERT_TRUE(form.AttachChild(&panel, 40, 30, 140, 80));
        panel.SetBackColour(kPanelColour);
        ASSERT_TRUE(panel.AttachChild(element.get(), 10, 10, 120, 60));
        ASSERT_TRUE(element->SetActiveZone(2, 0, 0, 19, 19) && element->SetActiveZone(1, 10, 10, 29, 29));
        ASSERT_TRUE(element->SetActiveZone(3, 5, 5, 1, 1));
        ASSERT_TRUE(element->SetHintZone(1, 10, 20, 49, 39, u"below", 0) &&
                    element->SetHintZone(2, 60, 20, 99, 39, u"above", 1));
        host->Pump();
    }
    size_t HintCount() { return host->GetWindows().size() - 1; }
    // The open hint's left, top and bottom edges on the screen.
    std::array<i32, 3> HintEdges()
    {
        sRect r{};
        EXPECT_TRUE(element->GetHint() != nullptr && host->GetWindowRect(element->GetHint()->GetWindow(), r));
        return {r.x, r.y, r.y + r.height};
    }
    cPanelChild panel;
    std::unique_ptr<cPictureElement> element = std::make_unique<cPictureElement>();
};

} // namespace

TEST_F(PictureElementTest, ReleasesOnZonesPostWhileEnabled)
{
    for (auto [x, y, zone] : {std::array{15, 15, 1}, {5, 5, 2}, {29, 29, 1}, {30, 30, -1}, {3, 3, 2}}) {
        EXPECT_EQ(element->ActiveZoneAt(x, y), zone) << x << "," << y;
    }
    host->MouseDown(65, 55);
    host->Pump();
    EXPECT_TRUE(form.actions.empty()) << "a press posts nothing";
    host->MouseUp(65, 55);
    host->Click(110, 90); // no zone
    EXPECT_EQ(element->GetPressedZone(), -1);
    host->Click(55, 45);
    host->Click(55, 45); // a double click
    element->Disable();
    host->Click(55, 45);
    host->Click(55, 45);
    host->Pump();
    std::vector<i32> codes;
    for (const sActionRecord& record : form.actions) {
        codes.push_back(record.source == element.get() ? record.code : -1);
    }
    EXPECT_EQ(codes, (std::vector<i32>{7, 7, 8, 7}));
}

// Hint zone 1 (10, 20)-(49, 39) opens below itself, zone 2 (60, 20)-(99, 39) above.
TEST_F(PictureElementTest, HintsFollowThePointer)
{
    host->MouseMove(70, 70);
    const cHintMaster* first = element->GetHint();
    const std::array<i32, 3> below = HintEdges();
    EXPECT_TRUE(below[0] == 50 + 12 && below[1] == 40 + 41) << below[0] << "," << below[1];
    host->MouseMove(80, 75);
    EXPECT_EQ(element->GetHint(), first) << "moving within a zone keeps its hint";
    host->MouseMove(120, 70);
    EXPECT_EQ(HintCount(), 1u);
    const std::array<i32, 3> above = HintEdges();
    EXPECT_TRUE(above[0] == 50 + 62 && above[2] == 40 + 20) << above[0] << "," << above[2];
    host->MouseMove(55, 45);
    EXPECT_EQ(HintCount(), 0u);
    host->MouseMove(120, 70);
    host->FailNextWindowOpen();
    host->MouseMove(70, 70);
    EXPECT_EQ(HintCount(), 0u) << "a failed hint closes the other zone's hint";
    host->MouseMove(120, 70);
    element->Hide();
    EXPECT_EQ(HintCount(), 0u);
    element->Show();
    host->MouseMove(70, 70);
    element.reset();
    EXPECT_EQ(HintCount(), 0u);
}

TEST_F(PictureElementTest, SetPictureKeepsTheOwnedOneWhenGivenItAgain)
{
    cPicture empty;
    auto shown = SolidPicture(0xFF102030, 8, 8);
    EXPECT_FALSE(element->SetPicture(nullptr) || element->SetPicture(&empty));
    ASSERT_TRUE(element->TakePicture(SolidPicture(0xFF405060, 4, 4).release()));
    cPicture* owned = const_cast<cPicture*>(element->GetPicture());
    EXPECT_FALSE(element->SetPicture(&empty));
    EXPECT_TRUE(element->SetPicture(owned) && element->TakePicture(owned));
    EXPECT_EQ(element->GetPicture(), owned);
    EXPECT_TRUE(element->SetPicture(shown.get())); // frees the owned one
}

// basn6a08 (32 x 32 with alpha) against ImageMagick: composed over the panel's colour
// when transparent (within 1 per channel), its alpha ignored when opaque, where an
// opaque element also fills what the picture leaves uncovered. A transparent label
// with no text on it changes nothing.
TEST_F(PictureElementTest, PaintsAsImageMagickComposes)
{
    QEL_REQUIRE(HaveTool("convert"), "ImageMagick convert");
    const std::string png = ShellQuote(SharedDataPath("pngsuite/png/basn6a08.png"));
    const std::string rgba = RunCommand("convert " + png + " -depth 8 rgba:-");
    ASSERT_EQ(rgba.size(), 32u * 32u * 4u);
    auto picture = std::make_unique<cPicture>();
    ASSERT_TRUE(picture->Allocate(32, 32));
    for (size_t i = 0; i < 32 * 32; ++i) {
        const auto* p = reinterpret_cast<const u8*>(rgba.data()) + 4 * i;
        picture->GetPixels()[i] = u32(p[3]) << 24 | u32(p[0]) << 16 | u32(p[1]) << 8 | p[2];
    }
    ASSERT_TRUE(element->TakePicture(picture.release()));
    cStaticElement label;
    label.SetTransparent(true);
    ASSERT_TRUE(element->AttachChild(&label, 4, 4, 40, 14));
    char panelRgb[8];
    snprintf(panelRgb, sizeof panelRgb, "#%06X", PixelFromColour(kPanelColour) & 0xFFFFFF);
    for (bool transparent : {true, false}) {
        element->SetTransparent(transparent);
        element->Invalidate();
        host->Pump();
        // Composed from the raw bytes: the file's gAMA 1.0 would make ImageMagick compose in linear light.
        const std::string rgb = RunCommand("convert " + png + " -depth 8 rgba:- | convert -size 32x32 xc:'" + panelRgb +
                                           "' \\( -size 32x32 -depth 8 rgba:- " + (transparent ? "\\) -compose over" : "-alpha off \\) -compose copy") +
                                           " -composite -depth 8 rgb:-");
        ASSERT_EQ(rgb.size(), 32u * 32u * 3u);
        for (i32 i = 0; i < 32 * 32; ++i) {
            const u32 ours = ElementPixel(*host, element.get(), i % 32, i / 32);
            for (i32 c = 0; c < 3; ++c) {
                const i32 theirs = u8(rgb[size_t(3 * i + c)]);
                ASSERT_LE(std::abs(i32(ours >> (16 - 8 * c) & 0xFF) - theirs), transparent ? 1 : 0) << i<< (transparent ? " over" : " opaque");
            }
        }
    }
    EXPECT_EQ(ElementPixel(*host, element.get(), 40, 40), ThemePixel(0));
    element->SetTransparent(true);
    (void)label.SetText(u"Label", kAlignLeft, true);
    host->Pump();
    std::unique_ptr<cCanvas> shot(CreateMemoryCanvas(140, 80));
    shot->CopyFrom(0, 0, host->GetCanvas(window), 40, 30, 140, 80);
    ExpectMatchesGolden(*shot, "pictureelement.png");
}
