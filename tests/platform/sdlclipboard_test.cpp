// The system clipboard through the SDL host, with xclip as the other program: UTF-8 both
// ways, including what does not convert cleanly.
#include "gui/core/form.h"
#include "sdltesttools.h"

namespace {

using qeltest::cRunScript;
using qeltest::cChildProcess;

class SdlClipboard : public qeltest::cSdlTest
{
protected:
    // Offers `bytes` as the clipboard's UTF-8 text from xclip until the tool is stopped,
    // and reads it back through the form.
    std::u16string ReadOffered(cCustomForm* form, const std::string& bytes)
    {
        cChildProcess xclip;
        EXPECT_TRUE(xclip.Start({"xclip", "-selection", "clipboard", "-i", "-quiet"}, {}, {}, bytes));
        _guardchar<char16_t> text;
        std::u16string read;
        // xclip takes the selection shortly after it starts.
        PumpUntil([&] {
            read = form->GetClipboardText(text) ? std::u16string(text.GetOrEmpty()) : u"";
            return !read.empty() && read != u"previous";
        });
        return read;
    }
    // What another program reads of the clipboard, as UTF-8 bytes.
    std::string ReadAsOtherProgram()
    {
        std::string output;
        EXPECT_TRUE(RunTool({"xclip", "-selection", "clipboard", "-t", "UTF8_STRING", "-o"}, &output));
        return output;
    }
};

TEST_F(SdlClipboard, TextGoesBothWaysAsUtf8)
{
    QEL_REQUIRE_X_TOOLS();
    std::u16string fromXclip;
    std::string toXclip;
    std::string withSurrogate;
    bool rawFormat = true;
    InDialog([&](cCustomForm* form) {
        ASSERT_TRUE(form->SetClipboardText(u"previous", -1));
        fromXclip = ReadOffered(form, "Gr\xc3\xbc\xc3\x9f" "e \xe2\x82\xac");
        // The length bounds the text; reading it needs this loop to pump (SDL serves the
        // selection from its event queue).
        ASSERT_TRUE(form->SetClipboardText(u"abc€ and more", 4));
        toXclip = ReadAsOtherProgram();
        // A lone surrogate has no UTF-8 form: it goes out as U+FFFD.
        const char16_t lone[] = {u'a', 0xD800, u'b', 0};
        ASSERT_TRUE(form->SetClipboardText(lone, -1));
        withSurrogate = ReadAsOtherProgram();
        _typebuf<u8> bytes;
        rawFormat = form->ReadClipboard(bytes);
    });
    EXPECT_EQ(fromXclip, u"Grüße €");
    EXPECT_EQ(toXclip, "abc\xe2\x82\xac");
    EXPECT_EQ(withSurrogate, "a\xef\xbf\xbd" "b");
    // Only text travels through SDL: the toolkit's own format is never there.
    EXPECT_FALSE(rawFormat);
}

// Bytes that are not UTF-8 from another program become U+FFFD, one per broken sequence,
// rather than being dropped or read past.
TEST_F(SdlClipboard, BrokenUtf8FromAnotherProgramBecomesReplacementCharacters)
{
    QEL_REQUIRE_X_TOOLS();
    std::u16string read;
    InDialog([&](cCustomForm* form) {
        ASSERT_TRUE(form->SetClipboardText(u"previous", -1));
        read = ReadOffered(form, "x\xff" "y\xe2\x82" "z\xc3");
    });
    EXPECT_EQ(read, u"x\xFFFDy\xFFFDz\xFFFD");
}

} // namespace
