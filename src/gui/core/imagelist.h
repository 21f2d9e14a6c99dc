#pragma once
// Image lists map caller-chosen ids to borrowed pictures (theme images mostly); a
// picture reference is what a widget draws for one of its states.
#include "base/types.h"

#include <map>

class cPicture;

struct sImageList
{
    // Null when the id has no picture.
    const cPicture* Get(i32 id) const;
    // Stores or replaces the picture of an id; null removes the entry.
    void Set(i32 id, const cPicture* picture);
    bool IsEmpty() const { return m_pictures.empty(); }

private:
    std::map<i32, const cPicture*> m_pictures;
};

// A picture in use with, optionally, a picture the reference owns and deletes.
struct sPictureRef
{
    sPictureRef() = default;
    ~sPictureRef();
    sPictureRef(const sPictureRef&) = delete;
    sPictureRef& operator=(const sPictureRef&) = delete;

    const cPicture* Get() const { return m_inUse; }
    // Uses a borrowed picture (null = none); a previously owned picture is deleted.
    void Set(const cPicture* picture);
    // Takes ownership of the picture and uses it.
    void SetOwned(cPicture* picture);
    // Uses the list's picture of the id (none when the list or the entry is missing).
    void SetFromList(const sImageList* list, i32 id);

private:
    cPicture* m_owned = nullptr;
    const cPicture* m_inUse = nullptr;
};
