#pragma once
// Differential testing of streams: a plain byte vector with a position is the model, and a
// seeded random mix of Seek, Read, Write, SeekFromEnd and size queries is applied to both.
// Lengths and positions favour the 64 KB page and buffer edges (+-1), where off-by-one
// faults live.
#include "base/streams.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace streamtest {

struct sStreamModel
{
    std::vector<u8> m_data;
    u64 m_position = 0;
};
// A length near a 64 KB edge half of the time, else uniform in [0, maximum].
inline u32 EdgeBiasedLength(std::mt19937_64& random, u32 maximum)
{
    static constexpr u32 kEdges[] = {0, 1, 2, 65535, 65536, 65537, 131071, 131072, 131073};
    if (random() % 2 == 0) {
        u32 edge = kEdges[random() % std::size(kEdges)];
        return std::min(edge, maximum);
    }
    return u32(random() % (u64(maximum) + 1));
}

// A position around the data: near a 64 KB multiple +-1 half of the time, else uniform up to
// 70 KB past the end.
inline u64 EdgeBiasedPosition(std::mt19937_64& random, u64 size)
{
    if (random() % 2 == 0) {
        u64 pages = size / 65536 + 2;
        u64 edge = (random() % pages) * 65536;
        i64 nudge = i64(random() % 3) - 1;
        return (edge == 0 && nudge < 0) ? 0 : u64(i64(edge) + nudge);
    }
    return random() % (size + 70 * 1024 + 1);
}

// Applies the same random operations to `stream` and `model`, checking every answer and every
// byte read. `stream` must start with the model's content at the model's position.
inline void RunRandomOperations(cFileIOTarget& stream, sStreamModel& model, u64 seed)
{
    std::mt19937_64 random(seed);
    std::vector<u8> got;
    for (int step = 0; step < 400; ++step) {
        SCOPED_TRACE("seed " + std::to_string(seed) + " step " + std::to_string(step));
        switch (random() % 6) {
        case 0:
        case 1: {
            u32 length = EdgeBiasedLength(random, 200 * 1024);
            got.assign(length, 0xEE);
            const u64 start = std::min<u64>(model.m_position, model.m_data.size());
            const u64 count = std::min<u64>(length, model.m_data.size() - start);
            ASSERT_EQ(stream.Read(got.data(), length), count) << "read of " << length;
            ASSERT_TRUE(std::equal(got.begin(), got.begin() + i64(count), model.m_data.begin() + i64(start)));
            model.m_position += count;
            break;
        }
        case 2: {
            u32 length = EdgeBiasedLength(random, 100 * 1024);
            got.resize(length);
            for (u8& byte : got) {
                byte = u8(random());
            }
            ASSERT_EQ(stream.Write(got.data(), length), length);
            if (length != 0) { // an empty write never grows the stream
                model.m_data.resize(std::max<u64>(model.m_data.size(), model.m_position + length), 0);
                std::copy(got.begin(), got.end(), model.m_data.begin() + i64(model.m_position));
                model.m_position += length;
            }
            break;
        }
        case 3:
        case 4: {
            u64 position = EdgeBiasedPosition(random, model.m_data.size());
            ASSERT_TRUE(stream.Seek(position)); // past the end stays there
            model.m_position = position;
            break;
        }
        default: {
            if (random() % 2 == 0) {
                u64 size = model.m_data.size();
                u64 distance = random() % (size + 1);
                ASSERT_EQ(stream.SeekFromEnd(distance), distance <= size);
                model.m_position = size - std::min(distance, size);
            }
            ASSERT_EQ(stream.GetSize(), model.m_data.size());
            break;
        }
        }
        ASSERT_EQ(stream.GetPosition(), model.m_position);
    }
    // The whole content, read back from the start.
    ASSERT_TRUE(stream.Seek(0));
    got.assign(model.m_data.size(), 0);
    ASSERT_TRUE(stream.ReadExact(got.data(), u32(got.size())));
    ASSERT_EQ(got, model.m_data);
}

// Bytes that differ from position to position, so a read from the wrong place shows.
inline std::vector<u8> PatternBytes(size_t count, u64 seed)
{
    std::vector<u8> bytes(count);
    std::mt19937_64 random(seed);
    for (u8& byte : bytes) {
        byte = u8(random());
    }
    return bytes;
}

} // namespace streamtest
