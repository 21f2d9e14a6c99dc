// Documents from the loader in the viewer: snapshots of a licence and of a justified
// document with links and pictures, and the lifetime of a document shown and deleted.
#include "gui/controls/docviewer.h"
#include "gui/core/keys.h"
#include "package/doc/docbuilder.h"
#include "package/doc/plaintextdoc.h"

#include "base/fileio.h"
#include "gui/guitest.h"

using namespace qeltest;

namespace {

class cOpenRecordingViewer : public cSiDocViewer
{
public:
    void OpenLink(const char16_t* target) override { opened.push_back(target); }
    std::vector<std::u16string> opened;
};

class DocDisplayTest : public cGuiTest
{
protected:
    void Show(i32 width, i32 height)
    {
        window = Open(&form, width, height);
        ASSERT_NE(window, nullptr);
        ASSERT_TRUE(form.AttachChild(&viewer, 0, 0, width, height));
        viewer.SetFocusable(true);
        viewer.Activate();
        ASSERT_NE(loader->GetRoot(), nullptr);
        ASSERT_TRUE(viewer.SetDocument(loader->GetRoot()));
        host->Pump();
    }
    void LoadLicence(const char* name, i32 alignment = kSiDocAlignLeft)
    {
        cFileIO file;
        sSiDocTextOptions options;
        options.alignment = alignment;
        ASSERT_TRUE(file.Create((std::string("/usr/share/common-licenses/") + name).c_str(), FileMode::Read));
        ASSERT_TRUE(LoadPlainTextDocument(file, options, *loader));
    }
    void TearDown() override
    {
        viewer.SetDocument(nullptr);
        cGuiTest::TearDown();
    }
    void ExpectSnapshot(const std::string& name) { ExpectMatchesGolden(*host->GetCanvas(window), name); }

    cRecordingForm form;
    cOpenRecordingViewer viewer;
    std::unique_ptr<cSiDocLoader> loader = std::make_unique<cSiDocLoader>();
    cWindowTranslator* window = nullptr;
};

} // namespace

// GPL-3 in a 600 x 400 viewer: the top, the middle and the end with its bottom padding.
TEST_F(DocDisplayTest, LicenceSnapshots)
{
    LoadLicence("GPL-3");
    Show(600, 400);
    ExpectSnapshot("doc_gpl3_top.png");
    viewer.ScrollTo(0, viewer.GetScrollMaxY() / 2);
    host->Pump();
    ExpectSnapshot("doc_gpl3_middle.png");
    host->KeyDown(kVkEnd);
    host->Pump();
    ExpectSnapshot("doc_gpl3_end.png");
}

// A justified paragraph with links around PngSuite basn2c08 in mode 0 (a 48 x 40 box with
// a green background beside and below the 32 x 32 picture) and mode 1 (64 x 48).
TEST_F(DocDisplayTest, JustifiedDocumentWithLinksAndPictures)
{
    cFileIO file;
    ASSERT_TRUE(file.Create(SharedDataPath("pngsuite/png/basn2c08.png").c_str(), FileMode::Read));
    const cPicture* picture = loader->LoadPicture(file);
    ASSERT_NE(picture, nullptr);
    const i32 linkFont = loader->AddFont(nullptr, 5, 13, false, true, false);
    cSiDocBuilder builder(*loader);
    sSiDocStyle paragraph, link, natural, stretched;
    paragraph.alignment = kSiDocAlignJustify;
    paragraph.marginLeft = paragraph.marginTop = 8;
    paragraph.marginRight = 4;
    paragraph.breakBefore = true;
    link.fontId = linkFont;
    link.textColour = 0xCC6600;
    natural.fixedWidth = 48;
    natural.fixedHeight = 40;
    natural.background = 0x00CC00;
    natural.marginLeft = natural.marginRight = 4;
    stretched.fixedWidth = 64;
    stretched.fixedHeight = 48;
    ASSERT_TRUE(builder.BeginContainer({}) && builder.BeginContainer(paragraph));
    const char16_t* words[] = {u"Pictures", u"sit", u"inline", u"between", u"the", u"words", u"of", u"a",
                               u"justified", u"paragraph,", u"and", u"links", u"such", u"as"};
    for (const char16_t* word : words) {
        ASSERT_TRUE(builder.AddText(word, -1, {}));
    }
    ASSERT_TRUE(builder.AddLink(u"<https://example.com/>", -1, u"https://example.com/", link) &&
                builder.AddText(u"show", -1, {}) && builder.AddImage(picture, kSiDocImageNatural, natural) &&
                builder.AddText(u"underlined", -1, {}) && builder.AddImageLink(picture, kSiDocImageStretch,
                                                                             u"mailto:a@b", stretched));
    for (const char16_t* word : words) {
        ASSERT_TRUE(builder.AddText(word, -1, {}));
    }
    ASSERT_TRUE(builder.EndContainer() && builder.EndContainer() && builder.Finish());
    Show(300, 200);
    ExpectSnapshot("doc_justified_pictures.png");
}

// A press on a link, then the document is taken away and its loader deleted: the release
// opens nothing and nothing touches the freed document (ASan watches).
TEST_F(DocDisplayTest, NoUseOfADeletedDocument)
{
    LoadLicence("GPL-3");
    Show(600, 400);
    // "<https://fsf.org/>" on the second paragraph's first line, after "Copyright (C) 2007
    // Free Software Foundation, Inc. ": 8 + 52 x 5 pixels in, top 8 + 15 + 8.
    const sPoint link{8 + 52 * 5 + 10, 8 + 15 + 8 + 7};
    host->Click(link.x, link.y);
    host->Pump();
    ASSERT_EQ(viewer.opened, std::vector<std::u16string>{u"https://fsf.org/"});
    host->MouseDown(link.x, link.y);
    ASSERT_TRUE(viewer.SetDocument(nullptr));
    loader.reset();
    host->MouseUp(link.x, link.y);
    host->MouseMove(link.x, link.y + 1);
    host->Pump();
    EXPECT_EQ(viewer.opened.size(), 1u);
    EXPECT_EQ(host->GetCursor(window), kCursorArrow);
}
