// The XPM reader. Glossary (XPM Manual, "The XPM Format", version 3):
//   values   the first string: width, height, ncolors and cpp, the characters per pixel
//   colours  ncolors strings: cpp key characters, then pairs of a visual key ("c" colour,
//            "g" grey, "g4" four greys, "m" mono, "s" symbolic name) and a colour: None,
//            #hex or an X11 colour name; the first of c, g, g4, m present is used
//   pixels   height strings of width x cpp characters each, from the top row
//   text     "/* XPM */", a declaration "static char *name[] = {", the quoted strings
//            separated by commas, "};"; C comments may come between any two tokens
//
// The text is read line by line as UTF-16 and cut into tokens by a small state machine
// whose stage says what must come next. The parse stops after the last pixel row without
// reading on.
#include "picture/formats/xpmreader.h"

#include "base/format.h"
#include "base/textfile.h"
#include "picture/formats/x11colours.h"

#include <cstring>
#include <utility>

namespace {

constexpr u32 kInfoBytes = 255;
constexpr u8 kByteOrderMark[3] = {0xEF, 0xBB, 0xBF};
constexpr i32 kMostCharactersPerPixel = 4;
// The values string is scanned from a narrow copy of at most this many units.
constexpr size_t kValuesCopy = 255;

enum class eXpmStage
{
    kExpectOpener,      // the "/* XPM" comment must come first
    kExpectDeclaration, // a line starting with "static" and holding "{"
    kExpectValues,
    kColours,
    kRows,
    kDone, // the last row is read; the rest of the text is not
};

inline bool IsBlank(char16_t unit)
{
    return unit == u'\t' || unit == u'\n' || unit == u'\r' || unit == u' ';
}

// Lines are zero-terminated and scanned once: every scan stops at the terminator, so
// no line's length is computed apart.
inline bool StartsWith(const char16_t* text, const char* prefix)
{
    for (; *prefix != '\0'; ++text, ++prefix) {
        if (*text != char16_t(*prefix)) {
            return false;
        }
    }
    return true;
}

// The position of `unit` at or after `from`, or of the terminator.
inline size_t Find(const char16_t* text, size_t from, char16_t unit)
{
    while (text[from] != unit && text[from] != 0) {
        ++from;
    }
    return from;
}

// The key of a pixel: the low 8 bits of each of its characters, the first in the lowest
// byte.
inline u32 PackKey(const char16_t* text, i32 cpp)
{
    u32 key = 0;
    for (i32 i = 0; i < cpp; ++i) {
        key |= u32(text[i] & 0xFF) << (8 * i);
    }
    return key;
}

// Keys to colours: a direct table for one and two characters per pixel (an entry is
// kPresent | colour), an open-addressing hash table (which grows with the colours actually
// read) for three and four.
class cXpmColourMap
{
  public:
    [[nodiscard]] bool Start(i32 cpp)
    {
        m_used = 0;
        if (cpp <= 2) {
            return AllocateCleared(m_direct, i64(1) << (8 * cpp));
        }
        m_bits = kFirstHashBits;
        return AllocateCleared(m_hash, i64(1) << m_bits);
    }
    // False for a key already present or when memory is short.
    [[nodiscard]] bool Insert(u32 key, u32 colour)
    {
        if (m_direct.GetData() != nullptr) {
            u64& entry = m_direct.GetData()[key];
            const bool fresh = entry == 0;
            entry = kPresent | colour;
            return fresh;
        }
        if (m_used * 2 >= u64(m_hash.GetCount()) && !Grow()) {
            return false;
        }
        sSlot* slot = HashSlot(key);
        if (slot->used) {
            return false;
        }
        *slot = {key, colour, true};
        ++m_used;
        return true;
    }
    // The colour of the pixel whose kCpp characters start at `text`.
    template <i32 kCpp> [[nodiscard]] bool Find(const char16_t* text, u32& colour)
    {
        const u32 key = PackKey(text, kCpp);
        if constexpr (kCpp <= 2) {
            const u64 entry = m_direct.GetData()[key];
            colour = u32(entry);
            return entry != 0;
        }
        const sSlot* slot = HashSlot(key);
        colour = slot->colour;
        return slot->used;
    }

  private:
    static constexpr u64 kPresent = u64(1) << 32;
    static constexpr i32 kFirstHashBits = 10;

    struct sSlot
    {
        u32 key;
        u32 colour;
        bool used;
    };

