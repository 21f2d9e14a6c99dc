#include "gui/core/picture.h"

#include <algorithm>
#include <new>

cPicture::~cPicture()
{
    Free();
}

void cPicture::Free()
{
    delete[] m_pixels;
    m_pixels = nullptr;
    m_width = 0;
    m_height = 0;
}

bool cPicture::Allocate(i32 width, i32 height)
{
    Free();
    if (!PixelBufferSizeOk(width, height, sizeof(u32))) {
        return false;
    }
    m_pixels = new (std::nothrow) u32[size_t(width) * size_t(height)]();
    if (m_pixels == nullptr) {
        return false;
    }
    m_width = width;
    m_height = height;
    return true;
}

bool cPicture::CreateFilled(u32 argb, i32 width, i32 height)
{
    if (!Allocate(width, height)) {
        return false;
    }
    std::fill_n(m_pixels, size_t(width) * size_t(height), argb);
    return true;
}

void cPicture::TakePixels(cPicture& source)
{
    if (&source == this) {
        return;
    }
    Free();
    m_pixels = source.m_pixels;
    m_width = source.m_width;
    m_height = source.m_height;
    source.m_pixels = nullptr;
    source.m_width = 0;
    source.m_height = 0;
}
