#include "gui/document/plaintextdoc.h"

#include "base/subrange.h"
#include "base/textfile.h"
#include "gui/core/font.h"
#include "gui/core/theme.h"
#include "gui/document/docbuilder.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace {

constexpr i32 kLinkColourIndex = 7;

bool IsBlankUnit(char16_t unit)
{
    return unit == u'\t' || unit == u' ' || unit == u'\r' || unit == u'\f' || unit == u'\v';
}

bool IsWordBreak(char16_t unit)
{
    return unit == u'\t' || unit == u' ' || unit == u'\f' || unit == u'\v';
}

bool StartsWithNoCase(std::u16string_view text, std::u16string_view prefix)
{
    if (text.size() < prefix.size()) {
        return false;
    }
    for (size_t i = 0; i < prefix.size(); ++i) {
        char16_t unit = text[i];
        if (unit >= u'A' && unit <= u'Z') {
            unit = char16_t(unit - u'A' + u'a');
        }
        if (unit != prefix[i]) {
            return false;
        }
    }
    return true;
}

// The address a word links to, or an empty view when it is no link.
std::u16string_view LinkTarget(std::u16string_view word)
{
    const size_t start = word.find_first_not_of(u"<([\"");
    if (start == std::u16string_view::npos) {
        return {};
    }
    std::u16string_view address = word.substr(start);
    if (!StartsWithNoCase(address, u"http://") && !StartsWithNoCase(address, u"https://") &&
        !StartsWithNoCase(address, u"mailto:")) {
        return {};
    }
    const size_t end = address.find_last_not_of(u">)].,;:!?\"'");
    return address.substr(0, end == std::u16string_view::npos ? 0 : end + 1);
}

class cPlainTextBuilder
{
public:
    cPlainTextBuilder(cSiDocLoader& loader, const sSiDocTextOptions& options)
        : m_builder(loader), m_options(options)
    {
        m_wordStyle.fontId = options.fontId;
        m_wordStyle.textColour = options.textColour;
        m_linkStyle.fontId = loader.AddFont(GetUiFontName(), 5, 13, false, true, false);
        m_linkStyle.textColour = GetTheme()->GetColour(kLinkColourIndex);
    }

    bool Begin() { return m_builder.BeginContainer(sSiDocStyle{}); }

    // One line of the text.
    bool AddLine(const char16_t* line, size_t length)
    {
        const std::u16string_view text(line != nullptr ? line : u"", line != nullptr ? length : 0);
        if (std::all_of(text.begin(), text.end(), IsBlankUnit)) {
            return EndParagraph();
        }
        size_t position = 0;
        while (position < text.size()) {
            while (position < text.size() && IsWordBreak(text[position])) {
                ++position;
            }
            m_word.clear();
            for (; position < text.size() && !IsWordBreak(text[position]); ++position) {
                if (text[position] >= 0x20) {
                    m_word.push_back(text[position]);
                }
            }
            if (!m_word.empty() && !AddWord()) {
                return false;
            }
        }
        return true;
    }

    bool Finish()
    {
        sSiDocStyle bottom;
        bottom.breakBefore = true;
        bottom.fixedHeight = m_options.padding;
        return EndParagraph() && m_builder.BeginContainer(bottom) && m_builder.EndContainer() &&
               m_builder.EndContainer() && m_builder.Finish();
    }

private:
    bool AddWord()
    {
        if (!m_inParagraph) {
            sSiDocStyle paragraph;
            paragraph.breakBefore = true;
            paragraph.alignment = m_options.alignment;
            paragraph.marginLeft = m_options.padding;
            paragraph.marginRight = m_options.padding / 2;
            paragraph.marginTop = m_paragraphs == 0 ? m_options.padding : m_options.paragraphSpacing;
            paragraph.fontId = m_options.fontId;
            if (!m_builder.BeginContainer(paragraph)) {
                return false;
            }
            m_inParagraph = true;
            ++m_paragraphs;
        }
        const i32 length = i32(std::min<size_t>(m_word.size(), INT32_MAX));
        const std::u16string_view target = LinkTarget(m_word);
        if (target.empty()) {
            return m_builder.AddText(m_word.data(), length, m_wordStyle);
        }
        m_target.assign(target);
        return m_builder.AddLink(m_word.data(), length, m_target.c_str(), m_linkStyle);
    }

    bool EndParagraph()
    {
        if (!m_inParagraph) {
            return true;
        }
        m_inParagraph = false;
        return m_builder.EndContainer();
    }

    cSiDocBuilder m_builder;
    const sSiDocTextOptions& m_options;
    sSiDocStyle m_wordStyle;
    sSiDocStyle m_linkStyle;
    std::u16string m_word;
    std::u16string m_target;
    bool m_inParagraph = false;
    i32 m_paragraphs = 0;
};

} // namespace

bool LoadPlainTextDocument(cFileIOTarget& stream, sSiDocTextOptions& options, cSiDocLoader& loader)
{
    options.truncated = false;
    const u64 size = stream.GetSize();
    options.truncated = size != kUnknownStreamSize && size > kSiDocMaxPlainTextBytes;
    cFileIOSubRange window(&stream, 0, kSiDocMaxPlainTextBytes);
    std::array<u8, 3> head{};
    const bool bom = window.Seek(0) && window.Read(head.data(), 3) == 3 && head[0] == 0xEF && head[1] == 0xBB &&
                     head[2] == 0xBF;
    cTextFileReader reader(&window, bom ? 3 : 0, eTextEncoding::Utf8);
    try {
        cPlainTextBuilder builder(loader, options);
        if (!builder.Begin()) {
            return false;
        }
        _guardchar<char16_t> line;
        while (reader.ReadLine(line)) {
            if (!builder.AddLine(line.Get(), line.Length())) {
                return false;
            }
        }
        return builder.Finish();
    } catch (const std::bad_alloc&) {
        return false;
    }
}
