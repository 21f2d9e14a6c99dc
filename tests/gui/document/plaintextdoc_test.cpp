#include "gui/document/plaintextdoc.h"

#include "base/memio.h"
#include "gui/core/canvas.h"
#include "platform/softgraphics.h"
#include "support/scratchfolder.h"
#include "support/shellcommand.h"
#include "support/testsupport.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>

using namespace qeltest;

namespace {

std::string Narrow(const std::u16string& text)
{
    return {text.begin(), text.end()}; // the texts are ASCII, U+FFFD becomes 0xFD
}

// Collects link rectangles as lines of their targets by top; words joined by spaces.
class PlainTextDocumentTest : public ::testing::Test, public cSiDocActiveTarget
{
protected:
    void SetUp() override { ASSERT_TRUE(InstallSoftwareGraphics(eTextFont::FixedTest)); }
    void ClearActiveAreas() override { lines.clear(); }
    bool AddActiveArea(const char16_t* target, i32 x, i32 y, i32 width, i32 height) override
    {
        lines[y] += (lines[y].empty() ? "" : " ") + Narrow(target);
        return true;
    }
    bool Load(const std::string& bytes, sSiDocTextOptions& options)
    {
        cBufWrapperIO stream(reinterpret_cast<const u8*>(bytes.data()), bytes.size());
        return LoadPlainTextDocument(stream, options, loader);
    }
    // The paragraphs' words, "text<tab>target" for links.
    std::vector<std::vector<std::string>> Paragraphs() const
    {
        std::vector<std::vector<std::string>> out;
        for (const cSiDocBox* child : loader.GetRoot()->m_children) {
            const auto& container = dynamic_cast<const cSiDocContainer&>(*child);
            out.emplace_back();
            for (const cSiDocBox* box : container.m_children) {
                const auto* link = dynamic_cast<const cSiDocLink*>(box);
                out.back().push_back(Narrow(dynamic_cast<const cSiDocText&>(*box).GetText()) +
                                     (link != nullptr ? "\t" + Narrow(link->m_target) : ""));
            }
        }
        EXPECT_TRUE(!out.empty() && out.back().empty()) << "the bottom padding";
        out.pop_back();
        return out;
    }

    cSiDocLoader loader;
    std::map<i32, std::string> lines;
};

} // namespace

// Paragraph, word and link counts of two licences, each paragraph of three licences laid
// out as links at 5N pixels breaking as Python's textwrap breaks at N columns; GPL-3 at
// 120 columns makes 350 lines.
TEST_F(PlainTextDocumentTest, LicencesMatchPythonTextwrap)
{
    QEL_REQUIRE(PathExists("/usr/bin/python3"), "python3");
    const std::string oracle =
        "import re,sys,textwrap\n"
        "text=open(sys.argv[1],encoding='utf-8').read().replace('\\r\\n','\\n')\n"
        "paras=[' '.join(p.split()) for p in re.split(r'\\n[ \\t\\r\\f\\v]*\\n',text)]\n"
        "for n in (40,120,200):\n"
        " print(sum(1 for p in paras if p), len(text.split()))\n"
        " for p in (p for p in paras if p): print('\\n'.join(textwrap.wrap(p,n,break_long_words=False,"
        "break_on_hyphens=False)) + '\\n')\n";
    const std::unique_ptr<cCanvas, void (*)(cCanvas*)> canvas(CreateMemoryCanvas(1, 1), [](cCanvas* c) { c->Delete(); });
    const std::map<std::string, i32> links{{"GPL-3", 4}, {"Apache-2.0", 2}, {"LGPL-2.1", 0}};
    for (const auto& [name, linkCount] : links) {
        const std::string path = "/usr/share/common-licenses/" + name;
        sSiDocTextOptions options;
        ASSERT_TRUE(Load(ReadText(path), options));
        std::istringstream expected(RunCommand("/usr/bin/python3 -c " + ShellQuote(oracle) + " " + ShellQuote(path)));
        for (i32 columns : {40, 120, 200}) {
            size_t paragraphs = 0, expectedWords = 0, words = 0, lineCount = 0;
            std::multiset<std::string> targets;
            expected >> paragraphs >> expectedWords >> std::ws;
            EXPECT_EQ(Paragraphs().size(), paragraphs) << name;
            for (const auto& paragraph : Paragraphs()) {
                cSiDocContainer container;
                for (const std::string& word : paragraph) {
                    auto* link = new cSiDocLink();
                    const std::string text = word.substr(0, word.find('\t'));
                    ASSERT_TRUE(link->SetText(std::u16string(text.begin(), text.end()).c_str(), -1));
                    ASSERT_TRUE(container.m_children.Append(link));
                    link->m_target = link->GetText();
                    targets.insert(word.find('\t') != std::string::npos ? word.substr(word.find('\t') + 1) : "");
                }
                const sSiDocDrawContext context{nullptr, 0, 0, 0, 0, 5 * columns, -1, this};
                sSize size{};
                ClearActiveAreas();
                ASSERT_TRUE(container.Draw(canvas.get(), context, size));
                for (const auto& [top, line] : lines) {
                    std::string wrapped;
                    ASSERT_TRUE(std::getline(expected, wrapped) && line == wrapped) << name << " " << columns;
                }
                std::string blank;
                ASSERT_TRUE(std::getline(expected, blank) && blank.empty()) << name << " " << columns;
                words += paragraph.size();
                lineCount += lines.size();
            }
            EXPECT_EQ(i32(targets.size() - targets.count("")), linkCount) << name;
            EXPECT_EQ(words, expectedWords) << name;
            EXPECT_TRUE(name != "GPL-3" || columns != 120 || lineCount == 350) << lineCount;
        }
    }
}

// BOM, the three line ends, blank lines of blanks and form feeds, dropped control units,
// invalid bytes, link punctuation, the bottom padding and the 8 MiB cap.
TEST_F(PlainTextDocumentTest, ReadsLinesBlanksControlsAndTheCap)
{
    sSiDocTextOptions options;
    ASSERT_TRUE(Load("\xEF\xBB\xBF" "one\r\ntwo\rthr\x01" "ee\t\f\x0B(HTTPS://a.b/c).\n \f\t\r\n\n\xFF\n\x0C\nmailto:x@y",
                     options));
    EXPECT_EQ(Paragraphs(), (std::vector<std::vector<std::string>>{
                                {"one", "two", "three", "(HTTPS://a.b/c).\tHTTPS://a.b/c"}, {"\xFD"}, {"mailto:x@y\tmailto:x@y"}}));
    EXPECT_EQ((*std::next(loader.GetRoot()->m_children.begin(), 3))->m_fixedHeight, 8);
    EXPECT_FALSE(options.truncated);
    std::string big(size_t(kSiDocMaxPlainTextBytes) + 10, 'a');
    big[kSiDocMaxPlainTextBytes - 2] = ' ';
    ASSERT_TRUE(Load(big, options));
    EXPECT_TRUE(options.truncated);
    EXPECT_EQ(Paragraphs()[0][1], "a");
}
