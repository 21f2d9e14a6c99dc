#pragma once
// cSiDocLoader: the owner of one document. It holds the root container of the box tree,
// the link-target strings the boxes point into, the pictures the image boxes show and the
// document's font table (it is the boxes' cSiDocFontProvider). Deleting the loader
// deletes the tree (the root deletes its children), the strings and the pictures.
//
// A viewer only borrows the root: the loader MUST outlive every viewer showing its
// document (call cSiDocViewer::SetDocument(nullptr) or show another document first).
// GUI thread only.
#include "base/streams.h"
#include "gui/core/picture.h"
#include "gui/document/docbox.h"

#include <memory>
#include <set>
#include <string>
#include <vector>

class cSiDocLoader : public cSiDocFontProvider
{
public:
    cSiDocLoader() = default;
    ~cSiDocLoader() override;
    cSiDocLoader(const cSiDocLoader&) = delete;
    cSiDocLoader& operator=(const cSiDocLoader&) = delete;

    // Null while no document was built (or the last build failed).
    cSiDocContainer* GetRoot() const { return m_root; }
    // Deletes the tree, the strings, the pictures and the font table.
    void Clear();

    // The next font id (0, 1, ...); -1 when memory is short.
    i32 AddFont(const char16_t* face, i32 width, i32 height, bool bold, bool underline, bool italic);
    // The cached font of a table entry; null for an id not in the table.
    cFontObject* GetFontFace(i32 id) override;

    // The document's copy of a link target (length -1: up to the terminator). Equal texts
    // share one pointer, which never moves while the loader lives; null when memory is
    // short.
    const char16_t* InternTarget(const char16_t* text, i32 length);

    // Takes ownership of `picture` and returns it; null (the picture deleted) when
    // memory is short.
    cPicture* AdoptPicture(std::unique_ptr<cPicture> picture);
    // Reads a picture of any format the factory knows, 8 bits a channel, rows top-down,
    // alpha composited over white (the viewer's background: the canvas draws pictures
    // opaque). Null when the stream is no picture or the picture passes the pixel cap.
    cPicture* LoadPicture(cFileIOTarget& stream);

private:
    friend class cSiDocBuilder;

    struct sFontEntry
    {
        std::u16string face;
        i32 width;
        i32 height;
        bool bold;
        bool underline;
        bool italic;
    };

    cSiDocContainer* m_root = nullptr;
    // Nodes of a set never move, so the strings' data pointers stay valid.
    std::set<std::u16string> m_targets;
    std::vector<std::unique_ptr<cPicture>> m_pictures;
    std::vector<sFontEntry> m_fonts;
};