    template <class T> [[nodiscard]] static bool AllocateCleared(_typebuf<T>& table, i64 count)
    {
        if (!table.Alloc(count)) {
            return false;
        }
        std::memset(table.GetData(), 0, size_t(count) * sizeof(T));
        return true;
    }
    // The slot holding the key, or the empty one where probing for it stops.
    sSlot* HashSlot(u32 key)
    {
        sSlot* slots = m_hash.GetData();
        const u64 mask = (u64(1) << m_bits) - 1;
        u64 i = (u64(key) * 0x9E3779B97F4A7C15) >> (64 - m_bits);
        while (slots[i].used && slots[i].key != key) {
            i = (i + 1) & mask;
        }
        return slots + i;
    }
    [[nodiscard]] bool Grow()
    {
        _typebuf<sSlot> old = std::move(m_hash);
        if (m_bits >= 30 || !AllocateCleared(m_hash, i64(1) << (m_bits + 1))) {
            return false;
        }
        ++m_bits;
        for (i32 i = 0; i < old.GetCount(); ++i) {
            if (old.GetData()[i].used) {
                *HashSlot(old.GetData()[i].key) = old.GetData()[i];
            }
        }
        return true;
    }

    _typebuf<u64> m_direct;
    _typebuf<sSlot> m_hash;
    i32 m_bits = 0;
    u64 m_used = 0;
};

// Width, height, colour count and characters per pixel from the start of the values
// string, with the limits both the probe and the decode apply.
bool ScanValues(const char* text, i32& width, i32& height, i32& colours, i32& cpp)
{
    return ScanNarrow(text, "%d %d %d %d", &width, &height, &colours, &cpp) == 4 && width >= 1 &&
           height >= 1 && colours >= 1 && cpp >= 1 && cpp <= kMostCharactersPerPixel;
}

} // namespace

struct sXpmContext
{
    explicit sXpmContext(cPictXPM& picture) : m_picture(picture) {}

    [[nodiscard]] bool Parse(cFileIOTarget* stream);

  private:
    [[nodiscard]] bool ParseLine(const char16_t* line);
    [[nodiscard]] bool ProcessString(const char16_t* text, size_t length);
    [[nodiscard]] bool ProcessValues(const char16_t* text, size_t length);
    [[nodiscard]] bool ProcessColour(const char16_t* text, size_t length);
    [[nodiscard]] bool StartImage();
    [[nodiscard]] bool ProcessRow(const char16_t* text, size_t length);
    template <i32 kCpp> [[nodiscard]] bool ConvertRow(const char16_t* text, u32* out);

    cPictXPM& m_picture;
    eXpmStage m_stage = eXpmStage::kExpectOpener;
    bool m_inComment = false;
    bool m_expectComma = false;
    i32 m_width = 0;
    i32 m_height = 0;
    i32 m_colourCount = 0;
    i32 m_cpp = 0;
    i32 m_coloursRead = 0;
    i32 m_rowsRead = 0;
    bool m_streaming = false;
    _typebuf<u32> m_line; // one converted row when streaming
    cXpmColourMap m_map;
};

bool sXpmContext::Parse(cFileIOTarget* stream)
{
    u8 mark[3] = {};
    const bool hasMark = stream->ReadExact(mark, 3) && std::memcmp(mark, kByteOrderMark, 3) == 0;
    cTextFileReader reader(stream, hasMark ? 3 : 0, eTextEncoding::Utf8);
    _guardchar<char16_t> line;
    bool ok = true;
    while (ok && m_stage != eXpmStage::kDone && reader.ReadLine(line)) {
        ok = ParseLine(line.GetOrEmpty());
    }
    if (m_streaming) {
        m_picture.EndStreamRender();
    }
    // A text cut short keeps the rows it had (the others stay cleared), but one that ends
    // before the first row has no picture at all.
    return ok && m_rowsRead > 0;
}

bool sXpmContext::ParseLine(const char16_t* line)
{
    size_t i = 0;
    while (m_stage != eXpmStage::kDone) {
        if (m_inComment) {
            while (line[i] != 0 && !(line[i] == u'*' && line[i + 1] == u'/')) {
                ++i;
            }
            if (line[i] == 0) {
                return true;
            }
            i += 2;
            m_inComment = false;
            continue;
        }
        while (IsBlank(line[i])) {
            ++i;
        }
        const char16_t* token = line + i;
        if (*token == 0) {
            return true;
        }
        if (StartsWith(token, "/*")) {
            if (m_stage == eXpmStage::kExpectOpener) {
                if (!StartsWith(token, "/* XPM")) {
                    return false;
                }
                m_stage = eXpmStage::kExpectDeclaration;
            }
            i += 2;
            m_inComment = true;
            continue;
        }
        switch (m_stage) {
        case eXpmStage::kExpectOpener:
            return false;
        case eXpmStage::kExpectDeclaration: {
            // The brace must be on the declaration's own line.
            const size_t brace = Find(line, i, u'{');
            if (!StartsWith(token, "static") || line[brace] == 0) {
                return false;
            }
            i = brace + 1;
            m_stage = eXpmStage::kExpectValues;
            continue;
        }
        default:
            break;
        }
        if (m_expectComma) {
            if (*token != u',') {
                return false;
            }
            m_expectComma = false;
            ++i;
            continue;
        }
        const size_t close = Find(line, i + 1, u'"');
        if (*token != u'"' || line[close] == 0 || !ProcessString(token + 1, close - i - 1)) {
            return false;
        }
        m_expectComma = true;
        i = close + 1;
    }
    return true;
}

