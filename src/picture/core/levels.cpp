// Levels stretch: the colour channels are spread over the full range between the darkest
// and the brightest colour channel of the whole image; alpha becomes opaque.
#include "picture/core/picture.h"
#include "picture/core/pixelchannels.h"

#include <algorithm>

namespace {

struct sStretch
{
    u32 minimum;
    f64 factor;
};

// The minimum and maximum over blue, green and red (alpha ignored) give the stretch; a
// flat image (minimum >= maximum) keeps its values.
template <class T>
sStretch FindStretch(const T* pixels, i64 count)
{
    u32 minimum = sPixelChannels<T>::kMax;
    u32 maximum = 0;
    for (i64 i = 0; i < count; ++i) {
        for (i32 channel = 0; channel < 3; ++channel) {
            const u32 value = GetChannel(pixels[i], channel);
            minimum = std::min(minimum, value);
            maximum = std::max(maximum, value);
        }
    }
    if (minimum >= maximum) {
        return {0, 1.0};
    }
    return {minimum, f64(sPixelChannels<T>::kMax) / (maximum - minimum)};
}

template <class T>
T StretchPixel(T pixel, const sStretch& stretch)
{
    T result = ChannelBits<T>(sPixelChannels<T>::kMax, 3);
    for (i32 channel = 0; channel < 3; ++channel) {
        const f64 stretched = (f64(GetChannel(pixel, channel)) - stretch.minimum) * stretch.factor;
        result |= ChannelBits<T>(TruncateChannel<T>(stretched), channel);
    }
    return result;
}

// `to` sized and filled with the stretched pixels of `from`; `to` may be `from`.
template <class T>
bool StretchInto(const _typebuf<T>& from, _typebuf<T>& to, i64 count, const sStretch& stretch)
{
    if (&to != &from && !to.Alloc(count)) {
        return false;
    }
    for (i64 i = 0; i < count; ++i) {
        to.GetData()[i] = StretchPixel(from.GetData()[i], stretch);
    }
    return true;
}

} // namespace

bool cPictBase::CopyNormalized(cPictBase* source)
{
    if (source == nullptr || !source->HasPixels()) {
        return false;
    }
    const i32 w = source->m_width;
    const i32 h = source->m_height;
    const bool deep = source->m_deep != 0;
    const i64 count = i64(w) * h;
    const sStretch stretch = deep ? FindStretch(source->m_pixels64.GetData(), count)
                                  : FindStretch(source->m_pixels32.GetData(), count);
    SetImageSize(w, h, deep);
    if (m_target != nullptr && BeginStreamRender()) {
        for (i32 y = 0; y < h; ++y) {
            for (i32 x = 0; x < w; ++x) {
                const i64 index = i64(y) * w + x;
                if (deep) {
                    StreamPixel64(x, y, StretchPixel(source->m_pixels64.GetData()[index], stretch));
                } else {
                    StreamPixel(x, y, StretchPixel(source->m_pixels32.GetData()[index], stretch));
                }
            }
        }
        return true;
    }
    // Into this picture's own buffer; in place when the source is this picture.
    const bool written = deep ? StretchInto(source->m_pixels64, m_pixels64, count, stretch)
                              : StretchInto(source->m_pixels32, m_pixels32, count, stretch);
    if (!written) {
        ClearPixels();
        return false;
    }
    if (deep) {
        m_pixels32.Free();
    } else {
        m_pixels64.Free();
    }
    return true;
}
