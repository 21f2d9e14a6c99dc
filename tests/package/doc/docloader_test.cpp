#include "package/doc/docbuilder.h"
#include "package/doc/docloader.h"

#include "base/fileio.h"
#include "gui/core/canvas.h"
#include "platform/softgraphics.h"
#include "support/shellcommand.h"
#include "support/testsupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

using namespace qeltest;

namespace {

class DocLoaderTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(InstallSoftwareGraphics(eTextFont::FixedTest));
        ASSERT_TRUE(picture.CreateFilled(0xFF00FF00, 4, 4));
    }
    cPicture* LoadPng(const std::string& name)
    {
        cFileIO file;
        if (!file.Create(SharedDataPath("pngsuite/png/" + name).c_str(), FileMode::Read)) {
            return nullptr;
        }
        return loader.LoadPicture(file);
    }

    cSiDocLoader loader;
    cPicture picture;
};

} // namespace

// Each refused call fails the whole build and leaves the loader without a root; the
// nesting cap is 32 containers.
TEST_F(DocLoaderTest, BuilderRefusesWhatTheBoxesDoNotAllow)
{
    sSiDocStyle negativeMargin, wideMargin, badColour, badAlignment;
    negativeMargin.marginTop = -1;
    wideMargin.marginLeft = kSiDocMaxMargin + 1;
    badColour.textColour = 0x1000000;
    badAlignment.alignment = 4;
    const std::vector<std::function<bool(cSiDocBuilder&)>> refused{
        [&](cSiDocBuilder& b) { return b.AddText(u"x", -1, negativeMargin); },
        [&](cSiDocBuilder& b) { return b.AddLink(u"x", -1, u"t", wideMargin); },
        [&](cSiDocBuilder& b) { return b.AddText(u"x", -1, badColour); },
        [&](cSiDocBuilder& b) { return b.BeginContainer(badAlignment); },
        [&](cSiDocBuilder& b) { return b.AddImage(&picture, 2, {}); },
        [&](cSiDocBuilder& b) { return b.AddImageLink(nullptr, 0, u"t", {}); },
        [&](cSiDocBuilder& b) { return b.EndContainer() && b.AddText(u"after the root", -1, {}); },
        [&](cSiDocBuilder& b) { return b.EndContainer() && b.BeginContainer({}); },
    };
    for (size_t i = 0; i < refused.size(); ++i) {
        cSiDocBuilder builder(loader);
        ASSERT_TRUE(builder.BeginContainer({}));
        EXPECT_FALSE(refused[i](builder)) << i;
        EXPECT_FALSE(builder.AddText(u"ignored", -1, {}));
        (void)builder.EndContainer();
        EXPECT_FALSE(builder.Finish()) << i;
        EXPECT_EQ(loader.GetRoot(), nullptr) << i;
    }
    for (i32 depth : {kSiDocMaxBuildDepth, kSiDocMaxBuildDepth + 1}) {
        cSiDocBuilder builder(loader);
        for (i32 i = 0; i < depth; ++i) {
            (void)builder.BeginContainer({});
        }
        for (i32 i = 0; i < depth; ++i) {
            (void)builder.EndContainer();
        }
        EXPECT_EQ(builder.Finish(), depth == kSiDocMaxBuildDepth) << depth;
    }
    cSiDocBuilder unbalanced(loader);
    ASSERT_TRUE(unbalanced.BeginContainer({}) && unbalanced.BeginContainer({}) && unbalanced.EndContainer());
    EXPECT_FALSE(unbalanced.Finish());
    EXPECT_EQ(loader.GetRoot(), nullptr);
}

