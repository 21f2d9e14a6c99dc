#include "package/doc/plaintextdoc.h"

#include "base/fileio.h"
#include "base/memio.h"
#include "gui/core/canvas.h"
#include "platform/softgraphics.h"
#include "support/shellcommand.h"
#include "support/testsupport.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

using namespace qeltest;

namespace {

const std::string kLicences = "/usr/share/common-licenses/";

std::string Narrow(const char16_t* text)
{
    std::string out;
    for (; *text != 0; ++text) {
        out.push_back(*text < 0x80 ? char(*text) : '?');
    }
    return out;
}

// Collects the drawn rectangles of links whose targets are their own texts.
class cLineCollector : public cSiDocActiveTarget
{
public:
    void ClearActiveAreas() override { lines.clear(); }
    bool AddActiveArea(const char16_t* target, i32 x, i32 y, i32 width, i32 height) override
    {
        std::string& line = lines[y];
        line += (line.empty() ? "" : " ") + Narrow(target);
        return true;
    }
    std::map<i32, std::string> lines; // by top
};

class PlainTextDocumentTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(InstallSoftwareGraphics(eTextFont::FixedTest)); }

    bool Load(const std::string& path, sSiDocTextOptions options = {})
    {
        cFileIO file;
        return file.Create(path.c_str(), FileMode::Read) && LoadPlainTextDocument(file, options, loader);
    }
    bool LoadBytes(const std::string& bytes, sSiDocTextOptions& options)
    {
        cBufWrapperIO stream(reinterpret_cast<const u8*>(bytes.data()), bytes.size());
        return LoadPlainTextDocument(stream, options, loader);
    }
    // The paragraphs (all root children but the bottom padding) as words.
    std::vector<std::vector<const cSiDocText*>> Paragraphs() const
    {
        std::vector<std::vector<const cSiDocText*>> out;
        for (const cSiDocBox* child : loader.GetRoot()->m_children) {
            const auto& container = dynamic_cast<const cSiDocContainer&>(*child);
            if (!container.m_children.IsEmpty()) {
                out.emplace_back();
                for (const cSiDocBox* word : container.m_children) {
                    out.back().push_back(&dynamic_cast<const cSiDocText&>(*word));
                }
            }
        }
        return out;
    }

    cSiDocLoader loader;
};

} // namespace

// Paragraph, word and link counts of two licences; equal targets share one pointer.
TEST_F(PlainTextDocumentTest, LicencesGiveTheirParagraphsWordsAndLinks)
{
    struct sCase
    {
        const char* file;
        size_t paragraphs;
        size_t words;
        std::vector<std::string> links;
    };
    const std::vector<sCase> cases{
        {"GPL-3", 122, 5644,
         {"https://fsf.org/", "https://www.gnu.org/licenses/", "https://www.gnu.org/licenses/",
          "https://www.gnu.org/licenses/why-not-lgpl.html"}},
        {"Apache-2.0", 33, 1581, {"http://www.apache.org/licenses/", "http://www.apache.org/licenses/LICENSE-2.0"}},
    };
    for (const sCase& licence : cases) {
        ASSERT_TRUE(Load(kLicences + licence.file)) << licence.file;
        size_t words = 0;
        std::vector<std::string> links;
        std::set<const char16_t*> pointers;
        for (const auto& paragraph : Paragraphs()) {
            words += paragraph.size();
            for (const cSiDocText* word : paragraph) {
                if (const auto* link = dynamic_cast<const cSiDocLink*>(word)) {
                    links.push_back(Narrow(link->m_target));
                    pointers.insert(link->m_target);
                }
            }
        }
        EXPECT_EQ(Paragraphs().size(), licence.paragraphs) << licence.file;
        EXPECT_EQ(words, licence.words) << licence.file;
        EXPECT_EQ(links, licence.links) << licence.file;
        EXPECT_EQ(pointers.size(), std::set<std::string>(links.begin(), links.end()).size()) << licence.file;
    }
}

