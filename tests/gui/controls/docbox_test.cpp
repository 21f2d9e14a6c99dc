#include "gui/controls/docbox.h"
#include "gui/core/canvas.h"
#include "gui/core/picture.h"
#include "platform/softgraphics.h"
#include "support/testsupport.h"

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

using namespace qeltest;

namespace {

constexpr u32 kWhite = 0xFFFFFF;
constexpr u32 kGreen = 0x00FF00; // 0x00BBGGRR

// Records every link rectangle in drawing order, with the link's text.
class cRecordingTarget : public cSiDocActiveTarget
{
public:
    void ClearActiveAreas() override { areas.clear(); }
    bool AddActiveArea(const char16_t* target, i32 x, i32 y, i32 width, i32 height) override
    {
        areas.push_back({std::u16string(target), sRect{x, y, width, height}});
        return true;
    }
    struct sArea
    {
        std::u16string target;
        sRect rect;
    };
    std::vector<sArea> areas;
};

// The test font (advance 5, cell 13, so a line is 15 high) on a white 400 x 200 canvas.
class DocBoxTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(InstallSoftwareGraphics(eTextFont::FixedTest));
        canvas.reset(CreateMemoryCanvas(400, 200));
        ASSERT_NE(canvas, nullptr);
        canvas->FillRect(0, 0, 400, 200, kWhite, kWhite);
        context.target = &target;
    }

    // A link box whose target is its own text, so that its rectangle is recorded.
    template <class tBox = cSiDocLink>
    tBox* Add(cSiDocContainer& container, const char16_t* text)
    {
        auto* box = new tBox();
        EXPECT_TRUE(box->SetText(text, -1) && container.m_children.Append(box));
        if constexpr (std::is_same_v<tBox, cSiDocLink>) {
            box->m_target = box->GetText();
        }
        return box;
    }
    cSiDocImage* AddImage(cSiDocContainer& container, i32 width, i32 height, i32 mode)
    {
        pictures.push_back(std::make_unique<cPicture>());
        EXPECT_TRUE(pictures.back()->CreateFilled(0xFFFF0000, width, height)); // red
        auto* image = new cSiDocImage();
        image->m_picture = pictures.back().get();
        image->m_mode = mode;
        EXPECT_TRUE(container.m_children.Append(image));
        return image;
    }
    sSize Draw(cSiDocBox& box, i32 right)
    {
        context.right = right;
        sSize size{-1, -1};
        EXPECT_TRUE(box.Draw(canvas.get(), context, size));
        return size;
    }
    std::vector<std::string> Positions() const
    {
        std::vector<std::string> out;
        for (const auto& area : target.areas) {
            out.push_back(std::to_string(area.rect.x) + ":" + std::to_string(area.rect.y));
        }
        return out;
    }
    u32 Pixel(i32 x, i32 y) const { return canvas->GetPixels()[size_t(y) * size_t(canvas->GetStride()) + size_t(x)]; }

    std::unique_ptr<cCanvas, void (*)(cCanvas*)> canvas{nullptr, [](cCanvas* c) { c->Delete(); }};
    cRecordingTarget target;
    sSiDocDrawContext context;
    std::vector<std::unique_ptr<cPicture>> pictures;
};

std::vector<std::string> Split(const std::string& text)
{
    std::istringstream in(text);
    std::vector<std::string> out;
    for (std::string item; in >> item;) {
        out.push_back(item);
    }
    return out;
}

} // namespace

// Words of known lengths in every alignment and several widths against positions that
// tools/testdata/doc_positions.py computes from the lengths alone.
TEST_F(DocBoxTest, WordPositionsMatchTheIndependentComputation)
{
    std::ifstream in(LocalDataPath("doc/positions.txt"));
    ASSERT_TRUE(in.good());
    i32 cases = 0;
    for (std::string line; std::getline(in, line); ++cases) {
        std::istringstream fields(line.substr(0, line.find('|')));
        i32 alignment = 0, right = 0;
        std::string lengths;
        fields >> alignment >> right >> lengths;
        cSiDocContainer container;
        container.m_alignment = alignment;
        std::istringstream lengthList(lengths);
        for (std::string length; std::getline(lengthList, length, ',');) {
            Add(container, std::u16string(size_t(std::stoi(length)), u'a').c_str());
        }
        target.areas.clear();
        Draw(container, right);
        EXPECT_EQ(Positions(), Split(line.substr(line.find('|') + 1))) << line;
    }
    EXPECT_EQ(cases, 64);
}

