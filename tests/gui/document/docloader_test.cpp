#include "gui/document/docbuilder.h"
#include "gui/document/plaintextdoc.h"

#include "base/fileio.h"
#include "gui/core/keys.h"
#include "gui/document/docviewer.h"
#include "gui/guitest.h"

#include <functional>

using namespace qeltest;

namespace {

class cOpenRecordingViewer : public cSiDocViewer
{
public:
    void OpenLink(const char16_t* target) override { opened.push_back(target); }
    std::vector<std::u16string> opened;
};

class DocLoaderTest : public cGuiTest
{
protected:
    void TearDown() override
    {
        viewer.SetDocument(nullptr);
        cGuiTest::TearDown();
    }
    void Show(i32 width, i32 height)
    {
        window = Open(&form, width, height);
        ASSERT_TRUE(window != nullptr && form.AttachChild(&viewer, 0, 0, width, height));
        viewer.SetFocusable(true);
        viewer.Activate();
        ASSERT_TRUE(loader->GetRoot() != nullptr && viewer.SetDocument(loader->GetRoot()));
        host->Pump();
    }
    cPicture* LoadPng(const char* name)
    {
        cFileIO file;
        return file.Create(SharedDataPath(std::string("pngsuite/png/") + name).c_str(), FileMode::Read)
                   ? loader->LoadPicture(file)
                   : nullptr;
    }
    // Compares `rgb` from a reference command with pixels (0xAARRGGBB) within `tolerance`.
    void ExpectPixels(const std::string& command, i32 width, const u32* pixels, i32 stride, i32 tolerance)
    {
        const std::string rgb = RunCommand(command);
        ASSERT_EQ(rgb.size() % size_t(width * 3), 0u);
        for (size_t i = 0; i < rgb.size(); ++i) {
            const size_t pixel = i / 3;
            const u32 ours = pixels[pixel / size_t(width) * size_t(stride) + pixel % size_t(width)];
            ASSERT_NEAR(i32(ours >> (16 - 8 * (i % 3)) & 0xFF), u8(rgb[i]), tolerance) << command << " at " << pixel;
        }
    }

    cRecordingForm form;
    cOpenRecordingViewer viewer;
    std::unique_ptr<cSiDocLoader> loader = std::make_unique<cSiDocLoader>();
    cWindowTranslator* window = nullptr;
};

} // namespace

// Each refused call fails the whole build and leaves no root; the nesting cap is 32;
// equal link targets share one pointer; font ids count from 0, unknown ids have no font.
TEST_F(DocLoaderTest, BuilderRefusesWhatTheBoxesDoNotAllow)
{
    cPicture picture;
    sSiDocStyle badMargin, badColour, badAlignment;
    badMargin.marginLeft = kSiDocMaxMargin + 1;
    badColour.textColour = 0x1000000;
    badAlignment.alignment = 4;
    const std::vector<std::function<bool(cSiDocBuilder&)>> refused{
        [&](cSiDocBuilder& b) { return b.AddLink(u"x", -1, u"t", badMargin); },
        [&](cSiDocBuilder& b) { return b.AddText(u"x", -1, badColour); },
        [&](cSiDocBuilder& b) { return b.BeginContainer(badAlignment); },
        [&](cSiDocBuilder& b) { return b.AddImage(&picture, 2, {}); },
        [&](cSiDocBuilder& b) { return b.AddImageLink(nullptr, 0, u"t", {}); },
        [&](cSiDocBuilder& b) { return b.EndContainer() && b.BeginContainer({}); },
        [&](cSiDocBuilder& b) { return b.BeginContainer({}); }, // left open
    };
    for (size_t i = 0; i < refused.size(); ++i) {
        cSiDocBuilder builder(*loader);
        ASSERT_TRUE(builder.BeginContainer({}));
        (void)refused[i](builder);
        (void)builder.EndContainer();
        EXPECT_FALSE(builder.Finish() || loader->GetRoot() != nullptr) << i;
    }
    for (i32 depth : {kSiDocMaxBuildDepth, kSiDocMaxBuildDepth + 1}) {
        cSiDocBuilder builder(*loader);
        for (i32 i = 0; i < 2 * depth; ++i) {
            (void)(i < depth ? builder.BeginContainer({}) : builder.EndContainer());
        }
        EXPECT_EQ(builder.Finish(), depth == kSiDocMaxBuildDepth) << depth;
    }
    EXPECT_EQ(loader->AddFont(nullptr, 5, 13, false, true, false), 0);
    EXPECT_TRUE(loader->GetFontFace(0) != nullptr && loader->GetFontFace(1) == nullptr);
    std::u16string target = u"https://example.com/";
    EXPECT_EQ(loader->InternTarget(target.c_str(), -1), loader->InternTarget(u"https://example.com/x", 20));
}