// Fixed sizes below -1 read as automatic; equal link targets share one pointer; font
// ids count from 0 and an unknown id has no font.
TEST_F(DocLoaderTest, BuilderFillsBoxesAndTheDocumentTables)
{
    const i32 underlined = loader.AddFont(nullptr, 5, 13, false, true, false);
    EXPECT_EQ(underlined, 0);
    EXPECT_EQ(loader.AddFont(u"DejaVu Sans", 6, 13, true, false, false), 1);
    sSiDocStyle style;
    style.fixedWidth = -7;
    style.fixedHeight = 0;
    style.fontId = underlined;
    cSiDocBuilder builder(loader);
    std::u16string target = u"https://example.com/";
    ASSERT_TRUE(builder.BeginContainer({}) && builder.AddLink(u"a", -1, target.c_str(), style));
    target[0] = u'h'; // the document keeps its own copy
    ASSERT_TRUE(builder.AddLink(u"b", -1, u"https://example.com/", {}) && builder.EndContainer() && builder.Finish());
    auto it = loader.GetRoot()->m_children.begin();
    const auto& first = dynamic_cast<const cSiDocLink&>(**it);
    const auto& second = dynamic_cast<const cSiDocLink&>(**++it);
    EXPECT_EQ(first.m_target, second.m_target);
    EXPECT_EQ(first.m_fixedWidth, -1);
    EXPECT_EQ(first.m_fixedHeight, 0);
    EXPECT_NE(loader.GetFontFace(underlined), nullptr);
    EXPECT_EQ(loader.GetFontFace(2), nullptr);
    EXPECT_EQ(loader.GetFontFace(-1), nullptr);
}

// PngSuite pictures through the factory: basn2c08 stretched to 64 x 48 equals ImageMagick's
// -sample; basn6a08's alpha is composited over white as Pillow
// composites it (within 1 per channel).
TEST_F(DocLoaderTest, PicturesMatchImageMagickAndPillow)
{
    QEL_REQUIRE(HaveTool("convert") && PathExists("/usr/bin/python3"), "ImageMagick convert, python3 with Pillow");
    const cPicture* opaque = LoadPng("basn2c08.png");
    const cPicture* alpha = LoadPng("basn6a08.png");
    ASSERT_TRUE(opaque != nullptr && alpha != nullptr);
    const std::unique_ptr<cCanvas, void (*)(cCanvas*)> canvas(CreateMemoryCanvas(64, 48), [](cCanvas* c) { c->Delete(); });
    cSiDocImage image;
    image.m_picture = opaque;
    image.m_mode = kSiDocImageStretch;
    image.m_fixedWidth = 64;
    image.m_fixedHeight = 48;
    sSize size{};
    ASSERT_TRUE(image.Draw(canvas.get(), {}, size));
    const auto compare = [&](const std::string& command, i32 width, i32 height, const u32* pixels, i32 stride,
                             i32 tolerance) {
        const std::string rgb = RunCommand(command);
        ASSERT_EQ(rgb.size(), size_t(width) * size_t(height) * 3) << command;
        for (i32 i = 0; i < width * height; ++i) {
            const u32 ours = pixels[size_t(i / width) * size_t(stride) + size_t(i % width)];
            for (i32 channel = 0; channel < 3; ++channel) {
                const i32 theirs = u8(rgb[size_t(i) * 3 + size_t(channel)]);
                ASSERT_NEAR(i32((ours >> (16 - 8 * channel)) & 0xFF), theirs, tolerance) << command << " at " << i;
            }
        }
    };
    // These files carry gAMA 1.0, which ImageMagick applies on reading while the picture
    // library (like Pillow) keeps the stored samples: the chunk is dropped first (written
    // back out without it, the samples are the stored ones again). ImageMagick samples at
    // (d + 0.5) x 32 / 48 in floating point, which lands just below the whole source row
    // at every third row; the offset of 50.001 % keeps it on the exact value.
    const std::string pillow = "/usr/bin/python3 -c 'import sys; from PIL import Image; p = Image.open(sys.argv[1]); ";
    const std::string png = ShellQuote(SharedDataPath("pngsuite/png/"));
    compare("convert " + png + "basn2c08.png -define png:exclude-chunk=gAMA png:- | convert png:- "
            "-define sample:offset=50.001 -sample 64x48! -depth 8 rgb:-",
            64, 48, canvas->GetPixels(), canvas->GetStride(), 0);
    compare(pillow + "w = Image.new(\"RGBA\", p.size, \"white\"); "
                     "sys.stdout.buffer.write(Image.alpha_composite(w, p.convert(\"RGBA\")).convert(\"RGB\").tobytes())' " +
                png + "basn6a08.png",
            32, 32, alpha->GetPixels(), 32, 1);
}