bool sXpmContext::ProcessString(const char16_t* text, size_t length)
{
    switch (m_stage) {
    case eXpmStage::kExpectValues:
        return ProcessValues(text, length);
    case eXpmStage::kColours:
        return ProcessColour(text, length);
    default:
        return (m_rowsRead > 0 || StartImage()) && ProcessRow(text, length);
    }
}

bool sXpmContext::ProcessValues(const char16_t* text, size_t length)
{
    char narrow[kValuesCopy + 1];
    const size_t count = length < kValuesCopy ? length : kValuesCopy;
    for (size_t i = 0; i < count; ++i) {
        narrow[i] = text[i] < 0x80 ? char(text[i]) : '?';
    }
    narrow[count] = '\0';
    if (!ScanValues(narrow, m_width, m_height, m_colourCount, m_cpp) || !m_map.Start(m_cpp)) {
        return false;
    }
    m_stage = eXpmStage::kColours;
    return true;
}

namespace {

// The visuals a colour string can give a colour for, in the order one is taken: the colour
// visual, then grey levels, four greys, monochrome. The symbolic name ("s") is read over
// and never used.
enum eVisual : i32
{
    kColourVisual,
    kGreyVisual,
    kFourGreysVisual,
    kMonoVisual,
    kSymbolicName,
    kVisualCount,
};
constexpr const char* kVisualKeys[kVisualCount] = {"c", "g", "g4", "m", "s"};

struct sSpan
{
    const char16_t* start = nullptr;
    size_t length = 0;
};

// The visual whose key is the word, or -1.
i32 VisualOf(sSpan word)
{
    for (i32 visual = 0; visual < kVisualCount; ++visual) {
        const char* key = kVisualKeys[visual];
        if (std::strlen(key) == word.length && StartsWith(word.start, key)) {
            return visual;
        }
    }
    return -1;
}

bool EqualsIgnoringCase(sSpan text, const char* word)
{
    size_t i = 0;
    for (; i < text.length && word[i] != '\0'; ++i) {
        const char16_t unit = text.start[i];
        if ((unit >= u'A' && unit <= u'Z' ? unit + (u'a' - u'A') : unit) != char16_t(word[i])) {
            return false;
        }
    }
    return i == text.length && word[i] == '\0';
}

// None (transparent), #RRGGBB, #RRRRGGGGBBBB (of which the high byte of each channel is
// used) or an X11 colour name.
bool ParseColourValue(sSpan value, u32& colour)
{
    if (EqualsIgnoringCase(value, "none")) {
        colour = 0;
        return true;
    }
    if (value.length == 0 || value.start[0] != u'#') {
        u32 rgb = 0;
        if (!FindX11Colour(value.start, value.length, rgb)) {
            return false;
        }
        colour = 0xFF000000 | rgb;
        return true;
    }
    const size_t digitsPerChannel = value.length == 7 ? 2 : value.length == 13 ? 4 : 0;
    if (digitsPerChannel == 0) {
        return false;
    }
    colour = 0xFF000000;
    for (size_t channel = 0; channel < 3; ++channel) {
        const i32 level = ParseHexPair(value.start + 1 + channel * digitsPerChannel);
        if (level < 0) {
            return false;
        }
        colour |= u32(level) << (16 - 8 * channel);
    }
    return true;
}

} // namespace

