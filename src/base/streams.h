#pragma once
// The stream interface. Files, memory, windows over other streams, read-ahead caches,
// decompressors and sockets all implement it; every picture reader reads through it.
#include "base/types.h"

inline constexpr u64 kUnknownStreamSize = ~u64(0);

class cFileIOTarget
{
public:
    virtual ~cFileIOTarget() = default;

    // Size in bytes; kUnknownStreamSize when the stream cannot tell (a socket).
    virtual u64 GetSize() { return kUnknownStreamSize; }
    // Reads up to `length` bytes at the position and advances by the count read; less
    // than `length` only at the end of the data or on failure.
    virtual u32 Read(void* buffer, u32 length) { return 0; }
    // Writes at the position and advances by the count written.
    virtual u32 Write(const void* buffer, u32 length) { return 0; }
    // True only when all `length` bytes were read; a length of 0 is always true.
    virtual bool ReadExact(void* buffer, u32 length);
    // True only when all `length` bytes were written.
    virtual bool WriteExact(const void* buffer, u32 length);
    // Moves to an absolute position; false when the stream cannot.
    virtual bool Seek(u64 position) { return false; }
    // Moves to `distance` bytes before the end.
    virtual bool SeekFromEnd(u64 distance) { return false; }
    // The current position.
    virtual u64 GetPosition() { return 0; }
    // Cuts or extends the stream to `size` bytes.
    virtual bool SetSize(u64 size) { return false; }
    virtual void Close() {}
    // Sets the modification time (seconds since 1970, UTC).
    virtual bool SetTime(i64 unixSeconds) { return false; }
    virtual bool IsOpen() { return false; }
    // A second independent stream over the same data, or null.
    virtual cFileIOTarget* Clone() { return nullptr; }
    // A small number telling stream kinds apart; 0 for none in particular.
    virtual i32 GetKind() { return 0; }

    // The deleting destructor, as callers that own a stream through this interface use it.
    void Delete() { delete this; }
};
