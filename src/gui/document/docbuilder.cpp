#include "gui/document/docbuilder.h"

#include <new>

namespace {

bool ColourOk(u32 colour)
{
    return colour == kSiDocInherit || colour <= 0xFFFFFFu;
}

bool MarginOk(i32 margin)
{
    return margin >= 0 && margin <= kSiDocMaxMargin;
}

i32 NormaliseFixed(i32 value)
{
    return value < -1 ? -1 : value;
}

} // namespace

cSiDocBuilder::cSiDocBuilder(cSiDocLoader& loader) : m_loader(loader)
{
    delete m_loader.m_root;
    m_loader.m_root = nullptr;
}

cSiDocBuilder::~cSiDocBuilder()
{
    if (!m_finished) {
        delete m_root;
    }
}

bool cSiDocBuilder::Fail()
{
    m_failed = true;
    return false;
}

bool cSiDocBuilder::Accept(const sSiDocStyle& style, bool container)
{
    if (m_failed) {
        return false;
    }
    const bool ok = MarginOk(style.marginLeft) && MarginOk(style.marginRight) && MarginOk(style.marginTop) &&
                    MarginOk(style.marginBottom) && ColourOk(style.background) && ColourOk(style.textColour) &&
                    (!container || (style.alignment >= kSiDocAlignLeft && style.alignment <= kSiDocAlignJustify));
    return ok || Fail();
}

void cSiDocBuilder::ApplyStyle(cSiDocBox& box, const sSiDocStyle& style)
{
    box.m_marginLeft = style.marginLeft;
    box.m_marginRight = style.marginRight;
    box.m_marginTop = style.marginTop;
    box.m_marginBottom = style.marginBottom;
    box.m_fixedWidth = NormaliseFixed(style.fixedWidth);
    box.m_fixedHeight = NormaliseFixed(style.fixedHeight);
    box.m_background = style.background;
    box.m_break = style.breakBefore;
}

bool cSiDocBuilder::Append(cSiDocBox* box)
{
    if (box == nullptr || m_open.empty() || !m_open.back()->m_children.Append(box)) {
        delete box;
        return Fail();
    }
    return true;
}

bool cSiDocBuilder::BeginContainer(const sSiDocStyle& style)
{
    if (!Accept(style, true)) {
        return false;
    }
    if (m_open.size() >= size_t(kSiDocMaxBuildDepth) || (m_root != nullptr && m_open.empty())) {
        return Fail();
    }
    auto* container = new (std::nothrow) cSiDocContainer();
    if (container == nullptr) {
        return Fail();
    }
    ApplyStyle(*container, style);
    container->m_fontProvider = &m_loader;
    container->m_fontId = style.fontId;
    container->m_textColour = style.textColour;
    container->m_alignment = style.alignment;
    if (m_root == nullptr) {
        m_root = container;
    } else if (!Append(container)) {
        return false;
    }
    try {
        m_open.push_back(container);
    } catch (const std::bad_alloc&) {
        return Fail();
    }
    return true;
}

bool cSiDocBuilder::EndContainer()
{
    if (m_failed || m_open.empty()) {
        return Fail();
    }
    m_open.pop_back();
    return true;
}

bool cSiDocBuilder::AddTextBox(cSiDocText* box, const char16_t* text, i32 length, const sSiDocStyle& style)
{
    if (box == nullptr) {
        return Fail();
    }
    ApplyStyle(*box, style);
    box->m_fontProvider = &m_loader;
    box->m_fontId = style.fontId;
    box->m_textColour = style.textColour;
    if (!box->SetText(text, length)) {
        delete box;
        return Fail();
    }
    return Append(box);
}

bool cSiDocBuilder::AddText(const char16_t* text, i32 length, const sSiDocStyle& style)
{
    return Accept(style, false) && AddTextBox(new (std::nothrow) cSiDocText(), text, length, style);
}

bool cSiDocBuilder::AddLink(const char16_t* text, i32 length, const char16_t* target, const sSiDocStyle& style)
{
    if (!Accept(style, false)) {
        return false;
    }
    auto* link = new (std::nothrow) cSiDocLink();
    if (link != nullptr && target != nullptr && (link->m_target = m_loader.InternTarget(target, -1)) == nullptr) {
        delete link;
        return Fail();
    }
    return AddTextBox(link, text, length, style);
}

bool cSiDocBuilder::AddImageBox(cSiDocImage* box, const cPicture* picture, i32 mode, const sSiDocStyle& style)
{
    if (box == nullptr || picture == nullptr || (mode != kSiDocImageNatural && mode != kSiDocImageStretch)) {
        delete box;
        return Fail();
    }
    ApplyStyle(*box, style);
    box->m_picture = picture;
    box->m_mode = mode;
    return Append(box);
}

bool cSiDocBuilder::AddImage(const cPicture* picture, i32 mode, const sSiDocStyle& style)
{
    return Accept(style, false) && AddImageBox(new (std::nothrow) cSiDocImage(), picture, mode, style);
}

bool cSiDocBuilder::AddImageLink(const cPicture* picture, i32 mode, const char16_t* target,
                                 const sSiDocStyle& style)
{
    if (!Accept(style, false)) {
        return false;
    }
    auto* link = new (std::nothrow) cSiDocImageLink();
    if (link != nullptr && target != nullptr && (link->m_target = m_loader.InternTarget(target, -1)) == nullptr) {
        delete link;
        return Fail();
    }
    return AddImageBox(link, picture, mode, style);
}

bool cSiDocBuilder::Finish()
{
    if (m_failed || m_finished || m_root == nullptr || !m_open.empty()) {
        delete m_root;
        m_root = nullptr;
        m_failed = true;
        return false;
    }
    m_loader.m_root = m_root;
    m_finished = true;
    return true;
}
