#include "gui/core/imagelist.h"

#include "gui/core/picture.h"

const cPicture* sImageList::Get(i32 id) const
{
    const auto found = m_pictures.find(id);
    return found == m_pictures.end() ? nullptr : found->second;
}

void sImageList::Set(i32 id, const cPicture* picture)
{
    if (picture == nullptr) {
        m_pictures.erase(id);
    } else {
        m_pictures[id] = picture;
    }
}

sPictureRef::~sPictureRef()
{
    delete m_owned;
}

void sPictureRef::Set(const cPicture* picture)
{
    // Setting the owned picture again keeps it owned rather than leaking it.
    if (m_owned != picture) {
        delete m_owned;
        m_owned = nullptr;
    }
    m_inUse = picture;
}

void sPictureRef::SetOwned(cPicture* picture)
{
    if (m_owned != picture) {
        delete m_owned;
    }
    m_owned = picture;
    m_inUse = picture;
}

void sPictureRef::SetFromList(const sImageList* list, i32 id)
{
    Set(list == nullptr ? nullptr : list->Get(id));
}
