#include "base/buffers.h"

#include <atomic>
#include <cstdint>

namespace {

std::atomic<tAllocationHook> g_allocationHook{nullptr};

} // namespace

void SetAllocationHook(tAllocationHook hook)
{
    g_allocationHook.store(hook, std::memory_order_release);
}

void* AllocateBytes(u64 bytes)
{
    if (bytes == 0 || bytes > SIZE_MAX) {
        return nullptr;
    }
    tAllocationHook hook = g_allocationHook.load(std::memory_order_acquire);
    if (hook != nullptr && !hook(bytes)) {
        return nullptr;
    }
    return ::operator new(static_cast<std::size_t>(bytes), std::nothrow);
}

void FreeBytes(void* memory)
{
    ::operator delete(memory);
}

void* AllocateElements(i64 count, u64 elementSize)
{
    u64 bytes;
    if (count <= 0 || !FitsI32(count) || !CheckedMul64(count, elementSize, bytes)) {
        return nullptr;
    }
    return AllocateBytes(bytes);
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
