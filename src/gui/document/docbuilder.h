#pragma once
// cSiDocBuilder: builds a document's box tree into a cSiDocLoader, checking every value
// against what the boxes allow.
//
// Calls: BeginContainer opens a container (the first one is the root; it is the only
// top-level box), EndContainer closes it; AddText, AddLink, AddImage and AddImageLink
// append to the open container; Finish hands the tree to the loader.
//
// Checks, each refused call putting the builder into the failed state:
//   margins          0..4096
//   fixed sizes      -1 or 0 and more; other negatives are read as -1 (not refused)
//   colours          kSiDocInherit or 0..0xFFFFFF
//   alignment        0..3 (another value would blank the whole container)
//   image mode       0 or 1, and a picture is required
//   nesting          at most kSiDocMaxBuildDepth open containers, which keeps the
//                    recursive layout and destructors far from the stack's limit
//   placement        a box needs an open container; no second root
// In the failed state every call is ignored and Finish returns false; Finish also fails
// when containers are still open. A failed build leaves the loader without a root, never
// with a partial tree. Pictures must belong to the loader (LoadPicture, AdoptPicture).
#include "gui/document/docbox.h"
#include "gui/document/docloader.h"

#include <vector>

constexpr i32 kSiDocMaxBuildDepth = 32;
constexpr i32 kSiDocMaxMargin = 4096;

// The layout fields of one box; containers also read the alignment.
struct sSiDocStyle
{
    i32 marginLeft = 0;
    i32 marginRight = 0;
    i32 marginTop = 0;
    i32 marginBottom = 0;
    i32 fixedWidth = -1;
    i32 fixedHeight = -1;
    u32 background = kSiDocInherit;
    bool breakBefore = false;
    i32 fontId = -1;
    u32 textColour = kSiDocInherit;
    i32 alignment = kSiDocAlignLeft;
};

class cSiDocBuilder
{
public:
    // Empties the loader's tree (its strings, pictures and fonts stay).
    explicit cSiDocBuilder(cSiDocLoader& loader);
    // Deletes a tree that was not finished.
    ~cSiDocBuilder();
    cSiDocBuilder(const cSiDocBuilder&) = delete;
    cSiDocBuilder& operator=(const cSiDocBuilder&) = delete;

    bool BeginContainer(const sSiDocStyle& style);
    bool EndContainer();
    // Lengths -1 read up to the terminator.
    bool AddText(const char16_t* text, i32 length, const sSiDocStyle& style);
    bool AddLink(const char16_t* text, i32 length, const char16_t* target, const sSiDocStyle& style);
    bool AddImage(const cPicture* picture, i32 mode, const sSiDocStyle& style);
    bool AddImageLink(const cPicture* picture, i32 mode, const char16_t* target, const sSiDocStyle& style);
    // Gives the tree to the loader; false (the loader left without a root) when the
    // build failed or containers are open.
    [[nodiscard]] bool Finish();

private:
    // False (and failed) unless the style's values are allowed.
    bool Accept(const sSiDocStyle& style, bool container);
    void ApplyStyle(cSiDocBox& box, const sSiDocStyle& style);
    // Appends to the open container; deletes the box and fails when it cannot.
    bool Append(cSiDocBox* box);
    bool AddTextBox(cSiDocText* box, const char16_t* text, i32 length, const sSiDocStyle& style);
    bool AddImageBox(cSiDocImage* box, const cPicture* picture, i32 mode, const sSiDocStyle& style);
    bool Fail();

    cSiDocLoader& m_loader;
    cSiDocContainer* m_root = nullptr;
    std::vector<cSiDocContainer*> m_open;
    bool m_failed = false;
    bool m_finished = false;
};