// basn2c08 stretched to 64 x 48 equals ImageMagick's -sample, basn6a08 is composited over
// white as Pillow composites it (within 1). The files carry gAMA 1.0, which ImageMagick
// applies on reading while the picture library keeps the stored samples, so the chunk is
// dropped first; ImageMagick samples at (d + 0.5) x 32 / 48 in floating point, just below
// the whole row at every third row, which the offset of 50.001 % corrects.
TEST_F(DocLoaderTest, PicturesMatchImageMagickAndPillow)
{
    QEL_REQUIRE(HaveTool("convert") && PathExists("/usr/bin/python3"), "ImageMagick, python3 with Pillow");
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
    const std::string png = ShellQuote(SharedDataPath("pngsuite/png/"));
    ExpectPixels("convert " + png + "basn2c08.png -define png:exclude-chunk=gAMA png:- | convert png:- "
                 "-define sample:offset=50.001 -sample 64x48! -depth 8 rgb:-", 64, canvas->GetPixels(), canvas->GetStride(), 0);
    ExpectPixels("/usr/bin/python3 -c 'import sys; from PIL import Image; p = Image.open(sys.argv[1]).convert(\"RGBA\"); "
                 "w = Image.new(\"RGBA\", p.size, \"white\"); "
                 "sys.stdout.buffer.write(Image.alpha_composite(w, p).convert(\"RGB\").tobytes())' " + png + "basn6a08.png",
                 32, alpha->GetPixels(), 32, 1);
}

// GPL-3 in a 600 x 400 viewer at the top, half way and at the end; a press on a link, then
// the document is taken away and its loader deleted: the release opens nothing and nothing
// touches the freed document (ASan watches).
TEST_F(DocLoaderTest, LicenceSnapshotsAndNoUseOfADeletedDocument)
{
    cFileIO file;
    sSiDocTextOptions options;
    ASSERT_TRUE(file.Create("/usr/share/common-licenses/GPL-3", FileMode::Read) &&
                LoadPlainTextDocument(file, options, *loader));
    Show(600, 400);
    ExpectMatchesGolden(*host->GetCanvas(window), "doc_gpl3_top.png");
    const sPoint link{8 + 52 * 5 + 10, 8 + 15 + 8 + 7}; // <https://fsf.org/>, 52 units into its line
    host->Click(link.x, link.y);
    host->MouseDown(link.x, link.y);
    viewer.ScrollTo(0, viewer.GetScrollMaxY() / 2);
    host->Pump();
    ExpectMatchesGolden(*host->GetCanvas(window), "doc_gpl3_middle.png");
    host->KeyDown(kVkEnd);
    host->Pump();
    ExpectMatchesGolden(*host->GetCanvas(window), "doc_gpl3_end.png");
    ASSERT_TRUE(viewer.SetDocument(nullptr));
    loader.reset();
    host->MouseUp(link.x, link.y);
    host->Pump();
    EXPECT_EQ(viewer.opened, std::vector<std::u16string>{u"https://fsf.org/"});
}

// A justified paragraph with an underlined link, basn2c08 in mode 0 in a 48 x 40 box
// (green strips right and below) and as a mode-1 image link of 64 x 48.
TEST_F(DocLoaderTest, JustifiedDocumentWithLinksAndPictures)
{
    const cPicture* picture = LoadPng("basn2c08.png");
    ASSERT_NE(picture, nullptr);
    sSiDocStyle paragraph, link, natural, stretched;
    paragraph = {8, 4, 8, 0, -1, -1, kSiDocInherit, true, -1, kSiDocInherit, kSiDocAlignJustify};
    link.fontId = loader->AddFont(nullptr, 5, 13, false, true, false);
    link.textColour = 0xCC6600;
    natural = {4, 4, 0, 0, 48, 40, 0x00CC00};
    stretched = {0, 0, 0, 0, 64, 48};
    cSiDocBuilder builder(*loader);
    ASSERT_TRUE(builder.BeginContainer({}) && builder.BeginContainer(paragraph));
    for (i32 round = 0; round < 2; ++round) {
        for (const char16_t* word : {u"Pictures", u"sit", u"inline", u"between", u"the", u"words", u"of", u"a",
                                     u"justified", u"paragraph,", u"and", u"links", u"such", u"as"}) {
            ASSERT_TRUE(builder.AddText(word, -1, {}));
        }
        ASSERT_TRUE(round == 1 || (builder.AddLink(u"<https://example.com/>", -1, u"https://example.com/", link) &&
                                   builder.AddText(u"show", -1, {}) &&
                                   builder.AddImage(picture, kSiDocImageNatural, natural) &&
                                   builder.AddText(u"underlined", -1, {}) &&
                                   builder.AddImageLink(picture, kSiDocImageStretch, u"mailto:a@b", stretched)));
    }
    ASSERT_TRUE(builder.EndContainer() && builder.EndContainer() && builder.Finish());
    Show(300, 200);
    ExpectMatchesGolden(*host->GetCanvas(window), "doc_justified_pictures.png");
}
