#pragma once
// The buffer templates and the size arithmetic that guards every allocation.
//
// `_typebuf<T>` owns an array of plain values (pixels, accumulators, weights);
// `_classbuf<T>` owns an array of objects. Both are {pointer; i32 count; zeroed flag},
// allocate without throwing (a failed or refused allocation leaves them empty), and
// bounds-check `[]`, which throws `cException` - the one exception of the code base. Hot
// loops index the raw pointer from GetData() within GetCount().
//
// Overcommit lets a huge allocation "succeed" and kills the process when it is touched,
// so callers cap sizes that come from input before they allocate: compute them with
// CheckedMul64 and test them with FitsI32 and against the bytes left in the stream.
#include "base/exception.h"
#include "base/types.h"

#include <atomic>
#include <concepts>
#include <new>
#include <type_traits>
#include <utility>

// a * b in 64 bits. False, leaving `product` 0, when a factor is negative or the product
// does not fit in u64.
template <std::integral A, std::integral B>
[[nodiscard]] constexpr bool CheckedMul64(A a, B b, u64& product)
{
    product = 0;
    if (std::cmp_less(a, 0) || std::cmp_less(b, 0)) {
        return false;
    }
    u64 result;
    if (__builtin_mul_overflow(static_cast<u64>(a), static_cast<u64>(b), &result)) {
        return false;
    }
    product = result;
    return true;
}

// True when `value` is representable as an i32 (compared by value, never after a cast).
template <std::integral T>
[[nodiscard]] constexpr bool FitsI32(T value)
{
    return std::in_range<i32>(value);
}

// The one pixel cap of every picture buffer, the toolkit's and the picture library's:
// width and height at least 1, width x height at most 2^28 pixels and the byte count at
// most INT32_MAX. Sizes are 64-bit so that callers can pass values from input unchecked.
[[nodiscard]] bool PixelBufferSizeOk(i64 width, i64 height, i32 bytesPerPixel);

// Process-wide test hook consulted before every allocation of the base containers
// (buffers, map nodes, list nodes): returning false makes that allocation fail as if
// memory were short. Null (the program never sets it) allows everything. Only the base
// test hooks (testhooks/basehooks.h) set it, so that tests reach the allocation-failure
// paths without exhausting memory.
using tAllocationHook = bool (*)(u64 bytes);
extern std::atomic<tAllocationHook> g_allocationHook;

// Raw memory for the base containers: null when `bytes` is 0, when the hook refuses or
// when memory is short; never throws. Aligned for any fundamental type. No block asks for
// transparent huge pages: with the kernel's usual defrag=madvise a machine whose memory is
// fragmented stalls in compaction at the first touch, and that costs a decode more at the
// 90th percentile (12 MP JPEG: 139-189 ms against 111-145 ms) than the page faults saved.
[[nodiscard]] void* AllocateBytes(u64 bytes);
void FreeBytes(void* memory);
// AllocateBytes, reading as zeros. Large blocks come straight from the system's zero pages,
// so memory is only touched, and only becomes resident, where it is written. Released
// with FreeZeroedBytes, never FreeBytes.
[[nodiscard]] void* AllocateZeroedBytes(u64 bytes);
void FreeZeroedBytes(void* memory);

// Constructs a T in memory from AllocateBytes; null when the allocation fails.
// T's constructor MUST NOT throw. Release with DestroyAllocated.
template <class T, class... Args>
[[nodiscard]] T* NewAllocated(Args&&... args)
{
    static_assert(std::is_nothrow_constructible_v<T, Args...>);
    static_assert(alignof(T) <= __STDCPP_DEFAULT_NEW_ALIGNMENT__);
    void* memory = AllocateBytes(sizeof(T));
    if (memory == nullptr) {
        return nullptr;
    }
    return ::new (memory) T(std::forward<Args>(args)...);
}

template <class T>
void DestroyAllocated(T* object)
{
    if (object != nullptr) {
        object->~T();
        FreeBytes(object);
    }
}

[[noreturn]] void ThrowOutOfBounds(const char* message, i32 line);

// Memory for `count` elements of `elementSize` bytes; null when count is outside
// 1..INT32_MAX or the allocation fails.
[[nodiscard]] void* AllocateElements(i64 count, u64 elementSize);
// AllocateElements, reading as zeros (see AllocateZeroedBytes).
[[nodiscard]] void* AllocateZeroedElements(i64 count, u64 elementSize);

