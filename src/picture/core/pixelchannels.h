#pragma once
// Channel access shared by the pixel operations: 32-bit pixels hold four 8-bit channels,
// deep pixels four 16-bit channels, blue first (channel 0) and alpha last (channel 3).
#include "base/types.h"

template <class T>
struct sPixelChannels;

template <>
struct sPixelChannels<u32>
{
    static constexpr i32 kBits = 8;
    static constexpr u32 kMax = 0xFF;
};

template <>
struct sPixelChannels<u64>
{
    static constexpr i32 kBits = 16;
    static constexpr u32 kMax = 0xFFFF;
};

template <class T>
inline u32 GetChannel(T pixel, i32 channel)
{
    return u32(pixel >> (channel * sPixelChannels<T>::kBits)) & sPixelChannels<T>::kMax;
}

template <class T>
inline T ChannelBits(u32 value, i32 channel)
{
    return T(value) << (channel * sPixelChannels<T>::kBits);
}

// trunc(value) clamped to 0..kMax; NaN gives 0.
template <class T>
inline u32 TruncateChannel(f64 value)
{
    if (!(value > 0.0)) {
        return 0;
    }
    return value >= f64(sPixelChannels<T>::kMax) ? sPixelChannels<T>::kMax : u32(value);
}

// A mean of whole numbers computed in doubles can land a hair below the whole number it
// equals (a row of 150s averaged with weights 1/3 can give 149.99999999999997), and
// truncation would then lose 1: a constant picture would not stay constant. Means within
// kMeanTolerance below a whole number count as that number; the rounding error of the sums
// involved is orders of magnitude smaller, and no mean of 8- or 16-bit samples that is
// not whole comes that close to one in practice.
inline constexpr f64 kMeanTolerance = 1e-6;

template <class T>
inline u32 TruncateMean(f64 mean)
{
    return TruncateChannel<T>(mean + kMeanTolerance);
}