// Every paragraph of three licences, laid out as links at 5N pixels with the test font,
// breaks into the lines Python's textwrap makes at N columns.
TEST_F(PlainTextDocumentTest, LinesMatchPythonTextwrap)
{
    QEL_REQUIRE(PathExists("/usr/bin/python3"), "python3");
    const std::string oracle =
        "import re,sys,textwrap\n"
        "text=open(sys.argv[1],encoding='utf-8').read()\n"
        "paras=[' '.join(p.split()) for p in re.split(r'\\n[ \\t\\r\\f\\v]*\\n',text.replace('\\r\\n','\\n'))]\n"
        "for n in (40,120,200):\n"
        " for p in paras:\n"
        "  if p:\n"
        "   for l in textwrap.wrap(p,n,break_long_words=False,break_on_hyphens=False): print(l)\n"
        "   print()\n";
    const std::unique_ptr<cCanvas, void (*)(cCanvas*)> canvas(CreateMemoryCanvas(1100, 2000),
                                                              [](cCanvas* c) { c->Delete(); });
    ASSERT_NE(canvas, nullptr);
    for (const char* file : {"GPL-3", "Apache-2.0", "LGPL-2.1"}) {
        ASSERT_TRUE(Load(kLicences + file));
        std::istringstream expected(RunCommand("/usr/bin/python3 -c " + ShellQuote(oracle) + " " +
                                               ShellQuote(kLicences + file)));
        for (i32 columns : {40, 120, 200}) {
            size_t lineCount = 0;
            for (const auto& paragraph : Paragraphs()) {
                cSiDocContainer container;
                for (const cSiDocText* word : paragraph) {
                    auto* link = new cSiDocLink();
                    ASSERT_TRUE(link->SetText(word->GetText(), -1) && container.m_children.Append(link));
                    link->m_target = link->GetText();
                }
                cLineCollector collector;
                sSiDocDrawContext context;
                context.right = 5 * columns;
                context.target = &collector;
                sSize size{};
                ASSERT_TRUE(container.Draw(canvas.get(), context, size));
                for (const auto& [top, line] : collector.lines) {
                    std::string wrapped;
                    std::getline(expected, wrapped);
                    ASSERT_EQ(line, wrapped) << file << " at " << columns << ", top " << top;
                }
                std::string blank;
                ASSERT_TRUE(std::getline(expected, blank) && blank.empty()) << file << " at " << columns;
                lineCount += collector.lines.size();
            }
            if (std::string(file) == "GPL-3" && columns == 120) {
                EXPECT_EQ(lineCount, 350u);
            }
        }
    }
}

// BOM, the three line ends, blank lines of blanks and form feeds, dropped control units,
// invalid bytes, links without their punctuation, and the 8 MiB cap.
TEST_F(PlainTextDocumentTest, ReadsLinesBlanksControlsAndTheCap)
{
    sSiDocTextOptions options;
    ASSERT_TRUE(LoadBytes("\xEF\xBB\xBF" "one\r\ntwo\rthr\x01" "ee\t\f\x0B(HTTPS://a.b/c).\n \f\t\r\n\n\xFF\n\x0C\nmailto:x@y",
                          options));
    std::vector<std::string> words;
    for (const auto& paragraph : Paragraphs()) {
        for (const cSiDocText* word : paragraph) {
            const auto* link = dynamic_cast<const cSiDocLink*>(word);
            words.push_back(Narrow(word->GetText()) + (link != nullptr ? ">" + Narrow(link->m_target) : ""));
        }
        words.push_back("|");
    }
    EXPECT_EQ(words, (std::vector<std::string>{"one", "two", "three", "(HTTPS://a.b/c).>HTTPS://a.b/c", "|", "?", "|",
                                               "mailto:x@y>mailto:x@y", "|"}));
    EXPECT_FALSE(options.truncated);
    const auto* bottom = dynamic_cast<const cSiDocContainer*>(*std::next(loader.GetRoot()->m_children.begin(), 3));
    ASSERT_NE(bottom, nullptr);
    EXPECT_TRUE(bottom->m_children.IsEmpty() && bottom->m_fixedHeight == 8);

    std::string big(size_t(kSiDocMaxPlainTextBytes) + 10, 'a');
    big[kSiDocMaxPlainTextBytes - 2] = ' ';
    ASSERT_TRUE(LoadBytes(big, options));
    EXPECT_TRUE(options.truncated);
    ASSERT_EQ(Paragraphs().size(), 1u);
    EXPECT_EQ(Paragraphs()[0][1]->GetLength(), 1) << "the text stops at the cap";
}