namespace buffers_detail {

enum class eElementKind
{
    Plain,   // trivially copyable values, left uninitialised
    Objects, // default-constructed on Alloc, destroyed on Free
};

// Both buffer templates: {pointer; i32 count}, owned.
template <class T, eElementKind Kind>
class cOwnedArray
{
    static_assert(Kind == eElementKind::Objects || std::is_trivially_copyable_v<T>);
    static_assert(Kind == eElementKind::Plain || std::is_nothrow_default_constructible_v<T>);
    static_assert(std::is_nothrow_destructible_v<T>);
    static_assert(alignof(T) <= __STDCPP_DEFAULT_NEW_ALIGNMENT__);
    static constexpr const char* kOutOfBounds =
        Kind == eElementKind::Plain ? "_typebuf::Out of bounds" : "_classbuf::Out of bounds";

public:
    cOwnedArray() = default;
    ~cOwnedArray() { Free(); }
    cOwnedArray(const cOwnedArray&) = delete;
    cOwnedArray& operator=(const cOwnedArray&) = delete;
    cOwnedArray(cOwnedArray&& other) noexcept
        : m_data(std::exchange(other.m_data, nullptr)), m_count(std::exchange(other.m_count, 0)),
          m_zeroed(std::exchange(other.m_zeroed, false))
    {
    }
    cOwnedArray& operator=(cOwnedArray&& other) noexcept
    {
        if (this != &other) {
            Free();
            m_data = std::exchange(other.m_data, nullptr);
            m_count = std::exchange(other.m_count, 0);
            m_zeroed = std::exchange(other.m_zeroed, false);
        }
        return *this;
    }

    // Discards the old contents and allocates `count` elements: plain values are not
    // cleared, objects are default-constructed. False, with the buffer empty (null, 0),
    // when count <= 0, count > INT32_MAX or memory is short.
    [[nodiscard]] bool Alloc(i64 count)
    {
        Free();
        T* data = static_cast<T*>(AllocateElements(count, sizeof(T)));
        if (data == nullptr) {
            return false;
        }
        if constexpr (Kind == eElementKind::Objects) {
            for (i64 i = 0; i < count; ++i) {
                ::new (static_cast<void*>(data + i)) T();
            }
        }
        m_data = data;
        m_count = static_cast<i32>(count);
        return true;
    }

    // Alloc for plain values, every element reading as zero: a buffer that must start
    // cleared costs no writes, and untouched pages stay off the resident set.
    [[nodiscard]] bool AllocZeroed(i64 count)
        requires(Kind == eElementKind::Plain)
    {
        Free();
        m_data = static_cast<T*>(AllocateZeroedElements(count, sizeof(T)));
        m_count = m_data == nullptr ? 0 : static_cast<i32>(count);
        m_zeroed = m_data != nullptr;
        return m_zeroed;
    }

    // Destroys objects, last first, and frees the array.
    void Free()
    {
        if constexpr (Kind == eElementKind::Objects) {
            for (i32 i = m_count; i > 0; --i) {
                m_data[i - 1].~T();
            }
        }
        if (m_zeroed) {
            FreeZeroedBytes(m_data);
        } else {
            FreeBytes(m_data);
        }
        m_data = nullptr;
        m_count = 0;
        m_zeroed = false;
    }

    T* GetData() { return m_data; }
    const T* GetData() const { return m_data; }
    i32 GetCount() const { return m_count; }

    T& operator[](i64 index) { return At(index); }
    const T& operator[](i64 index) const { return At(index); }

private:
    T& At(i64 index) const
    {
        if (index < 0 || index >= m_count) {
            ThrowOutOfBounds(kOutOfBounds, __LINE__);
        }
        return m_data[index];
    }

    T* m_data = nullptr;
    i32 m_count = 0;
    bool m_zeroed = false; // from AllocZeroed, released by FreeZeroedBytes
};

} // namespace buffers_detail

template <class T>
using _typebuf = buffers_detail::cOwnedArray<T, buffers_detail::eElementKind::Plain>;
template <class T>
using _classbuf = buffers_detail::cOwnedArray<T, buffers_detail::eElementKind::Objects>;
