#include "base/buffers.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>

std::atomic<tAllocationHook> g_allocationHook{nullptr};

namespace {

bool AllocationAllowed(u64 bytes)
{
    if (bytes == 0 || bytes > SIZE_MAX) {
        return false;
    }
    tAllocationHook hook = g_allocationHook.load(std::memory_order_acquire);
    return hook == nullptr || hook(bytes);
}

bool ElementBytes(i64 count, u64 elementSize, u64& bytes)
{
    return count > 0 && FitsI32(count) && CheckedMul64(count, elementSize, bytes);
}

} // namespace

void* AllocateBytes(u64 bytes)
{
    if (!AllocationAllowed(bytes)) {
        return nullptr;
    }
    return ::operator new(static_cast<std::size_t>(bytes), std::nothrow);
}

void FreeBytes(void* memory)
{
    ::operator delete(memory);
}

void* AllocateZeroedBytes(u64 bytes)
{
    return AllocationAllowed(bytes) ? std::calloc(1, static_cast<std::size_t>(bytes)) : nullptr;
}

void FreeZeroedBytes(void* memory)
{
    std::free(memory);
}

void* AllocateElements(i64 count, u64 elementSize)
{
    u64 bytes;
    return ElementBytes(count, elementSize, bytes) ? AllocateBytes(bytes) : nullptr;
}

void* AllocateZeroedElements(i64 count, u64 elementSize)
{
    u64 bytes;
    return ElementBytes(count, elementSize, bytes) ? AllocateZeroedBytes(bytes) : nullptr;
}

bool PixelBufferSizeOk(i64 width, i64 height, i32 bytesPerPixel)
{
    if (width <= 0 || height <= 0 || bytesPerPixel <= 0) {
        return false;
    }
    u64 pixels = 0;
    u64 bytes = 0;
    return CheckedMul64(width, height, pixels) && pixels <= (u64(1) << 28) &&
           CheckedMul64(pixels, bytesPerPixel, bytes) && bytes <= u64(INT32_MAX);
}

void ThrowOutOfBounds(const char* message, i32 line)
{
    throw cException(message, "base/buffers", line);
}
