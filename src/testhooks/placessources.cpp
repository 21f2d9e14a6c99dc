#include "system/places.h"
#include "testhooks/systemhooks.h"

void SetPlacesSources(const char* mountTable, const char* byLabelFolder)
{
    std::lock_guard guard(g_placesSources.m_lock);
    g_placesSources.m_mountTable = mountTable != nullptr ? mountTable : kSystemMountTable;
    g_placesSources.m_byLabelFolder = byLabelFolder != nullptr ? byLabelFolder : kSystemByLabelFolder;
}
