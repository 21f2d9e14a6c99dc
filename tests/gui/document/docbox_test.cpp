#include "gui/document/docbox.h"
#include "gui/core/canvas.h"
#include "gui/core/picture.h"
#include "platform/softgraphics.h"
#include "support/testsupport.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

using namespace qeltest;

namespace {

// The test font (advance 5, cell 13, so a line is 15 high) on a 400 x 200 canvas; every
// link's rectangle is recorded as "x:y".
class DocBoxTest : public ::testing::Test, public cSiDocActiveTarget
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(InstallSoftwareGraphics(eTextFont::FixedTest));
        canvas.reset(CreateMemoryCanvas(400, 200));
        ASSERT_NE(canvas, nullptr);
    }
    void ClearActiveAreas() override {}
    bool AddActiveArea(const char16_t* target, i32 x, i32 y, i32 width, i32 height) override
    {
        positions.push_back(std::to_string(x) + ":" + std::to_string(y));
        return width > 0 && height > 0;
    }
    // A link box (its target its own text), or an image box of a 32 x 32 picture for "".
    cSiDocBox* Add(cSiDocContainer& container, const std::u16string& text)
    {
        cSiDocBox* box = text.empty() ? static_cast<cSiDocBox*>(new cSiDocImage()) : new cSiDocLink();
        if (auto* image = dynamic_cast<cSiDocImage*>(box)) {
            image->m_picture = &picture;
            image->m_mode = kSiDocImageStretch;
        } else {
            auto* link = static_cast<cSiDocLink*>(box);
            EXPECT_TRUE(link->SetText(text.c_str(), -1));
            link->m_target = link->GetText();
        }
        EXPECT_TRUE(container.m_children.Append(box));
        return box;
    }
    sSize Draw(cSiDocBox& box, i32 right)
    {
        positions.clear();
        const sSiDocDrawContext context{nullptr, 0xFFFFFF, 0, 0, 0, right, -1, this};
        sSize size{-1, -1};
        EXPECT_TRUE(box.Draw(canvas.get(), context, size));
        return size;
    }

    std::unique_ptr<cCanvas, void (*)(cCanvas*)> canvas{nullptr, [](cCanvas* c) { c->Delete(); }};
    cPicture picture;
    std::vector<std::string> positions;
};

} // namespace

// Words of known lengths in every alignment and several widths (the worked numbers among
// them) against positions that tools/testdata/doc_positions.py computes from the lengths.
TEST_F(DocBoxTest, WordPositionsMatchTheIndependentComputation)
{
    std::ifstream in(LocalDataPath("doc/positions.txt"));
    i32 cases = 0;
    for (std::string line; std::getline(in, line); ++cases) {
        std::istringstream fields(line.substr(0, line.find('|'))), expected(line.substr(line.find('|') + 1));
        cSiDocContainer container;
        std::string lengths, length;
        i32 right = 0;
        fields >> container.m_alignment >> right >> lengths;
        for (std::istringstream list(lengths); std::getline(list, length, ',');) {
            Add(container, std::u16string(size_t(std::stoi(length)), u'a'));
        }
        Draw(container, right);
        EXPECT_EQ(positions, (std::vector<std::string>{std::istream_iterator<std::string>(expected), {}})) << line;
    }
    EXPECT_EQ(cases, 70);
}

// An image breaks the space of a word pair; fixed width 40 keeps the text's height. Fault
// fixes: a child right of R draws nothing and registers nothing; an image's single fixed
// width counts in Measure as in Draw; huge sizes add up in 64 bits and report INT32_MAX
// (UBSan watches); a hand-built tree past the depth limit answers 0 x 0.
TEST_F(DocBoxTest, EdgeCasesAndFaultFixes)
{
    ASSERT_TRUE(picture.CreateFilled(0xFFFF0000, 32, 32));
    cSiDocContainer mixed, past, image, tall, root;
    for (const char16_t* word : {u"ab", u"", u"cd"}) {
        Add(mixed, word);
    }
    EXPECT_EQ(Draw(mixed, 100), (sSize{52, 32}));
    EXPECT_EQ(positions, (std::vector<std::string>{"0:0", "42:0"}));
    cSiDocText fixed;
    ASSERT_TRUE(fixed.SetText(u"hello world", -1));
    fixed.m_fixedWidth = 40;
    sSize size{};
    EXPECT_TRUE(fixed.Measure(canvas.get(), {}, size) && size == (sSize{40, 15}));
    Add(past, u"word")->m_marginLeft = 80;
    EXPECT_EQ(Draw(past, 50), (sSize{0, 15}));
    EXPECT_TRUE(positions.empty());
    Add(image, u"")->m_fixedWidth = 10;
    Add(image, u"ab");
    Draw(image, 100);
    EXPECT_EQ(positions, std::vector<std::string>{"10:0"});
    for (i32 i = 0; i < 3; ++i) {
        cSiDocBox* box = Add(tall, u"x");
        box->m_fixedHeight = box->m_marginTop = INT32_MAX;
        box->m_break = true;
    }
    EXPECT_EQ(Draw(tall, 100).height, INT32_MAX);
    cSiDocContainer* level = &root;
    for (i32 depth = 1; depth <= kSiDocMaxLayoutDepth; ++depth) {
        auto* next = new cSiDocContainer();
        ASSERT_TRUE(level->m_children.Append(next));
        level = next;
    }
    Add(*level, u"deep");
    EXPECT_EQ(Draw(root, 100), (sSize{0, 0}));
    EXPECT_TRUE(positions.empty());
}