// The documented edge cases and worked numbers, in exact pixels.
TEST_F(DocBoxTest, EdgeCasesInExactNumbers)
{
    cSiDocContainer pair; // "Hello world": one space apart, 55 x 15
    Add(pair, u"Hello");
    Add(pair, u"world");
    EXPECT_EQ(Draw(pair, 100), (sSize{55, 15}));
    EXPECT_EQ(Positions(), (std::vector<std::string>{"0:0", "30:0"}));

    target.areas.clear(); // a text before an image gets no space; the image breaks the pair
    cSiDocContainer mixed;
    Add(mixed, u"ab");
    AddImage(mixed, 4, 4, kSiDocImageNatural);
    Add(mixed, u"cd");
    EXPECT_EQ(Draw(mixed, 100), (sSize{24, 15}));
    EXPECT_EQ(Positions(), (std::vector<std::string>{"0:0", "14:0"}));

    for (i32 right : {50, 51}) { // justify: every line but the last stretched, 10 per gap
        target.areas.clear();
        cSiDocContainer justified;
        justified.m_alignment = kSiDocAlignJustify;
        for (const char16_t* word : {u"aa", u"bb", u"cc", u"dd"}) {
            Add(justified, word);
        }
        Draw(justified, right);
        EXPECT_EQ(Positions(), (std::vector<std::string>{"0:0", "20:0", "40:0", "0:15"})) << right;
    }

    target.areas.clear(); // a forced break ends a line that is then not stretched
    cSiDocContainer forced;
    forced.m_alignment = kSiDocAlignJustify;
    Add(forced, u"aa");
    Add(forced, u"bb");
    Add(forced, u"cc")->m_break = true;
    Draw(forced, 100);
    EXPECT_EQ(Positions(), (std::vector<std::string>{"0:0", "15:0", "0:15"}));

    for (auto [alignment, x] : {std::pair{kSiDocAlignCentre, "42:0"}, {kSiDocAlignRight, "85:0"}}) {
        target.areas.clear();
        cSiDocContainer single;
        single.m_alignment = alignment;
        Add(single, u"abc");
        Draw(single, 100);
        EXPECT_EQ(Positions(), std::vector<std::string>{x});
    }

    target.areas.clear(); // an over-wide word alone on its line, cut at R with "..."
    cSiDocContainer wide;
    Add(wide, u"aa");
    Add(wide, u"abcdefghijklmnopqrstuvwxyz");
    Add(wide, u"bb");
    EXPECT_EQ(Draw(wide, 50), (sSize{50, 45}));
    ASSERT_EQ(target.areas.size(), 3u);
    EXPECT_EQ(target.areas[1].rect, (sRect{0, 15, 50, 15}));

    cSiDocText fixed; // fixed width 40, automatic height
    ASSERT_TRUE(fixed.SetText(u"hello world", -1));
    fixed.m_fixedWidth = 40;
    sSize size{};
    EXPECT_TRUE(fixed.Measure(canvas.get(), context, size));
    EXPECT_EQ(size, (sSize{40, 15}));
    EXPECT_FALSE(fixed.Measure(nullptr, context, size));
    EXPECT_EQ(size, (sSize{0, 0}));
}

// Mode 0 in a 48 x 40 box shows the 32 x 32 picture and strips of 16 and 8 pixels in the
// background; mode 1 stretches.
TEST_F(DocBoxTest, ImageModesFillOrStretchTheBox)
{
    cSiDocContainer container;
    container.m_background = kGreen;
    cSiDocImage* natural = AddImage(container, 32, 32, kSiDocImageNatural);
    natural->m_fixedWidth = 48;
    natural->m_fixedHeight = 40;
    cSiDocImage* stretched = AddImage(container, 32, 32, kSiDocImageStretch);
    stretched->m_fixedWidth = 64;
    stretched->m_fixedHeight = 48;
    EXPECT_EQ(Draw(container, 400), (sSize{112, 48}));
    const u32 red = 0xFFFF0000, green = 0xFF00FF00, white = 0xFFFFFFFF;
    EXPECT_EQ(std::vector<u32>({Pixel(31, 31), Pixel(32, 0), Pixel(47, 39), Pixel(0, 32), Pixel(31, 39),
                                Pixel(48, 0), Pixel(111, 47), Pixel(112, 0), Pixel(0, 40)}),
              std::vector<u32>({red, green, green, green, green, red, red, white, white}));
}

// Fault fix: a child starting right of R (a margin wider than the line) is cut to an
// empty rectangle: nothing drawn, no area registered, no negative size.
TEST_F(DocBoxTest, ChildPastTheRightLimitDrawsNothing)
{
    cSiDocContainer container;
    Add(container, u"word")->m_marginLeft = 80;
    const sSize size = Draw(container, 50);
    EXPECT_TRUE(target.areas.empty());
    EXPECT_EQ(size, (sSize{0, 15})) << "the line keeps its height";
    EXPECT_EQ(Pixel(80, 5), 0xFFFFFFFFu);
}

// Fault fix: Measure of an image honours a single fixed dimension as Draw does, so the
// next word starts right after the drawn width.
TEST_F(DocBoxTest, ImageMeasureUsesASingleFixedDimension)
{
    cSiDocContainer container;
    AddImage(container, 32, 32, kSiDocImageStretch)->m_fixedWidth = 10;
    Add(container, u"ab");
    Draw(container, 100);
    ASSERT_EQ(target.areas.size(), 1u);
    EXPECT_EQ(target.areas[0].rect.x, 10);
    sSize size{};
    EXPECT_TRUE((*container.m_children.begin())->Measure(canvas.get(), context, size));
    EXPECT_EQ(size, (sSize{10, 32}));
}

// Fault fixes: huge fixed sizes accumulate in 64 bits and report INT32_MAX (UBSan watches
// the sums), and a hand-built tree deeper than the layout's limit answers 0 x 0.
TEST_F(DocBoxTest, HugeSizesClampAndDeepTreesStop)
{
    cSiDocContainer tall;
    for (i32 i = 0; i < 3; ++i) {
        cSiDocText* text = Add<cSiDocText>(tall, u"x");
        text->m_fixedHeight = INT32_MAX - 5;
        text->m_marginTop = INT32_MAX;
        text->m_break = true;
    }
    EXPECT_EQ(Draw(tall, 100).height, INT32_MAX);

    cSiDocContainer root;
    cSiDocContainer* level = &root;
    for (i32 depth = 1; depth < kSiDocMaxLayoutDepth + 10; ++depth) {
        auto* next = new cSiDocContainer();
        ASSERT_TRUE(level->m_children.Append(next));
        level = next;
    }
    Add(*level, u"deep");
    sSize size{};
    EXPECT_TRUE(root.Measure(canvas.get(), context, size));
    EXPECT_EQ(Draw(root, 100), (sSize{0, 0}));
    EXPECT_TRUE(target.areas.empty());
}