// "<key> <visual> <value> [<visual> <value> ...]", as libXpm reads it: a word that names a
// visual opens that visual's value, unless it comes straight after another visual's name,
// where it is that value; every other word extends the open value ("c light grey"). A word
// before any visual fails.
bool sXpmContext::ProcessColour(const char16_t* text, size_t length)
{
    const size_t cpp = size_t(m_cpp);
    if (length < cpp) {
        return false;
    }
    sSpan values[kVisualCount];
    bool present[kVisualCount] = {};
    i32 open = -1;
    bool lastWasVisual = false;
    for (size_t i = cpp;;) {
        while (i < length && IsBlank(text[i])) {
            ++i;
        }
        if (i == length) {
            break;
        }
        const char16_t* wordStart = text + i;
        while (i < length && !IsBlank(text[i])) {
            ++i;
        }
        const i32 visual = lastWasVisual ? -1 : VisualOf({wordStart, size_t(text + i - wordStart)});
        if (visual >= 0) {
            open = visual;
            present[visual] = true;
            values[visual] = {text + i, 0};
            lastWasVisual = true;
            continue;
        }
        if (open < 0) {
            return false;
        }
        sSpan& value = values[open];
        if (value.length == 0) {
            value.start = wordStart;
        }
        value.length = size_t(text + i - value.start);
        lastWasVisual = false;
    }
    i32 chosen = kColourVisual;
    while (chosen < kSymbolicName && !present[chosen]) {
        ++chosen;
    }
    u32 colour = 0;
    if (chosen == kSymbolicName || !ParseColourValue(values[chosen], colour) ||
        !m_map.Insert(PackKey(text, m_cpp), colour)) {
        return false;
    }
    if (++m_coloursRead == m_colourCount) {
        m_stage = eXpmStage::kRows;
    }
    return true;
}

bool sXpmContext::StartImage()
{
    if (!PixelBufferSizeOk(m_width, m_height, 4)) {
        return false;
    }
    m_picture.SetImageSize(m_width, m_height, false);
    m_streaming = m_picture.BeginStreamRender();
    return m_streaming ? m_line.Alloc(m_width) : m_picture.AllocClear32(m_width, m_height);
}

bool sXpmContext::ProcessRow(const char16_t* text, size_t length)
{
    if (u64(length) != u64(m_cpp) * u64(m_width)) {
        return false;
    }
    const i32 y = m_height - 1 - m_rowsRead;
    u32* out = m_streaming ? m_line.GetData() : m_picture.Pixels32().GetData() + i64(y) * m_width;
    bool ok;
    switch (m_cpp) {
    case 1:
        ok = ConvertRow<1>(text, out);
        break;
    case 2:
        ok = ConvertRow<2>(text, out);
        break;
    case 3:
        ok = ConvertRow<3>(text, out);
        break;
    default:
        ok = ConvertRow<4>(text, out);
        break;
    }
    for (i32 x = 0; ok && m_streaming && x < m_width; ++x) {
        m_picture.StreamPixel(x, y, out[x]);
    }
    if (++m_rowsRead == m_height) {
        m_stage = eXpmStage::kDone;
    }
    return ok;
}

// Each pixel's key must be in the map.
template <i32 kCpp> bool sXpmContext::ConvertRow(const char16_t* text, u32* out)
{
    for (i32 x = 0; x < m_width; ++x, text += kCpp) {
        if (!m_map.Find<kCpp>(text, out[x])) {
            return false;
        }
    }
    return true;
}

bool cPictXPM::ReadInfo(cFileIOTarget* stream, sPictInfo* info)
{
    if (stream == nullptr) {
        return false;
    }
    (void)stream->Seek(0);
    char text[kInfoBytes + 1];
    const u32 count = stream->Read(text, kInfoBytes);
    text[count] = '\0';
    const char* start = text;
    while (*start == '\t' || *start == '\n' || *start == '\r' || *start == ' ') {
        ++start;
    }
    if (std::strncmp(start, "/* XPM", 6) != 0) {
        return false;
    }
    const char* declaration = std::strstr(start + 6, "static");
    const char* type = declaration == nullptr ? nullptr : std::strstr(declaration + 6, "char");
    const char* quote = type == nullptr ? nullptr : std::strchr(type + 4, '"');
    i32 width = 0;
    i32 height = 0;
    i32 colours = 0;
    i32 cpp = 0;
    if (quote == nullptr || !ScanValues(quote + 1, width, height, colours, cpp)) {
        return false;
    }
    if (info != nullptr) {
        *info = {width, height, 0};
    }
    return true;
}

bool cPictXPM::Load(cFileIOTarget* stream)
{
    if (stream == nullptr) {
        return false;
    }
    ClearPixels();
    (void)stream->Seek(0);
    sXpmContext context(*this);
    return context.Parse(stream);
}

bool ProbeXPM(cFileIOTarget* stream, sPictInfo* info)
{
    cPictXPM reader;
    return reader.ReadInfo(stream, info);
}
